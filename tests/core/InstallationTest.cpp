#include "core/Installation.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/System/System.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane {
namespace {

constexpr LibraryIdentity kLibrary{"QuorvaneiOS8", "Tweak", 432, true};

std::string trace;

void stockGreet(id, SEL) {
  trace += "stock;";
}
long stockCount(id, SEL) {
  return 1;
}
id stockMake(id, SEL) {
  return nil;
}

// A host whose classes the tests' own tables hook.
void registerHostClasses() {
  Class host = qv::ClassBuilder("InstallHost", qv::NSObjectClass())
                   .method("greet", &stockGreet)
                   .method("count", &stockCount)
                   .classMethod("make", &stockMake)
                   .registerClass();
  qv::ClassBuilder("InstallChild", host).registerClass();
}

Original<void()> originalHostGreet;
void replacedHostGreet(id self, SEL cmd) {
  trace += "host>";
  originalHostGreet(self, cmd);
}

Original<void()> originalChildGreet;
void replacedChildGreet(id self, SEL cmd) {
  trace += "child>";
  originalChildGreet(self, cmd);
}

Original<long()> originalMissing;
long replacedMissing(id, SEL) {
  return 0;
}

Original<id()> originalMake;
id replacedMake(id self, SEL) {
  return self;
}

void added(id, SEL, unsigned long) {
  trace += "added;";
}

OriginalFunction<CMTime(CMTimeValue, CMTimeScale)> originalTimeMake;
CMTime replacedTimeMake(CMTimeValue value, CMTimeScale) {
  return originalTimeMake(value, 7);
}

struct TestTable {
  std::array<FunctionHook, 1> functions{
      functionHook(&CMTimeMake, &replacedTimeMake, originalTimeMake)};
  std::array<MethodHook, 4> host{instanceHook("greet", &replacedHostGreet, originalHostGreet),
                                 instanceHook("absentSelector", &replacedMissing, originalMissing),
                                 addedMethod<"v@:Q">("hv_extra:", &added),
                                 classHook("make", &replacedMake, originalMake)};
  std::array<MethodHook, 4> missing{instanceHook("greet", &replacedHostGreet, originalHostGreet),
                                    addedMethod<"v@:Q">("hv_extra:", &added),
                                    instanceHook("count", &replacedMissing, originalMissing),
                                    classHook("make", &replacedMake, originalMake)};
  std::array<MethodHook, 1> child{instanceHook("greet", &replacedChildGreet, originalChildGreet)};
  std::array<HookGroup, 3> groups{HookGroup{"InstallHost", host}, HookGroup{"MissingHost", missing},
                                  HookGroup{"InstallChild", child}};
  HookTable table{functions, groups};
};

std::vector<std::string> logged() {
  return qv::processLog();
}

TEST(Installation, EveryRowInOrderWithExactLogLines) {
  qv::test::runForked([] {
    registerHostClasses();
    TestTable t;
    installHookTable(t.table, kLibrary);

    EXPECT_EQ(logged(),
              (std::vector<std::string>{
                  "[QuorvaneiOS8: Tweak:432] ERROR: logos: message not found [InstallHost "
                  "absentSelector]",
                  "[QuorvaneiOS8: Tweak:432] ERROR: logos: nil class MissingHost",
                  "[QuorvaneiOS8: Tweak:432] ERROR: logos: nil class MissingHost",
                  "[QuorvaneiOS8: Tweak:432] ERROR: logos: nil class MissingHost"}));

    trace.clear();
    qv::send(qv::make(objc_getClass("InstallChild")), "greet"_sel);
    qv::send(qv::make(objc_getClass("InstallHost")), "greet"_sel);
    qv::send(qv::make(objc_getClass("InstallHost")), "hv_extra:"_sel, 1UL);
    EXPECT_EQ(trace, "child>host>stock;host>stock;added;");

    Class host = objc_getClass("InstallHost");
    EXPECT_EQ(qv::send<id>(host, "make"_sel), qv::asId(host)) << "the class method is replaced";
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(host, "hv_extra:"_sel)), "v@:Q");
    EXPECT_FALSE(originalMissing.installed()) << "a missing selector leaves its slot alone";
    EXPECT_EQ(CMTimeMake(3, 600).timescale, 7);
    EXPECT_EQ(originalTimeMake(3, 600).timescale, 600);
  });
}

