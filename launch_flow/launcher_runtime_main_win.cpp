// Linked into channel_launcher.exe alone (the _main_win suffix keeps it out
// of the launch_flow libraries, which the tests and tools link too): the two
// places where the launcher replaces a part of the C++ runtime that it does
// not use but would otherwise carry, about half of the program's size.
//
// The definitions must be in the program's own objects. The linker takes a
// runtime member only for a symbol that nothing before it defines, so these
// keep libstdc++'s versions, and everything those bring, out of the file.
// Should a later libstdc++ raise through a function not defined here, its
// member is taken after all and the link stops with "multiple definition":
// add the new function here.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

// What the C++ runtime calls when it must terminate (an exception that leaves
// a noexcept function or a destructor during unwinding; wWinMain itself lets
// none escape). The runtime's own handler names the exception on stderr,
// which a GUI program does not have, and brings a symbol demangler and the
// printf family with it. This one ends the process the same way, with
// abort's exit code 3.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// A misuse that the standard library reports by a std::logic_error or
// std::runtime_error (a position past the end of a text, for one). Those
// classes keep their message in a reference-counted char string, whose
// code is most of what this file saves; the launcher only ever shows the
// message, so one class with the library's own static text does the same.
class LibraryError : public std::exception {
 public:
  explicit LibraryError(const char* what) noexcept : what_(what) {}
  const char* what() const noexcept override { return what_; }

 private:
  const char* what_;  // the library passes string literals only
};

}  // namespace

namespace std {

// The library raises these from inline code (containers, strings, optional,
// function). A text or list longer than the library can hold can only be
// had with more memory than a 32-bit process has: out of memory, as any
// other failed allocation is.
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_bad_exception() { throw std::bad_exception(); }

void __throw_logic_error(const char* what) { throw LibraryError(what); }
void __throw_domain_error(const char* what) { throw LibraryError(what); }
void __throw_invalid_argument(const char* what) { throw LibraryError(what); }
void __throw_out_of_range(const char* what) { throw LibraryError(what); }
// The message would be formatted from the function's name and the positions;
// the format alone names neither, so the error says what went wrong.
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryError("a position outside a text or list"); }
void __throw_runtime_error(const char* what) { throw LibraryError(what); }
void __throw_range_error(const char* what) { throw LibraryError(what); }
void __throw_overflow_error(const char* what) { throw LibraryError(what); }
void __throw_underflow_error(const char* what) { throw LibraryError(what); }

}  // namespace std
