// libstdc++'s default terminate handler demangles the exception's type name to
// print it, which links the whole demangler (about 40 KiB) into a GUI program
// that has no console to print to. This one ends the program the same way.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  std::abort();
}
}  // namespace __gnu_cxx
#endif
