// Font descriptions: the grammar, the term tests, lookup with its cache, the description
// text of a size, and fonts in resources.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/data/num.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font_internal.h"

namespace vfontint {
namespace {

// Skips prefix when the text starts with it, letter case ignored.
bool prefix(const char*& p, const char* word) {
  std::size_t i = 0;
  for (; word[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(p[i])) != word[i]) return false;
  p += i;
  return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The word with the case of the first letter of each blank-separated word swapped.
vname caseVariant(const char* start, std::size_t n) {
  std::string v(start, n);
  bool first = true;
  for (char& c : v) {
    if (c == ' ') {
      first = true;
      continue;
    }
    if (first) {
      auto u = static_cast<unsigned char>(c);
      if (u < 128) c = char(std::isupper(u) ? std::tolower(u) : std::toupper(u));
      first = false;
    }
  }
  return vnameIntern(vscribeCStringSized(v.data(), v.size()));
}

// Optional sign and decimal digits; the value saturates at the int range.
int parseDevice(const char* p) {
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long v = 0;
  for (; isDigit(*p); ++p) v = std::min<long long>(v * 10 + (*p - '0'), INT_MAX + 1LL);
  if (negative) v = -v;
  return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

const char* skipTo(const char* p, char c) {
  while (*p && *p != c) ++p;
  return p;
}

bool wordMatches(const Term& t, vname name) { return t.value == name || t.variant == name; }

bool faceMatches(const Term& t, const vfontFace* f) {
  if (wordMatches(t, f->name)) return true;
  return std::any_of(f->words->begin(), f->words->end(), [&](vname w) { return wordMatches(t, w); });
}

bool passes(vfontFace* f, const Term& t) {
  const vfontFamily* fam = f->family;
  bool r = false;
  switch (t.kind & ~kNegated) {
    case kBare:
      r = wordMatches(t, fam->name) || wordMatches(t, fam->foundry) || wordMatches(t, fam->encoding) ||
          faceMatches(t, f);
      break;
    case kFamily: r = wordMatches(t, fam->name); break;
    case kFoundry: r = wordMatches(t, fam->foundry); break;
    case kEncoding: r = wordMatches(t, fam->encoding); break;
    case kFace: r = faceMatches(t, f); break;
    case kMatrix:
    case kSize: {
      // Only a size some device has: a derived size never matches.
      vfont* n = vfontFindNearestSize(f, &t.matrix, -1);
      double d;
      r = n && vmatrixCompare(n->matrix, &t.matrix, &d) == 0 && n->deviceMask != 0;
      break;
    }
    case kDevice: r = t.device < 0 || ((f->deviceMask >> t.device) & 1); break;
  }
  return (t.kind & kNegated) ? !r : r;
}

// Narrows the candidates term by term; true when one face is left.
bool filter(std::vector<vfontFace*>& candidates, const std::vector<Term>& terms) {
  std::vector<vfontFace*>& kept = state.scratch[1];
  for (const Term& t : terms) {
    kept.clear();
    for (vfontFace* f : candidates)
      if (passes(f, t)) kept.push_back(f);
    if (kept.empty()) continue;
    candidates.swap(kept);
    if (candidates.size() == 1) return true;
  }
  return false;
}

bool faceBefore(const vfontFace* a, const vfontFace* b) {
  const vfontFamily *fa = a->family, *fb = b->family;
  if (int c = std::strcmp(fa->name, fb->name)) return c < 0;
  if (int c = std::strcmp(fa->foundry, fb->foundry)) return c < 0;
  if (int c = std::strcmp(fa->encoding, fb->encoding)) return c < 0;
  return std::strcmp(a->name, b->name) < 0;
}

}  // namespace

void parseDescription(const char* text, std::vector<Term>* terms, vmatrix* size) {
  *size = {12, 0, 0, 12, 0, 0};
  bool haveSize = false, faceList = false;
  const char* p = text;
  while (*p) {
    const char* start = p;
    Term t{};
    if (*p == '~') {
      t.kind = kNegated;
      ++p;
    }
    std::uint32_t kind;
    if (faceList) {
      kind = kFace;
    } else if (prefix(p, "family:")) {
      kind = kFamily;
    } else if (prefix(p, "face:")) {
      kind = kFace;
      faceList = true;
    } else if (prefix(p, "size:") || isDigit(*p)) {
      kind = kSize;
    } else if (prefix(p, "matrix:") || *p == '[') {
      kind = kMatrix;
    } else if (prefix(p, "foundry:")) {
      kind = kFoundry;
    } else if (prefix(p, "encoding:")) {
      kind = kEncoding;
    } else if (prefix(p, "device:")) {
      kind = kDevice;
    } else {
      kind = kBare;
    }
    t.kind |= kind;
    switch (kind) {
      case kSize: {
        float v = std::strtof(p, nullptr);
        t.matrix = {v, 0, 0, v, 0, 0};
        p = skipTo(p, '-');
        break;
      }
      case kMatrix: {
        vmatrixParse(p, &t.matrix);
        const char* close = std::strchr(p, ']');
        p = close ? close + 1 : p + std::strlen(p);
        break;
      }
      case kDevice:
        t.device = parseDevice(p);
        if (t.device < 0 || t.device >= state.deviceCount) _vexGenerate(&vexArgRangeClass, vexEnd);
        p = skipTo(p, '-');
        break;
      default: {
        const char* end = p;
        while (*end && *end != '-' && !(faceList && *end == ' ')) ++end;
        t.value = vnameIntern(vscribeCStringSized(p, std::size_t(end - p)));
        t.variant = caseVariant(p, std::size_t(end - p));
        p = end;
        break;
      }
    }
    if ((kind == kSize || kind == kMatrix) && !haveSize) {
      *size = t.matrix;
      haveSize = true;
    }
    terms->push_back(t);
    if (*p == '-') {
      faceList = false;
      ++p;
    } else if (*p == ' ') {
      ++p;
    }
    if (p == start) ++p;  // never stalls
  }
}

}  // namespace vfontint

using namespace vfontint;

void vfontSetDefaultSpec(const char* desc) {
  ensure();
  std::vector<Term> terms;
  vmatrix ignored;
  parseDescription(desc, &terms, &ignored);
  state.defaultTerms.swap(terms);
}

vfont* vfontFindScribe(vscribe* desc) {
  ensure();
  if (state.faceList.empty() && state.hook) state.hook();
  if (state.faceList.empty()) {
    vscribeRelease(desc);
    _vexGenerate(&vexModuleStartupClass, vexSetMessage, "no fonts have been registered", vexEnd);
  }
  vname key = vnameIntern(desc);
  if (auto* cached = static_cast<vfont*>(vdictGet(state.nameCache, key))) return cached;
  if (!state.facesSorted) {
    std::stable_sort(state.faceList.begin(), state.faceList.end(), faceBefore);
    state.facesSorted = true;
  }
  std::vector<Term> terms;
  vmatrix size;
  parseDescription(key, &terms, &size);
  std::vector<vfontFace*>& candidates = state.scratch[0];
  candidates.assign(state.faceList.begin(), state.faceList.end());
  if (!filter(candidates, terms)) filter(candidates, state.defaultTerms);
  vfont* font = vfontRegisterSize(candidates.front(), &size, -1);
  vdictStore(state.nameCache, key, font);
  return font;
}

vfont* vfontFindDerivedScribe(vfont* font, vscribe* modifiers) {
  vname base = vfontGetSpec(font);
  return vfontFindScribe(vscribeConcat(modifiers, vscribeLiteral("-"), vnameScribe(base), nullptr));
}

vname vfontGetSpec(vfont* font) {
  if (font->desc) return font->desc;
  const vfontFace* face = font->face;
  const vfontFamily* family = face->family;
  std::string& s = state.text;
  s.assign("family:").append(family->name).append("-face:").append(face->name).append("-");
  // A translated size keeps its translation through the matrix form.
  const vmatrix& m = *font->matrix;
  if ((font->flags & vfontUNIFORM) && m.tx == 0 && m.ty == 0) {
    char number[128];
    vscribeGetStringBounded(vnumScribeDouble(font->matrix->d), number, sizeof number);
    number[sizeof number - 1] = '\0';
    s.append("size:").append(number);
  } else {
    char printed[6 * 48 + 4];
    vmatrixPrint(font->matrix, printed);
    s.append("matrix:").append(printed);
  }
  s.append("-encoding:").append(family->encoding).append("-foundry:").append(family->foundry);
  font->desc = vnameIntern(vscribeCStringSized(s.data(), s.size()));
  return font->desc;
}

vfont* vfontLoad(vresource resource) { return vfontFindScribe(vresourceGetString(resource, nullptr)); }

void vfontStore(vfont* font, vresource resource) {
  vresourceSetString(resource, nullptr, vnameScribe(vfontGetSpec(font)));
}
