#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

// An iPhone 6-like camera: small formats at 30, 720p up to 240, 1080p up to 60, and one
// non-video format last so that the active format has to skip it.
std::vector<CaptureFormat> sixFormats() {
  return {{"vide", 640, 480, {{2, 30}}},
          {"vide", 1280, 720, {{2, 30}, {2, 60}, {2, 240}}},
          {"vide", 1920, 1080, {{2, 30}, {2, 60}}},
          {"soun", 0, 0, {}}};
}

// The exception's name, or "" when the call returned.
std::string raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const ObjCException& exception) {
    return exception.name();
  }
  return "";
}

bool sameTime(CMTime a, CMTime b) {
  return CMTimeCompare(a, b) == 0 && CMTIME_IS_VALID(a) == CMTIME_IS_VALID(b);
}

class CaptureDevice : public ::testing::Test {
 protected:
  void SetUp() override { setBackCamera(sixFormats()); }
  void TearDown() override { setBackCamera(std::nullopt); }

  id camera() const {
    return send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                    AVMediaTypeVideo);
  }
  std::vector<id> formats() const { return arrayElements(send<id>(camera(), "formats"_sel)); }
  CMTime minDuration() const { return send<CMTime>(camera(), "activeVideoMinFrameDuration"_sel); }
  CMTime maxDuration() const { return send<CMTime>(camera(), "activeVideoMaxFrameDuration"_sel); }
  void lock() const {
    id error = "untouched"_ns;
    EXPECT_TRUE(send<BOOL>(camera(), "lockForConfiguration:"_sel, &error));
    EXPECT_EQ(error, nil);
  }
  void setMin(CMTime duration) const {
    send(camera(), "setActiveVideoMinFrameDuration:"_sel, duration);
  }
  void setMax(CMTime duration) const {
    send(camera(), "setActiveVideoMaxFrameDuration:"_sel, duration);
  }

  AutoreleasePool pool;
};

TEST_F(CaptureDevice, MediaTypesAreThePlatformsStrings) {
  EXPECT_EQ(utf8(AVMediaTypeVideo), "vide");
  EXPECT_EQ(utf8(AVMediaTypeAudio), "soun");
}

TEST_F(CaptureDevice, OnlyVideoFindsTheBackCamera) {
  Class device = objc_getClass("AVCaptureDevice");
  EXPECT_NE(camera(), nil);
  EXPECT_EQ(send<id>(device, "defaultDeviceWithMediaType:"_sel, AVMediaTypeAudio), nil);
  EXPECT_EQ(send<id>(device, "defaultDeviceWithMediaType:"_sel, nil), nil);
  setBackCamera(std::nullopt);
  EXPECT_EQ(camera(), nil) << "a device without a back camera";
}

TEST_F(CaptureDevice, FormatsKeepTheCamerasOrderAndRanges) {
  const std::vector<id> list = formats();
  ASSERT_EQ(list.size(), 4u);
  id hd = list[1];
  EXPECT_EQ(utf8(send<id>(hd, "mediaType"_sel)), "vide");
  EXPECT_EQ(utf8(send<id>(list[3], "mediaType"_sel)), "soun");
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(hd, "formatDescription"_sel));
  EXPECT_EQ(size.width, 1280);
  EXPECT_EQ(size.height, 720);

  const std::vector<id> ranges = arrayElements(send<id>(hd, "videoSupportedFrameRateRanges"_sel));
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(send<double>(ranges[0], "maxFrameRate"_sel), 30.0);
  EXPECT_EQ(send<double>(ranges[2], "maxFrameRate"_sel), 240.0);
  EXPECT_EQ(send<double>(ranges[2], "minFrameRate"_sel), 2.0);
  EXPECT_TRUE(sameTime(send<CMTime>(ranges[2], "minFrameDuration"_sel), CMTimeMake(1, 240)));
  EXPECT_TRUE(sameTime(send<CMTime>(ranges[2], "maxFrameDuration"_sel), CMTimeMake(1, 2)));
  EXPECT_EQ(describe(ranges[2]).find(" 2 - 240>") != std::string::npos, true)
      << describe(ranges[2]);
}

TEST_F(CaptureDevice, FractionalRatesGiveMatchingDurations) {
  setBackCamera(std::vector<CaptureFormat>{{"vide", 1280, 720, {{29.97, 119.88}}}});
  id range = arrayElements(send<id>(formats()[0], "videoSupportedFrameRateRanges"_sel))[0];
  EXPECT_TRUE(sameTime(send<CMTime>(range, "minFrameDuration"_sel), CMTimeMake(1000, 119880)));
  EXPECT_TRUE(sameTime(send<CMTime>(range, "maxFrameDuration"_sel), CMTimeMake(1000, 29970)));
}

