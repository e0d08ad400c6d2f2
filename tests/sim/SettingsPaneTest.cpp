// The settings pane's file, written in each of its forms and read back as the libraries read it;
// and the device's folder with the built libraries at their install paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/loader/Loader.h"
#include "platform/System/FileSystem.h"
#include "sim/Sandbox.h"
#include "sim/SettingsPane.h"

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
