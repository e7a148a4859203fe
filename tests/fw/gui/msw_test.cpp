// The window-system layer on the headless platform: start-up, opening and
// closing, the registry, geometry, grabs, the pointer and keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fw/core/sys.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/msw_internal.h"
#include "fw/gui/window/mswgdi.h"
#include "platform/win/test.h"
#include "tests/fw/gui/msw_fixture.h"
#include "tests/fw/gui/raises.h"

namespace {

using MSW = MSWFixture;

TEST_F(MSW, StartupReadsTheDisplayAndBuildsTheRoot) {
  const vwindowMSWDisplay* d = vwindowMSWGetDisplay();
  EXPECT_EQ(d->depth, 24);
  EXPECT_EQ(d->colors, 1 << 24);
  EXPECT_EQ(d->imageDepth, 24);
  EXPECT_EQ(d->majorVersion, 4);
  EXPECT_EQ(d->pixelsPerInchX, 96.0);
  EXPECT_FALSE(vwindowIsMonochrome());
  vwindow* root = vwindowGetRoot();
  ASSERT_NE(root->native, nullptr);
  EXPECT_EQ(d->mainWindow, root->native->hwnd);
  EXPECT_FALSE(win::IsWindowVisible(root->native->hwnd));
  win::RECT r;
  win::GetWindowRect(root->native->hwnd, &r);
  EXPECT_EQ(r.right - r.left, d->screenWidth);
  EXPECT_EQ(r.bottom - r.top, d->screenHeight);
  EXPECT_EQ(root->rect.width, d->screenWidth);
  EXPECT_EQ(vwindowFindFromMSWWindow(root->native->hwnd), root);
  EXPECT_EQ(vwindowMSWGetRegistrySize(), 17u);
  EXPECT_EQ(_vwindowMSW().rootClassName.rfind("_vwindowClassRoot.", 0), 0u);
  win::WNDCLASSA wc{};
  EXPECT_TRUE(win::GetClassInfoA(win::GetModuleHandleA(nullptr), _vwindowMSW().rootClassName.c_str(), &wc));
  // The display context came from the cache and went back to it.
  EXPECT_GE(_vwindowMSWGetDCCacheInfo().cached, 1);
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().handedOut, 0);
  EXPECT_EQ(_vwindowMSWGetGdiSetup()->rootWindow, root->native->hwnd);
  EXPECT_EQ(_vwindowMSWGetGdiSetup()->imageDepth, 24);
  EXPECT_NE(_vwindowMSW().endMenu, nullptr);  // USER32 on this system
  EXPECT_FALSE(_vwindowMSW().badCreateDIBitmap);
}

TEST(MSWDisplay, TheRasterOperationsTheSystemNeeds) {
  constexpr int all = win::RC_BITBLT | win::RC_BITMAP64 | win::RC_DI_BITMAP;
  for (int missing : {win::RC_BITBLT, win::RC_BITMAP64, win::RC_DI_BITMAP})
    EXPECT_EQ(raised([&] { _vwindowMSWCheckRasterCaps(all & ~missing); }), &vexModuleLimitClass) << missing;
  EXPECT_EQ(raised([&] { _vwindowMSWCheckRasterCaps(all | win::RC_PALETTE); }), nullptr);
}

TEST_F(MSW, ShutdownForgetsWindowsAndAStartupComesBack) {
  vwindow* w = open(vwindowDECO_TOP_LEVEL | 0x3F, {10, 10, 50, 40});
  win::HWND h = w->native->hwnd;
  int count = vwindowMSWGetStartupCount();
  _vwindowMSWShutdown();
  EXPECT_EQ(w->native, nullptr);
  EXPECT_FALSE(win::IsWindow(h));
  EXPECT_EQ(vwindowFindFromMSWWindow(h), nullptr);
  EXPECT_FALSE(vwindowMSWIsStarted());
  EXPECT_EQ(_vwindowMSWGetDCCacheInfo().cached, 0);
  w->flags &= ~vwindowOPEN;
  vwindowEnsureStartupAlt();
  EXPECT_EQ(vwindowMSWGetStartupCount(), count + 1);
  EXPECT_NE(vwindowGetRoot()->native, nullptr);
  vwindowDestroy(w);
}

