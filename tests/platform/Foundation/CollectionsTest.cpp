#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/Foundation/Foundation.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

// A value that counts its deallocations; equal by tag, and copies are new objects.
int deallocations = 0;

struct Tag {
  int value = 0;
};

void countedDealloc(id self, SEL) {
  ++deallocations;
  sendSuper(self, objc_getClass("CountedValue"), "dealloc"_sel);
}
BOOL countedIsEqual(id self, SEL, id other) {
  return isKindOf(other, object_getClass(self)) &&
         stateOf<Tag>(self).value == stateOf<Tag>(other).value;
}
NSUInteger countedHash(id self, SEL) {
  return static_cast<NSUInteger>(stateOf<Tag>(self).value);
}
id countedCopy(id self, SEL, void*);
id countedDescription(id self, SEL) {
  return send<id>(objc_getClass("NSString"), "stringWithUTF8String:"_sel,
                  std::string("#").append(std::to_string(stateOf<Tag>(self).value)).c_str());
}

Class countedClass() {
  static const Class cls = ClassBuilder("CountedValue", NSObjectClass())
                               .state<Tag>()
                               .method("dealloc", &countedDealloc)
                               .method("isEqual:", &countedIsEqual)
                               .method("hash", &countedHash)
                               .method("copyWithZone:", &countedCopy)
                               .method("description", &countedDescription)
                               .registerClass();
  return cls;
}

Ref<> counted(int tag) {
  Ref<> value = make(countedClass());
  stateOf<Tag>(value).value = tag;
  return value;
}

id countedCopy(id self, SEL, void*) {
  return counted(stateOf<Tag>(self).value).leak();
}

Class cls(const char* name) {
  return objc_getClass(name);
}

class CollectionsTest : public ::testing::Test {
 protected:
  CollectionsTest() { deallocations = 0; }
  AutoreleasePool pool_;
};

std::string exceptionName(const std::function<void()>& body) {
  try {
    body();
  } catch (const ObjCException& e) {
    return e.name();
  }
  return "none";
}

TEST_F(CollectionsTest, ArraysRetainTheirElementsAndReleaseThemOnce) {
  Ref<> a = counted(1);
  Ref<> b = counted(2);
  {
    Ref<> array = makeArray({a, b, a});
    EXPECT_EQ(retainCount(a), 3u);
    EXPECT_EQ(retainCount(b), 2u);
    Ref<> copy = adopt(send<id>(array, "copy"_sel));
    EXPECT_EQ(copy.get(), array.get());
    Ref<> mutableCopy = adopt(send<id>(array, "mutableCopy"_sel));
    EXPECT_EQ(retainCount(a), 5u);
  }
  EXPECT_EQ(retainCount(a), 1u);
  EXPECT_EQ(retainCount(b), 1u);
  EXPECT_EQ(deallocations, 0);
}

TEST_F(CollectionsTest, ANilElementRaisesAndLeaksNothing) {
  Ref<> a = counted(1);
  const id objects[] = {a, nil};
  EXPECT_EQ(exceptionName([&] {
              send<id>(cls("NSArray"), "arrayWithObjects:count:"_sel, objects, NSUInteger(2));
            }),
            "NSInvalidArgumentException");
  EXPECT_EQ(retainCount(a), 1u);
  EXPECT_EQ(exceptionName([&] { send<id>(cls("NSArray"), "arrayWithObject:"_sel, id{nil}); }),
            "NSInvalidArgumentException");
}

