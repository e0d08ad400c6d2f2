// A look at the shape of a property list before libplist parses it.
//
// libplist 2.2 recurses once per nesting level when it parses a binary list and when it frees
// any tree, so a deep enough file overflows the stack; and it copies a binary object at every
// reference to it, so a file of a hundred bytes whose arrays each refer twice to the next one
// expands to 2^n objects. Such files are turned away here, from the bytes alone.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::foundation {

struct ShapeLimits {
  std::uint64_t depth;    // nesting of arrays and dictionaries
  std::uint64_t objects;  // objects once every reference is expanded (binary lists)
};

// Whether the list stays within the limits. A binary list whose structure cannot be followed,
// or XML whose markup cannot be scanned, is turned away too.
bool withinShapeLimits(std::string_view bytes, const ShapeLimits& limits);

}  // namespace qv::foundation