// Before version 4 on a system that is not NT, the auxiliary library is
// asked for the entry points; it is not there, so none is found.
TEST_F(MSW, OlderSystemsTakeTheAuxiliaryBranch) {
  _vwindowMSWShutdown();
  _vwindowMSWSetVersion(0x80000003u);
  vwindowEnsureStartup();
  EXPECT_EQ(_vwindowMSW().endMenu, nullptr);
  EXPECT_EQ(_vwindowMSW().aux, nullptr);
  EXPECT_TRUE(_vwindowMSW().badCreateDIBitmap);
  EXPECT_EQ(vwindowMSWGetDisplay()->majorVersion, 3);
  _vwindowMSWShutdown();
  _vwindowMSWSetVersion(0);
  vwindowEnsureStartup();
}

TEST_F(MSW, RegistryGrowsFrom17To37AndFindsPastHoles) {
  vwindow* owner = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 300, 300});
  std::vector<vwindow*> ws{owner};
  // The root and 16 windows fill the 17 slots.
  while (ws.size() < 16) ws.push_back(open(0x3F, {0, 0, 20, 20}, owner));
  EXPECT_EQ(vwindowMSWGetRegistrySize(), 17u);
  ws.push_back(open(0x3F, {0, 0, 20, 20}, owner));
  EXPECT_EQ(vwindowMSWGetRegistrySize(), 37u);
  for (vwindow* w : ws) EXPECT_EQ(vwindowFindFromMSWWindow(w->native->hwnd), w);
  // Holes left by closing do not stop a look-up.
  for (std::size_t i = 1; i < ws.size(); i += 2) close(ws[i]);
  for (std::size_t i = 0; i < ws.size(); i += 2) EXPECT_EQ(vwindowFindFromMSWWindow(ws[i]->native->hwnd), ws[i]);
  vwindowMSWRegistryIterator it;
  vwindowMSWInitRegistryIterator(&it);
  std::size_t seen = 0;
  while (vwindowMSWNextRegistryIterator(&it)) ++seen;
  EXPECT_EQ(seen, (ws.size() + 1) / 2);  // open windows only, not the root
  for (std::size_t i = ws.size(); i-- > 0;) close(ws[i]);
  for (vwindow* w : ws) vwindowDestroy(w);
}

TEST_F(MSW, UnregisteringAnUnknownWindowRaisesValue) {
  vwindow* w = open(0x3F, {0, 0, 20, 20});
  close(w);
  vwindowMSWNative fake{};
  w->native = &fake;
  std::string message;
  EXPECT_EQ(raised([&] { unregisterWindow(w); }, &message), &vexValueClass);
  EXPECT_EQ(message, "unregisterWindow: vwindow is not a valid reference");
  w->native = nullptr;
  vwindowDestroy(w);
}

TEST_F(MSW, TaskWindowHidesWhileTopLevelWindowsAreOpen) {
  win::HWND task = vsysGetTaskWindow();
  ASSERT_NE(task, nullptr);
  ASSERT_TRUE(win::IsWindowVisible(task));
  vwindow* a = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 50, 50});
  EXPECT_FALSE(win::IsWindowVisible(task));
  vwindow* b = open(vwindowDECO_TOP_LEVEL | 0x3F, {60, 0, 50, 50});
  close(a);
  EXPECT_FALSE(win::IsWindowVisible(task));
  close(b);
  EXPECT_TRUE(win::IsWindowVisible(task));
  EXPECT_NE(win::GetActiveWindow(), task);  // shown without activation
  vwindowDestroy(a);
  vwindowDestroy(b);
}

TEST_F(MSW, ClassesByIndex) {
  vwindow* top = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 80, 80});
  vwindow* plain = open(0x3F, {0, 0, 20, 20}, top);
  vwindow* saving = open(0x3F, {0, 0, 20, 20}, top, vwindowSAVE_BITS);
  struct Row {
    vwindow* w;
    int index;
    win::UINT style;
    int extra;
  };
  const Row rows[] = {{top, 0, win::CS_OWNDC, 8},
                      {plain, 1, win::CS_OWNDC, 0},
                      {saving, 3, win::CS_OWNDC | win::CS_SAVEBITS, 0}};
  char expected[64];
  for (const Row& r : rows) {
    std::snprintf(expected, sizeof expected, "_vwindowClass%x.%x", static_cast<unsigned>(r.index),
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(win::GetModuleHandleA(nullptr))));
    EXPECT_EQ(_vwindowMSW().classNames[r.index], expected);
    EXPECT_EQ(win::GetClassLongPtrA(r.w->native->hwnd, win::GCL_STYLE), r.style) << r.index;
    EXPECT_EQ(win::GetClassLongPtrA(r.w->native->hwnd, win::GCL_CBWNDEXTRA), static_cast<win::ULONG_PTR>(r.extra));
  }
  EXPECT_TRUE(_vwindowMSW().classNames[2].empty());  // registered on first need
  EXPECT_NE(win::GetMenu(top->native->hwnd), nullptr);  // a top-level window has a menu bar
  EXPECT_EQ(vwindowGetMSWKind(top), vwindowMSW_KIND_TOP);
  EXPECT_EQ(vwindowGetMSWKind(plain), vwindowMSW_KIND_PLAIN);
  EXPECT_EQ(plain->native->parent, top->native->hwnd);
  EXPECT_EQ(plain->native->flags & vwindowMSW_NO_OWNER, 0u);
  EXPECT_EQ(top->native->flags, vwindowMSW_NEW);
  close(saving);
  close(plain);
  close(top);
  for (vwindow* w : {saving, plain, top}) vwindowDestroy(w);
}

