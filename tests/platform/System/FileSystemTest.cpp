#include "platform/Seams.h"
#include "platform/System/FileSystem.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/support/Forked.h"

namespace {

class FileSystemTest : public ::testing::Test {
 protected:
  void TearDown() override { qv::setFileSystemRoot(""); }
};

TEST_F(FileSystemTest, AbsolutePathsLiveUnderTheRootAndRelativeOnesAreUnchanged) {
  qv::setFileSystemRoot("/tmp/sandbox/");
  EXPECT_EQ(qv::resolvePath("/var/mobile/Library/Preferences/a.plist"),
            "/tmp/sandbox/var/mobile/Library/Preferences/a.plist");
  EXPECT_EQ(qv::resolvePath("Library/a.plist"), "Library/a.plist");
  EXPECT_EQ(qv::resolvePath(""), "");
  qv::setFileSystemRoot("/");
  EXPECT_EQ(qv::resolvePath("/var/mobile/x"), "/var/mobile/x");
}

// A device path must not reach files outside the sandbox.
TEST_F(FileSystemTest, DotDotNeverClimbsAboveTheRoot) {
  qv::setFileSystemRoot("/tmp/sandbox");
  EXPECT_EQ(qv::resolvePath("/../../etc/passwd"), "/tmp/sandbox/etc/passwd");
  EXPECT_EQ(qv::resolvePath("/var/../../etc/./passwd"), "/tmp/sandbox/etc/passwd");
  EXPECT_EQ(qv::resolvePath("//var//mobile"), "/tmp/sandbox/var/mobile");
}

// The resolution is lexical, name by name, as the standard library's normal form: checked against
// it on the paths where hand-written normalisers go wrong.
TEST_F(FileSystemTest, ResolutionMatchesTheLexicalNormalForm) {
  for (const char* root : {"/tmp/sandbox", "/tmp/sandbox/"}) {
    qv::setFileSystemRoot(root);
    for (const char* path : {"/", "/.", "/..", "//", "/a/", "/a/.", "/a/..", "/a/b/../", "/a/./b",
                             "/a/../../b/", "/..a/b..", "/a/.../b", "/a//b///c", "/a/b/../..",
                             "/var/mobile/Media/DCIM/100APPLE/IMG_0001.MOV"}) {
      const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
      EXPECT_EQ(qv::resolvePath(path),
                (std::filesystem::path(root) / normal.relative_path()).string())
          << root << " " << path;
    }
  }
}

TEST_F(FileSystemTest, DefaultRootComesFromTheEnvironment) {
  qv::test::runForked([] {
    setenv("QUORVANE_ROOT", "/srv/device", 1);
    EXPECT_EQ(qv::resolvePath("/var/a"), "/srv/device/var/a");
    qv::setFileSystemRoot("/other");
    EXPECT_EQ(qv::fileSystemRoot(), "/other");
    qv::setFileSystemRoot("");
    EXPECT_EQ(qv::fileSystemRoot(), "/srv/device");
    setenv("QUORVANE_ROOT", "", 1);
    EXPECT_EQ(qv::fileSystemRoot(), "/");
  });
}

}  // namespace
