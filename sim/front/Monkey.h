// quorvane-sim monkey: episodes of random but valid user actions on random catalog devices, each
// written as a step line of the scenario language, with the device's invariants checked after
// every step. A broken invariant is shrunk to the shortest step list that still breaks it and
// written out as a scenario file that `run` replays to the same failure.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "host/devices/Catalog.h"
#include "host/loader/Loader.h"

namespace qv::sim {

struct MonkeyOptions {
  std::uint64_t seed = 1;
  int steps = 200;  // in all, across the episodes
  host::LibraryChoice library = host::LibraryChoice::iOS8;
  std::optional<std::string> root;  // the episodes' folders go here; else a new temporary folder
  std::string libraryFolder;        // where the built libraries are
};

// Answers 0 when every invariant held, 1 when one broke (the seed, the violation and the
// reproducing scenario go to `out`), 2 when the monkey cannot run (the reason goes to `out`).
int runMonkey(const MonkeyOptions& options, const host::Catalog& catalog, std::ostream& out);

}  // namespace qv::sim
