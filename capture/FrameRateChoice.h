// The three decisions behind capture at the user's frame rate, as plain functions of plain
// values: which frame-rate range is the device's best, which timescale CMTimeMake passes on,
// and which capture format the slow-motion configuration uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "port/CoreMedia/CoreMedia.h"

namespace quorvane {

struct RangePosition {
  std::size_t format;
  std::size_t range;
};

// The position of the first strictly greatest rate, visiting formats and then their ranges in
// order; none when no rate is above 0.
std::optional<RangePosition> bestRangePosition(std::span<const std::vector<double>> maxFrameRates);

// Inside the configuration window (`noHigh`), a timescale above 60 becomes the MogulFramerate
// setting in CMTimeMake's 32-bit type. Should that conversion give 0 or less, the timescale
// passes unchanged: an invalid frame duration would make the camera raise. Inline: every
// CMTimeMake of the process comes through here.
inline CMTimeScale frameTimescale(bool noHigh, CMTimeScale timescale,
                                  std::uint64_t mogulFramerate) {
  if (!noHigh || timescale <= 60) return timescale;
  const auto replacement = static_cast<CMTimeScale>(mogulFramerate);  // modulo 2^32, as in C
  return replacement > 0 ? replacement : timescale;
}

struct FormatRecord {
  bool isVideo;
  std::vector<double> maxFrameRates;  // of its ranges, in order
  std::int32_t width;
  std::int32_t height;
};

// The format with the best video range (the first format when no video range is above 0), when
// that format's first range is above 30 frames per second; nullopt otherwise, also when there is
// no format or that format has no ranges. The iOS 7 capture format choice.
std::optional<std::size_t> fastestVideoFormat(std::span<const FormatRecord> formats);

// The index of the format to capture at `rate`, or nullopt to let the replaced implementation
// decide: above 60 frames per second, and also when there is no format or the best format has
// no ranges to look at. At 60 and below: the format with the best video range, unless its first
// range reaches only 30 or less; then the last 1280×720 video format, if there is one.
std::optional<std::size_t> chooseFormat(double rate, std::span<const FormatRecord> formats);

}  // namespace quorvane
