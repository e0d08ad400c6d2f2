// What the tweak assumes of the device's ABI, checked when each slice of the device libraries is
// compiled: the word's size, CGFloat, NSInteger and BOOL as each slice's headers declare them,
// CoreMedia's time layout, and the type encodings that methods are declared and added with.
// Types whose width is the tweak's own (a 64-bit frame rate, 32-bit floats) are the same on both.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "port/CoreGraphics/CGGeometry.h"
#include "port/CoreMedia/CMTimeRange.h"
#include "port/Foundation/Foundation.h"

static_assert(offsetof(CMTime, value) == 0 && offsetof(CMTime, timescale) == 8 &&
              offsetof(CMTime, flags) == 12 && offsetof(CMTime, epoch) == 16);
static_assert(sizeof(CMTime) == 24 && sizeof(CMTimeRange) == 48);
static_assert(qv::Encoding<CMTime>::value == "{CMTime=qiIq}");
static_assert(qv::Encoding<std::uint64_t>::value == "Q" && qv::Encoding<float>::value == "f");
static_assert(qv::Encoding<long long>::value == "q");
static_assert(qv::Encoding<unsigned long long>::value == "Q");

#if defined(__arm64__)
static_assert(sizeof(void*) == 8 && sizeof(long) == 8, "arm64 is LP64");
static_assert(sizeof(CGFloat) == 8 && std::is_same_v<CGFloat, double>);
static_assert(sizeof(NSInteger) == 8 && sizeof(NSUInteger) == 8);
static_assert(std::is_same_v<BOOL, bool> && sizeof(BOOL) == 1);
static_assert(alignof(CMTime) == 8);
static_assert(sizeof(CGPoint) == 16 && sizeof(CGSize) == 16 && sizeof(CGRect) == 32);
static_assert(sizeof(CGAffineTransform) == 48);

static_assert(qv::Encoding<BOOL>::value == "B");
static_assert(qv::Encoding<NSInteger>::value == "q" && qv::Encoding<NSUInteger>::value == "Q");
static_assert(qv::Encoding<long>::value == "q");
static_assert(qv::Encoding<CGFloat>::value == "d");
static_assert(qv::Encoding<CGRect>::value == "{CGRect={CGPoint=dd}{CGSize=dd}}");
#elif defined(__arm__)
static_assert(sizeof(void*) == 4 && sizeof(long) == 4, "armv7 is ILP32");
static_assert(sizeof(CGFloat) == 4 && std::is_same_v<CGFloat, float>);
static_assert(std::is_same_v<NSInteger, int> && std::is_same_v<NSUInteger, unsigned int>);
static_assert(std::is_same_v<BOOL, signed char>);
// 64-bit members are 4-byte aligned in structs on 32-bit iOS.
static_assert(alignof(CMTime) == 4);
static_assert(sizeof(CGPoint) == 8 && sizeof(CGSize) == 8 && sizeof(CGRect) == 16);
static_assert(sizeof(CGAffineTransform) == 24);

static_assert(qv::Encoding<BOOL>::value == "c");
static_assert(qv::Encoding<NSInteger>::value == "i" && qv::Encoding<NSUInteger>::value == "I");
static_assert(qv::Encoding<long>::value == "l");
static_assert(qv::Encoding<CGFloat>::value == "f");
static_assert(qv::Encoding<CGRect>::value == "{CGRect={CGPoint=ff}{CGSize=ff}}");
// A hand-written declaration in the 64-bit spelling is added with this slice's letters.
static_assert(qv::declaredAs<void, id, NSInteger>("v@:@q"));
static_assert(!qv::declaredAs<void, id, double>("v@:@q"));
#else
#error "a device slice is arm64 or armv7"
#endif

// Struct results larger than a word come back through memory on armv7 only.
static_assert(qv::detail::returnsThroughMemory<CGRect>() == (sizeof(void*) == 4));
static_assert(qv::detail::returnsThroughMemory<CMTime>() == (sizeof(void*) == 4));
static_assert(!qv::detail::returnsThroughMemory<id>() &&
              !qv::detail::returnsThroughMemory<float>());
