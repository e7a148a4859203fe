// The window layer's GDI half: the DC cache, object caches and recovery.
#include "fw/gui/window/mswgdi.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fw/gui/window/msw.h"
#include "tests/fw/gui/raises.h"

namespace {

// What happened, in order, across the wrapped native calls, the delete
// operations and the broadcast.
std::vector<std::string> events;
int failuresLeft = 0;  // creations still to fail (-1: all)

bool failNow() {
  if (failuresLeft == 0) return false;
  if (failuresLeft > 0) failuresLeft--;
  return true;
}

win::LRESULT listener(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message == vwindowMSWDestroyCachedObjectsMessage())
    events.push_back(lParam == reinterpret_cast<win::LPARAM>(vwindowMSWGetDisplay()->mainWindow) ? "broadcast(root)"
                                                                                                : "broadcast(other)");
  return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

struct GdiTest : ::testing::Test {
  win::HWND listening = nullptr;

  void SetUp() override {
    vwindowEnsureStartup();
    _vwindowMSWDestroyDCRegistry();  // the cache starts empty
    events.clear();
    failuresLeft = 0;
    static bool registered = false;
    if (!registered) {
      win::WNDCLASSA wc{};
      wc.lpfnWndProc = listener;
      wc.lpszClassName = "mswgdiListener";
      registered = win::RegisterClassA(&wc) != 0;
    }
    listening = win::CreateWindowExA(0, "mswgdiListener", "listener", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
  }
  void TearDown() override {
    _vwindowMSWResetGdiCalls();
    _vwindowMSWDestroyDCRegistry();
    vwindowMSWDestroyCachedObjects(1);
    win::DestroyWindow(listening);
  }
};

// ---- Object caches.

struct Obj : vwindowMSWCachedObject {
  const char* name;
};

void deleteNative(vwindowMSWCachedObject* o) { events.push_back(std::string("delete ") + static_cast<Obj*>(o)->name); }

Obj make(const char* name) { return Obj{{vwindowMSW_OBJECT_NATIVE, 0, nullptr}, name}; }
bool cached(const Obj& o) { return (o.flags & vwindowMSW_OBJECT_CACHED) != 0; }
void use(vwindowMSWObjectCache* c, Obj& o) { vwindowMSWUseCachedObject(c, &o, nullptr, 1, 2, 1, 1, 0); }

TEST_F(GdiTest, ObjectCacheEvictsTheLeastRecentlyUsedUnlockedObject) {
  vwindowMSWObjectCache* c = vwindowMSWCreateObjectCache(3, deleteNative);
  Obj a = make("a"), b = make("b"), d = make("d"), e = make("e"), f = make("f");
  Obj cc = make("c");
  use(c, a);
  use(c, b);
  use(c, cc);
  EXPECT_TRUE(events.empty());
  a.locks = 1;  // the oldest, passed over
  use(c, d);
  EXPECT_EQ(events, (std::vector<std::string>{"delete b"}));
  EXPECT_FALSE(cached(b));
  EXPECT_EQ(b.flags & vwindowMSW_OBJECT_NATIVE, 0);
  EXPECT_EQ(b.entry, nullptr);
  EXPECT_TRUE(cached(a));
  // Using c again makes it the newest, so d is the next to go after the
  // locked a.
  events.clear();
  use(c, cc);
  EXPECT_EQ(events, (std::vector<std::string>{"delete c"}));  // an existing entry drops its old native object
  events.clear();
  use(c, e);
  EXPECT_EQ(events, (std::vector<std::string>{"delete d"}));
  // Everything locked: nothing can go.
  cc.locks = e.locks = 1;
  std::string message;
  EXPECT_EQ(raised([&] { use(c, f); }, &message), &vexModuleStateClass);
  EXPECT_EQ(message, "all cached objects are locked");
  EXPECT_FALSE(cached(f));
  // A freed entry is taken before anything is evicted.
  events.clear();
  a.locks = 0;
  vwindowMSWFreeCachedObject(c, &a, nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"delete a"}));
  EXPECT_FALSE(cached(a));
  events.clear();
  use(c, f);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(c->used, 3);
  // A flush frees the newest first.
  vwindowMSWFlushObjectCache(c, 1);
  EXPECT_EQ(events, (std::vector<std::string>{"delete f", "delete e", "delete c"}));
  EXPECT_FALSE(cached(cc) || cached(e) || cached(f));
}

