#include "tests/fw/text/text_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/hooks.h"

namespace texttest {

namespace {

vfixed advanceOf(char c) { return c == ' ' ? px(4) : px(8); }

const vfontDriver kFixed{
    [](vfont*) {},
    [](vfont*, vfixed* w, vfixed* second) { *w = px(8), *second = 0; },
    [](vfont*, vrectFixed* out) { *out = {0, -px(5), px(8), px(19)}; },
    [](vfont*) { return px(10); },
    [](vfont*) { return px(3); },
    [](vfont*, const char* chars, int length, vfixed* dx, vfixed* dy) {
      *dx = 0, *dy = 0;
      for (int i = 0; i < length; ++i) *dx += advanceOf(chars[i]);
    },
    [](vfont*, const char* chars, int length, vrectFixed* out) {
      vfixed top = px(9), bottom = px(2);
      for (int i = 0; i < length; ++i) {
        if (chars[i] == '^') top = px(14);
        if (chars[i] == '_') bottom = px(5);
      }
      *out = {0, -bottom, px(8) * length, top + bottom};
    },
};

struct Environment : ::testing::Environment {
  void SetUp() override {
    vrstoreInstallInterface();
    vwindowHooks hooks = vwindowDefaultHooks();
    vtextFillWindowHooks(&hooks);
    vwindowInstallHooks(&hooks);
    registerFonts();
  }
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

}  // namespace

void useFixedDriver() { vfontSetDriver(&kFixed); }

void registerFonts() {
  static bool done = false;
  if (done) return;
  done = true;
  int d = vfontAllocDevice();
  for (const char* family : {"Arial", "Times"}) {
    vfontFamily* f = vfontRegisterFamily(N(family), N("F"), N("ansi"), 0, d);
    for (const char* face : {"regular", "bold", "italic", "bold italic"}) {
      vfontFace* g = vfontRegisterFace(f, N(face), d);
      for (float p : {10.f, 12.f}) {
        vmatrix m{p, 0, 0, p, 0, 0};
        vfontRegisterSize(g, &m, d);
      }
    }
  }
  vfontSetDefaultSpec("face:regular");
  useFixedDriver();
}

vtext* textFromChars(const std::string& chars, std::size_t runSize) {
  vtext* text = vtextCreate();
  std::size_t at = 0;
  while (at < chars.size()) {
    std::size_t n = std::min(runSize, chars.size() - at);
    if (at + n < chars.size()) {
      std::size_t cut = chars.rfind('\n', at + n - 1);
      if (cut != std::string::npos && cut >= at) n = cut + 1 - at;
    }
    auto* buffer = static_cast<char*>(vmemAlloc(runSize));
    std::memcpy(buffer, chars.data() + at, n);
    _vtextAppendRun(text, buffer, std::int32_t(n), std::int32_t(runSize));
    at += n;
  }
  vtextRecalculate(text);
  return text;
}

std::string textChars(const vtext* text) {
  std::string s(std::size_t(text->length), '\0');
  s.resize(std::size_t(vtextGetChars(text, 0, text->length, s.data(), text->length)));
  return s;
}

std::vector<double> firstLineX(vtext* text, std::int32_t* count) {
  vtextForgetCache(text);
  vtextBlock* b = text->first;
  std::int32_t n = b->used;
  vtextColumn* e = vtextClassOf(text)->layoutLine(text, nullptr, b->chars, &n, 0, 0);
  if (count) *count = n;
  std::vector<double> xs;
  for (std::int32_t i = 0; i <= n; ++i) xs.push_back(e[i].x / 65536.0);
  return xs;
}

}  // namespace texttest
