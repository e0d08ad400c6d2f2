// quorvane-sim monkey as its users run it: a seeded run that holds, and broken builds (the
// platform's and the host's fault switches) caught, shrunk and written as scenarios that run
// replays to the same failure.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>

#include "tests/sim/SimCommand.h"

namespace qv::test {
namespace {

// The fault switch for the runs of one test; the environment goes to every child.
class FaultSwitch {
 public:
  explicit FaultSwitch(const char* fault) { ::setenv("QUORVANE_FAULT", fault, 1); }
  ~FaultSwitch() { ::unsetenv("QUORVANE_FAULT"); }
  FaultSwitch(const FaultSwitch&) = delete;
  FaultSwitch& operator=(const FaultSwitch&) = delete;
};

Finished monkey(const TempFolder& folder, const std::string& seed, const std::string& steps,
                const std::string& root) {
  return runSim({"monkey", "--seed", seed, "--steps", steps, "--root", folder.at(root)},
                folder.path().string());
}

std::vector<std::string> episodeLines(const std::string& out) {
  std::vector<std::string> lines;
  static const std::regex kEpisode("episode \\d+: [^\\n]*");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), kEpisode);
       it != std::sregex_iterator(); ++it) {
    lines.push_back(it->str());
  }
  return lines;
}

std::size_t stepCount(const std::string& scenario) {
  const std::size_t steps = scenario.find("steps:\n");
  std::size_t count = 0;
  for (std::size_t at = scenario.find("\n  - ", steps); at != std::string::npos;
       at = scenario.find("\n  - ", at + 1)) {
    ++count;
  }
  return count;
}

// How often the run pressed Save Slo-mo, as its closing line says; -1 without one.
int savesIn(const std::string& out) {
  static const std::regex kSaves("(\\d+) saves\\)");
  std::smatch saves;
  return std::regex_search(out, saves, kSaves) ? std::stoi(saves[1]) : -1;
}

TEST(Monkey, ASeededRunHoldsEveryInvariantAndTakesTheSameActionsAgain) {
  const TempFolder folder;
  // A seed whose episodes save several times, among taps, recordings and relaunches.
  const Finished first = monkey(folder, "8", "100", "first");
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("monkey: seed 8: every invariant held over 100 steps"),
            std::string::npos)
      << first.out;
  EXPECT_GT(savesIn(first.out), 0) << first.out;
  const Finished again = monkey(folder, "8", "100", "again");
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_FALSE(episodeLines(first.out).empty());
  EXPECT_EQ(episodeLines(first.out), episodeLines(again.out));
  // Passing episodes leave nothing behind.
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "first" / "episode-1"));
}

// Runs the reproduction as a user would: the healthy build passes it, the broken one fails.
void expectReplays(const TempFolder& folder, const std::string& file, const char* fault) {
  const Finished healthy =
      runSim({"run", file, "--root", folder.at("healthy")}, folder.path().string());
  EXPECT_EQ(healthy.status, 0) << healthy.out;
  const FaultSwitch broken(fault);
  const Finished replay =
      runSim({"run", file, "--root", folder.at("broken")}, folder.path().string());
  EXPECT_EQ(replay.status, 1) << replay.out;
  EXPECT_NE(replay.out.find("FAILED " + file), std::string::npos) << replay.out;
}

TEST(Monkey, ANoticeThatNeverHidesIsCaughtAndShrunkToAScenarioThatRunReplays) {
  const TempFolder folder;
  Finished run;
  {
    const FaultSwitch broken("lost-timed-dispatch");
    run = monkey(folder, "3", "300", "root");
  }
  ASSERT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("monkey: seed 3: Camera: the notice 'Driftlane: "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("never hides"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("quorvane-sim run fails on it as the monkey did"), std::string::npos);
  const std::string file = folder.at("root/monkey-seed-3.yaml");
  const std::string scenario = folder.read("root/monkey-seed-3.yaml");
  EXPECT_NE(run.out.find(scenario), std::string::npos) << "the report prints the file";
  // Launch, slow motion, the tap that opens the alert, its button; then the look past the time.
  EXPECT_LE(stepCount(scenario), 6u) << scenario;
  EXPECT_NE(scenario.find("  - wait: 30\n  - expect: {app: Camera, huds: []}\n"), std::string::npos)
      << scenario;
  expectReplays(folder, file, "lost-timed-dispatch");
}

TEST(Monkey, ARecordingOverAnAlbumFileIsCaughtWithTheClipAsItWas) {
  const TempFolder folder;
  Finished run;
  {
    const FaultSwitch broken("reused-album-names");
    run = monkey(folder, "2", "300", "root");
  }
  ASSERT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("the album's IMG_0001.MOV changed"), std::string::npos) << run.out;
  const std::string scenario = folder.read("root/monkey-seed-2.yaml");
  EXPECT_NE(scenario.find("  - open_clip: IMG_0001.MOV\n  - expect: {app: MobileSlideShow, clip: "
                          "{name: IMG_0001.MOV, frames: "),
            std::string::npos)
      << scenario;
  expectReplays(folder, folder.at("root/monkey-seed-2.yaml"), "reused-album-names");
}

TEST(Monkey, ASaveWhoseRemakeNeverEndsIsCaughtByItsOverlay) {
  const TempFolder folder;
  Finished run;
  {
    const FaultSwitch broken("lost-save-end");
    run = monkey(folder, "4", "100", "root");
  }
  ASSERT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("monkey: seed 4: MobileSlideShow: the overlay 'Saving Slo-mo...' stays "
                         "with no save in flight after step "),
            std::string::npos)
      << run.out;
  const std::string scenario = folder.read("root/monkey-seed-4.yaml");
  // Photos, the clip, the press; then the look past every notice.
  EXPECT_LE(stepCount(scenario), 5u) << scenario;
  EXPECT_NE(scenario.find("  - press_bar: Save Slo-mo\n  - wait: 30\n"
                          "  - expect: {app: MobileSlideShow, overlay: none}\n"),
            std::string::npos)
      << scenario;
  expectReplays(folder, folder.at("root/monkey-seed-4.yaml"), "lost-save-end");
}

// The iOS 7 library on the iOS 7 devices, whose hosts lack other classes than the iOS 8 ones:
// each app's log is held to the lines that library logs for what that app lacks.
TEST(Monkey, TheIOS7LibraryHoldsEveryInvariantOnTheIOS7Devices) {
  const TempFolder folder;
  // A root the user named keeps what it held, and a passing run still passes there.
  folder.write("ios7/notes.txt", "mine");
  const Finished run = runSim({"monkey", "--library", "ios7", "--seed", "12", "--steps", "100",
                               "--root", folder.at("ios7")},
                              folder.path().string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (const std::string& episode : episodeLines(run.out)) {
    EXPECT_NE(episode.find("(iOS 7."), std::string::npos) << episode;
  }
  EXPECT_GT(savesIn(run.out), 0) << run.out;
  EXPECT_EQ(folder.read("ios7/notes.txt"), "mine");
}

TEST(Monkey, RefusesWhatItCannotDriveWithAClearMessage) {
  const TempFolder folder;
  const Finished none = runSim({"monkey", "--steps", "0"}, folder.path().string());
  EXPECT_EQ(none.status, 2) << none.out << none.err;
  const Finished unknown = runSim({"monkey", "--library", "ios6"}, folder.path().string());
  EXPECT_EQ(unknown.status, 2) << unknown.out << unknown.err;
  const Finished help = runSim({"monkey", "--help"}, folder.path().string());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("the shortest step list"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace qv::test
