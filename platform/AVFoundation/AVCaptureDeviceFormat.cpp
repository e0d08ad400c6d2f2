// AVCaptureDeviceFormat and AVFrameRateRange: immutable descriptions of what a camera offers.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/CaptureClasses.h"
#include "platform/Foundation/Foundation.h"

namespace qv::avfoundation {
namespace {

struct RangeState {
  double minFrameRate = 0;
  double maxFrameRate = 0;
  CMTime minFrameDuration = kCMTimeInvalid;
  CMTime maxFrameDuration = kCMTimeInvalid;
};

struct FormatState {
  Ref<> mediaType;
  Ref<opaqueCMFormatDescription> description;
  Ref<> frameRateRanges;
};

// The duration of one frame at `rate`: exact for whole rates; to a thousandth of a frame per
// second otherwise (29.97 is 1000/29970). Made directly rather than through CMTimeMake, which a
// hook may change while the platform computes its own figures.
CMTime durationOfFrameAt(double rate) {
  constexpr double kLargest = std::numeric_limits<CMTimeScale>::max();
  if (!(rate > 0) || rate * 1000 > kLargest) return kCMTimeInvalid;
  if (rate == std::floor(rate)) return {1, static_cast<CMTimeScale>(rate), kCMTimeFlags_Valid, 0};
  return {1000, static_cast<CMTimeScale>(std::lround(rate * 1000)), kCMTimeFlags_Valid, 0};
}

const RangeState& rangeOf(id range) {
  return stateOf<RangeState>(range);
}

double minFrameRate(id self, SEL) {
  return rangeOf(self).minFrameRate;
}
double maxFrameRate(id self, SEL) {
  return rangeOf(self).maxFrameRate;
}
CMTime minFrameDuration(id self, SEL) {
  return rangeOf(self).minFrameDuration;
}
CMTime maxFrameDuration(id self, SEL) {
  return rangeOf(self).maxFrameDuration;
}

std::string rateText(double rate) {
  return formatString("%g", rate);
}

id rangeDescription(id self, SEL) {
  const RangeState& range = rangeOf(self);
  return autorelease(
      makeString(formatString("<AVFrameRateRange: %p %s - %s>", static_cast<void*>(self),
                              rateText(range.minFrameRate).c_str(),
                              rateText(range.maxFrameRate).c_str()))
          .leak());
}

Ref<> makeFrameRateRange(const FrameRateSpan& span) {
  Ref<> range = make(frameRateRangeClass());
  RangeState& state = stateOf<RangeState>(range);
  state.minFrameRate = span.minFrameRate;
  state.maxFrameRate = span.maxFrameRate;
  state.minFrameDuration = durationOfFrameAt(span.maxFrameRate);
  state.maxFrameDuration = durationOfFrameAt(span.minFrameRate);
  return range;
}

const FormatState& formatOf(id format) {
  return stateOf<FormatState>(format);
}

id mediaType(id self, SEL) {
  return formatOf(self).mediaType;
}
CMFormatDescriptionRef formatDescription(id self, SEL) {
  return formatOf(self).description;
}
id videoSupportedFrameRateRanges(id self, SEL) {
  return formatOf(self).frameRateRanges;
}

// As the platform prints a format: "<AVCaptureDeviceFormat: 0x… 'vide' 1280x 720, { 2-240 fps}>".
id formatDescriptionText(id self, SEL) {
  const FormatState& format = formatOf(self);
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(format.description);
  std::string rates;
  for (id range : arrayElements(format.frameRateRanges)) {
    rates += formatString(" %s-%s", rateText(rangeOf(range).minFrameRate).c_str(),
                          rateText(rangeOf(range).maxFrameRate).c_str());
  }
  const std::string text =
      formatString("<AVCaptureDeviceFormat: %p '%s' %dx%4d, {%s fps}>", static_cast<void*>(self),
                   utf8(format.mediaType).c_str(), size.width, size.height, rates.c_str());
  return autorelease(makeString(text).leak());
}

}  // namespace

Class frameRateRangeClass() {
  static const Class cls = ClassBuilder("AVFrameRateRange", NSObjectClass())
                               .state<RangeState>()
                               .method("minFrameRate", &minFrameRate)
                               .method("maxFrameRate", &maxFrameRate)
                               .method("minFrameDuration", &minFrameDuration)
                               .method("maxFrameDuration", &maxFrameDuration)
                               .method("description", &rangeDescription)
                               .registerClass();
  return cls;
}

Class deviceFormatClass() {
  static const Class cls =
      ClassBuilder("AVCaptureDeviceFormat", NSObjectClass())
          .state<FormatState>()
          .method("mediaType", &mediaType)
          .method("formatDescription", &formatDescription)
          .method("videoSupportedFrameRateRanges", &videoSupportedFrameRateRanges)
          .method("description", &formatDescriptionText)
          .registerClass();
  return cls;
}

Ref<> makeDeviceFormat(const CaptureFormat& spec) {
  std::vector<Ref<>> ranges;
  for (const FrameRateSpan& span : spec.frameRates) ranges.push_back(makeFrameRateRange(span));
  Ref<> format = make(deviceFormatClass());
  FormatState& state = stateOf<FormatState>(format);
  state.mediaType = makeString(spec.mediaType);
  state.description = makeVideoFormatDescription({spec.width, spec.height});
  state.frameRateRanges = makeArray(std::vector<id>(ranges.begin(), ranges.end()));
  return format;
}

bool formatAllowsFrameDuration(id format, CMTime duration) {
  if (format == nil || !CMTIME_IS_VALID(duration)) return false;
  for (id range : arrayElements(formatOf(format).frameRateRanges)) {
    const RangeState& state = rangeOf(range);
    if (CMTimeCompare(state.minFrameDuration, duration) <= 0 &&
        CMTimeCompare(duration, state.maxFrameDuration) <= 0) {
      return true;
    }
  }
  return false;
}

CMTime defaultFrameDuration(id format) {
  const CMTime thirty{1, 30, kCMTimeFlags_Valid, 0};
  if (formatAllowsFrameDuration(format, thirty)) return thirty;
  const std::vector<id> ranges = arrayElements(formatOf(format).frameRateRanges);
  return ranges.empty() ? kCMTimeInvalid : rangeOf(ranges.front()).minFrameDuration;
}

bool isVideoFormat(id format) {
  return send<BOOL>(formatOf(format).mediaType, "isEqualToString:"_sel, AVMediaTypeVideo) != NO;
}

}  // namespace qv::avfoundation