TEST_F(MSW, StylesFromDecorationFlags) {
  struct Row {
    std::uint16_t decoration;
    std::uint16_t flags;
    win::DWORD style;
    win::DWORD exStyle;
  };
  constexpr win::DWORD caption = win::WS_CLIPCHILDREN | win::WS_BORDER | win::WS_DLGFRAME | win::WS_SYSMENU;
  const Row rows[] = {
      {0x3F, 0, caption | win::WS_MINIMIZEBOX | win::WS_MAXIMIZEBOX | win::WS_THICKFRAME, 0},
      {0x2, 0, caption, 0},
      {0x200, vwindowMODAL, caption, win::WS_EX_DLGMODALFRAME},
      // Every modal window with a caption is a dialog, a sizable one (a
      // file chooser, with its boxes) too, and a sizable one framed as a
      // dialog; a modeless fixed one is left to its frame.
      {0x208, vwindowMODAL, caption | win::WS_THICKFRAME, win::WS_EX_DLGMODALFRAME},
      {0x3F, vwindowMODAL, caption | win::WS_MINIMIZEBOX | win::WS_MAXIMIZEBOX | win::WS_THICKFRAME,
       win::WS_EX_DLGMODALFRAME},
      {0x1, vwindowMODAL, win::WS_POPUP, 0},
      {0x208, 0, caption | win::WS_THICKFRAME, win::WS_EX_DLGMODALFRAME},
      {0x200, 0, caption, 0},
      {0x800 | 0x2, 0, caption, win::WS_EX_TOOLWINDOW},
      {0x1, 0, win::WS_POPUP, 0},
  };
  for (const Row& r : rows) {
    vwindow* w = open(vwindowDECO_TOP_LEVEL | r.decoration, {0, 0, 30, 30}, nullptr, r.flags);
    EXPECT_EQ(w->native->style, r.style) << std::hex << r.decoration;
    EXPECT_EQ(w->native->exStyle, r.exStyle) << std::hex << r.decoration;
    close(w);
    vwindowDestroy(w);
  }
}

TEST_F(MSW, AClosedSaveBitsPopupIsReusedByTheNextBarePopup) {
  vwindow* top = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 300, 300});
  vwindow* menu = open(0, {10, 10, 40, 60}, top, vwindowSAVE_BITS);
  win::HWND h = menu->native->hwnd;
  EXPECT_EQ(menu->native->style, win::WS_POPUP);
  EXPECT_EQ(menu->native->savedParent, vwindowGetRoot()->native->hwnd);
  EXPECT_EQ(win::GetParent(h), top->native->hwnd);
  close(menu);
  EXPECT_TRUE(win::IsWindow(h));  // kept
  EXPECT_EQ(win::GetParent(h), vwindowGetRoot()->native->hwnd);
  vwindow* other = open(0, {50, 20, 30, 30}, top, vwindowSAVE_BITS);
  EXPECT_EQ(other->native->hwnd, h);
  EXPECT_EQ(win::GetParent(h), top->native->hwnd);
  win::RECT r;
  win::GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.bottom - r.top, 30);
  close(other);
  close(top);
  for (vwindow* w : {menu, other, top}) vwindowDestroy(w);
}

