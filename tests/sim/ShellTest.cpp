// quorvane-sim shell as people use it: typed at a terminal (a pseudo-terminal here), with line
// editing and history, and scripted from a file; `save` writes what `run` replays to the same
// trace.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "sim/language/Observables.h"
#include "sim/language/ScenarioParser.h"
#include "tests/sim/SimCommand.h"

namespace qv::test {
namespace {

constexpr const char* kPrompt = "quorvane> ";

// quorvane-sim shell on a pseudo-terminal: what it writes is read as a terminal would show it.
class Terminal {
 public:
  Terminal(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<std::string> argv{QUORVANE_SIM, "shell"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      setenv("TERM", "xterm", 1);
      execute(argv, folder);
    }
  }

  ~Terminal() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);  // our own child, by its id
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  bool started() const { return pid_ > 0; }

  void type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size()));
  }

  // Reads until the screen, from `from` on, shows `text`; false after a minute without it.
  bool waitFor(const std::string& text, std::size_t from = 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (screen_.find(text, from) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline || !readSome()) return false;
    }
    return true;
  }

  // Reads to the end of the session, for a minute at most; answers the exit status.
  int finish() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (readSome()) {
      if (std::chrono::steady_clock::now() > deadline) kill(pid_, SIGKILL);
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    ended_ = true;
    return exitStatus(status);
  }

  const std::string& screen() const { return screen_; }

 private:
  bool readSome() {
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, 1000) <= 0) return true;  // nothing yet
    char buffer[4096];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) return false;  // the session ended
    screen_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  bool ended_ = false;
  std::string screen_;
};

// The message a scenario file gets for the step, without its file and line.
std::string fileError(const std::string& step) {
  const host::Catalog catalog = host::Catalog::load(host::defaultCatalogFolder());
  try {
    sim::parseScenario("device: iPhone 6\nsteps:\n  - " + step + "\n", "s.yaml", catalog);
  } catch (const sim::ScenarioError& e) {
    return std::string(e.what()).substr(std::strlen("s.yaml:3: "));
  }
  return "(read)";
}

TEST(Shell, TypedStepsRunAtOnceAnErrorLeavesTheSessionOpenAndSaveReplaysTheSession) {
  const TempFolder folder;
  Terminal terminal({"--root", folder.at("root")}, folder.path().string());
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.waitFor(kPrompt)) << terminal.screen();

  // Line editing: a wrong letter rubbed out before the line is taken.
  terminal.type(
      "launch: Camerx\x7f"
      "a\r");
  ASSERT_TRUE(terminal.waitFor("loader mapped QuorvaneiOS8")) << terminal.screen();
  terminal.type("lanch: Camera\r");
  ASSERT_TRUE(terminal.waitFor("shell:2: " + fileError("lanch: Camera"))) << terminal.screen();
  terminal.type("camera_mode: slow_motion\r");
  terminal.type("start_preview\r");
  terminal.type("settings: {values: {MogulFramerate: 120}}\r");
  ASSERT_TRUE(terminal.waitFor("ended: killed by killall (from Camera)")) << terminal.screen();
  terminal.type("launch: Camera\r");
  const std::size_t relaunched = terminal.screen().size();
  ASSERT_TRUE(terminal.waitFor("loader mapped", relaunched)) << terminal.screen();
  terminal.type("camera_mode: slow_motion\r");
  terminal.type("start_preview\r");
  terminal.type("expect: {preview: running, min_frame_duration: 1/120}\r");
  ASSERT_TRUE(terminal.waitFor("ok: min_frame_duration of Camera is 1/120")) << terminal.screen();
  terminal.type("snapshot\r");
  ASSERT_TRUE(terminal.waitFor("Camera-10.png")) << terminal.screen();
  // History: the arrow up brings the expectation back.
  terminal.type("\x1b[A\x1b[A\r");
  const std::size_t again = terminal.screen().find("Camera-10.png");
  ASSERT_TRUE(terminal.waitFor("ok: min_frame_duration of Camera is 1/120", again))
      << terminal.screen();
  terminal.type("save typed.yaml\r");
  ASSERT_TRUE(terminal.waitFor("saved 10 steps to " + folder.at("typed.yaml")))
      << terminal.screen();
  // `exit` rather than the end-of-input key: typed while a step still runs, that key meets the
  // terminal's line discipline instead of the line editor, which swallows it. Plain input's end
  // is the scripted test's.
  terminal.type("exit\r");
  EXPECT_EQ(terminal.finish(), 1) << terminal.screen();  // the refused line fails the session
  const std::string& screen = terminal.screen();
  EXPECT_NE(screen.find("Camera          ended: the session ended"), std::string::npos) << screen;
  EXPECT_NE(screen.find("FAILED: 10 steps, 4 checks, 0 failures, 0 crashes, 1 line refused"),
            std::string::npos)
      << screen;

  const Finished replay =
      runSim({"run", "typed.yaml", "--root", folder.at("replay/root")}, folder.path().string());
  EXPECT_EQ(replay.status, 0) << replay.out << replay.err;
  std::vector<std::string> typed = comparableTrace(screen);
  std::vector<std::string> replayed = comparableTrace(replay.out);
  // The two differ only in how they end: the session's refused line and how its apps ended.
  const auto ending = [](std::vector<std::string>& lines) {
    const auto end = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find(" ended: the s") != std::string::npos;
    });
    lines.erase(end, lines.end());
  };
  ending(typed);
  ending(replayed);
  EXPECT_EQ(typed, replayed);
  EXPECT_GT(typed.size(), 20u);
  EXPECT_EQ(folder.read("root/snapshots/Camera-10.png"),
            folder.read("replay/root/snapshots/Camera-10.png"));
}

