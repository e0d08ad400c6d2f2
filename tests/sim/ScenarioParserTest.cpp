// The scenario language: what a scenario file reads as, and the one error, with file and line,
// that each kind of mistake gets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/language/ScenarioParser.h"

namespace qv::sim {
namespace {

const host::Catalog& catalog() {
  static const host::Catalog loaded = host::Catalog::load(host::defaultCatalogFolder());
  return loaded;
}

Scenario parse(const std::string& text) {
  return parseScenario(text, "s.yaml", catalog());
}

// The error a scenario gets, or "(read)" when it reads.
std::string errorOf(const std::string& text) {
  try {
    parse(text);
    return "(read)";
  } catch (const ScenarioError& e) {
    return e.what();
  }
}

TEST(ScenarioParser, ReadsTheSetupAndEveryStep) {
  const Scenario scenario = parse(R"(description: the road of one event
device: iPhone 6
system: "8.1"
settings: {values: {MogulFramerate: 120, rate: 0.5, EnableSlalom: true, aFPS: "240"}, format: binary}
clips:
  - {frame_rate: 119.88, duration: 2, size: 1280x720}
  - {name: slow.mov, frame_rate: 240, duration: 0.5, size: 640x480}
remove: [CAMBottomBar, "-[CAMCaptureController mogulFrameRate]", "+[PFVideoAdjustments defaultSlowMotionRateForNominalFrameRate:]"]
steps:
  - launch: Camera
  - launch: {app: Photos}
  - camera_mode: slow_motion
  - start_preview
  - stop_preview: Camera
  - settings: {raw: "not a property list"}
  - settings: none
  - wait: 2.5
  - snapshot
  - snapshot: {app: MobileSlideShow, name: photos}
  - expect: {app: MobileSlideShow, running: [MobileSlideShow, Camera], notices: [{title: Driftlane}]}
  - quit: Camera
)");
  EXPECT_EQ(scenario.description, "the road of one event");
  EXPECT_EQ(scenario.device.name, "iPhone 6");
  EXPECT_EQ(scenario.device.system.version, "8.1");
  EXPECT_DOUBLE_EQ(scenario.device.system.coreFoundationVersion, 1141.14);
  EXPECT_EQ(scenario.settings.format, SettingsFile::Format::Binary);
  EXPECT_EQ(toText(Value(scenario.settings.values)),
            R"({MogulFramerate: 120, rate: 0.5, EnableSlalom: true, aFPS: "240"})");
  ASSERT_EQ(scenario.clips.size(), 2u);
  EXPECT_EQ(scenario.clips[0].name, "IMG_0001.MOV");
  EXPECT_EQ(scenario.clips[0].width, 1280);
  EXPECT_EQ(scenario.clips[1].name, "slow.mov");
  ASSERT_EQ(scenario.removals.size(), 3u);
  EXPECT_EQ(scenario.removals[1].describe(), "-[CAMCaptureController mogulFrameRate]");
  EXPECT_TRUE(scenario.removals[2].classMethod);

  ASSERT_EQ(scenario.steps.size(), 12u);
  EXPECT_EQ(std::get<Launch>(scenario.steps[1].action).app, "MobileSlideShow");
  EXPECT_EQ(std::get<SetCameraMode>(scenario.steps[2].action).mode, 2);
  EXPECT_TRUE(std::get<Preview>(scenario.steps[3].action).start);
  EXPECT_EQ(std::get<ChangeSettings>(scenario.steps[5].action).file.raw, "not a property list");
  EXPECT_EQ(std::get<ChangeSettings>(scenario.steps[6].action).file.kind,
            SettingsFile::Kind::Absent);
  EXPECT_DOUBLE_EQ(std::get<Wait>(scenario.steps[7].action).seconds, 2.5);
  EXPECT_EQ(std::get<Snapshot>(scenario.steps[8].action).name, "Camera-18");
  EXPECT_EQ(std::get<Snapshot>(scenario.steps[9].action).name, "photos");
  const Expect& expect = std::get<Expect>(scenario.steps[10].action);
  EXPECT_EQ(expect.app, "MobileSlideShow");
  ASSERT_EQ(expect.checks.size(), 2u);
  EXPECT_EQ(toText(expect.checks[0].expected), "[Camera, MobileSlideShow]");  // in name order
  EXPECT_EQ(expect.checks[1].where.describe(), "s.yaml:20");
  EXPECT_EQ(scenario.steps[11].where.line, 21);
}

TEST(ScenarioParser, AnInlineDeviceIsACatalogEntryAndItsErrorsNameTheScenariosLines) {
  const Scenario scenario = parse(R"(device:
  name: Bench camera
  idiom: pad
  system: "9.0"
  gestalt: {RearFacingCameraHFRCapability: false}
  back_camera: none
steps: [launch: Camera]
)");
  EXPECT_EQ(scenario.device.name, "Bench camera");
  EXPECT_EQ(scenario.device.idiom, host::Idiom::Pad);
  EXPECT_FALSE(scenario.device.backCamera.has_value());

  const std::string error = errorOf(R"(device:
  name: Bench camera
  idiom: pad
  system: "9.0"
  gestalt: {RearFacingCameraHFRCapability: false}
  back_camera:
    - {media_type: vide, width: wide, height: 720, frame_rates: [[2, 30]]}
steps: [launch: Camera]
)");
  EXPECT_EQ(error.rfind("s.yaml:7: ", 0), 0u) << error;
  EXPECT_NE(error.find("width"), std::string::npos) << error;
}

TEST(ScenarioParser, EachMistakeGetsOneErrorWithFileAndLine) {
  const std::string head = "device: iPhone 6\nsteps:\n";
  EXPECT_EQ(errorOf(head + "  - launch: Camera\n  - jump: 3\n"),
            "s.yaml:4: unknown step 'jump' (steps: add_clip, camera_mode, defaults, double_tap, "
            "double_tap_indicator, edit_slow_motion, expect, export, fail_next, hold_remakes, "
            "launch, open_clip, play, press_alert, press_bar, press_sheet, publish, quit, record, "
            "release_remakes, seek, settings, settings_pane, snapshot, start_preview, "
            "stop_preview, tap, tap_indicator, type, wait)");
  EXPECT_EQ(errorOf(head + "  - camera_mode: {app: Camera}\n"),
            "s.yaml:3: missing field 'mode' in camera_mode");
  EXPECT_EQ(errorOf(head + "  - defaults: {key: PLDebugCowbell, value: 1}\n"),
            "s.yaml:3: defaults value should be true or false, not 1");
  EXPECT_EQ(errorOf(head + "  - launch\n"), "s.yaml:3: missing field 'app' in launch");
  EXPECT_EQ(errorOf(head + "  - wait: soon\n"), "s.yaml:3: wait should be a number, not 'soon'");
  EXPECT_EQ(errorOf(head + "  - wait: -1\n"),
            "s.yaml:3: wait should be between 0 and 86400, not -1");
  EXPECT_EQ(errorOf(head + "  - launch: {app: Camera, slowly: true}\n"),
            "s.yaml:3: unknown field 'slowly' in launch (fields: app)");
  EXPECT_EQ(errorOf(head + "  - launch: Safari\n"),
            "s.yaml:3: unknown app 'Safari' (apps: Camera, MobileSlideShow)");
  EXPECT_EQ(errorOf(head + "  - camera_mode: timelapse\n"),
            "s.yaml:3: unknown camera mode 'timelapse' (modes: photo, video, slow_motion)");
  EXPECT_EQ(errorOf(head + "  - settings\n"),
            "s.yaml:3: the settings step takes values, raw, file or none");
  EXPECT_EQ(errorOf(head + "  - settings: 120\n"),
            "s.yaml:3: the settings step takes values, raw, file or none");
  EXPECT_EQ(errorOf(head + "  - launch: Camera\n    quit: Camera\n"),
            "s.yaml:3: a step is one name with its fields, such as '- launch: Camera'");
  EXPECT_EQ(errorOf("device: iPhone 6\n"), "s.yaml:1: missing field 'steps' in the scenario");
  EXPECT_EQ(errorOf("steps: [launch: Camera]\n"),
            "s.yaml:1: missing field 'device' in the scenario");
  EXPECT_EQ(errorOf("device: iPhone 6\nstep: [launch: Camera]\n"),
            "s.yaml:2: unknown field 'step' in the scenario (fields: description, device, system, "
            "pane, settings, clips, remove, steps)");
  EXPECT_EQ(errorOf("device: iPhone 6\nsteps: [launch: Camera\n"),
            "s.yaml:3: not YAML: end of sequence flow not found");
}

TEST(ScenarioParser, UnknownDevicesAndSystemsListWhatTheCatalogHas) {
  const std::string device = errorOf("device: iPhone 7\nsteps: [launch: Camera]\n");
  EXPECT_EQ(device.rfind("s.yaml:1: unknown device 'iPhone 7' (the catalog has: ", 0), 0u)
      << device;
  EXPECT_NE(device.find("iPhone 6 Plus"), std::string::npos);
  const std::string system =
      errorOf("device: iPhone 6\nsystem: \"8.5\"\nsteps: [launch: Camera]\n");
  EXPECT_EQ(system.rfind("s.yaml:2: unknown system version '8.5' (the catalog has: 7.0, 7.1, ", 0),
            0u)
      << system;
}

TEST(ScenarioParser, ExpectationsAreCheckedAgainstTheShapeOfTheirState) {
  const std::string head = "device: iPhone 6\nsteps:\n  - expect:\n";
  EXPECT_EQ(errorOf(head + "      preview: fast\n"),
            "s.yaml:4: preview expects one of running, stopped, refused, not fast");
  EXPECT_EQ(errorOf(head + "      running: [Camera, Safari]\n"),
            "s.yaml:4: running expects a list of app names among Camera, MobileSlideShow, not "
            "[Camera, Safari]");
  EXPECT_EQ(errorOf(head + "      format: 1280 by 720\n"),
            "s.yaml:4: format expects a size such as 1280x720, not \"1280 by 720\"");
  EXPECT_EQ(errorOf(head + "      min_frame_duration: 0.5\n"),
            "s.yaml:4: min_frame_duration expects a duration such as 1/120, not 0.5");
  EXPECT_EQ(errorOf(head + "      notices: [{title: Driftlane, colour: red}]\n"),
            "s.yaml:4: notices expects records whose fields are among title, message, time_left, "
            "not colour");
  EXPECT_EQ(errorOf(head + "      running: none\n"), "s.yaml:4: running expects a value, not none");
  EXPECT_EQ(errorOf(head + "      speed: 3\n")
                .rfind("s.yaml:4: unknown state 'speed' in expect "
                       "(known: app, running, apps, ",
                       0),
            0u);
  EXPECT_EQ(errorOf(head.substr(0, head.size() - 1) + " {}\n"),
            "s.yaml:3: expect takes a map of observable state, such as 'expect: {preview: "
            "running}'");
  EXPECT_EQ(errorOf(head + "      format: none\n      frame_rates: [[2, 30], [2, 240]]\n"),
            "(read)");
  EXPECT_EQ(errorOf(head + "      asset: {kind: 101}\n"),
            "s.yaml:4: asset expects a map whose keys are among name, kind_subtype, slow_motion, "
            "adjusted, slow_motion_section, saved_asset_type, badge, editor, not kind");
  EXPECT_EQ(errorOf(head + "      playback: fast\n"),
            "s.yaml:4: playback expects a map whose keys are among slow_motion, rate, volume, "
            "ramp_volume, duration, playing_time, not fast");
  EXPECT_EQ(errorOf(head + "      playback: {slow_motion: [0.5, 1.5], rate: 0.25}\n"
                           "      clip: none\n      export: {failure: none}\n"),
            "(read)");
  EXPECT_EQ(
      errorOf(head + "      frame_rates: [[2, 30, 60]]\n"),
      "s.yaml:4: frame_rates expects a list of [lowest, highest] frame rates, not [[2, 30, 60]]");
}

TEST(ScenarioParser, SetupMistakes) {
  const std::string tail = "steps: [launch: Camera]\n";
  EXPECT_EQ(errorOf("device: iPhone 6\nsettings: {values: {MogulFramerate: [120]}}\n" + tail),
            "s.yaml:2: setting 'MogulFramerate' should be a boolean, a number or text");
  EXPECT_EQ(errorOf("device: iPhone 6\nsettings: {values: {rate: 1}, format: json}\n" + tail),
            "s.yaml:2: settings format should be xml or binary, not json");
  EXPECT_EQ(errorOf("device: iPhone 6\nsettings: {raw: abc, values: {rate: 1}}\n" + tail),
            "s.yaml:2: settings has either raw or values");
  EXPECT_EQ(errorOf("device: iPhone 6\nremove: [CAMTeleporter]\n" + tail),
            "s.yaml:2: unknown host class 'CAMTeleporter'");
  EXPECT_EQ(errorOf("device: iPhone 6\nremove: [\"[CAMBottomBar]\"]\n" + tail),
            "s.yaml:2: remove takes a class (CAMCaptureController) or a method "
            "(-[CAMCaptureController mogulFrameRate], +[Class selector]), not '[CAMBottomBar]'");
  EXPECT_EQ(errorOf("device: iPhone 6\nclips: [{frame_rate: 120, duration: 1}]\n" + tail),
            "s.yaml:2: missing field 'size' in a clip");
  EXPECT_EQ(
      errorOf("device: iPhone 6\nclips: [{frame_rate: 120, duration: 1, size: 1279x720}]\n" + tail),
      "s.yaml:2: a clip's width and height are even numbers from 16 to 4096");
  EXPECT_EQ(
      errorOf("device: iPhone 6\nclips: [{frame_rate: 240, duration: 600, size: 64x64}]\n" + tail),
      "s.yaml:2: a clip has at most 36000 frames");
  EXPECT_EQ(errorOf("device: iPhone 6\npane: stock\n" + tail),
            "s.yaml:2: pane is bundle (the package's) or plain (a specifier list), not 'stock'");
}

// A step on its own, as the shell reads a line: the same step, or the same error, as at that
// place in a file.
TEST(ScenarioParser, AStepOnItsOwnReadsAndErrsAsInAFile) {
  const std::string head = "device: iPhone 6\nsteps:\n  - launch: Camera\n";
  for (const std::string line :
       {"lanch: Camera", "wait: soon", "launch: {app: Camera, slowly: true}", "settings: 120",
        "expect: {preview: fast}", "[launch: Camera, quit: Camera]"}) {
    const std::string inFile = errorOf(head + "  - " + line + "\n");
    std::string alone;
    try {
      parseStep(line, {"s.yaml", 4}, "", catalog());
    } catch (const ScenarioError& e) {
      alone = e.what();
    }
    EXPECT_EQ(alone, inFile) << line;
  }
  try {  // what follows a line in a file can change YAML's reason; the line stays the line's
    parseStep("launch: [Camera", {"shell", 7}, "", catalog());
    ADD_FAILURE() << "read";
  } catch (const ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("shell:7: not YAML: ", 0), 0u) << e.what();
  }
  const Step pasted = parseStep("- snapshot", {"shell", 12}, "", catalog());
  EXPECT_EQ(std::get<Snapshot>(pasted.action).name, "Camera-12");
  EXPECT_EQ(pasted.where.describe(), "shell:12");
}

// What `save` writes: each step's written form means the same wherever it stands.
TEST(ScenarioParser, WrittenStepsReadBackAsTheSameSteps) {
  const Scenario scenario = parse(R"(device: iPhone 6
steps:
  - start_preview
  - launch: {app: Photos}
  - snapshot
  - snapshot: {app: MobileSlideShow}
  - settings: {values: {aFPS: "120", rate: 0.5}, format: binary}
  - expect: {notices: [{title: Driftlane, message: "❗ Unsupported FPS: 240\nHead to settings."}]}
  - expect: {app: Photos, log_includes: ["a: b", "none"], library: none}
)");
  std::vector<std::string> written;
  for (const Step& step : scenario.steps) written.push_back(step.written);
  EXPECT_EQ(
      written,
      (std::vector<std::string>{
          "start_preview",
          "launch: {app: Photos}",
          "snapshot: {name: Camera-5}",
          "snapshot: {app: MobileSlideShow, name: MobileSlideShow-6}",
          R"(settings: {values: {aFPS: "120", rate: 0.5}, format: binary})",
          R"(expect: {notices: [{title: Driftlane, message: "❗ Unsupported FPS: 240\nHead to settings."}]})",
          R"(expect: {app: Photos, log_includes: ["a: b", "none"], library: none})",
      }));
  for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
    const Step again = parseStep(written[i], {"elsewhere.yaml", 40}, "/", catalog());
    EXPECT_EQ(again.written, written[i]);
    EXPECT_EQ(again.action.index(), scenario.steps[i].action.index());
  }
  const Step notices = parseStep(written[5], {"x", 1}, "", catalog());
  EXPECT_EQ(toText(std::get<Expect>(notices.action).checks[0].expected),
            toText(std::get<Expect>(scenario.steps[5].action).checks[0].expected));
  const Step logged = parseStep(written[6], {"x", 1}, "", catalog());
  const Expect& lines = std::get<Expect>(logged.action);
  EXPECT_EQ(toText(lines.checks[0].expected), R"(["a: b", "none"])");  // text, not nothing
  EXPECT_TRUE(lines.checks[1].expected.isNone());
}

