// Scraps nested past the bound: every walk that recurses over a value (the
// array, dictionary and compound exports, a dump) refuses the level past
// vscrapMAX_DEPTH instead of accepting it or running off the stack.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/core/name.h"
#include "fw/data/vresource.h"
#include "scrap_support.h"

namespace {

vname key() { return vnameInternLiteral("Next"); }

// A chain of native arrays or dictionaries, each holding the next; the
// innermost holds an integer. Linked in place, and taken apart from the
// inside so that no destroy recurses through all of it.
struct Nested {
  bool dictionaries;
  std::vector<vinstance*> levels;
  Nested(bool dictionaries, int depth) : dictionaries(dictionaries) {
    vclass* kind = dictionaries ? static_cast<vclass*>(vscrapGetDictionaryClass()) : vscrapGetArrayClass();
    for (int i = 0; i < depth; ++i) levels.push_back(nativeOf(kind));
    for (int i = 0; i + 1 < depth; ++i) linkInPlace(levels[i], dictionaries ? key() : nullptr, levels[i + 1]);
    vscrap last = vscrapWalk(levels.back());
    if (dictionaries) {
      vscrapSetDictionaryElement(last, key(), integerScrap(7));
    } else {
      vscrapSetArrayCount(last, 1);
      vscrapSetArrayElement(last, 0, integerScrap(7));
    }
  }
  ~Nested() {
    for (int i = int(levels.size()) - 1; i >= 0; --i) {
      vscrap w = vscrapWalk(levels[i]);
      if (dictionaries) vscrapRemoveDictionaryElement(w, key());
      else vscrapSetArrayCount(w, 0);
    }
    vinstanceDestroy(levels[0]);
  }
  vscrap top() const { return vscrapWalk(levels[0]); }
};

bool tooDeep(const Raised& r) { return r.cls == &vexModuleLimitClass && r.message == vscrapTOO_DEEP; }

TEST(ScrapDepth, EveryWalkRefusesValuesNestedPastTheBound) {
  struct Walk {
    const char* what;
    void (*run)(const Nested&);
  } walks[] = {
      {"export to a resource",
       [](const Nested& n) {
         vresource root = vresourceCreateMemory();
         vexGuard([&] { vresourceSetScrap(root, vnameInternLiteral("Value"), n.top()); },
                  [&](vexHandler&) {
                    vresourceCloseFile(root);
                    _vexGenerate(nullptr, vexEnd);
                  });
         vresourceCloseFile(root);
       }},
      {"import into a native value",
       [](const Nested& n) {
         vinstance* target = vscrapCreateNativeTypeable();
         vexGuard([&] { vscrapImport(n.top(), vscrapWalk(target)); },
                  [&](vexHandler&) {
                    vinstanceDestroy(target);
                    _vexGenerate(nullptr, vexEnd);
                  });
         vinstanceDestroy(target);
       }},
      {"dump", [](const Nested& n) { captured([&](std::FILE* f) { vscrapDump(n.top(), f); }); }},
  };
  for (bool dictionaries : {false, true}) {
    for (int depth : {vscrapMAX_DEPTH - 24, vscrapMAX_DEPTH + 6, 30000}) {
      Nested n(dictionaries, depth);
      for (const Walk& w : walks) {
        SCOPED_TRACE(std::string(w.what) + (dictionaries ? ", dictionaries " : ", arrays ") + std::to_string(depth));
        Raised r = raised([&] { w.run(n); });
        if (depth <= vscrapMAX_DEPTH) EXPECT_EQ(r.cls, nullptr) << r.text;
        else EXPECT_TRUE(tooDeep(r)) << r.text;
      }
    }
  }
}

}  // namespace
