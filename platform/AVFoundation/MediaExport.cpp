// Exports: every track copied as it is (passthrough), or the video track decoded, scaled to fit
// the preset, thinned to the minimum frame duration and encoded again beside the copied sound.
#include <cmath>
#include <map>

#include "platform/AVFoundation/Libav.h"
#include "platform/AVFoundation/Media.h"
#include "platform/System/FileSystem.h"

namespace qv::media {
namespace {

bool isCopiedTrack(const AVStream& stream) {
  const AVMediaType type = stream.codecpar->codec_type;
  return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

// The size inside the preset's box, keeping the shape, in even numbers as the encoder needs.
std::pair<int, int> fittedSize(int width, int height, const ExportRequest& request) {
  double scale = 1;
  if (request.maxWidth > 0 && width > request.maxWidth) scale = double(request.maxWidth) / width;
  if (request.maxHeight > 0 && height * scale > request.maxHeight) {
    scale = double(request.maxHeight) / height;
  }
  const auto even = [](double size) { return std::max(2, static_cast<int>(size) / 2 * 2); };
  return {even(width * scale), even(height * scale)};
}

class Export {
 public:
  Export(const std::string& source, const std::string& destination, const ExportRequest& request)
      : request_(request), input_(openReadableInput(source)) {
    output_ = openOutput(destination);
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
      const AVStream& stream = *input_->streams[i];
      if (!isCopiedTrack(stream)) continue;
      const bool reencode =
          !request.passthrough && stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !video_;
      outputs_[static_cast<int>(i)] = reencode ? openReencode(stream) : copyOf(stream);
    }
    if (outputs_.empty()) throw std::runtime_error(devicePathOf(source) + " has no video or sound");
    check(avformat_write_header(output_.get(), nullptr), "cannot write the header");
  }

  void run(const ProgressCallback& progress) {
    Packet packet(av_packet_alloc());
    ReadProgress read(*input_, progress, 1.0);
    while (av_read_frame(input_.get(), packet.get()) >= 0) {
      const auto target = outputs_.find(packet->stream_index);
      if (target != outputs_.end()) {
        const AVStream& from = *input_->streams[packet->stream_index];
        read.count(*packet, from);
        if (video_ && packet->stream_index == videoInput_) {
          decode(packet.get());
        } else {
          av_packet_rescale_ts(packet.get(), from.time_base, target->second->time_base);
          packet->stream_index = target->second->index;
          packet->pos = -1;
          check(av_interleaved_write_frame(output_.get(), packet.get()), "cannot write a frame");
        }
      }
      av_packet_unref(packet.get());
    }
    if (video_) {
      decode(nullptr);
      encodeAndWrite(*encoder_, nullptr, *output_, *outputs_[videoInput_], outputFrameDuration_);
    }
    check(av_write_trailer(output_.get()), "cannot finish the file");
    if (progress) progress(1);
  }

 private:
  AVStream* copyOf(const AVStream& stream) {
    AVStream* copy = avformat_new_stream(output_.get(), nullptr);
    if (copy == nullptr) throw std::runtime_error("libav is out of memory");
    check(avcodec_parameters_copy(copy->codecpar, stream.codecpar), "cannot copy a track");
    copy->codecpar->codec_tag = 0;
    copy->time_base = stream.time_base;
    copy->avg_frame_rate = stream.avg_frame_rate;
    return copy;
  }

  AVStream* openReencode(const AVStream& stream) {
    videoInput_ = stream.index;
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr) throw std::runtime_error("no decoder for the video track");
    video_.reset(avcodec_alloc_context3(codec));
    check(avcodec_parameters_to_context(video_.get(), stream.codecpar), "cannot read the video");
    video_->thread_count = 0;
    video_->pkt_timebase = stream.time_base;
    check(avcodec_open2(video_.get(), codec, nullptr), "cannot open the video decoder");
    inputTimeBase_ = stream.time_base;
    const AVRational rate = outputRate(stream.avg_frame_rate);
    outputFrameDuration_ = av_inv_q(rate);
    const auto [width, height] =
        fittedSize(stream.codecpar->width, stream.codecpar->height, request_);
    encoder_ = openVideoEncoder(width, height, rate, request_.bitRate, *output_);
    AVStream* out = avformat_new_stream(output_.get(), nullptr);
    if (out == nullptr) throw std::runtime_error("libav is out of memory");
    check(avcodec_parameters_from_context(out->codecpar, encoder_.get()), "cannot describe it");
    out->time_base = outputFrameDuration_;
    out->avg_frame_rate = rate;
    return out;
  }

  // The source's rate, or the rate of the minimum frame duration where that is slower.
  AVRational outputRate(AVRational source) {
    const CMTime least = request_.minFrameDuration;
    if (source.num <= 0 || source.den <= 0) source = {30, 1};
    if (!CMTIME_IS_VALID(least) || least.value <= 0 || least.timescale <= 0) return source;
    const AVRational capped{least.timescale,
                            static_cast<int>(std::min<CMTimeValue>(least.value, INT32_MAX))};
    minFrameSeconds_ = av_q2d(av_inv_q(capped));
    return av_cmp_q(capped, source) < 0 ? capped : source;
  }

  void decode(const AVPacket* packet) {
    check(avcodec_send_packet(video_.get(), packet), "cannot decode the video");
    Frame frame(av_frame_alloc());
    for (;;) {
      const int received = avcodec_receive_frame(video_.get(), frame.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      check(received, "cannot decode the video");
      const std::int64_t stamp = frame->best_effort_timestamp;
      const double seconds = stamp == AV_NOPTS_VALUE ? 0 : stamp * av_q2d(inputTimeBase_);
      if (kept_ == 0 || seconds + 1e-6 >= kept_ * minFrameSeconds_) encode(*frame);
      av_frame_unref(frame.get());
    }
  }

  void encode(const AVFrame& decoded) {
    Frame picture = pictureFor(decoded, *encoder_, scaler_);
    picture->pts = kept_++;
    encodeAndWrite(*encoder_, picture.get(), *output_, *outputs_[videoInput_],
                   outputFrameDuration_);
  }

  const ExportRequest& request_;
  Input input_;
  Output output_;
  std::map<int, AVStream*> outputs_;  // by input stream
  Codec video_;                       // the decoder of a re-encoded video track
  Codec encoder_;
  Scaler scaler_;
  int videoInput_ = -1;
  AVRational inputTimeBase_{1, 1};
  AVRational outputFrameDuration_{1, 30};
  double minFrameSeconds_ = 0;
  std::int64_t kept_ = 0;
};

}  // namespace

std::string exportMedia(const std::string& source, const std::string& destination,
                        const ExportRequest& request, const ProgressCallback& progress) {
  return runJob<Export>(source, destination, request, progress);
}

}  // namespace qv::media