TEST(ScenarioParser, ASettingsFileIsReadFromTheScenariosFolderAndMustBeThere) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quorvane-parser-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "prefs");
  std::ofstream(folder / "prefs" / "pane.plist", std::ios::binary)
      << std::string("bplist00\0x", 10);
  const std::string scenarioFile = (folder / "s.yaml").string();
  std::ofstream(scenarioFile) << "device: iPhone 6\nsettings: {file: prefs/pane.plist}\n"
                                 "steps:\n  - settings: {file: " +
                                     (folder / "prefs" / "pane.plist").string() + "}\n";
  const Scenario scenario = readScenario(scenarioFile, catalog());
  EXPECT_EQ(scenario.settings.kind, SettingsFile::Kind::File);
  EXPECT_EQ(scenario.settings.raw, std::string("bplist00\0x", 10));
  EXPECT_EQ(scenario.settings.path, (folder / "prefs" / "pane.plist").string());
  EXPECT_EQ(scenario.steps[0].written,
            "settings: {file: " + (folder / "prefs" / "pane.plist").string() + "}");

  const auto errorIn = [&](const std::string& settings) {
    std::ofstream(scenarioFile) << "device: iPhone 6\nsettings: " << settings
                                << "\nsteps: [launch: Camera]\n";
    try {
      readScenario(scenarioFile, catalog());
      return std::string("(read)");
    } catch (const ScenarioError& e) {
      return std::string(e.what());
    }
  };
  EXPECT_EQ(errorIn("{file: pane.plist}"), scenarioFile + ":2: settings file 'pane.plist' (" +
                                               (folder / "pane.plist").string() +
                                               ") does not exist");
  EXPECT_EQ(errorIn("{file: prefs}"), scenarioFile + ":2: settings file 'prefs' (" +
                                          (folder / "prefs").string() + ") is not a file");
  EXPECT_EQ(errorIn("{file: prefs/pane.plist, format: binary}"),
            scenarioFile + ":2: settings has a file and nothing else");
  std::ofstream(folder / "big.plist") << std::string((1 << 20) + 1, 'x');
  EXPECT_EQ(errorIn("{file: big.plist}"), scenarioFile + ":2: settings file 'big.plist' (" +
                                              (folder / "big.plist").string() +
                                              ") is larger than a settings file can be (1 MiB)");
  std::filesystem::remove_all(folder);
}

