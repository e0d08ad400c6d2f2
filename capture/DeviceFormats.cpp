#include "capture/DeviceFormats.h"

#include "capture/CameraScreenRules.h"
#include "port/AVFoundation/AVFoundation.h"
#include "port/Foundation/Foundation.h"

namespace quorvane {

std::vector<id> elementsOf(id array) {
  const auto count = qv::send<NSUInteger>(array, "count"_sel);
  std::vector<id> elements;
  elements.reserve(count);
  for (NSUInteger i = 0; i < count; ++i) {
    elements.push_back(qv::send<id>(array, "objectAtIndexedSubscript:"_sel, i));
  }
  return elements;
}

FormatRecord formatRecordOf(id format) {
  FormatRecord record{};
  record.isVideo = qv::send<BOOL>(qv::send<id>(format, "mediaType"_sel), "isEqualToString:"_sel,
                                  AVMediaTypeVideo);
  for (id range : elementsOf(qv::send<id>(format, "videoSupportedFrameRateRanges"_sel))) {
    record.maxFrameRates.push_back(qv::send<double>(range, "maxFrameRate"_sel));
  }
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      qv::send<CMFormatDescriptionRef>(format, "formatDescription"_sel));
  record.width = size.width;
  record.height = size.height;
  return record;
}

std::vector<FormatRecord> formatRecordsOf(const std::vector<id>& formats) {
  std::vector<FormatRecord> records;
  records.reserve(formats.size());
  for (id format : formats) records.push_back(formatRecordOf(format));
  return records;
}

bool frameDurationAllowed(id format, CMTime duration) {
  if (!CMTIME_IS_VALID(duration)) return false;
  for (id range : elementsOf(qv::send<id>(format, "videoSupportedFrameRateRanges"_sel))) {
    if (CMTimeCompare(qv::send<CMTime>(range, "minFrameDuration"_sel), duration) <= 0 &&
        CMTimeCompare(duration, qv::send<CMTime>(range, "maxFrameDuration"_sel)) <= 0) {
      return true;
    }
  }
  return false;
}

bool frameRateAllowed(id format, std::uint64_t rate) {
  const std::optional<CMTimeScale> timescale = frameRateTimescale(rate);
  // Made by hand: the duration is a question here, and CMTimeMake's window may be open.
  return timescale && frameDurationAllowed(format, CMTime{1, *timescale, kCMTimeFlags_Valid, 0});
}

}  // namespace quorvane
