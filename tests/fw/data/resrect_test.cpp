#include "fw/data/resrect.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fw/core/ex.h"
#include "fw/data/inst.h"
#include "fw/data/vresource.h"

namespace {

vname tag(const char* s) { return vnameInternLiteral(s); }

struct Raised {
  std::string message = "(nothing raised)";
  bool arg = false;
};
template <class F>
Raised raised(F body) {
  Raised r;
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    r.message = e->message ? e->message : "";
    for (const vexClass* c = e->cls; c; c = c->superclass) r.arg |= c == &vexArgClass;
    vexSetCurrentException(h.savedChain);
  });
  return r;
}

bool operator==(const vrect& a, const vrect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
bool operator==(const vrectFloat& a, const vrectFloat& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// Every case runs against an in-memory ".vr" file (table 0) and an
// in-memory chunk file (table 1).
class ResRect : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { root = vresourceCreateMemoryIn(GetParam()); }
  void TearDown() override { vresourceCloseFile(root); }
  vresource root = 0;
};

TEST_P(ResRect, StoreMakesTheArrayOnceThenOverwrites) {
  vresource child = vresourceMake(root, tag("Rect"));
  vrect first{1, 2, 3, 4};
  vresourceStoreRect(&first, child);
  vresource array = vresourceGet(root, tag("Rect"));
  ASSERT_EQ(vresourceGetType(array, nullptr), vresARRAY);
  EXPECT_EQ(vresourceGetElementType(array), vresINTEGER);
  EXPECT_EQ(vresourceCount(array), 4);
  vrect second{-9, 70, 0, 32767};
  vresourceStoreRect(&second, array);
  EXPECT_EQ(vresourceGet(root, tag("Rect")), array);
  EXPECT_EQ(vresourceCount(array), 4);
  const std::int32_t want[4] = {-9, 70, 0, 32767};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(vresourceGetAtInteger(array, i), want[i]) << i;

  // The float form likewise, in a child of its own.
  vresource fchild = vresourceMake(root, tag("Paper"));
  vrectFloat f{0.5f, 1.5f, 2.5f, 3.5f};
  vresourceStoreFloatRect(&f, fchild);
  vresource farray = vresourceGet(root, tag("Paper"));
  EXPECT_EQ(vresourceGetElementType(farray), vresFLOAT);
  EXPECT_EQ(vresourceCount(farray), 4);
  vrectFloat g{-1.0f, 0.0f, 8.0f, 16.25f};
  vresourceStoreFloatRect(&g, farray);
  EXPECT_EQ(vresourceGet(root, tag("Paper")), farray);
  EXPECT_EQ(vresourceCount(farray), 4);
  EXPECT_EQ(vresourceGetAtFloat(farray, 3), 16.25);
}

TEST_P(ResRect, RoundTripsKeepSignsAndHalves) {
  vrect r{-5, -32768, 32767, 0}, back{};
  vresourceStoreRect(&r, vresourceMake(root, tag("R")));
  vresourceLoadRect(&back, vresourceGet(root, tag("R")));
  EXPECT_TRUE(back == r);
  EXPECT_EQ(vresourceGetAtInteger(vresourceGet(root, tag("R")), 1), -32768);  // widened with sign

  vrectFloat f{-5.0f, -32768.0f, 32767.0f, 0.0f}, fback{};
  vresourceStoreFloatRect(&f, vresourceMake(root, tag("F")));
  vresourceLoadFloatRect(&fback, vresourceGet(root, tag("F")));
  EXPECT_TRUE(fback == f);
  vrectFloat halves{-0.5f, 100.5f, 0.5f, -1234.5f};
  vresourceStoreFloatRect(&halves, vresourceGet(root, tag("F")));
  vresourceLoadFloatRect(&fback, vresourceGet(root, tag("F")));
  EXPECT_TRUE(fback == halves);

  // A stored integer past 16 bits reads back cut to 16 bits.
  vresource wide = vresourceCreateArray(root, tag("W"), vresINTEGER, 4);
  const std::int32_t big[4] = {70000, -70000, 65535, 32768};
  for (int i = 0; i < 4; ++i) vresourceSetAtInteger(wide, i, big[i]);
  vresourceLoadRect(&back, wide);
  EXPECT_TRUE(back == (vrect{4464, -4464, -1, -32768}));
}

TEST_P(ResRect, UnreadableRectLeavesTheCallersValue) {
  vresourceSetStringSized(root, tag("Text"), "abc", 3);
  vresource three = vresourceCreateArray(root, tag("Three"), vresINTEGER, 3);
  vresource threeF = vresourceCreateArray(root, tag("ThreeF"), vresFLOAT, 3);
  for (int i = 0; i < 3; ++i) {
    vresourceSetAtInteger(three, i, 7);
    vresourceSetAtFloat(threeF, i, 7.0);
  }
  for (vresource bad : {vresourceGet(root, tag("Text")), three, threeF}) {
    vrect r{11, 12, 13, 14};
    Raised e = raised([&] { vresourceLoadRect(&r, bad); });
    EXPECT_TRUE(e.arg) << e.message;
    EXPECT_TRUE(r == (vrect{11, 12, 13, 14}));
    vrectFloat f{1.5f, 2.5f, 3.5f, 4.5f};
    e = raised([&] { vresourceLoadFloatRect(&f, bad); });
    EXPECT_TRUE(e.arg) << e.message;
    EXPECT_TRUE(f == (vrectFloat{1.5f, 2.5f, 3.5f, 4.5f}));
  }
}

TEST_P(ResRect, RemoveIfPresent) {
  vresourceSetInteger(root, tag("Gone"), 5);
  vresourceRemoveIfPresent(root, tag("Gone"));
  vresource out;
  EXPECT_EQ(vresourceTestGet(root, tag("Gone"), &out), 0);
  EXPECT_EQ(raised([&] { vresourceRemoveIfPresent(root, tag("NeverThere")); }).message, "(nothing raised)");
  EXPECT_EQ(vresourceCount(root), 0);
}

// On a read-only file only a real removal raises, with the store's own
// message.
TEST_P(ResRect, RemoveIfPresentOnAReadOnlyFile) {
  namespace fs = std::filesystem;
  fs::path place = fs::temp_directory_path() / ("resrect." + std::to_string(getpid()) + ".vr");
  vresourceSetInteger(root, tag("Kept"), 1);
  vfsPath* p = vfsNewPathFromString(place.c_str());
  vresourceCloseFile(vresourceSaveFile(root, p, 0600));
  vresource ro = vresourceOpenFile(p, vfsOPEN_READ);
  EXPECT_EQ(vresourceTableOf(ro), GetParam());
  EXPECT_EQ(raised([&] { vresourceRemoveIfPresent(ro, tag("Absent")); }).message, "(nothing raised)");
  EXPECT_EQ(raised([&] { vresourceRemoveIfPresent(ro, tag("Kept")); }).message,
            GetParam() ? "Resource file is read only" : "Resource file is not writable");
  EXPECT_EQ(vresourceGetInteger(ro, tag("Kept")), 1);
  vresourceCloseFile(ro);
  vfsFreePath(p);
  fs::remove(place);
}

INSTANTIATE_TEST_SUITE_P(BothStores, ResRect, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) { return i.param ? "Chunk" : "Vr"; });

