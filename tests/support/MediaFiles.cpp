#include "tests/support/MediaFiles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdlib>
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

std::vector<LumaFrame> decodeLuma(const std::string& path) {
  std::vector<LumaFrame> frames;
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) != 0) return frames;
  avformat_find_stream_info(input, nullptr);
  const int video = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVCodecContext* decoder = nullptr;
  if (video >= 0) {
    const AVCodec* codec = avcodec_find_decoder(input->streams[video]->codecpar->codec_id);
    decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, input->streams[video]->codecpar);
    avcodec_open2(decoder, codec, nullptr);
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const auto receive = [&] {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      LumaFrame luma;
      for (int y = 0; y < frame->height; ++y) {
        const std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
        luma.insert(luma.end(), row, row + frame->width);
      }
      frames.push_back(std::move(luma));
    }
  };
  while (decoder != nullptr && av_read_frame(input, packet) >= 0) {
    if (packet->stream_index == video && avcodec_send_packet(decoder, packet) == 0) receive();
    av_packet_unref(packet);
  }
  if (decoder != nullptr && avcodec_send_packet(decoder, nullptr) == 0) receive();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&input);
  return frames;
}

double lumaDistance(const LumaFrame& a, const LumaFrame& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(a.size());
}

}  // namespace qv::test
