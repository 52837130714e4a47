#!/usr/bin/python3
"""Static checks of the built programs, read with pefile (Debian's
python3-pefile) on the build machine, so that they hold for the i686 build
even where no 32-bit program can run: the machine and PE format of the build's
width, the subsystem, the import table, the hardening the image header promises
(and, at 32 bits, that its promise of no SEH handler is true), the
launcher's size budget, and the manifests of the launcher and the tools.

Usage: image_test.py BUILD_DIR i686|x86_64
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

import pefile

LAUNCHER_BUDGET = 160 * 1024  # every copy is a download
# The launcher imports only what the loader maps before its first instruction;
# every other system DLL it loads itself, from System32.
LAUNCHER_IMPORTS = {"kernel32.dll", "msvcrt.dll"}
SYSTEM_DLLS = LAUNCHER_IMPORTS | {"user32.dll", "shell32.dll", "shlwapi.dll", "advapi32.dll", "ole32.dll",
                                  "version.dll", "gdi32.dll", "ntdll.dll"}
WIDTHS = {
    "i686": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], pefile.OPTIONAL_HEADER_MAGIC_PE),
    "x86_64": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS),
}
# What every program's header must promise; at 32 bits also NO_SEH (at 64
# bits exceptions unwind through .pdata tables and the flag means nothing).
FLAGS = {"DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE"}
WIDTH_FLAGS = {"i686": {"NO_SEH"}, "x86_64": set()}
# An SEH handler in the image is registered by writing the head of the
# thread's handler chain, fs:[0], or is one of msvcrt's frame handlers, or is
# listed for SafeSEH (.sxdata, the load configuration's handler table).
SEH_HANDLER_IMPORT = re.compile(rb"_except_handler|CxxFrameHandler|_EH_prolog|C_specific_handler")
# fs: prefix, then a store to the absolute address 0: mov fs:[0],eax;
# mov/xchg fs:[0],reg; pop fs:[0]; mov fs:[0],imm32.
FS_ZERO_STORE = re.compile(rb"\x64(?:\xa3|[\x89\x87][\x05\x0d\x15\x1d\x25\x2d\x35\x3d]|\x8f\x05|\xc7\x05)"
                           rb"\x00\x00\x00\x00", re.DOTALL)
# What a manifest's assemblyIdentity may name as its processorArchitecture:
# Windows refuses to start a program whose manifest names another width.
MANIFEST_ARCHITECTURES = {"i686": {None, "*", "x86"}, "x86_64": {None, "*", "amd64"}}
# The supportedOS entries: Windows 7, 8, 8.1, and 10 and 11.
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
LONG_PATH_AWARE = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}longPathAware"
DPI_AWARENESS = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness"
DPI_AWARE = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware"
SCN = pefile.SECTION_CHARACTERISTICS
GUI = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]
CONSOLE = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"]

failures = []


def check(what, ok, detail=""):
    print(("ok:   " if ok else "FAIL: ") + what + ("" if ok else ": " + detail))
    if not ok:
        failures.append(what)


def imports(image):
    names = set()
    for attribute in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in getattr(image, attribute, []):
            names.add(entry.dll.decode("ascii", "replace").lower())
    return names


def manifest(image):
    resources = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = kind.directory.entries[0].directory.entries[0].data.struct
            return image.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace")
    return ""


def section_name(section):
    return section.Name.rstrip(b"\0").decode("ascii", "replace")


def check_flags(name, image, width):
    wanted = FLAGS | WIDTH_FLAGS[width]
    missing = {flag for flag in wanted if not image.OPTIONAL_HEADER.DllCharacteristics
               & pefile.DLL_CHARACTERISTICS["IMAGE_DLLCHARACTERISTICS_" + flag]}
    check(f"{name} is marked {', '.join(sorted(wanted))}", not missing, "missing " + ", ".join(sorted(missing)))


def check_no_writable_code(name, image):
    both = SCN["IMAGE_SCN_MEM_WRITE"] | SCN["IMAGE_SCN_MEM_EXECUTE"]
    strays = [section_name(s) for s in image.sections if s.Characteristics & both == both]
    check(f"{name} has no section both writable and executable", not strays, ", ".join(strays))


def check_relocations(name, image):
    stripped = image.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
    blocks = getattr(image, "DIRECTORY_ENTRY_BASERELOC", [])
    has_section = any(section_name(s) == ".reloc" for s in image.sections)
    check(f"{name} keeps its relocations", has_section and blocks and not stripped,
          f".reloc section {has_section}, {len(blocks)} relocation blocks, relocations stripped {bool(stripped)}")


def elements(root, local_name):
    return [element for element in root.iter() if element.tag.rsplit("}", 1)[-1] == local_name]


def check_manifest(name, image, width, long_paths):
    """The manifest asks for no elevation, names the supported systems and a
    processor architecture of the image's width (or none); the tools' also
    declares long paths."""
    text = manifest(image)
    try:
        root = ElementTree.fromstring(text.encode("utf-8"))
    except ElementTree.ParseError as error:
        check(f"{name} carries a readable manifest", False, str(error) if text else "no manifest")
        return None
    levels = [element.get("level") for element in elements(root, "requestedExecutionLevel")]
    check(f"{name} asks to run as its invoker", levels == ["asInvoker"], str(levels))
    systems = {element.get("Id") for element in elements(root, "supportedOS")}
    check(f"{name} names Windows 7 to 11 as supported", systems == SUPPORTED_OS, ", ".join(sorted(systems)))
    own = [element.get("processorArchitecture") for element in root if element.tag.endswith("}assemblyIdentity")]
    check(f"{name}'s manifest names no other processor than {width}",
          len(own) == 1 and own[0] in MANIFEST_ARCHITECTURES[width], str(own))
    if long_paths:
        aware = [element.text for element in root.iter(LONG_PATH_AWARE)]
        check(f"{name} declares itself aware of long paths", aware == ["true"], str(aware))
    return root


def check_launcher_drawing(root):
    """The launcher's message box is themed (Common Controls 6) and drawn at
    the screen's scale: per-monitor v2 DPI awareness, system-aware before it."""
    dependencies = [identity.get("name") for dependent in elements(root, "dependentAssembly")
                    for identity in elements(dependent, "assemblyIdentity")]
    check("channel_launcher.exe depends on Common Controls 6",
          dependencies == ["Microsoft.Windows.Common-Controls"], str(dependencies))
    awareness = [element.text for element in root.iter(DPI_AWARENESS)]
    check("channel_launcher.exe is per-monitor (v2) DPI-aware, else system-aware",
          awareness == ["PerMonitorV2, system"], str(awareness))
    aware = [element.text for element in root.iter(DPI_AWARE)]
    check("channel_launcher.exe is DPI-aware on Windows 7 and 8", aware == ["true"], str(aware))


