// Fuzz target for the device catalog: any bytes, read as a device file against the shipped
// system releases and as a systems file, must parse or be refused with a CatalogError, never
// crash, hang or raise anything else.
//
// Build and run: scripts/fuzz.sh (docs/fuzzing.md).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::host;
  static const std::vector<SystemRelease> systems = Catalog::load(defaultCatalogFolder()).systems();
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
