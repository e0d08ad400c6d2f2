// Each library's shipped table, installed in hosts that lack random subsets of its classes and
// selectors (as hosts of other system versions do): every absent class or selector costs exactly
// its own rows and one log line each, in table order, and every other row is installed.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/Installation.h"
#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/objc/Object.h"
#include "tests/core/PinnedHookTables.h"
#include "tests/support/Forked.h"

namespace quorvane {
namespace {

struct LibraryUnderTest {
  const char* name;
  const HookTable& (*table)();
  const LibraryIdentity& identity;
  const char* logPrefix;  // what every installation line starts with
  const std::vector<test::Row>& (*pinnedRows)();
};

const std::vector<LibraryUnderTest>& libraries() {
  static const std::vector<LibraryUnderTest> all{
      {"QuorvaneiOS8", &ios8::hookTable, ios8::kLibrary,
       "[QuorvaneiOS8: Tweak:432] ERROR: ", &test::iOS8Rows},
      {"QuorvaneiOS7", &ios7::hookTable, ios7::kLibrary,
       "[QuorvaneiOS7: Tweak:315] ERROR: ", &test::iOS7Rows},
  };
  return all;
}

// The host's own implementation of every method it has; the test never calls it.
void stockMethod() {}
const IMP kStock = reinterpret_cast<IMP>(&stockMethod);

bool replaces(const MethodHook& row) {
  return row.kind != HookKind::AddedMethod;
}

// Which classes, and which of their replaced selectors, a host of one case has.
struct HostShape {
  std::set<std::string> classes;
  std::set<std::pair<std::string, std::string>> methods;  // class, selector

