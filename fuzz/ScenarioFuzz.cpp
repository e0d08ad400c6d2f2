// Fuzz target for scenario files and the shell's lines: any bytes, read as a scenario against the
// shipped catalog and as one step, must give a scenario (a step) or a ScenarioError naming file
// and line, never crash, hang or raise anything else.
//
// Built apart from the default build, with clang's libFuzzer, from the repository root (gcc's
// include folder for the runtime's headers, which the host headers name):
//
//   mkdir -p build/fuzz && clang++ -std=c++20 -g -O1 \
//     -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
//     -idirafter "$(gcc -print-file-name=include)" -I. \
//     -DQUORVANE_DEVICE_CATALOG='"host/devices"' fuzz/ScenarioFuzz.cpp sim/ScenarioParser.cpp \
//     sim/YamlReading.cpp sim/YamlWriting.cpp sim/Value.cpp sim/Observables.cpp \
//     host/Removals.cpp host/AppNames.cpp host/devices/Catalog.cpp host/devices/EntryReader.cpp \
//     -lyaml-cpp -o build/fuzz/ScenarioFuzz
//
// and run, with a corpus folder seeded by the shipped scenarios:
//
//   mkdir -p build/fuzz/scenarios && cp scenarios/*.yaml build/fuzz/scenarios/ && \
//     build/fuzz/ScenarioFuzz -max_len=8192 build/fuzz/scenarios
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/devices/Catalog.h"
#include "sim/ScenarioParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qv::host::Catalog catalog = qv::host::Catalog::load(QUORVANE_DEVICE_CATALOG);
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    qv::sim::parseScenario(text, "fuzz.yaml", catalog);
  } catch (const qv::sim::ScenarioError&) {
  }
  try {
    qv::sim::parseStep(text, {"shell", 1}, "", catalog);
  } catch (const qv::sim::ScenarioError&) {
  }
  return 0;
}
