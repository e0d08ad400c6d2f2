// RuvelProgressHUD: the class itself — its properties, construction and destruction, and the
// class-level operations that find, show and hide HUDs on a view. Showing, hiding, tasks and
// observation are in HUDLifecycle.cpp; labels, indicators, layout, drawing and orientation in
// HUDLayout.cpp.
#include "hud/RuvelProgressHUD.h"

#include <array>
#include <utility>
#include <vector>

#include "core/Export.h"
#include "hud/HUDState.h"
#include "port/UIKit/UIKit.h"
#include "port/objc/AutoreleasePool.h"

// The runtime's convention for a class a library exports.
extern "C" QV_EXPORT const char __objc_class_name_RuvelProgressHUD = 0;

namespace quorvane::hud {
namespace {

// Where a failed precondition of initWithView: is reported from.
constexpr long kViewCheckLine = 214;

// Property accessors. Scalars are plain loads and stores; objects and sizes go through the lock;
// every setter then tells the key's observers. Each property is named once, by its key: the
// getter is the key and the setter "setKey:", so a misspelt selector cannot part a setter from
// its observers.

// "mode" gives "setMode:".
template <Key K>
constexpr auto setterNameOf() {
  constexpr std::size_t length = sizeof(K.text) - 1;
  std::array<char, length + 5> name{'s', 'e', 't'};
  const char first = K.text[0];
  name[3] = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
  for (std::size_t i = 1; i < length; ++i) name[3 + i] = K.text[i];
  name[length + 3] = ':';
  return name;
}
template <Key K>
inline constexpr auto kSetterName = setterNameOf<K>();

template <Key K, typename Getter, typename Setter>
void addAccessors(qv::ClassBuilder& b, Getter getter, Setter setter,
                  const char* getterName = K.text) {
  b.method(getterName, getter).method(kSetterName<K>.data(), setter);
}

template <typename>
struct AtomicField;
template <typename T>
struct AtomicField<std::atomic<T> HUDState::*> {
  using type = T;
};
template <auto Field>
using FieldType = typename AtomicField<decltype(Field)>::type;

template <auto Field>
FieldType<Field> getScalar(id self, SEL) {
  return load(hudState(self).*Field);
}

template <auto Field, Key K>
void setScalar(id self, SEL, FieldType<Field> value) {
  (hudState(self).*Field).store(value, std::memory_order_relaxed);
  qv::notifyObservers(self, K.text);
}

// As an atomic getter does on the platform, the value outlives a concurrent set: the caller's
// pool holds it.
template <Ref<> HUDState::*Field>
id getObject(id self, SEL) {
  return qv::autorelease(objectOf(self, Field).leak());
}

template <Ref<> HUDState::*Field, Key K>
void setRetained(id self, SEL, id value) {
  storeObject(self, Field, Ref<>(value));
  qv::notifyObservers(self, K.text);
}

template <Ref<> HUDState::*Field, Key K>
void setCopied(id self, SEL, id value) {
  storeObject(self, Field, qv::adopt(send<id>(value, "copy"_sel)));
  qv::notifyObservers(self, K.text);
}

template <CGSize HUDState::*Field>
CGSize getSize(id self, SEL) {
  return sizeOf(self, Field);
}

template <CGSize HUDState::*Field, Key K>
void setSize(id self, SEL, CGSize value) {
  storeSize(self, Field, value);
  qv::notifyObservers(self, K.text);
}

template <std::function<void()> HUDState::*Field>
std::function<void()> getBlock(id self, SEL) {
  HUDState& s = hudState(self);
  std::lock_guard guard(s.lock);
  return s.*Field;
}

template <std::function<void()> HUDState::*Field, Key K>
void setBlock(id self, SEL, std::function<void()> block) {
  HUDState& s = hudState(self);
  {
    std::lock_guard guard(s.lock);
    std::swap(s.*Field, block);
  }
  qv::notifyObservers(self, K.text);
}  // the old callable, and what it captured, go here, after the lock

// A reference the HUD does not own, such as its delegate.
template <id HUDState::*Field>
id getAssigned(id self, SEL) {
  HUDState& s = hudState(self);
  std::lock_guard guard(s.lock);
  return s.*Field;
}

template <id HUDState::*Field, Key K>
void setAssigned(id self, SEL, id value) {
  HUDState& s = hudState(self);
  {
    std::lock_guard guard(s.lock);
    s.*Field = value;
  }
  qv::notifyObservers(self, K.text);
}

template <auto Field, Key K>
void addScalar(qv::ClassBuilder& b, const char* getterName = K.text) {
  addAccessors<K>(b, &getScalar<Field>, &setScalar<Field, K>, getterName);
}

template <Ref<> HUDState::*Field, Key K>
void addRetained(qv::ClassBuilder& b) {
  addAccessors<K>(b, &getObject<Field>, &setRetained<Field, K>);
}

template <Ref<> HUDState::*Field, Key K>
void addCopied(qv::ClassBuilder& b) {
  addAccessors<K>(b, &getObject<Field>, &setCopied<Field, K>);
}

template <id HUDState::*Field, Key K>
void addAssigned(qv::ClassBuilder& b) {
  addAccessors<K>(b, &getAssigned<Field>, &setAssigned<Field, K>);
}

template <std::function<void()> HUDState::*Field, Key K>
void addBlock(qv::ClassBuilder& b) {
  addAccessors<K>(b, &getBlock<Field>, &setBlock<Field, K>);
}

template <CGSize HUDState::*Field, Key K>
void addSize(qv::ClassBuilder& b) {
  addAccessors<K>(b, &getSize<Field>, &setSize<Field, K>);
}

void addProperties(qv::ClassBuilder& b) {
  using S = HUDState;
  addBlock<&S::completionBlock, "completionBlock">(b);
  addScalar<&S::mode, "mode">(b);
  addScalar<&S::animationType, "animationType">(b);
  addRetained<&S::customView, "customView">(b);
  addAssigned<&S::delegate, "delegate">(b);
  addCopied<&S::labelText, "labelText">(b);
  addCopied<&S::detailsLabelText, "detailsLabelText">(b);
  addScalar<&S::opacity, "opacity">(b);
  addRetained<&S::color, "color">(b);
  addScalar<&S::xOffset, "xOffset">(b);
  addScalar<&S::yOffset, "yOffset">(b);
  addScalar<&S::margin, "margin">(b);
  addScalar<&S::cornerRadius, "cornerRadius">(b);
  addScalar<&S::dimBackground, "dimBackground">(b);
  addScalar<&S::graceTime, "graceTime">(b);
  addScalar<&S::minShowTime, "minShowTime">(b);
  addScalar<&S::taskInProgress, "taskInProgress">(b);
  addScalar<&S::removeFromSuperViewOnHide, "removeFromSuperViewOnHide">(b);
  addRetained<&S::labelFont, "labelFont">(b);
  addRetained<&S::labelColor, "labelColor">(b);
  addRetained<&S::detailsLabelFont, "detailsLabelFont">(b);
  addRetained<&S::detailsLabelColor, "detailsLabelColor">(b);
  addRetained<&S::activityIndicatorColor, "activityIndicatorColor">(b);
  addScalar<&S::progress, "progress">(b);
  addSize<&S::minSize, "minSize">(b);
  b.method("size", &getSize<&S::size>);
  addScalar<&S::square, "square">(b, "isSquare");
  // Private properties.
  addRetained<&S::indicator, "indicator">(b);
  addRetained<&S::graceTimer, "graceTimer">(b);
  addRetained<&S::minShowTimer, "minShowTimer">(b);
  addRetained<&S::showStarted, "showStarted">(b);
}

// Construction and destruction.

id colorNamed(SEL name) {
  return send<id>(objc_getClass("UIColor"), name);
}

id boldSystemFont(CGFloat size) {
  return send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, size);
}

void setDefaults(id self) {
  send(self, "setAnimationType:"_sel, int{RuvelProgressHUDAnimationFade});
  send(self, "setMode:"_sel, int{RuvelProgressHUDModeActivity});
  send(self, "setLabelText:"_sel, nil);
  send(self, "setDetailsLabelText:"_sel, nil);
  send(self, "setOpacity:"_sel, 0.8f);
  send(self, "setColor:"_sel, nil);
  send(self, "setLabelFont:"_sel, boldSystemFont(16));
  send(self, "setLabelColor:"_sel, colorNamed("whiteColor"_sel));
  send(self, "setDetailsLabelFont:"_sel, boldSystemFont(12));
  send(self, "setDetailsLabelColor:"_sel, colorNamed("whiteColor"_sel));
  send(self, "setActivityIndicatorColor:"_sel, colorNamed("whiteColor"_sel));
  send(self, "setXOffset:"_sel, 0.0f);
  send(self, "setYOffset:"_sel, 0.0f);
  send(self, "setDimBackground:"_sel, BOOL{NO});
  send(self, "setMargin:"_sel, 20.0f);
  send(self, "setCornerRadius:"_sel, 10.0f);
  send(self, "setGraceTime:"_sel, 0.0f);
  send(self, "setMinShowTime:"_sel, 0.0f);
  send(self, "setRemoveFromSuperViewOnHide:"_sel, BOOL{NO});
  send(self, "setMinSize:"_sel, CGSizeZero);
  send(self, "setSquare:"_sel, BOOL{NO});
}

void setViewDefaults(id self) {
  send(self, "setContentMode:"_sel, NSInteger{UIViewContentModeCenter});
  send(self, "setAutoresizingMask:"_sel,
       NSUInteger{UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                  UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin});
  send(self, "setOpaque:"_sel, BOOL{NO});
  send(self, "setBackgroundColor:"_sel, colorNamed("clearColor"_sel));
  send(self, "setAlpha:"_sel, CGFloat{0});
}

id initWithFrame(id self, SEL, CGRect frame) {
  self = qv::sendSuper<id>(self, hudClass(), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  qv::AutoreleasePool pool;  // the fonts and colours asked for here
  setDefaults(self);
  setViewDefaults(self);
  HUDState& s = hudState(self);
  s.taskInProgress.store(NO, std::memory_order_relaxed);
  s.rotationTransform = CGAffineTransformIdentity;
  send(self, "setupLabels"_sel);
  send(self, "updateIndicators"_sel);
  send(self, "registerForKVO"_sel);
  send(self, "registerForNotifications"_sel);
  s.registered = true;
  return self;
}

id initWithView(id self, SEL cmd, id view) {
  if (view == nil) {
    // The handler raises. The half-made HUD is released as the exception leaves, after the
    // handler has named it in its report.
    Ref<> halfMade = qv::adopt(self);
    id handler = send<id>(objc_getClass("NSAssertionHandler"), "currentHandler"_sel);
    qv::sendVarargs<void, SEL, id, id, long, id>(
        handler, "handleFailureInMethod:object:file:lineNumber:description:"_sel, cmd, self,
        "../RuvelProgressHUD"_ns, kViewCheckLine, "View must not be nil."_ns);
    return nil;  // a handler that returns instead of raising still leaves no HUD
  }
  return send<id>(self, "initWithFrame:"_sel, send<CGRect>(view, "bounds"_sel));
}

void dealloc(id self, SEL) {
  if (hudState(self).registered) {
    send(self, "unregisterFromNotifications"_sel);
    send(self, "unregisterFromKVO"_sel);
  }
  // The retained and copied values go with the state, after the base view.
  qv::sendSuper(self, hudClass(), "dealloc"_sel);
}

// Class-level operations.

id showHUDAddedTo(id cls, SEL, id view, BOOL animated) {
  Ref<> hud = qv::adopt(send<id>(send<id>(cls, "alloc"_sel), "initWithView:"_sel, view));
  send(hud, "setRemoveFromSuperViewOnHide:"_sel, BOOL{YES});
  send(view, "addSubview:"_sel, hud.get());
  send(hud, "show:"_sel, animated);
  return hud;  // the view owns it now
}

// The view's children, back to front, held by the caller.
std::vector<Ref<>> childrenOf(id view) {
  qv::AutoreleasePool pool;
  std::vector<Ref<>> children;
  for (id child : qv::arrayElements(send<id>(view, "subviews"_sel))) children.emplace_back(child);
  return children;
}

id hudForView(id cls, SEL, id view) {
  const std::vector<Ref<>> children = childrenOf(view);
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    if (qv::isKindOf(*child, reinterpret_cast<Class>(cls))) return *child;  // the view owns it
  }
  return nil;
}

id allHUDsForView(id cls, SEL, id view) {
  std::vector<id> huds;
  const std::vector<Ref<>> children = childrenOf(view);
  for (const Ref<>& child : children) {
    if (qv::isKindOf(child, reinterpret_cast<Class>(cls))) huds.push_back(child);
  }
  return qv::autorelease(qv::makeArray(huds).leak());
}

// Sets the HUD to leave its view and hides it; the caller holds it until the hide returns.
void hideAndRemove(const Ref<>& hud, BOOL animated) {
  send(hud, "setRemoveFromSuperViewOnHide:"_sel, BOOL{YES});
  send(hud, "hide:"_sel, animated);
}

BOOL hideHUDForView(id cls, SEL, id view, BOOL animated) {
  Ref<> hud(send<id>(cls, "HUDForView:"_sel, view));
  if (!hud) return NO;
  hideAndRemove(hud, animated);
  return YES;
}

NSUInteger hideAllHUDsForView(id, SEL, id view, BOOL animated) {
  std::vector<Ref<>> huds;
  {
    qv::AutoreleasePool pool;
    for (id hud : qv::arrayElements(send<id>(hudClass(), "allHUDsForView:"_sel, view))) {
      huds.emplace_back(hud);
    }
  }
  for (const Ref<>& hud : huds) hideAndRemove(hud, animated);
  return huds.size();
}

Class buildClass() {
  qv::ClassBuilder builder("RuvelProgressHUD", objc_getClass("UIView"));
  builder.state<HUDState>("_hudState")
      .method("initWithFrame:", &initWithFrame)
      .method("initWithView:", &initWithView)
      .method("initWithWindow:", &initWithView)
      .method("dealloc", &dealloc)
      .classMethod("showHUDAddedTo:animated:", &showHUDAddedTo)
      .classMethod("hideHUDForView:animated:", &hideHUDForView)
      .classMethod("hideAllHUDsForView:animated:", &hideAllHUDsForView)
      .classMethod("HUDForView:", &hudForView)
      .classMethod("allHUDsForView:", &allHUDsForView);
  addProperties(builder);
  addLifecycleMethods(builder);
  addLayoutMethods(builder);
  return builder.registerClass();
}

Class registeredClass = Nil;

}  // namespace

