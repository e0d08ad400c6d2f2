// Remakes: the video track decoded and laid out again on a fixed frame rate along a timeline
// that stretches the slow-motion section, each output frame the latest source frame that has
// begun by then; the sound decoded and resampled along the same timeline.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/AVFoundation/Libav.h"
#include "platform/AVFoundation/Media.h"
#include "platform/System/FileSystem.h"

namespace qv::media {

RemakeTimeline::RemakeTimeline(const RemakeRequest& request, double sourceDuration)
    : duration_(std::max(0.0, sourceDuration)) {
  const bool slows = std::isfinite(request.rate) && request.rate > 0 && request.rate < 1;
  start_ = std::clamp(request.slowStart, 0.0, duration_);
  end_ = std::clamp(request.slowEnd, start_, duration_);
  if (!slows || !(end_ > start_)) end_ = start_;
  stretch_ = slows ? 1 / request.rate : 1;
}

double RemakeTimeline::toRemake(double t) const {
  if (t <= start_) return t;
  if (t < end_) return start_ + (t - start_) * stretch_;
  return start_ + (end_ - start_) * stretch_ + (t - end_);
}

double RemakeTimeline::toSource(double t) const {
  if (t <= start_) return t;
  const double slowEnd = start_ + (end_ - start_) * stretch_;
  if (t < slowEnd) return start_ + (t - start_) / stretch_;
  return end_ + (t - slowEnd);
}

namespace {

constexpr double kEpsilon = 1e-6;

class Remake {
 public:
  Remake(const std::string& source, const std::string& destination, const RemakeRequest& request)
      : request_(request), input_(openReadableInput(source)) {
    videoInput_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoInput_ < 0) throw std::runtime_error(devicePathOf(source) + " has no video");
    audioInput_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (request.frameRate <= 0)
      throw std::runtime_error("the remake's frame rate must be positive");
    output_ = openOutput(destination);
    openVideo(*input_->streams[videoInput_]);
    if (audioInput_ >= 0) openAudio(*input_->streams[audioInput_]);
    check(avformat_write_header(output_.get(), nullptr), "cannot write the header");
  }

  void run(const ProgressCallback& progress) {
    Packet packet(av_packet_alloc());
    ReadProgress read(*input_, progress, 0.99);
    while (av_read_frame(input_.get(), packet.get()) >= 0) {
      read.count(*packet, *input_->streams[packet->stream_index]);
      if (packet->stream_index == videoInput_) {
        decodeVideo(packet.get());
      } else if (packet->stream_index == audioInput_ && soundDecoder_) {
        decodeSound(packet.get());
      }
      av_packet_unref(packet.get());
    }
    decodeVideo(nullptr);
    if (soundDecoder_) decodeSound(nullptr);
    const RemakeTimeline timeline(request_, sourceVideoEnd_);
    emitHeldUntil(timeline.remakeDuration());
    encodeAndWrite(*videoEncoder_, nullptr, *output_, *videoOutput_, videoEncoder_->time_base);
    if (soundEncoder_) writeSound();
    check(av_write_trailer(output_.get()), "cannot finish the file");
    if (progress) progress(1);
  }

 private:
  void openVideo(const AVStream& stream) {
    videoDecoder_ = openDecoder(stream);
    const AVRational rate{request_.frameRate, 1};
    videoEncoder_ =
        openVideoEncoder(stream.codecpar->width, stream.codecpar->height, rate, 0, *output_);
    videoOutput_ = newStreamFor(*output_, *videoEncoder_);
    videoOutput_->time_base = av_inv_q(rate);
    videoOutput_->avg_frame_rate = rate;
    const AVRational sourceRate =
        stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : AVRational{30, 1};
    sourceFrameSeconds_ = av_q2d(av_inv_q(sourceRate));
  }

  void openAudio(const AVStream& stream) {
    soundDecoder_ = openDecoder(stream);
    soundEncoder_ = openAudioEncoder(soundDecoder_->sample_rate,
                                     soundDecoder_->ch_layout.nb_channels, *output_);
    soundOutput_ = newStreamFor(*output_, *soundEncoder_);
    samples_.resize(static_cast<std::size_t>(soundDecoder_->ch_layout.nb_channels));
  }

