// Fuzz target for scenario files: any bytes, read as a scenario against the shipped catalog,
// must give a scenario or a ScenarioError naming file and line, never crash, hang or raise
// anything else.
//
// Build and run: scripts/fuzz.sh (docs/fuzzing.md).
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/devices/Catalog.h"
#include "sim/language/ScenarioParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qv::host::Catalog catalog =
      qv::host::Catalog::load(qv::host::defaultCatalogFolder());
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    qv::sim::parseScenario(text, "fuzz.yaml", catalog);
  } catch (const qv::sim::ScenarioError&) {
  }
  return 0;
}
