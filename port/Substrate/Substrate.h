// The hooking library's interface, as the platform's hooking library offers it.
//
// MSHookMessageEx replaces a method of a class. A method the class defines itself: the slot
// receives the old implementation, then the method takes the replacement. A method the class
// only inherits: the replacement is added to the class itself, so the superclass and sibling
// classes keep theirs, and the slot receives a forwarder that looks the superclass's
// implementation up at every call, so a later hook on the superclass is still reached. A
// selector found nowhere: nothing is written and nothing changes.
//
// MSHookFunction replaces one of the platform's replaceable C functions (declared with
// qv::Replaceable) for every caller in the process, and hands back the previous one.
#pragma once

#include <objc/runtime.h>

extern "C" {
void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result);
void MSHookFunction(void* symbol, void* replacement, void** result);
}
