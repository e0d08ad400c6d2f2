#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "platform/Foundation/Foundation.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

Class numberClass() {
  return objc_getClass("NSNumber");
}

class NumberTest : public ::testing::Test {
 protected:
  AutoreleasePool pool_;
};

struct FromDouble {
  double value;
  int intValue;
  unsigned int unsignedIntValue;
  long long longLongValue;
  unsigned long long unsignedLongLongValue;
  char charValue;
  bool boolValue;
};

// Doubles truncate toward zero and saturate at each target's limits; NaN is 0 and NO.
const FromDouble fromDoubles[] = {
    {2.9, 2, 2, 2, 2, 2, true},
    {-2.9, -2, 0, -2, 0, -2, true},
    {0.5, 0, 0, 0, 0, 0, true},
    {-0.0, 0, 0, 0, 0, 0, false},
    {1e-300, 0, 0, 0, 0, 0, true},
    {NAN, 0, 0, 0, 0, 0, false},
    {HUGE_VAL, INT_MAX, UINT_MAX, LLONG_MAX, ULLONG_MAX, CHAR_MAX, true},
    {-HUGE_VAL, INT_MIN, 0, LLONG_MIN, 0, CHAR_MIN, true},
    {1e300, INT_MAX, UINT_MAX, LLONG_MAX, ULLONG_MAX, CHAR_MAX, true},
    {-1e300, INT_MIN, 0, LLONG_MIN, 0, CHAR_MIN, true},
    {200.0, 200, 200, 200, 200, CHAR_MAX, true},
    {-200.0, -200, 0, -200, 0, CHAR_MIN, true},
    {2147483647.9, INT_MAX, 2147483647u, 2147483647, 2147483647, CHAR_MAX, true},
    {2147483648.0, INT_MAX, 2147483648u, 2147483648LL, 2147483648ULL, CHAR_MAX, true},
    {-2147483648.9, INT_MIN, 0, -2147483648LL, 0, CHAR_MIN, true},
    {4294967296.0, INT_MAX, UINT_MAX, 4294967296LL, 4294967296ULL, CHAR_MAX, true},
    {0x1p63, INT_MAX, UINT_MAX, LLONG_MAX, 0x8000000000000000ULL, CHAR_MAX, true},
    {-0x1p63, INT_MIN, 0, LLONG_MIN, 0, CHAR_MIN, true},
    {0x1p64, INT_MAX, UINT_MAX, LLONG_MAX, ULLONG_MAX, CHAR_MAX, true},
    {0x1.fffffffffffffp63, INT_MAX, UINT_MAX, LLONG_MAX, 0xFFFFFFFFFFFFF800ULL, CHAR_MAX, true},
};

TEST_F(NumberTest, DoublesConvertToEveryIntegerWithoutUndefinedBehaviour) {
  for (const FromDouble& row : fromDoubles) {
    SCOPED_TRACE(row.value);
    id number = send<id>(numberClass(), "numberWithDouble:"_sel, row.value);
    EXPECT_EQ(send<int>(number, "intValue"_sel), row.intValue);
    EXPECT_EQ(send<unsigned int>(number, "unsignedIntValue"_sel), row.unsignedIntValue);
    EXPECT_EQ(send<long>(number, "integerValue"_sel), row.longLongValue);
    EXPECT_EQ(send<unsigned long>(number, "unsignedIntegerValue"_sel), row.unsignedLongLongValue);
    EXPECT_EQ(send<long long>(number, "longLongValue"_sel), row.longLongValue);
    EXPECT_EQ(send<unsigned long long>(number, "unsignedLongLongValue"_sel),
              row.unsignedLongLongValue);
    EXPECT_EQ(send<char>(number, "charValue"_sel), row.charValue);
    EXPECT_EQ(send<BOOL>(number, "boolValue"_sel), row.boolValue ? YES : NO);
  }
}