// One word: the file-kind default is its bit 0x1.
TEST(ResourceOptions, WordAndDefaultKindAreOneState) {
  std::uint32_t saved = _vresourceGetGlobalOptions();
  EXPECT_EQ(saved, 1u);  // the process starts with chunk files as the default kind
  EXPECT_EQ(_vresourceSetGlobalOptions(5), 1u);
  EXPECT_EQ(_vresourceGetGlobalOptions(), 5u);
  EXPECT_TRUE(vresourceGetTestDefault());
  EXPECT_EQ(_vresourceSetGlobalOptions(1), 5u);

  struct Case {
    std::uint32_t word;
    bool chunk;
  } cases[] = {{1, true}, {0, false}, {4, false}, {5, true}};
  for (const Case& c : cases) {
    _vresourceSetGlobalOptions(c.word);
    EXPECT_EQ(vresourceGetTestDefault(), c.chunk) << c.word;
    vresource made = vresourceCreateMemory();
    EXPECT_EQ(vresourceTableOf(made), c.chunk ? 1 : 0) << c.word;
    vresourceCloseFile(made);
  }
  // The old calls write the bit and keep the others.
  _vresourceSetGlobalOptions(6);
  vresourceSetTestDefault(true);
  EXPECT_EQ(_vresourceGetGlobalOptions(), 7u);
  vresourceSetTestDefault(false);
  EXPECT_EQ(_vresourceGetGlobalOptions(), 6u);
  _vresourceSetGlobalOptions(saved);
}

// New files go to the chunk store by default, while the built system file
// still opens by its format as a ".vr" store.
TEST(ResourceOptions, SystemFileOpensByItsFormat) {
  std::uint32_t saved = _vresourceSetGlobalOptions(1);
  _vinstReset();
  vresource system = vinstGetSystemResource();
  EXPECT_EQ(vinstSystemResourceInMemory(), 0);
  EXPECT_EQ(vresourceTableOf(system), 0);
  EXPECT_GT(vresourceCount(system), 0);
  vresource made = vresourceCreateMemory();
  EXPECT_EQ(vresourceTableOf(made), 1);
  vresourceCloseFile(made);
  _vinstReset();
  _vresourceSetGlobalOptions(saved);
}

}  // namespace
