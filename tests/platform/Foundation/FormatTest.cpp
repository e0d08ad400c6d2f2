#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/Foundation/Foundation.h"

namespace qv {
namespace {

// formatString must print every C conversion exactly as the C library does.
#define EXPECT_LIKE_SNPRINTF(...)                                   \
  do {                                                              \
    char expected[1024];                                            \
    std::snprintf(expected, sizeof expected, __VA_ARGS__);          \
    EXPECT_EQ(formatString(__VA_ARGS__), expected) << #__VA_ARGS__; \
  } while (false)

TEST(Format, IntegerConversionsWithFlagsWidthPrecisionAndLength) {
  EXPECT_LIKE_SNPRINTF("%d|%i|%5d|%-5d|%+d|% d|%05d|%.3d|%8.3d|%-+8.3d|", 42, -42, 42, 42, 42, 42,
                       -42, 7, -7, 7);
  EXPECT_LIKE_SNPRINTF("%hhd %hhu %hd %hu", 300, 300, 70000, 70000);
  EXPECT_LIKE_SNPRINTF("%ld %lu %lld %llu", LONG_MIN, ULONG_MAX, LLONG_MIN, ULLONG_MAX);
  EXPECT_LIKE_SNPRINTF("%zu %zd %td %jd %ju", SIZE_MAX, static_cast<ssize_t>(-3),
                       static_cast<std::ptrdiff_t>(-4), INTMAX_MIN, UINTMAX_MAX);
  EXPECT_LIKE_SNPRINTF("%u %o %#o %x %#x %X %#X %#.0x", 4000000000u, 8u, 8u, 255u, 255u, 255u, 255u,
                       0u);
  EXPECT_LIKE_SNPRINTF("%.0d|%5.0d|%-#10lx|", 0, 0, 0xABCDEFUL);
  EXPECT_EQ(formatString("%qd %qu %qx", -5LL, 18446744073709551615ULL, 255ULL),
            "-5 18446744073709551615 ff");
}

TEST(Format, FloatingConversions) {
  EXPECT_LIKE_SNPRINTF("%f %.2f %10.4f %-10.1f| %+.3f %08.2f", 3.14159, 2.005, -1.5, 1.25, 0.0,
                       -3.5);
  EXPECT_LIKE_SNPRINTF("%e %E %.0e %#.0e %g %G %g %g", 12345.678, 0.00012, 5.0, 5.0, 0.0001, 1e-10,
                       123456789.0, 100000.0);
  EXPECT_LIKE_SNPRINTF("%a %A %.3a", 1.0, -0.5, 3.14159);
  EXPECT_LIKE_SNPRINTF("%f %F %e %g %5.1f|", HUGE_VAL, -HUGE_VAL, NAN, -0.0, -NAN);
  EXPECT_LIKE_SNPRINTF("%Lf %.3Le %Lg", 1.5L, 12345.678L, 0.1L);
  EXPECT_LIKE_SNPRINTF("%.400f", 1e300);
}

TEST(Format, CharactersStringsAndPointers) {
  // volatile: the C library's null-string output is what is compared, not a compile-time warning.
  const char* volatile absent = nullptr;
  int local = 0;
  EXPECT_LIKE_SNPRINTF("%c|%5c|%-3c|", 'a', 'b', 'c');
  EXPECT_LIKE_SNPRINTF("%s|%.2s|%-6s|%10.3s|%s|", "text", "text", "ab", "abcdef", "");
  EXPECT_LIKE_SNPRINTF("%s|%.3s|", absent, absent);
  EXPECT_LIKE_SNPRINTF("%p %20p %p", static_cast<void*>(&local), static_cast<void*>(&local),
                       static_cast<void*>(nullptr));
  EXPECT_LIKE_SNPRINTF("%ls %lc", L"wide", static_cast<wint_t>(L'w'));
}

TEST(Format, StarsTakeWidthAndPrecisionFromArguments) {
  EXPECT_LIKE_SNPRINTF("%*d|%-*d|%*d|", 6, 42, 6, 42, -6, 42);
  EXPECT_LIKE_SNPRINTF("%.*f|%.*f|%*.*s|", 2, 3.14159, -1, 3.14159, 8, 3, "abcdef");
  EXPECT_LIKE_SNPRINTF("%*.*e then %d", 12, 2, 1234.5, 99);
}

TEST(Format, PlainConversionsWrittenWithoutTheCLibraryReadAsItWould) {
  EXPECT_LIKE_SNPRINTF("%d|%i|%d|%d|%d", 0, -7, INT_MIN, INT_MAX, 120);
  EXPECT_LIKE_SNPRINTF("[%s: %s:%d] %s|%s", "QuorvaneiOS8", "Tweak", 432, "", "end");
  const char* missing = nullptr;
  EXPECT_EQ(formatString("%s|%5s", missing, "ab"), "(null)|   ab");
  EXPECT_EQ(formatString("%d %ld %s", 1, 2L, "three"), "1 2 three") << "arguments stay in step";
}

TEST(Format, PercentLiteralsAndPlainText) {
  EXPECT_LIKE_SNPRINTF("100%% sure, %d%%", 5);
  EXPECT_EQ(formatString("no conversions at all"), "no conversions at all");
  EXPECT_EQ(formatString(""), "");
  EXPECT_EQ(formatString(nullptr), "");
  EXPECT_EQ(formatString("%-5%|"), "%|");
}

TEST(Format, ObjectsPrintTheirDescription) {
  Ref<> text = makeString("Driftlane");
  Ref<> number = makeNumber(120.5);
  EXPECT_EQ(formatString("[%@] %@ (%@)", text.get(), number.get(), id{nil}),
            "[Driftlane] 120.5 ((null))");
  EXPECT_EQ(formatString("%12@|%-12@|%.5@|", text.get(), text.get(), text.get()),
            "   Driftlane|Driftlane   |Drift|");
  EXPECT_EQ(formatString("%@ %d %s %@", text.get(), 3, "c", number.get()), "Driftlane 3 c 120.5");
  // A precision never cuts a UTF-8 sequence in two.
  Ref<> accented = makeString("caf\xC3\xA9!");
  EXPECT_EQ(formatString("%.4@|%.5@", accented.get(), accented.get()), "caf|caf\xC3\xA9");
  EXPECT_EQ(formatString("%@", asId(objc_getClass("NSString"))), "NSString");
}

TEST(Format, MalformedConversionsAreCopiedAndKeepArgumentsInStep) {
  EXPECT_EQ(formatString("%y %d", 5), "%y 5");
  EXPECT_EQ(formatString("trailing %"), "trailing %");
  EXPECT_EQ(formatString("trailing %-0"), "trailing %-0");
  EXPECT_EQ(formatString("%99999999999d|%d", 1, 2), "%99999999999d|2");
  EXPECT_EQ(formatString("%.99999999999f|%d", 1.0, 2), "%.99999999999f|2");
  EXPECT_EQ(formatString("%*d|%d", INT_MIN, 1, 2), "%*d|2");
}

TEST(Format, PercentNWritesNothing) {
  int written = -1;
  EXPECT_EQ(formatString("ab%ncd", &written), "abcd");
  EXPECT_EQ(written, -1);
}

TEST(Format, LongResultsGrowPastTheScratchBuffer) {
  const std::string padded = formatString("%300d|%-300s|", 7, "x");
  EXPECT_EQ(padded.size(), 602u);
  EXPECT_EQ(padded.substr(294, 7), "     7|");
  EXPECT_EQ(padded.substr(301, 2), "x ");
}

}  // namespace
}  // namespace qv