TEST_F(MSW, NativeTopCountsFromTheScreenBottom) {
  int screen = vwindowMSWGetDisplay()->screenHeight;
  vwindow* w = open(vwindowDECO_TOP_LEVEL | 0x3F, {30, 0, 120, 90});
  win::RECT r;
  win::GetWindowRect(w->native->hwnd, &r);
  EXPECT_EQ(r.bottom, screen);
  EXPECT_EQ(r.top, screen - 90);
  EXPECT_EQ(r.left, 30);
  vwindow* p = open(0x3F, {5, 200, 20, 10}, w);
  win::GetWindowRect(p->native->hwnd, &r);
  EXPECT_EQ(r.top, screen - 200 - 10);
  close(p);
  close(w);
  vwindowDestroy(p);
  vwindowDestroy(w);
}

TEST_F(MSW, GrabsStackAndHandTheCaptureDown) {
  vwindow* a = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 50, 50});
  vwindow* b = open(vwindowDECO_TOP_LEVEL | 0x3F, {60, 0, 50, 50});
  vwindow* closed = vwindowCreate();
  std::string message;
  EXPECT_EQ(raised([&] { vwindowGrab(closed); }, &message), &vexArgNotOpenClass);
  EXPECT_EQ(raised([&] { vwindowUngrab(a); }, &message), &vexArgGrabClass);
  EXPECT_EQ(message, "not grabbing");
  vwindowGrab(a);
  EXPECT_EQ(raised([&] { vwindowGrab(a); }, &message), &vexArgGrabClass);
  EXPECT_EQ(message, "already grabbing");
  vwindowGrab(b);
  EXPECT_EQ(win::GetCapture(), b->native->hwnd);
  EXPECT_EQ(vwindowMSWGetTopGrab(), b);
  EXPECT_EQ(vwindowMSWGetCurrentModal(), b);
  vwindowUngrab(b);
  EXPECT_EQ(win::GetCapture(), a->native->hwnd);
  EXPECT_EQ(vwindowMSWGetTopGrab(), a);
  // A modal window that does not grab is not in the capture's way.
  vwindowMSWBeginModal(b);
  EXPECT_EQ(vwindowMSWGetCurrentModal(), b);
  EXPECT_EQ(vwindowMSWGetTopGrab(), a);
  EXPECT_EQ(raised([&] { vwindowGrab(b); }, &message), &vexArgGrabClass);
  vwindowUngrab(a);
  EXPECT_EQ(win::GetCapture(), nullptr);
  vwindowMSWEndModal(b);
  EXPECT_EQ(vwindowMSWGetCurrentModal(), nullptr);
  // A button grab lasts for the press and puts things back.
  vwindowMSWBeginModal(a);
  vwindowMSWButtonGrab(a);
  EXPECT_EQ(win::GetCapture(), a->native->hwnd);
  vwindowMSWButtonRelease(a);
  EXPECT_EQ(a->native->flags & (vwindowMSW_GRAB | vwindowMSW_MODAL), vwindowMSW_MODAL);
  EXPECT_EQ(vwindowMSWGetCurrentModal(), a);
  vwindowMSWEndModal(a);

  vwindowBlockGrabs();
  vwindowUnblockGrabs();
  EXPECT_EQ(raised([&] { vwindowUnblockGrabs(); }, &message), &vexArgGrabClass);
  EXPECT_EQ(message, "not grabbing");
  close(b);
  close(a);
  for (vwindow* w : {a, b, closed}) vwindowDestroy(w);
}

// The one check: which modal window keeps a window from input, as the
// stack of modal windows and grabs changes. (The root on the stack, while
// a platform dialog runs, blocks all; the root is not open here.)
TEST_F(MSW, AWindowIsBlockedByTheTopModalWindowItIsNotInside) {
  vwindow* main = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 200, 200});
  vwindow* part = open(0x3F, {10, 10, 20, 20}, main);
  vwindow* modal = open(vwindowDECO_TOP_LEVEL | 0x3F, {300, 0, 100, 100});
  vwindow* inner = open(0x3F, {10, 10, 20, 20}, modal);
  vwindow* menu = open(vwindowDECO_TOP_LEVEL | 0x3F, {300, 200, 50, 80});
  vwindow* notice = open(vwindowDECO_TOP_LEVEL | 0x3F, {500, 0, 100, 50}, nullptr, vwindowMODAL);
  struct Row {
    vwindow* w;
    vwindow* blockedBy;
  };
  auto expect = [](const char* stack, std::initializer_list<Row> rows) {
    int i = 0;
    for (const Row& r : rows) EXPECT_EQ(vwindowMSWBlockedBy(r.w), r.blockedBy) << stack << ", row " << i++;
  };
  expect("empty", {{main, nullptr}, {part, nullptr}, {modal, nullptr}, {nullptr, nullptr}});
  vwindowMSWBeginModal(modal);
  expect("modal", {{main, modal}, {part, modal}, {modal, nullptr}, {inner, nullptr}, {menu, modal},
                   {notice, nullptr} /* a modal window on its way onto the stack */});
  vwindowGrab(menu);  // the modal window's menu
  expect("modal, its menu", {{main, modal}, {part, modal}, {modal, nullptr}, {inner, nullptr}, {menu, nullptr}});
  vwindowMSWBeginModal(notice);
  expect("modal, menu, notice", {{main, notice}, {modal, notice}, {inner, notice}, {menu, notice}, {notice, nullptr}});
  vwindowMSWEndModal(notice);
  vwindowMSWEndModal(modal);
  expect("a grab alone", {{main, nullptr}, {modal, nullptr}, {menu, nullptr}});
  vwindowUngrab(menu);
  expect("empty again", {{main, nullptr}, {modal, nullptr}, {menu, nullptr}});
  for (vwindow* w : {part, main, inner, modal, menu, notice}) {
    close(w);
    vwindowDestroy(w);
  }
}

