#include <gtest/gtest.h>

#include <cstring>

#include "platform/Foundation/Foundation.h"
#include "platform/dispatch/Clock.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

Class cls(const char* name) {
  return objc_getClass(name);
}

id data(const void* bytes, NSUInteger length) {
  return send<id>(cls("NSData"), "dataWithBytes:length:"_sel, bytes, length);
}

id dateAt(NSTimeInterval since1970) {
  return send<id>(cls("NSDate"), "dateWithTimeIntervalSince1970:"_sel, since1970);
}

class DataAndDateTest : public ::testing::Test {
 protected:
  AutoreleasePool pool_;
};

TEST_F(DataAndDateTest, DataCopiesItsBytes) {
  char bytes[] = "\x01\x02\x03\x04\x05";
  id copy = data(bytes, NSUInteger(5));
  bytes[0] = 9;
  EXPECT_EQ(send<NSUInteger>(copy, "length"_sel), 5u);
  EXPECT_EQ(std::memcmp(send<const void*>(copy, "bytes"_sel), "\x01\x02\x03\x04\x05", 5), 0);
  EXPECT_EQ(describe(copy), "<01020304 05>");
  EXPECT_TRUE(send<BOOL>(copy, "isEqual:"_sel, data("\x01\x02\x03\x04\x05", NSUInteger(5))));
  EXPECT_FALSE(send<BOOL>(copy, "isEqual:"_sel, data(bytes, NSUInteger(5))));
  EXPECT_EQ(describe(data(nullptr, NSUInteger(0))), "<>");
  EXPECT_THROW(data(nullptr, NSUInteger(1)), ObjCException);
}

TEST_F(DataAndDateTest, DatesDescribeThemselvesInUtc) {
  EXPECT_EQ(describe(dateAt(0)), "1970-01-01 00:00:00 +0000");
  EXPECT_EQ(describe(dateAt(-0.5)), "1969-12-31 23:59:59 +0000");
  EXPECT_EQ(describe(dateAt(951782400 + 86399.9)), "2000-02-29 23:59:59 +0000");
  EXPECT_EQ(describe(dateAt(-62135596800)), "0001-01-01 00:00:00 +0000");
  EXPECT_EQ(describe(dateAt(1e300)), "1e+300");
}

TEST_F(DataAndDateTest, NowIsThePlatformClock) {
  id start = send<id>(cls("NSDate"), "date"_sel);
  EXPECT_EQ(send<NSTimeInterval>(start, "timeIntervalSince1970"_sel), Clock::now() / 1e9);
  id later = send<id>(cls("NSDate"), "dateWithTimeIntervalSinceNow:"_sel, 10.0);
  Clock::advanceTo(Clock::now() + 2'500'000'000);
  EXPECT_EQ(send<NSTimeInterval>(start, "timeIntervalSinceNow"_sel), -2.5);
  EXPECT_EQ(send<NSTimeInterval>(later, "timeIntervalSinceDate:"_sel, start), 10.0);
  Ref<> made = make(cls("NSDate"));
  EXPECT_EQ(send<NSTimeInterval>(made, "timeIntervalSinceNow"_sel), 0.0);
  EXPECT_THROW(send<NSTimeInterval>(start, "timeIntervalSinceDate:"_sel, id{nil}), ObjCException);
}

TEST_F(DataAndDateTest, DatesAreEqualAtTheSameInstant) {
  EXPECT_TRUE(send<BOOL>(dateAt(1.5), "isEqual:"_sel, dateAt(1.5)));
  EXPECT_EQ(send<NSUInteger>(dateAt(1.5), "hash"_sel), send<NSUInteger>(dateAt(1.5), "hash"_sel));
  EXPECT_FALSE(send<BOOL>(dateAt(1.5), "isEqual:"_sel, dateAt(1.25)));
  EXPECT_FALSE(send<BOOL>(dateAt(1.5), "isEqual:"_sel, makeNumber(1.5).get()));
}

}  // namespace
}  // namespace qv
