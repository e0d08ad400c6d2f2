// What the tweak assumes of the device's ABI, checked when the device libraries are compiled:
// 64-bit CGFloat and NSInteger, BOOL as bool, CoreMedia's time layout, and the type encodings
// that methods are declared and added with.
#include <cstddef>
#include <type_traits>

#include "platform/CoreGraphics/CGGeometry.h"
#include "platform/CoreMedia/CMTimeRange.h"
#include "platform/Foundation/Foundation.h"

static_assert(sizeof(void*) == 8 && sizeof(long) == 8, "arm64 is LP64");
static_assert(sizeof(CGFloat) == 8 && std::is_same_v<CGFloat, double>);
static_assert(sizeof(NSInteger) == 8 && sizeof(NSUInteger) == 8);
static_assert(std::is_same_v<BOOL, bool> && sizeof(BOOL) == 1);

static_assert(sizeof(CMTime) == 24 && alignof(CMTime) == 8);
static_assert(offsetof(CMTime, value) == 0 && offsetof(CMTime, timescale) == 8 &&
              offsetof(CMTime, flags) == 12 && offsetof(CMTime, epoch) == 16);
static_assert(sizeof(CMTimeRange) == 48);
static_assert(sizeof(CGPoint) == 16 && sizeof(CGSize) == 16 && sizeof(CGRect) == 32);
static_assert(sizeof(CGAffineTransform) == 48);

static_assert(qv::Encoding<BOOL>::value == "B");
static_assert(qv::Encoding<NSInteger>::value == "q" && qv::Encoding<NSUInteger>::value == "Q");
static_assert(qv::Encoding<long long>::value == "q");
static_assert(qv::Encoding<unsigned long long>::value == "Q");
static_assert(qv::Encoding<CGFloat>::value == "d" && qv::Encoding<float>::value == "f");
static_assert(qv::Encoding<CGRect>::value == "{CGRect={CGPoint=dd}{CGSize=dd}}");
static_assert(qv::Encoding<CMTime>::value == "{CMTime=qiIq}");
