// Foundation's hot paths for the tweak: the settings file read at load and on every change, and
// the string conversions its values go through. Each benchmark repeats and reports its median.
#include <benchmark/benchmark.h>
#include <plist/plist.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "platform/System/TemporaryRoot.h"
#include "platform/objc/AutoreleasePool.h"

namespace {

using qv::send;

constexpr const char* kSettingsPath = "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist";

struct PlistFree {
  void operator()(void* node) const { plist_free(node); }
};

// The ten settings as the settings pane writes them.
std::string settingsBytes(bool binary) {
  std::unique_ptr<void, PlistFree> root(plist_new_dict());
  plist_t dict = root.get();
  plist_dict_set_item(dict, "EnableSlalom", plist_new_bool(1));
  plist_dict_set_item(dict, "MogulFramerate", plist_new_uint(120));
  plist_dict_set_item(dict, "ForceSlalom", plist_new_bool(0));
  plist_dict_set_item(dict, "FakeFPS", plist_new_bool(0));
  plist_dict_set_item(dict, "hideIndicator", plist_new_bool(0));
  plist_dict_set_item(dict, "indicatorTap", plist_new_bool(1));
  plist_dict_set_item(dict, "mailMax", plist_new_uint(0));
  plist_dict_set_item(dict, "rate", plist_new_real(0.25));
  plist_dict_set_item(dict, "volumeRamp", plist_new_real(0.15));
  plist_dict_set_item(dict, "aFPS", plist_new_string("120"));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (binary) {
    plist_to_bin(dict, &bytes, &length);
  } else {
    plist_to_xml(dict, &bytes, &length);
  }
  std::string text(bytes, length);
  std::free(bytes);
  return text;
}

// A sandbox root holding the settings file, for as long as the benchmark runs.
class SettingsRoot {
 public:
  explicit SettingsRoot(bool binary) : root_(qv::TemporaryRoot::orAbort("qv-bench-")) {
    const std::filesystem::path file = root_.path() + kSettingsPath;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << settingsBytes(binary);
    qv::setFileSystemRoot(root_.path());
  }
  ~SettingsRoot() { qv::setFileSystemRoot(""); }
  SettingsRoot(const SettingsRoot&) = delete;
  SettingsRoot& operator=(const SettingsRoot&) = delete;

 private:
  qv::TemporaryRoot root_;
};

void readSettings(benchmark::State& state, bool binary) {
  SettingsRoot root(binary);
  qv::AutoreleasePool pool;
  const qv::Ref<> path = qv::makeString(kSettingsPath);
  const Class dictionaryClass = objc_getClass("NSDictionary");
  for (auto _ : state) {
    id settings = send<id>(dictionaryClass, "dictionaryWithContentsOfFile:"_sel, path.get());
    if (settings == nil) state.SkipWithError("the settings file did not read");
    benchmark::DoNotOptimize(settings);
    pool.drain();
  }
}

void BM_DictionaryWithContentsOfFile_Xml(benchmark::State& state) {
  readSettings(state, false);
}
void BM_DictionaryWithContentsOfFile_Binary(benchmark::State& state) {
  readSettings(state, true);
}

template <typename R>
void convert(benchmark::State& state, const char* text, SEL selector) {
  const qv::Ref<> string = qv::makeString(text);
  for (auto _ : state) benchmark::DoNotOptimize(send<R>(string.get(), selector));
}

void BM_StringIntValue(benchmark::State& state) {
  convert<int>(state, "  120", "intValue"_sel);
}
void BM_StringIntegerValue(benchmark::State& state) {
  convert<long>(state, "-9223372036854775809", "integerValue"_sel);
}
void BM_StringDoubleValue(benchmark::State& state) {
  convert<double>(state, "240.9", "doubleValue"_sel);
}
void BM_StringFloatValue(benchmark::State& state) {
  convert<float>(state, "0.15", "floatValue"_sel);
}
void BM_StringBoolValue(benchmark::State& state) {
  convert<BOOL>(state, "YES", "boolValue"_sel);
}

void BM_FormatString(benchmark::State& state) {
  const qv::Ref<> name = qv::makeString("CAMCaptureController");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        qv::formatString("[%s: %s:%d] %s: %@", "QuorvaneiOS8", "Tweak", 42, "ERROR", name.get()));
  }
}

void repeated(benchmark::internal::Benchmark* benchmark) {
  benchmark->Repetitions(9)->DisplayAggregatesOnly(true);
}

BENCHMARK(BM_DictionaryWithContentsOfFile_Xml)->Apply(repeated);
BENCHMARK(BM_DictionaryWithContentsOfFile_Binary)->Apply(repeated);
BENCHMARK(BM_StringIntValue)->Apply(repeated);
BENCHMARK(BM_StringIntegerValue)->Apply(repeated);
BENCHMARK(BM_StringDoubleValue)->Apply(repeated);
BENCHMARK(BM_StringFloatValue)->Apply(repeated);
BENCHMARK(BM_StringBoolValue)->Apply(repeated);
BENCHMARK(BM_FormatString)->Apply(repeated);

}  // namespace
