// Linked into a test build of the launcher's entry (launch_flow/
// launcher_main_win.cpp, unchanged, with the launcher's own libraries): an
// allocator that fails once on request, so that a test can watch a run that
// fails inside and how it is reported.
//   CHANNEL_TEST_FAILING_ALLOCATION=N  the N-th allocation through operator new
//                                      fails (1: the first); unset or 0: none
//   CHANNEL_TEST_ALLOCATION_FAILURE    how it fails: "memory" (std::bad_alloc,
//                                      the default), "memory-onwards" (that one
//                                      and every later one: memory that stays
//                                      short), "error" (std::runtime_error
//                                      "the test's own failure": any other
//                                      error), "unknown" (an int)
// The failing allocation first writes the trace line "failing allocation N"
// and CR LF, so a test sees where the run stood. Every other allocation is an
// ordinary malloc, released by the library's operator delete (free).
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <new>
#include <stdexcept>

namespace {

unsigned long gAllocations = 0;

// The value of environment variable `name` in `value`; empty when unset. Reads
// without allocating.
void environmentValue(const wchar_t* name, wchar_t (&value)[32]) {
  const DWORD length = GetEnvironmentVariableW(name, value, 32);
  if (length == 0 || length >= 32) value[0] = L'\0';
}

[[noreturn]] void failAllocation() {
  wchar_t line[64];
  std::swprintf(line, 64, L"failing allocation %lu\r\n", gAllocations);
  OutputDebugStringW(line);
  wchar_t kind[32];
  environmentValue(L"CHANNEL_TEST_ALLOCATION_FAILURE", kind);
  if (std::wcscmp(kind, L"error") == 0) throw std::runtime_error("the test's own failure");
  if (std::wcscmp(kind, L"unknown") == 0) throw 42;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  static const unsigned long failing = [] {
    wchar_t number[32];
    environmentValue(L"CHANNEL_TEST_FAILING_ALLOCATION", number);
    return std::wcstoul(number, nullptr, 10);
  }();
  static const bool onwards = [] {
    wchar_t kind[32];
    environmentValue(L"CHANNEL_TEST_ALLOCATION_FAILURE", kind);
    return std::wcscmp(kind, L"memory-onwards") == 0;
  }();
  ++gAllocations;
  if (gAllocations == failing) failAllocation();
  if (onwards && failing != 0 && gAllocations > failing) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return ::operator new(size); }
