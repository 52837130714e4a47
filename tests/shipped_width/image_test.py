#!/usr/bin/python3
"""Static checks of the built programs, read with pefile (Debian's
python3-pefile) on the build machine, so that they hold for the i686 build
even where no 32-bit program can run: the machine and PE format of the build's
width, the subsystem, the import table, the launcher's size budget and its
manifest.

Usage: image_test.py BUILD_DIR i686|x86_64
"""
import sys

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


def check_program(path, width, subsystem):
    name = path.rsplit("/", 1)[-1]
    image = pefile.PE(path, fast_load=False)
    machine, magic = WIDTHS[width]
    check(f"{name} is built for {width}", image.FILE_HEADER.Machine == machine and image.OPTIONAL_HEADER.Magic == magic,
          f"machine {image.FILE_HEADER.Machine:#x}, optional header {image.OPTIONAL_HEADER.Magic:#x}")
    check(f"{name} has the subsystem it is started in", image.OPTIONAL_HEADER.Subsystem == subsystem,
          str(image.OPTIONAL_HEADER.Subsystem))
    strays = imports(image) - SYSTEM_DLLS
    check(f"{name} imports system DLLs only", not strays, ", ".join(sorted(strays)))
    return image


def main(build, width):
    launcher_path = f"{build}/launch_flow/channel_launcher.exe"
    launcher = check_program(launcher_path, width, GUI)
    check("channel_launcher.exe imports KERNEL32 and msvcrt alone", imports(launcher) == LAUNCHER_IMPORTS,
          ", ".join(sorted(imports(launcher))))
    size = len(launcher.__data__)
    check(f"channel_launcher.exe ({size} bytes) stays within {LAUNCHER_BUDGET} bytes", size <= LAUNCHER_BUDGET,
          "scripts/size-by-component.sh tells where the bytes go")
    check("channel_launcher.exe asks to run as its invoker", 'level="asInvoker"' in manifest(launcher),
          manifest(launcher)[:200] or "no manifest")
    for tool in ("channel_stamp", "channel_record"):
        check_program(f"{build}/tools/{tool}.exe", width, CONSOLE)
    print(f"{len(failures)} checks failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