TEST(Installation, StartWithSlalomOffLoadsAndObservesButInstallsNothing) {
  qv::test::runForked([] {
    registerHostClasses();
    qv::test::SandboxRoot root;
    qv::test::Plist file(plist_new_dict());
    plist_dict_set_item(file.get(), "EnableSlalom", plist_new_bool(0));
    plist_dict_set_item(file.get(), "rate", plist_new_real(0.75));
    root.writePlist(qv::test::kSettingsPath, file.get(), qv::test::PlistFormat::Binary);

    TestTable t;
    startTweak(t.table, kLibrary);

    EXPECT_EQ(settings.rate, 0.75f);
    EXPECT_TRUE(logged().empty());
    trace.clear();
    qv::send(qv::make(objc_getClass("InstallHost")), "greet"_sel);
    EXPECT_EQ(trace, "stock;");
    EXPECT_FALSE(class_respondsToSelector(objc_getClass("InstallHost"), "hv_extra:"_sel));
    EXPECT_EQ(CMTimeMake(3, 600).timescale, 600);

    CFNotificationCenterPostNotification(
        CFNotificationCenterGetDarwinNotifyCenter(),
        reinterpret_cast<CFStringRef>(PreferencesChangedNotification), nullptr, nullptr, true);
    qv::MainRunLoop::runUntilIdle();
    EXPECT_EQ(qv::recordedSystemCommands(),
              std::vector<std::string>{"killall Camera MobileSlideShow"});
  });
}

TEST(Installation, StartWithDefaultsInstallsInsideItsOwnPool) {
  qv::test::runForked([] {
    registerHostClasses();
    qv::test::SandboxRoot root;
    TestTable t;
    const std::size_t pending = qv::pendingAutoreleases();
    startTweak(t.table, kLibrary);
    EXPECT_EQ(qv::pendingAutoreleases(), pending) << "the log messages went with the pool";
    EXPECT_EQ(logged().size(), 4u);
    trace.clear();
    qv::send(qv::make(objc_getClass("InstallHost")), "greet"_sel);
    EXPECT_EQ(trace, "host>stock;");
  });
}

#ifndef NDEBUG
// A row whose C++ signature differs from the host method's encoding, or an added row whose
// encoding differs from its implementation, stops installation at that row in one named line.
Original<void(double)> originalGreetWithDouble;
void replacedGreetWithDouble(id, SEL, double) {}
void addedTakingAnObject(id, SEL, id) {}

TEST(Installation, DebugBuildsStopAtARowWhoseSignatureDiffers) {
  qv::test::runForked([] {
    registerHostClasses();
    const std::array<MethodHook, 1> replaced{
        instanceHook("greet", &replacedGreetWithDouble, originalGreetWithDouble)};
    const std::array<HookGroup, 1> replacedGroup{HookGroup{"InstallHost", replaced}};
    EXPECT_THROW(
        {
          try {
            installHookTable(HookTable{{}, replacedGroup}, kLibrary);
          } catch (const qv::SignatureMismatch& mismatch) {
            EXPECT_STREQ(mismatch.what(),
                         "QuorvaneiOS8: -[InstallHost greet] is declared 'v@:' but its "
                         "implementation takes 'v@:d'");
            throw;
          }
        },
        qv::SignatureMismatch);
    EXPECT_FALSE(originalGreetWithDouble.installed());

    // A row written by hand: addedMethod refuses such a pair when it is compiled.
    const std::array<MethodHook, 1> added{MethodHook{HookKind::AddedMethod,
                                                     "hv_take:", qv::toIMP(&addedTakingAnObject),
                                                     nullptr, "v@:Q", "v@:@"}};
    const std::array<HookGroup, 1> addedGroup{HookGroup{"InstallHost", added}};
    EXPECT_THROW(installHookTable(HookTable{{}, addedGroup}, kLibrary), qv::SignatureMismatch);
    EXPECT_FALSE(class_respondsToSelector(objc_getClass("InstallHost"), "hv_take:"_sel));
  });
}
#endif

}  // namespace
}  // namespace quorvane
