// The multiple-document client: documents made, activated, cycled, closed,
// maximized and laid out, and the frame's and documents' default
// processing.
#include "platform_fixture.h"
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
    if (m == win::WM_CLOSE) return 0;  // as the framework: closing is its own decision
    if (m == win::WM_PAINT) {
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
    Mdi::pinned = nullptr;
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

}  // namespace
