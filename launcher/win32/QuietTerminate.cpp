// The exe's own last resort for an exception nothing caught, in place of
// libstdc++'s verbose one, which writes the exception's demangled type to
// stderr: a GUI program has no stderr to show it on, and the demangler it
// brings weighs 45 KB of the 750 KB the release exe may take. Defined in the
// exe itself, so the linker never takes libstdc++'s.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  std::abort();
}

}  // namespace __gnu_cxx
