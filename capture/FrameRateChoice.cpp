#include "capture/FrameRateChoice.h"

namespace quorvane {

std::optional<RangePosition> bestRangePosition(std::span<const std::vector<double>> maxFrameRates) {
  std::optional<RangePosition> best;
  double bestRate = 0.0;
  for (std::size_t format = 0; format < maxFrameRates.size(); ++format) {
    for (std::size_t range = 0; range < maxFrameRates[format].size(); ++range) {
      if (maxFrameRates[format][range] > bestRate) {
        bestRate = maxFrameRates[format][range];
        best = RangePosition{format, range};
      }
    }
  }
  return best;
}

namespace {

bool isHDVideo(const FormatRecord& format) {
  return format.isVideo && format.width == 1280 && format.height == 720;
}

// The format with the best range among video formats; the first format when none has one.
std::size_t bestVideoFormat(std::span<const FormatRecord> formats) {
  std::vector<std::vector<double>> videoRates;
  videoRates.reserve(formats.size());
  for (const FormatRecord& format : formats) {
    videoRates.push_back(format.isVideo ? format.maxFrameRates : std::vector<double>{});
  }
  const auto best = bestRangePosition(videoRates);
  return best ? best->format : 0;
}

// The format's first range, not necessarily its best, decides.
bool startsAboveThirty(const FormatRecord& format) {
  return !format.maxFrameRates.empty() && format.maxFrameRates.front() > 30.0;
}

}  // namespace

std::optional<std::size_t> fastestVideoFormat(std::span<const FormatRecord> formats) {
  if (formats.empty()) return std::nullopt;
  const std::size_t best = bestVideoFormat(formats);
  if (!startsAboveThirty(formats[best])) return std::nullopt;
  return best;
}

std::optional<std::size_t> chooseFormat(double rate, std::span<const FormatRecord> formats) {
  if (rate > 60.0 || formats.empty()) return std::nullopt;
  std::size_t chosen = bestVideoFormat(formats);
  if (formats[chosen].maxFrameRates.empty()) return std::nullopt;
  if (startsAboveThirty(formats[chosen])) return chosen;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (isHDVideo(formats[i])) chosen = i;  // the last one wins
  }
  return chosen;
}

}  // namespace quorvane
