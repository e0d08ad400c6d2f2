// Clips as the camera records them: the scene (Scene.h) at each frame's instant, so that every
// frame differs from the last and shows its number, and a silent sound track.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/AVFoundation/Libav.h"
#include "platform/AVFoundation/Media.h"
#include "platform/AVFoundation/Scene.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace qv::media {
namespace {

constexpr int kSampleRate = 44'100;

class ClipEncoder {
 public:
  ClipEncoder(const std::string& path, const ClipSpec& clip)
      : clip_(clip), rate_(exactRate(clip.frameRate)), output_(openOutput(path)) {
    video_ = openVideoEncoder(clip.width, clip.height, rate_, 0, *output_);
    videoStream_ = newStream(*video_);
    videoStream_->time_base = av_inv_q(rate_);
    videoStream_->avg_frame_rate = rate_;
    if (clip.audio) openAudio();
    check(avformat_write_header(output_.get(), nullptr), "cannot write the clip's header");
  }

  void write(const ProgressCallback& progress) {
    Frame frame = makeFrame(*video_);
    const auto frames = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(std::llround(clip_.duration * av_q2d(rate_))));
    for (std::int64_t i = 0; i < frames; ++i) {
      check(av_frame_make_writable(frame.get()), "cannot write a frame");
      drawScenePlanes(frame->data, frame->linesize, shotOf(i));
      frame->pts = i;
      encodeAndWrite(*video_, frame.get(), *output_, *videoStream_, av_inv_q(rate_));
      if (audio_) {
        writeSilenceUntil(av_rescale_q(i + 1, av_inv_q(rate_), {1, kSampleRate}), i + 1 == frames);
      }
      if (progress && i % 16 == 0) progress(static_cast<double>(i) / frames);
    }
    encodeAndWrite(*video_, nullptr, *output_, *videoStream_, av_inv_q(rate_));
    if (audio_) encodeAndWrite(*audio_, nullptr, *output_, *audioStream_, {1, kSampleRate});
    check(av_write_trailer(output_.get()), "cannot finish the clip");
    if (progress) progress(1);
  }

 private:
  // Frame `number` shows the scene at the clip's start plus that many exact frame durations.
  SceneShot shotOf(std::int64_t number) const {
    const double offset = static_cast<double>(number) * rate_.den / rate_.num;
    return {clip_.sceneStart + offset, number, clip_.width, clip_.height};
  }

  AVStream* newStream(const AVCodecContext& encoder) { return newStreamFor(*output_, encoder); }

  void openAudio() {
    audio_ = openAudioEncoder(kSampleRate, 1, *output_);
    audioStream_ = newStream(*audio_);
    silence_ = makeSoundFrame(*audio_, audio_->frame_size);
    for (int channel = 0; channel < silence_->ch_layout.nb_channels; ++channel) {
      std::memset(silence_->data[channel], 0,
                  static_cast<std::size_t>(silence_->nb_samples) * sizeof(float));
    }
  }

  // Sound frames up to `sample`, so that both tracks interleave and the sound ends with the
  // last picture, in a shorter last frame.
  void writeSilenceUntil(std::int64_t sample, bool last) {
    while (samplesWritten_ + (last ? 0 : audio_->frame_size) < sample) {
      check(av_frame_make_writable(silence_.get()), "cannot write sound");
      silence_->nb_samples =
          static_cast<int>(std::min<std::int64_t>(audio_->frame_size, sample - samplesWritten_));
      silence_->pts = samplesWritten_;
      encodeAndWrite(*audio_, silence_.get(), *output_, *audioStream_, {1, kSampleRate});
      samplesWritten_ += silence_->nb_samples;
    }
  }

  const ClipSpec& clip_;
  AVRational rate_;
  Output output_;
  Codec video_;
  Codec audio_;
  Frame silence_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  std::int64_t samplesWritten_ = 0;
};

}  // namespace

void writeClip(const std::string& path, const ClipSpec& clip, const ProgressCallback& progress) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  try {
    ClipEncoder encoder(path, clip);
    encoder.write(progress);
  } catch (...) {
    std::filesystem::remove(path, error);  // half a clip is no clip
    throw;
  }
}

}  // namespace qv::media
