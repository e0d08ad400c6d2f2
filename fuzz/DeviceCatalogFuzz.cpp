// Fuzz target for the device catalog: any bytes, read as a device file and as a systems file,
// must parse or be refused with a CatalogError, never crash, hang or raise anything else.
//
// Built apart from the default build, with clang's libFuzzer, from the repository root:
//
//   mkdir -p build/fuzz && clang++ -std=c++20 -g -O1 \
//     -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
//     -I. -DQUORVANE_DEVICE_CATALOG='"host/devices"' \
//     fuzz/DeviceCatalogFuzz.cpp host/devices/Catalog.cpp host/devices/EntryReader.cpp \
//     -lyaml-cpp -o build/fuzz/DeviceCatalogFuzz
//
// and run, with a corpus folder seeded by the shipped catalog:
//
//   mkdir -p build/fuzz/catalog && cp host/devices/*.yaml build/fuzz/catalog/ && \
//     build/fuzz/DeviceCatalogFuzz -max_len=4096 build/fuzz/catalog
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::host;
  static const std::vector<SystemRelease> systems{{"8.4", 1145.15, 1144.17, HostGeneration::iOS8}};
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    parseDevice(text, "fuzz.yaml", systems);
  } catch (const CatalogError&) {
  }
  try {
    parseSystems(text, "systems.yaml");
  } catch (const CatalogError&) {
  }
  return 0;
}
