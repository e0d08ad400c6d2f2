// What the media code shares: owning handles for libav's objects, error checks, and libav's log
// routed to the platform's diagnostics.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace qv::media {

struct InputClose {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
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
struct ScaleFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using Input = std::unique_ptr<AVFormatContext, InputClose>;
using Output = std::unique_ptr<AVFormatContext, OutputFree>;
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Scaler = std::unique_ptr<SwsContext, ScaleFree>;

// libav's reason for an error code.
std::string errorText(int code);

// Raises std::runtime_error("what: reason") for a negative result.
void check(int result, const std::string& what);

// Sends libav's own messages (errors only) to the platform's diagnostics, without the addresses
// they name, instead of standard error. Called by every entry point; the first call does the work.
void routeLibavLog();

// Runs work that writes `destination`, its folder made first; answers an empty text, or why the
// work failed (what it raised), with the destination removed. Never raises.
std::string writeOrRemove(const std::string& destination, const std::function<void()>& work);

// writeOrRemove of a job that reads `source` and writes `destination` as `request` asks:
// Job(source, destination, request).run(progress).
template <typename Job, typename Request, typename Progress>
std::string runJob(const std::string& source, const std::string& destination,
                   const Request& request, const Progress& progress) {
  return writeOrRemove(destination, [&] {
    Job job(source, destination, request);
    job.run(progress);
  });
}

// Opens a file for reading; null when it cannot be opened or read as media.
Input openInput(const std::string& path);

// Opens a file for reading with its streams' parameters found; raises when it cannot.
Input openReadableInput(const std::string& path);

// How far a job has read its input, told every 32nd packet it counts: the packet's time over
// the input's duration, at most `most`. Tells nothing without a callback or a known duration.
class ReadProgress {
 public:
  ReadProgress(const AVFormatContext& input, const std::function<void(double)>& progress,
               double most);
  void count(const AVPacket& packet, const AVStream& stream);

 private:
  const std::function<void(double)>& progress_;
  double total_;
  double most_;
  int count_ = 0;
};

// A new output context for a QuickTime file at `path`, opened for writing.
Output openOutput(const std::string& path);

// The new frame of the codec's size and format.
Frame makeFrame(const AVCodecContext& codec);

// The decoded picture in the encoder's size and pixel format, for the encoder to take: the
// decoded frame itself (a new reference, nothing copied) when it already is, else a scaled copy
// through `scaler`, made on first need. Its picture type is left to the encoder.
Frame pictureFor(const AVFrame& decoded, const AVCodecContext& encoder, Scaler& scaler);

// Sends the frame (null: the end) and writes every packet the encoder gives back, in the
// stream's time base, counting encoder time in `codecTimeBase`.
void encodeAndWrite(AVCodecContext& encoder, AVFrame* frame, AVFormatContext& output,
                    AVStream& stream, AVRational codecTimeBase);

// An MPEG-4 Visual encoder of this size and rate; `frameDuration` is the exact duration of a
// frame, which the file keeps even where the encoder's time base cannot.
Codec openVideoEncoder(int width, int height, AVRational frameRate, std::int64_t bitRate,
                       const AVFormatContext& output);

// An AAC encoder of this rate and channel count, planar float samples, time base 1/rate.
Codec openAudioEncoder(int sampleRate, int channels, const AVFormatContext& output);

// A new track of the output described by the encoder.
AVStream* newStreamFor(AVFormatContext& output, const AVCodecContext& encoder);

// A sound frame of the encoder's format and layout with room for `samples` samples.
Frame makeSoundFrame(const AVCodecContext& encoder, int samples);

// The rate as a fraction: whole rates stay whole, 119.88 and its kin are n * 1000 / 1001.
AVRational exactRate(double framesPerSecond);

}  // namespace qv::media
