// The main view in both modes. Framework mode: one icon per window,
// cascading with closed windows skipped, activation and the focus going to
// the owner with the last window. MDI mode: the native client over the
// view's rectangle, kept there, documents created inside it, activation,
// tiling and cascading by the client, and the close with its message.
#include "fw/widgets/domains/mainview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/dialog.h"
#include "platform/win/test.h"
#include "tests/fw/gui/raises.h"
#include "tests/fw/widgets/domain_window_support.h"
#include "tests/support/png_compare.h"

namespace {

// The messages the owner's native window gets, traced.
std::vector<win::UINT> ownerTrace;
win::WNDPROC ownerProc = nullptr;
win::LRESULT spy(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
  if (m >= win::WM_USER) ownerTrace.push_back(m);
  return win::CallWindowProcA(ownerProc, h, m, w, l);
}

struct MainViews : DomainWindowFixture {
  vmainview* view = nullptr;
  std::vector<vwindow*> docs;
  bool mdi = false;

  void start(bool mdiMode) {
    mdi = mdiMode;
    _vmainviewSetMDI(mdiMode);
    w->rect = {40, 60, 400, 300};
    w->decoration |= vwindowDECO_TOP_LEVEL | 0x3F;
    view = vmainviewCreate();
    vrect r{0, 0, 400, 280};  // a strip along the top stays the owner's
    vdialogSetItemRect(view, &r);
    // As a dialog does: the window first, then its items.
    item = view;
    vdialogItemListAppend(list, view);
    vwindowOpen(w);
    vdialogItemListClassOf(list)->open(list);
    settle();
  }
  void TearDown() override {
    for (vwindow* d : docs) {
      if (vmainviewFindChild(view, d)) vmainviewRemoveWindow(view, d);
      if (vwindowIsOpen(d)) vwindowClose(d);
      vwindowDestroy(d);
    }
    DomainWindowFixture::TearDown();
    _vmainviewSetMDI(0);
  }
  vwindow* document(const char* title, vrect r, bool open = true) {
    vwindow* d = vwindowCreate();
    vwindowSetTitleScribe(d, vscribeLiteral(title));
    d->rect = r;
    d->decoration |= 0x3F;
    vmainviewAddWindow(view, d);
    if (open) vwindowOpen(d);
    docs.push_back(d);
    settle();
    return d;
  }
  // The native rectangle of a child of the owner, in the owner's client coordinates.
  win::RECT inOwner(win::HWND h) {
    win::RECT r{};
    win::GetWindowRect(h, &r);
    win::POINT a{r.left, r.top}, b{r.right, r.bottom};
    win::ScreenToClient(w->native->hwnd, &a);
    win::ScreenToClient(w->native->hwnd, &b);
    return {a.x, a.y, b.x, b.y};
  }
  // The owner as the screen shows it, frame and documents included.
  win::test::Image ownerPicture() {
    win::RECT r{};
    win::GetWindowRect(w->native->hwnd, &r);
    win::test::Image screen = win::test::ScreenImage(), out;
    out.width = r.right - r.left;
    out.height = r.bottom - r.top;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) out.px.push_back(screen.px[std::size_t(y) * screen.width + x]);
    return out;
  }
};

// ---- Framework mode ---------------------------------------------------------------------------------

