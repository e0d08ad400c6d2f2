// What a media file holds, read from its header: the tracks, their rates, sizes and lengths.
#include <filesystem>
#include <limits>

#include "platform/AVFoundation/Libav.h"
#include "platform/AVFoundation/Media.h"

namespace qv::media {
namespace {

// A stream's length as a rational time, exact where the time base allows.
CMTime timeOf(std::int64_t ticks, AVRational timeBase) {
  if (ticks == AV_NOPTS_VALUE || ticks < 0 || timeBase.num <= 0 || timeBase.den <= 0) {
    return kCMTimeZero;
  }
  const std::int64_t limit = std::numeric_limits<std::int64_t>::max() / timeBase.num;
  if (ticks <= limit) return {ticks * timeBase.num, timeBase.den, kCMTimeFlags_Valid, 0};
  return {av_rescale_q(ticks, timeBase, {1, 1'000'000}), 1'000'000, kCMTimeFlags_Valid, 0};
}

const char* mediaTypeOf(AVMediaType type) {
  switch (type) {
    case AVMEDIA_TYPE_VIDEO:
      return "vide";
    case AVMEDIA_TYPE_AUDIO:
      return "soun";
    default:
      return nullptr;
  }
}

// Whether the samples the header lists lie inside the file: a file cut short after its header
// lists samples it no longer has.
bool samplesInsideFile(const AVFormatContext& context, const AVStream& stream) {
  const std::int64_t size = context.pb != nullptr ? avio_size(context.pb) : -1;
  const int count = avformat_index_get_entries_count(&stream);
  if (size < 0 || count == 0) return true;
  const AVIndexEntry* last = avformat_index_get_entry(const_cast<AVStream*>(&stream), count - 1);
  return last == nullptr || last->pos + last->size <= size;
}

// Headers that leave out the picture size or the average rate need a look at the first packets.
void completeFromPackets(AVFormatContext& context) {
  for (unsigned i = 0; i < context.nb_streams; ++i) {
    const AVStream& stream = *context.streams[i];
    if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        (stream.avg_frame_rate.num == 0 || stream.codecpar->width == 0)) {
      avformat_find_stream_info(&context, nullptr);
      return;
    }
  }
}

TrackInfo trackOf(const AVFormatContext& context, const AVStream& stream) {
  TrackInfo track;
  track.mediaType = mediaTypeOf(stream.codecpar->codec_type);
  track.duration = timeOf(stream.duration, stream.time_base);
  if (CMTimeCompare(track.duration, kCMTimeZero) == 0 && context.duration > 0) {
    track.duration = timeOf(context.duration, {1, AV_TIME_BASE});
  }
  if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO) return track;
  const AVRational rate =
      stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
  track.nominalFrameRate = rate.num > 0 && rate.den > 0 ? static_cast<float>(av_q2d(rate)) : 0;
  track.width = stream.codecpar->width;
  track.height = stream.codecpar->height;
  track.frames =
      stream.nb_frames > 0 ? stream.nb_frames : avformat_index_get_entries_count(&stream);
  return track;
}

}  // namespace

MediaInfo readMediaInfo(const std::string& path) {
  const auto nothing = [](const char* problem) { return MediaInfo{kCMTimeZero, {}, problem}; };
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nothing("there is no such file");
  if (std::filesystem::file_size(path, error) == 0) return nothing("the file is empty");
  Input input = openInput(path);
  if (!input) return nothing("the file is not a readable movie");
  completeFromPackets(*input);
  MediaInfo info;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream& stream = *input->streams[i];
    if (mediaTypeOf(stream.codecpar->codec_type) == nullptr) continue;
    if (!samplesInsideFile(*input, stream)) return nothing("the file is cut short");
    info.tracks.push_back(trackOf(*input, stream));
    if (CMTimeCompare(info.tracks.back().duration, info.duration) > 0) {
      info.duration = info.tracks.back().duration;
    }
  }
  if (info.tracks.empty()) info.problem = "the file has no video or sound";
  return info;
}

}  // namespace qv::media
