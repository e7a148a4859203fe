// Text edits from fuzzer bytes: insertions (some large enough to split
// blocks), deletions across blocks, typed characters in the typing modes,
// and tags added and removed, on a text with or without word wrap. After
// every operation the text must equal a string model, its line tables
// those of a full recalculation, and its tags and blocks must hold together.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/selection.h"
#include "fw/text/tags.h"
#include "tests/fuzz/fuzz_text_fonts.h"
#include "tests/fw/text/edit_support.h"

namespace {

void start() { fuzztext::registerFixedFont(); }

struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  bool empty() const { return n == 0; }
  unsigned next() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
  std::int32_t position(std::int32_t length) { return std::int32_t((next() << 8 | next()) % unsigned(length + 1)); }
};

void fail(const std::string& why) {
  std::fprintf(stderr, "text edit check: %s\n", why.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  start();
  Bytes in{data, size};
  vtext* text = vtextCreate();
  vtextSelection* sel = vtextCreateSelection(text);
  if (in.next() & 1) {
    vtextRuler* ruler = vtextRulerCreate();
    ruler->flags = vtextRulerOWNED;
    ruler->owner = text;
    text->defaultRuler = ruler;
    vtextRulerSetMeasureAttr(ruler, vnameInternLiteral("RightIndent"), 120 << 16);
    vtextRulerSetFlagAttr(ruler, vnameInternLiteral("Wrap"), 1);
  }
  std::string model;
  std::vector<vtextTag*> tags;
  static const char alphabet[] = "ab ^\n\t\rc";
  for (int step = 0; step < 64 && !in.empty(); ++step) {
    const std::int32_t len = std::int32_t(model.size());
    const unsigned op = in.next() % 6;
    if (op == 0) {
      std::int32_t p = in.position(len);
      unsigned count = in.next();
      if (count > 250) count = 2000 + (count - 250) * 1500;  // now and then enough to split
      std::string s;
      for (unsigned i = 0; i < count; ++i) s += alphabet[(in.next() + i) % 8];
      vtextSetSelectionRange(text, sel, p, p);
      vtextInsertText(text, sel, s.data(), std::int32_t(s.size()));
      model.insert(std::size_t(p), s);
    } else if (op == 1) {
      std::int32_t a = in.position(len), b = in.position(len);
      vtextSetSelectionRange(text, sel, a, b);
      vtextDeleteSelection(text, sel);
      model.erase(std::size_t(std::min(a, b)), std::size_t(std::abs(b - a)));
    } else if (op == 2) {
      std::int32_t p = in.position(len);
      unsigned mode = in.next();
      int c = mode & 4 ? 8 : mode & 8 ? 127 : alphabet[mode % 8];
      text->mode = std::uint8_t(mode & 0x08);
      vtextSetSelectionRange(text, sel, p, p);
      vtextTypeChar(text, sel, c);
      texttest::typeIntoModel(model, p, c, text->mode & vtextMODE_OVERWRITE);
      text->mode = 0;
    } else if (op <= 4) {
      auto* tag = static_cast<vtextTag*>(vmemAlloc(sizeof(vtextTag)));
      vtextInitTag(tag);
      unsigned flags = in.next();
      tag->kind = vnameInternLiteral(flags & 1 ? "Ruler" : "Mark");
      if (flags & 2) tag->startWord |= vtextTagSTICKY;
      std::int32_t a = in.position(len), b = in.position(len);
      vtextSetTagRange(text, tag, std::min(a, b), std::max(a, b));
      if (flags & 4) tag->startWord |= vtextTagKEEP, tag->endWord |= vtextTagKEEP;
      _vtextAddTag(text, tag);
      tags.push_back(tag);
    } else if (!tags.empty()) {
      std::size_t i = in.next() % tags.size();
      vtextRemoveTag(text, tags[i]);
      vmemFree(tags[i]);
      tags.erase(tags.begin() + std::ptrdiff_t(i));
    }
    texttest::dropDetached(tags);
    std::string wrong = texttest::checkText(text, model);
    if (!wrong.empty()) fail(wrong);
  }
  for (vtextTag* tag : tags) {
    vtextRemoveTag(text, tag);
    vmemFree(tag);
  }
  vtextDestroy(text);
  return 0;
}
