#include "platform/System/FileSystem.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/Forked.h"

namespace {

// Every case sets its own root; the process-wide root goes back to the default afterwards.
class FileSystemTest : public ::testing::Test {
 protected:
  void TearDown() override { qv::setFileSystemRoot(""); }
};

TEST_F(FileSystemTest, AbsolutePathsLiveUnderTheRoot) {
  qv::setFileSystemRoot("/tmp/sandbox");
  EXPECT_EQ(qv::resolvePath("/var/mobile/Library/Preferences/a.plist"),
            "/tmp/sandbox/var/mobile/Library/Preferences/a.plist");
  EXPECT_EQ(qv::resolvePath("/"), "/tmp/sandbox/");
}

TEST_F(FileSystemTest, TrailingSlashOfTheRootIsNotDoubled) {
  qv::setFileSystemRoot("/tmp/sandbox/");
  EXPECT_EQ(qv::resolvePath("/var/a"), "/tmp/sandbox/var/a");
}

TEST_F(FileSystemTest, RelativeAndEmptyPathsAreUnchanged) {
  qv::setFileSystemRoot("/tmp/sandbox");
  EXPECT_EQ(qv::resolvePath("Library/a.plist"), "Library/a.plist");
  EXPECT_EQ(qv::resolvePath("../a"), "../a");
  EXPECT_EQ(qv::resolvePath(""), "");
}

// A device path must not reach files outside the sandbox.
TEST_F(FileSystemTest, DotDotNeverClimbsAboveTheRoot) {
  qv::setFileSystemRoot("/tmp/sandbox");
  EXPECT_EQ(qv::resolvePath("/../../etc/passwd"), "/tmp/sandbox/etc/passwd");
  EXPECT_EQ(qv::resolvePath("/var/../../etc/./passwd"), "/tmp/sandbox/etc/passwd");
  EXPECT_EQ(qv::resolvePath("//var//mobile"), "/tmp/sandbox/var/mobile");
}

TEST_F(FileSystemTest, RootSlashLeavesDevicePathsAsTheyAre) {
  qv::setFileSystemRoot("/");
  EXPECT_EQ(qv::resolvePath("/var/mobile/x"), "/var/mobile/x");
}

TEST_F(FileSystemTest, DefaultRootComesFromTheEnvironment) {
  qv::test::runForked([] {
    setenv("QUORVANE_ROOT", "/srv/device", 1);
    EXPECT_EQ(qv::fileSystemRoot(), "/srv/device");
    EXPECT_EQ(qv::resolvePath("/var/a"), "/srv/device/var/a");
    qv::setFileSystemRoot("/other");
    EXPECT_EQ(qv::fileSystemRoot(), "/other");
    qv::setFileSystemRoot("");
    EXPECT_EQ(qv::fileSystemRoot(), "/srv/device");
    unsetenv("QUORVANE_ROOT");
    EXPECT_EQ(qv::fileSystemRoot(), "/");
    setenv("QUORVANE_ROOT", "", 1);
    EXPECT_EQ(qv::fileSystemRoot(), "/");
  });
}

}  // namespace