TEST_F(NumberTest, FloatsSaturateLikeDoubles) {
  id big = send<id>(numberClass(), "numberWithFloat:"_sel, 3.4e38f);
  EXPECT_EQ(send<int>(big, "intValue"_sel), INT_MAX);
  EXPECT_EQ(send<double>(big, "doubleValue"_sel), static_cast<double>(3.4e38f));
  id nan = send<id>(numberClass(), "numberWithFloat:"_sel, NAN);
  EXPECT_EQ(send<long long>(nan, "longLongValue"_sel), 0);
  EXPECT_TRUE(std::isnan(send<float>(nan, "floatValue"_sel)));
  EXPECT_FALSE(send<BOOL>(nan, "boolValue"_sel));
}

TEST_F(NumberTest, FloatValueOfDoublesRoundsAndOverflowsToInfinity) {
  const auto floatOf = [](double value) {
    return send<float>(send<id>(numberClass(), "numberWithDouble:"_sel, value), "floatValue"_sel);
  };
  EXPECT_EQ(floatOf(0.1), 0.1f);
  EXPECT_EQ(floatOf(1e300), HUGE_VALF);
  EXPECT_EQ(floatOf(-1e300), -HUGE_VALF);
  EXPECT_EQ(floatOf(1e-300), 0.0f);
  EXPECT_EQ(floatOf(3.4028235e38), 3.4028235e38f);
  // Past the largest float but nearer to it than to 2^128: rounds down, not to infinity.
  EXPECT_EQ(floatOf(3.40282356e38), 3.4028235e38f);
  EXPECT_EQ(floatOf(3.40282357e38), HUGE_VALF);
}

TEST_F(NumberTest, IntegersTruncateToNarrowerTypesAsCDoes) {
  id big = send<id>(numberClass(), "numberWithLongLong:"_sel, 4294967297LL);
  EXPECT_EQ(send<int>(big, "intValue"_sel), 1);
  EXPECT_EQ(send<char>(send<id>(numberClass(), "numberWithInt:"_sel, 300), "charValue"_sel), 44);
  id minusOne = send<id>(numberClass(), "numberWithInt:"_sel, -1);
  EXPECT_EQ(send<unsigned int>(minusOne, "unsignedIntValue"_sel), UINT_MAX);
  EXPECT_EQ(send<unsigned long long>(minusOne, "unsignedLongLongValue"_sel), ULLONG_MAX);
  id largest = send<id>(numberClass(), "numberWithUnsignedLongLong:"_sel, ULLONG_MAX);
  EXPECT_EQ(send<long long>(largest, "longLongValue"_sel), -1);
  EXPECT_EQ(send<double>(largest, "doubleValue"_sel), 0x1p64);
  EXPECT_EQ(send<float>(largest, "floatValue"_sel), 0x1p64f);
  EXPECT_TRUE(send<BOOL>(largest, "boolValue"_sel));
  id integer = send<id>(numberClass(), "numberWithInteger:"_sel, LONG_MIN);
  EXPECT_EQ(send<double>(integer, "doubleValue"_sel), -0x1p63);
  EXPECT_EQ(send<int>(send<id>(numberClass(), "numberWithBool:"_sel, YES), "intValue"_sel), 1);
  EXPECT_EQ(
      send<unsigned long>(send<id>(numberClass(), "numberWithUnsignedInteger:"_sel, ULONG_MAX),
                          "unsignedIntegerValue"_sel),
      ULONG_MAX);
}

