#include "sim/ClipWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace qv::sim {
namespace {

struct OutputFree {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
struct CodecFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

void check(int result, const std::string& what) {
  if (result < 0) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(result, reason, sizeof reason);
    throw std::runtime_error(what + ": " + reason);
  }
}

// Whole rates stay whole; 119.88 and its kin are the NTSC rates, n * 1000 / 1001.
AVRational exactRate(double framesPerSecond) {
  const double whole = std::round(framesPerSecond);
  if (std::fabs(framesPerSecond - whole) < 1e-6) return {static_cast<int>(whole), 1};
  const double ntsc = std::round(framesPerSecond * 1.001);
  if (std::fabs(framesPerSecond * 1.001 - ntsc) < 1e-3)
    return {static_cast<int>(ntsc) * 1000, 1001};
  return av_d2q(framesPerSecond, 100000);
}

class Encoder {
 public:
  Encoder(const std::filesystem::path& file, const Clip& clip) : clip_(clip) {
    AVFormatContext* raw = nullptr;
    check(avformat_alloc_output_context2(&raw, nullptr, "mov", file.c_str()),
          "cannot make " + file.string());
    output_.reset(raw);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (codec == nullptr) throw std::runtime_error("libavcodec has no MPEG-4 encoder");
    stream_ = avformat_new_stream(output_.get(), nullptr);
    codec_.reset(avcodec_alloc_context3(codec));
    if (stream_ == nullptr || !codec_) throw std::runtime_error("libav is out of memory");
    configure(codec);
    check(avio_open(&output_->pb, file.c_str(), AVIO_FLAG_WRITE), "cannot write " + file.string());
    check(avformat_write_header(output_.get(), nullptr), "cannot write the clip's header");
  }

  void writeFrames() {
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    frame->format = codec_->pix_fmt;
    frame->width = codec_->width;
    frame->height = codec_->height;
    check(av_frame_get_buffer(frame.get(), 0), "cannot make a frame");
    const auto frames = static_cast<std::int64_t>(std::llround(clip_.duration * clip_.frameRate));
    for (std::int64_t i = 0; i < std::max<std::int64_t>(frames, 1); ++i) {
      check(av_frame_make_writable(frame.get()), "cannot write a frame");
      paint(*frame, i);
      frame->pts = i;
      encode(frame.get());
    }
    encode(nullptr);
    check(av_write_trailer(output_.get()), "cannot finish the clip");
  }

 private:
  void configure(const AVCodec* codec) {
    const AVRational rate = exactRate(clip_.frameRate);
    // Frames are counted in the encoder's time base, whose denominator MPEG-4 keeps at 65535
    // or below; the file counts them in the exact frame duration.
    frameDuration_ = av_inv_q(rate);
    codec_->codec_id = AV_CODEC_ID_MPEG4;
    codec_->width = clip_.width;
    codec_->height = clip_.height;
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    codec_->time_base = {1, static_cast<int>(std::ceil(clip_.frameRate))};
    codec_->framerate = rate;
    codec_->gop_size = 12;
    codec_->bit_rate = 400'000;
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(codec_.get(), codec, nullptr), "cannot open the MPEG-4 encoder");
    check(avcodec_parameters_from_context(stream_->codecpar, codec_.get()),
          "cannot describe the track");
    stream_->time_base = frameDuration_;
    stream_->avg_frame_rate = rate;
  }

  // A grey that brightens frame by frame, so that every frame differs from the last.
  static void paint(AVFrame& frame, std::int64_t index) {
    const int luma = 40 + static_cast<int>(index % 160);
    for (int y = 0; y < frame.height; ++y) {
      std::memset(frame.data[0] + y * frame.linesize[0], luma,
                  static_cast<std::size_t>(frame.width));
    }
    for (int plane = 1; plane < 3; ++plane) {
      for (int y = 0; y < frame.height / 2; ++y) {
        std::memset(frame.data[plane] + y * frame.linesize[plane], 128,
                    static_cast<std::size_t>(frame.width / 2));
      }
    }
  }

  void encode(AVFrame* frame) {
    check(avcodec_send_frame(codec_.get(), frame), "cannot encode a frame");
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    for (;;) {
      const int received = avcodec_receive_packet(codec_.get(), packet.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      check(received, "cannot encode a frame");
      if (packet->duration == 0) packet->duration = 1;  // one frame
      av_packet_rescale_ts(packet.get(), frameDuration_, stream_->time_base);
      packet->stream_index = stream_->index;
      check(av_interleaved_write_frame(output_.get(), packet.get()), "cannot write a frame");
    }
  }

  const Clip& clip_;
  std::unique_ptr<AVFormatContext, OutputFree> output_;
  std::unique_ptr<AVCodecContext, CodecFree> codec_;
  AVStream* stream_ = nullptr;
  AVRational frameDuration_{1, 1};
};

}  // namespace

void writeClip(const std::filesystem::path& file, const Clip& clip) {
  av_log_set_level(AV_LOG_ERROR);  // the errors that matter come back as exceptions
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  Encoder encoder(file, clip);
  encoder.writeFrames();
}

}  // namespace qv::sim