TEST_F(CollectionsTest, ArrayQueries) {
  Ref<> array = makeArray({"EnableSlalom"_ns, "rate"_ns, "aFPS"_ns});
  EXPECT_EQ(send<NSUInteger>(array, "count"_sel), 3u);
  EXPECT_EQ(send<id>(array, "objectAtIndex:"_sel, NSUInteger(1)), "rate"_ns);
  EXPECT_EQ(send<id>(array, "objectAtIndexedSubscript:"_sel, NSUInteger(2)), "aFPS"_ns);
  EXPECT_EQ(send<id>(array, "firstObject"_sel), "EnableSlalom"_ns);
  EXPECT_EQ(send<id>(array, "lastObject"_sel), "aFPS"_ns);
  Ref<> equalText = makeString("aFPS");
  EXPECT_EQ(send<NSUInteger>(array, "indexOfObject:"_sel, equalText.get()), 2u);
  EXPECT_EQ(send<NSUInteger>(array, "indexOfObject:"_sel, "mailMax"_ns), NSNotFound);
  EXPECT_EQ(NSNotFound, static_cast<NSUInteger>(LONG_MAX));
  EXPECT_TRUE(send<BOOL>(array, "containsObject:"_sel, equalText.get()));
  EXPECT_FALSE(send<BOOL>(array, "containsObject:"_sel, id{nil}));
  id empty = send<id>(cls("NSArray"), "array"_sel);
  EXPECT_EQ(send<id>(empty, "firstObject"_sel), nil);
  EXPECT_EQ(send<id>(empty, "lastObject"_sel), nil);
  Ref<> same = makeArray({makeString("EnableSlalom"), "rate"_ns, equalText});
  EXPECT_TRUE(send<BOOL>(array, "isEqual:"_sel, same.get()));
  EXPECT_FALSE(send<BOOL>(array, "isEqual:"_sel, makeArray({"rate"_ns}).get()));
}

TEST_F(CollectionsTest, IndexesOutOfRangeRaiseRangeExceptions) {
  Ref<> array = makeArray({"a"_ns, "b"_ns});
  try {
    send<id>(array, "objectAtIndex:"_sel, NSUInteger(2));
    FAIL() << "no exception";
  } catch (const ObjCException& e) {
    EXPECT_EQ(e.name(), "NSRangeException");
    EXPECT_EQ(e.reason(), "*** -[NSArray objectAtIndex:]: index 2 beyond bounds [0 .. 1]");
  }
  id empty = send<id>(cls("NSMutableArray"), "array"_sel);
  EXPECT_EQ(exceptionName([&] { send<id>(empty, "objectAtIndexedSubscript:"_sel, NSUInteger(0)); }),
            "NSRangeException");
  EXPECT_EQ(exceptionName([&] { send(empty, "removeLastObject"_sel); }), "NSRangeException");
  EXPECT_EQ(exceptionName([&] { send(empty, "removeObjectAtIndex:"_sel, NSUInteger(0)); }),
            "NSRangeException");
  EXPECT_EQ(exceptionName([&] { send(empty, "insertObject:atIndex:"_sel, "x"_ns, NSUInteger(1)); }),
            "NSRangeException");
}

std::vector<int> tags(id array) {
  std::vector<int> values;
  for (id item : arrayElements(array)) values.push_back(stateOf<Tag>(item).value);
  return values;
}

TEST_F(CollectionsTest, MutableArraysAddInsertAndRemove) {
  Ref<> array = adopt(send<id>(send<id>(cls("NSMutableArray"), "alloc"_sel), "init"_sel));
  Ref<> one = counted(1);
  send(array, "addObject:"_sel, one.get());
  send(array, "addObject:"_sel, counted(2).get());
  send(array, "insertObject:atIndex:"_sel, counted(0).get(), NSUInteger(0));
  send(array, "insertObject:atIndex:"_sel, counted(1).get(), NSUInteger(3));
  EXPECT_EQ(tags(array), (std::vector<int>{0, 1, 2, 1}));
  EXPECT_EQ(deallocations, 0);
  // Every equal element goes, and each is released.
  Ref<> alsoOne = counted(1);
  send(array, "removeObject:"_sel, alsoOne.get());
  EXPECT_EQ(tags(array), (std::vector<int>{0, 2}));
  EXPECT_EQ(deallocations, 1);
  EXPECT_EQ(retainCount(one), 1u);
  send(array, "removeObjectAtIndex:"_sel, NSUInteger(0));
  EXPECT_EQ(deallocations, 2);
  send(array, "addObject:"_sel, counted(3).get());
  send(array, "removeLastObject"_sel);
  EXPECT_EQ(tags(array), (std::vector<int>{2}));
  EXPECT_EQ(deallocations, 3);
  send(array, "removeAllObjects"_sel);
  EXPECT_EQ(send<NSUInteger>(array, "count"_sel), 0u);
  EXPECT_EQ(deallocations, 4);
  EXPECT_EQ(exceptionName([&] { send(array, "addObject:"_sel, id{nil}); }),
            "NSInvalidArgumentException");
}

