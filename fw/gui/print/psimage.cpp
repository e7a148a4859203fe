// PostScript images: inline hexadecimal data read by the prologue's iproc,
// as grey levels or RGB triples, raw bits for masks, and masks turned into
// rectangle paths.
#include <string>

#include "fw/gui/graphics/image.h"
#include "fw/gui/print/ps_internal.h"

namespace vprintps {
namespace {

enum class Form { GREY, COLOR, RAW };
enum class Place { MATRIX, POINT };

struct Pixels {
  vpixmapCursor c;
  explicit Pixels(vimage* image) { vpixmapInitCursor(&c, image); }
  ~Pixels() { vpixmapFinishCursor(&c); }
  const std::uint8_t* row(int y) const { return c.bytes + c.row0 + std::ptrdiff_t(y) * c.stride; }
  std::uint32_t at(int x, int y) { return vpixmapCursorGetAt(&c, x, y); }
};

void appendHex(std::string& out, unsigned byte) {
  out += kHex[(byte >> 4) & 15];
  out += kHex[byte & 15];
}

void appendColor(std::string& out, Form form, unsigned r, unsigned g, unsigned b) {
  if (form == Form::GREY) {
    appendHex(out, (std::uint32_t(r) * 19595u + std::uint32_t(g) * 38469u + std::uint32_t(b) * 7471u) >> 24);
  } else {
    appendHex(out, r >> 8);
    appendHex(out, g >> 8);
    appendHex(out, b >> 8);
  }
}

bool hasPalette(vimage* image) { return !(image->flags & vimageNO_PALETTE); }

// Raw rows need whole bytes per row.
void requireByteRows(vimage* image) {
  if (vpixmapGetRowAlignment(image) < 8)
    vexGenerateMessage(&vexModuleUnimplementedClass, "image rows packed bit to bit");
}

void putRows(vprint* job, vimage* image, Form form) {
  Pixels px(image);
  int width = image->width, height = image->height;
  std::string line;
  if (form == Form::RAW) {
    std::size_t n = std::size_t(width + 7) / 8;
    for (int y = 0; y < height; ++y) {
      line.clear();
      const std::uint8_t* row = px.row(y);
      for (std::size_t i = 0; i < n; ++i) appendHex(line, row[i]);
      line += '\n';
      put(job, line.data(), line.size());
    }
    return;
  }
  vcolorList* palette = hasPalette(image) ? vimageGetPalette(image) : nullptr;
  std::uint32_t entries = palette ? palette->count : 0;
  auto colorOf = [&](std::uint32_t value, std::string& out) {
    unsigned r = 0, g = 0, b = 0;
    if (palette) {
      // A value past the palette is black rather than a read beyond it.
      if (value < entries) vcolorGetSpecRGB(&palette->entries[value], &r, &g, &b);
    } else if (image->depth > 8) {
      vimageSplitRGB(value, &r, &g, &b);
    } else if (value) {
      r = g = b = 65535;  // without a palette every set value is white
    }
    appendColor(out, form, r, g, b);
  };
  std::vector<std::string> table;
  if (image->depth <= 8) {
    table.resize(std::size_t(1) << image->depth);
    for (std::uint32_t v = 0; v < table.size(); ++v) colorOf(v, table[v]);
  }
  for (int y = 0; y < height; ++y) {
    line.clear();
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = px.at(x, y);
      if (image->depth <= 8)
        line += table[v & (table.size() - 1)];
      else
        colorOf(v, line);
    }
    line += '\n';
    put(job, line.data(), line.size());
  }
}

void putImage(vprint* job, vimage* image, const vmatrix* matrix, Form form, bool mask) {
  bool raw = mask || (image->depth == 1 && !hasPalette(image));
  if (raw) requireByteRows(image);
  put(job, "\n%%BeginData: ");
  putInt(job, image->height + 1);
  put(job, "Hex Lines\n");
  putInt(job, image->width);
  putInt(job, image->height);
  // The colour reader expects three samples a pixel: raw bits go as grey.
  bool color = form == Form::COLOR && !raw;
  put(job, mask ? "true " : raw ? "1 " : "8 ");
  if (matrix) putMatrix(job, matrix);
  const char* op = mask ? "im" : color ? "ci" : "i";
  put(job, op);
  put(job, matrix ? "\n" : "i\n");  // at the current point: ii, cii, imi
  putRows(job, image, raw ? Form::RAW : form);
  put(job, "%%EndData\n");
}

// Every maximal run of set pixels as the rectangle x0 y n 1.
void putRuns(vprint* job, vimage* image) {
  Pixels px(image);
  int runs = 0;
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width;) {
      if (!px.at(x, y)) {
        ++x;
        continue;
      }
      int x0 = x;
      while (x < image->width && px.at(x, y)) ++x;
      for (int v : {x0, y, x - x0, 1}) putInt(job, v);
      ++runs;
    }
  if (runs) {
    putInt(job, runs);
    put(job, "rp\n");
  }
}

}  // namespace

void greyImageMatrix(vimage* image, const vmatrix* matrix) {
  if (vprint* j = after([&] { builtin().ImageMatrix(image, matrix); })) putImage(j, image, matrix, Form::GREY, false);
}
void colorImageMatrix(vimage* image, const vmatrix* matrix) {
  if (vprint* j = after([&] { builtin().ImageMatrix(image, matrix); })) putImage(j, image, matrix, Form::COLOR, false);
}
void greyImage(vimage* image) {
  if (vprint* j = after([&] { builtin().Image(image); })) putImage(j, image, nullptr, Form::GREY, false);
}
void colorImage(vimage* image) {
  if (vprint* j = after([&] { builtin().Image(image); })) putImage(j, image, nullptr, Form::COLOR, false);
}
void imageMaskMatrix(vimage* image, const vmatrix* matrix) {
  if (vprint* j = after([&] { builtin().ImageMaskMatrix(image, matrix); }))
    putImage(j, image, matrix, Form::RAW, true);
}
void imageMask(vimage* image) {
  if (vprint* j = after([&] { builtin().ImageMask(image); })) putImage(j, image, nullptr, Form::RAW, true);
}

void imageMaskPathMatrix(vimage* image, const vmatrix* matrix) {
  vprint* j = target();
  if (!j) return;
  putMatrix(j, matrix);
  put(j, "dup matrix invertmatrix concat\n");
  putRuns(j, image);
  put(j, "concat\n");
}

void imageMaskPath(vimage* image) {
  vprint* j = target();
  if (!j) return;
  double x, y;
  vdrawGetCurrentPoint(&x, &y);
  putReal(j, x);
  putReal(j, y);
  put(j, "tm\n");
  putRuns(j, image);
  putReal(j, -x);
  putReal(j, -y);
  put(j, "tm\n");
}

}  // namespace vprintps
