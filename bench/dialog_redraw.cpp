// A 640 x 480 dialog of 100 items (labels, boxes, lines and four groups of
// labels) in the headless window system: its full redraw, and the
// arrangement of its groups on their grids.
#include <benchmark/benchmark.h>

#include <string>

#include "fw/core/sys.h"
#include "fw/gui/window/msw.h"
#include "fw/widgets/dialog/container.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/startup.h"
#include "platform/win/test.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }

template <typename T>
T* placed(T* item, int x, int y, int w, int h) {
  vrect r{s16(x), s16(y), s16(w), s16(h)};
  vdialogSetItemRect(item, &r);
  return item;
}

vdialogItem* label(const std::string& title) {
  vdialogItem* l = vdialogItemCreate(vdialogLabelItemGetDefaultClass());
  vdialogSetItemTitle(l, vscribeCString(title.c_str()));
  return l;
}

struct Fixture {
  vdialog* dialog = nullptr;
  vcontainer* groups[4] = {};
  Fixture() {
    static bool started = [] {
      char name[] = "dialog_redraw";
      char* argv[] = {name, nullptr};
      vwidgetsStartup(1, argv);
      return true;
    }();
    (void)started;
    dialog = vdialogCreate();
    dialog->rect = {0, 0, 640, 480};
    int items = 0;
    // Four groups of ten labels: 44 items.
    for (int g = 0; g < 4; ++g) {
      groups[g] = placed(vcontainerCreate(vcontainerGroupGetDefaultClass()), 10 + 155 * g, 300, 150, 170);
      vdialogSetItemTitle(groups[g], vscribeLiteral("Group"));
      for (int i = 0; i < 10; ++i) vcontainerAppendItem(groups[g], label("Choice " + std::to_string(i)));
      vdialogAppendItem(dialog, groups[g]);
      items += 11;
    }
    // Twenty boxes, twenty lines and sixteen labels: 56 more.
    for (int i = 0; i < 20; ++i, ++items) {
      vdialogItem* box = placed(vdialogItemCreate(vdialogBoxItemGetDefaultClass()), 10 + 31 * i, 240, 28, 50);
      vdialogSetItemTitle(box, vscribeLiteral("B"));
      vdialogAppendItem(dialog, box);
    }
    for (int i = 0; i < 20; ++i, ++items)
      vdialogAppendItem(dialog, placed(vdialogItemCreate(vdialogLineItemGetDefaultClass()), 10 + 31 * i, 225, 28, 2));
    for (int i = 0; i < 16; ++i, ++items)
      vdialogAppendItem(dialog, placed(label("Label " + std::to_string(i)), 10 + 155 * (i % 4), 20 + 45 * (i / 4), 140, 20));
    vwindowOpen(dialog);
    settle();
  }
  ~Fixture() {
    vwindowClose(dialog);
    vinstanceDestroy(dialog);
    settle();
  }
  static void settle() {
    veventMSWDrainMessages();
    veventProcessPending(1, 0);
    veventMSWDrainMessages();
  }
};

void fullRedraw(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) {
    vwindowInvalAll(f.dialog, 0);
    Fixture::settle();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fullRedraw)->Unit(benchmark::kMicrosecond);

void arrangeGroups(benchmark::State& state) {
  Fixture f;
  for (auto _ : state)
    for (vcontainer* g : f.groups) {
      vrect r{0, 0, g->bounds.width, g->bounds.height};
      vcontainerArrange(g, &r);
    }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(arrangeGroups)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