TEST_F(CollectionsTest, CopiesOfMutableArraysAreImmutableSnapshots) {
  id array = send<id>(cls("NSMutableArray"), "arrayWithCapacity:"_sel, NSUInteger(4));
  send(array, "addObject:"_sel, "a"_ns);
  Ref<> snapshot = adopt(send<id>(array, "copy"_sel));
  send(array, "addObject:"_sel, "b"_ns);
  EXPECT_EQ(send<NSUInteger>(snapshot, "count"_sel), 1u);
  EXPECT_EQ(object_getClass(snapshot), cls("NSArray"));
  EXPECT_FALSE(responds(snapshot, "addObject:"_sel));
  Ref<> again = adopt(send<id>(snapshot, "mutableCopy"_sel));
  send(again, "addObject:"_sel, "c"_ns);
  EXPECT_EQ(send<NSUInteger>(snapshot, "count"_sel), 1u);
  EXPECT_EQ(send<NSUInteger>(again, "count"_sel), 2u);
}

TEST_F(CollectionsTest, DictionariesCopyKeysAndRetainValues) {
  Ref<> key = counted(7);
  Ref<> value = counted(70);
  {
    Ref<> dictionary = makeDictionary({{key, value}});
    EXPECT_EQ(retainCount(key), 1u);  // the dictionary holds a copy
    EXPECT_EQ(retainCount(value), 2u);
    EXPECT_EQ(send<id>(dictionary, "objectForKey:"_sel, counted(7).get()), value.get());
    EXPECT_EQ(deallocations, 1);  // the probe
    id storedKey = arrayElements(send<id>(dictionary, "allKeys"_sel)).at(0);
    EXPECT_NE(storedKey, key.get());
    EXPECT_TRUE(send<BOOL>(storedKey, "isEqual:"_sel, key.get()));
    pool_.drain();  // the list of keys
  }
  EXPECT_EQ(deallocations, 2);  // and the key's copy
  EXPECT_EQ(retainCount(value), 1u);
}

TEST_F(CollectionsTest, MutableDictionariesReplaceAndRemove) {
  Ref<> dictionary = make(cls("NSMutableDictionary"));
  Ref<> key = makeString("rate");
  send(dictionary, "setObject:forKey:"_sel, counted(1).get(), key.get());
  send(dictionary, "setObject:forKey:"_sel, counted(2).get(), makeString("rate").get());
  EXPECT_EQ(send<NSUInteger>(dictionary, "count"_sel), 1u);
  EXPECT_EQ(deallocations, 1);  // the replaced value
  EXPECT_EQ(stateOf<Tag>(send<id>(dictionary, "objectForKeyedSubscript:"_sel, "rate"_ns)).value, 2);
  send(dictionary, "setObject:forKeyedSubscript:"_sel, counted(3).get(), "aFPS"_ns);
  send(dictionary, "removeObjectForKey:"_sel, "rate"_ns);
  EXPECT_EQ(deallocations, 2);
  EXPECT_EQ(send<id>(dictionary, "objectForKey:"_sel, "rate"_ns), nil);
  send(dictionary, "setObject:forKeyedSubscript:"_sel, id{nil}, "aFPS"_ns);
  EXPECT_EQ(send<NSUInteger>(dictionary, "count"_sel), 0u);
  EXPECT_EQ(deallocations, 3);
  EXPECT_EQ(send<id>(dictionary, "objectForKey:"_sel, id{nil}), nil);
  EXPECT_EQ(exceptionName([&] { send(dictionary, "setObject:forKey:"_sel, id{nil}, key.get()); }),
            "NSInvalidArgumentException");
  EXPECT_EQ(exceptionName([&] { send(dictionary, "setObject:forKey:"_sel, key.get(), id{nil}); }),
            "NSInvalidArgumentException");
  EXPECT_EQ(exceptionName([&] { send(dictionary, "removeObjectForKey:"_sel, id{nil}); }),
            "NSInvalidArgumentException");
}

