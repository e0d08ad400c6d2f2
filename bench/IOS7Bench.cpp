// The iOS 7 library's user-defaults answer where the host asks often: boolForKey: for a key
// other than "PLDebugCowbell" through the replacement, against the stock method on the same
// store (BM_BoolForKeyReplaced against BM_BoolForKeyStock; the target is at most 1.5x).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "bench/ReplacedMessage.h"
#include "ios7/IOS7Hooks.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "platform/System/TemporaryRoot.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/Substrate/Substrate.h"

namespace {

// The shared defaults, with the stock method kept under a second name before the hook.
id defaults() {
  static const id instance = [] {
    // The store's file goes to a root of its own, never the machine's /var.
    static const qv::TemporaryRoot root = qv::TemporaryRoot::orAbort("quorvane-bench-");
    qv::setFileSystemRoot(root.path());
    qv::registerUserDefaults("com.example.bench");
    Class cls = objc_getClass("NSUserDefaults");
    const Method stock = class_getInstanceMethod(cls, "boolForKey:"_sel);
    class_addMethod(cls, "stockBoolForKey:"_sel, method_getImplementation(stock),
                    method_getTypeEncoding(stock));
    MSHookMessageEx(cls, "boolForKey:"_sel,
                    qv::toIMP(&quorvane::NSUserDefaults::replaced_boolForKey_),
                    quorvane::NSUserDefaults::original_boolForKey_.slot());
    id shared = qv::send<id>(cls, "standardUserDefaults"_sel);
    qv::send(shared, "setBool:forKey:"_sel, BOOL{YES}, "ShowGrid"_ns);
    return shared;
  }();
  return instance;
}

void askBool(benchmark::State& state, SEL selector) {
  qv::bench::sendEachIteration<BOOL>(state, defaults(), selector, "ShowGrid"_ns);
}

const bool boolForKeyPair = qv::bench::registerStockAndReplaced(
    "BM_BoolForKeyStock", "stockBoolForKey:", "BM_BoolForKeyReplaced", "boolForKey:", &askBool);

}  // namespace