TEST(Shell, ScriptedSessionsReadPlainlyAndEndWithTheirInput) {
  const TempFolder folder;
  const Finished session =
      runSim({"shell", "--device", "iPhone 5s", "--system", "8.1", "--root", folder.at("root")},
             folder.path().string(),
             "# a comment and a blank line are no steps\n\n"
             "  - launch: Photos  \n"
             "show library MobileSlideShow\n"
             "show running\n"
             "show preview\n"
             "show speed\n"
             "show preview Safari\n"
             "save\n"
             "expect: {app: MobileSlideShow, library: QuorvaneiOS8}\n"
             "exit\n"
             "launch: Camera\n");
  EXPECT_EQ(session.status, 1) << session.out << session.err;
  EXPECT_EQ(session.out.find(kPrompt), std::string::npos) << session.out;
  EXPECT_NE(session.out.find("iPhone 5s, iOS 8.1"), std::string::npos) << session.out;
  EXPECT_NE(session.out.find("shell:3: launch MobileSlideShow"), std::string::npos);
  EXPECT_NE(session.out.find("shell:4: library of MobileSlideShow is QuorvaneiOS8"),
            std::string::npos)
      << session.out;
  EXPECT_NE(session.out.find("shell:5: running is [MobileSlideShow]"), std::string::npos);
  EXPECT_NE(session.out.find("shell:6: preview of Camera: Camera is not running (not launched)"),
            std::string::npos);
  EXPECT_EQ(session.err.rfind("shell:7: unknown state 'speed' (known: running, apps, ", 0), 0u)
      << session.err;
  EXPECT_NE(session.err.find("shell:8: unknown app 'Safari' (apps: Camera, MobileSlideShow)\n"),
            std::string::npos);
  EXPECT_NE(session.err.find("shell:9: save takes a file: save FILE\n"), std::string::npos);
  EXPECT_NE(session.out.find("ok: library of MobileSlideShow is QuorvaneiOS8"), std::string::npos);
  EXPECT_EQ(session.out.find("launch Camera"), std::string::npos) << "exit ends the session";
  EXPECT_NE(session.out.find("FAILED: 2 steps, 1 check, 0 failures, 0 crashes, 3 lines refused"),
            std::string::npos)
      << session.out;

  const Finished clean = runSim({"shell", "--root", folder.at("clean")}, folder.path().string(),
                                "launch: Camera\nexpect: {running: [Camera]}\n");
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_NE(clean.out.find("passed: 2 steps, 1 check"), std::string::npos) << clean.out;
}

