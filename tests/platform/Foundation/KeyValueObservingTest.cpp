#include <gtest/gtest.h>
#include <objc/thr.h>

#include <string>
#include <thread>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

struct Subject {
  float progress = 0;
  bool square = false;
  long count = 0;
  Ref<> text;
};

float progress(id self, SEL) {
  return stateOf<Subject>(self).progress;
}
void setProgress(id self, SEL, float value) {
  willChangeValue(self, "progress");
  stateOf<Subject>(self).progress = value;
  notifyObservers(self, "progress");
}
BOOL isSquare(id self, SEL) {
  return stateOf<Subject>(self).square;
}
void setSquare(id self, SEL, BOOL value) {
  stateOf<Subject>(self).square = value;
}
long count(id self, SEL) {
  return stateOf<Subject>(self).count;
}
void setCount(id self, SEL, long value) {
  stateOf<Subject>(self).count = value;
}
id text(id self, SEL) {
  return stateOf<Subject>(self).text;
}
void setText(id self, SEL, id value) {
  stateOf<Subject>(self).text = adopt(send<id>(value, "copy"_sel));
  notifyObservers(self, "text");
}

struct Observer {
  std::string trace;
  std::thread::id thread;
  id removeOnCall = nil;  // an observer to remove from inside the callback
  id observed = nil;
};

void observe(id self, SEL, id keyPath, id object, id change, void* context) {
  auto& state = stateOf<Observer>(self);
  state.thread = std::this_thread::get_id();
  state.trace +=
      utf8(keyPath) + "=" + describe(send<id>(change, "objectForKey:"_sel, NSKeyValueChangeNewKey));
  id old = send<id>(change, "objectForKey:"_sel, NSKeyValueChangeOldKey);
  if (old != nil) state.trace += " old " + describe(old);
  if (context != nullptr) state.trace += " ctx " + std::string(static_cast<const char*>(context));
  state.trace += object == state.observed ? ";" : " (wrong object);";
  if (state.removeOnCall != nil) {
    send(object, "removeObserver:forKeyPath:"_sel, state.removeOnCall, keyPath);
    state.removeOnCall = nil;
  }
}

struct Classes {
  Class subject = ClassBuilder("KVOSubject", NSObjectClass())
                      .state<Subject>()
                      .method("progress", &progress)
                      .method("setProgress:", &setProgress)
                      .method("isSquare", &isSquare)
                      .method("setSquare:", &setSquare)
                      .method("count", &count)
                      .method("setCount:", &setCount)
                      .method("text", &text)
                      .method("setText:", &setText)
                      .registerClass();
  Class observer = ClassBuilder("KVOObserver", NSObjectClass())
                       .state<Observer>()
                       .method("observeValueForKeyPath:ofObject:change:context:", &observe)
                       .registerClass();
};

const Classes& classes() {
  static Classes c;
  return c;
}

class KeyValueObserving : public ::testing::Test {
 protected:
  void SetUp() override {
    subject = make(classes().subject);
    observer = make(classes().observer);
    stateOf<Observer>(observer).observed = subject;
  }
  void observeKey(const char* key, NSUInteger options, void* context = nullptr, id who = nil) {
    send(subject, "addObserver:forKeyPath:options:context:"_sel, who != nil ? who : observer.get(),
         makeString(key).get(), options, context);
  }
  // Observations must end before their objects do, as on the platform.
  void TearDown() override { forgetObservations(subject); }
  std::string& trace() { return stateOf<Observer>(observer).trace; }

  AutoreleasePool pool;
  Ref<> subject;
  Ref<> observer;
};

TEST_F(KeyValueObserving, SettersReportTheNewValueSynchronously) {
  observeKey("progress", NSKeyValueObservingOptionNew);
  send(subject, "setProgress:"_sel, 0.5f);
  EXPECT_EQ(trace(), "progress=0.5;");
  send(subject, "removeObserver:forKeyPath:"_sel, observer.get(), makeString("progress").get());
  send(subject, "setProgress:"_sel, 0.75f);
  EXPECT_EQ(trace(), "progress=0.5;");
  EXPECT_EQ(observationCount(subject), 0u);
}

TEST_F(KeyValueObserving, OnlyTheObservedKeyAndRequestedValuesAreReported) {
  observeKey("text", 0);
  send(subject, "setProgress:"_sel, 1.0f);
  send(subject, "setText:"_sel, makeString("Done").get());
  EXPECT_EQ(trace(), "text=(null);") << "no options: no new value";
  trace().clear();
  static char context[] = "hud";
  observeKey("progress", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, context);
  send(subject, "setProgress:"_sel, 2.0f);
  EXPECT_EQ(trace(), "progress=2 old 1 ctx hud;");
}

