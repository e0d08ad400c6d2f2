#include "platform/System/TemporaryRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// The folder is made, goes with all it holds, and a link inside it to a folder outside is
// removed as a link: what it names stays, however deep the link sits.
TEST(TemporaryRootTest, RemovesItsTreeButNeverWhatALinkNames) {
  const qv::TemporaryRoot outside("quorvane-outside-");
  std::ofstream(outside.path() + "/keep") << "kept";
  std::string made;
  {
    const qv::TemporaryRoot root("quorvane-root-");
    made = root.path();
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_EQ(fs::path(made).filename().string().rfind("quorvane-root-", 0), 0u);
    fs::create_directories(made + "/var/mobile/Library");
    std::ofstream(made + "/var/mobile/Library/file") << "gone";
    fs::create_directory_symlink(outside.path(), made + "/var/link");
    fs::create_symlink(outside.path() + "/keep", made + "/var/mobile/filelink");
  }
  EXPECT_FALSE(fs::exists(made));
  EXPECT_TRUE(fs::exists(outside.path() + "/keep"));
}

// A folder handed over stays; one that cannot be made says why, and nothing is made instead.
TEST(TemporaryRootTest, KeepsAHandedOverFolderAndReportsWhyOneCannotBeMade) {
  std::string kept;
  {
    qv::TemporaryRoot root("quorvane-kept-");
    kept = root.keep();
    EXPECT_TRUE(root.path().empty());
  }
  EXPECT_TRUE(fs::is_directory(kept));
  EXPECT_TRUE(qv::removeFolderTree(kept));
  EXPECT_FALSE(fs::exists(kept));
  try {
    qv::TemporaryRoot root("quorvane-", "/nonexistent-quorvane-parent");
    FAIL() << "made " << root.path();
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code().value(), ENOENT);
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
  }
}

}  // namespace
