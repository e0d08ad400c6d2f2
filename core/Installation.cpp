#include "core/Installation.h"

#include "core/Settings.h"
#include "platform/Substrate/Substrate.h"

namespace quorvane {

void logInstallationError(const LibraryIdentity& library, id message) {
  CFLog(kCFLogLevelError, CFSTR("[%s: %s:%d] %s: %@"), library.tag, library.sourceFile,
        library.line, "ERROR", message);
}

namespace {

template <typename... Args>
id stringWithFormat(id format, Args... args) {
  return qv::sendVarargs<id, id>(objc_getClass("NSString"), "stringWithFormat:"_sel, format,
                                 args...);
}

void logNilClass(const LibraryIdentity& library, const char* className) {
  logInstallationError(library, stringWithFormat("logos: nil class %s"_ns, className));
}

void logMessageNotFound(const LibraryIdentity& library, const char* className,
                        const char* selector) {
  logInstallationError(
      library, stringWithFormat("logos: message not found [%s %s]"_ns, className, selector));
}

void installRow(Class cls, const char* className, const MethodHook& row,
                const LibraryIdentity& library) {
  const SEL selector = sel_registerName(row.selector);
  if (row.kind == HookKind::AddedMethod) {
    class_addMethod(cls, selector, row.replacement, row.types);  // no test, no log line
    return;
  }
  Class target = row.kind == HookKind::ClassMethod ? object_getClass(qv::asId(cls)) : cls;
  if (target == Nil) {
    logNilClass(library, className);
  } else if (class_getInstanceMethod(target, selector) != nullptr) {
    MSHookMessageEx(target, selector, row.replacement, row.slot);
  } else {
    logMessageNotFound(library, className, row.selector);
  }
}

}  // namespace

void installHookTable(const HookTable& table, const LibraryIdentity& library) {
  for (const FunctionHook& hook : table.functions) {
    MSHookFunction(hook.function, hook.replacement, hook.slot);
  }
  for (const HookGroup& group : table.groups) {
    Class cls = objc_getClass(group.className);
    for (const MethodHook& row : group.hooks) installRow(cls, group.className, row, library);
  }
}

void startTweak(const HookTable& table, const LibraryIdentity& library) {
  initializeConstants();
  id pool =
      library.autoreleasePool
          ? qv::send<id>(qv::send<id>(objc_getClass("NSAutoreleasePool"), "alloc"_sel), "init"_sel)
          : nil;
  observePreferenceChanges();
  loadPreferences();
  if (settings.EnableSlalom) installHookTable(table, library);
  qv::send(pool, "drain"_sel);
}

}  // namespace quorvane
