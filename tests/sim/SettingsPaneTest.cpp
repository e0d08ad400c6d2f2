// The settings pane's file, written in each of its forms and read back as the libraries read it;
// its specifier list; taps on the Settings screen; and the device's folder with the built
// libraries at their install paths.
#include <gtest/gtest.h>
#include <plist/plist.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "host/loader/Loader.h"
#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "sim/settings/SettingsPane.h"
#include "sim/settings/SettingsScreen.h"
#include "sim/settings/SpecifierList.h"
#include "sim/supervisor/Sandbox.h"

namespace qv::sim {
namespace {

class SettingsPaneTest : public ::testing::Test {
 protected:
  void SetUp() override { setFileSystemRoot(sandbox_.root()); }
  void TearDown() override {
    setFileSystemRoot("");
    std::filesystem::remove_all(sandbox_.root());
  }

  SettingsFile values(SettingsFile::Format format) {
    SettingsFile file;
    file.kind = SettingsFile::Kind::Values;
    file.format = format;
    file.values = {{"EnableSlalom", false},
                   {"MogulFramerate", 240},
                   {"mailMax", -30},
                   {"rate", 0.5},
                   {"aFPS", "120"}};
    return file;
  }

  Sandbox sandbox_{std::nullopt};
};

TEST_F(SettingsPaneTest, ValuesKeepTheirTypesInXmlAndBinary) {
  for (const auto format : {SettingsFile::Format::Xml, SettingsFile::Format::Binary}) {
    const std::string done = writeSettingsFile(sandbox_, values(format));
    EXPECT_NE(done.find("MogulFramerate 240, mailMax -30, rate 0.5, aFPS \"120\""),
              std::string::npos)
        << done;
    EXPECT_EQ(toText(readSettingsFile(sandbox_)),
              "{EnableSlalom: false, MogulFramerate: 240, aFPS: \"120\", mailMax: -30, rate: 0.5}");
  }
  std::ifstream written(sandbox_.hostPath(kSettingsPath));  // the binary one, written last
  char magic[9] = {};
  written.read(magic, 8);
  EXPECT_STREQ(magic, "bplist00");
}

TEST_F(SettingsPaneTest, RawBytesAndNoFileReadAsTheLibrariesReadThem) {
  SettingsFile raw;
  raw.kind = SettingsFile::Kind::Raw;
  raw.raw = "<plist><dict><key>MogulFramerate</key><integer>120";
  EXPECT_EQ(writeSettingsFile(sandbox_, raw), "wrote the settings file: 50 raw bytes");
  EXPECT_EQ(toText(readSettingsFile(sandbox_)), "malformed");

  raw.raw = "";
  writeSettingsFile(sandbox_, raw);
  EXPECT_EQ(toText(readSettingsFile(sandbox_)), "malformed");

  EXPECT_EQ(writeSettingsFile(sandbox_, SettingsFile{}), "removed the settings file");
  EXPECT_TRUE(readSettingsFile(sandbox_).isNone());
  EXPECT_FALSE(std::filesystem::exists(sandbox_.hostPath(kSettingsPath)));
}

TEST_F(SettingsPaneTest, TheBuiltLibrariesGoToTheirInstallPathsAndStaleOnesGo) {
  const std::filesystem::path build = sandbox_.hostPath("/build");
  std::filesystem::create_directories(build);
  std::ofstream(build / "QuorvaneiOS8.dylib") << "built";
  std::filesystem::create_directories(sandbox_.hostPath(host::kIOS7LibraryPath).parent_path());
  std::ofstream(sandbox_.hostPath(host::kIOS7LibraryPath)) << "left from an earlier build";

  EXPECT_EQ(sandbox_.installLibraries(build.string()), std::vector<std::string>{"QuorvaneiOS8"});
  std::ifstream installed(sandbox_.hostPath(host::kIOS8LibraryPath));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(installed), {}), "built");
  EXPECT_FALSE(std::filesystem::exists(sandbox_.hostPath(host::kIOS7LibraryPath)));
  EXPECT_EQ(host::libraryPathFor(host::HostGeneration::iOS7, host::LibraryChoice::BySystem),
            host::kIOS8LibraryPath);  // until QuorvaneiOS7 is installed

  std::ofstream(sandbox_.hostPath(host::kIOS7LibraryPath)) << "installed";
  EXPECT_EQ(host::libraryPathFor(host::HostGeneration::iOS7, host::LibraryChoice::BySystem),
            host::kIOS7LibraryPath);
  EXPECT_EQ(host::libraryPathFor(host::HostGeneration::iOS8, host::LibraryChoice::BySystem),
            host::kIOS8LibraryPath);
  EXPECT_EQ(host::libraryPathFor(host::HostGeneration::iOS9, host::LibraryChoice::iOS7),
            host::kIOS7LibraryPath);
}

