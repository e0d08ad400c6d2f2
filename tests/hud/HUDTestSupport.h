// What the HUD tests share: the class, a parent view on a drained run loop, a trace of the
// HUD's steps, and shorthands for frames and the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hud/RuvelProgressHUD.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace quorvane::test {

// Steps recorded by the traced HUD subclass and the recording delegate, as "step;step;".
std::string& trace();

// A RuvelProgressHUD subclass that records show, hide, done and removal before doing them.
Class tracedHUDClass();

// An object whose hudWasHidden: records "delegate;".
Class recordingDelegateClass();

qv::Ref<> makeView(CGRect frame, Class cls = objc_getClass("UIView"));
qv::Ref<> makeHUD(id view, Class cls = objc_getClass("RuvelProgressHUD"));
// A traced HUD added to the view, with the trace cleared of its construction.
qv::Ref<> addTracedHUD(id view);
qv::Ref<> makeString(const char* text);

// The view's children, back to front.
std::vector<id> childrenOf(id view);
CGRect frameOf(id view);

// Seconds of virtual time since the test began.
double elapsed();
void runFor(double seconds);
// Runs due work until nothing is waiting, however far ahead it lies.
void drainRunLoop();

class HUDTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  qv::AutoreleasePool pool;
  qv::Ref<> parent;  // 320 × 480
};

}  // namespace quorvane::test