TEST(ScenarioParser, MediaStepsTakeTheirAppsDefaults) {
  const Scenario scenario = parse(R"(device: iPhone 6
steps:
  - record: 2.5
  - open_clip: IMG_0001.MOV
  - play
  - export: AVAssetExportPresetMailMedium
  - edit_slow_motion: {start: 0.5, end: 1.5}
  - play: Camera
)");
  ASSERT_EQ(scenario.steps.size(), 6u);
  const Record& record = std::get<Record>(scenario.steps[0].action);
  EXPECT_EQ(record.app, "Camera");
  EXPECT_DOUBLE_EQ(record.seconds, 2.5);
  const AppStep& open = std::get<AppStep>(scenario.steps[1].action);
  EXPECT_EQ(open.app, "MobileSlideShow") << "clips are Photos' business";
  EXPECT_EQ(open.action, "open_clip");
  EXPECT_EQ(toText(open.argument), "IMG_0001.MOV");
  EXPECT_EQ(toText(std::get<AppStep>(scenario.steps[3].action).argument),
            "AVAssetExportPresetMailMedium");
  EXPECT_EQ(toText(std::get<AppStep>(scenario.steps[4].action).argument), "[0.5, 1.5]");
  EXPECT_EQ(std::get<AppStep>(scenario.steps[5].action).app, "Camera");

  const std::string head = "device: iPhone 6\nsteps:\n";
  EXPECT_EQ(errorOf(head + "  - edit_slow_motion: {start: 2, end: 1}\n"),
            "s.yaml:3: the slow-motion section ends after its start");
  EXPECT_EQ(errorOf(head + "  - record: 0\n"),
            "s.yaml:3: record should be between 0.01 and 60, not 0");
  EXPECT_EQ(errorOf(head + "  - export\n"), "s.yaml:3: missing field 'preset' in export");
}

