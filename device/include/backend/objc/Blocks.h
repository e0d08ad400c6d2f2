// Blocks, where the platform's methods take or answer them. C++ code holds callables as
// std::function; at a message boundary they become real blocks (a heap block that calls a copy
// of the callable) and blocks that come in become callables that hold the block.
#pragma once

#include <functional>
#include <utility>

extern "C" {
void* _Block_copy(const void* block);
void _Block_release(const void* block);
}

namespace qv {

template <typename R, typename... A>
using BlockPointer = R (^)(A...);

// One reference to a heap block, given back when the holder goes.
template <typename R, typename... A>
class HeldBlock {
 public:
  HeldBlock() = default;
  // Takes a reference of its own: a stack block is copied to the heap, a heap block retained.
  explicit HeldBlock(BlockPointer<R, A...> block) {
    if (block) block_ = reinterpret_cast<BlockPointer<R, A...>>(_Block_copy(block));
  }
  HeldBlock(const HeldBlock& other) : HeldBlock(other.block_) {}
  HeldBlock(HeldBlock&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  HeldBlock& operator=(HeldBlock other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~HeldBlock() {
    if (block_) _Block_release(block_);
  }

  BlockPointer<R, A...> get() const { return block_; }
  operator BlockPointer<R, A...>() const { return block_; }
  R operator()(A... arguments) const { return block_(arguments...); }

 private:
  BlockPointer<R, A...> block_ = nullptr;
};

// A heap block that runs a copy of the callable; nil for an empty one.
template <typename R, typename... A>
HeldBlock<R, A...> blockOf(const std::function<R(A...)>& callable) {
  if (!callable) return {};
  const std::function<R(A...)> copy = callable;  // the block captures this copy by value
  return HeldBlock<R, A...>(^R(A... arguments) {
    return copy(arguments...);
  });
}

// A callable that holds the block and runs it; empty for nil.
template <typename R, typename... A>
std::function<R(A...)> callableOf(BlockPointer<R, A...> block) {
  if (!block) return {};
  return HeldBlock<R, A...>(block);
}

}  // namespace qv
