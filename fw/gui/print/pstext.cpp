// PostScript text: string literals, the text operators and font names with
// the font lists behind the document's font comments.
#include <algorithm>
#include <cctype>
#include <string>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/gui/print/ps_internal.h"

namespace vprintps {
namespace {

// Code page 1252 leaves these high bytes unassigned.
bool unassigned(unsigned char c) {
  return c == 128 || c == 129 || c == 141 || c == 142 || c == 143 || c == 144 || c == 157 || c == 158;
}

// "times new" -> "TimesNew": blanks dropped, each word capitalised.
std::string capitalised(const char* text) {
  std::string out;
  bool start = true;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == ' ') {
      start = true;
      continue;
    }
    out += start ? char(std::toupper(static_cast<unsigned char>(*p))) : *p;
    start = false;
  }
  return out;
}

// The name "printfontdict" gives the face, or "".
std::string dictionaryName(vfontFace* face) {
  if (!m.fontDict) return {};
  vprefDict* byEncoding = face->family->encoding ? vprefGetDict(m.fontDict, vscribeCString(face->family->encoding))
                                                 : nullptr;
  vprefDict* d = byEncoding ? byEncoding : m.fontDict;
  std::string name;
  if (vprefDict* family = vprefGetDict(d, vscribeCString(face->family->name))) {
    if (const char* n = vprefGetString(family, vscribeCString(face->name))) name = n;
    vprefRelease(family);
  }
  if (byEncoding) vprefRelease(byEncoding);
  return name;
}

// The font's name, entered in the page's or the document's list and
// announced the first time.
vname fontName(vprint* job, vfont* font) {
  std::string text = dictionaryName(font->face);
  if (text.empty()) text = capitalised(font->face->family->name) + "-" + capitalised(font->face->name);
  vname name = vnameIntern(vscribeCString(text.c_str()));
  bool page = (job->mode & vprintMODE_PAGES) && (job->flags & vprintIN_PAGE);
  std::vector<vname>& list = page ? m.pageFonts : m.documentFonts;
  if (std::find(list.begin(), list.end(), name) == list.end()) {
    list.push_back(name);
    if (page && std::find(m.documentFonts.begin(), m.documentFonts.end(), name) == m.documentFonts.end())
      m.documentFonts.push_back(name);
    put(job, "\n%%IncludeFont: ");
    put(job, name);
    put(job, "\n");
  }
  return name;
}

}  // namespace

void putString(vprint* job, const char* chars, int length) {
  std::string out = "(";
  for (int i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(chars[i]);
    switch (c) {
      case 8: out += "\\b"; continue;
      case 9: out += "\\t"; continue;
      case 10: out += "\\n"; continue;
      case 12: out += "\\f"; continue;
      case 13: out += "\\r"; continue;
      case '(': out += "\\("; continue;
      case ')': out += "\\)"; continue;
      case '\\': out += "\\\\"; continue;
      default: break;
    }
    if (c >= 32 && c <= 126) {
      out += char(c);
    } else if (c >= 128 && !unassigned(c)) {
      out += '\\';
      out += char('0' + (c >> 6));
      out += char('0' + ((c >> 3) & 7));
      out += char('0' + (c & 7));
    }
  }
  out += ") ";
  put(job, out.data(), out.size());
}

void putFontSetting(vprint* job, vfont* font) {
  vname name = fontName(job, font);
  put(job, "/");
  put(job, name);
  put(job, " ");
  if (font->flags & 1) {
    putReal(job, font->matrix->d);
    put(job, "ssf\n");
  } else {
    putMatrix(job, font->matrix);
    put(job, "msf\n");
  }
}

void setFont(vfont* font) {
  if (vprint* j = after([&] { vdrawDefaultDeviceTable.setFont(font); }); j && font) putFontSetting(j, font);
}

void show(const char* chars, int length) {
  if (vprint* j = after([&] { builtin().Show(chars, length); })) {
    putString(j, chars, length);
    put(j, "s\n");
  }
}

void aWidthShow(double cx, double cy, int c, double ax, double ay, const char* chars, int length) {
  vprint* j = after([&] { builtin().AWidthShow(cx, cy, c, ax, ay, chars, length); });
  if (!j) return;
  putReal(j, cx);
  putReal(j, cy);
  putInt(j, c);
  putReal(j, ax);
  putReal(j, ay);
  putString(j, chars, length);
  put(j, "S\n");
}

void xyShow(const char* chars, int length, const float* offsets, int flags) {
  vprint* j = after([&] { builtin().XYShow(chars, length, offsets, flags); });
  if (!j) return;
  putString(j, chars, length);
  // Without either direction bit there are no offsets: a plain show.
  if (!(flags & 3)) return put(j, "s\n");
  int count = (flags & 3) == 3 ? 2 * length : length;
  put(j, "[");
  for (int i = 0; i < count; ++i) putReal(j, offsets[i]);
  put(j, "]");
  put(j, (flags & 3) == 1 ? "xshow\n" : (flags & 3) == 3 ? "xyshow\n" : "yshow\n");
}

void charPath(const char* chars, int length) {
  if (vprint* j = after([&] { builtin().CharPath(chars, length); })) {
    putString(j, chars, length);
    put(j, "false charpath\n");
  }
}

}  // namespace vprintps
