#include "platform/AVFoundation/VideoPictures.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <list>
#include <mutex>

#include "platform/AVFoundation/Libav.h"
#include "platform/AVFoundation/Media.h"
#include "platform/CoreGraphics/CGCairo.h"
#include "platform/CoreGraphics/CairoHandles.h"

namespace qv::media {
namespace {

// Beyond this far ahead of the frame in hand, seeking to the key frame before the instant is
// quicker than decoding every frame between: key frames come every 12 frames.
constexpr double kLongestDecodeAhead = 0.5;
constexpr std::size_t kPicturesPerClip = 8;
constexpr std::size_t kClipsKept = 6;
constexpr int kLargestSide = 4096;
constexpr int kRowAlignment = 64;  // what libswscale's vector code writes best

// One video track, decoded forwards from wherever it last stopped.
class TrackDecoder {
 public:
  explicit TrackDecoder(const std::string& path) : input_(openInput(path)) {
    if (!input_) throw std::runtime_error("cannot read the clip");
    stream_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    check(stream_, "no video track");
    const AVStream& stream = *input_->streams[stream_];
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr) throw std::runtime_error("no decoder for the video track");
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) throw std::runtime_error("libav is out of memory");
    check(avcodec_parameters_to_context(decoder_.get(), stream.codecpar), "cannot read the video");
    decoder_->pkt_timebase = stream.time_base;
    // One thread: an app process may be forked while it holds a decoder, and a copy has no
    // threads but the one that forked.
    decoder_->thread_count = 1;
    check(avcodec_open2(decoder_.get(), codec, nullptr), "cannot open the video decoder");
    timeBase_ = stream.time_base;
    start_ = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    const AVRational rate =
        stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    frameRate_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 30;
  }

  // The frame shown at `seconds`, with the time the next one starts (infinity for the last);
  // null when nothing decodes there.
  const AVFrame* frameAt(double seconds, double& nextStart) {
    if (!current_ || seconds < timeOf(*current_) ||
        seconds > timeOf(*current_) + kLongestDecodeAhead) {
      seekBefore(seconds);
      if (!current_) return nullptr;
    }
    for (;;) {
      if (!next_ && !decodeInto(next_)) break;
      if (timeOf(*next_) > seconds + 1e-9) break;
      std::swap(current_, next_);
      next_.reset();
    }
    nextStart = next_ ? timeOf(*next_) : std::numeric_limits<double>::infinity();
    return current_.get();
  }

  double timeOf(const AVFrame& frame) const {
    const std::int64_t ticks =
        frame.best_effort_timestamp != AV_NOPTS_VALUE ? frame.best_effort_timestamp : frame.pts;
    return ticks == AV_NOPTS_VALUE ? 0 : static_cast<double>(ticks - start_) * av_q2d(timeBase_);
  }

  std::int64_t numberOf(const AVFrame& frame) const {
    return std::llround(timeOf(frame) * frameRate_);
  }