TEST_F(MainViews, FrameworkModeKeepsOneIconPerWindowAndCascadesTheOpenOnes) {
  start(false);
  vwindow* a = document("Session", {500, 100, 200, 120});
  vwindow* b = document("Registers", {520, 130, 200, 120}, false);
  vwindow* c = document("Memory", {540, 160, 200, 120});
  vwindow* d = document("Disassembly", {560, 190, 200, 120});
  vmainviewAddWindow(view, a);  // a second time: still one icon
  EXPECT_EQ(view->iconCount, 4);
  // A window's own image shows on its icon in both view types.
  vimage* picture = vimageCreateSized(20, 12, 2);
  vwindow* e = vwindowCreate();
  vwindowClassOf(e)->setIcon(e, picture);
  vmainviewAddWindow(view, e);
  viconviewIcon* iconE = viconviewIconOf(view->domain->first);
  ASSERT_EQ(reinterpret_cast<vmainviewChild*>(iconE->data)->window, e);
  EXPECT_EQ(viconviewGetIconImage(iconE, viconviewGetIconView()), picture);
  EXPECT_EQ(viconviewGetIconImage(iconE, viconviewGetNameView()), picture);
  EXPECT_EQ(iconE->object->rect.width, 20 + 6);
  vmainviewRemoveWindow(view, e);
  vwindowDestroy(e);
  vimageDestroy(picture);
  EXPECT_EQ(vmainviewCountWindows(view), 4);
  EXPECT_NE(a->decoration & vwindowDECO_DOCUMENT, 0);
  EXPECT_STREQ(vmainviewFindChild(view, c)->title, "Memory");

  vrect closedBefore = b->rect;
  vmainviewCascade(view);
  int x = view->rect.x, y = view->rect.y + view->rect.height;
  vwindowTranslatePoint(w, nullptr, x, y, &x, &y);
  for (vwindow* open : {a, c, d}) {
    SCOPED_TRACE(open->title);
    EXPECT_EQ(open->rect.x, x);
    EXPECT_EQ(open->rect.y + open->rect.height, y);
    x += 20;
    y -= 20;
  }
  EXPECT_EQ(b->rect.x, closedBefore.x);
  EXPECT_EQ(b->rect.y, closedBefore.y);

  // Titles follow; strangers and unknown view types are refused.
  vmainviewSetWindowTitleC(view, c, "Memory x:0");
  EXPECT_STREQ(vmainviewFindChild(view, c)->title, "Memory x:0");
  EXPECT_STREQ(viconviewIconOf(view->domain->first->next->next)->name, "Memory x:0");
  vwindow* stranger = vwindowCreate();
  EXPECT_EQ(raised([&] { vmainviewRemoveWindow(view, stranger); }), &vexModuleStateClass);
  EXPECT_EQ(raised([&] { vmainviewSetWindowTitleC(view, stranger, "x"); }), &vexModuleStateClass);
  std::string message;
  EXPECT_EQ(raised([&] { vmainviewSetView(view, 2); }, &message), &vexArgClass);
  EXPECT_EQ(message, "unknown view type");
  vmainviewSetView(view, 1);
  EXPECT_EQ(view->viewType, viconviewGetNameView());
  EXPECT_EQ(vmainviewActivateWindow(view, stranger), 0);
  vwindowDestroy(stranger);
}

TEST_F(MainViews, FrameworkModeActivatesRaisesOnADoubleClickAndHandsTheFocusBack) {
  start(false);
  vwindow* a = document("Session", {500, 100, 200, 120});
  vwindow* b = document("Registers", {520, 130, 200, 120});
  EXPECT_EQ(vmainviewActivateWindow(view, a), 1);
  settle();
  EXPECT_EQ(vmainviewGetActiveWindow(view), a);
  EXPECT_EQ(vmainviewActivateWindow(view, b), 1);
  settle();
  EXPECT_EQ(vmainviewGetActiveWindow(view), b);

  // A double click on a's icon raises a above b.
  viconviewIcon* icon = nullptr;
  for (vdomainObject* o = view->domain->first; o; o = o->next)
    if (viconviewIcon* i = viconviewIconOf(o); i && vmainviewFindChild(view, a) == reinterpret_cast<vmainviewChild*>(i->data))
      icon = i;
  ASSERT_NE(icon, nullptr);
  vevent* e = veventCreateButtonDown(w, 0, 0, 0, 1, 2, 0);
  vdomainviewPressRecord press{e, icon->object, {0, 0}, {0, 0}};
  viconviewClassOf(view)->doubleClick(view, &press);
  veventDestroy(e);
  settle();
  win::HWND top = win::GetWindow(b->native->hwnd, 3 /* GW_HWNDPREV */);
  bool aAbove = false;
  for (; top; top = win::GetWindow(top, 3)) aAbove |= top == a->native->hwnd;
  EXPECT_TRUE(aAbove);

  vmainviewRemoveWindow(view, a);
  EXPECT_EQ(vmainviewGetActiveWindow(view), b);
  vmainviewRemoveWindow(view, b);
  settle();
  EXPECT_EQ(view->iconCount, 0);
  EXPECT_EQ(vwindowMSWGetFocus(), w);
}

