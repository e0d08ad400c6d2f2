// Fuzz target for the shell's lines: any bytes, read as one step typed into quorvane-sim shell,
// must give a step or a ScenarioError naming the line, never crash, hang or raise anything else.
// A step that reads must also read again from the line it writes, as the shell's saved
// scenarios do.
//
// Build and run: scripts/fuzz.sh (docs/fuzzing.md).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/devices/Catalog.h"
#include "sim/language/ScenarioParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qv::host::Catalog catalog =
      qv::host::Catalog::load(qv::host::defaultCatalogFolder());
  const std::string line(reinterpret_cast<const char*>(data), size);
  qv::sim::Step step;
  try {
    step = qv::sim::parseStep(line, {"shell", 1}, "", catalog);
  } catch (const qv::sim::ScenarioError&) {
    return 0;
  }
  try {
    qv::sim::parseStep(step.written, {"saved", 1}, "", catalog);
  } catch (const qv::sim::ScenarioError& e) {
    std::fprintf(stderr, "step %s wrote \"%s\", which does not read back: %s\n", line.c_str(),
                 step.written.c_str(), e.what());
    std::abort();
  }
  return 0;
}
