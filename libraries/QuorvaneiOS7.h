// What makes a library: its identity and its hook table in installation order. The library's
// static constructor (libraries/LibraryStart.cpp) installs them; tests read them as data.
#pragma once

#include "core/HookTable.h"
#include "core/Installation.h"

namespace quorvane::ios7 {

extern const LibraryIdentity kLibrary;
const HookTable& hookTable();

}  // namespace quorvane::ios7