  bool has(const char* className, const MethodHook& row) const {
    return methods.contains({className, row.selector});
  }
};

// Case 0 is the full host, case 1 the empty one; the rest draw each class and each selector
// with a chance that itself varies from case to case.
HostShape drawHost(const HookTable& table, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> chance(0.2, 0.9);
  const double keepClass = seed == 0 ? 1.0 : seed == 1 ? 0.0 : chance(random);
  const double keepSelector = seed == 0 ? 1.0 : chance(random);
  std::bernoulli_distribution classKept(keepClass), selectorKept(keepSelector);
  HostShape shape;
  for (const HookGroup& group : table.groups) {
    if (!shape.classes.contains(group.className) && classKept(random)) {
      shape.classes.insert(group.className);
    }
  }
  for (const HookGroup& group : table.groups) {
    if (!shape.classes.contains(group.className)) continue;
    for (const MethodHook& row : group.hooks) {
      if (replaces(row) && selectorKept(random))
        shape.methods.insert({group.className, row.selector});
    }
  }
  return shape;
}

Class targetOf(Class cls, const MethodHook& row) {
  return row.kind == HookKind::ClassMethod ? object_getClass(qv::asId(cls)) : cls;
}

void registerHost(const HookTable& table, const HostShape& shape) {
  for (const std::string& name : shape.classes) {
    qv::ClassBuilder(name.c_str(), qv::NSObjectClass()).registerClass();
  }
  for (const HookGroup& group : table.groups) {
    for (const MethodHook& row : group.hooks) {
      if (!replaces(row) || !shape.has(group.className, row)) continue;
      Class target = targetOf(objc_getClass(group.className), row);
      ASSERT_TRUE(class_addMethod(target, sel_registerName(row.selector), kStock, row.types));
    }
  }
}

std::vector<std::string> expectedLog(const LibraryUnderTest& library, const HostShape& shape) {
  std::vector<std::string> lines;
  for (const HookGroup& group : library.table().groups) {
    for (const MethodHook& row : group.hooks) {
      if (!replaces(row)) continue;
      const std::string prefix = std::string(library.logPrefix) + "logos: ";
      if (!shape.classes.contains(group.className)) {
        lines.push_back(prefix + "nil class " + group.className);
      } else if (!shape.has(group.className, row)) {
        lines.push_back(prefix + "message not found [" + group.className + " " + row.selector +
                        "]");
      }
    }
  }
  return lines;
}

IMP ownImplementation(Class target, const char* selector) {
  unsigned count = 0;
  Method* methods = class_copyMethodList(target, &count);
  IMP found = nullptr;
  for (unsigned i = 0; i < count; ++i) {
    if (sel_isEqual(method_getName(methods[i]), sel_registerName(selector))) {
      found = method_getImplementation(methods[i]);
    }
  }
  std::free(methods);
  return found;
}

void expectRowsOfPresentClassesInstalled(const HookTable& table, const HostShape& shape) {
  for (const HookGroup& group : table.groups) {
    Class cls = objc_getClass(group.className);
    if (!shape.classes.contains(group.className)) {
      EXPECT_EQ(cls, Nil) << group.className << " must not come into being";
      continue;
    }
    for (const MethodHook& row : group.hooks) {
      const std::string where = std::string(group.className) + " " + row.selector;
      const IMP own = ownImplementation(targetOf(cls, row), row.selector);
      if (!replaces(row)) {
        EXPECT_EQ(own, row.replacement) << where << " is added";
        const Method added = class_getInstanceMethod(cls, sel_registerName(row.selector));
        EXPECT_STREQ(added ? method_getTypeEncoding(added) : "", row.types) << where;
      } else if (shape.has(group.className, row)) {
        EXPECT_EQ(own, row.replacement) << where << " is replaced";
        EXPECT_EQ(*row.slot, kStock) << where << " keeps the host's implementation";
      } else {
        EXPECT_EQ(own, nullptr) << where << " stays absent";
        EXPECT_EQ(*row.slot, nullptr) << where << " leaves its slot alone";
      }
    }
  }
}

void expectFunctionsHooked(const HookTable& table) {
  for (const FunctionHook& hook : table.functions) {
    EXPECT_NE(*hook.slot, nullptr) << "every function hook is installed, whatever the classes";
  }
}

// Lines per class in a host with none of a library's classes: one "nil class" line for each of
// its replaced methods, none for the methods it adds.
std::map<std::string, int> nilClassCounts(const std::vector<test::Row>& rows) {
  std::map<std::string, int> counts;
  for (const test::Row& row : rows) {
    if (row.kind == 'I' || row.kind == 'C') ++counts[row.owner];
  }
  return counts;
}

// Against the pinned tables: a host with none of a library's classes gets one "nil class" line
// per replaced method, class by class (PLSlalomUtilities named for both of its class methods,
// CAMPadApplicationSpec, which only gains a method, never).
TEST(MissingClasses, EachTableLogsItsCountPerAbsentClass) {
  for (const LibraryUnderTest& library : libraries()) {
    SCOPED_TRACE(library.name);
    qv::test::runForked([&] {
      qv::clearProcessLog();
      installHookTable(library.table(), library.identity);
      std::map<std::string, int> counts;
      const std::string prefix = std::string(library.logPrefix) + "logos: nil class ";
      for (const std::string& line : qv::processLog()) {
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        ++counts[line.substr(prefix.size())];
      }
      EXPECT_EQ(counts, nilClassCounts(library.pinnedRows()));
    });
  }
}

constexpr unsigned kCases = 32;

TEST(MissingClasses, EachAbsentClassOrSelectorCostsOnlyItsRowsAndOneLineEach) {
  for (const LibraryUnderTest& library : libraries()) {
    for (unsigned seed = 0; seed < kCases; ++seed) {
      SCOPED_TRACE(std::string(library.name) + " case " + std::to_string(seed));
      qv::test::runForked([&] {
        const HookTable& table = library.table();
        const HostShape shape = drawHost(table, seed);
        registerHost(table, shape);
        qv::clearProcessLog();
        installHookTable(table, library.identity);
        EXPECT_EQ(qv::processLog(), expectedLog(library, shape));
        expectRowsOfPresentClassesInstalled(table, shape);
        expectFunctionsHooked(table);
      });
    }
  }
}

// The draws must really vary: a generator that kept every class would prove nothing above.
TEST(MissingClasses, CasesCoverFullEmptyAndPartialHosts) {
  for (const LibraryUnderTest& library : libraries()) {
    const HookTable& table = library.table();
    std::set<std::string> everyClass;
    for (const HookGroup& group : table.groups) everyClass.insert(group.className);
    std::set<std::size_t> classCounts, methodCounts;
    for (unsigned seed = 0; seed < kCases; ++seed) {
      const HostShape shape = drawHost(table, seed);
      classCounts.insert(shape.classes.size());
      methodCounts.insert(shape.methods.size());
    }
    EXPECT_TRUE(classCounts.contains(everyClass.size())) << library.name;
    EXPECT_TRUE(classCounts.contains(0)) << library.name;
    EXPECT_GE(classCounts.size(), 6u) << library.name;
    EXPECT_GE(methodCounts.size(), 10u) << library.name;
  }
}

}  // namespace
}  // namespace quorvane