 private:
  void seekBefore(double seconds) {
    const auto ticks =
        start_ + static_cast<std::int64_t>(std::max(0.0, seconds) / av_q2d(timeBase_));
    av_seek_frame(input_.get(), stream_, ticks, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(decoder_.get());
    drained_ = false;
    current_.reset();
    next_.reset();
    decodeInto(current_);
  }

  // The next frame the track gives into `frame`, or false with `frame` empty at the track's end
  // (or where it stops decoding).
  bool decodeInto(Frame& frame) {
    frame.reset(av_frame_alloc());
    while (frame) {
      const int received = avcodec_receive_frame(decoder_.get(), frame.get());
      if (received == 0) return true;
      if (received != AVERROR(EAGAIN) || drained_) break;
      feedPacket();
    }
    frame.reset();
    return false;
  }

  void feedPacket() {
    Packet packet(av_packet_alloc());
    if (!packet || av_read_frame(input_.get(), packet.get()) < 0) {
      avcodec_send_packet(decoder_.get(), nullptr);  // the end: what the decoder holds comes out
      drained_ = true;
      return;
    }
    // A packet that does not decode is passed over, as a player does.
    if (packet->stream_index == stream_) avcodec_send_packet(decoder_.get(), packet.get());
  }

  Input input_;
  Codec decoder_;
  int stream_ = -1;
  AVRational timeBase_{1, 1};
  std::int64_t start_ = 0;
  double frameRate_ = 30;
  bool drained_ = false;
  Frame current_;
  Frame next_;
};

// The picture's size for a frame of `width`×`height` in the box.
std::pair<int, int> fittedSize(int width, int height, int boxWidth, int boxHeight, PictureFit fit) {
  const double across = static_cast<double>(boxWidth) / width;
  const double down = static_cast<double>(boxHeight) / height;
  const double scale = fit == PictureFit::inside ? std::min(across, down) : std::max(across, down);
  const auto side = [scale](int length) {
    return std::clamp(static_cast<int>(std::lround(length * scale)), 1, kLargestSide);
  };
  return {side(width), side(height)};
}

std::shared_ptr<Picture> scaled(const AVFrame& frame, int width, int height, Scaler& scaler) {
  auto picture = std::make_shared<Picture>();
  picture->width = width;
  picture->height = height;
  picture->stride = (width * 4 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  picture->pixels.resize(static_cast<std::size_t>(picture->stride) * height + kRowAlignment);
  scaler.reset(sws_getCachedContext(scaler.release(), frame.width, frame.height,
                                    static_cast<AVPixelFormat>(frame.format), width, height,
                                    AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!scaler) return nullptr;
  std::uint8_t* rows[4] = {picture->pixels.data(), nullptr, nullptr, nullptr};
  const int strides[4] = {picture->stride, 0, 0, 0};
  sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, rows, strides);
  return picture;
}

// What is known of a file, so that a clip written again under the same name is read again.
struct FileStamp {
  off_t size = -1;
  std::int64_t modified = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return {};
  return {status.st_size, static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                              status.st_mtim.tv_nsec};
}

// One clip: its decoder (none when it does not read) and its latest pictures, newest first.
struct ClipPictures {
  std::string path;
  FileStamp stamp;
  std::pair<int, int> size{0, 0};  // of its frames
  std::unique_ptr<TrackDecoder> decoder;
  Scaler scaler;
  std::list<std::shared_ptr<const Picture>> pictures;

  std::shared_ptr<const Picture> cached(double seconds, int width, int height, PictureFit fit) {
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
      const Picture& picture = **it;
      if (seconds < picture.start || seconds >= picture.end) continue;
      if (std::pair(picture.width, picture.height) != sizeFor(width, height, fit)) continue;
      pictures.splice(pictures.begin(), pictures, it);
      return pictures.front();
    }
    return nullptr;
  }

  std::pair<int, int> sizeFor(int width, int height, PictureFit fit) const {
    return fittedSize(size.first, size.second, width, height, fit);
  }

  std::shared_ptr<const Picture> decode(double seconds, int width, int height, PictureFit fit) {
    double nextStart = 0;
    const AVFrame* frame = decoder->frameAt(seconds, nextStart);
    if (frame == nullptr) return nullptr;
    const auto [pictureWidth, pictureHeight] = sizeFor(width, height, fit);
    std::shared_ptr<Picture> picture = scaled(*frame, pictureWidth, pictureHeight, scaler);
    if (!picture) return nullptr;
    picture->frame = decoder->numberOf(*frame);
    // Before the first frame the first one shows.
    picture->start = std::min(seconds, decoder->timeOf(*frame));
    picture->end = nextStart;
    pictures.push_front(picture);
    if (pictures.size() > kPicturesPerClip) pictures.pop_back();
    return picture;
  }
};

class PictureCache {
 public:
  std::shared_ptr<const Picture> pictureAt(const std::string& path, double seconds, int width,
                                           int height, PictureFit fit) {
    std::lock_guard lock(mutex_);
    ClipPictures& clip = clipFor(path);
    if (!clip.decoder) return nullptr;
    if (auto picture = clip.cached(seconds, width, height, fit)) return picture;
    try {
      return clip.decode(seconds, width, height, fit);
    } catch (const std::exception&) {
      return nullptr;
    }
  }

