// Fuzz target for property-list reading: any bytes must give nil or an object tree, never a
// crash, an abort inside libplist or a sanitizer report. The tree is described as well, which
// walks every nested value.
//
// Build and run: scripts/fuzz.sh (docs/fuzzing.md).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/objc/AutoreleasePool.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::AutoreleasePool pool;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const qv::Ref<> root = qv::foundation::propertyListFromBytes(bytes);
  if (root) qv::describe(root);
  return 0;
}
