// The device layer's bridge between callables and blocks, run on this machine's blocks runtime:
// what crosses a message boundary as a block comes back as the same behaviour, and every copy of
// a captured callable is destroyed once the last block or callable holding it goes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "backend/objc/Blocks.h"

namespace {

// Counts the live copies of itself that callables and blocks hold.
struct Tracked {
  static inline int alive = 0;
  std::string* trace;
  explicit Tracked(std::string* t) : trace(t) { ++alive; }
  Tracked(const Tracked& other) : trace(other.trace) { ++alive; }
  ~Tracked() { --alive; }
  void operator()(bool flag) const { *trace += flag ? "yes;" : "no;"; }
};

TEST(DeviceBlocks, ACallableCrossesAsABlockAndComesBack) {
  std::string trace;
  {
    std::function<void(bool)> callable = Tracked(&trace);
    qv::HeldBlock<void, bool> block = qv::blockOf(callable);
    block.get()(true);  // as a method that takes the block calls it
    std::function<void(bool)> back = qv::callableOf(block.get());
    back(false);
    EXPECT_EQ(trace, "yes;no;");
  }
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(DeviceBlocks, TheBlockOutlivesTheCallableItWasMadeFrom) {
  std::string trace;
  qv::HeldBlock<void, bool> kept;
  {
    std::function<void(bool)> callable = Tracked(&trace);
    kept = qv::blockOf(callable);
  }
  kept(true);
  EXPECT_EQ(trace, "yes;");
  kept = {};
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(DeviceBlocks, EmptyAndNilMapToEachOther) {
  EXPECT_FALSE(qv::blockOf(std::function<void()>{}).get());
  const qv::BlockPointer<void> nilBlock = nullptr;
  EXPECT_FALSE(static_cast<bool>(qv::callableOf(nilBlock)));
}

TEST(DeviceBlocks, ResultsComeBackThroughTheBlock) {
  const std::function<int(int)> twice = [](int value) { return 2 * value; };
  EXPECT_EQ(qv::callableOf(qv::blockOf(twice).get())(21), 42);
}

}  // namespace
