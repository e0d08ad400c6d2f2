#include "port/Foundation/Saturate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace qv {
namespace {

template <typename Int>
constexpr Int highest = std::numeric_limits<Int>::max();
template <typename Int>
constexpr Int lowest = std::numeric_limits<Int>::min();

// The three callers' types: settings (uint64), frame timescales (int32), whole rates (long long).
TEST(Saturate, TruncatesTowardZeroInsideTheRange) {
  EXPECT_EQ(saturate<std::uint64_t>(240.9), 240u);
  EXPECT_EQ(saturate<std::int32_t>(-29.97), -29);
  EXPECT_EQ(saturate<long long>(119.88), 119);
  EXPECT_EQ(saturate<std::uint64_t>(-0.5), 0u);
}

TEST(Saturate, ClampsAtEachLimitWithoutOverflow) {
  EXPECT_EQ(saturate<std::uint64_t>(-30), 0u);
  EXPECT_EQ(saturate<std::uint64_t>(0x1p64), highest<std::uint64_t>);
  EXPECT_EQ(saturate<std::uint64_t>(0x1.fffffffffffffp63), 0xFFFFFFFFFFFFF800u);
  EXPECT_EQ(saturate<std::int32_t>(2147483647.9), highest<std::int32_t>);
  EXPECT_EQ(saturate<std::int32_t>(2147483648.0), highest<std::int32_t>);
  EXPECT_EQ(saturate<std::int32_t>(-2147483649.0), lowest<std::int32_t>);
  EXPECT_EQ(saturate<long long>(0x1p63), highest<long long>);
  EXPECT_EQ(saturate<long long>(-0x1p63), lowest<long long>);
  EXPECT_EQ(saturate<long long>(HUGE_VAL), highest<long long>);
  EXPECT_EQ(saturate<long long>(-HUGE_VAL), lowest<long long>);
}

TEST(Saturate, NotANumberIsZero) {
  EXPECT_EQ(saturate<std::uint64_t>(NAN), 0u);
  EXPECT_EQ(saturate<std::int32_t>(-NAN), 0);
}

}  // namespace
}  // namespace qv
