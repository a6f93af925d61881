// What panel.exe leaves out of the GNU C++ runtime it links statically.
//
// The runtime's verbose terminate handler names the uncaught exception's type, and brings the
// whole C++ name demangler with it (some 45 KB). The panel never runs it: program main installs
// its own terminate handler first thing (the runtime-error report), so the verbose one is only
// the runtime's fallback for a handler reset to null, which nothing here does. Defined here, the
// runtime's own copy is never linked.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx
