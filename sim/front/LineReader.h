// Where the shell's lines come from: a terminal, with line editing, history and completion
// (libedit), or any other input read plainly, so that a session can be scripted.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

class LineReader {
 public:
  virtual ~LineReader() = default;
  // The next line, without its end; nullopt at the end of input.
  virtual std::optional<std::string> next() = 0;
};

// What the terminal completes: the first word from `commands`, the word after "show" from
// `keys`, anything else as a file name.
struct Completions {
  std::vector<std::string> commands;
  std::vector<std::string> keys;
};

// Standard input: with line editing and `prompt` on a terminal, else read plainly, with no
// prompt.
std::unique_ptr<LineReader> openStandardInput(const std::string& prompt, Completions completions);

}  // namespace qv::sim
