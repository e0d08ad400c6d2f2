#include "tests/sim/SimCommand.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace qv::test {

std::string TempFolder::write(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path file = path_ / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
  return file.string();
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void execute(const std::vector<std::string>& argv, const std::string& folder) {
  if (chdir(folder.c_str()) != 0) _exit(126);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

int exitStatus(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

Finished runProgram(const std::vector<std::string>& argv, const std::string& folder,
                    const std::string& input) {
  // Files rather than pipes: nothing to pump while the program runs.
  const TempFolder streams;
  const std::string in = streams.write("in", input);
  const std::string out = streams.at("out");
  const std::string err = streams.at("err");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot fork");
  if (child == 0) {
    const int fds[] = {open(in.c_str(), O_RDONLY), open(out.c_str(), O_WRONLY | O_CREAT, 0600),
                       open(err.c_str(), O_WRONLY | O_CREAT, 0600)};
    for (int fd = 0; fd < 3; ++fd) dup2(fds[fd], fd);
    execute(argv, folder);
  }
  int status = 0;
  waitpid(child, &status, 0);
  Finished finished;
  finished.status = exitStatus(status);
  finished.out = streams.read("out");
  finished.err = streams.read("err");
  return finished;
}

Finished runSim(const std::vector<std::string>& arguments, const std::string& folder,
                const std::string& input) {
  std::vector<std::string> argv{QUORVANE_SIM};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProgram(argv, folder, input);
}

std::vector<std::string> comparableTrace(const std::string& output) {
  static const std::regex kTraceLine(R"(^ *\d+\.\d{3}  .*)");
  static const std::regex kWhere(R"([^ :]+:\d+: )");
  static const std::regex kPid(R"(\(pid \d+\))");
  static const std::regex kRoot(R"(/[^ ;]*/(root|snapshots)\b)");
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!std::regex_match(line, kTraceLine)) continue;
    line = std::regex_replace(line, kWhere, "");
    line = std::regex_replace(line, kPid, "(pid)");
    lines.push_back(std::regex_replace(line, kRoot, "ROOT/$1"));
  }
  return lines;
}

}  // namespace qv::test