  static Codec openDecoder(const AVStream& stream) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr) throw std::runtime_error("no decoder for a track");
    Codec decoder(avcodec_alloc_context3(codec));
    if (!decoder) throw std::runtime_error("libav is out of memory");
    check(avcodec_parameters_to_context(decoder.get(), stream.codecpar), "cannot read a track");
    decoder->pkt_timebase = stream.time_base;
    decoder->thread_count = 0;
    check(avcodec_open2(decoder.get(), codec, nullptr), "cannot open a decoder");
    return decoder;
  }

  // Frames as the decoder gives them back, each passed to `take`.
  template <typename Take>
  static void drain(AVCodecContext& decoder, const AVPacket* packet, Take take) {
    check(avcodec_send_packet(&decoder, packet), "cannot decode a track");
    Frame frame(av_frame_alloc());
    if (!frame) throw std::runtime_error("libav is out of memory");
    for (;;) {
      const int received = avcodec_receive_frame(&decoder, frame.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      check(received, "cannot decode a track");
      take(frame);
    }
  }

  // Video.

  void decodeVideo(const AVPacket* packet) {
    const AVRational base = input_->streams[videoInput_]->time_base;
    drain(*videoDecoder_, packet, [&](Frame& frame) {
      const std::int64_t stamp = frame->best_effort_timestamp;
      const double seconds = stamp == AV_NOPTS_VALUE ? nextSourceTime_ : stamp * av_q2d(base);
      // The remake's timeline needs the source's length, known only at the end: the section's
      // bounds alone place every frame, so a provisional timeline of this length serves.
      const RemakeTimeline timeline(request_, seconds + sourceFrameSeconds_);
      emitHeldUntil(timeline.toRemake(seconds));
      held_ = pictureFor(*frame, *videoEncoder_, scaler_);
      nextSourceTime_ = seconds + sourceFrameSeconds_;
      sourceVideoEnd_ = std::max(sourceVideoEnd_, nextSourceTime_);
      av_frame_unref(frame.get());
    });
  }

  // Every output frame that starts before `remakeSeconds` shows the held picture.
  void emitHeldUntil(double remakeSeconds) {
    if (!held_) return;
    while (static_cast<double>(slot_) / request_.frameRate < remakeSeconds - kEpsilon) {
      Frame frame(av_frame_clone(held_.get()));
      if (!frame) throw std::runtime_error("libav is out of memory");
      frame->pts = slot_++;
      frame->pict_type = AV_PICTURE_TYPE_NONE;
      encodeAndWrite(*videoEncoder_, frame.get(), *output_, *videoOutput_,
                     videoEncoder_->time_base);
    }
  }

  // Sound.

  void decodeSound(const AVPacket* packet) {
    drain(*soundDecoder_, packet, [&](Frame& frame) {
      if (frame->format != AV_SAMPLE_FMT_FLTP) {
        throw std::runtime_error("the sound is not in planar float samples");
      }
      for (std::size_t channel = 0; channel < samples_.size(); ++channel) {
        const auto* data = reinterpret_cast<const float*>(frame->extended_data[channel]);
        samples_[channel].insert(samples_[channel].end(), data, data + frame->nb_samples);
      }
      av_frame_unref(frame.get());
    });
  }

  // Each output sample is the source sample at its time on the timeline.
  void writeSound() {
    const int rate = soundEncoder_->sample_rate;
    const std::size_t sourceCount = samples_.empty() ? 0 : samples_.front().size();
    if (sourceCount == 0) return;
    const RemakeTimeline timeline(request_, static_cast<double>(sourceCount) / rate);
    const auto total = static_cast<std::int64_t>(std::llround(timeline.remakeDuration() * rate));
    const int chunk = soundEncoder_->frame_size > 0 ? soundEncoder_->frame_size : 1024;
    for (std::int64_t first = 0; first < total; first += chunk) {
      const int count = static_cast<int>(std::min<std::int64_t>(chunk, total - first));
      Frame frame = makeSoundFrame(*soundEncoder_, count);
      for (int i = 0; i < count; ++i) {
        const double source = timeline.toSource(static_cast<double>(first + i) / rate);
        const auto at = std::min(sourceCount - 1,
                                 static_cast<std::size_t>(std::max(0.0, source * rate + kEpsilon)));
        for (std::size_t channel = 0; channel < samples_.size(); ++channel) {
          reinterpret_cast<float*>(frame->extended_data[channel])[i] = samples_[channel][at];
        }
      }
      frame->pts = first;
      encodeAndWrite(*soundEncoder_, frame.get(), *output_, *soundOutput_, {1, rate});
    }
    encodeAndWrite(*soundEncoder_, nullptr, *output_, *soundOutput_, {1, rate});
  }

  const RemakeRequest& request_;
  Input input_;
  Output output_;
  int videoInput_ = -1;
  int audioInput_ = -1;
  Codec videoDecoder_;
  Codec videoEncoder_;
  AVStream* videoOutput_ = nullptr;
  Scaler scaler_;
  Frame held_;
  std::int64_t slot_ = 0;
  double sourceFrameSeconds_ = 1.0 / 30;
  double nextSourceTime_ = 0;
  double sourceVideoEnd_ = 0;
  Codec soundDecoder_;
  Codec soundEncoder_;
  AVStream* soundOutput_ = nullptr;
  std::vector<std::vector<float>> samples_;  // by channel
};

}  // namespace

std::string remakeMedia(const std::string& source, const std::string& destination,
                        const RemakeRequest& request, const ProgressCallback& progress) {
  return runJob<Remake>(source, destination, request, progress);
}

}  // namespace qv::media
