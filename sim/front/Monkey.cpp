#include "sim/front/Monkey.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/System/TemporaryRoot.h"
#include "sim/front/MonkeyActions.h"
#include "sim/front/MonkeyEpisode.h"
#include "sim/front/MonkeySaves.h"
#include "sim/language/ScenarioParser.h"
#include "sim/supervisor/Supervisor.h"

namespace qv::sim {
namespace {

namespace fs = std::filesystem;

// YAML comment lines for the text: a notice's message may hold line breaks.
std::string comment(const std::string& text) {
  std::string lines = "# ";
  for (const char c : text) lines += c == '\n' ? std::string("\n# ") : std::string(1, c);
  return lines + "\n";
}

// Delta debugging: the smallest sublist found, in order, that still breaks the same invariant.
class Shrinker {
 public:
  Shrinker(const EpisodeSetup& setup, const Violation& target, const MonkeyOptions& options,
           const host::Catalog& catalog, fs::path folder)
      : setup_(setup),
        target_(target),
        options_(options),
        catalog_(catalog),
        folder_(std::move(folder)) {}

  // The shortest list found; shown() is the violation it breaks with.
  std::vector<std::string> shrink(std::vector<std::string> lines) {
    shown_ = target_;
    std::size_t parts = 2;
    while (lines.size() >= 2) {
      const std::vector<std::vector<std::string>> chunks = split(lines, parts);
      if (const auto smaller = firstReproducing(chunks)) {
        lines = *smaller;
        parts = 2;
        continue;
      }
      if (const auto smaller = firstReproducing(complements(lines, chunks))) {
        lines = *smaller;
        parts = std::max<std::size_t>(parts - 1, 2);
        continue;
      }
      if (parts >= lines.size()) break;
      parts = std::min(parts * 2, lines.size());
    }
    return lines;
  }

  int replays() const { return replays_; }
  // The violation as the shortest list shows it: its witness looks at that run's files (a clip
  // recorded at another rate once a settings step is dropped), not at the first episode's.
  const Violation& shown() const { return shown_; }

 private:
  static std::vector<std::vector<std::string>> split(const std::vector<std::string>& lines,
                                                     std::size_t parts) {
    std::vector<std::vector<std::string>> chunks;
    for (std::size_t i = 0; i < parts; ++i) {
      const std::size_t begin = lines.size() * i / parts, end = lines.size() * (i + 1) / parts;
      if (end > begin) chunks.emplace_back(lines.begin() + begin, lines.begin() + end);
    }
    return chunks;
  }

  static std::vector<std::vector<std::string>> complements(
      const std::vector<std::string>& lines, const std::vector<std::vector<std::string>>& chunks) {
    std::vector<std::vector<std::string>> all;
    if (chunks.size() < 2) return all;
    std::size_t begin = 0;
    for (const auto& chunk : chunks) {
      std::vector<std::string> rest(lines.begin(), lines.begin() + begin);
      rest.insert(rest.end(), lines.begin() + begin + chunk.size(), lines.end());
      all.push_back(rest);
      begin += chunk.size();
    }
    return all;
  }

  std::optional<std::vector<std::string>> firstReproducing(
      const std::vector<std::vector<std::string>>& candidates) {
    for (const auto& candidate : candidates) {
      if (auto violation = reproduces(candidate)) {
        shown_ = std::move(*violation);
        return candidate;
      }
    }
    return std::nullopt;
  }

  // Every step taken, and the same invariant broken in the same app: the violation seen.
  std::optional<Violation> reproduces(const std::vector<std::string>& lines) {
    const ReplayOutcome outcome = replay(setup_, lines, options_, catalog_,
                                         folder_ / ("shrink-" + std::to_string(++replays_)));
    const bool same = !outcome.stepFailed && outcome.violation &&
                      outcome.violation->kind == target_.kind &&
                      outcome.violation->app == target_.app && outcome.stepsTaken == lines.size();
    return same ? outcome.violation : std::nullopt;
  }

  const EpisodeSetup& setup_;
  const Violation& target_;
  const MonkeyOptions& options_;
  const host::Catalog& catalog_;
  fs::path folder_;
  int replays_ = 0;
  Violation shown_;
};

// The catalog's devices whose system calls for the library: the iOS 7 library on iOS 7, the
// iOS 8 library on iOS 8 and later.
std::vector<std::string> devicesFor(host::LibraryChoice library, const host::Catalog& catalog) {
  std::vector<std::string> names;
  for (const host::Device& device : catalog.devices()) {
    const bool iOS7 = device.system.generation == host::HostGeneration::iOS7;
    if (iOS7 == (library == host::LibraryChoice::iOS7)) names.push_back(device.name);
  }
  return names;
}

EpisodeSetup randomSetup(const std::vector<std::string>& devices, MonkeyRandom& random) {
  EpisodeSetup setup;
  setup.device = devices[std::uniform_int_distribution<std::size_t>(0, devices.size() - 1)(random)];
  setup.settings = randomSettings(random);
  const int clips = std::uniform_int_distribution<int>(0, 2)(random);
  static const char* kRates[] = {"30", "60", "120", "240", "119.88"};
  for (int i = 0; i < clips; ++i) {
    setup.clips.push_back(std::string("{frame_rate: ") +
                          kRates[std::uniform_int_distribution<int>(0, 4)(random)] +
                          ", duration: 0.3, size: 160x90}");
  }
  return setup;
}

class Monkey {
 public:
  Monkey(const MonkeyOptions& options, const host::Catalog& catalog, std::ostream& out,
         fs::path folder)
      : options_(options),
        catalog_(catalog),
        out_(out),
        folder_(std::move(folder)),
        devices_(devicesFor(options.library, catalog)),
        random_(options.seed) {}

