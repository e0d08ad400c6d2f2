#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "platform/Foundation/Foundation.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

Class stringClass() {
  return objc_getClass("NSString");
}

id string(const char* text) {
  return send<id>(stringClass(), "stringWithUTF8String:"_sel, text);
}

class StringTest : public ::testing::Test {
 protected:
  AutoreleasePool pool_;
};

struct Reading {
  const char* text;
  int intValue;
  long integerValue;
  double doubleValue;
  bool boolValue;
};

// Leading white space, an optional sign, the longest numeric prefix; saturation at each
// conversion's own limits.
const Reading readings[] = {
    {"", 0, 0, 0.0, false},
    {"42", 42, 42, 42.0, true},
    {"  \t\n-17xyz", -17, -17, -17.0, true},
    {"\v\f\r+7", 7, 7, 7.0, true},
    {"12.9", 12, 12, 12.9, true},
    {"-0.25", 0, 0, -0.25, false},
    {".5", 0, 0, 0.5, false},
    {"-.5e1", 0, 0, -5.0, false},
    {"5.", 5, 5, 5.0, true},
    {".", 0, 0, 0.0, false},
    {"1e3", 1, 1, 1000.0, true},
    {"1e", 1, 1, 1.0, true},
    {"1e+", 1, 1, 1.0, true},
    {"2E-2x", 2, 2, 0.02, true},
    {"0005", 5, 5, 5.0, true},
    {"000", 0, 0, 0.0, false},
    {"-1", -1, -1, -1.0, true},
    {"yes", 0, 0, 0.0, true},
    {"Yes", 0, 0, 0.0, true},
    {"true", 0, 0, 0.0, true},
    {"T", 0, 0, 0.0, true},
    {"no", 0, 0, 0.0, false},
    {"false", 0, 0, 0.0, false},
    {"abc", 0, 0, 0.0, false},
    {"- 5", 0, 0, 0.0, false},
    {"--5", 0, 0, 0.0, false},
    {"+-5", 0, 0, 0.0, false},
    {"   ", 0, 0, 0.0, false},
    {"inf", 0, 0, 0.0, false},
    {"nan", 0, 0, 0.0, false},
    {"0x1A", 0, 0, 0.0, false},
    {"99999999999", INT_MAX, 99999999999L, 99999999999.0, true},
    {"-99999999999", INT_MIN, -99999999999L, -99999999999.0, true},
    {"2147483648", INT_MAX, 2147483648L, 2147483648.0, true},
    {"-2147483648", INT_MIN, -2147483648L, -2147483648.0, true},
    {"9223372036854775807", INT_MAX, LONG_MAX, 9223372036854775807.0, true},
    {"9223372036854775808", INT_MAX, LONG_MAX, 9223372036854775808.0, true},
    {"-9223372036854775808", INT_MIN, LONG_MIN, -9223372036854775808.0, true},
    {"-9223372036854775809", INT_MIN, LONG_MIN, -9223372036854775809.0, true},
    {"123456789012345678901234567890", INT_MAX, LONG_MAX, 123456789012345678901234567890.0, true},
    {"1e999", 1, 1, HUGE_VAL, true},
    {"-1e999", -1, -1, -HUGE_VAL, true},
    {"1e-999", 1, 1, 0.0, true},
    {"4.9406564584124654e-324", 4, 4, 4.9406564584124654e-324, true},
    {"1e99999999999999999999", 1, 1, HUGE_VAL, true},
};

TEST_F(StringTest, NamesOfSelectorsAndClasses) {
  EXPECT_EQ(utf8(NSStringFromSelector("_slalomIndicatorTapped:"_sel)), "_slalomIndicatorTapped:");
  EXPECT_EQ(NSStringFromSelector(nullptr), nil);
  EXPECT_EQ(NSClassFromString("NSString"_ns), objc_getClass("NSString"));
  EXPECT_EQ(NSClassFromString("NoSuchClass"_ns), Nil);
  EXPECT_EQ(NSClassFromString(nil), Nil);
}

