// The multiple-document client: documents made, activated, cycled, closed,
// maximized and laid out, and the frame's and documents' default
// processing.
#include "platform_fixture.h"
#include "platform/user/menu.h"
#include "tests/support/png_compare.h"

using namespace platform_test;

namespace {

constexpr const char* kFrameClass = "MdiTestFrame";
constexpr const char* kDocClass = "MdiTestDoc";

struct Mdi {
  static inline win::HWND client = nullptr;
  static inline win::WNDPROC clientProc = nullptr;
  static inline const win::RECT* pinned = nullptr;  // where the test's subclass keeps the client
  static inline std::vector<std::string> created;    // what WM_CREATE carried
  static inline bool closeToDefault = false;         // WM_CLOSE closes, as a plain document would
  static inline std::vector<std::string> presses;    // documents that received a press in their client area

  static win::LRESULT frame(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
    if (m == win::WM_NCCREATE) Recorder::names[h] = reinterpret_cast<const win::CREATESTRUCTA*>(l)->lpszName;
    return win::DefFrameProcA(h, client, m, w, l);
  }
  static win::LRESULT doc(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
    if (m == win::WM_NCCREATE) Recorder::names[h] = reinterpret_cast<const win::CREATESTRUCTA*>(l)->lpszName;
    if (m == win::WM_CREATE) {
      auto* mcs = static_cast<const win::MDICREATESTRUCTA*>(reinterpret_cast<const win::CREATESTRUCTA*>(l)->lpCreateParams);
      created.push_back(std::string(mcs->szTitle) + " " + std::to_string(mcs->lParam));
    }
    if (m == win::WM_CLOSE && !closeToDefault) return 0;  // as the framework: closing is its own decision
    if (m == win::WM_LBUTTONDOWN) presses.push_back(Recorder::name(h));
    if (m == win::WM_PAINT && !win::IsIconic(h)) {
      win::PAINTSTRUCT ps;
      win::BeginPaint(h, &ps);
      win::EndPaint(h, &ps);
      return 0;
    }
    return win::DefMDIChildProcA(h, m, w, l);
  }
  // The subclass of the framework's main view: the client stays where its
  // view puts it.
  static win::LRESULT subclass(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
    if (m == win::WM_WINDOWPOSCHANGING && pinned) {
      auto* pos = reinterpret_cast<win::WINDOWPOS*>(l);
      pos->x = pinned->left, pos->y = pinned->top;
      pos->cx = pinned->right - pinned->left, pos->cy = pinned->bottom - pinned->top;
    }
    return win::CallWindowProcA(clientProc, h, m, w, l);
  }
};

class MdiTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Mdi::created.clear();
    Mdi::presses.clear();
    Mdi::pinned = nullptr;
    Mdi::closeToDefault = false;
    for (auto [name, proc] : {std::pair{kFrameClass, &Mdi::frame}, std::pair{kDocClass, &Mdi::doc}}) {
      win::WNDCLASSA wc{};
      wc.lpfnWndProc = proc;
      wc.lpszClassName = name;
      wc.hbrBackground = reinterpret_cast<win::HBRUSH>(std::uintptr_t{win::COLOR_WINDOW + 1});
      ASSERT_NE(win::RegisterClassA(&wc), 0);
    }
    frame = win::CreateWindowExA(0, kFrameClass, "frame", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, 0, 600, 400,
                                 nullptr, nullptr, nullptr, nullptr);
    win::CLIENTCREATESTRUCT ccs{nullptr, 100};
    Mdi::client = win::CreateWindowExA(0, "MDICLIENT", nullptr, 0x52300001, 0, 0, 600, 400, frame, nullptr, nullptr,
                                       &ccs);
    ASSERT_NE(Mdi::client, nullptr);
    Recorder::names[Mdi::client] = "client";
  }
  void TearDown() override {
    if (win::IsWindow(frame)) win::DestroyWindow(frame);
    WindowTest::TearDown();
    win::UnregisterClassA(kFrameClass, nullptr);
    win::UnregisterClassA(kDocClass, nullptr);
  }
  win::HWND create(const char* title, win::DWORD style = win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE,
                   win::RECT r = {win::CW_USEDEFAULT, win::CW_USEDEFAULT, win::CW_USEDEFAULT, win::CW_USEDEFAULT}) {
    win::MDICREATESTRUCTA mcs{kDocClass, title, nullptr, r.left, r.top, r.right, r.bottom, style,
                              static_cast<win::LPARAM>(Mdi::created.size() + 7)};
    return reinterpret_cast<win::HWND>(
        win::SendMessageA(Mdi::client, win::WM_MDICREATE, 0, reinterpret_cast<win::LPARAM>(&mcs)));
  }
  static std::string active() {
    win::BOOL zoomed = 0;
    auto h = reinterpret_cast<win::HWND>(
        win::SendMessageA(Mdi::client, win::WM_MDIGETACTIVE, 0, reinterpret_cast<win::LPARAM>(&zoomed)));
    return Recorder::name(h) + (zoomed ? " maximized" : "");
  }
  static std::string rectOf(win::HWND h) {
    win::RECT r{};
    win::GetWindowRect(h, &r);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
  }
  static void key(win::UINT vk, std::initializer_list<win::UINT> held = {}) {
    for (win::UINT h : held) win::test::KeyDown(h);
    win::test::KeyDown(vk);
    win::test::KeyUp(vk);
    for (win::UINT h : held) win::test::KeyUp(h);
    pump();
  }
  static void pump() {
    win::MSG msg;
    while (win::PeekMessageA(&msg, nullptr, 0, 0, win::PM_REMOVE))
      if (!win::TranslateMDISysAccel(Mdi::client, &msg)) {
        win::TranslateMessage(&msg);
        win::DispatchMessageA(&msg);
      }
  }
  win::HWND frame = nullptr;
};