  int run() {
    if (devices_.empty()) {
      out_ << "quorvane-sim monkey: the catalog has no device for the library\n";
      return kCannotRun;
    }
    const auto started = std::chrono::steady_clock::now();
    int episodes = 0, refused = 0, saves = 0;
    for (int left = options_.steps; left > 0;) {
      const int length = std::min(left, std::uniform_int_distribution<int>(20, 60)(random_));
      const EpisodeSetup setup = randomSetup(devices_, random_);
      const fs::path root = folder_ / ("episode-" + std::to_string(++episodes));
      std::vector<std::string> lines;
      std::optional<Violation> broken;
      {
        Episode episode(setup, options_, catalog_, root);
        broken = episode.check();
        while (!broken && static_cast<int>(lines.size()) < length) {
          lines.push_back(chooseStep(episode.glance(), random_));
          if (!episode.take(lines.back())) ++refused;
          if (episode.pressedSave()) ++saves;
          broken = episode.check();
        }
      }
      out_ << "episode " << episodes << ": " << setup.device << ", " << lines.size() << " steps"
           << (broken ? ": " + broken->text : "") << '\n';
      if (broken) return report(setup, lines, *broken, root);
      std::error_code error;
      fs::remove_all(root, error);
      left -= length;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out_ << "monkey: seed " << options_.seed << ": every invariant held over " << options_.steps
         << " steps in " << episodes << " episodes (" << refused << " steps the apps refused, "
         << saves << " saves), " << toText(std::round(seconds * 10) / 10) << " s\n";
    std::error_code error;
    fs::remove(folder_, error);  // only when empty: a root the user named keeps what it held
    return kPassed;
  }

 private:
  int report(const EpisodeSetup& setup, const std::vector<std::string>& lines,
             const Violation& broken, const fs::path& root) {
    out_ << "monkey: seed " << options_.seed << ": "
         << (broken.app.empty() ? "" : broken.app + ": ") << broken.text << " after step "
         << lines.size() << " (" << lines.back() << ")\n";
    Shrinker shrinker(setup, broken, options_, catalog_, folder_);
    std::vector<std::string> shortest = shrinker.shrink(lines);
    const std::vector<std::string>& witness = shrinker.shown().witness;
    shortest.insert(shortest.end(), witness.begin(), witness.end());
    const fs::path file = folder_ / ("monkey-seed-" + std::to_string(options_.seed) + ".yaml");
    const std::string text = comment("quorvane-sim monkey --seed " + std::to_string(options_.seed) +
                                     ": " + broken.text) +
                             comment("Replay: quorvane-sim run " + file.string()) +
                             scenarioText(setup, shortest);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    out_ << (replaysToFailure(file) ? "monkey: quorvane-sim run fails on it as the monkey did\n"
                                    : "monkey: note: quorvane-sim run passes it; the steps above "
                                      "still break the invariant under the monkey\n");
    out_ << "monkey: shrunk " << lines.size() << " steps to " << shortest.size() - witness.size()
         << " in " << shrinker.replays() << " replays; the episode's files are in " << root.string()
         << "\n"
         << "monkey: the reproduction, " << file.string() << ":\n"
         << text;
    return kFailed;
  }

  // The file as `run` takes it, on a fresh root, its trace unshown.
  bool replaysToFailure(const fs::path& file) const {
    std::ostream quiet(nullptr);
    RunOptions run;
    run.root = (folder_ / "replay").string();
    run.library = options_.library;
    run.libraryFolder = options_.libraryFolder;
    const int status = runScenario(readScenario(file.string(), catalog_), run, quiet);
    std::error_code error;
    fs::remove_all(*run.root, error);
    return status == kFailed;
  }

  const MonkeyOptions& options_;
  const host::Catalog& catalog_;
  std::ostream& out_;
  fs::path folder_;
  std::vector<std::string> devices_;
  MonkeyRandom random_;
};

fs::path monkeyFolder(const MonkeyOptions& options) {
  if (options.root) {
    fs::create_directories(*options.root);
    return fs::absolute(*options.root);
  }
  // Kept past the run when an episode fails, with its files; the run removes it when empty.
  return TemporaryRoot("quorvane-monkey-").keep();
}

}  // namespace

int runMonkey(const MonkeyOptions& options, const host::Catalog& catalog, std::ostream& out) {
  if (options.library == host::LibraryChoice::iOS7 &&
      !fs::exists(fs::path(options.libraryFolder) / "QuorvaneiOS7.dylib")) {
    out << "quorvane-sim monkey: --library ios7: QuorvaneiOS7.dylib is not built in "
        << options.libraryFolder << "; the monkey drives ios8 until it is\n";
    return kCannotRun;
  }
  try {
    return Monkey(options, catalog, out, monkeyFolder(options)).run();
  } catch (const std::exception& e) {
    out << "quorvane-sim monkey: " << e.what() << '\n';
    return kCannotRun;
  }
}

}  // namespace qv::sim
