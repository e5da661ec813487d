#include <gtest/gtest.h>

#include <cstdint>
#include <new>

// With the program's own operator new (toolkit/allocation.cpp, linked on MinGW).
#if defined(__MINGW32__)
TEST(Allocation, NothrowFormsGiveNullWhenRefused) {
  volatile std::size_t refused = PTRDIFF_MAX;  // no allocator serves it
  EXPECT_EQ(operator new(refused, std::nothrow), nullptr);
  EXPECT_EQ(new (std::nothrow) char[refused], nullptr);
}
#endif