TEST_F(StringTest, NumericReadingsFollowThePlatform) {
  for (const Reading& row : readings) {
    SCOPED_TRACE(row.text);
    id text = string(row.text);
    EXPECT_EQ(send<int>(text, "intValue"_sel), row.intValue);
    EXPECT_EQ(send<long>(text, "integerValue"_sel), row.integerValue);
    EXPECT_EQ(send<long long>(text, "longLongValue"_sel), row.integerValue);
    EXPECT_EQ(send<double>(text, "doubleValue"_sel), row.doubleValue);
    EXPECT_EQ(send<BOOL>(text, "boolValue"_sel), row.boolValue ? YES : NO);
  }
}

TEST_F(StringTest, FloatValueIsTheDoubleRoundedToFloat) {
  EXPECT_EQ(send<float>(string("0.1"), "floatValue"_sel), 0.1f);
  EXPECT_EQ(send<float>(string("3.4028234e38"), "floatValue"_sel), 3.4028234e38f);
  // Past the largest float but nearer to it than to the next power: rounds down, not to inf.
  EXPECT_EQ(send<float>(string("3.40282356e38"), "floatValue"_sel), 3.4028234e38f);
  EXPECT_EQ(send<float>(string("3.5e38"), "floatValue"_sel), HUGE_VALF);
  EXPECT_EQ(send<float>(string("-1e300"), "floatValue"_sel), -HUGE_VALF);
  EXPECT_EQ(send<float>(string("1e-300"), "floatValue"_sel), 0.0f);
  EXPECT_EQ(send<float>(string(" 120.5 fps"), "floatValue"_sel), 120.5f);
}

TEST_F(StringTest, LengthCountsUtf16CodeUnits) {
  EXPECT_EQ(send<NSUInteger>(string(""), "length"_sel), 0u);
  EXPECT_EQ(send<NSUInteger>(string("Slo-mo"), "length"_sel), 6u);
  EXPECT_EQ(send<NSUInteger>(string("caf\xC3\xA9"), "length"_sel), 4u);
  EXPECT_EQ(send<NSUInteger>(string("\xE2\x9D\x97 x"), "length"_sel), 3u);
  EXPECT_EQ(send<NSUInteger>(string("\xF0\x9F\x98\x80"), "length"_sel), 2u);
}

