// libstdc++'s default terminate handler prints the demangled type of the
// uncaught exception; the demangler and the printf it needs are ~70 KB of
// the DLL.  A DLL has no console to print to anyway, so just abort.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}