TEST_F(MSW, PointerCountsFromTheBottomAndKeysNeedAnOpenWindow) {
  vwindow* w = open(vwindowDECO_TOP_LEVEL | 0x3F, {100, 100, 200, 150});
  win::POINT origin{0, 0};
  win::ClientToScreen(w->native->hwnd, &origin);
  win::SetCursorPos(origin.x + 7, origin.y + 20);
  int x = 0, y = 0;
  vwindowGetPointer(w, &x, &y);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 150 - 20 - 1);
  EXPECT_EQ(vwindowGetPointerWindow(), w);
  vwindowWarpPointer(w, 3, 0);
  win::POINT p;
  win::GetCursorPos(&p);
  EXPECT_EQ(p.x, origin.x + 3);
  EXPECT_EQ(p.y, origin.y + 149);
  vwindowWarpPointer(nullptr, 2, 5);
  win::GetCursorPos(&p);
  EXPECT_EQ(p.y, origin.y + 144);

  vrect area{0, 0, 10, 10}, moved{5, 5, 10, 10};
  vobject* cursor = reinterpret_cast<vobject*>(w);  // compared, never used
  EXPECT_TRUE(raisesArg([&] { vwindowRemoveCursorRect(w, cursor, &area); }));
  vwindowAddCursorRect(w, cursor, &area);
  vwindowMoveCursorRect(w, cursor, &area, &moved);
  EXPECT_TRUE(raisesArg([&] { vwindowRemoveCursorRect(w, cursor, &area); }));
  vwindowRemoveCursorRect(w, cursor, &moved);

  const std::uint32_t key = 0x410002;
  vname bound = vnameInternLiteral("Bound"), classBound = vnameInternLiteral("ClassBound");
  EXPECT_EQ(vwindowLookupKeyBinding(w, key), nullptr);
  vdictStore(vwindowMSWGetKeyDict(w), reinterpret_cast<const void*>(std::uintptr_t{key} + 1), bound);
  EXPECT_EQ(vwindowLookupKeyBinding(w, key), bound);
  vdictStore(vwindowClassOf(w)->keyBindings, reinterpret_cast<const void*>(std::uintptr_t{key} + 2), classBound);
  EXPECT_EQ(vwindowLookupKeyBinding(w, key + 1), classBound);
  vdictRemove(vwindowClassOf(w)->keyBindings, reinterpret_cast<const void*>(std::uintptr_t{key} + 2));
  EXPECT_EQ(vwindowLookupKeyOverride(w, key), nullptr);
  close(w);
  std::string message;
  EXPECT_EQ(raised([&] { vwindowLookupKeyBinding(w, key); }, &message), &vexArgNotOpenClass);
  EXPECT_EQ(message, "Not Open");
  vwindowDestroy(w);
}

TEST_F(MSW, PlacementAlignsTheFrameOnItsBase) {
  vwindow* base = open(vwindowDECO_TOP_LEVEL | 0x3F, {100, 100, 400, 300});
  vwindow* w = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 100, 50});
  vwindowPlace(w, base, 6, 14);  // centred both ways
  EXPECT_EQ(w->rect.x, 250);
  EXPECT_EQ(w->rect.y, 225);
  win::RECT r;
  win::GetWindowRect(w->native->hwnd, &r);
  EXPECT_EQ(r.left, 250);
  EXPECT_EQ(r.top, vwindowMSWGetDisplay()->screenHeight - 225 - 50);
  close(w);
  close(base);
  vwindowDestroy(w);
  vwindowDestroy(base);
}

}  // namespace