TEST_F(StringTest, MalformedUtf8FailsTheInitializerButMakeStringRepairsIt) {
  for (const char* bad : {"\xFF", "a\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x9D"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(string(bad), nil);
  }
  EXPECT_EQ(send<id>(stringClass(), "stringWithUTF8String:"_sel, static_cast<const char*>(nullptr)),
            nil);
  Ref<> repaired = makeString(
      "a\xFF"
      "b");
  EXPECT_EQ(utf8(repaired),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(send<NSUInteger>(repaired, "length"_sel), 3u);
}

TEST_F(StringTest, EqualityAndHashGoByContent) {
  Ref<> a = makeString("MogulFramerate");
  Ref<> b = makeString("MogulFramerate");
  Ref<> number = makeNumber(1);
  EXPECT_NE(a.get(), b.get());
  EXPECT_TRUE(send<BOOL>(a, "isEqual:"_sel, b.get()));
  EXPECT_TRUE(send<BOOL>(a, "isEqualToString:"_sel, b.get()));
  EXPECT_EQ(send<NSUInteger>(a, "hash"_sel), send<NSUInteger>(b, "hash"_sel));
  EXPECT_FALSE(send<BOOL>(a, "isEqual:"_sel, string("MogulFramerat")));
  EXPECT_FALSE(send<BOOL>(a, "isEqual:"_sel, number.get()));
  EXPECT_FALSE(send<BOOL>(a, "isEqual:"_sel, id{nil}));
  EXPECT_TRUE(send<BOOL>(a, "isEqual:"_sel, "MogulFramerate"_ns));
}

TEST_F(StringTest, PrefixesAndSuffixes) {
  id text = string("com.Tovi.Halvenor.prefs");
  EXPECT_TRUE(send<BOOL>(text, "hasPrefix:"_sel, "com.Tovi"_ns));
  EXPECT_TRUE(send<BOOL>(text, "hasSuffix:"_sel, ".prefs"_ns));
  EXPECT_TRUE(send<BOOL>(text, "hasPrefix:"_sel, text));
  EXPECT_FALSE(send<BOOL>(text, "hasPrefix:"_sel, ".prefs"_ns));
  EXPECT_FALSE(send<BOOL>(text, "hasSuffix:"_sel, "com"_ns));
  // The platform finds no empty prefix or suffix.
  EXPECT_FALSE(send<BOOL>(text, "hasPrefix:"_sel, ""_ns));
  EXPECT_FALSE(send<BOOL>(text, "hasSuffix:"_sel, ""_ns));
  EXPECT_FALSE(send<BOOL>(text, "hasPrefix:"_sel, id{nil}));
}

std::vector<std::string> components(const char* text, id separator) {
  std::vector<std::string> parts;
  id array = send<id>(string(text), "componentsSeparatedByString:"_sel, separator);
  for (id part : arrayElements(array)) parts.push_back(utf8(part));
  return parts;
}

TEST_F(StringTest, AppendingAndSplitting) {
  EXPECT_EQ(utf8(send<id>(string("Save "), "stringByAppendingString:"_sel, "Slo-mo"_ns)),
            "Save Slo-mo");
  using Parts = std::vector<std::string>;
  EXPECT_EQ(components("a,b,,c", ","_ns), (Parts{"a", "b", "", "c"}));
  EXPECT_EQ(components(",a,", ","_ns), (Parts{"", "a", ""}));
  EXPECT_EQ(components("killall Camera MobileSlideShow", " "_ns),
            (Parts{"killall", "Camera", "MobileSlideShow"}));
  EXPECT_EQ(components("a::b::", "::"_ns), (Parts{"a", "b", ""}));
  EXPECT_EQ(components("abc", ""_ns), (Parts{"abc"}));
  EXPECT_EQ(components("", ","_ns), (Parts{""}));
  EXPECT_THROW(send<id>(string("a"), "stringByAppendingString:"_sel, id{nil}), ObjCException);
  EXPECT_THROW(send<id>(string("a"), "componentsSeparatedByString:"_sel, id{nil}), ObjCException);
}

TEST_F(StringTest, StringWithFormat) {
  Ref<> number = makeNumber(240);
  id made = sendVarargs<id, id>(asId(stringClass()), "stringWithFormat:"_sel, "%d fps, %@ (%s)"_ns,
                                120, number.get(), "max");
  EXPECT_EQ(utf8(made), "120 fps, 240 (max)");
  EXPECT_TRUE(isKindOf(made, stringClass()));
  EXPECT_THROW((sendVarargs<id, id>(asId(stringClass()), "stringWithFormat:"_sel, id{nil}, 1)),
               ObjCException);
}

TEST_F(StringTest, ImmutableCopiesAndDescriptionsAreTheStringItself) {
  Ref<> text = makeString("rate");
  Ref<> copy = adopt(send<id>(text, "copy"_sel));
  EXPECT_EQ(copy.get(), text.get());
  EXPECT_EQ(retainCount(text), 2u);
  EXPECT_EQ(send<id>(text, "description"_sel), text.get());
  const char* bytes = send<const char*>(text, "UTF8String"_sel);
  EXPECT_STREQ(bytes, "rate");
  EXPECT_EQ(bytes, send<const char*>(text, "UTF8String"_sel));
}

TEST_F(StringTest, LiteralsAreImmortalAndShared) {
  id literal = "volumeRamp"_ns;
  EXPECT_EQ(literal, "volumeRamp"_ns);
  EXPECT_TRUE(isKindOf(literal, stringClass()));
  for (int i = 0; i < 3; ++i) release(literal);
  retain(literal);
  autorelease(literal);
  pool_.drain();
  EXPECT_EQ(utf8(literal), "volumeRamp");
  EXPECT_EQ(send<NSUInteger>(literal, "length"_sel), 10u);
}

TEST_F(StringTest, CppHelpers) {
  EXPECT_EQ(utf8(nil), "");
  EXPECT_EQ(utf8(makeNumber(1)), "");
  EXPECT_EQ(describe(nil), "(null)");
  EXPECT_EQ(describe(string("plain")), "plain");
  Ref<> object = make(NSObjectClass());
  EXPECT_EQ(describe(object).rfind("<NSObject: 0x", 0), 0u) << describe(object);
  EXPECT_EQ(describe(asId(stringClass())), "NSString");
  EXPECT_EQ(utf8(makeString(std::string_view("a\0b", 3))).size(), 3u);
}

}  // namespace
}  // namespace qv