TEST_F(CollectionsTest, ANilEntryRaisesAndLeaksNothing) {
  Ref<> value = counted(1);
  const id objects[] = {value, nil};
  const id keys[] = {"a"_ns, "b"_ns};
  EXPECT_EQ(exceptionName([&] {
              send<id>(cls("NSDictionary"), "dictionaryWithObjects:forKeys:count:"_sel, objects,
                       keys, NSUInteger(2));
            }),
            "NSInvalidArgumentException");
  EXPECT_EQ(retainCount(value), 1u);
}

TEST_F(CollectionsTest, DictionaryEqualityAndCopies) {
  Ref<> a = makeDictionary({{"rate"_ns, makeNumber(0.25f)}, {"aFPS"_ns, makeNumber(120)}});
  Ref<> b = makeDictionary({{"aFPS"_ns, makeNumber(120.0)}, {"rate"_ns, makeNumber(0.25)}});
  EXPECT_TRUE(send<BOOL>(a, "isEqual:"_sel, b.get()));
  EXPECT_EQ(send<NSUInteger>(a, "hash"_sel), send<NSUInteger>(b, "hash"_sel));
  Ref<> mutableCopy = adopt(send<id>(a, "mutableCopy"_sel));
  send(mutableCopy, "setObject:forKey:"_sel, makeNumber(60).get(), "aFPS"_ns);
  EXPECT_FALSE(send<BOOL>(a, "isEqual:"_sel, mutableCopy.get()));
  Ref<> snapshot = adopt(send<id>(mutableCopy, "copy"_sel));
  EXPECT_EQ(object_getClass(snapshot), cls("NSDictionary"));
  EXPECT_TRUE(send<BOOL>(snapshot, "isEqual:"_sel, mutableCopy.get()));
  EXPECT_EQ(arrayElements(send<id>(a, "allValues"_sel)).size(), 2u);
}

TEST_F(CollectionsTest, DescriptionsNestAsThePlatformPrintsThem) {
  Ref<> inner = makeArray({makeNumber(1), "two words"_ns});
  Ref<> nested = makeDictionary({{"k"_ns, "v"_ns}});
  Ref<> dictionary = makeDictionary({{"rate"_ns, makeNumber(0.25)},
                                     {"list"_ns, inner},
                                     {"Empty"_ns, ""_ns},
                                     {"dict"_ns, nested}});
  EXPECT_EQ(describe(dictionary),
            "{\n"
            "    Empty = \"\";\n"
            "    dict =     {\n"
            "        k = v;\n"
            "    };\n"
            "    list =     (\n"
            "        1,\n"
            "        \"two words\"\n"
            "    );\n"
            "    rate = 0.25;\n"
            "}");
  EXPECT_EQ(describe(makeArray({})), "(\n)");
  EXPECT_EQ(describe(makeArray({makeArray({"a\"b"_ns})})),
            "(\n"
            "        (\n"
            "        \"a\\\"b\"\n"
            "    )\n"
            ")");
  EXPECT_EQ(describe(makeDictionary({})), "{\n}");
}

}  // namespace
}  // namespace qv
