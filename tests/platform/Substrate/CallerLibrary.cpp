// A separate shared library that calls the replaceable functions, as host code does.
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/MobileGestalt/MobileGestalt.h"

extern "C" __attribute__((visibility("default"))) CMTime callerMakeTime(long value, int scale) {
  return CMTimeMake(value, scale);
}

extern "C" __attribute__((visibility("default"))) BOOL callerAsk(id question) {
  return MGGetBoolAnswer(question);
}
