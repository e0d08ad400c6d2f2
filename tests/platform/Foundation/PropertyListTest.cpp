#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Foundation/Foundation.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/SandboxRoot.h"

namespace qv {
namespace {

using test::kSettingsPath;
using test::Plist;
using test::PlistFormat;

constexpr double secondsFrom1970To2001 = 978307200;

Class cls(const char* name) {
  return objc_getClass(name);
}

id readDictionary(const std::string& devicePath) {
  Ref<> path = makeString(devicePath);
  return send<id>(cls("NSDictionary"), "dictionaryWithContentsOfFile:"_sel, path.get());
}

BOOL write(id dictionary, const std::string& devicePath, bool atomically) {
  Ref<> path = makeString(devicePath);
  return send<BOOL>(dictionary, "writeToFile:atomically:"_sel, path.get(), atomically ? YES : NO);
}

// libplist keeps an integer above INT64_MAX unsigned only when it parsed it itself.
plist_t largeUnsigned() {
  const std::string xml = "<plist><integer>18446744073709551615</integer></plist>";
  plist_t node = nullptr;
  plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &node);
  return node;
}

// Every property-list type, nested, as a settings pane or a person might write it.
Plist everyType() {
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "EnableSlalom", plist_new_bool(1));
  plist_dict_set_item(root, "FakeFPS", plist_new_bool(0));
  plist_dict_set_item(root, "MogulFramerate", plist_new_uint(240));
  plist_dict_set_item(root, "mailMax", plist_new_uint(static_cast<std::uint64_t>(-30)));
  plist_dict_set_item(root, "huge", largeUnsigned());
  plist_dict_set_item(root, "rate", plist_new_real(0.5));
  plist_dict_set_item(root, "aFPS", plist_new_string("120"));
  plist_dict_set_item(root, "name", plist_new_string("Driftlane \xE2\x9D\x97"));
  plist_dict_set_item(root, "blob", plist_new_data("\x00\x01\xFF", 3));
  plist_dict_set_item(root, "when", plist_new_date(10, 500000));
  plist_t list = plist_new_array();
  plist_array_append_item(list, plist_new_uint(1));
  plist_array_append_item(list, plist_new_string("two"));
  plist_t inner = plist_new_array();
  plist_array_append_item(inner, plist_new_real(3.5));
  plist_array_append_item(list, inner);
  plist_dict_set_item(root, "list", list);
  plist_t nested = plist_new_dict();
  plist_t deeper = plist_new_dict();
  plist_dict_set_item(deeper, "k", plist_new_string("v"));
  plist_dict_set_item(nested, "inner", deeper);
  plist_dict_set_item(nested, "empty", plist_new_array());
  plist_dict_set_item(root, "nested", nested);
  return Plist(root);
}

std::string bytesOf(plist_t root, PlistFormat format) {
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (format == PlistFormat::Xml) {
    plist_to_xml(root, &bytes, &length);
  } else {
    plist_to_bin(root, &bytes, &length);
  }
  std::string text(bytes, length);
  std::free(bytes);
  return text;
}

std::string fileText(const std::string& hostPath) {
  std::ostringstream text;
  text << std::ifstream(hostPath, std::ios::binary).rdbuf();
  return text.str();
}

class PropertyListTest : public ::testing::TestWithParam<PlistFormat> {
 protected:
  // Reads `bytes` as the settings file: the answer must be nil or a dictionary.
  id readBytes(const std::string& bytes) {
    sandbox_.writeFile(kSettingsPath, bytes);
    id result = readDictionary(kSettingsPath);
    EXPECT_TRUE(result == nil || isKindOf(result, cls("NSDictionary")));
    return result;
  }

  AutoreleasePool pool_;
  test::SandboxRoot sandbox_;
};

TEST_P(PropertyListTest, EveryTypeReadsAsItsFoundationClass) {
  const Plist tree = everyType();
  sandbox_.writePlist(kSettingsPath, tree.get(), GetParam());
  id settings = readDictionary(kSettingsPath);
  ASSERT_NE(settings, nil);
  const auto value = [&](const char* key) {
    return send<id>(settings, "objectForKey:"_sel, makeString(key).get());
  };
  EXPECT_EQ(send<NSUInteger>(settings, "count"_sel), 12u);
  EXPECT_STREQ(send<const char*>(value("EnableSlalom"), "objCType"_sel), "c");
  EXPECT_TRUE(send<BOOL>(value("EnableSlalom"), "boolValue"_sel));
  EXPECT_FALSE(send<BOOL>(value("FakeFPS"), "boolValue"_sel));
  EXPECT_STREQ(send<const char*>(value("MogulFramerate"), "objCType"_sel), "q");
  EXPECT_EQ(send<long long>(value("MogulFramerate"), "longLongValue"_sel), 240);
  EXPECT_EQ(send<int>(value("mailMax"), "intValue"_sel), -30);
  EXPECT_STREQ(send<const char*>(value("huge"), "objCType"_sel), "Q");
  EXPECT_EQ(send<unsigned long long>(value("huge"), "unsignedLongLongValue"_sel), UINT64_MAX);
  EXPECT_STREQ(send<const char*>(value("rate"), "objCType"_sel), "d");
  EXPECT_EQ(send<float>(value("rate"), "floatValue"_sel), 0.5f);
  EXPECT_EQ(send<long>(value("aFPS"), "integerValue"_sel), 120);
  EXPECT_EQ(utf8(value("name")), "Driftlane \xE2\x9D\x97");
  id blob = value("blob");
  ASSERT_TRUE(isKindOf(blob, cls("NSData")));
  EXPECT_EQ(describe(blob), "<0001ff>");
  id when = value("when");
  ASSERT_TRUE(isKindOf(when, cls("NSDate")));
  // XML keeps dates to the second.
  const double fraction = GetParam() == PlistFormat::Binary ? 0.5 : 0.0;
  EXPECT_EQ(send<double>(when, "timeIntervalSince1970"_sel), secondsFrom1970To2001 + 10 + fraction);
  EXPECT_EQ(describe(value("list")), "(\n    1,\n    two,\n        (\n        3.5\n    )\n)");
  EXPECT_EQ(describe(value("nested")),
            "{\n    empty =     (\n    );\n    inner =     {\n"
            "        k = v;\n    };\n}");
}