TEST(ScenarioParser, BrowserStepsTakeTheirTitlesAndFailuresToCome) {
  const Scenario scenario = parse(R"(device: iPhone 6
steps:
  - press_bar: Save Slo-mo
  - press_sheet: {app: Camera, button: "..."}
  - publish
  - fail_next: album_save
  - expect: {app: MobileSlideShow, bar_buttons: [Edit, Edit], sheet: {tag: 95969596},
             album_clips: [{name: IMG_0002.MOV, playable: true}], remakes: {in_flight: 0}}
)");
  ASSERT_EQ(scenario.steps.size(), 5u);
  const AppStep& bar = std::get<AppStep>(scenario.steps[0].action);
  EXPECT_EQ(bar.app, "MobileSlideShow");
  EXPECT_EQ(bar.action, "press_bar");
  EXPECT_EQ(*bar.argument.text(), "Save Slo-mo");
  const AppStep& sheet = std::get<AppStep>(scenario.steps[1].action);
  EXPECT_EQ(sheet.app, "Camera");
  EXPECT_EQ(*sheet.argument.text(), "...");
  EXPECT_EQ(std::get<AppStep>(scenario.steps[2].action).action, "publish");
  EXPECT_EQ(toText(std::get<AppStep>(scenario.steps[3].action).argument), "album_save");
  EXPECT_EQ(std::get<Expect>(scenario.steps[4].action).checks.size(), 4u);

  const std::string head = "device: iPhone 6\nsteps:\n";
  EXPECT_EQ(errorOf(head + "  - fail_next: export\n"),
            "s.yaml:3: fail_next takes remake or album_save, not 'export'");
  EXPECT_EQ(errorOf(head + "  - press_sheet\n"), "s.yaml:3: missing field 'button' in press_sheet");
  EXPECT_NE(errorOf(head + "  - expect: {remakes: {saved: 1}}\n"), "") << "no such field";
}