TEST_F(NumberTest, KindsAndDescriptions) {
  struct Row {
    Ref<> number;
    const char* type;
    const char* text;
  };
  const Row rows[] = {
      {makeNumber(true), "c", "1"},
      {makeNumber(false), "c", "0"},
      {makeNumber(42), "i", "42"},
      {makeNumber(-1L), "q", "-1"},
      {makeNumber(LLONG_MIN), "q", "-9223372036854775808"},
      {makeNumber(ULLONG_MAX), "Q", "18446744073709551615"},
      {makeNumber(0.1f), "f", "0.1"},
      {makeNumber(0.1), "d", "0.1"},
      {makeNumber(1.0 / 3), "d", "0.3333333333333333"},
      {makeNumber(120.0), "d", "120"},
      {makeNumber(1e20), "d", "1e+20"},
      {makeNumber(-0.0), "d", "-0"},
      {makeNumber(HUGE_VAL), "d", "inf"},
      {makeNumber(static_cast<double>(NAN)), "d", "nan"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_STREQ(send<const char*>(row.number, "objCType"_sel), row.type);
    EXPECT_EQ(utf8(send<id>(row.number, "stringValue"_sel)), row.text);
    EXPECT_EQ(describe(row.number), row.text);
  }
}

TEST_F(NumberTest, EqualityIsByMathematicalValueAcrossKinds) {
  const auto equal = [](const Ref<>& a, const Ref<>& b) {
    const bool same = send<BOOL>(a, "isEqual:"_sel, b.get());
    EXPECT_EQ(same, send<BOOL>(b, "isEqualToNumber:"_sel, a.get()));
    if (same) {
      EXPECT_EQ(send<NSUInteger>(a, "hash"_sel), send<NSUInteger>(b, "hash"_sel));
    }
    return same;
  };
  EXPECT_TRUE(equal(makeNumber(1), makeNumber(1.0)));
  EXPECT_TRUE(equal(makeNumber(true), makeNumber(1LL)));
  EXPECT_TRUE(equal(makeNumber(0.0), makeNumber(-0.0)));
  EXPECT_TRUE(equal(makeNumber(0.5f), makeNumber(0.5)));
  EXPECT_TRUE(equal(makeNumber(0x8000000000000000ULL), makeNumber(0x1p63)));
  EXPECT_TRUE(equal(makeNumber(static_cast<double>(NAN)), makeNumber(static_cast<float>(NAN))));
  EXPECT_FALSE(equal(makeNumber(0.1f), makeNumber(0.1)));
  EXPECT_FALSE(equal(makeNumber(-1LL), makeNumber(ULLONG_MAX)));
  EXPECT_FALSE(equal(makeNumber(LLONG_MAX), makeNumber(0x1p63)));
  EXPECT_FALSE(equal(makeNumber(static_cast<double>(NAN)), makeNumber(0)));
  Ref<> one = makeNumber(1);
  EXPECT_FALSE(send<BOOL>(one, "isEqual:"_sel, "1"_ns));
  EXPECT_FALSE(send<BOOL>(one, "isEqual:"_sel, id{nil}));
}

TEST_F(NumberTest, CompareOrdersByValue) {
  const auto compare = [](const Ref<>& a, const Ref<>& b) {
    return send<long>(a, "compare:"_sel, b.get());
  };
  EXPECT_EQ(compare(makeNumber(-1LL), makeNumber(ULLONG_MAX)), -1);
  EXPECT_EQ(compare(makeNumber(2.5), makeNumber(2)), 1);
  EXPECT_EQ(compare(makeNumber(2.0f), makeNumber(2UL)), 0);
  EXPECT_EQ(compare(makeNumber(static_cast<double>(NAN)), makeNumber(-HUGE_VAL)), -1);
  EXPECT_THROW(send<long>(makeNumber(1), "compare:"_sel, id{nil}), ObjCException);
}

TEST_F(NumberTest, InitializersAndCopies) {
  Ref<> number = adopt(send<id>(send<id>(numberClass(), "alloc"_sel), "initWithFloat:"_sel, 0.25f));
  EXPECT_EQ(send<float>(number, "floatValue"_sel), 0.25f);
  Ref<> copy = adopt(send<id>(number, "copy"_sel));
  EXPECT_EQ(copy.get(), number.get());
  Ref<> unsignedNumber =
      adopt(send<id>(send<id>(numberClass(), "alloc"_sel), "initWithUnsignedLongLong:"_sel, 7ULL));
  EXPECT_STREQ(send<const char*>(unsignedNumber, "objCType"_sel), "Q");
}

}  // namespace
}  // namespace qv
