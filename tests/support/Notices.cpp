#include "tests/support/Notices.h"

#include "platform/Foundation/Foundation.h"

namespace qv::test {

std::vector<std::string> noticesOn(id view) {
  std::vector<std::string> notices;
  id huds = send<id>(objc_getClass("RuvelProgressHUD"), "allHUDsForView:"_sel, view);
  for (id hud : arrayElements(huds)) {
    if (send<id>(hud, "showStarted"_sel) == nil) continue;  // hiding
    notices.push_back(utf8(send<id>(hud, "detailsLabelText"_sel)));
  }
  return notices;
}

}  // namespace qv::test
