#include "host/devices/Catalog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/System/TemporaryRoot.h"

namespace qv::host {
namespace {

const std::vector<SystemRelease> kSystems{{"8.4", 1145.15, 1144.17, HostGeneration::iOS8},
                                          {"9.0", 1240.10, 1240.1, HostGeneration::iOS9}};

const char* kGoodDevice = R"(name: Test Phone
idiom: phone
system: "8.4"
gestalt:
  RearFacingCameraHFRCapability: true
  SomethingElse: no
back_camera:
  - {media_type: vide, width: 640, height: 480, frame_rates: [[2, 30]]}
  - {media_type: vide, width: 1280, height: 720, frame_rates: [[2, 30], [2, 240]]}
)";

// The message that parsing `text` raises, or "" when it parses.
std::string refusal(const std::string& text) {
  try {
    parseDevice(text, "Test.yaml", kSystems);
  } catch (const CatalogError& error) {
    return error.what();
  }
  return "";
}

// kGoodDevice with one line replaced.
std::string withLine(const std::string& from, const std::string& to) {
  std::string text = kGoodDevice;
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

// kGoodDevice with another back camera.
std::string withBackCamera(const std::string& value) {
  const std::string text = kGoodDevice;
  return text.substr(0, text.find("back_camera:")) + "back_camera: " + value + "\n";
}

TEST(DeviceFile, ReadsEveryField) {
  const Device device = parseDevice(kGoodDevice, "Test.yaml", kSystems);
  EXPECT_EQ(device.name, "Test Phone");
  EXPECT_EQ(device.idiom, Idiom::Phone);
  EXPECT_EQ(device.system.coreFoundationVersion, 1145.15);
  EXPECT_EQ(device.gestalt, (std::map<std::string, bool>{{"RearFacingCameraHFRCapability", true},
                                                         {"SomethingElse", false}}));
  ASSERT_TRUE(device.backCamera.has_value());
  ASSERT_EQ(device.backCamera->size(), 2u);
  const CaptureFormat& hd = (*device.backCamera)[1];
  EXPECT_EQ(hd.mediaType, "vide");
  EXPECT_EQ(hd.width, 1280);
  ASSERT_EQ(hd.frameRates.size(), 2u);
  EXPECT_EQ(hd.frameRates[1].maxFrameRate, 240.0);
}

TEST(DeviceFile, NoneAndAnEmptyListAreDifferentCameras) {
  EXPECT_FALSE(parseDevice(withBackCamera("none"), "Test.yaml", kSystems).backCamera.has_value());
  const Device device = parseDevice(withBackCamera("[]"), "Test.yaml", kSystems);
  ASSERT_TRUE(device.backCamera.has_value());
  EXPECT_TRUE(device.backCamera->empty());
}

TEST(DeviceFile, TheMessageNamesFileLineDeviceAndField) {
  EXPECT_EQ(refusal(withLine("width: 1280", "width: wide")),
            "Test.yaml:9: device \"Test Phone\": field \"back_camera[1].width\": expected a "
            "whole number from 1 to 16384, found \"wide\"");
}

TEST(DeviceFile, RefusesMalformedAndIncompleteEntries) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {withLine("name: Test Phone\n", ""), "device \"(unnamed)\": field \"name\": missing"},
      {withLine("idiom: phone", "idiom: watch"), "field \"idiom\": expected phone or pad"},
      {withLine("system: \"8.4\"", "system: \"8.5\""),
       "field \"system\": no system release \"8.5\""},
      {withLine("  RearFacingCameraHFRCapability: true\n", ""),
       "field \"gestalt.RearFacingCameraHFRCapability\": missing"},
      {withLine("SomethingElse: no", "SomethingElse: maybe"),
       "field \"gestalt.SomethingElse\": expected true or false, found \"maybe\""},
      {withLine("height: 480", "height: -480"), "field \"back_camera[0].height\""},
      {withLine("height: 480", "height: 480.5"), "field \"back_camera[0].height\""},
      {withLine("[[2, 30]]}", "[[2, 30, 60]]}"),
       "field \"back_camera[0].frame_rates[0]\": expected [lowest, highest]"},
      {withLine("[[2, 30]]}", "[[30, 2]]}"), "the lowest rate is above the highest"},
      {withLine("[[2, 30]]}", "[[2, .nan]]}"), "field \"back_camera[0].frame_rates[0].highest\""},
      {withLine("[[2, 30]]}", "[[0, 30]]}"), "field \"back_camera[0].frame_rates[0].lowest\""},
      {withLine("frame_rates: [[2, 30]]", "rates: [[2, 30]]"),
       "field \"back_camera[0].rates\": unknown field"},
      {withLine("media_type: vide, ", ""), "field \"back_camera[0].media_type\": missing"},
      {withBackCamera("some"), "expected a list of formats or none"},
      {withBackCamera(""), "field \"back_camera\": missing"},
      {withLine("idiom: phone", "idoim: phone"), "field \"idoim\": unknown field"},
      {withLine("idiom: phone", "idiom: [phone]"), "field \"idiom\": expected a text"},
      {"- just\n- a list\n", "Test.yaml: expected a device"},
      {"", "Test.yaml: expected a device"},
      {"name: [unclosed\n", "Test.yaml:2: not valid YAML"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string message = refusal(text);
    EXPECT_NE(message.find(expected), std::string::npos)
        << "expected \"" << expected << "\" in \"" << message << "\" for:\n"
        << text;
  }
}

TEST(SystemsFile, RefusesDuplicatesAndBadNumbers) {
  const auto refused = [](const std::string& text) {
    try {
      parseSystems(text, "systems.yaml");
    } catch (const CatalogError& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  const std::string row =
      "  - {version: \"8.4\", core_foundation: 1145.15, foundation: 1144.17, "
      "generation: ios8}\n";
  EXPECT_EQ(parseSystems("systems:\n" + row, "systems.yaml").size(), 1u);
  EXPECT_NE(refused("systems:\n" + row + row)
                .find("systems.yaml:3: system \"8.4\": field "
                      "\"version\": listed twice"),
            std::string::npos);
  EXPECT_NE(refused("systems:\n  - {version: \"8.4\", core_foundation: x, foundation: 1, "
                    "generation: ios8}\n")
                .find("field \"core_foundation\""),
            std::string::npos);
  EXPECT_NE(refused("systems:\n  - {version: \"8.4\", core_foundation: 1, foundation: 1, "
                    "generation: ios10}\n")
                .find("expected ios7, ios8 or ios9"),
            std::string::npos);
  EXPECT_NE(refused("releases: []\n").find("under \"systems\""), std::string::npos);
}

// A catalog folder of the test's own.
class CatalogFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    write("systems.yaml",
          "systems:\n  - {version: \"8.4\", core_foundation: 1145.15, "
          "foundation: 1144.17, generation: ios8}\n");
  }

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(folder_ / name) << text;
  }
  std::string loadRefusal() const {
    try {
      Catalog::load(folder_);
    } catch (const CatalogError& error) {
      return error.what();
    }
    return "";
  }

