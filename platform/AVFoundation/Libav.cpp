#include "platform/AVFoundation/Libav.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"

namespace qv::media {
namespace {

// libav names the object that speaks by its address ("[mov,mp4,m4a,3gp,3g2,mj2 @ 0x55d0...]"),
// which changes from run to run: the name stays, the address goes.
std::string withoutAddresses(std::string line) {
  for (std::size_t at = line.find(" @ 0x"); at != std::string::npos; at = line.find(" @ 0x", at)) {
    std::size_t end = at + 5;
    while (end < line.size() && std::isxdigit(static_cast<unsigned char>(line[end]))) ++end;
    line.erase(at, end - at);
  }
  return line;
}

// libav may hand one line over in pieces: each thread keeps its piece until the line ends.
void logAsDiagnostic(void* context, int level, const char* format, va_list arguments) {
  if (level > av_log_get_level()) return;
  thread_local std::string pending;
  thread_local int printPrefix = 1;
  char piece[1024];
  av_log_format_line2(context, level, format, arguments, piece, sizeof piece, &printPrefix);
  pending += piece;
  if (pending.empty() || pending.back() != '\n') return;
  pending.pop_back();
  logDiagnostic(withoutAddresses(pending));
  pending.clear();
}

}  // namespace

std::string errorText(int code) {
  char reason[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, reason, sizeof reason);
  return reason;
}

void check(int result, const std::string& what) {
  if (result < 0) throw std::runtime_error(what + ": " + errorText(result));
}

void routeLibavLog() {
  static std::once_flag routed;
  std::call_once(routed, [] {
    av_log_set_level(AV_LOG_ERROR);  // what goes wrong; a normal run logs nothing
    av_log_set_callback(&logAsDiagnostic);
  });
}

std::string writeOrRemove(const std::string& destination, const std::function<void()>& work) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(destination).parent_path(), error);
  try {
    work();
    return "";
  } catch (const std::exception& e) {
    std::filesystem::remove(destination, error);
    return e.what();
  }
}

Input openInput(const std::string& path) {
  routeLibavLog();
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  return Input(raw);
}

Input openReadableInput(const std::string& path) {
  Input input = openInput(path);
  if (!input) throw std::runtime_error("cannot read " + devicePathOf(path));
  check(avformat_find_stream_info(input.get(), nullptr), "cannot read " + devicePathOf(path));
  return input;
}

ReadProgress::ReadProgress(const AVFormatContext& input,
                           const std::function<void(double)>& progress, double most)
    : progress_(progress),
      total_(input.duration > 0 ? input.duration / double(AV_TIME_BASE) : 0),
      most_(most) {}

void ReadProgress::count(const AVPacket& packet, const AVStream& stream) {
  if (progress_ && total_ > 0 && ++count_ % 32 == 0 && packet.dts != AV_NOPTS_VALUE) {
    progress_(std::min(most_, packet.dts * av_q2d(stream.time_base) / total_));
  }
}

Output openOutput(const std::string& path) {
  routeLibavLog();
  AVFormatContext* raw = nullptr;
  check(avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str()),
        "cannot make " + devicePathOf(path));
  Output output(raw);
  check(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE),
        "cannot write " + devicePathOf(path));
  return output;
}

Frame makeFrame(const AVCodecContext& codec) {
  Frame frame(av_frame_alloc());
  if (!frame) throw std::runtime_error("libav is out of memory");
  frame->format = codec.pix_fmt;
  frame->width = codec.width;
  frame->height = codec.height;
  check(av_frame_get_buffer(frame.get(), 0), "cannot make a frame");
  return frame;
}