// Settings sets its one key and leaves values of every other type as they were, even those no
// scenario writes.
TEST_F(SettingsPaneTest, APaneChangeKeepsEveryOtherValueOfTheFile) {
  SettingsFile other;
  other.kind = SettingsFile::Kind::Raw;
  other.raw =
      "<plist><dict><key>MogulFramerate</key><integer>240</integer>"
      "<key>seen</key><date>2014-09-17T10:00:00Z</date>"
      "<key>blob</key><data>AAEC</data><key>mailMax</key><integer>1</integer></dict></plist>";
  writeSettingsFile(sandbox_, other);
  EXPECT_EQ(setSettingsValue(sandbox_, "mailMax", false),
            "wrote the settings file (binary): MogulFramerate 240, blob \"<000102>\", "
            "mailMax false, seen \"2014-09-17 10:00:00 +0000\"");
  std::ifstream written(sandbox_.hostPath(kSettingsPath));
  const std::string bytes{std::istreambuf_iterator<char>(written), {}};
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(bytes.rfind("bplist00", 0), 0u);
  EXPECT_EQ(plist_get_node_type(plist_dict_get_item(root, "seen")), PLIST_DATE);
  EXPECT_EQ(plist_get_node_type(plist_dict_get_item(root, "blob")), PLIST_DATA);
  plist_free(root);
}

// A switch's row flips under a tap; a text field's row becomes the one typing goes to.
TEST_F(SettingsPaneTest, ATapFlipsASwitchOrPicksTheFieldToTypeInto) {
  const std::filesystem::path list = sandbox_.hostPath(kPaneSpecifiersPath);
  std::filesystem::create_directories(list.parent_path());
  const auto item = [](const char* cell, const char* key, const char* label) {
    return std::string("<dict><key>cell</key><string>") + cell + "</string><key>key</key><string>" +
           key + "</string><key>label</key><string>" + label +
           "</string><key>default</key><string>1</string></dict>";
  };
  std::ofstream(list) << "<plist><dict><key>title</key><string>Halvenor</string><key>items</key>"
                         "<array><dict><key>cell</key><string>PSGroupCell</string></dict>" +
                             item("PSSwitchCell", "EnableSlalom", "Enabled") +
                             item("PSEditTextCell", "MogulFramerate", "Rate") +
                             "</array></dict></plist>";
  SettingsScreen screen(sandbox_, CGSizeMake(320, 568));
  PaneChange change;
  std::string done;
  EXPECT_EQ(screen.tap(CGPointMake(160, 120), change, done),
            "the Settings screen is not open (settings_pane: open shows it)");
  screen.open(done);
  // Under the bar (64) and the untitled group's header (35): the switch, then the field.
  EXPECT_EQ(screen.tap(CGPointMake(160, 120), change, done), "");
  EXPECT_EQ(change.key, "EnableSlalom");
  EXPECT_EQ(toText(change.value), "true") << "it showed off";
  EXPECT_EQ(screen.type("", "240", change),
            "no text field of the settings pane is being edited (tap one first)");
  change = {};
  EXPECT_EQ(screen.tap(CGPointMake(160, 160), change, done), "");
  EXPECT_EQ(change.key, "") << "a field sets nothing until typed into";
  EXPECT_EQ(done, "tap at (160, 160) landed on Rate (MogulFramerate): editing it");
  EXPECT_EQ(toText(screen.shown()),
            "{EnableSlalom: false, MogulFramerate: \"1\", editing: MogulFramerate}");
  EXPECT_EQ(screen.type("", "240", change), "");
  EXPECT_EQ(change.key, "MogulFramerate");
  EXPECT_EQ(screen.tap(CGPointMake(160, 400), change, done), "");
  EXPECT_EQ(done, "tap at (160, 400) landed on no row: nothing changed");
  EXPECT_EQ(screen.tap(CGPointMake(160, 600), change, done),
            "tap: (160, 600) is outside the screen (320 x 568 points)");
}

TEST(SpecifierList, AListThePaneCannotShowIsRefusedSayingWhere) {
  const Sandbox sandbox{std::nullopt};
  const std::filesystem::path file = sandbox.hostPath("/Qel.plist");
  const auto problem = [&file](const std::string& items) {
    std::ofstream(file) << "<plist><dict><key>items</key><array>" + items +
                               "</array></dict></plist>";
    try {
      readSpecifierList(file);
    } catch (const std::runtime_error& e) {
      return std::string(e.what()).substr(file.string().size());
    }
    return std::string("read");
  };
  EXPECT_EQ(problem("<dict><key>cell</key><string>PSGroupCell</string></dict>"), "read");
  EXPECT_EQ(problem("<dict><key>cell</key><string>PSLinkCell</string></dict>"),
            ": item 0: cell 'PSLinkCell' is not one the pane shows (PSGroupCell, PSSwitchCell, "
            "PSEditTextCell)");
  EXPECT_EQ(problem("<dict><key>cell</key><string>PSGroupCell</string></dict>"
                    "<dict><key>cell</key><string>PSSwitchCell</string></dict>"),
            ": item 1: a PSSwitchCell without a key");
  EXPECT_EQ(problem("<string>PSSwitchCell</string>"), ": item 0 is not a dict");
  std::ofstream(file) << "<plist><array/></plist>";
  EXPECT_THROW(readSpecifierList(file), std::runtime_error);
  std::filesystem::remove_all(sandbox.root());
}

TEST(Loader, AMissingLibraryMapsNothingAndSaysWhy) {
  Sandbox sandbox{std::nullopt};
  setFileSystemRoot(sandbox.root());
  const host::MappedLibrary mapped =
      host::mapTweakLibrary(host::HostGeneration::iOS8, host::LibraryChoice::BySystem);
  EXPECT_EQ(mapped.name, "");
  EXPECT_EQ(mapped.problem, std::string(host::kIOS8LibraryPath) + " is not installed");
  setFileSystemRoot("");
  std::filesystem::remove_all(sandbox.root());
}

}  // namespace
}  // namespace qv::sim