  qv::TemporaryRoot root_{"quorvane-catalog-"};
  std::filesystem::path folder_{root_.path()};
};

TEST_F(CatalogFolder, ReadsEveryDeviceFileInNameOrder) {
  write("b.yaml", kGoodDevice);
  write("a.yaml", withLine("name: Test Phone", "name: Other Phone"));
  write("notes.txt", "not a device");
  const Catalog catalog = Catalog::load(folder_);
  ASSERT_EQ(catalog.devices().size(), 2u);
  EXPECT_EQ(catalog.devices()[0].name, "Other Phone");
  EXPECT_NE(catalog.device("Test Phone"), nullptr);
  EXPECT_EQ(catalog.device("Missing Phone"), nullptr);
  EXPECT_NE(catalog.system("8.4"), nullptr);
}

TEST_F(CatalogFolder, RefusesADeviceDefinedTwice) {
  write("a.yaml", kGoodDevice);
  write("b.yaml", kGoodDevice);
  EXPECT_EQ(loadRefusal(), (folder_ / "b.yaml").string() +
                               ": device \"Test Phone\": already defined in " +
                               (folder_ / "a.yaml").string());
}

TEST_F(CatalogFolder, NamesTheFileOfABadDevice) {
  write("a.yaml", withLine("idiom: phone", "idiom: 3"));
  EXPECT_EQ(loadRefusal().rfind((folder_ / "a.yaml").string() + ":2: device \"Test Phone\"", 0),
            0u);
}

