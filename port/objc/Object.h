// The root class, reference counting, and the builder through which the tweak completes its own
// classes, in one shape on every target. Each backend's ClassBuilder (backend/objc/Object.h)
// offers the same members: a constructor from a name and a superclass, state<State>(ivarName),
// method and classMethod from a C++ function, method with a type string of its own, and
// registerClass.
#pragma once

#include <objc/runtime.h>

#include "backend/objc/Object.h"
#include "port/objc/Encoding.h"
#include "port/objc/Message.h"
#include "port/objc/ObjectState.h"
#include "port/objc/Ref.h"

namespace qv {

// The root class, registered when the platform loads.
Class NSObjectClass();

// alloc + init of a class, as an owning handle.
Ref<> make(Class cls);

bool isKindOf(id object, Class cls);

// The class of that name once its methods are in place; Nil before, also for a class that is
// only declared. Unlike objc_getClass it never makes a class on first lookup.
Class completedClass(const char* name);

// A class the library defines: `make` registers it and returns it, once, under a lock. The
// stand-in runs it the first time code asks for the class by name; the device, where the class
// is declared at build time and registered when the library is mapped, runs it at once.
void makeClassOnFirstLookup(const char* name, Class (*make)());

}  // namespace qv