TEST_F(MdiTest, CreatingTwoDocumentsActivatesEachInTurn) {
  win::WNDCLASSA wc{};
  ASSERT_TRUE(win::GetClassInfoA(nullptr, "MDICLIENT", &wc));
  Mdi::clientProc = wc.lpfnWndProc;
  EXPECT_EQ(win::GetWindowLongPtrA(Mdi::client, win::GWLP_WNDPROC), reinterpret_cast<win::LONG_PTR>(wc.lpfnWndProc));
  win::test::StartTrace();
  win::HWND one = create("one");
  win::HWND two = create("two");
  std::string trace = stopTrace();
  EXPECT_EQ(trace, golden("mdi_create.trace", trace));
  EXPECT_EQ(Mdi::created, (std::vector<std::string>{"one 7", "two 8"})) << "WM_CREATE carries the request";
  EXPECT_EQ(win::GetParent(one), Mdi::client);
  EXPECT_EQ(win::GetWindowLongPtrA(two, win::GWLP_ID), 101);
  EXPECT_EQ(active(), "two");
  EXPECT_EQ(win::GetFocus(), two);
  EXPECT_EQ(rectOf(one), "0,0 450x300") << "the first cascade place, three quarters of the client";
  EXPECT_EQ(rectOf(two), "23,23 450x300");
}

// A press in the client area of a document that is not the active one
// makes it active and still reaches it, inside an active frame; a press
// in the active document activates nothing.
TEST_F(MdiTest, APressInAnInactiveDocumentActivatesItAndReachesIt) {
  win::HWND one = create("one");
  win::HWND two = create("two");
  ASSERT_EQ(active(), "two");
  ASSERT_EQ(win::GetActiveWindow(), frame);
  // The strip of one's client area left of two.
  win::POINT inOne{4, 100};
  win::ClientToScreen(one, &inOne);
  win::RECT twoRect{};
  win::GetWindowRect(two, &twoRect);
  ASSERT_LT(inOne.x, twoRect.left);
  win::test::Click(inOne);
  pump();
  EXPECT_EQ(active(), "one");
  EXPECT_EQ(win::GetFocus(), one);
  EXPECT_EQ(Mdi::presses, (std::vector<std::string>{"one"}));
  win::test::StartTrace();
  win::test::AdvanceClock(win::GetDoubleClickTime() + 1);
  win::test::Click(inOne);
  pump();
  const std::string trace = stopTrace();
  EXPECT_EQ(trace.find("WM_MOUSEACTIVATE"), std::string::npos) << trace;
  EXPECT_EQ(active(), "one");
  EXPECT_EQ(Mdi::presses, (std::vector<std::string>{"one", "one"}));
}

