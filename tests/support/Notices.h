// What the timed notices on a view say.
#pragma once

#include <objc/runtime.h>

#include <string>
#include <vector>

namespace qv::test {

// The messages of the notices showing on the view, back to front.
std::vector<std::string> noticesOn(id view);

}  // namespace qv::test
