// The current drawing context: a stack per thread, as UIKit keeps it.
#include <vector>

#include "platform/UIKit/UIKit.h"

namespace {

struct ContextStack {
  std::vector<CGContextRef> contexts;
  ~ContextStack() {
    for (CGContextRef context : contexts) CGContextRelease(context);
  }
};

ContextStack& stack() {
  thread_local ContextStack contexts;
  return contexts;
}

}  // namespace

CGContextRef UIGraphicsGetCurrentContext() {
  const auto& contexts = stack().contexts;
  return contexts.empty() ? nullptr : contexts.back();
}

void UIGraphicsPushContext(CGContextRef context) {
  // A NULL context is pushed too, so that pushes and pops stay paired.
  stack().contexts.push_back(CGContextRetain(context));
}

void UIGraphicsPopContext() {
  auto& contexts = stack().contexts;
  if (contexts.empty()) return;
  CGContextRelease(contexts.back());
  contexts.pop_back();
}
