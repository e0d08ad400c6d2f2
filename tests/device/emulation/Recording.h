// What the library does to the platform, recorded as the case file's events, in order. The
// executable defines the hooking functions, class_addMethod and the observer registration
// itself, so the linked tweak reaches these first; each records, then calls the platform's own.
#pragma once

#include <objc/runtime.h>

#include <string>
#include <vector>

#include "port/CoreFoundation/CoreFoundation.h"

namespace quorvane::emulation {

// Starts recording: installs the log and `system` seams and wraps dictionaryWithContentsOfFile:.
// Calls made before it (the host's own set-up) are not events.
void startRecording();

void record(const std::string& event);

// While one lives, the hooking functions and class_addMethod record nothing: the platform's
// and the reference's own calls are no events of the library's.
struct NotRecorded {
  NotRecorded();
  ~NotRecorded();
  NotRecorded(const NotRecorded&) = delete;
  NotRecorded& operator=(const NotRecorded&) = delete;
};
std::vector<std::string> recordedEvents();
std::vector<std::string> recordedHudMethods();

// The platform function's name: MGGetBoolAnswer, CMTimeMake, or what the dynamic linker knows.
std::string functionName(void* function);

// A method hook as MSHookMessageEx received it, or nullptr when none was made.
struct MethodHookCall {
  IMP replacement;
  IMP* slot;
};
const MethodHookCall* methodHookOf(const char* className, bool meta, const char* selector);

// The replacement handed to MSHookFunction for the platform function of that name.
void* functionHookOf(const std::string& name);

// The callback the library registered for the notification name.
CFNotificationCallback observerOf(const std::string& name);

// Puts the stock behaviour in a function hook's slot; defined with the calls (Calls.cpp).
void wrapFunctionSlot(const std::string& name, void** slot);

}  // namespace quorvane::emulation
