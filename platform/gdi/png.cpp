// Window and screen pixels for the tests: images, PNG files (libpng's
// simplified interface) and the StretchDIBits row cap.
#include <png.h>

#include <algorithm>

#include "platform/gdi/blit.h"
#include "platform/user/internal.h"
#include "platform/win/test.h"

namespace win::test {

Image WindowImage(HWND hwnd, bool whole) {
  Image out;
  internal::Window* w = internal::findWindow(hwnd);
  if (!w) return out;
  HWND root = internal::rootOf(hwnd);
  internal::Window* r = internal::findWindow(root);
  internal::Surface* s = internal::windowBuffer(root);
  POINT o = internal::clientOriginOnScreen(*w);
  if (whole) o = {o.x - w->client.left, o.y - w->client.top};
  o = {o.x - r->rect.left, o.y - r->rect.top};
  RECT area = whole ? RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top}
                    : RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
  out.width = area.right, out.height = area.bottom;
  out.px.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height), 0);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x)
      if (x + o.x >= 0 && y + o.y >= 0 && x + o.x < s->width && y + o.y < s->height)
        out.px[static_cast<std::size_t>(y * out.width + x)] = s->row(y + o.y)[x + o.x];
  return out;
}

Image ScreenImage() {
  internal::Surface s;
  internal::composeScreen(s);
  return {s.width, s.height, std::move(s.px)};
}

Image PrinterImage(HDC printer) {
  internal::Dc* dc = internal::dcOf(printer);
  if (!dc || !dc->sheet) return {};
  return {dc->sheet->width, dc->sheet->height, dc->sheet->px};
}

bool PrinterPng(HDC printer, const std::string& path) {
  Image i = PrinterImage(printer);
  return i.width > 0 && WritePng(path, i);
}

COLORREF Pixel(HWND hwnd, int x, int y) {
  Image i = WindowImage(hwnd, false);
  if (x < 0 || y < 0 || x >= i.width || y >= i.height) return 0xFFFFFFFFu;
  return internal::toColorref(i.px[static_cast<std::size_t>(y * i.width + x)]);
}

bool WritePng(const std::string& path, const Image& image) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(image.px.size() * 3);
  for (std::uint32_t p : image.px) {
    rgb.push_back(static_cast<std::uint8_t>(p >> 16));
    rgb.push_back(static_cast<std::uint8_t>(p >> 8));
    rgb.push_back(static_cast<std::uint8_t>(p));
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

bool ReadPng(const std::string& path, Image& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
  png.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.px.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  for (std::size_t i = 0; i < image.px.size(); ++i)
    image.px[i] = static_cast<std::uint32_t>(rgb[3 * i]) << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
  return true;
}

bool WindowPng(HWND hwnd, const std::string& path, bool whole) {
  return internal::findWindow(hwnd) && WritePng(path, WindowImage(hwnd, whole));
}

bool ScreenPng(const std::string& path) { return WritePng(path, ScreenImage()); }

void SetStretchDIBitsRowCap(int rows) { internal::setStretchRowCap(rows); }

}  // namespace win::test
