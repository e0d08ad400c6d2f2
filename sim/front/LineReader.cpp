#include "sim/front/LineReader.h"

#include <editline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace qv::sim {
namespace {

class PlainReader : public LineReader {
 public:
  explicit PlainReader(std::istream& in) : in_(in) {}

  std::optional<std::string> next() override {
    std::string line;
    if (!std::getline(in_, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

 private:
  std::istream& in_;
};

// libedit keeps its completion hooks as plain functions: they find the words here.
Completions& completions() {
  static Completions words;
  return words;
}

const std::vector<std::string>* candidates = nullptr;

char* nextCandidate(const char* text, int state) {
  static std::size_t index = 0;
  if (state == 0) index = 0;
  const std::size_t length = std::strlen(text);
  while (candidates != nullptr && index < candidates->size()) {
    const std::string& word = (*candidates)[index++];
    if (word.compare(0, length, text) == 0) return strdup(word.c_str());
  }
  return nullptr;
}

char** complete(const char* text, int start, int /*end*/) {
  const std::string before(rl_line_buffer, static_cast<std::size_t>(start));
  if (before.find_first_not_of(" \t") == std::string::npos) {
    candidates = &completions().commands;
  } else if (before.rfind("show ", 0) == 0 &&
             before.find_first_not_of(" \t", 4) == std::string::npos) {
    candidates = &completions().keys;
  } else {
    return nullptr;  // file names
  }
  rl_attempted_completion_over = 1;
  return rl_completion_matches(text, nextCandidate);
}

class EditingReader : public LineReader {
 public:
  EditingReader(std::string prompt, Completions words) : prompt_(std::move(prompt)) {
    completions() = std::move(words);
    rl_readline_name = "quorvane-sim";
    rl_attempted_completion_function = complete;
    using_history();
  }

  std::optional<std::string> next() override {
    char* read = readline(prompt_.c_str());
    if (read == nullptr) return std::nullopt;
    std::string line(read);
    std::free(read);
    if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
    return line;
  }

 private:
  std::string prompt_;
};

}  // namespace

std::unique_ptr<LineReader> openStandardInput(const std::string& prompt, Completions words) {
  if (isatty(STDIN_FILENO)) return std::make_unique<EditingReader>(prompt, std::move(words));
  return std::make_unique<PlainReader>(std::cin);
}

}  // namespace qv::sim
