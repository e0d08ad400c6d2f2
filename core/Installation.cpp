#include "core/Installation.h"

#include <cstdio>
#include <string>

#include "core/Settings.h"
#include "port/Substrate/Substrate.h"

namespace quorvane {

namespace {

// Each line is formatted once, straight into the log, with no string object between: a library
// started in a process that lacks the classes writes one line per missing row.
void logNilClass(const LibraryIdentity& library, const char* className) {
  CFLog(kCFLogLevelError, CFSTR("[%s: %s:%d] ERROR: logos: nil class %s"), library.tag,
        library.sourceFile, library.line, className);
}

void logMessageNotFound(const LibraryIdentity& library, const char* className,
                        const char* selector) {
  CFLog(kCFLogLevelError, CFSTR("[%s: %s:%d] ERROR: logos: message not found [%s %s]"), library.tag,
        library.sourceFile, library.line, className, selector);
}

// A replacement called through another signature than the method's reads garbage registers:
// debug builds stop at the row, in one line that names it. Release builds trust the table and
// never ask for the declared encoding, which costs a runtime call per row at every launch.
template <typename DeclaredTypes>
void checkSignature([[maybe_unused]] const LibraryIdentity& library,
                    [[maybe_unused]] const char* className, [[maybe_unused]] const MethodHook& row,
                    [[maybe_unused]] DeclaredTypes declaredTypes,
                    [[maybe_unused]] const char* whose) {
#ifndef NDEBUG
  const char* declared = declaredTypes();
  if (declared == nullptr || qv::encodingsCompatible(declared, row.signature)) return;
  const char kind = row.kind == HookKind::ClassMethod ? '+' : '-';
  const std::string line = std::string(library.tag) + ": " + kind + "[" + className + " " +
                           row.selector + "] " + whose + " '" + declared +
                           "' but its implementation takes '" + row.signature + "'";
  std::fprintf(stderr, "%s\n", line.c_str());
  throw qv::SignatureMismatch(line);
#endif
}

void installRow(Class cls, const char* className, const MethodHook& row,
                const LibraryIdentity& library) {
  if (row.kind == HookKind::AddedMethod) {
    checkSignature(
        library, className, row, [&row] { return row.types; }, "is added as");
    // no test, no log line
    class_addMethod(cls, sel_registerName(row.selector), row.replacement, row.types);
    return;
  }
  Class target = row.kind == HookKind::ClassMethod ? object_getClass(qv::asId(cls)) : cls;
  if (target == Nil) {
    logNilClass(library, className);  // a missing class needs no selector
    return;
  }
  const SEL selector = sel_registerName(row.selector);
  if (Method method = class_getInstanceMethod(target, selector); method != nullptr) {
    checkSignature(
        library, className, row, [method] { return method_getTypeEncoding(method); },
        "is declared");
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