TEST_F(CatalogFolder, NeedsItsSystemsFile) {
  std::filesystem::remove(folder_ / "systems.yaml");
  EXPECT_NE(loadRefusal().find("systems.yaml: cannot read the file"), std::string::npos);
}

// The catalog that ships with the project.
class ShippedCatalog : public ::testing::Test {
 protected:
  static const Catalog& catalog() {
    static const Catalog loaded = Catalog::load(defaultCatalogFolder());
    return loaded;
  }
};

TEST_F(ShippedCatalog, HasThePublishedSystemReleases) {
  EXPECT_EQ(catalog().systems().size(), 10u);
  const SystemRelease* nine = catalog().system("9.0");
  ASSERT_NE(nine, nullptr);
  EXPECT_EQ(nine->coreFoundationVersion, 1240.10);
  EXPECT_EQ(nine->generation, HostGeneration::iOS9);
  EXPECT_EQ(catalog().system("8.4")->foundationVersion, 1144.17);
}

TEST_F(ShippedCatalog, SlowMotionCapabilityAsTheDevicesShipped) {
  const std::map<std::string, bool> expected{
      {"iPhone 4s", false},          {"iPhone 5", false},
      {"iPhone 5s", true},           {"iPhone 6", true},
      {"iPhone 6 Plus", true},       {"iPhone 6s", true},
      {"iPhone 6s Plus", true},      {"iPad Air", false},
      {"iPad Air 2", true},          {"iPhone 5s (iOS 7.1)", true},
      {"iPhone 5 (iOS 7.0)", false}, {"iPad Air (iOS 7.1)", false}};
  EXPECT_EQ(catalog().devices().size(), expected.size());
  for (const auto& [name, capable] : expected) {
    const Device* device = catalog().device(name);
    ASSERT_NE(device, nullptr) << name;
    EXPECT_EQ(device->gestalt.at("RearFacingCameraHFRCapability"), capable) << name;
  }
  EXPECT_EQ(catalog().device("iPad Air 2")->idiom, Idiom::Pad);
}

TEST_F(ShippedCatalog, FormatsAscendInSize) {
  for (const Device& device : catalog().devices()) {
    ASSERT_TRUE(device.backCamera.has_value()) << device.name;
    long previous = 0;
    for (const CaptureFormat& format : *device.backCamera) {
      const long pixels = long{format.width} * format.height;
      EXPECT_GE(pixels, previous) << device.name;
      previous = pixels;
    }
  }
}

TEST_F(ShippedCatalog, AnIOS9StyleDevice) {
  const Device* device = catalog().device("iPhone 6s Plus");
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->system.generation, HostGeneration::iOS9);
  EXPECT_EQ(device->system.coreFoundationVersion, 1240.10);
}

TEST_F(ShippedCatalog, IOS7DevicesRunTheIOS7Generation) {
  for (const char* name : {"iPhone 5s (iOS 7.1)", "iPhone 5 (iOS 7.0)", "iPad Air (iOS 7.1)"}) {
    const Device* device = catalog().device(name);
    ASSERT_NE(device, nullptr) << name;
    EXPECT_EQ(device->system.generation, HostGeneration::iOS7) << name;
  }
  EXPECT_EQ(catalog().device("iPhone 5 (iOS 7.0)")->system.coreFoundationVersion, 847.20);
  EXPECT_EQ(catalog().device("iPad Air (iOS 7.1)")->idiom, Idiom::Pad);
}

}  // namespace
}  // namespace qv::host
