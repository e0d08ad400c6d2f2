// Foundation's classes exist from load on, so that hosts and the tweak find them by name as on a
// device; the root class is registered first (priority 101).
#include "platform/Foundation/Classes.h"

namespace qv::foundation {
namespace {

__attribute__((constructor(110))) void registerFoundation() {
  addRootDescriptions();
  stringClass();
  numberClass();
  arrayClass();
  errorClass();
  mutableArrayClass();
  dictionaryClass();
  mutableDictionaryClass();
  dataClass();
  dateClass();
}

}  // namespace

id copyByRetaining(id self, SEL, void*) {
  return retain(self);
}

}  // namespace qv::foundation
