// Windows-only: move-only owners, one type per close function. Each owner
// holds its resource from the call that made it until it goes out of scope,
// so no path (an early return, a failed assertion, an exception) leaks it.
// An empty owner is the function's invalid value, named beside each type.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A kernel handle (file, process, thread, event, mutex, mapping) closed with
// CloseHandle; null means "none". For what CreateFileW returns, see uniqueFile.
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Owns what CreateFileW returned: INVALID_HANDLE_VALUE becomes an empty owner.
inline UniqueHandle uniqueFile(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Both handles CreateProcessW puts in PROCESS_INFORMATION; null when the
// creation failed.
struct UniqueProcess {
  UniqueHandle process;
  UniqueHandle thread;
};

// Owns the process and thread handles of `created` (left zero by a failed creation).
inline UniqueProcess uniqueProcess(const PROCESS_INFORMATION& created) {
  return {UniqueHandle(created.hProcess), UniqueHandle(created.hThread)};
}

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
// A directory listing closed with FindClose; see uniqueFind.
using UniqueFind = std::unique_ptr<void, FindCloser>;

// Owns what FindFirstFileW returned: INVALID_HANDLE_VALUE becomes an empty owner.
inline UniqueFind uniqueFind(HANDLE handle) {
  return UniqueFind(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct ViewUnmapper {
  void operator()(const void* view) const { UnmapViewOfFile(view); }
};
// A mapped view released with UnmapViewOfFile; null means "none".
using UniqueView = std::unique_ptr<const void, ViewUnmapper>;

struct ModuleFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
// A module loaded with LoadLibrary(Ex)W and released with FreeLibrary; null
// means "none". A module that must stay loaded (its functions are bound) is
// released from its owner on purpose.
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

struct LocalFreer {
  void operator()(void* block) const { LocalFree(block); }
};
// A block the system allocated with LocalAlloc for the caller (FormatMessageW
// with FORMAT_MESSAGE_ALLOCATE_BUFFER, CommandLineToArgvW), released with
// LocalFree; null means "none". T is what the block holds (wchar_t, wchar_t*).
template <typename T>
using UniqueLocal = std::unique_ptr<T, LocalFreer>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
// A registry key opened or created with RegOpenKeyExW / RegCreateKeyExW and
// closed with RegCloseKey; null means "none".
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;
