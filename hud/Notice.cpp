#include "hud/Notice.h"

#include <cmath>
#include <limits>
#include <utility>

#include "hud/RuvelProgressHUD.h"
#include "port/UIKit/UIKit.h"
#include "port/dispatch/dispatch.h"
#include "port/objc/AutoreleasePool.h"

namespace quorvane {
namespace {

using qv::send;

// -2^63 and 2^63 are exact doubles; the products between them convert without overflow.
constexpr double kInt64Bound = 9223372036854775808.0;

id color(SEL name) {
  return send<id>(objc_getClass("UIColor"), name);
}

}  // namespace

std::int64_t noticeDelay(double seconds) {
  const double nanoseconds = seconds * 1e9;
  if (std::isnan(nanoseconds)) return 0;
  if (nanoseconds >= kInt64Bound) return std::numeric_limits<std::int64_t>::max();
  if (nanoseconds < -kInt64Bound) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(nanoseconds);
}

void showNotice(id view, id title, id message, std::function<void()> completion, double seconds) {
  qv::AutoreleasePool pool;
  Class hudClass = objc_getClass("RuvelProgressHUD");
  id hud = send<id>(hudClass, "showHUDAddedTo:animated:"_sel, view, BOOL{YES});
  send(hud, "setMargin:"_sel, 15.0f);
  send(hud, "setColor:"_sel, color("whiteColor"_sel));
  send(hud, "setLabelColor:"_sel, color("blackColor"_sel));
  send(hud, "setDetailsLabelColor:"_sel, color("blackColor"_sel));
  send(hud, "setMode:"_sel, int{RuvelProgressHUDModeTextOnly});
  send(hud, "setLabelText:"_sel, title);
  send(hud, "setDetailsLabelText:"_sel, message);
  send(hud, "setRemoveFromSuperViewOnHide:"_sel, BOOL{YES});
  const dispatch_time_t deadline = dispatch_time(DISPATCH_TIME_NOW, noticeDelay(seconds));
  dispatch_after(deadline, dispatch_get_main_queue(),
                 [hudClass, view = qv::Ref<>(view), completion = std::move(completion)] {
                   send<NSUInteger>(hudClass, "hideAllHUDsForView:animated:"_sel, view.get(),
                                    BOOL{YES});
                   if (completion) completion();
                 });
}

}  // namespace quorvane
