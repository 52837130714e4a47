// Windows-only: move-only owners for kernel handles, one type per close function.
#pragma once

#include <windows.h>

#include <memory>

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A handle closed with CloseHandle; null means "none".
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Owns what CreateFileW returned: INVALID_HANDLE_VALUE becomes an empty owner.
inline UniqueHandle uniqueFile(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
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
// A mapped view released with UnmapViewOfFile.
using UniqueView = std::unique_ptr<const void, ViewUnmapper>;