TEST_F(GdiTest, ObjectCacheValuesAndDeleteOperations) {
  vwindowMSWObjectCache* c = vwindowMSWCreateObjectCache(2, deleteNative);
  Obj a = make("a");
  // Without the cache flag nothing happens.
  vwindowMSWUseCachedObject(c, &a, nullptr, 10, 20, 1, 0, 0);
  EXPECT_FALSE(cached(a));
  struct Case {
    int selector, keep;
    std::intptr_t value;
  } cases[] = {{1, 0, 10}, {0, 0, 20}, {1, 1, 20}};
  for (const Case& k : cases) {
    vwindowMSWUseCachedObject(c, &a, nullptr, 10, 20, k.selector, 1, k.keep);
    EXPECT_EQ(a.entry->value, k.value) << k.selector << k.keep;
  }
  // The entry's own delete operation wins over the one given at the free.
  Obj b = make("b");
  vwindowMSWUseCachedObject(c, &b, [](vwindowMSWCachedObject*) { events.push_back("own"); }, 0, 0, 0, 1, 0);
  events.clear();
  vwindowMSWFreeCachedObject(c, &b, deleteNative);
  EXPECT_EQ(events, (std::vector<std::string>{"own"}));
  // Freeing an object that is not cached does nothing.
  vwindowMSWFreeCachedObject(c, &b, deleteNative);
  EXPECT_EQ(events.size(), 1u);
  vwindowMSWFlushObjectCache(c, 1);
}

// ---- Recovery.

vwindowMSWObjectCache* cacheWithOne(Obj* o) {
  vwindowMSWObjectCache* c = vwindowMSWCreateObjectCache(4, [](vwindowMSWCachedObject*) { events.push_back("flush"); });
  use(c, *o);
  return c;
}

TEST_F(GdiTest, AFailingRegionFlushesThenBroadcastsThenRaises) {
  Obj o = make("o");
  vwindowMSWObjectCache* c = cacheWithOne(&o);
  vwindowMSWGdi.createRectRgn = [](int l, int t, int r, int b) -> win::HRGN {
    events.push_back("create");
    return failNow() ? nullptr : win::CreateRectRgn(l, t, r, b);
  };
  failuresLeft = -1;
  std::string message;
  EXPECT_EQ(raised([] { vwindowMSWCreateRectRgn(0, 0, 5, 5); }, &message), &vexReturnNullClass);
  EXPECT_EQ(message, "No Windows resources (REGION)");
  EXPECT_EQ(events, (std::vector<std::string>{"create", "flush", "create", "broadcast(root)", "create"}));
  // The flush keeps the cache: the object can be cached again.
  EXPECT_FALSE(cached(o));
  use(c, o);
  // One failure: the local flush is enough.
  events.clear();
  failuresLeft = 1;
  win::HRGN r = vwindowMSWCreateRectRgn(0, 0, 5, 5);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"create", "flush", "create"}));
  win::RECT box;
  win::GetRgnBox(r, &box);
  EXPECT_EQ(box.right, 5);
  win::DeleteObject(r);
  vwindowMSWFlushObjectCache(c, 1);
}

TEST_F(GdiTest, FailingContextCreationsNameTheirResource) {
  vwindowMSWGdi.createDC = [](const char* d, const char* v, const char* o, const void* m) -> win::HDC {
    return failNow() ? nullptr : win::CreateDCA(d, v, o, m);
  };
  vwindowMSWGdi.createCompatibleDC = [](win::HDC hdc) -> win::HDC {
    return failNow() ? nullptr : win::CreateCompatibleDC(hdc);
  };
  struct Case {
    int memory;
    int failures;  // the reference display context comes first for a memory one
    const char* message;
  } cases[] = {{0, 3, "No Windows resources (DC)"}, {1, 3, "No Windows resources (DC)"},
               {1, 0, nullptr}};
  for (const Case& k : cases) {
    failuresLeft = k.failures;
    std::string message;
    EXPECT_EQ(raised([&] { vwindowMSWReleaseCachedDC(vwindowMSWAcquireCachedDC(k.memory)); }, &message),
              k.message ? &vexReturnNullClass : nullptr);
    if (k.message) {
      EXPECT_EQ(message, k.message);
    }
  }
  // With the reference made, a failing memory context names itself.
  vwindowMSWReleaseCachedDC(vwindowMSWAcquireCachedDC(0));
  win::HDC held = vwindowMSWAcquireCachedDC(1);  // the idle one is taken
  failuresLeft = 3;
  std::string message;
  EXPECT_EQ(raised([] { vwindowMSWAcquireCachedDC(1); }, &message), &vexReturnNullClass);
  EXPECT_EQ(message, "No Windows resources (COMPAT_DC)");
  vwindowMSWReleaseCachedDC(held);
}

