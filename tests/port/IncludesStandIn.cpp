// A tweak source that includes the stand-in's own CoreFoundation header, which the tweak's
// include path does not reach.
#include "platform/CoreFoundation/CoreFoundation.h"