TEST_P(PropertyListTest, TruncatedFilesReadAsNothingOrADictionary) {
  const Plist tree = everyType();
  const std::string whole = bytesOf(tree.get(), GetParam());
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    readBytes(whole.substr(0, length));
  }
}

TEST_P(PropertyListTest, CorruptedFilesReadAsNothingOrADictionary) {
  const Plist tree = everyType();
  const std::string whole = bytesOf(tree.get(), GetParam());
  for (std::size_t at = 0; at < whole.size(); ++at) {
    for (unsigned char mask : {0x01, 0xFF}) {
      SCOPED_TRACE(testing::Message() << at << " ^ " << int(mask));
      std::string corrupted = whole;
      corrupted[at] = static_cast<char>(corrupted[at] ^ mask);
      readBytes(corrupted);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PropertyListTest,
                         ::testing::Values(PlistFormat::Xml, PlistFormat::Binary),
                         [](const auto& info) {
                           return info.param == PlistFormat::Xml ? "Xml" : "Binary";
                         });

class SettingsFileTest : public ::testing::Test {
 protected:
  AutoreleasePool pool_;
  test::SandboxRoot sandbox_;
};

TEST_F(SettingsFileTest, NothingUsableReadsAsNil) {
  EXPECT_EQ(readDictionary(kSettingsPath), nil);
  std::filesystem::create_directories(sandbox_.hostPath(kSettingsPath));
  EXPECT_EQ(readDictionary(kSettingsPath), nil);
  std::filesystem::remove(sandbox_.hostPath(kSettingsPath));
  for (const char* content : {"", "not a property list", "bplist00", "<plist><dict><key>",
                              "<plist version=\"1.0\"><array><string>a</string></array></plist>",
                              "<plist><string>just text</string></plist>"}) {
    SCOPED_TRACE(content);
    sandbox_.writeFile(kSettingsPath, content);
    EXPECT_EQ(readDictionary(kSettingsPath), nil);
  }
  EXPECT_EQ(send<id>(cls("NSDictionary"), "dictionaryWithContentsOfFile:"_sel, id{nil}), nil);
}

// Regression: libplist aborts when asked for a key with a NUL inside, which a binary file can
// hold; such a key reads up to the NUL.
TEST_F(SettingsFileTest, AKeyWithANulInsideReadsUpToIt) {
  Plist root(plist_new_dict());
  plist_dict_set_item(root.get(), "rate<X>&", plist_new_real(0.5));
  std::string bytes = bytesOf(root.get(), PlistFormat::Binary);
  bytes[bytes.find("rate<X>&") + 5] = '\0';
  sandbox_.writeFile(kSettingsPath, bytes);
  id settings = readDictionary(kSettingsPath);
  ASSERT_NE(settings, nil);
  EXPECT_EQ(describe(settings), "{\n    \"rate<\" = 0.5;\n}");
}

std::string nestedXmlArrays(int depth) {
  std::string xml = "<plist><dict><key>a</key>";
  for (int i = 0; i < depth; ++i) xml += "<array>";
  for (int i = 0; i < depth; ++i) xml += "</array>";
  return xml + "</dict></plist>";
}

std::string bigEndian(std::uint64_t value, int size) {
  std::string bytes;
  for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
    bytes += static_cast<char>(value >> shift);
  return bytes;
}

// A binary list of `count` arrays in which array i holds `references` references to array
// i + 1 (the last one is empty): a chain `count` deep, of 2^count objects when references = 2.
std::string chainedBinaryArrays(std::uint64_t count, int references) {
  constexpr int size = 4;  // of offsets and references
  std::string bytes = "bplist00";
  std::string table;
  for (std::uint64_t i = 0; i < count; ++i) {
    table += bigEndian(bytes.size(), size);
    const bool last = i + 1 == count;
    bytes += static_cast<char>(0xA0 | (last ? 0 : references));
    for (int r = 0; !last && r < references; ++r) bytes += bigEndian(i + 1, size);
  }
  const std::uint64_t tableOffset = bytes.size();
  return bytes + table + std::string(6, '\0') + static_cast<char>(size) + static_cast<char>(size) +
         bigEndian(count, 8) + bigEndian(0, 8) + bigEndian(tableOffset, 8);
}

// Regression: libplist 2.2 recurses per level when it parses a binary list and when it frees a
// tree, and copies a binary object at every reference to it; these files crashed or exhausted
// memory before reaching it.
TEST_F(SettingsFileTest, DeepOrExplosiveFilesAreTurnedAway) {
  sandbox_.writeFile(kSettingsPath, nestedXmlArrays(100));
  EXPECT_NE(readDictionary(kSettingsPath), nil);
  for (const std::string& bytes :
       {nestedXmlArrays(300), nestedXmlArrays(1'000'000), chainedBinaryArrays(300, 1),
        chainedBinaryArrays(200'000, 1), chainedBinaryArrays(60, 2)}) {
    sandbox_.writeFile(kSettingsPath, bytes);
    EXPECT_EQ(readDictionary(kSettingsPath), nil);
  }
  // An array that holds itself.
  sandbox_.writeFile(kSettingsPath, "bplist00\xA1\x00\x08" + std::string(6, '\0') + "\x01\x01" +
                                        bigEndian(1, 8) + bigEndian(0, 8) + bigEndian(10, 8));
  EXPECT_EQ(readDictionary(kSettingsPath), nil);
}

Ref<> everyTypeAsObjects() {
  Ref<> date = Ref<>(
      send<id>(cls("NSDate"), "dateWithTimeIntervalSince1970:"_sel, secondsFrom1970To2001 + 86400));
  const char bytes[] = {'\0', '\x7F', '\x80'};
  Ref<> data = Ref<>(send<id>(cls("NSData"), "dataWithBytes:length:"_sel,
                              static_cast<const void*>(bytes), NSUInteger(3)));
  return makeDictionary({
      {"EnableSlalom"_ns, makeNumber(false)},
      {"MogulFramerate"_ns, makeNumber(120LL)},
      {"negative"_ns, makeNumber(-9223372036854775807LL - 1)},
      {"huge"_ns, makeNumber(18446744073709551615ULL)},
      {"rate"_ns, makeNumber(0.25f)},
      {"volumeRamp"_ns, makeNumber(0.15)},
      {"text"_ns, makeString("<&> \"quoted\" \xE2\x9D\x97")},
      {"data"_ns, data},
      {"date"_ns, date},
      {"list"_ns, makeArray({makeNumber(1), makeArray({}), makeDictionary({})})},
  });
}

TEST_F(SettingsFileTest, WrittenFilesReadBackEqual) {
  Ref<> written = everyTypeAsObjects();
  for (bool atomically : {true, false}) {
    SCOPED_TRACE(atomically);
    sandbox_.remove(kSettingsPath);
    std::filesystem::create_directories(
        std::filesystem::path(sandbox_.hostPath(kSettingsPath)).parent_path());
    ASSERT_TRUE(write(written, kSettingsPath, atomically));
    EXPECT_EQ(fileText(sandbox_.hostPath(kSettingsPath)).rfind("<?xml", 0), 0u);
    id read = readDictionary(kSettingsPath);
    EXPECT_TRUE(send<BOOL>(read, "isEqual:"_sel, written.get())) << describe(read);
    id huge = send<id>(read, "objectForKey:"_sel, "huge"_ns);
    EXPECT_STREQ(send<const char*>(huge, "objCType"_sel), "Q");
  }
  // Nothing but the file itself is left behind.
  const auto folder = std::filesystem::path(sandbox_.hostPath(kSettingsPath)).parent_path();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(SettingsFileTest, UnwritableContentOrPlacesAreRefused) {
  std::filesystem::create_directories(
      std::filesystem::path(sandbox_.hostPath(kSettingsPath)).parent_path());
  Ref<> object = make(NSObjectClass());
  const Ref<> refused[] = {
      makeDictionary({{"object"_ns, object}}),
      makeDictionary({{makeNumber(1), "numeric key"_ns}}),
      makeDictionary({{"nul"_ns, makeString(std::string_view("a\0b", 3))}}),
      makeDictionary(
          {{"far"_ns, Ref<>(send<id>(cls("NSDate"), "dateWithTimeIntervalSince1970:"_sel, 1e12))}}),
  };
  for (const Ref<>& dictionary : refused) {
    SCOPED_TRACE(describe(dictionary));
    EXPECT_FALSE(write(dictionary, kSettingsPath, true));
    EXPECT_FALSE(write(dictionary, kSettingsPath, false));
    EXPECT_FALSE(std::filesystem::exists(sandbox_.hostPath(kSettingsPath)));
  }
  Ref<> fine = makeDictionary({{"rate"_ns, makeNumber(0.5)}});
  EXPECT_FALSE(write(fine, "/no/such/folder/settings.plist", true));
  EXPECT_FALSE(write(fine, "/no/such/folder/settings.plist", false));
  EXPECT_TRUE(write(fine, kSettingsPath, true));
}

}  // namespace
}  // namespace qv
