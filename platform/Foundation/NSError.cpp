// NSError: a domain, a code and a user-info dictionary whose NSLocalizedDescription reads as
// the error's description.
#include <string>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"

namespace qv::foundation {
namespace {

struct ErrorState {
  Ref<> domain;
  NSInteger code = 0;
  Ref<> userInfo;
};

ErrorState& errorOf(id self) {
  return stateOf<ErrorState>(self);
}

id initWithDomain(id self, SEL, id domain, NSInteger code, id userInfo) {
  ErrorState& state = errorOf(self);
  state.domain = adopt(send<id>(domain, "copy"_sel));
  state.code = code;
  state.userInfo = Ref<>(userInfo);
  return self;
}

id errorWithDomain(id cls, SEL, id domain, NSInteger code, id userInfo) {
  return autorelease(send<id>(send<id>(cls, "alloc"_sel), "initWithDomain:code:userInfo:"_sel,
                              domain, code, userInfo));
}

id domain(id self, SEL) {
  return errorOf(self).domain;
}
NSInteger code(id self, SEL) {
  return errorOf(self).code;
}
id userInfo(id self, SEL) {
  return errorOf(self).userInfo;
}

id localizedDescription(id self, SEL) {
  id text =
      send<id>(errorOf(self).userInfo.get(), "objectForKey:"_sel, "NSLocalizedDescription"_ns);
  if (text != nil) return text;
  return autoreleasedString("The operation couldn't be completed. (" + utf8(errorOf(self).domain) +
                            " error " + std::to_string(errorOf(self).code) + ".)");
}

id description(id self, SEL) {
  return autoreleasedString("Error Domain=" + utf8(errorOf(self).domain) +
                            " Code=" + std::to_string(errorOf(self).code) + " \"" +
                            utf8(localizedDescription(self, nullptr)) + "\"");
}

}  // namespace

Class errorClass() {
  static const Class cls = ClassBuilder("NSError", NSObjectClass())
                               .state<ErrorState>("_errorState")
                               .classMethod("errorWithDomain:code:userInfo:", &errorWithDomain)
                               .method("initWithDomain:code:userInfo:", &initWithDomain)
                               .method("domain", &domain)
                               .method("code", &code)
                               .method("userInfo", &userInfo)
                               .method("localizedDescription", &localizedDescription)
                               .method("description", &description)
                               .registerClass();
  return cls;
}

}  // namespace qv::foundation

namespace qv {

Ref<> makeError(const std::string& domain, NSInteger code, const std::string& description) {
  Ref<> info = makeDictionary({{"NSLocalizedDescription"_ns, makeString(description).get()}});
  return adopt(send<id>(send<id>(foundation::errorClass(), "alloc"_sel),
                        "initWithDomain:code:userInfo:"_sel, makeString(domain).get(), code,
                        info.get()));
}

}  // namespace qv
