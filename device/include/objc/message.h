// Messaging, called through a cast to the exact function type of the method. arm64 has one
// entry point for every return type; armv7 returns a struct larger than a word through memory,
// with the _stret entry points, which take the result's address before the receiver.
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
#if !defined(__LP64__)
void objc_msgSend_stret(void);
void objc_msgSendSuper_stret(void);
#endif

#ifdef __cplusplus
}
#endif