Frame pictureFor(const AVFrame& decoded, const AVCodecContext& encoder, Scaler& scaler) {
  Frame picture;
  if (decoded.format == encoder.pix_fmt && decoded.width == encoder.width &&
      decoded.height == encoder.height) {
    picture.reset(av_frame_clone(&decoded));
    if (!picture) throw std::runtime_error("libav is out of memory");
  } else {
    if (!scaler) {
      scaler.reset(sws_getContext(
          decoded.width, decoded.height, static_cast<AVPixelFormat>(decoded.format), encoder.width,
          encoder.height, encoder.pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
      if (!scaler) throw std::runtime_error("cannot scale the video");
    }
    picture = makeFrame(encoder);
    sws_scale(scaler.get(), decoded.data, decoded.linesize, 0, decoded.height, picture->data,
              picture->linesize);
  }
  picture->pict_type = AV_PICTURE_TYPE_NONE;
  return picture;
}

void encodeAndWrite(AVCodecContext& encoder, AVFrame* frame, AVFormatContext& output,
                    AVStream& stream, AVRational codecTimeBase) {
  check(avcodec_send_frame(&encoder, frame), "cannot encode a frame");
  Packet packet(av_packet_alloc());
  if (!packet) throw std::runtime_error("libav is out of memory");
  for (;;) {
    const int received = avcodec_receive_packet(&encoder, packet.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
    check(received, "cannot encode a frame");
    if (packet->duration == 0 && encoder.codec_type == AVMEDIA_TYPE_VIDEO) packet->duration = 1;
    av_packet_rescale_ts(packet.get(), codecTimeBase, stream.time_base);
    packet->stream_index = stream.index;
    check(av_interleaved_write_frame(&output, packet.get()), "cannot write a frame");
  }
}

Codec openVideoEncoder(int width, int height, AVRational frameRate, std::int64_t bitRate,
                       const AVFormatContext& output) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (codec == nullptr) throw std::runtime_error("libavcodec has no MPEG-4 encoder");
  Codec encoder(avcodec_alloc_context3(codec));
  if (!encoder) throw std::runtime_error("libav is out of memory");
  encoder->width = width;
  encoder->height = height;
  encoder->pix_fmt = AV_PIX_FMT_YUV420P;
  // MPEG-4 keeps its time base's denominator at 65535 or below: frames are counted at the
  // whole rate above the exact one, and the file counts them in the exact frame duration.
  const double rate = av_q2d(frameRate);
  encoder->time_base = {1, static_cast<int>(std::ceil(rate - 1e-9))};
  encoder->framerate = frameRate;
  encoder->gop_size = 12;
  encoder->bit_rate =
      bitRate > 0
          ? bitRate
          : std::max<std::int64_t>(
                200'000, static_cast<std::int64_t>(0.07 * width * height * std::min(rate, 60.0)));
  encoder->thread_count = 0;  // as many as the machine has
  if (output.oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  check(avcodec_open2(encoder.get(), codec, nullptr), "cannot open the MPEG-4 encoder");
  return encoder;
}

Codec openAudioEncoder(int sampleRate, int channels, const AVFormatContext& output) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (codec == nullptr) throw std::runtime_error("libavcodec has no AAC encoder");
  Codec encoder(avcodec_alloc_context3(codec));
  if (!encoder) throw std::runtime_error("libav is out of memory");
  encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
  encoder->sample_rate = sampleRate;
  encoder->bit_rate = 64'000;
  av_channel_layout_default(&encoder->ch_layout, channels);
  encoder->time_base = {1, sampleRate};
  if (output.oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  check(avcodec_open2(encoder.get(), codec, nullptr), "cannot open the AAC encoder");
  return encoder;
}

AVStream* newStreamFor(AVFormatContext& output, const AVCodecContext& encoder) {
  AVStream* stream = avformat_new_stream(&output, nullptr);
  if (stream == nullptr) throw std::runtime_error("libav is out of memory");
  check(avcodec_parameters_from_context(stream->codecpar, &encoder), "cannot describe a track");
  stream->time_base = encoder.time_base;
  return stream;
}

Frame makeSoundFrame(const AVCodecContext& encoder, int samples) {
  Frame frame(av_frame_alloc());
  if (!frame) throw std::runtime_error("libav is out of memory");
  frame->format = encoder.sample_fmt;
  frame->nb_samples = samples;
  frame->sample_rate = encoder.sample_rate;
  check(av_channel_layout_copy(&frame->ch_layout, &encoder.ch_layout), "cannot lay out sound");
  check(av_frame_get_buffer(frame.get(), 0), "cannot make a sound frame");
  return frame;
}

AVRational exactRate(double framesPerSecond) {
  const double whole = std::round(framesPerSecond);
  if (std::fabs(framesPerSecond - whole) < 1e-6) return {static_cast<int>(whole), 1};
  const double ntsc = std::round(framesPerSecond * 1.001);
  if (std::fabs(framesPerSecond * 1.001 - ntsc) < 1e-3) {
    return {static_cast<int>(ntsc) * 1000, 1001};
  }
  return av_d2q(framesPerSecond, 100000);
}

}  // namespace qv::media
