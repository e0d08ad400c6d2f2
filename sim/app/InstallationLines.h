// The lines each library logs while it installs: for every class it looks up that the host
// lacks, one "logos: nil class NAME" line per method it replaces there (none for the methods it
// only adds), in its table's order. The monkey expects exactly these of an app.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace qv::sim {

struct HookedClass {
  const char* name;
  int replacedMethods;
};

struct LibraryLines {
  const char* library;                   // as the loader names it: "QuorvaneiOS8"
  const char* prefix;                    // what each of its lines starts with
  std::span<const HookedClass> classes;  // in table order; a class twice when its rows are apart
};

// nullptr for a library neither of the two.
const LibraryLines* libraryLines(const std::string& library);

// Every class either library looks up, once each, in name order.
std::vector<std::string> hookedClassNames();

// What the library logs in a host without the classes `missing` names.
std::vector<std::string> installationLines(const LibraryLines& library,
                                           const std::vector<std::string>& missing);

}  // namespace qv::sim
