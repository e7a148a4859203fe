#include "fw/widgets/lists/objlist.h"

#include <gtest/gtest.h>

#include "fw/data/vrstore.h"
#include "widgets_support.h"

namespace {

std::vector<int> ids(const vobjectList* l) {
  std::vector<int> out;
  for (int i = 0; i < vobjectListCount(l); ++i) out.push_back(static_cast<Element*>(vobjectListAt(l, i))->id);
  return out;
}

vobjectList* listOf(std::initializer_list<int> values) {
  vobjectList* l = vobjectListCreate();
  for (int v : values) vobjectListAppend(l, element(v));
  return l;
}

TEST(ObjectLists, GrowthByDoublingAndMovesThatRotate) {
  vobjectList* l = vobjectListCreate();
  EXPECT_EQ(vobjectListCount(l), 0);
  EXPECT_EQ(vobjectListCapacity(l), 4);
  const int capacityAfter[] = {4, 4, 4, 4, 8, 8, 8, 8, 16};
  for (int i = 0; i < 9; ++i) {
    vobjectListAppend(l, element(i));
    EXPECT_EQ(vobjectListCapacity(l), capacityAfter[i]) << "after append " << i + 1;
  }
  struct Move {
    int from, to;
    std::vector<int> after;
  } moves[] = {
      {0, 8, {1, 2, 3, 4, 5, 6, 7, 8, 0}},
      {8, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {2, 5, {0, 1, 3, 4, 5, 2, 6, 7, 8}},
      {5, 2, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {4, 4, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Move& m : moves) {
    vobjectListMove(l, m.from, m.to);
    EXPECT_EQ(ids(l), m.after) << m.from << " -> " << m.to;
  }
  // Bad indices: Range, nothing changed.
  for (auto bad : {std::pair{-1, 0}, std::pair{0, 9}, std::pair{9, 0}})
    EXPECT_EQ(raisedClass([&] { vobjectListMove(l, bad.first, bad.second); }), &vexArgRangeClass);
  EXPECT_EQ(raisedClass([&] { vobjectListRemoveAt(l, 9); }), &vexArgRangeClass);
  EXPECT_EQ(raisedClass([&] { vobjectListSetAt(l, -1, nullptr); }), &vexArgRangeClass);
  EXPECT_EQ(raisedClass([&] { vobjectListInsertAt(l, nullptr, 10); }), &vexArgRangeClass);
  EXPECT_EQ(ids(l), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(vobjectListCapacity(l), 16);

  // Removing saves an element from the list's destroy.
  vobject* first = vobjectListAt(l, 0);
  vobject* last = vobjectListAt(l, 8);
  vobjectListRemoveAt(l, 0);
  vobjectListRemove(l, last);
  EXPECT_EQ(ids(l), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  vobjectListInsertAt(l, first, 3);
  EXPECT_EQ(ids(l), (std::vector<int>{1, 2, 3, 0, 4, 5, 6, 7}));
  vobjectListMoveTo(l, first, 0);
  EXPECT_EQ(vobjectListIndexOf(l, first), 0);
  EXPECT_EQ(raisedClass([&] { vobjectListRemove(l, last); }), &vexArgClass);
  EXPECT_EQ(raisedClass([&] { vobjectListMoveTo(l, last, 0); }), &vexArgClass);
  elementLog.clear();
  vinstanceDestroy(l);
  EXPECT_EQ(elementLog.destroyed, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  vinstanceDestroy(last);
}

TEST(ObjectLists, TagsParallelEntriesAndClear) {
  vname ok = N("Ok"), cancel = N("Cancel");
  vobjectList* l = vobjectListCreate();
  EXPECT_EQ(vobjectListFindByTag(l, ok), nullptr);
  Element* a = element(1, cancel);
  Element* b = element(2, ok);
  Element* c = element(3, ok);
  for (Element* e : {a, b, c}) vobjectListAppend(l, e);
  EXPECT_EQ(vobjectListFindByTag(l, ok), b);
  EXPECT_EQ(vobjectListIndexOfTag(l, cancel), 0);
  EXPECT_EQ(vobjectListIndexOfTag(l, N("Help")), -1);

  vobjectList* words = listOf({});
  for (std::intptr_t w : {10, 20, 30}) vobjectListAppend(words, reinterpret_cast<vobject*>(w));
  EXPECT_EQ(vobjectListGetParallelEntry(l, c, words), 30);
  EXPECT_EQ(vobjectListGetParallelEntry(l, nullptr, words), 0);
  Element* stranger = element(9);
  EXPECT_EQ(raisedClass([&] { vobjectListGetParallelEntry(l, stranger, words); }), &vexArgClass);
  vobjectListRemoveAt(words, 2);
  EXPECT_EQ(raisedClass([&] { vobjectListGetParallelEntry(l, c, words); }), &vexArgRangeClass);
  vobjectListClear(words);  // words are not objects: nothing may be destroyed
  vinstanceDestroy(words);

  // Refresh and the forwarded pair reach every element in order.
  elementLog.clear();
  vobjectListClassOf(l)->refresh(l);
  vobjectListClassOf(l)->reserved8(l, ok, nullptr);
  EXPECT_EQ(elementLog.refreshed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(elementLog.forwarded, (std::vector<int>{1, 2, 3}));
  // A change offered to each element reaches those whose tag it names.
  vdict* values = vdictCreate(vdictHashName);
  vdictStore(values, ok, vname_Disabled);
  vobjectListNotifyEach(l, vname_State, values);
  vdictDestroy(values);
  EXPECT_EQ(elementLog.offered, (std::vector<int>{2, 3}));

  vobjectListClear(l);
  EXPECT_EQ(vobjectListCount(l), 0);
  elementLog.clear();
  vinstanceDestroy(l);
  EXPECT_TRUE(elementLog.destroyed.empty());
  for (Element* e : {a, b, c, stranger}) vinstanceDestroy(e);
}

TEST(ObjectLists, CopiesAndDuplicatedElements) {
  vobjectList* source = listOf({1, 2});
  vobjectList* target = listOf({7, 8, 9, 10, 11});
  elementLog.clear();
  vobjectListClassOf(target)->copy(source, target);
  EXPECT_EQ(elementLog.destroyed, (std::vector<int>{7, 8, 9, 10, 11}));
  EXPECT_EQ(ids(target), (std::vector<int>{1, 2}));
  EXPECT_NE(vobjectListAt(target, 0), vobjectListAt(source, 0));

  // Into a shorter list: the array grows to exactly the source's count.
  vobjectList* big = listOf({1, 2, 3, 4, 5, 6});
  vobjectList* small = listOf({});
  vobjectListClassOf(small)->copy(big, small);
  EXPECT_EQ(vobjectListCapacity(small), 6);
  vobjectList copied;
  vobjectListCopyInit(small, &copied);
  EXPECT_EQ(ids(&copied), ids(big));
  EXPECT_EQ(vobjectListCapacity(&copied), 6);

  // Into itself: nothing happens.
  elementLog.clear();
  vobjectListClassOf(big)->copy(big, big);
  EXPECT_TRUE(elementLog.destroyed.empty());
  EXPECT_EQ(ids(big), (std::vector<int>{1, 2, 3, 4, 5, 6}));

  // An element stored twice is destroyed once.
  vobjectList* twice = listOf({});
  Element* e = element(5);
  vobjectListAppend(twice, e);
  vobjectListAppend(twice, element(6));
  vobjectListAppend(twice, e);
  elementLog.clear();
  vinstanceDestroy(twice);
  EXPECT_EQ(elementLog.destroyed, (std::vector<int>{5, 6}));

  vobjectListGetDefaultClass()->destroy(&copied);
  for (vobjectList* l : {source, target, big, small}) vinstanceDestroy(l);
}

TEST(ObjectLists, StoreAndLoadRoundTrip) {
  vrstoreInstallInterface();
  vresource root = vrstoreCreateMemory();
  vobjectList* l = listOf({4, 5, 6});
  vobjectListAt(l, 1)->tag = N("Middle");
  vresource stored = vrstoreCreate(root, N("Stored"), vresDICTIONARY);
  vobjectListClassOf(l)->store(l, stored);
  EXPECT_EQ(vrstoreGetTag(stored, vname_Class), N("vobjectList"));
  EXPECT_EQ(vrstoreCount(vrstoreGet(stored, vname_Objects)), 3);

  auto* loaded = static_cast<vobjectList*>(vobjectLoad(stored));
  EXPECT_EQ(loaded->cls, vobjectListGetDefaultClass());
  EXPECT_EQ(ids(loaded), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(vobjectListFindByTag(loaded, N("Middle")), vobjectListAt(loaded, 1));

  // Without "Class" the load-init makes a plain list.
  vrstoreRemove(stored, vname_Class);
  vobjectList plain;
  vobjectListLoadInit(&plain, stored);
  EXPECT_EQ(plain.cls, vobjectListGetDefaultClass());
  EXPECT_EQ(ids(&plain), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(vobjectListCapacity(&plain), 4);
  vobjectListGetDefaultClass()->destroy(&plain);
  vinstanceDestroy(loaded);
  vinstanceDestroy(l);
  vrstoreCloseFile(root);
}

}  // namespace
