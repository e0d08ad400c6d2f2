// The library's start: settings, then the hook table, installed row by row. A missing class or
// selector costs only its own rows and a log line.
#pragma once

#include "core/HookTable.h"

namespace quorvane {

// What tells the two libraries apart in their log lines and their start.
struct LibraryIdentity {
  const char* tag;         // first field of every installation log line
  const char* sourceFile;  // the file the log lines name
  int line;                // the line the log lines name, the same in every line
  bool autoreleasePool;    // whether the start runs inside an autorelease pool
};

// Installs the function hooks, then each group in order: one class lookup, then each row. A
// missing class or selector writes one line "[tag: file:line] ERROR: logos: ...".
void installHookTable(const HookTable& table, const LibraryIdentity& library);

// The static constructor's work: observe settings changes, load the settings, and install the
// table only when EnableSlalom is on.
void startTweak(const HookTable& table, const LibraryIdentity& library);

}  // namespace quorvane
