#include "capture/CameraScreenRules.h"

#include <cmath>
#include <limits>

namespace quorvane {

bool previewAllowed(std::uint64_t mogulFramerate, std::optional<double> bestMaxFrameRate) {
  const double rate = static_cast<double>(mogulFramerate);
  if (!(rate > 1.0)) return false;
  const double maximum = bestMaxFrameRate ? std::trunc(*bestMaxFrameRate) : 30.0;
  return rate <= maximum;
}

bool stockTapAllowed(double mogulFrameRate) {
  return !(mogulFrameRate < 120.0);
}

CGRect indicatorFrame(double barWidth) {
  return CGRectMake(barWidth * 0.5 - 20, 20, 40, 40);
}

namespace {

ChooserOutcome askAgain(const char* message, double seconds) {
  return {ChooserOutcome::Kind::AskAgain, 0, message, seconds};
}

}  // namespace

ChooserOutcome decideAlertPress(long buttonIndex, long tag, std::int32_t typed,
                                long long maximumFPS) {
  if (buttonIndex == kCancelButton || tag != kChooserTag) return {};
  std::uint64_t rate = 0;
  if (buttonIndex == kAutoSetButton) {
    rate = static_cast<std::uint64_t>(maximumFPS);
  } else if (buttonIndex == kSetButton) {
    if (typed == 0 || typed == 1) return askAgain(kInvalidRateMessage, kInvalidRateSeconds);
    rate = static_cast<std::uint64_t>(static_cast<std::int64_t>(typed));
  } else {
    // Only the three buttons are the chooser's.
    return {};
  }
  const double candidate = static_cast<double>(rate);
  if (candidate > 1.0 && candidate <= static_cast<double>(maximumFPS)) {
    return {ChooserOutcome::Kind::Apply, rate, nullptr, 0};
  }
  return askAgain(kUnsupportedRateMessage, kUnsupportedRateSeconds);
}

std::optional<CMTimeScale> frameRateTimescale(std::uint64_t rate) {
  if (rate == 0 || rate > static_cast<std::uint64_t>(std::numeric_limits<CMTimeScale>::max())) {
    return std::nullopt;
  }
  return static_cast<CMTimeScale>(rate);
}

}  // namespace quorvane
