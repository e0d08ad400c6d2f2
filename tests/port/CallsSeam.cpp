// A tweak source that sends CFLog's lines elsewhere: the log sink is the simulator's seam, which
// the port contract does not declare.
#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"

void quietLog() {
  qv::setLogSink({});
}