// ---- MDI mode ---------------------------------------------------------------------------------------

TEST_F(MainViews, MDIModePutsTheClientOverTheViewAndKeepsItThere) {
  start(true);
  win::HWND client = view->mdi->client;
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(vwindowGetMSWMDIClient(w), client);
  EXPECT_EQ(static_cast<win::DWORD>(win::GetWindowLongPtrA(client, win::GWL_STYLE)), 0x52300001u);
  EXPECT_EQ(win::GetParent(client), w->native->hwnd);
  auto expected = [&] {
    int top = w->rect.height - view->rect.y - view->rect.height;
    return win::RECT{view->rect.x, top, view->rect.x + view->rect.width, top + view->rect.height};
  };
  auto same = [](win::RECT a, win::RECT b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  EXPECT_TRUE(same(inOwner(client), expected()));

  // Moving the client by hand does not take; the view's rectangle does.
  win::MoveWindow(client, 30, 40, 100, 90, 1);
  EXPECT_TRUE(same(inOwner(client), expected()));
  vrect smaller{10, 0, 300, 200};
  vdialogSetItemRect(view, &smaller);
  EXPECT_TRUE(same(inOwner(client), expected()));
  EXPECT_EQ(inOwner(client).right - inOwner(client).left, 300);

  // The view type is fixed in this mode.
  viconviewView* kept = view->viewType;
  vmainviewSetView(view, 1);
  vmainviewSetView(view, 7);  // not even checked
  EXPECT_EQ(view->viewType, kept);
}

TEST_F(MainViews, MDIModeHoldsActivatesTilesCascadesAndClosesThreeDocuments) {
  start(true);
  win::HWND client = view->mdi->client;
  int made = vmainviewMDINesting();
  vwindow* docs3[3] = {document("Session", {10, 10, 180, 100}), document("Registers", {40, 40, 180, 100}),
                       document("Memory", {70, 70, 180, 100})};
  EXPECT_EQ(vmainviewMDINesting(), made + 3);
  for (vwindow* d : docs3) {
    ASSERT_NE(d->native, nullptr);
    EXPECT_EQ(win::GetParent(d->native->hwnd), client) << d->title;
    EXPECT_EQ(vwindowGetMSWKind(d), vwindowMSW_KIND_DOCUMENT);
  }
  for (vwindow* d : {docs3[0], docs3[2], docs3[1]}) {
    EXPECT_EQ(vmainviewActivateWindow(view, d), 1);
    settle();
    EXPECT_EQ(vmainviewGetActiveWindow(view), d);
  }

  // Tiled: inside the client, side by side without overlap.
  vmainviewTile(view);
  settle();
  win::RECT area{};
  win::GetClientRect(client, &area);
  std::vector<win::RECT> tiles;
  for (vwindow* d : docs3) {
    win::RECT r{};
    win::GetWindowRect(d->native->hwnd, &r);
    win::POINT a{r.left, r.top}, b{r.right, r.bottom};
    win::ScreenToClient(client, &a);
    win::ScreenToClient(client, &b);
    tiles.push_back({a.x, a.y, b.x, b.y});
    EXPECT_GE(a.x, 0);
    EXPECT_GE(a.y, 0);
    EXPECT_LE(b.x, area.right);
    EXPECT_LE(b.y, area.bottom);
  }
  for (std::size_t i = 0; i < tiles.size(); ++i)
    for (std::size_t j = i + 1; j < tiles.size(); ++j)
      EXPECT_TRUE(tiles[i].right <= tiles[j].left || tiles[j].right <= tiles[i].left ||
                  tiles[i].bottom <= tiles[j].top || tiles[j].bottom <= tiles[i].top);
  // The framework learns the new places.
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(docs3[i]->rect.width + docs3[i]->native->insetLeft + docs3[i]->native->insetRight, tiles[i].right - tiles[i].left);

  vmainviewCascade(view);
  settle();
  std::vector<int> lefts;
  for (vwindow* d : docs3) {
    win::RECT r{};
    win::GetWindowRect(d->native->hwnd, &r);
    lefts.push_back(r.left);
  }
  std::sort(lefts.begin(), lefts.end());
  EXPECT_LT(lefts[0], lefts[1]);
  EXPECT_LT(lefts[1], lefts[2]);

  vdialogItemListClassOf(list)->close(list);
  settle();
  EXPECT_EQ(view->mdi->client, nullptr);
  EXPECT_EQ(vwindowGetMSWMDIClient(w), nullptr);
  EXPECT_FALSE(win::IsWindow(client));
  EXPECT_EQ(vmainviewMDINesting(), made);
  for (vwindow* d : docs3) {
    EXPECT_EQ(d->decoration & vwindowDECO_DOCUMENT, 0) << d->title;
    EXPECT_NE(vwindowGetMSWKind(d), vwindowMSW_KIND_DOCUMENT);
  }
  vdialogItemListClassOf(list)->open(list);  // the fixture closes it again
}

TEST_F(MainViews, MDIModeCloseSendsTheOwnerItsMessage) {
  start(true);
  ownerProc = reinterpret_cast<win::WNDPROC>(
      win::SetWindowLongPtrA(w->native->hwnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(spy)));
  ownerTrace.clear();
  vdialogCloseItem(view);
  EXPECT_NE(std::find(ownerTrace.begin(), ownerTrace.end(), win::WM_USER + 2), ownerTrace.end());
  win::SetWindowLongPtrA(w->native->hwnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(ownerProc));
  vdialogOpenItem(view);
  EXPECT_NE(view->mdi->client, nullptr);
}

TEST_F(MainViews, MDIModePicture) {
  start(true);
  document("Session", {10, 120, 200, 120});
  document("Registers", {120, 30, 220, 140});
  settle();
  win::test::Image image = ownerPicture();
  if (const char* keep = std::getenv("DOMAINVIEW_PNG")) win::test::WritePng(std::string(keep) + "_mdi.png", image);
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(std::getenv("SIM_TEST_DATA")) + "/domain/mdi.png"));
}

}  // namespace

