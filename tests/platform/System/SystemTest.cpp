#include "platform/System/System.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <mutex>
#include <thread>

#include "platform/Seams.h"
#include "platform/System/ForkSafety.h"

namespace {

using Commands = std::vector<std::string>;

class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override { qv::clearRecordedSystemCommands(); }
  void TearDown() override {
    qv::setSystemHandler(nullptr);
    qv::clearRecordedSystemCommands();
  }
};

// The stand-in must never reach a real shell: a command with side effects has none.
TEST_F(SystemTest, WithoutHandlerCommandsAreRecordedAndSucceedWithoutAShell) {
  const std::string marker = ::testing::TempDir() + "qv-system-marker";
  std::remove(marker.c_str());
  EXPECT_EQ(qv::system("killall Camera MobileSlideShow"), 0);
  EXPECT_EQ(qv::system(("touch " + marker).c_str()), 0);
  EXPECT_NE(access(marker.c_str(), F_OK), 0);
  EXPECT_EQ(qv::recordedSystemCommands(),
            (Commands{"killall Camera MobileSlideShow", "touch " + marker}));
  EXPECT_EQ(qv::system(nullptr), 0) << "no command processor without a handler";
  qv::clearRecordedSystemCommands();
  EXPECT_TRUE(qv::recordedSystemCommands().empty());
}

// The handler may itself run a command (the supervisor ends processes that log as they go).
TEST_F(SystemTest, HandlerReceivesTheCommandAndAnswersTheStatus) {
  Commands seen;
  qv::setSystemHandler([&](const std::string& command) {
    seen.push_back(command);
    if (command == "outer") qv::system("inner");
    return 7;
  });
  EXPECT_EQ(qv::system("outer"), 7);
  EXPECT_EQ(seen, (Commands{"outer", "inner"}));
  EXPECT_EQ(qv::recordedSystemCommands(), (Commands{"outer", "inner"}));
  EXPECT_NE(qv::system(nullptr), 0);

  qv::setSystemHandler(nullptr);
  EXPECT_EQ(qv::system("outer"), 0);
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(SystemTest, ProcessNameDefaultsToTheExecutableAndCanBeSet) {
  EXPECT_EQ(qv::processName(), "system_tests");
  qv::setProcessName("Camera");
  EXPECT_EQ(qv::processName(), "Camera");
  qv::setProcessName("system_tests");
}

// A fork while another thread holds a guarded lock must leave the lock usable in the child.
TEST(ForkSafetyTest, GuardedMutexIsFreeInTheChild) {
  static std::mutex guarded;
  static bool registered = (qv::guardAcrossFork(guarded), true);
  ASSERT_TRUE(registered);

  std::mutex gate;
  std::unique_lock hold(gate);
  std::promise<void> holding;
  std::thread holder([&] {
    std::lock_guard lock(guarded);
    holding.set_value();
    std::lock_guard wait(gate);  // keeps `guarded` held until the fork has been attempted
  });
  holding.get_future().wait();
  // The fork waits for the holder to let go, and the child can take the lock.
  std::thread forker([] {
    const pid_t child = fork();
    if (child == 0) {
      const bool free = guarded.try_lock();
      _exit(free ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  hold.unlock();
  holder.join();
  forker.join();
}

}  // namespace
