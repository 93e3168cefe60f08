// Linked into the installer itself (not through a library), so what is defined
// here stands in for parts of the static runtimes that would otherwise come
// along without need: about 200 KB of the stub's code.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace __gnu_cxx {

// The runtime's default names the escaped exception's type on stderr, which a
// GUI process does not have, and pulls in the whole demangler to do so. Ending
// the process is all that is left of it here.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// What the library's inline code raises on misuse or on sizes past its limits.
// The runtime's own raise the standard logic and length errors, which carry a
// second kind of string with its own copy of the string code. The installer
// catches these only as "something failed" (or as out of memory), so plain
// exceptions serve.
namespace std {

void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_logic_error(const char*) { throw std::exception(); }
void __throw_out_of_range(const char*) { throw std::exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw std::exception(); }
void __throw_invalid_argument(const char*) { throw std::exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }

}  // namespace std

// libjpeg is built with MinGW's own C99 printf and scanf; it formats messages
// (for printers the picture decoder replaces) and reads JPEGMEM with them.
// The system C library's versions do as well, without 55 KB of code.
extern "C" {

int __cdecl __ms_vsnprintf(char* buffer, size_t size, const char* format, va_list args);
int __cdecl __ms_vsscanf(const char* text, const char* format, va_list args);

int __cdecl __mingw_vfprintf(FILE* file, const char* format, va_list args) {
    return __ms_vfprintf(file, format, args);
}
int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list args) {
    return __ms_vsnprintf(buffer, size, format, args);
}
int __cdecl __mingw_vsscanf(const char* text, const char* format, va_list args) {
    return __ms_vsscanf(text, format, args);
}

}  // extern "C"
