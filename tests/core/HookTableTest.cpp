// The hook table each library ships, against the table the tweak is meant to install: class,
// kind, selector, type encoding and order, row by row, and its groups of one class lookup each.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"
#include "tests/core/PinnedHookTables.h"

namespace quorvane {
namespace {

using test::iOS7Rows;
using test::iOS8Rows;
using test::Row;

// Rows whose replacements are not built yet. Each feature takes its rows out as it lands.
const std::set<int> kIOS8NotBuiltYet{};
const std::set<int> kIOS7NotBuiltYet{};

char kindLetter(HookKind kind) {
  switch (kind) {
    case HookKind::InstanceMethod:
      return 'I';
    case HookKind::ClassMethod:
      return 'C';
    case HookKind::AddedMethod:
      return '+';
  }
  return '?';
}

std::vector<Row> expectedRows(const std::vector<Row>& rows, const std::set<int>& notBuiltYet) {
  std::vector<Row> expected;
  for (const Row& row : rows) {
    if (notBuiltYet.count(row.number) == 0) expected.push_back(row);
  }
  return expected;
}

// Consecutive method rows on one class, as (class, number of rows): the groups the table must
// have, each with one class lookup.
std::vector<std::pair<std::string, std::size_t>> groupsOf(const std::vector<Row>& rows) {
  std::vector<std::pair<std::string, std::size_t>> groups;
  for (const Row& row : rows) {
    if (row.kind == 'F') continue;
    if (groups.empty() || groups.back().first != row.owner) groups.emplace_back(row.owner, 0);
    ++groups.back().second;
  }
  return groups;
}

void expectFunctionRows(const HookTable& table, const std::vector<Row>& expected) {
  std::vector<const Row*> functions;
  for (const Row& row : expected) {
    if (row.kind == 'F') functions.push_back(&row);
  }
  ASSERT_EQ(table.functions.size(), functions.size());
  for (std::size_t i = 0; i < functions.size(); ++i) {
    const FunctionHook& hook = table.functions[i];
    EXPECT_EQ(hook.function, dlsym(RTLD_DEFAULT, functions[i]->owner))
        << "row " << functions[i]->number << " hooks " << functions[i]->owner;
    EXPECT_NE(hook.replacement, nullptr) << "row " << functions[i]->number;
    EXPECT_NE(hook.slot, nullptr) << "row " << functions[i]->number;
  }
}

void expectMethodRow(const Row& row, const std::string& className, const MethodHook& hook) {
  SCOPED_TRACE("row " + std::to_string(row.number) + " " + row.owner + " " + row.selector);
  EXPECT_EQ(className, row.owner);
  EXPECT_EQ(kindLetter(hook.kind), row.kind);
  EXPECT_STREQ(hook.selector, row.selector);
  EXPECT_NE(hook.replacement, nullptr);
  if (row.kind == '+') {
    EXPECT_STREQ(hook.types, row.types) << "an added method carries its encoding as written";
    EXPECT_EQ(hook.slot, nullptr);
  } else {
    EXPECT_TRUE(qv::encodingsCompatible(row.types, hook.types))
        << "the replacement takes " << hook.types << ", the method is " << row.types;
    EXPECT_NE(hook.slot, nullptr);
  }
}

void expectTable(const HookTable& table, const std::vector<Row>& rows,
                 const std::set<int>& notBuiltYet) {
  const std::vector<Row> expected = expectedRows(rows, notBuiltYet);
  expectFunctionRows(table, expected);

  std::vector<std::pair<std::string, std::size_t>> shippedGroups;
  std::vector<std::pair<std::string, const MethodHook*>> shipped;
  for (const HookGroup& group : table.groups) {
    shippedGroups.emplace_back(group.className, group.hooks.size());
    for (const MethodHook& hook : group.hooks) shipped.emplace_back(group.className, &hook);
  }
  EXPECT_EQ(shippedGroups, groupsOf(expected));

  std::vector<const Row*> methods;
  for (const Row& row : expected) {
    if (row.kind != 'F') methods.push_back(&row);
  }
  ASSERT_EQ(shipped.size(), methods.size());
  for (std::size_t i = 0; i < methods.size(); ++i) {
    expectMethodRow(*methods[i], shipped[i].first, *shipped[i].second);
  }
}

TEST(HookTable, TheIOS8LibraryShipsItsTableRowByRow) {
  expectTable(ios8::hookTable(), iOS8Rows(), kIOS8NotBuiltYet);
}

TEST(HookTable, TheIOS8LibraryNamesItselfInItsLogLines) {
  EXPECT_STREQ(ios8::kLibrary.tag, "QuorvaneiOS8");
  EXPECT_STREQ(ios8::kLibrary.sourceFile, "Tweak");
  EXPECT_EQ(ios8::kLibrary.line, 432);
  EXPECT_TRUE(ios8::kLibrary.autoreleasePool);
}

TEST(HookTable, TheIOS7LibraryShipsItsTableRowByRow) {
  expectTable(ios7::hookTable(), iOS7Rows(), kIOS7NotBuiltYet);
}

TEST(HookTable, TheIOS7LibraryNamesItselfInItsLogLinesAndStartsWithoutAPool) {
  EXPECT_STREQ(ios7::kLibrary.tag, "QuorvaneiOS7");
  EXPECT_STREQ(ios7::kLibrary.sourceFile, "Tweak");
  EXPECT_EQ(ios7::kLibrary.line, 315);
  EXPECT_FALSE(ios7::kLibrary.autoreleasePool);
}

// Every slot of a table's replaced rows, once per row.
std::vector<const void*> slotsOf(const HookTable& table) {
  std::vector<const void*> slots;
  for (const FunctionHook& hook : table.functions) slots.push_back(hook.slot);
  for (const HookGroup& group : table.groups) {
    for (const MethodHook& hook : group.hooks) {
      if (hook.slot != nullptr) slots.push_back(hook.slot);
    }
  }
  return slots;
}

// A slot shared by two rows of one table would hand one replacement the other's stock method.
TEST(HookTable, EveryRowOfATableHasASlotOfItsOwn) {
  for (const HookTable* table : {&ios7::hookTable(), &ios8::hookTable()}) {
    const std::vector<const void*> slots = slotsOf(*table);
    EXPECT_EQ(std::set<const void*>(slots.begin(), slots.end()).size(), slots.size());
  }
  EXPECT_EQ(slotsOf(ios7::hookTable()).size(), 23u) << "one function and 22 methods";
}

}  // namespace
}  // namespace quorvane
