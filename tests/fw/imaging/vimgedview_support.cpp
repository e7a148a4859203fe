#include "fw/core/event.h"
#include "fw/data/vrstore.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/window/msw.h"
#include "fw/gui/window/window.h"
#include "platform/win/test.h"
#include "tests/fw/imaging/vimgedview_test.h"
#include "tests/fw/widgets/dialog_support.h"

namespace testview {

void ViewTest::SetUp() {
  vrstoreInstallInterface();
  startDialogItemTests();
  // The model's tests shut the drawing layer down, image driver and all,
  // when they share the process.
  if (!vdrawGetImageDriver()) vdrawRegisterImageDriver(vwindowMSWGetDriver(), 0);
  win::test::ResetInput();
}

void ViewTest::TearDown() {
  win::test::ResetInput();
  if (dialog) {
    vwindowClose(dialog);
    vwindowDestroy(dialog);
  }
  if (model) vimgedDestroy(model);
  dialog = nullptr;
  model = nullptr;
}

void ViewTest::open(int width, int height, int zoom, vrect viewRect) {
  vimage* image = keep(testimg::make(width, height, 8));
  std::vector<std::uint32_t> ramp;
  for (int i = 0; i < 256; ++i) ramp.push_back(std::uint32_t(i * 0x010101) ^ (i & 1 ? 0xFF0000 : 0));
  testimg::setPalette(image, ramp);
  model = vimgedCreate();
  vimgedSetImage(model, image);
  dialog = vdialogCreate();
  dialog->rect = {100, 100, 260, 200};
  view = vimgedviewCreate();
  vdialogSetItemRect(view, &viewRect);
  vdialogAppendItem(dialog, view);
  vimgedviewSetEditor(view, model);
  vimgedviewSetZoom(view, zoom);
  vwindowOpen(dialog);
  settle();
}

void ViewTest::settle() {
  veventMSWDrainMessages();
  veventProcessPending(1, 0);
  veventMSWDrainMessages();
}

vpoint ViewTest::cellPoint(int ix, int iy) {
  vrect c = vimgedviewCellRect(view, ix, iy);
  return {std::int16_t(c.x + c.width / 2), std::int16_t(c.y + c.height / 2)};
}

namespace {
win::POINT screen(vdialog* d, vpoint p) {
  win::POINT s{p.x, d->rect.height - 1 - p.y};
  win::ClientToScreen(d->native->hwnd, &s);
  return s;
}
}  // namespace

void ViewTest::press(vpoint p) {
  win::test::MouseDown(screen(dialog, p));
  settle();
}
void ViewTest::moveTo(vpoint p) {
  win::test::MouseMove(screen(dialog, p));
  settle();
}
void ViewTest::release(vpoint p) {
  win::test::MouseUp(screen(dialog, p));
  settle();
}
void ViewTest::stroke(const std::vector<vpoint>& points) {
  press(points.front());
  for (std::size_t i = 1; i < points.size(); ++i) moveTo(points[i]);
  release(points.back());
}
void ViewTest::key(unsigned virtualKey, bool down) {
  if (down) win::test::KeyDown(virtualKey);
  else win::test::KeyUp(virtualKey);
  settle();
}

std::uint32_t ViewTest::pixel(int x, int y) {
  return vpixmapCursorGetAt(vimgedGetPixelCursor(model), x, y);
}

int ViewTest::count(std::uint32_t value) {
  int n = 0;
  for (std::uint32_t p : testimg::pixelsOf(model->working)) n += p == value;
  return n;
}

std::string ViewTest::undoLabel() {
  const char* label = nullptr;
  vimgedCanUndo(model, &label);
  return label ? label : "(none)";
}

int ViewTest::undoDepth() {
  const vundoList* l = model->undo->list;
  return l->size ? (l->current - l->oldest + l->size) % l->size : 0;
}

}  // namespace testview
