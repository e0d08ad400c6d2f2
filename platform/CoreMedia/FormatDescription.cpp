// Video format descriptions: runtime objects that carry a format's dimensions.
#include <objc/runtime.h>

#include "platform/CoreMedia/CoreMedia.h"
#include "platform/objc/Object.h"

namespace {

struct FormatDescriptionState {
  CMVideoDimensions dimensions{0, 0};
};

Class formatDescriptionClass() {
  static const Class cls = qv::ClassBuilder("CMFormatDescription", qv::NSObjectClass())
                               .state<FormatDescriptionState>()
                               .registerClass();
  return cls;
}

id asObject(CMFormatDescriptionRef description) {
  return reinterpret_cast<id>(description);
}

__attribute__((constructor(140))) void registerFormatDescriptionClass() {
  formatDescriptionClass();
}

}  // namespace

CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description) {
  id object = asObject(description);
  if (!qv::isKindOf(object, formatDescriptionClass())) return {0, 0};
  return qv::stateOf<FormatDescriptionState>(object).dimensions;
}

namespace qv {

Ref<opaqueCMFormatDescription> makeVideoFormatDescription(CMVideoDimensions dimensions) {
  id object = make(formatDescriptionClass()).leak();
  stateOf<FormatDescriptionState>(object).dimensions = dimensions;
  return adopt(reinterpret_cast<CMFormatDescriptionRef>(object));
}

}  // namespace qv