namespace {

// A dialog frame without the frame flag: the view's open sets it, which
// remakes the open frame, and the remade frame's focus-in opens the view
// again. That must end with one client, the view's, and no endless remaking.
TEST(MainViewsInADialog, AFrameRemadeByTheViewsOpenEndsWithOneClient) {
  startDialogItemTests();
  _vmainviewSetMDI(1);
  vdialog* frame = vdialogCreate();
  frame->rect = {40, 60, 400, 300};
  frame->decoration |= 0x3F;
  vmainview* view = vmainviewCreate();
  vrect all{0, 0, 400, 300};
  vdialogSetItemRect(view, &all);
  vdialogAppendItem(frame, view);
  vwindowOpen(frame);
  win::SetActiveWindow(frame->native->hwnd);
  win::SetFocus(frame->native->hwnd);
  DomainWindowFixture::settle();
  EXPECT_NE(frame->decoration & vwindowDECO_TOP_LEVEL, 0);
  std::vector<win::HWND> clients;
  for (win::HWND h = win::GetWindow(frame->native->hwnd, win::GW_CHILD); h; h = win::GetWindow(h, win::GW_HWNDNEXT)) {
    // A client is known by its style.
    if (static_cast<win::DWORD>(win::GetWindowLongPtrA(h, win::GWL_STYLE)) == 0x52300001u) clients.push_back(h);
  }
  ASSERT_EQ(clients.size(), 1u);
  EXPECT_EQ(clients[0], view->mdi->client);
  EXPECT_EQ(vwindowGetMSWMDIClient(frame), view->mdi->client);
  vwindowClose(frame);
  EXPECT_EQ(view->mdi->client, nullptr);
  vinstanceDestroy(frame);
  DomainWindowFixture::settle();
  _vmainviewSetMDI(0);
}

}  // namespace
