// The program replaces operator new (toolkit/allocation.cpp), which this
// binary links on MinGW: a refused nothrow allocation must still give null.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#if defined(__MINGW32__)
namespace {

TEST(Allocation, NothrowFormsGiveNullWhenRefused) {
  volatile std::size_t refused = PTRDIFF_MAX;  // no allocator serves it
  EXPECT_EQ(operator new(refused, std::nothrow), nullptr);
  EXPECT_EQ(new (std::nothrow) char[refused], nullptr);
}

}  // namespace
#endif
