// Messaging on arm64: one entry point for every return type (no _stret or _fpret variant),
// called through a cast to the exact function type of the method.
#pragma once

#include <objc/objc.h>

#ifdef __cplusplus
extern "C" {
#endif

struct objc_super {
  id receiver;
  Class super_class;  // the class whose method list the search starts at
};

void objc_msgSend(void);
void objc_msgSendSuper(void);

#ifdef __cplusplus
}
#endif