HUDState& hudState(id hud) {
  return qv::stateOf<HUDState>(hud);
}

Ref<> objectOf(id hud, Ref<> HUDState::*field) {
  HUDState& s = hudState(hud);
  std::lock_guard guard(s.lock);
  return s.*field;
}

void storeObject(id hud, Ref<> HUDState::*field, Ref<> value) {
  HUDState& s = hudState(hud);
  std::lock_guard guard(s.lock);
  std::swap(s.*field, value);
}  // the old value is released here, after the lock

CGSize sizeOf(id hud, CGSize HUDState::*field) {
  HUDState& s = hudState(hud);
  std::lock_guard guard(s.lock);
  return s.*field;
}

void storeSize(id hud, CGSize HUDState::*field, CGSize value) {
  HUDState& s = hudState(hud);
  std::lock_guard guard(s.lock);
  s.*field = value;
}

Class hudClass() {
  return registeredClass;
}

}  // namespace quorvane::hud

namespace quorvane {

Class registerRuvelProgressHUD() {
  // Not objc_getClass, which could come back here to make it; and a class that is only
  // declared (as the device's library declares it) still needs its methods.
  if (Class existing = qv::completedClass("RuvelProgressHUD")) return existing;
  hud::registeredClass = hud::buildClass();
  return hud::registeredClass;
}

}  // namespace quorvane
