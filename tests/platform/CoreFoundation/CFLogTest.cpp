#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"

namespace {

using Lines = std::vector<std::string>;

class CFLogTest : public ::testing::Test {
 protected:
  void SetUp() override { qv::clearProcessLog(); }
  void TearDown() override {
    qv::setLogSink(nullptr);
    qv::clearProcessLog();
  }
};

TEST_F(CFLogTest, WritesTheFormattedMessageAsOneLineToStandardErrorAndTheProcessLog) {
  qv::Ref<> message = qv::makeString("logos: nil class CAMCameraView");
  ::testing::internal::CaptureStderr();
  CFLog(kCFLogLevelError, CFSTR("[%s: %s:%d] %s: %@"), "QuorvaneiOS8", "Tweak", 432, "ERROR",
        message.get());
  CFLog(kCFLogLevelNotice, CFSTR("value %@, %ld"), static_cast<id>(nil), 42L);
  const std::string line = "[QuorvaneiOS8: Tweak:432] ERROR: logos: nil class CAMCameraView";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), line + "\nvalue (null), 42\n");
  EXPECT_EQ(qv::processLog(), (Lines{line, "value (null), 42"}));
  qv::clearProcessLog();
  EXPECT_TRUE(qv::processLog().empty());
}

// The simulator's sink may log in turn as it forwards a line.
TEST_F(CFLogTest, SinkReplacesStandardErrorUntilRemoved) {
  Lines sunk;
  qv::setLogSink([&](int level, const std::string& message) {
    sunk.push_back(std::to_string(level) + " " + message);
    if (message == "outer") CFLog(kCFLogLevelInfo, CFSTR("inner"));
  });
  ::testing::internal::CaptureStderr();
  CFLog(kCFLogLevelWarning, CFSTR("outer"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(sunk, (Lines{"4 outer", "6 inner"}));

  qv::setLogSink(nullptr);
  ::testing::internal::CaptureStderr();
  CFLog(kCFLogLevelDebug, CFSTR("after"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "after\n");
  EXPECT_EQ(sunk.size(), 2u);
  EXPECT_EQ(qv::processLog(), (Lines{"outer", "inner", "after"}));
}

TEST_F(CFLogTest, NullFormatIsAnError) {
  EXPECT_THROW(CFLog(kCFLogLevelError, nullptr), qv::ObjCException);
  EXPECT_TRUE(qv::processLog().empty());
}

TEST(CFEqualTest, ComparesWithIsEqual) {
  qv::Ref<> first = qv::makeString("RearFacingCameraHFRCapability");
  qv::Ref<> same = qv::makeString("RearFacingCameraHFRCapability");
  qv::Ref<> other = qv::makeString("FrontFacingCameraHFRCapability");
  EXPECT_TRUE(CFEqual(first.get(), same.get()));
  EXPECT_TRUE(CFEqual(CFSTR("RearFacingCameraHFRCapability"), first.get()));
  EXPECT_FALSE(CFEqual(first.get(), other.get()));
  EXPECT_FALSE(CFEqual(first.get(), nullptr));
  EXPECT_FALSE(CFEqual(nullptr, first.get()));
  EXPECT_FALSE(CFEqual(nullptr, nullptr));
}

// Tweaks and hosts find these by their C names, as on the device.
TEST(CoreFoundationSymbolsTest, ExportedUnderTheirCNames) {
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "kCFCoreFoundationVersionNumber"),
            static_cast<void*>(&kCFCoreFoundationVersionNumber));
  for (const char* name :
       {"CFLog", "CFEqual", "CFNotificationCenterGetDarwinNotifyCenter",
        "CFNotificationCenterAddObserver", "CFNotificationCenterRemoveObserver",
        "CFNotificationCenterRemoveEveryObserver", "CFNotificationCenterPostNotification"}) {
    EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
  }
  EXPECT_EQ(kCFCoreFoundationVersionNumber, 0.0);
}

}  // namespace
