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

// Nothing in the program throws or catches, but the library's containers and
// strings call these on misuse or when memory runs out, and libstdc++'s own
// versions throw: they link the exception machinery, the unwinder and a second
// string implementation (about 80 KiB). Ending the program is what an uncaught
// exception would do.
#include <new>

#if defined(__GLIBCXX__)
namespace std {
void __throw_bad_alloc() {
  std::abort();
}
void __throw_bad_array_new_length() {
  std::abort();
}
void __throw_length_error(const char*) {
  std::abort();
}
void __throw_logic_error(const char*) {
  std::abort();
}
void __throw_out_of_range(const char*) {
  std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
  std::abort();
}
void __throw_invalid_argument(const char*) {
  std::abort();
}
}  // namespace std
#endif
