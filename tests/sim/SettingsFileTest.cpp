// Settings files written by another property-list writer than the project's (Python's
// plistlib), in XML and binary, copied as they are and read by the libraries.
#include <gtest/gtest.h>

#include "tests/sim/SimCommand.h"

namespace qv::test {
namespace {

// plistlib writes what a settings pane would: integers, reals, booleans and text.
constexpr const char* kWriter = R"(import plistlib, sys
values = {"MogulFramerate": int(sys.argv[2]), "rate": 0.5, "EnableSlalom": True, "aFPS": "120"}
form = plistlib.FMT_XML if sys.argv[3] == "xml" else plistlib.FMT_BINARY
with open(sys.argv[1], "wb") as out:
    plistlib.dump(values, out, fmt=form)
)";

void writeWithPython(const TempFolder& folder, const std::string& file, int frameRate,
                     const std::string& format) {
  const Finished written = runProgram(
      {QUORVANE_PYTHON, "-c", kWriter, folder.at(file), std::to_string(frameRate), format},
      folder.path().string());
  ASSERT_EQ(written.status, 0) << written.err;
}

TEST(SettingsFile, FilesFromAnotherWriterInXmlAndBinaryReachTheLibrary) {
  const TempFolder folder;
  std::filesystem::create_directories(folder.path() / "prefs");
  writeWithPython(folder, "prefs/pane.xml.plist", 240, "xml");
  writeWithPython(folder, "prefs/pane.binary.plist", 120, "binary");
  ASSERT_EQ(folder.read("prefs/pane.xml.plist").rfind("<?xml", 0), 0u);
  ASSERT_EQ(folder.read("prefs/pane.binary.plist").rfind("bplist00", 0), 0u);
  // The scenario sits in a folder of its own: its paths are taken from there.
  folder.write("scenarios/pane.yaml", R"(device: iPhone 6
settings: {file: ../prefs/pane.xml.plist}
steps:
  - expect: {settings_file: {EnableSlalom: true, MogulFramerate: 240, aFPS: "120", rate: 0.5}}
  - launch: Camera
  - camera_mode: slow_motion
  - start_preview
  - expect: {mogul_frame_rate: 240, min_frame_duration: 1/240}
  - settings: {file: ../prefs/pane.binary.plist}
  - expect: {running: [], settings_file: {EnableSlalom: true, MogulFramerate: 120, aFPS: "120", rate: 0.5}}
  - launch: Camera
  - camera_mode: slow_motion
  - start_preview
  - expect: {mogul_frame_rate: 120, min_frame_duration: 1/120}
)");
  const Finished run =
      runSim({"run", "scenarios/pane.yaml", "--root", folder.at("root")}, folder.path().string());
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("copied the settings file from " + folder.at("prefs/pane.xml.plist") +
                         " (XML, "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("copied the settings file from " + folder.at("prefs/pane.binary.plist") +
                         " (binary property list, "),
            std::string::npos)
      << run.out;
  EXPECT_EQ(folder.read("root/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist"),
            folder.read("prefs/pane.binary.plist"));
}

TEST(SettingsFile, AMissingFileIsAScenarioErrorNamingItsPathAndNothingRuns) {
  const TempFolder folder;
  folder.write("s.yaml",
               "device: iPhone 6\nsteps:\n  - launch: Camera\n"
               "  - settings: {file: pane.plist}\n");
  const Finished run =
      runSim({"run", "s.yaml", "--root", folder.at("root")}, folder.path().string());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "s.yaml:4: the settings step file 'pane.plist' (" + folder.at("pane.plist") +
                         ") does not exist\n");
}

TEST(SettingsFile, TheShellTakesPathsFromItsWorkingFolderAndSavesThemWhole) {
  const TempFolder folder;
  writeWithPython(folder, "pane.plist", 60, "binary");
  const Finished session = runSim({"shell", "--root", folder.at("root")}, folder.path().string(),
                                  "settings: {file: pane.plist}\n"
                                  "expect: {settings_file: {EnableSlalom: true, MogulFramerate: "
                                  "60, aFPS: \"120\", rate: 0.5}}\n"
                                  "save session.yaml\n");
  EXPECT_EQ(session.status, 0) << session.out << session.err;
  EXPECT_NE(
      folder.read("session.yaml").find("  - settings: {file: " + folder.at("pane.plist") + "}\n"),
      std::string::npos)
      << folder.read("session.yaml");
}

}  // namespace
}  // namespace qv::test