TEST_F(MdiTest, MaximizedStatePassesToNewAndActivatedDocuments) {
  win::HWND one = create("one", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  ASSERT_EQ(rectOf(one), "10,20 200x100");
  win::SendMessageA(one, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
  EXPECT_EQ(active(), "one maximized");
  EXPECT_EQ(rectOf(one), "-4,-23 608x427") << "the frame outside the client";
  win::HWND two = create("two");
  EXPECT_EQ(active(), "two maximized");
  EXPECT_TRUE(win::IsZoomed(two));
  EXPECT_FALSE(win::IsZoomed(one)) << "the one left is restored";
  win::SendMessageA(Mdi::client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(one), 0);
  EXPECT_EQ(active(), "one maximized");
  // The client resized: the maximized one fills it still.
  win::SetWindowPos(frame, nullptr, 0, 0, 500, 300, win::SWP_NOMOVE | win::SWP_NOZORDER);
  EXPECT_EQ(rectOf(one), "-4,-23 508x327");
  win::SendMessageA(one, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_EQ(active(), "one");
  EXPECT_EQ(rectOf(one), "10,20 200x100") << "restored exactly";
}

TEST_F(MdiTest, KeysCycleAndClose) {
  win::HWND docs[3] = {create("a"), create("b"), create("c")};
  std::string seen = active();
  for (int i = 0; i < 3; ++i) {
    key(win::VK_F6, {win::VK_CONTROL});
    seen += " " + active();
  }
  EXPECT_EQ(seen, "c b a c");
  key(win::VK_TAB, {win::VK_CONTROL, win::VK_SHIFT});
  EXPECT_EQ(active(), "a") << "the previous: the bottom one";
  key(win::VK_F6, {win::VK_CONTROL, win::VK_MENU});
  EXPECT_EQ(active(), "a") << "not with Alt";
  win::test::StartTrace();
  key(win::VK_F4, {win::VK_CONTROL});
  std::string trace = stopTrace();
  EXPECT_NE(trace.find("sent a WM_SYSCOMMAND f060 73"), std::string::npos) << trace;
  EXPECT_NE(trace.find("sent a WM_CLOSE"), std::string::npos) << trace;
  EXPECT_TRUE(win::IsWindow(docs[0])) << "the document decides";
  win::DefMDIChildProcA(docs[0], win::WM_CLOSE, 0, 0);
  EXPECT_FALSE(win::IsWindow(docs[0]));
  EXPECT_NE(active(), "null") << "the next one is active";
  (void)docs;
}

TEST_F(MdiTest, CascadeAndTileGiveExactRectangles) {
  win::HWND docs[3] = {create("a"), create("b"), create("c")};
  win::SendMessageA(Mdi::client, win::WM_MDICASCADE, 0, 0);
  EXPECT_EQ(rectOf(docs[0]) + " | " + rectOf(docs[1]) + " | " + rectOf(docs[2]),
            "0,0 554x354 | 23,23 554x354 | 46,46 554x354");
  win::SendMessageA(Mdi::client, win::WM_MDITILE, win::MDITILE_VERTICAL, 0);
  EXPECT_EQ(rectOf(docs[2]) + " | " + rectOf(docs[1]) + " | " + rectOf(docs[0]),
            "0,0 300x200 | 0,200 300x200 | 300,0 300x400");
  win::SendMessageA(Mdi::client, win::WM_MDITILE, win::MDITILE_HORIZONTAL, 0);
  EXPECT_EQ(rectOf(docs[2]) + " | " + rectOf(docs[1]) + " | " + rectOf(docs[0]),
            "0,0 300x200 | 300,0 300x200 | 0,200 600x200");
}

TEST_F(MdiTest, TheFrameSizesTheClientAndASubclassPinsIt) {
  win::SetWindowPos(frame, nullptr, 0, 0, 500, 300, win::SWP_NOMOVE | win::SWP_NOZORDER);
  EXPECT_EQ(rectOf(Mdi::client), "0,0 500x300");
  win::WNDCLASSA wc{};
  win::GetClassInfoA(nullptr, "MDICLIENT", &wc);
  Mdi::clientProc = wc.lpfnWndProc;
  win::SetWindowLongPtrA(Mdi::client, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&Mdi::subclass));
  const win::RECT view{10, 30, 410, 230};
  Mdi::pinned = &view;
  win::SetWindowPos(frame, nullptr, 0, 0, 700, 500, win::SWP_NOMOVE | win::SWP_NOZORDER);
  EXPECT_EQ(rectOf(Mdi::client), "10,30 400x200");
  auto focusFrame = [&] {
    win::SetFocus(nullptr);
    win::SetFocus(frame);
  };
  focusFrame();
  EXPECT_EQ(win::GetFocus(), Mdi::client) << "no document: the client";
  win::HWND a = create("a");
  focusFrame();
  EXPECT_EQ(win::GetFocus(), a);
}

TEST_F(MdiTest, DocumentsHaveThePlatformsFrameWhateverTheirStyle) {
  struct Case {
    win::DWORD style;
    win::RECT expected;
  } cases[] = {
      {win::WS_CHILD | win::WS_CAPTION, {-4, -23, 104, 54}},
      {win::WS_CHILD, {0, 0, 100, 50}},
      {win::WS_POPUP | win::WS_CAPTION, {0, 0, 100, 50}},
      {win::WS_OVERLAPPEDWINDOW, {0, 0, 100, 50}},
  };
  for (const Case& c : cases) {
    win::RECT r{0, 0, 100, 50};
    win::AdjustWindowRectEx(&r, c.style, 0, 0);
    EXPECT_EQ(r.left, c.expected.left) << std::hex << c.style;
    EXPECT_EQ(r.top, c.expected.top) << std::hex << c.style;
    EXPECT_EQ(r.right, c.expected.right) << std::hex << c.style;
    EXPECT_EQ(r.bottom, c.expected.bottom) << std::hex << c.style;
  }
  win::HWND bare = create("bare", win::WS_POPUP | win::WS_VISIBLE, {10, 20, 108, 77});
  win::RECT client{};
  win::GetClientRect(bare, &client);
  EXPECT_EQ(client.right, 100);
  EXPECT_EQ(client.bottom, 50);
  win::SendMessageA(bare, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
  win::GetClientRect(bare, &client);
  win::POINT origin{0, 0};
  win::ClientToScreen(bare, &origin);
  EXPECT_EQ(client.right, 600) << "maximized, its client is the whole client";
  EXPECT_EQ(client.bottom, 400);
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
  // Every style bit, as the framework asks for a document without a
  // caption of its own: every part of the frame and none of the states.
  win::SendMessageA(bare, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  win::HWND all = create("all", 0xFFFFFFFFu, {10, 20, 200, 100});
  EXPECT_FALSE(win::IsZoomed(all) || win::IsIconic(all) || win::IsWindowVisible(all));
  EXPECT_FALSE(win::GetWindowLongPtrA(all, win::GWL_STYLE) & win::WS_DISABLED);
  win::ShowWindow(all, win::SW_SHOW);
  for (auto [x, code] : {std::pair{4, win::HTSYSMENU}, {200 - 4 - 18 - 2 - 9, win::HTMAXBUTTON}, {200 - 4 - 9, win::HTCLOSE}})
    EXPECT_EQ(win::SendMessageA(all, win::WM_NCHITTEST, 0, win::MAKELPARAM(10 + x, 20 + 10)), code) << x;
}

TEST_F(MdiTest, HitCodesAtTheEdgesOfEachPart) {
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  struct Case {
    int x, y;
    win::LRESULT code;
  } cases[] = {
      {0, 50, win::HTLEFT},         {3, 50, win::HTLEFT},          {4, 50, win::HTCLIENT},
      {195, 95, win::HTCLIENT},     {196, 50, win::HTRIGHT},       {199, 50, win::HTRIGHT},
      {100, 0, win::HTTOP},         {100, 3, win::HTTOP},          {100, 96, win::HTBOTTOM},
      {100, 99, win::HTBOTTOM},     {0, 0, win::HTTOPLEFT},        {22, 0, win::HTTOPLEFT},
      {23, 0, win::HTTOP},          {0, 22, win::HTTOPLEFT},       {0, 23, win::HTLEFT},
      {199, 0, win::HTTOPRIGHT},    {177, 0, win::HTTOPRIGHT},     {199, 99, win::HTBOTTOMRIGHT},
      {0, 99, win::HTBOTTOMLEFT},   {4, 4, win::HTSYSMENU},        {21, 21, win::HTSYSMENU},
      {22, 10, win::HTCAPTION},     {139, 10, win::HTCAPTION},     {140, 4, win::HTMINBUTTON},
      {157, 21, win::HTMINBUTTON},  {158, 4, win::HTMAXBUTTON},    {175, 21, win::HTMAXBUTTON},
      {176, 10, win::HTCAPTION},    {177, 10, win::HTCAPTION},     {178, 4, win::HTCLOSE},
      {195, 21, win::HTCLOSE},      {100, 22, win::HTCAPTION},     {100, 23, win::HTCLIENT},
      {200, 50, win::HTNOWHERE},
  };
  for (const Case& c : cases)
    EXPECT_EQ(win::SendMessageA(doc, win::WM_NCHITTEST, 0, win::MAKELPARAM(10 + c.x, 20 + c.y)), c.code)
        << c.x << "," << c.y;
}

TEST_F(MdiTest, ScreenshotOfAnActiveAndAnInactiveDocument) {
  create("Inactive", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {20, 20, 260, 160});
  create("Active document", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {180, 120, 300, 180});
  pump();
  EXPECT_TRUE(test_support::MatchesPng(win::test::WindowImage(frame, true),
                                       std::string(PLATFORM_GOLDEN) + "/mdi_documents.png"));
}

// The move/size loop and the caption buttons, by the pointer.
TEST_F(MdiTest, DraggingTheCaptionAndTheBorderAndPressingTheButtons) {
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  win::test::StartTrace();
  win::test::MouseDown({100, 30});
  win::test::MouseMove({130, 70});
  win::test::MouseUp({140, 80});
  pump();
  std::string trace = stopTrace();
  EXPECT_EQ(rectOf(doc), "50,70 200x100") << "moved by the pointer's offset";
  std::string loop;
  for (const char* m : {"WM_SYSCOMMAND f012", "WM_ENTERSIZEMOVE", "WM_GETMINMAXINFO", "WM_WINDOWPOSCHANGED",
                        "WM_EXITSIZEMOVE"})
    loop += trace.find(std::string("sent doc ") + m) != std::string::npos ? "+" : "-";
  EXPECT_EQ(loop, "+++++") << trace;
  EXPECT_LT(trace.find("WM_ENTERSIZEMOVE"), trace.find("WM_EXITSIZEMOVE"));

  // The bottom-right corner, then Escape gives the old rectangle back.
  win::test::MouseDown({249, 169});
  win::test::MouseUp({269, 179});
  pump();
  EXPECT_EQ(rectOf(doc), "50,70 220x110");
  win::test::MouseDown({50, 100});
  win::test::MouseMove({20, 100});
  win::test::KeyDown(win::VK_ESCAPE);
  win::test::KeyUp(win::VK_ESCAPE);
  win::test::MouseUp({20, 100});
  pump();
  EXPECT_EQ(rectOf(doc), "50,70 220x110") << "Escape";

  // Maximize: press and release on the button; a release elsewhere does nothing.
  win::test::MouseDown({50 + 220 - 4 - 18 - 2 - 9, 80});
  win::test::MouseUp({10, 300});
  pump();
  EXPECT_FALSE(win::IsZoomed(doc));
  win::test::Click({50 + 220 - 4 - 18 - 2 - 9, 80});
  pump();
  EXPECT_TRUE(win::IsZoomed(doc));
}

TEST_F(MdiTest, ARefusedMoveStartsNoLoop) {
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  // As the framework does for a window that may not move.
  win::SetWindowLongPtrA(doc, win::GWLP_WNDPROC,
                         reinterpret_cast<win::LONG_PTR>(+[](win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
                           if (m == win::WM_SYSCOMMAND && (w & 0xFFF0) == win::SC_MOVE) return win::LRESULT{0};
                           return Mdi::doc(h, m, w, l);
                         }));
  win::test::StartTrace();
  win::test::MouseDown({100, 30});
  win::test::MouseUp({140, 80});
  pump();
  std::string trace = stopTrace();
  EXPECT_EQ(trace.find("WM_ENTERSIZEMOVE"), std::string::npos) << trace;
  EXPECT_EQ(rectOf(doc), "10,20 200x100");
}

// ---- Icons, the maximized document on the menu line, the system menu ------------------------

std::string menuText(win::HMENU m, win::UINT id) {
  if (win::internal::Menu* menu = win::internal::findMenu(m))
    for (const win::internal::MenuItem& item : menu->items)
      if (item.id == id) return item.text;
  return "";
}

win::POINT centreOf(win::HWND h) {
  win::RECT r{};
  win::GetWindowRect(h, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void writePng(const win::test::Image& image, const char* name) {
  if (const char* out = std::getenv("MDI_PNG")) win::test::WritePng(std::string(out) + name, image);
}

// Minimized, documents are 36 x 36 frameless icons in cells along the
// client's bottom; restored, they get their rectangles back exactly.
TEST_F(MdiTest, MinimizedDocumentsAreIconsInARowAlongTheBottom) {
  win::HWND a = create("a", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  win::HWND b = create("b", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {30, 40, 200, 100});
  win::HWND c = create("c", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {50, 60, 200, 100});
  const int row = 400 - 36 - win::GetSystemMetrics(win::SM_CYMENU);
  const std::string cell0 = "20," + std::to_string(row) + " 36x36", cell1 = "96," + std::to_string(row) + " 36x36";
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  win::SendMessageA(b, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  EXPECT_EQ(rectOf(a) + " | " + rectOf(b), cell0 + " | " + cell1);
  win::RECT client{};
  win::GetClientRect(a, &client);
  EXPECT_EQ(client.right * 100 + client.bottom, 36 * 100 + 36) << "no frame";
  win::POINT p = centreOf(a);
  EXPECT_EQ(win::SendMessageA(a, win::WM_NCHITTEST, 0, win::MAKELPARAM(p.x, p.y)), win::HTCAPTION);
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_EQ(rectOf(a), "10,20 200x100") << "restored exactly";
  win::GetClientRect(a, &client);
  EXPECT_EQ(client.right * 1000 + client.bottom, 192 * 1000 + 73) << "the frame back";
  win::SendMessageA(c, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  EXPECT_EQ(rectOf(c), cell0) << "the first free cell";
  // Arranged, in order from the bottom of the z-order; a maximized one
  // minimized restores to maximized, then to its own rectangle.
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  EXPECT_EQ(rectOf(a), "172," + std::to_string(row) + " 36x36");
  win::SendMessageA(Mdi::client, win::WM_MDIICONARRANGE, 0, 0);
  EXPECT_EQ(rectOf(a) + " | " + rectOf(b) + " | " + rectOf(c),
            cell0 + " | " + cell1 + " | 172," + std::to_string(row) + " 36x36");
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_TRUE(win::IsZoomed(a));
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_EQ(rectOf(a), "10,20 200x100");
  win::DefMDIChildProcA(b, win::WM_CLOSE, 0, 0);
  EXPECT_EQ(rectOf(c), cell0) << "closing an icon closes the row up";
  win::SetWindowPos(frame, nullptr, 0, 0, 600, 300, win::SWP_NOMOVE | win::SWP_NOZORDER);
  EXPECT_EQ(rectOf(c), "20," + std::to_string(row - 100) + " 36x36") << "the row follows the client's bottom";
}

// A click selects an icon, a double click restores it, a click on the
// active one opens its system menu, and a double click through that menu
// restores it.
TEST_F(MdiTest, ClicksOnIconsSelectRestoreAndOpenTheSystemMenu) {
  win::UseVirtualClock(true);
  auto later = [] { win::test::AdvanceClock(win::GetDoubleClickTime() + 1); };
  win::HWND a = create("a", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  win::HWND b = create("b", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {30, 40, 200, 100});
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  ASSERT_EQ(active(), "b");
  win::test::Click(centreOf(a));
  pump();
  EXPECT_EQ(active(), "a") << "selected";
  EXPECT_TRUE(win::IsIconic(a));
  later();
  win::test::StartTrace();
  win::test::Click(centreOf(a));
  win::test::KeyDown(win::VK_ESCAPE);
  win::test::KeyUp(win::VK_ESCAPE);
  pump();
  std::string trace = stopTrace();
  EXPECT_NE(trace.find("sent a WM_INITMENUPOPUP"), std::string::npos) << trace;
  EXPECT_NE(trace.find("WM_EXITMENULOOP"), std::string::npos) << trace;
  EXPECT_TRUE(win::IsIconic(a)) << "Escape only closes the menu";
  later();
  win::POINT at = centreOf(a);
  win::test::Click(at);
  win::test::Click(at);
  pump();
  EXPECT_FALSE(win::IsIconic(a)) << "the second press ends the menu and restores";
  EXPECT_EQ(rectOf(a), "10,20 200x100");
  win::SendMessageA(a, win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  win::SendMessageA(Mdi::client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(b), 0);
  at = centreOf(a);
  win::test::Click(at);
  win::test::Click(at);
  pump();
  EXPECT_FALSE(win::IsIconic(a)) << "a double click on an inactive icon";
  EXPECT_EQ(active(), "a");
  win::UseVirtualClock(false);
}

// A double click on the caption maximizes, another restores; a slow second
// click only starts a move.
TEST_F(MdiTest, ACaptionDoubleClickMaximizesAndRestores) {
  win::UseVirtualClock(true);
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  win::test::Click({100, 30});
  win::test::AdvanceClock(win::GetDoubleClickTime() + 1);
  win::test::Click({100, 30});
  pump();
  EXPECT_FALSE(win::IsZoomed(doc)) << "too late";
  win::test::Click({100, 30});
  pump();
  EXPECT_TRUE(win::IsZoomed(doc));
  win::SendMessageA(doc, win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  win::test::Click({100, 30});
  win::test::Click({110, 30});
  pump();
  EXPECT_FALSE(win::IsZoomed(doc)) << "too far";
  win::UseVirtualClock(false);
}

// Maximized, the document's system menu is entry 0 of the frame's menu,
// its buttons sit at the line's end, and the frame's title names it.
TEST_F(MdiTest, AMaximizedDocumentLivesInTheFramesMenuLine) {
  win::HMENU bar = win::CreateMenu();
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(win::CreatePopupMenu()), "&File");
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(win::CreatePopupMenu()), "&Window");
  win::SetMenu(frame, bar);
  win::HWND one = create("one", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  win::HWND two = create("two", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {40, 50, 200, 100});
  EXPECT_EQ(win::GetMenuItemCount(bar), 2);
  win::SendMessageA(two, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
  pump();
  EXPECT_EQ(win::GetMenuItemCount(bar), 3);
  EXPECT_EQ(win::GetSubMenu(bar, 0), win::GetSystemMenu(two, 0));
  char title[64] = {};
  win::GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "frame - [two]");
  win::HMENU system = win::GetSystemMenu(two, 0);
  EXPECT_EQ(menuText(system, win::SC_CLOSE), "&Close\tCtrl+F4");
  EXPECT_EQ(menuText(system, win::SC_NEXTWINDOW), "Nex&t\tCtrl+F6");
  win::test::Image image = win::test::WindowImage(frame, true);
  writePng(image, "mdi_maximized.png");
  EXPECT_TRUE(test_support::MatchesPng(image, std::string(PLATFORM_GOLDEN) + "/mdi_maximized.png"));
  // Another document activated takes the state and the entry over.
  win::SendMessageA(Mdi::client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(one), 0);
  EXPECT_EQ(win::GetMenuItemCount(bar), 3);
  EXPECT_EQ(win::GetSubMenu(bar, 0), win::GetSystemMenu(one, 0));
  win::GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "frame - [one]");
  // A new frame menu carries the entry over; the old one is given back whole.
  win::HMENU other = win::CreateMenu();
  win::InsertMenuA(other, ~0u, win::MF_BYPOSITION | win::MF_STRING, 5, "&Only");
  EXPECT_EQ(win::SendMessageA(Mdi::client, win::WM_MDISETMENU, reinterpret_cast<win::WPARAM>(other), 0),
            reinterpret_cast<win::LRESULT>(bar));
  EXPECT_EQ(win::GetMenuItemCount(bar), 2);
  EXPECT_EQ(win::GetMenuItemCount(other), 2);
  EXPECT_EQ(win::GetSubMenu(other, 0), win::GetSystemMenu(one, 0));
  // A title set meanwhile is the frame's own part.
  win::SetWindowTextA(frame, "renamed");
  win::GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "renamed - [one]");
  // The restore button on the line, then the entry and the title go.
  win::RECT frameRect{};
  win::GetWindowRect(frame, &frameRect);
  int b = win::GetSystemMetrics(win::SM_CXSIZE);
  win::POINT restore{frameRect.right - 2 - b - 2 - b / 2, frameRect.top + win::GetSystemMetrics(win::SM_CYMENU) / 2};
  win::test::Click(restore);
  pump();
  EXPECT_FALSE(win::IsZoomed(one));
  EXPECT_EQ(win::GetMenuItemCount(other), 1);
  win::GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "renamed");
  // Destroyed while maximized, a document takes its entry with it.
  win::SendMessageA(one, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
  EXPECT_EQ(win::GetMenuItemCount(other), 2);
  win::DestroyWindow(one);
  EXPECT_EQ(win::GetMenuItemCount(other), 1);
  win::GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "renamed");
  win::SetMenu(frame, nullptr);
  win::DestroyMenu(bar);
  win::DestroyMenu(other);
}

// Alt+minus opens the active document's system menu, whose entries go to
// the document; the system box does the same by the pointer.
TEST_F(MdiTest, TheDocumentsSystemMenuByAltMinusAndTheSystemBox) {
  win::HWND a = create("a", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  win::HWND b = create("b", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {40, 50, 200, 100});
  win::SetActiveWindow(frame);
  ASSERT_EQ(active(), "b");
  win::test::StartTrace();
  win::test::KeyDown(win::VK_MENU);
  win::test::KeyDown(win::VK_OEM_MINUS);
  win::test::KeyUp(win::VK_OEM_MINUS);
  win::test::KeyUp(win::VK_MENU);
  win::test::Type("t");  // Next
  pump();
  std::string trace = stopTrace();
  EXPECT_NE(trace.find("sent b WM_INITMENUPOPUP"), std::string::npos) << trace;
  EXPECT_EQ(active(), "a") << trace;
  win::test::StartTrace();
  win::test::Click({10 + 4 + 9, 20 + 4 + 9});  // a's system box
  win::test::Type("n");                        // Minimize
  pump();
  trace = stopTrace();
  EXPECT_NE(trace.find("sent a WM_INITMENUPOPUP"), std::string::npos) << trace;
  EXPECT_TRUE(win::IsIconic(a)) << trace;
  (void)b;
}

// A caption button is drawn sunken while it is held; the glyph moves one
// pixel down and right.
TEST_F(MdiTest, AHeldCaptionButtonIsDrawnPressed) {
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 200, 100});
  pump();
  win::test::Image up = win::test::WindowImage(doc, true);
  win::internal::setPressedButton(doc, win::HTCLOSE);
  win::internal::paintDocumentFrame(doc);
  win::test::Image down = win::test::WindowImage(doc, true);
  win::internal::setPressedButton(doc, win::HTNOWHERE);
  auto at = [](const win::test::Image& i, int x, int y) { return i.px[static_cast<std::size_t>(y * i.width + x)]; };
  // The close button's face: 178..195 across, 4..21 down, less 1 and 2.
  const int left = 200 - 4 - 18 + 1, top = 4 + 2;
  EXPECT_NE(at(up, left, top), at(down, left, top)) << "the top-left edge turns dark";
  int moved = 0;
  for (int y = top + 2; y < top + 11; ++y)
    for (int x = left + 2; x < left + 13; ++x) moved += at(up, x, y) != at(down, x + 1, y + 1) ? 1 : 0;
  EXPECT_EQ(moved, 0) << "the cross one pixel down and right";
  writePng(down, "mdi_pressed.png");
}

// The interface end to end by keys and clicks: three documents cycled,
// maximized, restored, minimized to icons, restored and closed.
TEST_F(MdiTest, ThreeDocumentsByKeysAndClicks) {
  win::UseVirtualClock(true);
  auto later = [] { win::test::AdvanceClock(win::GetDoubleClickTime() + 1); };
  Mdi::closeToDefault = true;
  win::HMENU bar = win::CreateMenu();
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(win::CreatePopupMenu()), "&File");
  win::InsertMenuA(bar, ~0u, win::MF_BYPOSITION | win::MF_POPUP, reinterpret_cast<win::UINT_PTR>(win::CreatePopupMenu()), "&Window");
  win::SetMenu(frame, bar);
  win::SetActiveWindow(frame);
  win::HWND a = create("a"), b = create("b"), c = create("c");
  pump();
  auto button = [](win::HWND h, int fromRight) {  // a caption button's centre, counted from the close button
    win::RECT r{};
    win::GetWindowRect(h, &r);
    int size = win::GetSystemMetrics(win::SM_CXSIZE);
    return win::POINT{r.right - 4 - size / 2 - fromRight * (size + 2), r.top + 4 + size / 2};
  };
  auto systemKey = [](char letter) {
    win::test::KeyDown(win::VK_MENU);
    win::test::KeyDown(win::VK_OEM_MINUS);
    win::test::KeyUp(win::VK_OEM_MINUS);
    win::test::KeyUp(win::VK_MENU);
    win::test::Type(std::string(1, letter));
    pump();
  };
  std::string steps = active();
  auto step = [&] { steps += " " + active(); };
  win::test::StartTrace();
  key(win::VK_F6, {win::VK_CONTROL});
  step();
  key(win::VK_F6, {win::VK_CONTROL});
  step();
  win::test::Click(button(a, 1));  // maximize
  pump();
  step();
  EXPECT_EQ(win::GetMenuItemCount(bar), 3);
  key(win::VK_F6, {win::VK_CONTROL});  // the state goes with the activation
  step();
  win::RECT frameRect{};
  win::GetWindowRect(frame, &frameRect);
  int size = win::GetSystemMetrics(win::SM_CXSIZE);
  win::test::Click({frameRect.right - 2 - size - 2 - size / 2, frameRect.top + win::GetSystemMetrics(win::SM_CYMENU) / 2});
  pump();  // the restore button on the menu line
  step();
  EXPECT_EQ(win::GetMenuItemCount(bar), 2);
  systemKey('n');  // Alt+minus, Minimize
  key(win::VK_F6, {win::VK_CONTROL});
  systemKey('n');
  step();
  EXPECT_TRUE(win::IsIconic(b) && win::IsIconic(c));
  win::SendMessageA(Mdi::client, win::WM_MDIICONARRANGE, 0, 0);
  pump();
  win::test::Image icons = win::test::WindowImage(frame, true);
  writePng(icons, "mdi_icons.png");
  EXPECT_TRUE(test_support::MatchesPng(icons, std::string(PLATFORM_GOLDEN) + "/mdi_icons.png"));
  later();
  win::test::Click(centreOf(b));  // a double click restores
  win::test::Click(centreOf(b));
  pump();
  step();
  EXPECT_FALSE(win::IsIconic(b));
  later();
  key(win::VK_F4, {win::VK_CONTROL});
  step();
  win::test::Click(button(a, 0));  // close
  pump();
  step();
  std::string trace;
  {
    std::string all = stopTrace(), line;
    std::istringstream in(all);
    while (std::getline(in, line))
      for (const char* m : {"WM_MDIACTIVATE", "WM_SYSCOMMAND", "WM_CLOSE", "WM_MDIDESTROY", "WM_DESTROY", "WM_SIZE"})
        if (line.find(m) != std::string::npos && line.find("client WM_SIZE") == std::string::npos &&
            line.find("sent ?") == std::string::npos) {  // not the menus' own windows
          trace += line + "\n";
          break;
        }
  }
  EXPECT_EQ(trace, golden("mdi_scenario.trace", trace));
  EXPECT_EQ(steps, "c b a a maximized c maximized c b b a c");
  EXPECT_FALSE(win::IsWindow(a) || win::IsWindow(b));
  EXPECT_TRUE(win::IsIconic(c));
  win::test::Image end = win::test::WindowImage(frame, true);
  writePng(end, "mdi_end.png");
  EXPECT_TRUE(test_support::MatchesPng(end, std::string(PLATFORM_GOLDEN) + "/mdi_end.png"));
  win::SetMenu(frame, nullptr);
  win::DestroyMenu(bar);
  win::UseVirtualClock(false);
}

// A plain child class for panes inside documents.
bool register_pane_class(const char* name) {
  win::WNDCLASSA wc{};
  wc.lpfnWndProc = win::DefWindowProcA;
  wc.lpszClassName = name;
  return win::RegisterClassA(&wc) != 0;
}

}  // namespace

// Documents that change places in the stacking order: the one that comes
// out on top is damaged where the other lay over it, down to its own
// children, and the one beneath is left alone.
TEST_F(MdiTest, RestackingShowsTheCoveredPartOfTheDocumentOnTop) {
  constexpr const char* kPaneClass = "MdiTestPane";
  ASSERT_TRUE(register_pane_class(kPaneClass));
  win::HWND one = create("one", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {0, 0, 300, 200});
  win::HWND two = create("two", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {100, 80, 300, 200});
  win::HWND pane = win::CreateWindowExA(0, kPaneClass, nullptr, win::WS_CHILD | win::WS_VISIBLE, 0, 0, 400, 400, one,
                                        nullptr, nullptr, nullptr);
  ASSERT_NE(pane, nullptr);
  // The common part of the two documents in h's client coordinates.
  auto overlapIn = [&](win::HWND h) {
    win::RECT a{}, b{};
    win::GetWindowRect(one, &a);
    win::GetWindowRect(two, &b);
    win::POINT lt{std::max(a.left, b.left), std::max(a.top, b.top)};
    win::POINT rb{std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    win::ScreenToClient(h, &lt);
    win::ScreenToClient(h, &rb);
    win::RECT c{};
    win::GetClientRect(h, &c);
    return win::RECT{std::max(lt.x, c.left), std::max(lt.y, c.top), std::min(rb.x, c.right), std::min(rb.y, c.bottom)};
  };
  auto damage = [](win::HWND h) {
    win::RECT r{};
    if (!win::GetUpdateRect(h, &r, 0)) return std::string("none");
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  };
  auto text = [](win::RECT r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  };
  const win::UINT inPlace = win::SWP_NOMOVE | win::SWP_NOSIZE | win::SWP_NOACTIVATE;
  struct Step {
    const char* what;
    std::function<void()> act;
    bool oneDamaged, twoDamaged;
  };
  const Step steps[] = {
      {"activating the covered document", [&] { win::SendMessageA(Mdi::client, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(one), 0); }, true, false},
      {"raising the one already on top", [&] { win::SetWindowPos(one, win::HWND_TOP, 0, 0, 0, 0, inPlace); }, false, false},
      {"lowering it to the bottom", [&] { win::SetWindowPos(one, win::HWND_BOTTOM, 0, 0, 0, 0, inPlace); }, false, true},
      {"raising the other without activating", [&] { win::SetWindowPos(one, win::HWND_TOP, 0, 0, 0, 0, inPlace); }, true, false},
  };
  for (const Step& s : steps) {
    pump();
    ASSERT_EQ(damage(one) + damage(two), "nonenone") << s.what;
    s.act();
    EXPECT_EQ(damage(one), s.oneDamaged ? text(overlapIn(one)) : "none") << s.what;
    EXPECT_EQ(damage(pane), s.oneDamaged ? text(overlapIn(pane)) : "none") << s.what;
    EXPECT_EQ(damage(two), s.twoDamaged ? text(overlapIn(two)) : "none") << s.what;
  }
  win::DestroyWindow(pane);
  win::UnregisterClassA(kPaneClass, nullptr);
}

// A document that lands somewhere else is painted again there, whole and
// with its children: nothing carries its old pixels along.
TEST_F(MdiTest, AMovedDocumentIsPaintedWhereItLands) {
  constexpr const char* kPaneClass = "MdiTestMovedPane";
  ASSERT_TRUE(register_pane_class(kPaneClass));
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {10, 20, 300, 200});
  win::HWND pane = win::CreateWindowExA(0, kPaneClass, nullptr, win::WS_CHILD | win::WS_VISIBLE, 10, 10, 50, 40, doc,
                                        nullptr, nullptr, nullptr);
  ASSERT_NE(pane, nullptr);
  auto damage = [](win::HWND h) {
    win::RECT r{};
    if (!win::GetUpdateRect(h, &r, 0)) return std::string("none");
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  };
  auto whole = [&](win::HWND h) {
    win::RECT c{};
    win::GetClientRect(h, &c);
    return std::to_string(c.left) + "," + std::to_string(c.top) + "-" + std::to_string(c.right) + "," +
           std::to_string(c.bottom);
  };
  const win::UINT moveOnly = win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE;
  struct Step {
    const char* what;
    std::function<void()> act;
    win::HWND moved;
    bool repainted;
  };
  const Step steps[] = {
      {"moving the document", [&] { win::SetWindowPos(doc, nullptr, 60, 50, 0, 0, moveOnly); }, doc, true},
      {"moving and sizing it by its left edge", [&] { win::MoveWindow(doc, 40, 50, 320, 200, 1); }, doc, true},
      {"moving it without redrawing", [&] { win::MoveWindow(doc, 30, 40, 320, 200, 0); }, doc, false},
      {"putting it where it is", [&] { win::SetWindowPos(doc, nullptr, 30, 40, 0, 0, moveOnly); }, doc, false},
      {"moving a child inside it", [&] { win::SetWindowPos(pane, nullptr, 20, 15, 0, 0, moveOnly); }, pane, true},
  };
  for (const Step& s : steps) {
    pump();
    ASSERT_EQ(damage(doc) + damage(pane), "nonenone") << s.what;
    s.act();
    EXPECT_EQ(damage(s.moved), s.repainted ? whole(s.moved) : "none") << s.what;
    EXPECT_EQ(damage(pane), s.repainted ? whole(pane) : "none") << s.what;
  }
  win::DestroyWindow(pane);
  win::UnregisterClassA(kPaneClass, nullptr);
}

TEST_F(MdiTest, ScrollBarsShowWhileDocumentsLieOutsideAndScrollingReachesThem) {
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {400, 300, 300, 200});
  pump();
  auto clientSize = [] {
    win::RECT r{};
    win::GetClientRect(Mdi::client, &r);
    return std::to_string(r.right) + "x" + std::to_string(r.bottom);
  };
  EXPECT_EQ(clientSize(), "584x384") << "both bars take their strip";
  const struct {
    win::POINT at;
    win::LRESULT code;
  } hits[] = {{{592, 8}, win::HTVSCROLL},  {{592, 383}, win::HTVSCROLL}, {{8, 392}, win::HTHSCROLL},
              {{583, 392}, win::HTHSCROLL}, {{592, 392}, win::HTBORDER},  {{583, 383}, win::HTCLIENT}};
  for (const auto& h : hits)
    EXPECT_EQ(win::SendMessageA(Mdi::client, win::WM_NCHITTEST, 0, win::MAKELPARAM(h.at.x, h.at.y)), h.code)
        << h.at.x << "," << h.at.y;
  // Painted: the arrow's face and the trough's lighter ground.
  win::test::Image shot = win::test::WindowImage(frame, true);
  auto pixel = [&](int x, int y) { return shot.px[static_cast<std::size_t>(y * shot.width + x)] & 0xFFFFFF; };
  EXPECT_EQ(pixel(590, 4), 0xC0C0C0u);
  EXPECT_EQ(pixel(584 + 8, 330), 0xDFDFDFu);

  // The down arrow moves the documents up one step.
  win::test::Click({592, 376});
  pump();
  EXPECT_EQ(rectOf(doc), "400,281 300x200");
  // Down to the end: the document's height shows whole and that bar goes.
  win::SendMessageA(Mdi::client, win::WM_VSCROLL, win::SB_BOTTOM, 0);
  pump();
  EXPECT_EQ(rectOf(doc), "400,184 300x200");
  EXPECT_EQ(clientSize(), "600x384");
  // The horizontal thumb dragged to the end.
  win::test::MouseDown({500, 392});
  win::test::MouseMove({560, 392});
  win::test::MouseUp({599, 392});
  pump();
  EXPECT_EQ(rectOf(doc), "300,184 300x200");
  EXPECT_EQ(clientSize(), "600x400") << "no document lies outside: no bar";

  // A document maximized shows no bar, whatever lies outside.
  win::HWND far = create("far", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {700, 500, 100, 100});
  pump();
  EXPECT_EQ(clientSize(), "584x384");
  win::ShowWindow(far, win::SW_MAXIMIZE);
  pump();
  EXPECT_EQ(clientSize(), "600x400");
}

// An area made larger while its bars show is painted again where the bars
// were: a bar that moves or goes leaves neither its old picture nor an
// unpainted strip behind.
TEST_F(MdiTest, AnAreaMadeLargerRepaintsWhereItsBarsWere) {
  win::HWND doc = create("doc", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {400, 300, 300, 200});
  pump();
  ASSERT_TRUE(win::internal::mdiScrollShown(Mdi::client));
  struct Size {
    int width, height;
    bool barsAfter;
  };
  // Still too small for the document (the bars move outwards), then large
  // enough (they go).
  for (const Size& s : {Size{660, 440, true}, Size{800, 600, false}}) {
    win::RECT before{};
    win::GetClientRect(Mdi::client, &before);
    win::MoveWindow(frame, 0, 0, s.width, s.height, 1);
    pump();
    pump();
    EXPECT_EQ(win::internal::mdiScrollShown(Mdi::client), s.barsAfter) << s.width;
    win::test::Image shot = win::test::WindowImage(Mdi::client, true);
    auto pixel = [&](int x, int y) { return shot.px[static_cast<std::size_t>(y * shot.width + x)] & 0xFFFFFF; };
    const std::uint32_t ground = pixel(20, 20);
    // The old vertical bar's strip above the document, and the old
    // horizontal bar's strip left of it: now the area's ground.
    int faults = 0;
    for (int y = 0; y < 280 && y < shot.height; ++y)
      for (int x = before.right; x < before.right + 16; ++x) faults += pixel(x, y) != ground;
    for (int x = 0; x < 380; ++x)
      for (int y = before.bottom; y < before.bottom + 16; ++y) faults += pixel(x, y) != ground;
    EXPECT_EQ(faults, 0) << "stale pixels where the bars were, at " << s.width << "x" << s.height;
    // The document's part that came into view is painted: its ground
    // all over what the area now shows of it.
    win::RECT inner{};
    win::GetClientRect(doc, &inner);
    win::POINT at{0, 0};
    win::ClientToScreen(doc, &at);
    win::POINT origin{0, 0};
    win::ClientToScreen(Mdi::client, &origin);
    win::RECT shown{};
    win::GetClientRect(Mdi::client, &shown);
    const std::uint32_t paper = pixel(at.x - origin.x + 2, at.y - origin.y + 2);
    int unpainted = 0;
    for (int y = at.y - origin.y; y < at.y - origin.y + inner.bottom && y < shown.bottom; ++y)
      for (int x = at.x - origin.x; x < at.x - origin.x + inner.right && x < shown.right; ++x)
        unpainted += pixel(x, y) != paper;
    EXPECT_EQ(unpainted, 0) << "the document's newly shown part, at " << s.width << "x" << s.height;
  }
}
