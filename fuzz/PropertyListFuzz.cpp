// Fuzz target for property-list reading: any bytes must give nil or an object tree, never a
// crash, an abort inside libplist or a sanitizer report. The tree is described as well, which
// walks every nested value.
//
// Built apart from the default build, with clang's libFuzzer, from the repository root:
//
//   mkdir -p build/fuzz && clang++ -std=c++20 -g -O1 \
//     -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
//     -I. -isystem /usr/lib/gcc/x86_64-linux-gnu/12/include fuzz/PropertyListFuzz.cpp \
//     platform/{objc,System,dispatch,Foundation}/*.cpp \
//     -L/usr/lib/gcc/x86_64-linux-gnu/12 -lobjc $(pkg-config --cflags --libs libplist-2.0) \
//     -o build/fuzz/PropertyListFuzz
//
// and run, with a corpus folder seeded by any .plist files:
//
//   LSAN_OPTIONS=suppressions=tests/lsan.supp:fast_unwind_on_malloc=0 \
//     build/fuzz/PropertyListFuzz -max_len=4096 build/fuzz/corpus
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
