// Real media: reading a clip's nominal frame rate; a passthrough export, a re-encode and a remake
// of a 3 s 1280×720 clip at 120 fps, each beside the ffmpeg command-line tool doing the same work
// (stream copy; MPEG-4 Visual at the same bit rate and key-frame interval, sound copied; the
// remake's timeline through setpts and fps, its sound slowed by resampling, AAC at 64 kbit/s).
// Both sides let libav choose the thread count. The tool runs in a child process, whose CPU time
// the parent's figure leaves out: these pairs compare wall time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "platform/objc/AutoreleasePool.h"

namespace {

// What the platform's re-encode chooses for 1280×720 at 120 fps: 0.07 bit a pixel at 60 fps.
constexpr long long kBitRate = 3'870'720;
// And for the remake at 30 fps.
constexpr long long kRemakeBitRate = 1'935'360;

const std::filesystem::path& folder() {
  static const std::filesystem::path made = [] {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quorvane-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    qv::setFileSystemRoot(path.string());
    qv::media::writeClip((path / "clip.mov").string(), {120, 3, 1280, 720});
    return path;
  }();
  return made;
}

std::string source() {
  return (folder() / "clip.mov").string();
}

std::string output() {
  return (folder() / "out.mov").string();
}

void removeOutput(benchmark::State& state) {
  state.PauseTiming();
  std::filesystem::remove(output());
  state.ResumeTiming();
}

void BM_NominalFrameRate(benchmark::State& state) {
  source();
  qv::Ref<> path = qv::makeString("/clip.mov");
  for (auto _ : state) {
    qv::AutoreleasePool pool;
    id url = qv::send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, path.get());
    id asset = qv::send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel, url);
    id track = qv::arrayElements(qv::send<id>(asset, "tracksWithMediaType:"_sel, AVMediaTypeVideo))
                   .front();
    benchmark::DoNotOptimize(qv::send<float>(track, "nominalFrameRate"_sel));
  }
}
BENCHMARK(BM_NominalFrameRate)->Unit(benchmark::kMicrosecond);

void exportWith(benchmark::State& state, const qv::media::ExportRequest& request) {
  source();
  for (auto _ : state) {
    const std::string problem = qv::media::exportMedia(source(), output(), request);
    if (!problem.empty()) state.SkipWithError(problem.c_str());
    removeOutput(state);
  }
}

void runTool(benchmark::State& state, const std::string& arguments) {
  source();
  const std::string command =
      "ffmpeg -nostdin -y -v error -i '" + source() + "' " + arguments + " '" + output() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
    removeOutput(state);
  }
}

void BM_PassthroughExport(benchmark::State& state) {
  exportWith(state, {});
}
void BM_FfmpegStreamCopy(benchmark::State& state) {
  runTool(state, "-map 0 -c copy");
}

void BM_ReencodeExport(benchmark::State& state) {
  qv::media::ExportRequest request;
  request.passthrough = false;
  request.minFrameDuration = {1, 120, kCMTimeFlags_Valid, 0};  // the tweak's, at 120
  exportWith(state, request);
}
void BM_FfmpegReencode(benchmark::State& state) {
  runTool(state, "-map 0 -c:v mpeg4 -b:v " + std::to_string(kBitRate) + " -g 12 -c:a copy");
}

// The slow-motion section 1 s to 2 s at a quarter of the speed, on a 30 fps timeline.
void BM_Remake(benchmark::State& state) {
  source();
  const qv::media::RemakeRequest request{1, 2, 0.25, 30};
  for (auto _ : state) {
    const std::string problem = qv::media::remakeMedia(source(), output(), request);
    if (!problem.empty()) state.SkipWithError(problem.c_str());
    removeOutput(state);
  }
}
void BM_FfmpegRemake(benchmark::State& state) {
  const std::string timeline = "if(lt(T,1),T,if(lt(T,2),1+(T-1)*4,5+(T-2)))/TB";
  const std::string sound =
      "[0:a]atrim=0:1[a0];[0:a]atrim=1:2,asetpts=PTS-STARTPTS,asetrate=11025,aresample=44100[a1];"
      "[0:a]atrim=2,asetpts=PTS-STARTPTS[a2];[a0][a1][a2]concat=n=3:v=0:a=1[a]";
  runTool(state, "-filter_complex \"[0:v]setpts='" + timeline + "',fps=30[v];" + sound +
                     "\" -map '[v]' -map '[a]' -c:v mpeg4 -b:v " + std::to_string(kRemakeBitRate) +
                     " -g 12 -c:a aac -b:a 64k");
}

// Side by side in wall time; run with --benchmark_enable_random_interleaving=true so that the
// machine's load falls on both of a pair alike.
BENCHMARK(BM_PassthroughExport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegStreamCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReencodeExport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegReencode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Remake)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FfmpegRemake)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
