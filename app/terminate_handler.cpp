// The toolchain's default terminate handler prints the demangled type of an uncaught exception,
// which links a C++ demangler and a printf engine into the program: most of its code by size. An
// installer without a console has nowhere to print that; this definition takes the library's
// place at static link time and simply aborts.
#include <cstdlib>

namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}
