// Clips as the camera records them: generated frames, so that every frame differs from the last
// and shows its number, and a silent sound track.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/AVFoundation/Libav.h"
#include "platform/AVFoundation/Media.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace qv::media {
namespace {

constexpr int kSampleRate = 44'100;

// Digits 0-9 in a 3×5 grid, one row per three bits, top row first.
constexpr std::array<std::array<std::uint8_t, 5>, 10> kDigits{{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 2, 2, 2},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};

// Vertical bands that move four pixels a frame, a hue that turns slowly, and the frame number
// in white at the top left.
class Painter {
 public:
  Painter(int width, int height) : row_(static_cast<std::size_t>(width)) {
    scale_ = std::max(1, height / 48);
  }

  void paint(AVFrame& frame, std::int64_t index) {
    const int width = frame.width;
    for (int x = 0; x < width; ++x) {
      const int band = ((x + static_cast<int>(index % 1024) * 4) / 32) % 2;
      row_[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(band ? 170 : 60);
    }
    for (int y = 0; y < frame.height; ++y) {
      std::memcpy(frame.data[0] + y * frame.linesize[0], row_.data(), row_.size());
    }
    const double turn = static_cast<double>(index) / 90.0;
    const auto u = static_cast<int>(128 + 40 * std::cos(turn));
    const auto v = static_cast<int>(128 + 40 * std::sin(turn));
    for (int y = 0; y < (frame.height + 1) / 2; ++y) {
      std::memset(frame.data[1] + y * frame.linesize[1], u,
                  static_cast<std::size_t>(width + 1) / 2);
      std::memset(frame.data[2] + y * frame.linesize[2], v,
                  static_cast<std::size_t>(width + 1) / 2);
    }
    drawNumber(frame, index);
  }

 private:
  void drawNumber(AVFrame& frame, std::int64_t number) {
    const std::string digits = std::to_string(number);
    const int cell = 4 * scale_;
    const int left = 2 * scale_;
    const int top = 2 * scale_;
    for (std::size_t i = 0; i < digits.size(); ++i) {
      const auto& glyph = kDigits[static_cast<std::size_t>(digits[i] - '0')];
      for (int gy = 0; gy < 5; ++gy) {
        for (int gx = 0; gx < 3; ++gx) {
          if ((glyph[static_cast<std::size_t>(gy)] >> (2 - gx) & 1) == 0) continue;
          fill(frame, left + static_cast<int>(i) * cell + gx * scale_, top + gy * scale_);
        }
      }
    }
  }

  void fill(AVFrame& frame, int x, int y) const {
    for (int dy = 0; dy < scale_ && y + dy < frame.height; ++dy) {
      const int span = std::min(scale_, frame.width - x);
      if (span <= 0) return;
      std::memset(frame.data[0] + (y + dy) * frame.linesize[0] + x, 235,
                  static_cast<std::size_t>(span));
    }
  }

  std::vector<std::uint8_t> row_;
  int scale_ = 1;
};

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
    Painter painter(clip_.width, clip_.height);
    Frame frame = makeFrame(*video_);
    const auto frames = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(std::llround(clip_.duration * av_q2d(rate_))));
    for (std::int64_t i = 0; i < frames; ++i) {
      check(av_frame_make_writable(frame.get()), "cannot write a frame");
      painter.paint(*frame, i);
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