TEST(ScenarioParser, AClipMayBeAFileBesideTheScenario) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quorvane-clips-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder / "phone");
  std::ofstream(folder / "phone" / "IMG_4242.MOV") << "bytes";
  const std::string text = R"(device: iPhone 6
clips:
  - {file: phone/IMG_4242.MOV}
  - {file: phone/IMG_4242.MOV, name: copy.mov}
steps: [launch: Photos]
)";
  const Scenario scenario = parseScenario(text, (folder / "s.yaml").string(), catalog());
  ASSERT_EQ(scenario.clips.size(), 2u);
  EXPECT_EQ(scenario.clips[0].name, "IMG_4242.MOV");
  EXPECT_EQ(scenario.clips[0].file, (folder / "phone" / "IMG_4242.MOV").string());
  EXPECT_EQ(scenario.clips[1].name, "copy.mov");
  EXPECT_EQ(errorOf("device: iPhone 6\nclips: [{file: nowhere.mov}]\nsteps: [launch: Photos]\n"),
            "s.yaml:2: no clip file nowhere.mov");
  EXPECT_EQ(errorOf("device: iPhone 6\nclips: [{file: s.yaml, frame_rate: 30}]\n"
                    "steps: [launch: Photos]\n"),
            "s.yaml:2: a clip from a file takes no frame_rate");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace qv::sim
