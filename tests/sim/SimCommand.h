// quorvane-sim and other programs run as a user runs them, from a test: in a folder of the
// test's own, with the output kept for checking.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/System/TemporaryRoot.h"

namespace qv::test {

// A new temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  const std::filesystem::path& path() const { return path_; }
  std::string at(const std::string& name) const { return (path_ / name).string(); }
  // Writes the file (and its folders); answers its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;

 private:
  TemporaryRoot root_{"quorvane-sim-"};
  std::filesystem::path path_{root_.path()};
};

// In a forked child: becomes the program (`argv[0]`, a path), run in `folder`.
[[noreturn]] void execute(const std::vector<std::string>& argv, const std::string& folder);

// The exit status of a process from its wait status; 128 + the signal for one a signal ended.
int exitStatus(int waitStatus);

struct Finished {
  int status = -1;  // as exitStatus gives it
  std::string out;
  std::string err;
};

// Runs the program (`argv[0]`, a path) in `folder`, with `input` on a standard input that is not
// a terminal.
Finished runProgram(const std::vector<std::string>& argv, const std::string& folder,
                    const std::string& input = "");

// quorvane-sim with the arguments.
Finished runSim(const std::vector<std::string>& arguments, const std::string& folder,
                const std::string& input = "");

// The trace lines of an output, without what two runs of the same steps may differ in: the
// file and line each step stands at, process ids and the folders of the device's roots.
std::vector<std::string> comparableTrace(const std::string& output);

}  // namespace qv::test
