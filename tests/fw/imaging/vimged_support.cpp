#include <string>

#include "fw/core/sys.h"
#include "tests/fw/imaging/vimged_test.h"

namespace testimged {

namespace {

RecordingView* of(vimgedViewLink* l) { return static_cast<TestLink*>(l)->owner; }
void put(vimgedViewLink* l, const std::string& s) { of(l)->log.push_back(s); }
std::string n(long v) { return std::to_string(v); }

const vimgedViewHooks kHooks = {
    [](vimgedViewLink* l) { put(l, "begin"); },
    [](vimgedViewLink* l) { put(l, "end"); },
    [](vimgedViewLink* l) { put(l, "removeRubberBand"); },
    [](vimgedViewLink* l) { put(l, "redraw"); },
    [](vimgedViewLink* l, int flag) { put(l, "moved " + n(flag)); },
    [](vimgedViewLink* l, std::uint32_t v, int x, int y) { put(l, "pixel " + n(v) + " " + n(x) + "," + n(y)); },
    [](vimgedViewLink* l, std::uint32_t v, int x, int y, int w, int h) {
      put(l, "rect " + n(v) + " " + n(x) + "," + n(y) + "," + n(w) + "," + n(h));
    },
    [](vimgedViewLink* l, std::uint32_t v, const vpoint* p, int count) {
      std::string s = "points " + n(v);
      for (int i = 0; i < count; ++i) s += " " + n(p[i].x) + "," + n(p[i].y);
      put(l, s);
    },
    [](vimgedViewLink* l, std::uint32_t v, const vrect* r, int count) {
      std::string s = "rects " + n(v);
      for (int i = 0; i < count; ++i)
        s += " " + n(r[i].x) + "," + n(r[i].y) + "," + n(r[i].width) + "," + n(r[i].height);
      put(l, s);
    },
    [](vimgedViewLink* l) { put(l, "invalidate"); },
    [](vimgedViewLink* l) { put(l, "size"); },
    [](vimgedViewLink* l) { put(l, "flipped"); },
    [](vimgedViewLink* l) { put(l, "rectSelection"); },
    [](vimgedViewLink* l) { put(l, "maskSelection"); },
    [](vimgedViewLink* l) { put(l, "removed"); },
    [](vimgedViewLink* l) { put(l, "tick"); },
    [](vimgedViewLink* l, int tool) { put(l, "tool " + n(tool)); },
};

// The framework's exit procedures run once every test is done, so that
// the leak check sees the clipboard and the pools given back.
struct RunExitHandlersAtEnd : ::testing::Environment {
  void TearDown() override { vsysRunExitHandlers(); }
};
[[maybe_unused]] ::testing::Environment* const exitAtEnd =
    ::testing::AddGlobalTestEnvironment(new RunExitHandlersAtEnd);

}  // namespace

RecordingView::RecordingView() {
  link.hooks = &kHooks;
  link.model = nullptr;
  link.owner = this;
}

std::string picture(vimage* image) {
  Pixels p = testimg::pixelsOf(image);
  std::string out;
  for (int y = image->height - 1; y >= 0; --y) {
    for (int x = 0; x < image->width; ++x) {
      std::uint32_t v = p[std::size_t(y) * std::size_t(image->width) + std::size_t(x)];
      out += v == 0 ? '.' : v < 10 ? char('0' + v) : v < 36 ? char('a' + v - 10) : '#';
    }
    if (y) out += '|';
  }
  return out;
}

vimage* fromPicture(const std::vector<std::string>& rows) {
  int h = int(rows.size()), w = int(rows[0].size());
  Pixels p(std::size_t(w) * std::size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      char c = rows[std::size_t(h - 1 - y)][std::size_t(x)];
      p[std::size_t(y * w + x)] = c == '.' ? 0 : c <= '9' ? std::uint32_t(c - '0') : std::uint32_t(c - 'a' + 10);
    }
  return testimg::make(w, h, 8, p);
}

void Model::SetUp() {
  m = vimgedCreate();
  vimgedAddView(m, &view.link);
}

void Model::TearDown() {
  if (m) vimgedDestroy(m);
  EXPECT_EQ(view.link.model, nullptr);
}

void Model::edit(vimage* image) {
  source = keep(image);
  vimgedSetImage(m, image);
  view.take();
}

std::string Model::undoLabel() {
  const char* label = nullptr;
  vimgedCanUndo(m, &label);
  return label ? label : "(none)";
}

std::string Model::redoLabel() {
  const char* label = nullptr;
  vimgedCanRedo(m, &label);
  return label ? label : "(none)";
}

}  // namespace testimged
