// The X11 back-end's pixels: window buffers shown by dirty rectangles (through
// shared memory where the server is local), and the cursors.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend/x11_backend.h"

namespace win::backend::x11 {

void X11::Present(HWND surface, const RECT& dirty, const Pixels& pixels) {
  Surface* s = find(surface);
  if (!s || !pixels.data || dirty.right <= dirty.left || dirty.bottom <= dirty.top) return;
  applyMove(*s);
  int w = dirty.right - dirty.left, h = dirty.bottom - dirty.top;
  if (!shm_ || !presentShm(*s, dirty, pixels)) {
    XImage* image = XCreateImage(d_, visual_.visual, static_cast<unsigned>(visual_.depth), ZPixmap, 0,
                                 const_cast<char*>(reinterpret_cast<const char*>(pixels.data)),
                                 static_cast<unsigned>(pixels.width), static_cast<unsigned>(pixels.height), 32,
                                 pixels.stride * 4);
    if (!image) return;
    XPutImage(d_, s->window, gc_, image, dirty.left, dirty.top, dirty.left, dirty.top, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    image->data = nullptr;  // the buffer is the window layer's
    XDestroyImage(image);
  }
  answerExposures();
}

// Long work in one handler (a saved layout brought back) presents often
// but takes no events: a window the window manager maps meanwhile would
// stand bare until the work ends. Its exposures are answered from the
// buffers at the next presentation instead.
void X11::answerExposures() {
  XEvent e;
  while (XCheckMaskEvent(d_, ExposureMask, &e))
    if (e.type == Expose) handle(e);
}

bool X11::useShm() {
  const char* display = DisplayString(d_);
  bool local = display && display[0] == ':';
  int major = 0, minor = 0;
  Bool pixmaps = False;
  return local && XShmQueryVersion(d_, &major, &minor, &pixmaps);
}

// One shared image as large as the largest buffer presented so far.
bool X11::presentShm(Surface& s, const RECT& dirty, const Pixels& pixels) {
  if (!shmImage_ || shmImage_->width < pixels.width || shmImage_->height < pixels.height) {
    if (shmImage_) dropShm();
    shmImage_ = XShmCreateImage(d_, visual_.visual, static_cast<unsigned>(visual_.depth), ZPixmap, nullptr,
                                &shmInfo_, static_cast<unsigned>(std::max(pixels.width, 256)),
                                static_cast<unsigned>(std::max(pixels.height, 256)));
    if (!shmImage_) return shm_ = false;
    shmInfo_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(shmImage_->bytes_per_line * shmImage_->height),
                            IPC_CREAT | 0600);
    void* at = shmInfo_.shmid < 0 ? reinterpret_cast<void*>(-1) : shmat(shmInfo_.shmid, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) {
      if (shmInfo_.shmid >= 0) shmctl(shmInfo_.shmid, IPC_RMID, nullptr);
      XDestroyImage(shmImage_);
      shmImage_ = nullptr;
      return shm_ = false;
    }
    shmInfo_.shmaddr = shmImage_->data = static_cast<char*>(at);
    shmInfo_.readOnly = False;
    int before = xErrors;
    XShmAttach(d_, &shmInfo_);
    XSync(d_, False);
    shmctl(shmInfo_.shmid, IPC_RMID, nullptr);  // goes when both sides detach
    if (xErrors != before) {  // a server that cannot reach our memory
      dropShm();
      return shm_ = false;
    }
  }
  int w = dirty.right - dirty.left, h = dirty.bottom - dirty.top;
  for (int y = 0; y < h; ++y)
    std::memcpy(shmImage_->data + static_cast<std::ptrdiff_t>(y) * shmImage_->bytes_per_line,
                pixels.data + static_cast<std::ptrdiff_t>(dirty.top + y) * pixels.stride + dirty.left,
                static_cast<std::size_t>(w) * 4);
  XShmPutImage(d_, s.window, gc_, shmImage_, 0, 0, dirty.left, dirty.top, static_cast<unsigned>(w),
               static_cast<unsigned>(h), False);
  // The shared image is written again at the next presentation.
  XSync(d_, False);
  return true;
}

void X11::dropShm() {
  XShmDetach(d_, &shmInfo_);
  shmdt(shmInfo_.shmaddr);
  shmImage_->data = nullptr;
  XDestroyImage(shmImage_);
  shmImage_ = nullptr;
}

void X11::SetCursor(HCURSOR cursor) {
  Cursor c = cursorFor(cursor);
  cursor_ = c;
  for (auto& [h, s] : surfaces_) XDefineCursor(d_, s.window, c);
}

// The built-in shapes are the font cursors; made ones are pixmap
// cursors in their darkest and lightest opaque colours.
Cursor X11::cursorFor(HCURSOR cursor) {
  if (auto it = cursors_.find(cursor); it != cursors_.end()) return it->second;
  Cursor c = 0;
  if (cursor == LoadCursorA(nullptr, IDC_ARROW)) {
    c = XCreateFontCursor(d_, XC_left_ptr);
  } else if (cursor == LoadCursorA(nullptr, IDC_WAIT)) {
    c = XCreateFontCursor(d_, XC_watch);
  } else {
    internal::IconPixels p;
    if (!cursor || !internal::iconPixels(cursor, p)) p = {1, 1, {0, 0}, {1}, {0}};  // nothing shown
    c = pixmapCursor(p);
  }
  cursors_[cursor] = c;
  return c;
}

Cursor X11::pixmapCursor(const internal::IconPixels& p) {
  if (Cursor c = colourCursor(p)) return c;
  auto lum = [](std::uint32_t c) { return ((c >> 16) & 0xFF) * 3 + ((c >> 8) & 0xFF) * 6 + (c & 0xFF); };
  std::uint32_t dark = 0xFFFFFF, light = 0;
  for (std::size_t i = 0; i < p.mask.size(); ++i)
    if (!p.mask[i]) {
      if (lum(p.color[i]) <= lum(dark)) dark = p.color[i];
      if (lum(p.color[i]) >= lum(light)) light = p.color[i];
    }
  int stride = (p.width + 7) / 8;
  std::vector<char> source(static_cast<std::size_t>(stride * p.height), 0), mask(source.size(), 0);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      std::size_t i = static_cast<std::size_t>(y * p.width + x), at = static_cast<std::size_t>(y * stride + x / 8);
      if (p.mask[i]) continue;  // transparent (and inverting pixels)
      mask[at] = static_cast<char>(mask[at] | 1 << (x % 8));
      // Source 1 shows the foreground (dark) colour.
      if (lum(p.color[i]) * 2 < lum(dark) + lum(light)) source[at] = static_cast<char>(source[at] | 1 << (x % 8));
    }
  Pixmap src = XCreateBitmapFromData(d_, root_, source.data(), static_cast<unsigned>(p.width),
                                     static_cast<unsigned>(p.height));
  Pixmap msk = XCreateBitmapFromData(d_, root_, mask.data(), static_cast<unsigned>(p.width),
                                     static_cast<unsigned>(p.height));
  auto colour = [](std::uint32_t c) {
    XColor x{};
    x.red = static_cast<unsigned short>(((c >> 16) & 0xFF) * 257);
    x.green = static_cast<unsigned short>(((c >> 8) & 0xFF) * 257);
    x.blue = static_cast<unsigned short>((c & 0xFF) * 257);
    x.flags = DoRed | DoGreen | DoBlue;
    return x;
  };
  XColor fg = colour(dark), bg = colour(light);
  Cursor c = XCreatePixmapCursor(d_, src, msk, &fg, &bg, static_cast<unsigned>(p.hot.x), static_cast<unsigned>(p.hot.y));
  XFreePixmap(d_, src);
  XFreePixmap(d_, msk);
  return c;
}

// A cursor with colours other than black and white, as an ARGB image
// when the server takes one: opaque where the mask is 0, clear elsewhere.
Cursor X11::colourCursor(const internal::IconPixels& p) {
  bool colour = false;
  for (std::size_t i = 0; i < p.mask.size() && !colour; ++i)
    colour = !p.mask[i] && (p.color[i] & 0xFFFFFF) != 0 && (p.color[i] & 0xFFFFFF) != 0xFFFFFF;
  if (!colour || !XcursorSupportsARGB(d_)) return 0;
  XcursorImage* image = XcursorImageCreate(p.width, p.height);
  if (!image) return 0;
  image->xhot = static_cast<XcursorDim>(p.hot.x);
  image->yhot = static_cast<XcursorDim>(p.hot.y);
  for (std::size_t i = 0; i < p.mask.size(); ++i)
    image->pixels[i] = p.mask[i] ? 0 : 0xFF000000u | (p.color[i] & 0xFFFFFF);
  Cursor c = XcursorImageLoadCursor(d_, image);
  XcursorImageDestroy(image);
  return c;
}

}  // namespace win::backend::x11
