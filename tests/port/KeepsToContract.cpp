// A tweak source that logs and messages through the port contract alone.
#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"
#include "port/objc/Message.h"

void logDescription(id object) {
  CFLog(kCFLogLevelNotice, CFSTR("%@"), qv::send<id>(object, "description"_sel));
}
