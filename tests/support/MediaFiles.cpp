#include "tests/support/MediaFiles.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace qv::test {
namespace {

std::vector<char> bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const char* data, std::size_t size) {
  std::ofstream(path, std::ios::binary).write(data, static_cast<std::streamsize>(size));
}

void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

}  // namespace

void writeAudioOnlyCopy(const std::string& source, const std::string& destination) {
  AVFormatContext* input = nullptr;
  require(avformat_open_input(&input, source.c_str(), nullptr, nullptr) == 0, "cannot open");
  AVFormatContext* output = nullptr;
  avformat_alloc_output_context2(&output, nullptr, "mov", destination.c_str());
  int audio = -1;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    if (input->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    audio = static_cast<int>(i);
    AVStream* stream = avformat_new_stream(output, nullptr);
    avcodec_parameters_copy(stream->codecpar, input->streams[i]->codecpar);
    stream->codecpar->codec_tag = 0;
    stream->time_base = input->streams[i]->time_base;
  }
  require(audio >= 0, "no sound track");
  require(avio_open(&output->pb, destination.c_str(), AVIO_FLAG_WRITE) >= 0, "cannot write");
  require(avformat_write_header(output, nullptr) >= 0, "cannot write the header");
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(input, packet) >= 0) {
    if (packet->stream_index == audio) {
      av_packet_rescale_ts(packet, input->streams[audio]->time_base, output->streams[0]->time_base);
      packet->stream_index = 0;
      av_interleaved_write_frame(output, packet);
    }
    av_packet_unref(packet);
  }
  av_write_trailer(output);
  av_packet_free(&packet);
  avio_closep(&output->pb);
  avformat_free_context(output);
  avformat_close_input(&input);
}

void writeTruncatedCopy(const std::string& source, const std::string& destination, double share) {
  const std::vector<char> bytes = bytesOf(source);
  writeBytes(destination, bytes.data(), static_cast<std::size_t>(bytes.size() * share));
}

void writeScrambledCopy(const std::string& source, const std::string& destination) {
  std::vector<char> bytes = bytesOf(source);
  unsigned state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  writeBytes(destination, bytes.data(), bytes.size());
}

}  // namespace qv::test
