#include "fw/data/undo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fw/core/attributed.h"
#include "fw/core/mem.h"

namespace {

std::vector<std::string> calls;   // "name:code" from the callbacks
std::vector<std::string> titles;  // what the observer was told
vundo* watched = nullptr;

void record(vundo*, void* data, int code) { calls.push_back(std::string(static_cast<char*>(data)) + ":" + std::to_string(code)); }

void add(vundo* u, const char* name) { vundoAddCustomAction(u, record, name, std::strlen(name) + 1); }

// A custom action made and done by hand, for a group of the test's own.
vundoAction* custom(const char* name) {
  auto* c = static_cast<vundoActionCustom*>(vinstanceCreate(vundoGetActionCustomClass()));
  c->callback = record;
  c->data = vmemAlloc(std::strlen(name) + 1);
  std::strcpy(static_cast<char*>(c->data), name);
  vundoActionPerform(c);
  return c;
}

std::string joined(std::vector<std::string>& v) {
  std::string s;
  for (auto& x : v) s += (s.empty() ? "" : " ") + x;
  v.clear();
  return s;
}

// A menu-like observer: it answers the titles and states from the undo
// record and keeps what it is then told.
vobjectAttributedClassRec* observerClass() {
  static vobjectAttributedClassRec* cls = nullptr;
  if (cls) return cls;
  cls = vclassSpawnOf<vobjectAttributedClassRec>(vobjectGetAttributedClass());
  cls->findCommand = [](vobject*, vname kind, vname tag) -> const void* {
    std::string t = tag;
    if (kind == vname_Title) return t == "Undo" ? vundoGetUndoLabel(watched) : vundoGetRedoLabel(watched);
    bool on = t == "Undo"   ? vundoListPeekUndo(watched->list) != nullptr
              : t == "Redo" ? vundoListPeekRedo(watched->list) != nullptr
                            : !vundoListIsSaved(watched->list);
    return on ? vname_Enabled : vname_Disabled;
  };
  cls->setAttributeByTag = [](vobject*, vname name, vdict* values) {
    vdictIterator it;
    vdictInitIterator(&it, values);
    while (vdictNextIterator(&it)) {
      auto* value = static_cast<const char*>(vdictIteratorValue(&it));
      if (name == vname_Title) titles.push_back(std::string("[") + value + "]");
      else titles.push_back(std::string(static_cast<const char*>(vdictIteratorKey(&it))) + "=" + value);
    }
  };
  return cls;
}

TEST(Undo, NestedGroupsUndoAndRedoInOrderAndObserversHearTheTitles) {
  calls.clear();  // what another test's destroyed groups reported
  titles.clear();
  vundo* u = watched = vundoCreate(50);
  auto* observer = static_cast<vobject*>(vinstanceCreate(observerClass()));
  vundoListAddObserver(u->list, observer);

  add(u, "a");
  auto* pasteClass = vclassSpawnOf<vundoActionClassRec>(vundoGetActionListClass());
  pasteClass->name = "inner";
  vundoActionList* inner = vundoActionListCreate(pasteClass);
  vundoActionListAppend(inner, custom("b"));
  vundoActionListAppend(inner, custom("c"));
  EXPECT_STREQ(vundoActionGetName(inner), "inner");
  vundoActionPerform(inner);  // new -> done: its actions are already done
  vundoActionListAppend(u->top, inner);
  EXPECT_EQ(joined(calls), "a:0 b:0 c:0");
  vundoCloseTopAction(u, vscribeLiteral("Paste"));
  EXPECT_EQ(joined(titles), "[Undo Paste] Undo=Enabled [Redo] Redo=Disabled Save=Enabled");

  vundoListUndo(u->list);
  EXPECT_EQ(joined(calls), "c:1 b:1 a:1");  // the group and its inner group, last to first
  EXPECT_EQ(joined(titles), "[Undo] Undo=Disabled [Redo Paste] Redo=Enabled Save=Enabled");
  vundoListRedo(u->list);
  EXPECT_EQ(joined(calls), "a:2 b:2 c:2");
  vundoListMarkSaved(u->list);
  EXPECT_EQ(joined(titles).substr(0, 14), "[Undo Paste] U");
  vundoCloseTopAction(u, vscribeLiteral("Nothing"));  // an empty top action pushes nothing
  EXPECT_EQ(joined(titles), "");

  // A new group after an undo drops the undone one; names are cut to the label buffer.
  add(u, "d");
  vundoCloseTopAction(u, vscribeLiteral("Type"));
  vundoListUndo(u->list);
  add(u, "e");
  std::string longName(300, 'x');
  vundoCloseTopAction(u, vscribeCString(longName.c_str()));
  EXPECT_EQ(joined(calls), "d:0 d:1 e:0 d:3");
  EXPECT_EQ(std::string(vundoGetUndoLabel(u)), "Undo " + longName.substr(0, 122));
  titles.clear();
  vundoListRemoveObserver(u->list, observer);
  vinstanceDestroy(observer);
  vundoDestroy(u);
  EXPECT_EQ(joined(calls), "c:3 b:3 a:3 e:3");  // oldest group first, each last to first
  vundoList* empty = vundoListCreate(1);
  EXPECT_FALSE(vexTry([&] { vundoListRedo(empty); }));  // nothing to redo
  EXPECT_FALSE(vexTry([&] { vundoListUndo(empty); }));
  vundoListDestroy(empty);
}

TEST(Undo, TheStackKeepsItsLimitAndItsCountsStayIn16Bits) {
  calls.clear();
  vundo* u = watched = vundoCreate(50);
  for (int i = 0; i < 51; ++i) {
    add(u, ("g" + std::to_string(i)).c_str());
    vundoCloseTopAction(u, vscribeLiteral("G"));
  }
  // The 51st group pushed the oldest out.
  EXPECT_EQ(calls[51], "g0:3");
  calls.clear();
  int undone = 0;
  while (vundoListPeekUndo(u->list)) vundoListUndo(u->list), ++undone;
  EXPECT_EQ(undone, 50);
  for (int i = 0; i < 3; ++i) vundoListRedo(u->list);
  vundoListMarkSaved(u->list);
  vundoListSetLimit(u->list, 5);  // keeps the 3 undoable groups and 2 of the redoable ones
  EXPECT_EQ(u->list->end, 5);
  EXPECT_TRUE(vundoListIsSaved(u->list));  // the mark moved with its action
  calls.clear();
  vundoListClear(u->list);
  EXPECT_EQ(calls.size(), 5u);

  struct Case {
    std::int32_t limit;
    bool refused;
  } cases[] = {{0, true}, {1, false}, {65534, false}, {65535, true}, {-3, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(!vexTry([&] { vundoListSetLimit(u->list, c.limit); }), c.refused) << c.limit;
    EXPECT_EQ(!vexTry([&] { vundoListDestroy(vundoListCreate(c.limit)); }), c.refused) << c.limit;
  }
  vundoDestroy(u);

  // A group holds at most 65535 actions: the next append raises, the capacity never wraps.
  vundoActionList* group = vundoActionListCreate(nullptr);
  for (int i = 0; i < 65535; ++i) {
    auto* a = static_cast<vundoAction*>(vinstanceCreate(vundoGetActionClass()));
    vundoActionPerform(a);
    vundoActionListAppend(group, a);
  }
  EXPECT_EQ(group->capacity, 65535);
  auto* extra = static_cast<vundoAction*>(vinstanceCreate(vundoGetActionClass()));
  EXPECT_FALSE(vexTry([&] { vundoActionListAppend(group, extra); }));  // not done yet: refused
  vundoActionPerform(extra);
  EXPECT_FALSE(vexTry([&] { vundoActionListAppend(group, extra); }));
  EXPECT_EQ(group->count, 65535);
  vundoActionDestroy(extra);
  vundoActionDestroy(group);

  // The start-up order's row runs the class getter.
  vundoInstallStartup();
  int rows;
  const vmoduleStartupRow* table = vmoduleGetStartupTable(&rows);
  bool filled = false;
  for (int i = 0; i < rows; ++i)
    if (std::string(table[i].name) == "vundoGetActionListClass") filled = table[i].fn != nullptr;
  EXPECT_TRUE(filled);
}

}  // namespace