// A row the list does not have, a switch typed into or a screen not open sets nothing: each step
// fails saying why, and the file holds only what the pane's own rows set.
TEST(Shell, TheSettingsScreenSetsOnlyTheRowsItShows) {
  const TempFolder folder;
  const Finished session = runSim({"shell", "--root", folder.at("root")}, folder.path().string(),
                                  "settings_pane: {toggle: mailMax}\n"
                                  "settings_pane: open\n"
                                  "settings_pane: {type: {Volume: \"2\"}}\n"
                                  "settings_pane: {type: {EnableSlalom: \"0\"}}\n"
                                  "settings_pane: {toggle: rate}\n"
                                  "settings_pane: {toggle: Mail at highest quality}\n"
                                  "show settings_file\n"
                                  "show settings_pane\n");
  EXPECT_EQ(session.status, 1) << session.out << session.err;
  for (const char* line :
       {"FAILED shell:1: the Settings screen is not open (settings_pane: open shows it)",
        "FAILED shell:3: the settings pane has no setting 'Volume' (its keys: EnableSlalom, "
        "MogulFramerate, indicatorTap, hideIndicator, FakeFPS, aFPS, rate, volumeRamp, "
        "ForceSlalom, mailMax)",
        "FAILED shell:4: Enabled (EnableSlalom) is a switch: toggle it",
        "FAILED shell:5: Slow-motion speed (rate) is a text field: type into it",
        "shell:7: settings_file is {mailMax: true}",
        "shell:8: settings_pane is {EnableSlalom: true, MogulFramerate: \"60\""}) {
    EXPECT_NE(session.out.find(line), std::string::npos) << line << "\n" << session.out;
  }
}

TEST(Shell, HelpListsEveryStepAndStateOfTheLanguage) {
  const TempFolder folder;
  const Finished session =
      runSim({"shell", "--root", folder.at("root")}, folder.path().string(), "help\n");
  EXPECT_EQ(session.status, 0) << session.err;
  for (const sim::StepUsage& step : sim::stepUsages()) {
    EXPECT_NE(session.out.find(step.usage), std::string::npos) << step.name;
  }
  for (const sim::Observable& observable : sim::observables()) {
    EXPECT_NE(session.out.find("  " + observable.key + " "), std::string::npos) << observable.key;
  }
  for (const char* command : {"show KEY [APP]", "save FILE", "help", "exit"}) {
    EXPECT_NE(session.out.find("  " + std::string(command)), std::string::npos) << command;
  }
}

TEST(Shell, SaveWritesNothingUntilThereIsAStepAndOverwritesOnlyItsOwnFiles) {
  const TempFolder folder;
  folder.write("mine.yaml", "a scenario of my own\n");
  const Finished session = runSim({"shell", "--root", folder.at("root")}, folder.path().string(),
                                  "save early.yaml\n"
                                  "launch: Camera\n"
                                  "save mine.yaml\n"
                                  "save session.yaml\n"
                                  "quit: Camera\n"
                                  "save session.yaml\n");
  EXPECT_NE(session.err.find("shell:1: no step to save yet"), std::string::npos) << session.err;
  EXPECT_FALSE(std::filesystem::exists(folder.at("early.yaml")));
  EXPECT_NE(session.err.find("shell:3: " + folder.at("mine.yaml") + " exists"), std::string::npos)
      << session.err;
  EXPECT_EQ(folder.read("mine.yaml"), "a scenario of my own\n");
  EXPECT_EQ(folder.read("session.yaml"),
            "# Steps typed in quorvane-sim shell; quorvane-sim run FILE replays them.\n"
            "device: iPhone 6\n"
            "steps:\n"
            "  - launch: Camera\n"
            "  - quit: Camera\n");
}

TEST(Shell, AnUnknownDeviceOrSystemEndsTheSessionBeforeItStarts) {
  const TempFolder folder;
  const Finished device =
      runSim({"shell", "--device", "iPhone 7"}, folder.path().string(), "launch: Camera\n");
  EXPECT_EQ(device.status, 2);
  EXPECT_EQ(device.err.rfind("quorvane-sim: unknown device 'iPhone 7' (the catalog has: ", 0), 0u)
      << device.err;
  EXPECT_EQ(device.out, "");
  const Finished system =
      runSim({"shell", "--system", "8.5"}, folder.path().string(), "launch: Camera\n");
  EXPECT_EQ(system.status, 2);
  EXPECT_EQ(system.err.rfind("quorvane-sim: unknown system version '8.5'", 0), 0u) << system.err;
}

}  // namespace
}  // namespace qv::test
