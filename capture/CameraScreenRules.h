// The camera screen's and the indicator chooser's decisions, as plain functions of plain values:
// whether the preview may start, whether the stock indicator tap goes through, where the
// indicator goes in the bottom bar, what a press on the chooser alert leads to, and which
// timescale a chosen rate makes.
#pragma once

#include <cstdint>
#include <optional>

#include "port/CoreGraphics/CGGeometry.h"
#include "port/CoreMedia/CoreMedia.h"

namespace quorvane {

// The preview starts when the rate is above 1 and at most the whole part of the best range's
// maximum rate, or 30 when the device has no range.
bool previewAllowed(std::uint64_t mogulFramerate, std::optional<double> bestMaxFrameRate);

// The stock tap on the indicator goes through from 120 frames per second.
bool stockTapAllowed(double mogulFrameRate);

// Centred in the bar, 20 points below its top, 40 × 40.
CGRect indicatorFrame(double barWidth);

// The chooser alert's tag and buttons.
inline constexpr long kChooserTag = 5566;
inline constexpr long kCancelButton = 0;
inline constexpr long kSetButton = 1;
inline constexpr long kAutoSetButton = 2;

inline constexpr const char* kInvalidRateMessage = "❗ Invalid FPS.";
inline constexpr const char* kUnsupportedRateMessage = "❗ This FPS is not supported by the device.";
inline constexpr double kInvalidRateSeconds = 1.5;
inline constexpr double kUnsupportedRateSeconds = 1.8;

struct ChooserOutcome {
  enum class Kind {
    Nothing,
    Apply,     // hv_setFPS: with `rate`
    AskAgain,  // the notice `message` for `seconds`, then the alert again
  };
  Kind kind = Kind::Nothing;
  std::uint64_t rate = 0;
  const char* message = nullptr;
  double seconds = 0;
};

// A press on the chooser alert: the button, the alert's tag, what the typed text gives
// (intValue) and maximumFPS() at the moment of the press. A typed value is widened with its
// sign, so a negative entry is far above any maximum.
ChooserOutcome decideAlertPress(long buttonIndex, long tag, std::int32_t typed,
                                long long maximumFPS);

// The timescale of one frame at `rate`: only a rate that is itself a positive 32-bit value has
// one; the low 32 bits of a larger rate would make another rate, or an invalid time.
std::optional<CMTimeScale> frameRateTimescale(std::uint64_t rate);

}  // namespace quorvane
