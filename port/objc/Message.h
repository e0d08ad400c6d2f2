// Messages as the tweak sends them: selector literals, the typed send helper and calls of saved
// implementations, in one shape on every target.
//
//   send<R>(receiver, selector, args...)    a nil receiver answers a zero R without a message
//   sendSuper<R>(self, definingClass, selector, args...)
//   invoke<R>(imp, self, selector, args...)  a saved implementation, such as a hook's original
//   sendVarargs<R, Fixed...>(receiver, selector, fixed..., rest...)
//
// What is alike lives in MessageBasics.h; how a message travels is the backend's own
// (backend/objc/Message.h, found on the include path): the runtime's lookup and a call on the
// stand-in, casts of objc_msgSend on the device.
#pragma once

#include "backend/objc/Message.h"
#include "port/objc/Encoding.h"
#include "port/objc/MessageBasics.h"