// ---- Document windows, over a stand-in multiple-document client ----------------------

namespace {

struct ClientLog {
  win::MDICREATESTRUCTA last{};
  bool refuse = false;
  int destroyed = 0;
};
ClientLog clientLog;

win::LRESULT clientProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (message == win::WM_MDICREATE) {
    auto* mc = reinterpret_cast<win::MDICREATESTRUCTA*>(lParam);
    clientLog.last = *mc;
    if (clientLog.refuse) return 0;
    // The framework and the child see messages before the handle returns.
    EXPECT_NE(vwindowMSWGetCreatingWindow(), nullptr);
    win::HWND child = win::CreateWindowExA(0, mc->szClass, mc->szTitle, win::WS_CHILD | win::WS_VISIBLE, mc->x, mc->y,
                                           mc->cx, mc->cy, hwnd, nullptr, win::GetModuleHandleA(nullptr), nullptr);
    return reinterpret_cast<win::LRESULT>(child);
  }
  if (message == win::WM_MDIDESTROY) {
    ++clientLog.destroyed;
    win::DestroyWindow(reinterpret_cast<win::HWND>(wParam));
    return 0;
  }
  return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

struct Documents : MSWFixture {
  vwindow* frame = nullptr;
  vwindow* middle = nullptr;
  win::HWND client = nullptr;
  void SetUp() override {
    MSWFixture::SetUp();
    clientLog = {};
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = clientProc;
    wc.hInstance = win::GetModuleHandleA(nullptr);
    wc.lpszClassName = "mswTestClient";
    win::RegisterClassA(&wc);
    frame = open(vwindowDECO_TOP_LEVEL | 0x3F, {50, 50, 400, 300});
    client = win::CreateWindowExA(0, "mswTestClient", "", win::WS_CHILD | win::WS_VISIBLE, 0, 0, 400, 300,
                                  frame->native->hwnd, nullptr, wc.hInstance, nullptr);
    vwindowSetMSWMDIClient(frame, client, 7);
    middle = open(0x3F, {0, 0, 10, 10}, frame);  // a plain window between the two
  }
  void TearDown() override {
    close(middle);
    close(frame);
    vwindowDestroy(middle);
    vwindowDestroy(frame);
    win::UnregisterClassA("mswTestClient", win::GetModuleHandleA(nullptr));
  }
};

TEST_F(Documents, ADocumentBelongsToItsNearestTopLevelAncestor) {
  EXPECT_EQ(vwindowGetMSWMDIClient(frame), client);
  EXPECT_EQ(reinterpret_cast<win::HWND>(win::GetWindowLongPtrA(frame->native->hwnd, 0)), client);
  vwindow* doc = open(vwindowDECO_DOCUMENT | 0x3F, {20, 30, 100, 80}, middle, vwindowMAXIMIZED);
  ASSERT_NE(doc->native, nullptr);
  EXPECT_EQ(vwindowGetMSWKind(doc), vwindowMSW_KIND_DOCUMENT);
  EXPECT_EQ(doc->native->procKind, vwindowMSW_PROC_MDI_CHILD);
  EXPECT_EQ(win::GetParent(doc->native->hwnd), client);
  EXPECT_EQ(vwindowMSWGetCreatingWindow(), nullptr);
  // The insets are those of the document frame: the style with WS_CHILD.
  win::RECT r{0, 0, 100, 80};
  win::AdjustWindowRectEx(&r, doc->native->style | win::WS_CHILD, 0, doc->native->exStyle);
  EXPECT_EQ(doc->native->insetLeft, -r.left);
  EXPECT_EQ(doc->native->insetTop, -r.top);
  EXPECT_EQ(doc->native->insetRight, r.right - 100);
  EXPECT_EQ(doc->native->insetBottom, r.bottom - 80);
  // Placed from the client's bottom; a maximized one asks one pixel less.
  EXPECT_EQ(clientLog.last.y, 300 - 30 - 80 - doc->native->insetTop);
  EXPECT_EQ(clientLog.last.cy, r.bottom - r.top - 1);
  close(doc);
  EXPECT_EQ(clientLog.destroyed, 1);
  vwindowDestroy(doc);

  // A bare document's style has the sign bit: widened to all bits.
  vwindow* bare = open(vwindowDECO_DOCUMENT, {0, 0, 30, 30}, frame);
  EXPECT_EQ(clientLog.last.style, 0xFFFFFFFFu);
  close(bare);
  vwindowDestroy(bare);
}

TEST_F(Documents, AFailedCreationLeavesNothingBehind) {
  clientLog.refuse = true;
  vwindow* doc = vwindowCreate();
  doc->decoration = vwindowDECO_DOCUMENT | 0x3F;
  doc->parent = frame;
  EXPECT_EQ(raised([&] { vwindowMSWRegisterClass(doc); }), &vexReturnNullClass);
  EXPECT_EQ(doc->native, nullptr);
  EXPECT_EQ(vwindowMSWGetCreatingWindow(), nullptr);
  EXPECT_EQ(_vwindowMSW().topLevelCount, 1);
  clientLog.refuse = false;
  vwindowMSWRegisterClass(doc);  // and a later try works
  EXPECT_NE(doc->native, nullptr);
  vwindowMSWCloseNative(doc);
  vwindowDestroy(doc);
}

}  // namespace