 private:
  ClipPictures& clipFor(const std::string& path) {
    const FileStamp stamp = stampOf(path);
    for (auto it = clips_.begin(); it != clips_.end(); ++it) {
      if (it->path != path) continue;
      if (it->stamp == stamp) {
        clips_.splice(clips_.begin(), clips_, it);
        return clips_.front();
      }
      clips_.erase(it);
      break;
    }
    clips_.push_front(opened(path, stamp));
    if (clips_.size() > kClipsKept) clips_.pop_back();
    return clips_.front();
  }

  // Only a clip whose video track reads gets a decoder: a file cut short or not a movie shows
  // the platform's unplayable look, as it does not play either.
  static ClipPictures opened(const std::string& path, FileStamp stamp) {
    ClipPictures clip;
    clip.path = path;
    clip.stamp = stamp;
    const MediaInfo info = readMediaInfo(path);
    const auto video =
        std::find_if(info.tracks.begin(), info.tracks.end(),
                     [](const TrackInfo& track) { return track.mediaType == "vide"; });
    if (video == info.tracks.end() || video->width <= 0 || video->height <= 0) return clip;
    clip.size = {video->width, video->height};
    try {
      clip.decoder = std::make_unique<TrackDecoder>(path);
    } catch (const std::exception&) {
      clip.decoder.reset();
    }
    return clip;
  }

  std::mutex mutex_;
  std::list<ClipPictures> clips_;  // the latest first
};

PictureCache& cache() {
  static auto* made = new PictureCache;  // for the life of the process
  return *made;
}

}  // namespace

std::shared_ptr<const Picture> pictureAt(const std::string& path, double seconds, int width,
                                         int height, PictureFit fit) {
  if (width <= 0 || height <= 0 || !std::isfinite(seconds)) return nullptr;
  return cache().pictureAt(path, seconds, width, height, fit);
}

void drawPicture(CGContextRef context, const Picture& picture, CGRect box) {
  cairo_t* cairo = cairoOf(context);
  if (cairo == nullptr || picture.pixels.empty()) return;
  // cairo only reads the pixels while the surface lives, within this call.
  CairoSurfacePtr surface(cairo_image_surface_create_for_data(
      const_cast<std::uint8_t*>(picture.pixels.data()), CAIRO_FORMAT_RGB24, picture.width,
      picture.height, picture.stride));
  cairo_save(cairo);
  cairo_rectangle(cairo, box.origin.x, box.origin.y, box.size.width, box.size.height);
  cairo_clip(cairo);
  cairo_set_source_surface(cairo, surface.get(),
                           std::round(box.origin.x + (box.size.width - picture.width) / 2),
                           std::round(box.origin.y + (box.size.height - picture.height) / 2));
  cairo_paint(cairo);
  cairo_restore(cairo);
}

void drawUnplayable(CGContextRef context, CGRect box) {
  cairo_t* cairo = cairoOf(context);
  if (cairo == nullptr) return;
  const double side = std::min(box.size.width, box.size.height) * 0.28;
  const double x = box.origin.x + box.size.width / 2;
  const double y = box.origin.y + box.size.height / 2;
  cairo_save(cairo);
  cairo_set_source_rgb(cairo, 0.16, 0.16, 0.17);
  cairo_rectangle(cairo, box.origin.x, box.origin.y, box.size.width, box.size.height);
  cairo_fill(cairo);
  cairo_set_source_rgba(cairo, 1, 1, 1, 0.75);
  cairo_set_line_width(cairo, std::max(1.5, side / 14));
  cairo_set_line_join(cairo, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cairo, x - side * 0.35, y - side * 0.45);  // the play mark, pointing right
  cairo_line_to(cairo, x + side * 0.5, y);
  cairo_line_to(cairo, x - side * 0.35, y + side * 0.45);
  cairo_close_path(cairo);
  cairo_stroke(cairo);
  cairo_set_line_cap(cairo, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cairo, x - side * 0.6, y + side * 0.6);  // struck through
  cairo_line_to(cairo, x + side * 0.6, y - side * 0.6);
  cairo_stroke(cairo);
  cairo_restore(cairo);
}

}  // namespace qv::media