TEST_F(CaptureDevice, StartsOnTheLargestVideoFormatAtThirty) {
  EXPECT_EQ(send<id>(camera(), "activeFormat"_sel), formats()[2]);
  EXPECT_TRUE(sameTime(minDuration(), CMTimeMake(1, 30)));
  EXPECT_TRUE(sameTime(maxDuration(), CMTimeMake(1, 30)));
}

TEST_F(CaptureDevice, ConfigurationNeedsTheLock) {
  id hd = formats()[1];
  EXPECT_EQ(raised([&] { send(camera(), "setActiveFormat:"_sel, hd); }), "NSGenericException");
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(1, 60)); }), "NSGenericException");
  EXPECT_EQ(raised([&] { setMax(CMTimeMake(1, 60)); }), "NSGenericException");

  lock();
  send(camera(), "setActiveFormat:"_sel, hd);
  setMin(CMTimeMake(1, 240));
  setMax(CMTimeMake(1, 240));
  send(camera(), "unlockForConfiguration"_sel);
  EXPECT_EQ(send<id>(camera(), "activeFormat"_sel), hd);
  EXPECT_TRUE(sameTime(minDuration(), CMTimeMake(1, 240)));
  EXPECT_TRUE(sameTime(maxDuration(), CMTimeMake(1, 240)));
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(1, 30)); }), "NSGenericException") << "unlocked again";
}

TEST_F(CaptureDevice, DurationsOutsideTheActiveFormatsRangesRaise) {
  lock();
  // The active format is 1080p, which reaches 60.
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(1, 120)); }), "NSInvalidArgumentException");
  EXPECT_EQ(raised([&] { setMax(CMTimeMake(1, 1)); }), "NSInvalidArgumentException");
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(1, 0)); }), "NSInvalidArgumentException")
      << "a zero timescale makes an invalid time";
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(1, -240)); }), "NSInvalidArgumentException");
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(2, 120)); }), "") << "2/120 is 60 frames per second";
  EXPECT_EQ(raised([&] { setMax(CMTimeMake(1, 2)); }), "");
  EXPECT_TRUE(sameTime(minDuration(), CMTimeMake(1, 60)));
  EXPECT_TRUE(sameTime(maxDuration(), CMTimeMake(1, 2)));
}

TEST_F(CaptureDevice, TheReasonNamesTheMethod) {
  try {
    setMin(CMTimeMake(1, 60));
    FAIL() << "no exception";
  } catch (const ObjCException& exception) {
    EXPECT_EQ(exception.reason().rfind("*** -[AVCaptureDevice setActiveVideoMinFrameDuration:]", 0),
              0u)
        << exception.reason();
  }
}

TEST_F(CaptureDevice, OnlyItsOwnFormatsBecomeActive) {
  lock();
  setMin(CMTimeMake(1, 60));
  id foreign = send<id>(objc_getClass("AVCaptureDeviceFormat"), "new"_sel);
  EXPECT_EQ(raised([&] { send(camera(), "setActiveFormat:"_sel, foreign); }),
            "NSInvalidArgumentException");
  EXPECT_EQ(raised([&] { send(camera(), "setActiveFormat:"_sel, nil); }),
            "NSInvalidArgumentException");
  release(foreign);
  EXPECT_TRUE(sameTime(minDuration(), CMTimeMake(1, 60))) << "a refused format changes nothing";

  send(camera(), "setActiveFormat:"_sel, formats()[2]);
  EXPECT_TRUE(sameTime(minDuration(), CMTimeMake(1, 30))) << "a new format resets the durations";
}

TEST_F(CaptureDevice, ACameraWithoutFormatsRefusesEveryDuration) {
  setBackCamera(std::vector<CaptureFormat>{});
  ASSERT_NE(camera(), nil);
  EXPECT_TRUE(formats().empty());
  EXPECT_EQ(send<id>(camera(), "activeFormat"_sel), nil);
  EXPECT_FALSE(CMTIME_IS_VALID(minDuration()));
  lock();
  EXPECT_EQ(raised([&] { setMin(CMTimeMake(1, 30)); }), "NSInvalidArgumentException");
}

}  // namespace
}  // namespace qv