TEST_F(KeyValueObserving, ReachesTheObserverOnTheSettersThread) {
  observeKey("progress", NSKeyValueObservingOptionNew);
  std::thread::id setterThread;
  std::thread worker([&] {
    objc_thread_add();
    {
      AutoreleasePool threadPool;
      setterThread = std::this_thread::get_id();
      send(subject, "setProgress:"_sel, 0.25f);
    }
    objc_thread_remove();
  });
  worker.join();
  EXPECT_EQ(trace(), "progress=0.25;");
  EXPECT_EQ(stateOf<Observer>(observer).thread, setterThread);
  EXPECT_NE(setterThread, std::this_thread::get_id());
}

TEST_F(KeyValueObserving, AnObserverRemovedDuringDeliveryIsNotCalled) {
  Ref<> second = make(classes().observer);
  stateOf<Observer>(second).observed = subject;
  observeKey("progress", NSKeyValueObservingOptionNew);
  observeKey("progress", NSKeyValueObservingOptionNew, nullptr, second);
  stateOf<Observer>(observer).removeOnCall = second;
  send(subject, "setProgress:"_sel, 3.0f);
  EXPECT_EQ(trace(), "progress=3;");
  EXPECT_EQ(stateOf<Observer>(second).trace, "");
  send(subject, "removeObserver:forKeyPath:"_sel, observer.get(), makeString("progress").get());
}

TEST_F(KeyValueObserving, ForgettingAnObjectDropsItsObservationsBothWays) {
  Ref<> other = make(classes().subject);
  observeKey("progress", NSKeyValueObservingOptionNew);
  send(other, "addObserver:forKeyPath:options:context:"_sel, subject.get(),
       makeString("text").get(), NSKeyValueObservingOptionNew, static_cast<void*>(nullptr));
  forgetObservations(subject);
  EXPECT_EQ(observationCount(subject), 0u);
  EXPECT_EQ(observationCount(other), 0u) << "the subject no longer observes anything";
}

TEST_F(KeyValueObserving, RemovingAnUnregisteredObserverRaises) {
  try {
    send(subject, "removeObserver:forKeyPath:"_sel, observer.get(), makeString("progress").get());
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.name(), "NSRangeException");
  }
}

TEST_F(KeyValueObserving, ValueForKeyAndSetValueForKeyBoxScalars) {
  send(subject, "setValue:forKey:"_sel, makeNumber(0.5f).get(), makeString("progress").get());
  EXPECT_EQ(stateOf<Subject>(subject).progress, 0.5f);
  send(subject, "setValue:forKey:"_sel, makeNumber(true).get(), makeString("square").get());
  EXPECT_TRUE(stateOf<Subject>(subject).square);
  send(subject, "setValue:forKey:"_sel, makeNumber(42L).get(), makeString("count").get());
  EXPECT_EQ(stateOf<Subject>(subject).count, 42);
  send(subject, "setValue:forKey:"_sel, makeString("hi").get(), makeString("text").get());

  EXPECT_EQ(describe(send<id>(subject, "valueForKey:"_sel, makeString("progress").get())), "0.5");
  EXPECT_TRUE(send<BOOL>(send<id>(subject, "valueForKey:"_sel, makeString("square").get()),
                         "boolValue"_sel));
  EXPECT_EQ(send<long>(send<id>(subject, "valueForKey:"_sel, makeString("count").get()),
                       "integerValue"_sel),
            42);
  EXPECT_EQ(utf8(send<id>(subject, "valueForKey:"_sel, makeString("text").get())), "hi");
}

TEST_F(KeyValueObserving, CodingRefusesUnknownKeysAndNilScalars) {
  try {
    send<id>(subject, "valueForKey:"_sel, makeString("missing").get());
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.name(), "NSUnknownKeyException");
    EXPECT_NE(e.reason().find("not key value coding-compliant for the key missing."),
              std::string::npos);
  }
  EXPECT_THROW(send(subject, "setValue:forKey:"_sel, nil, makeString("progress").get()),
               ObjCException);
  EXPECT_EQ(stateOf<Subject>(subject).progress, 0.0f);
}

}  // namespace
}  // namespace qv