namespace {

TEST_F(MSW, NativeOperationsOfTheWindowSlots) {
  vwindow* w = open(vwindowDECO_TOP_LEVEL | 0x3F, {100, 100, 200, 150});
  win::HWND h = w->native->hwnd;
  vwindowMSWIconify(w);
  EXPECT_TRUE(win::IsIconic(h));
  vwindowMSWDeiconify(w);
  EXPECT_FALSE(win::IsIconic(h));
  vwindowMSWMaximize(w);
  EXPECT_TRUE(win::IsZoomed(h));
  vwindowMSWRestore(w);
  EXPECT_FALSE(win::IsZoomed(h));

  vwindow* other = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 50, 50});
  vwindowMSWRaise(w);
  EXPECT_EQ(win::test::Headless().stack.front(), h);
  vwindowMSWLower(w);
  EXPECT_EQ(win::test::Headless().stack.back(), h);

  w->title = "Plotted";
  vwindowMSWAttributeChanged(w, 1);
  char text[32];
  win::GetWindowTextA(h, text, sizeof text);
  EXPECT_STREQ(text, "Plotted");
  w->title = "";

  w->rect = {40, 60, 120, 80};
  vwindowMSWMoveResize(w);
  win::RECT r;
  win::GetWindowRect(h, &r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.bottom, vwindowMSWGetDisplay()->screenHeight - 60);
  EXPECT_EQ(r.right - r.left, 120);
  vwindowMSWMoveBy(w, 5, 10);  // up is positive
  win::RECT moved;
  win::GetWindowRect(h, &moved);
  EXPECT_EQ(moved.left, r.left + 5);
  EXPECT_EQ(moved.top, r.top - 10);

  vwindowMSWSetFocus(w, 1);
  EXPECT_EQ(vwindowMSWGetFocus(), w);
  vwindowMSWSetFocus(other, 0);  // not the focused one: nothing changes
  EXPECT_EQ(vwindowMSWGetFocus(), w);
  vwindowMSWSetFocus(w, 0);
  EXPECT_EQ(vwindowMSWGetFocus(), nullptr);

  w->minWidth = 30;
  w->maxHeight = 500;
  win::MINMAXINFO info{};
  vwindowMSWGetMinMax(w, &info);
  EXPECT_EQ(info.ptMinTrackSize.x, 30);
  EXPECT_EQ(info.ptMaxTrackSize.y, 500);
  double x = 0, y = 0;
  vwindowMSWGetResolution(&x, &y);
  EXPECT_EQ(x, 96.0);
  EXPECT_EQ(y, 96.0);
  vwindowBeep();
  EXPECT_EQ(win::test::BeepCount(), 1);
  close(other);
  close(w);
  vwindowDestroy(other);
  vwindowDestroy(w);
}

