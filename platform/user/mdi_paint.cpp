// The frame of a document window: a 4-pixel sizing border, a caption with
// the small icon as system box, the title and the minimize, maximize (or
// restore) and close buttons; its hit codes and its painting.
#include <algorithm>

#include "platform/user/menu.h"

namespace win {
namespace internal {
namespace {

int frameWidth() { return GetSystemMetrics(SM_CXFRAME); }
int captionHeight() { return GetSystemMetrics(SM_CYCAPTION); }
int buttonSize() { return GetSystemMetrics(SM_CXSIZE); }
COLORREF sys(int index) { return GetSysColor(index); }

// The caption's parts in window coordinates.
struct CaptionParts {
  RECT bar, box, minimize, maximize, close;
};

CaptionParts captionParts(const Window& w) {
  int f = frameWidth(), b = buttonSize(), width = w.rect.right - w.rect.left;
  CaptionParts p;
  p.bar = {f, f, width - f, f + captionHeight() - 1};
  p.box = {f, f, f + b, f + b};
  p.close = {width - f - b, f, width - f, f + b};
  p.maximize = {p.close.left - 2 - b, f, p.close.left - 2, f + b};
  p.minimize = {p.maximize.left - b, f, p.maximize.left, f + b};
  if (!(w.style & WS_SYSMENU)) p.box = p.close = p.maximize = p.minimize = {};
  if (!(w.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) p.maximize = p.minimize = {};
  return p;
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// A button face 16 x 14 inside its 18 x 18 place.
RECT face(const RECT& place) { return {place.left + 1, place.top + 2, place.right - 1, place.bottom - 2}; }

// The button held down now, by the window that shows it.
struct Pressed {
  HWND hwnd = nullptr;
  LRESULT hit = HTNOWHERE;
};
Pressed pressed;

// Pressed, the edges are sunken and the glyph one pixel down and right.
void drawButton(HDC dc, const RECT& place, LRESULT kind, bool maximized, bool down = false) {
  if (place.right <= place.left) return;
  RECT r = face(place);
  fillRect(dc, r, sys(COLOR_BTNFACE));
  if (down) {
    drawEdge(dc, r, sys(COLOR_3DDKSHADOW), sys(COLOR_3DHILIGHT));
    drawEdge(dc, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, sys(COLOR_3DSHADOW), sys(COLOR_3DLIGHT));
  } else {
    drawEdge(dc, r, sys(COLOR_3DHILIGHT), sys(COLOR_3DDKSHADOW));
    drawEdge(dc, {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, sys(COLOR_3DLIGHT), sys(COLOR_3DSHADOW));
  }
  COLORREF ink = sys(COLOR_BTNTEXT);
  int x = r.left + 4 + (down ? 1 : 0), y = r.top + 3 + (down ? 1 : 0);
  switch (kind) {
    case HTMINBUTTON:
      fillRect(dc, {x, y + 6, x + 6, y + 8}, ink);
      break;
    case HTMAXBUTTON:
      if (maximized) {  // restore: two overlapping boxes
        for (POINT o : {POINT{2, 0}, POINT{0, 3}}) {
          RECT box{x + o.x, y + o.y - 1, x + o.x + 6, y + o.y + 5};
          fillRect(dc, {box.left, box.top, box.right, box.bottom}, sys(COLOR_BTNFACE));
          drawEdge(dc, box, ink, ink);
          fillRect(dc, {box.left, box.top + 1, box.right, box.top + 2}, ink);
        }
      } else {
        RECT box{x - 1, y - 1, x + 8, y + 8};
        drawEdge(dc, box, ink, ink);
        fillRect(dc, {box.left, box.top + 1, box.right, box.top + 2}, ink);
      }
      break;
    default: {  // close: a cross two pixels wide
      HPEN pen = CreatePen(PS_SOLID, 1, ink);
      HGDIOBJ old = SelectObject(dc, pen);
      for (int dx : {0, 1}) {
        MoveToEx(dc, x + dx, y, nullptr);
        LineTo(dc, x + dx + 7, y + 7);
        MoveToEx(dc, x + dx + 6, y, nullptr);
        LineTo(dc, x + dx - 1, y + 7);
      }
      SelectObject(dc, old);
      DeleteObject(pen);
      break;
    }
  }
}

bool isPressed(HWND hwnd, LRESULT hit) { return pressed.hwnd == hwnd && pressed.hit == hit; }

// The maximized document's buttons at the end of the frame's first menu
// row, in window coordinates: minimize, restore, a gap, close.
CaptionParts barParts(const Window& frame) {
  int b = buttonSize(), width = frame.rect.right - frame.rect.left;
  int top = std::max(0, (GetSystemMetrics(SM_CYMENU) - b) / 2);
  CaptionParts p{};
  p.close = {width - 2 - b, top, width - 2, top + b};
  p.maximize = {p.close.left - 2 - b, top, p.close.left - 2, top + b};
  p.minimize = {p.maximize.left - b, top, p.maximize.left, top + b};
  return p;
}

}  // namespace

// The class icon (else the application's), drawn at half size on the
// caption's colour.
void drawDocumentIcon(HWND hwnd, HDC dc, const RECT& box, COLORREF background) {
  if (box.right <= box.left) return;
  Window* w = findWindow(hwnd);
  HICON icon = w && w->windowClass->wc.hIcon ? w->windowClass->wc.hIcon : LoadIconA(nullptr, IDI_APPLICATION);
  int size = GetSystemMetrics(SM_CXICON), small = GetSystemMetrics(SM_CXSMICON);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, size, size);
  HGDIOBJ old = SelectObject(mem, bitmap);
  fillRect(mem, {0, 0, size, size}, background);
  DrawIcon(mem, 0, 0, icon);
  SetStretchBltMode(dc, COLORONCOLOR);
  int offset = (box.right - box.left - small) / 2;
  StretchBlt(dc, box.left + offset, box.top + offset, small, small, mem, 0, 0, size, size, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bitmap);
  DeleteDC(mem);
}

int barButtonsWidth() { return 3 * buttonSize() + 6; }

LRESULT barButtonAt(HWND frame, POINT screen) {
  Window* f = findWindow(frame);
  if (!f || !mdiMaximizedChild(frame)) return HTNOWHERE;
  POINT p{screen.x - f->rect.left, screen.y - f->rect.top};
  CaptionParts parts = barParts(*f);
  if (inside(parts.minimize, p)) return HTMINBUTTON;
  if (inside(parts.maximize, p)) return HTMAXBUTTON;
  if (inside(parts.close, p)) return HTCLOSE;
  return HTNOWHERE;
}

void paintBarButtons(HWND frame, HDC dc) {
  Window* f = findWindow(frame);
  if (!f || !mdiMaximizedChild(frame)) return;
  CaptionParts parts = barParts(*f);
  drawButton(dc, parts.minimize, HTMINBUTTON, false, isPressed(frame, HTMINBUTTON));
  drawButton(dc, parts.maximize, HTMAXBUTTON, true, isPressed(frame, HTMAXBUTTON));
  drawButton(dc, parts.close, HTCLOSE, false, isPressed(frame, HTCLOSE));
}

void setPressedButton(HWND hwnd, LRESULT hit) { pressed = {hwnd, hit}; }

bool hasDocumentFrame(const Window& w) { return (w.exStyle & WS_EX_MDICHILD) != 0; }

RECT documentFrameInsets() {
  int f = frameWidth();
  return {f, f + captionHeight(), f, f};
}

LRESULT documentHitTest(const Window& w, POINT p) {
  int width = w.rect.right - w.rect.left, height = w.rect.bottom - w.rect.top;
  if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) return HTNOWHERE;
  if (w.minimized) return HTCAPTION;  // an icon is all handle
  if (inside(w.client, p)) return HTCLIENT;
  int f = frameWidth(), corner = captionHeight() + f;
  bool left = p.x < f, right = p.x >= width - f, top = p.y < f, bottom = p.y >= height - f;
  if (left || right || top || bottom) {
    if (!(w.style & WS_THICKFRAME) || w.maximized) return HTBORDER;
    bool nearLeft = p.x < corner, nearRight = p.x >= width - corner;
    bool nearTop = p.y < corner, nearBottom = p.y >= height - corner;
    if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
    return left ? HTLEFT : right ? HTRIGHT : top ? HTTOP : HTBOTTOM;
  }
  CaptionParts parts = captionParts(w);
  constexpr struct {
    RECT CaptionParts::*part;
    LRESULT code;
  } kParts[] = {{&CaptionParts::box, HTSYSMENU},
                {&CaptionParts::minimize, HTMINBUTTON},
                {&CaptionParts::maximize, HTMAXBUTTON},
                {&CaptionParts::close, HTCLOSE}};
  for (const auto& k : kParts)
    if (inside(parts.*(k.part), p)) return k.code;
  return HTCAPTION;
}

void paintDocumentFrame(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w || !hasDocumentFrame(*w)) return;
  HWND client = mdiClientOf(hwnd);
  bool active = client && mdiActiveChild(client) == hwnd;
  int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  HDC dc = GetWindowDC(hwnd);
  ExcludeClipRect(dc, w->client.left, w->client.top, w->client.right, w->client.bottom);
  fillRect(dc, {0, 0, width, height}, sys(COLOR_BTNFACE));
  drawEdge(dc, {0, 0, width, height}, sys(COLOR_3DLIGHT), sys(COLOR_3DDKSHADOW));
  drawEdge(dc, {1, 1, width - 1, height - 1}, sys(COLOR_3DHILIGHT), sys(COLOR_3DSHADOW));
  CaptionParts parts = captionParts(*w);
  COLORREF caption = sys(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
  fillRect(dc, parts.bar, caption);
  drawDocumentIcon(hwnd, dc, parts.box, caption);
  if (!(w = findWindow(hwnd))) return;
  HFONT font = menuFont(true);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, sys(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  int textLeft = parts.box.right > 0 ? parts.box.right + 2 : parts.bar.left + 2;
  int textRight = parts.minimize.right > 0 ? parts.minimize.left - 2 : parts.close.right > 0 ? parts.close.left - 2
                                                                                                : parts.bar.right;
  RECT textArea{textLeft, parts.bar.top, std::max(textLeft, textRight), parts.bar.bottom};
  ExtTextOutA(dc, textLeft, parts.bar.top + (parts.bar.bottom - parts.bar.top - tm.tmHeight) / 2, ETO_CLIPPED,
              &textArea, w->title.c_str(), static_cast<UINT>(w->title.size()), nullptr);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  drawButton(dc, parts.minimize, HTMINBUTTON, false, isPressed(hwnd, HTMINBUTTON));
  drawButton(dc, parts.maximize, HTMAXBUTTON, w->maximized, isPressed(hwnd, HTMAXBUTTON));
  drawButton(dc, parts.close, HTCLOSE, false, isPressed(hwnd, HTCLOSE));
  ReleaseDC(hwnd, dc);
}

}  // namespace internal
}  // namespace win