TEST_F(GdiTest, RegionDataComesInTheKeptScratchBuffer) {
  win::HRGN band = vwindowMSWCreateRectRgn(0, 0, 10, 4);
  win::HRGN square = vwindowMSWCreateRectRgn(0, 0, 3, 20);
  win::CombineRgn(band, band, square, win::RGN_OR);
  win::DWORD size = 0;
  win::RGNDATA* data = vwindowMSWGetRegionData(band, &size);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, sizeof(win::RGNDATAHEADER) + data->rdh.nCount * sizeof(win::RECT));
  EXPECT_EQ(data->rdh.rcBound.right, 10);
  EXPECT_EQ(data->rdh.rcBound.bottom, 20);
  // A smaller region reuses the same buffer.
  EXPECT_EQ(vwindowMSWGetRegionData(square, &size), data);
  EXPECT_EQ(data->rdh.nCount, 1u);
  // A region the platform cannot read gives none.
  vwindowMSWGdi.getRegionData = [](win::HRGN, win::DWORD, win::RGNDATA*) -> win::DWORD { return 0; };
  EXPECT_EQ(vwindowMSWGetRegionData(square, &size), nullptr);
  EXPECT_EQ(size, 0u);
  win::DeleteObject(band);
  win::DeleteObject(square);
}

// ---- The DC cache.

TEST_F(GdiTest, DCCacheHoldsTwelveAndKeepsFiveIdle) {
  static int made;
  made = 0;
  vwindowMSWGdi.createDC = [](const char* d, const char* v, const char* o, const void* m) {
    made++;
    return win::CreateDCA(d, v, o, m);
  };
  std::vector<win::HDC> out;
  for (int i = 0; i < 12; ++i) out.push_back(vwindowMSWAcquireCachedDC(0));
  EXPECT_EQ(std::set<win::HDC>(out.begin(), out.end()).size(), 12u);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().reference, out[0]);
  // A context handed out is ready to draw text without a background.
  EXPECT_EQ(win::GetBkMode(out[3]), win::TRANSPARENT);
  EXPECT_EQ(win::GetStretchBltMode(out[3]), win::COLORONCOLOR);
  EXPECT_EQ(win::GetTextColor(out[3]), win::RGB(0, 0, 0));
  EXPECT_EQ(win::GetBkColor(out[3]), win::RGB(255, 255, 255));
  // The thirteenth cannot be cached.
  EXPECT_EQ(raised([] { vwindowMSWAcquireCachedDC(0); }), &vexValueClass);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().cached, 12);
  // Releases delete while six or more are cached.
  for (win::HDC hdc : out) vwindowMSWReleaseCachedDC(hdc);
  vwindowMSWDCCacheInfo info = _vwindowMSWGetDCCacheInfo();
  EXPECT_EQ(info.cached, 5);
  EXPECT_EQ(info.handedOut, 0);
  EXPECT_EQ(info.reference, nullptr);  // the first went with the deleted ones
  // The five idle ones are handed out again before any is made.
  int before = made;
  std::set<win::HDC> kept(out.end() - 5, out.end());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(kept.count(vwindowMSWAcquireCachedDC(0)), 1u);
  EXPECT_EQ(made, before);
  win::HDC fresh = vwindowMSWAcquireCachedDC(0);
  EXPECT_EQ(made, before + 1);
  vwindowMSWReleaseCachedDC(fresh);
  // Six cached: this release deletes, leaving five.
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().cached, 5);
}

TEST_F(GdiTest, DCCacheKindsAndBadReleases) {
  win::HDC memory = vwindowMSWAcquireCachedDC(1);
  vwindowMSWDCCacheInfo info = _vwindowMSWGetDCCacheInfo();
  EXPECT_EQ(info.cached, 2);  // the reference display context, idle, and the memory one
  EXPECT_EQ(info.handedOut, 1);
  EXPECT_EQ(win::GetObjectType(memory), win::OBJ_MEMDC);
  EXPECT_EQ(win::GetObjectType(info.reference), win::OBJ_DC);
  vwindowMSWReleaseCachedDC(memory);
  // Each kind comes back from its own slots.
  EXPECT_EQ(vwindowMSWAcquireCachedDC(0), info.reference);
  EXPECT_EQ(vwindowMSWAcquireCachedDC(1), memory);
  // The object selected into a cached context is found from the object.
  int dummy;
  win::HGDIOBJ object = &dummy;
  _vwindowMSWSetCachedDCObject(memory, object);
  EXPECT_EQ(_vwindowMSWFindCachedDCObject(object), memory);
  vwindowMSWReleaseCachedDC(memory);
  EXPECT_EQ(_vwindowMSWFindCachedDCObject(object), nullptr);
  // A context that is not handed out cannot be released.
  win::HDC stranger = win::CreateCompatibleDC(nullptr);
  EXPECT_TRUE(raisesArg([&] { vwindowMSWReleaseCachedDC(stranger); }));
  EXPECT_TRUE(raisesArg([&] { vwindowMSWReleaseCachedDC(memory); }));
  win::DeleteDC(stranger);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().handedOut, 1);
}

}  // namespace
