// NSURL: file URLs, as media code names the files it reads and writes. The path is the device's
// path; the platform resolves it under the file-system root when a file is opened.
#include <string>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"

namespace qv::foundation {
namespace {

struct URLState {
  std::string path;
};

const std::string& pathOf(id url) {
  return stateOf<URLState>(url).path;
}

Class urlClass();

// +fileURLWithPath: raises for nil, as the platform does.
id fileURLWithPath(id cls, SEL selector, id path) {
  if (path == nil) {
    raise("NSInvalidArgumentException",
          "*** " + methodName(cls, selector) + ": nil string parameter");
  }
  id url = send<id>(cls, "alloc"_sel);
  stateOf<URLState>(url).path = utf8(path);
  return autorelease(url);
}

id path(id self, SEL) {
  return autoreleasedString(pathOf(self));
}

BOOL isFileURL(id, SEL) {
  return YES;
}

id absoluteString(id self, SEL) {
  return autoreleasedString("file://" + pathOf(self));
}

id lastPathComponent(id self, SEL) {
  const std::string& full = pathOf(self);
  const std::size_t slash = full.find_last_of('/');
  return autoreleasedString(slash == std::string::npos ? full : full.substr(slash + 1));
}

BOOL isEqual(id self, SEL, id other) {
  return self == other || (isKindOf(other, urlClass()) && pathOf(other) == pathOf(self));
}

NSUInteger hash(id self, SEL) {
  return std::hash<std::string>{}(pathOf(self));
}

Class urlClass() {
  static const Class cls = ClassBuilder("NSURL", NSObjectClass())
                               .state<URLState>()
                               .classMethod("fileURLWithPath:", &fileURLWithPath)
                               .method("path", &path)
                               .method("isFileURL", &isFileURL)
                               .method("absoluteString", &absoluteString)
                               .method("description", &absoluteString)
                               .method("lastPathComponent", &lastPathComponent)
                               .method("isEqual:", &isEqual)
                               .method("hash", &hash)
                               .method("copyWithZone:", &copyByRetaining)
                               .registerClass();
  return cls;
}

__attribute__((constructor(120))) void registerURLClass() {
  urlClass();
}

}  // namespace
}  // namespace qv::foundation