def check_no_seh_handler(name, image):
    """The truth of NO_SEH: nothing in the image registers an SEH handler."""
    found = [imported.name.decode("ascii", "replace") for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", [])
             for imported in entry.imports if imported.name and SEH_HANDLER_IMPORT.search(imported.name)]
    found += [".sxdata section" for s in image.sections if section_name(s) == ".sxdata"]
    load_config = getattr(image, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if load_config and getattr(load_config.struct, "SEHandlerCount", 0):
        found.append(f"SafeSEH table of {load_config.struct.SEHandlerCount}")
    for section in image.sections:
        if section.Characteristics & SCN["IMAGE_SCN_MEM_EXECUTE"]:
            found += [f"store to fs:[0] at {section.VirtualAddress + match.start():#x}"
                      for match in FS_ZERO_STORE.finditer(section.get_data())]
    check(f"{name} registers no SEH handler", not found, ", ".join(found))


def check_program(path, width, subsystem, long_paths):
    name = path.rsplit("/", 1)[-1]
    image = pefile.PE(path, fast_load=False)
    machine, magic = WIDTHS[width]
    check(f"{name} is built for {width}", image.FILE_HEADER.Machine == machine and image.OPTIONAL_HEADER.Magic == magic,
          f"machine {image.FILE_HEADER.Machine:#x}, optional header {image.OPTIONAL_HEADER.Magic:#x}")
    check(f"{name} has the subsystem it is started in", image.OPTIONAL_HEADER.Subsystem == subsystem,
          str(image.OPTIONAL_HEADER.Subsystem))
    strays = imports(image) - SYSTEM_DLLS
    check(f"{name} imports system DLLs only", not strays, ", ".join(sorted(strays)))
    check_flags(name, image, width)
    check_no_writable_code(name, image)
    check_relocations(name, image)
    root = check_manifest(name, image, width, long_paths)
    if "NO_SEH" in WIDTH_FLAGS[width]:
        check_no_seh_handler(name, image)
    return image, root


def main(build, width):
    launcher_path = f"{build}/launch_flow/channel_launcher.exe"
    launcher, launcher_manifest = check_program(launcher_path, width, GUI, long_paths=False)
    if launcher_manifest is not None:
        check_launcher_drawing(launcher_manifest)
    check("channel_launcher.exe imports KERNEL32 and msvcrt alone", imports(launcher) == LAUNCHER_IMPORTS,
          ", ".join(sorted(imports(launcher))))
    size = len(launcher.__data__)
    check(f"channel_launcher.exe ({size} bytes) stays within {LAUNCHER_BUDGET} bytes", size <= LAUNCHER_BUDGET,
          "scripts/size-by-component.sh tells where the bytes go")
    for tool in ("channel_stamp", "channel_record"):
        check_program(f"{build}/tools/{tool}.exe", width, CONSOLE, long_paths=True)
    print(f"{len(failures)} checks failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
