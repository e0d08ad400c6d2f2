// quorvane-emulation-reference: what the Linux build of each library does for the emulated
// run's cases, as the emulator of the shipped Mach-O files prints it.
//
//   quorvane-emulation-reference table
//   quorvane-emulation-reference run CASES.yaml [--library NAME] [--case NAME]
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/device/emulation/Case.h"
#include "tests/device/emulation/Json.h"
#include "tests/device/emulation/Recording.h"

namespace quorvane::emulation {

namespace {

const std::vector<Library> kLibraries{
    {"QuorvaneiOS8", &ios8::hookTable, ios8::kLibrary},
    {"QuorvaneiOS7", &ios7::hookTable, ios7::kLibrary},
};

const char* kUsage =
    "usage: quorvane-emulation-reference table\n"
    "       quorvane-emulation-reference run CASES.yaml [--library NAME] [--case NAME]\n";

const char* kindName(HookKind kind) {
  switch (kind) {
    case HookKind::InstanceMethod:
      return "instance";
    case HookKind::ClassMethod:
      return "class";
    case HookKind::AddedMethod:
      return "added";
  }
  return "unknown";
}

std::string groupJson(const HookGroup& group) {
  std::vector<std::string> rows;
  for (const MethodHook& row : group.hooks) {
    rows.push_back(JsonObject()
                       .add("kind", jsonString(kindName(row.kind)))
                       .add("selector", jsonString(row.selector))
                       .add("types", jsonString(row.types))
                       .text());
  }
  return JsonObject().add("class", jsonString(group.className)).add("rows", jsonArray(rows)).text();
}

std::string libraryJson(const Library& library) {
  const HookTable& table = library.table();
  std::vector<std::string> functions, groups;
  for (const FunctionHook& hook : table.functions) {
    functions.push_back(jsonString(functionName(hook.function)));
  }
  for (const HookGroup& group : table.groups) groups.push_back(groupJson(group));
  const LibraryIdentity& identity = library.identity;
  return JsonObject()
      .add("name", jsonString(library.name))
      .add("tag", jsonString(identity.tag))
      .add("file", jsonString(identity.sourceFile))
      .add("line", std::to_string(identity.line))
      .add("autorelease_pool", jsonBool(identity.autoreleasePool))
      .add("functions", jsonArray(functions))
      .add("groups", jsonArray(groups))
      .text();
}

int printTable() {
  std::vector<std::string> libraries;
  for (const Library& library : kLibraries) libraries.push_back(libraryJson(library));
  std::printf("%s\n", JsonObject().add("libraries", jsonArray(libraries)).text().c_str());
  return 0;
}

// The case runs in a child of its own: the runtime cannot forget the host's classes. The child
// prints its line; one that dies prints nothing, so the parent reports it.
bool runForked(const Library& library, const YAML::Node& theCase) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == -1) {
    std::fprintf(stderr, "fork: %s\n", std::strerror(errno));
    return false;
  }
  if (child == 0) {
    std::string line;
    {
      qv::AutoreleasePool pool;
      line = runCase(library, theCase);
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    _exit(line.find("\"error\": ") == std::string::npos ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status) == 0;
  const std::string error = "the case's process died of signal " +
                            std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  std::printf("%s\n", JsonObject()
                          .add("library", jsonString(library.name))
                          .add("case", jsonString(theCase["name"].as<std::string>("")))
                          .add("error", jsonString(error))
                          .text()
                          .c_str());
  return false;
}

struct RunOptions {
  std::string casesFile;
  std::string library;   // "" for both
  std::string caseName;  // "" for every case
};

bool knownLibrary(const std::string& name) {
  for (const Library& library : kLibraries) {
    if (name == library.name) return true;
  }
  return false;
}

int runCases(const RunOptions& options) {
  YAML::Node cases;
  try {
    cases = YAML::LoadFile(options.casesFile)["cases"];
  } catch (const YAML::Exception& e) {
    std::fprintf(stderr, "%s: %s\n", options.casesFile.c_str(), e.what());
    return 2;
  }
  if (!cases.IsSequence()) {
    std::fprintf(stderr, "%s: no list of cases\n", options.casesFile.c_str());
    return 2;
  }
  bool allPassed = true, anyRun = false;
  for (const YAML::Node& theCase : cases) {
    if (!options.caseName.empty() && theCase["name"].as<std::string>("") != options.caseName)
      continue;
    for (const Library& library : kLibraries) {
      if (!options.library.empty() && options.library != library.name) continue;
      anyRun = true;
      allPassed = runForked(library, theCase) && allPassed;
    }
  }
  if (!anyRun) {
    std::fprintf(stderr, "no case named \"%s\"\n", options.caseName.c_str());
    return 2;
  }
  return allPassed ? 0 : 1;
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  RunOptions options{args[0], "", ""};
  for (std::size_t i = 1; i < args.size(); i += 2) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--library" && hasValue && knownLibrary(args[i + 1])) {
      options.library = args[i + 1];
    } else if (args[i] == "--case" && hasValue) {
      options.caseName = args[i + 1];
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n%s", args[i].c_str(), kUsage);
      return 2;
    }
  }
  return runCases(options);
}

}  // namespace

}  // namespace quorvane::emulation

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "table") return quorvane::emulation::printTable();
  if (!args.empty() && args[0] == "run") {
    return quorvane::emulation::run({args.begin() + 1, args.end()});
  }
  std::fputs(quorvane::emulation::kUsage, stderr);
  return 2;
}