// While windows show inactive (a line typed in a command window), a plain
// window leaves the keyboard where it is; a modal one, or one framed as a
// dialog (a notice), takes it.
TEST_F(MSW, AWindowThatAsksTheUserTakesTheKeyboardWhenShownInactive) {
  vwindow* top = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 300, 300});
  ASSERT_EQ(win::GetActiveWindow(), top->native->hwnd);
  struct Row {
    const char* what;
    std::uint16_t decoration, flags;
    bool takes;
  };
  const Row rows[] = {{"a plain window", 0x3F, 0, false},
                      {"a modal window", 0x3F, vwindowMODAL, true},
                      {"a modal notice", 0x202, vwindowMODAL, true},
                      {"a modeless notice", 0x202, 0, true}};
  vwindowMSWShowInactive(1);
  for (const Row& r : rows) {
    vwindow* w = open(r.decoration, {20, 20, 100, 80}, nullptr, r.flags);
    EXPECT_EQ(win::GetActiveWindow(), r.takes ? w->native->hwnd : top->native->hwnd) << r.what;
    EXPECT_EQ(win::test::Headless().focus, r.takes ? w->native->hwnd : top->native->hwnd) << r.what;
    close(w);
    vwindowDestroy(w);
    win::SetActiveWindow(top->native->hwnd);
  }
  vwindowMSWShowInactive(0);
  close(top);
  vwindowDestroy(top);
}

// A save-bits window would keep stale pixels of windows whose erase was
// drawn but not their update: those are brought up to date first.
TEST_F(MSW, ASaveBitsWindowFlushesPendingUpdatesFirst) {
  vwindow* a = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 200, 100});
  win::UpdateWindow(a->native->hwnd);
  win::RECT stale{10, 20, 30, 50};  // framework (10, 50, 20, 30)
  win::InvalidateRect(a->native->hwnd, &stale, 0);
  _vwindowMSW().pendingUpdates = 1;
  vwindowMSWTakeDriverLog();
  vwindow* menu = open(0, {10, 10, 40, 40}, a, vwindowSAVE_BITS);
  EXPECT_EQ(_vwindowMSW().pendingUpdates, 0);
  // The window procedure draws the stale area at once, framework (10, 50, 20, 30).
  std::vector<std::string> log = vwindowMSWTakeDriverLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "clip (10,50,20,30)"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "fill (10,50,20,30) color=65535,65535,65535"), log.end());
  EXPECT_EQ(a->native->damage.count, 0);
  win::RECT left{};
  win::GetUpdateRect(a->native->hwnd, &left, 0);
  EXPECT_EQ(left.right, 0);
  close(menu);
  close(a);
  vwindowDestroy(menu);
  vwindowDestroy(a);
}

// Invalidating a closed window that still has a native side opens that
// side again, and records nothing.
TEST_F(MSW, InvalOnAClosedWindowRenewsItsNativeSide) {
  vwindow* w = open(vwindowDECO_TOP_LEVEL | 0x3F, {0, 0, 60, 60});
  win::HWND before = w->native->hwnd;
  w->flags &= ~vwindowOPEN;
  vrect r{0, 0, 10, 10};
  vwindowClassOf(w)->inval(w, &r, 0);
  ASSERT_NE(w->native, nullptr);
  EXPECT_NE(w->native->hwnd, before);
  EXPECT_FALSE(win::IsWindow(before));
  EXPECT_EQ(w->native->damage.count, 0);
  vwindowMSWCloseNative(w);
  vwindowDestroy(w);
}

}  // namespace

namespace {

// Only a pop-up owned by a window is kept; one without an owner goes.
TEST_F(MSW, APopupWithoutOwnerIsNotKept) {
  vwindow* lone = open(0, {0, 0, 20, 20}, nullptr, vwindowSAVE_BITS);
  EXPECT_EQ(lone->native->parent, vsysGetTaskWindow());
  win::HWND h = lone->native->hwnd;
  close(lone);
  EXPECT_FALSE(win::IsWindow(h));
  EXPECT_EQ(_vwindowMSW().kept.hwnd, nullptr);
  vwindowDestroy(lone);
}

}  // namespace

namespace {

// Framework positions of a document count from its client: between
// windows the client's origin is added.
TEST_F(Documents, TranslatedPointsOfADocumentCountFromItsClient) {
  vwindow* doc = open(vwindowDECO_DOCUMENT | 0x3F, {20, 30, 100, 80}, frame);
  int x, y;
  vwindowTranslatePoint(doc, nullptr, 1, 2, &x, &y);
  EXPECT_EQ(x, 1 + 20 + 50);
  EXPECT_EQ(y, 2 + 30 + 50);
  vwindowTranslatePoint(doc, frame, 1, 2, &x, &y);
  EXPECT_EQ(x, 21);
  EXPECT_EQ(y, 32);
  vrect r{0, 0, 5, 6}, out;
  vwindowTranslateRect(frame, doc, &r, &out);
  EXPECT_EQ(out.x, -20);
  EXPECT_EQ(out.y, -30);
  EXPECT_EQ(out.width, 5);
  close(doc);
  vwindowDestroy(doc);
}

}  // namespace
