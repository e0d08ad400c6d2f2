// The photo browser's picture at the playhead of a 3 s 1280×720 clip at 120 fps, drawn into the
// area an iPhone 6's browser gives it (375×535): while it plays on (a new frame each time,
// decoded after the last), when the playhead is seeked to any instant (decoded from the key
// frame before it), and when the same instant is drawn again (kept).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "platform/AVFoundation/Media.h"
#include "platform/AVFoundation/VideoPictures.h"
#include "platform/CoreGraphics/Bitmap.h"

namespace {

constexpr int kAreaWidth = 375;
constexpr int kAreaHeight = 535;
constexpr double kRate = 120;
constexpr double kDuration = 3;

const std::string& clip() {
  static const std::string made = [] {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("quorvane-pictures-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "clip.mov").string();
    qv::media::writeClip(path, {kRate, kDuration, 1280, 720});
    return path;
  }();
  return made;
}

// The clip is written before any timing starts.
const std::string& madeClip = clip();

void drawAt(double seconds, qv::Bitmap& screen) {
  const auto picture =
      qv::media::pictureAt(clip(), seconds, kAreaWidth, kAreaHeight, qv::media::PictureFit::inside);
  if (!picture) throw std::runtime_error("the clip gives no picture");
  qv::media::drawPicture(screen.context(), *picture, CGRectMake(0, 0, kAreaWidth, kAreaHeight));
}

void BM_PlayingOn(benchmark::State& state) {
  qv::Bitmap screen(kAreaWidth, kAreaHeight);
  std::int64_t frame = 0;
  for (auto _ : state) {
    drawAt((static_cast<double>(frame) + 0.5) / kRate, screen);  // inside each frame in turn
    frame = (frame + 1) % static_cast<std::int64_t>(kRate * kDuration);
  }
}
BENCHMARK(BM_PlayingOn)->Unit(benchmark::kMillisecond);

void BM_Seeked(benchmark::State& state) {
  qv::Bitmap screen(kAreaWidth, kAreaHeight);
  std::mt19937 random(2026);
  std::uniform_real_distribution<double> instant(0, kDuration);
  for (auto _ : state) drawAt(instant(random), screen);
}
BENCHMARK(BM_Seeked)->Unit(benchmark::kMillisecond);

void BM_SameInstantAgain(benchmark::State& state) {
  qv::Bitmap screen(kAreaWidth, kAreaHeight);
  drawAt(1.5, screen);
  for (auto _ : state) drawAt(1.5, screen);
}
BENCHMARK(BM_SameInstantAgain)->Unit(benchmark::kMicrosecond);

}  // namespace
