// UIDevice: the device the app runs on, as far as apps ask it: its interface idiom and model.
#include <atomic>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

std::atomic<NSInteger> interfaceIdiom{UIUserInterfaceIdiomPhone};

NSInteger userInterfaceIdiom(id, SEL) {
  return interfaceIdiom.load(std::memory_order_relaxed);
}

id model(id, SEL) {
  return interfaceIdiom.load(std::memory_order_relaxed) == UIUserInterfaceIdiomPad ? "iPad"_ns
                                                                                   : "iPhone"_ns;
}

Class deviceClass() {
  static const Class cls = ClassBuilder("UIDevice", NSObjectClass())
                               .classMethod("currentDevice", &sharedInstance<&deviceClass>)
                               .method("userInterfaceIdiom", &userInterfaceIdiom)
                               .method("model", &model)
                               .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerDevice() {
  deviceClass();
}

}  // namespace

void setInterfaceIdiom(NSInteger idiom) {
  interfaceIdiom.store(idiom, std::memory_order_relaxed);
}

}  // namespace qv::ui
