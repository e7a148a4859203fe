// The domain view's scroll bars (attribute bits 14 and 15): made and
// placed by the layout, kept at the view's offset, and scrolling it when
// the user moves them.
#include <algorithm>

#include "fw/widgets/controls/scrollbar.h"
#include "fw/widgets/domains/domainview.h"

namespace {

bool updating = false;  // the bars are being set from the view
vslider* pressedBar = nullptr;

std::int32_t maxOffset(const vdomainview* v, bool vertical) {
  return vertical ? std::max<std::int32_t>(0, v->bounds.height - v->area.height)
                  : std::max<std::int32_t>(0, v->bounds.width - v->area.width);
}

// A y-down domain counts the vertical bar from the far end.
void barChanged(vdialogItem* item, vevent*) {
  if (updating) return;
  auto* bar = static_cast<vslider*>(item);
  auto* v = reinterpret_cast<vdomainview*>(item->data);
  if (!v) return;
  if (bar->controlFlags & vcontrolVERTICAL) {
    std::int32_t y = vdomainviewOrientation(v) == 1 ? maxOffset(v, true) - bar->value : bar->value;
    vdomainviewClassOf(v)->scroll(v, 0, y, 9);
  } else {
    vdomainviewClassOf(v)->scroll(v, bar->value, 0, 6);
  }
}

void drop(vslider*& bar) {
  if (bar == pressedBar) pressedBar = nullptr;
  if (!bar) return;
  bar->owner = nullptr;
  vinstanceDestroy(bar);
  bar = nullptr;
}

void want(vdomainview* v, vslider*& bar, bool on, bool vertical) {
  if (!on) {
    drop(bar);
    return;
  }
  if (bar) return;
  bar = vsliderScrollBarCreate();
  if (vertical) vcontrolSetVertical(bar, 1);
  vdialogSetItemNotify(bar, barChanged);
  vdialogSetItemData(bar, reinterpret_cast<std::intptr_t>(v));
  bar->owner = v->owner;  // drawn and redrawn in the view's list, not one of its items
  if (v->flags & vdialogItemOPEN) vdialogOpenItem(bar);
}

}  // namespace

// Makes or drops the bars and takes their room out of the area.
void _vdomainviewPlaceBars(vdomainview* v, vrect* area) {
  want(v, v->hbar, (v->viewAttributes & vdomainviewHORIZONTAL_BAR) != 0, false);
  want(v, v->vbar, (v->viewAttributes & vdomainviewVERTICAL_BAR) != 0, true);
  int w = 0, h = 0, unused = 0;
  if (v->hbar) vdialogGetItemNaturalSize(v->hbar, &unused, &h);
  if (v->vbar) vdialogGetItemNaturalSize(v->vbar, &w, &unused);
  const vrect& r = v->rect;
  int takeH = v->hbar ? h + v->barMargin : 0, takeW = v->vbar ? w + v->barMargin : 0;
  if (v->hbar) {
    vrect b{r.x, r.y, std::int16_t(std::max(0, r.width - takeW)), std::int16_t(h)};
    vdialogSetItemRect(v->hbar, &b);
  }
  if (v->vbar) {
    vrect b{std::int16_t(r.x + r.width - w), std::int16_t(r.y + takeH), std::int16_t(w),
            std::int16_t(std::max(0, r.height - takeH))};
    vdialogSetItemRect(v->vbar, &b);
  }
  *area = {area->x, std::int16_t(area->y + takeH), std::int16_t(area->width - takeW),
           std::int16_t(area->height - takeH)};
}

void _vdomainviewUpdateBars(vdomainview* v) {
  // A loaded increment may be negative; a bar's step cannot.
  int step = std::max<int>(0, v->increment);
  updating = true;
  if (vslider* b = v->hbar) {
    vcontrolSetMin(b, 0);
    vcontrolSetMax(b, v->bounds.width);
    vcontrolSetView(b, v->area.width);
    vcontrolSetPage(b, v->area.width);
    vcontrolSetIncrement(b, step);
    vcontrolSetValue(b, v->offset.x);
  }
  if (vslider* b = v->vbar) {
    vcontrolSetMin(b, 0);
    vcontrolSetMax(b, v->bounds.height);
    vcontrolSetView(b, v->area.height);
    vcontrolSetPage(b, v->area.height);
    vcontrolSetIncrement(b, step);
    vcontrolSetValue(b, vdomainviewOrientation(v) == 1 ? maxOffset(v, true) - v->offset.y : v->offset.y);
  }
  updating = false;
}

void _vdomainviewEachBar(vdomainview* v, void (*op)(vdialogItem*)) {
  if (v->hbar) op(v->hbar);
  if (v->vbar) op(v->vbar);
}

void _vdomainviewDestroyBars(vdomainview* v) {
  drop(v->hbar);
  drop(v->vbar);
}

// A press outside the drawing area goes to the bar under it, and so do its
// drags and release.
int _vdomainviewPressBar(vdomainview* v, vevent* event, int x, int y) {
  for (vslider* bar : {v->hbar, v->vbar})
    if (bar && vrectContainsPoint(&bar->rect, x, y)) {
      pressedBar = bar;
      return vdialogItemClassOf(bar)->buttonDown(bar, event);
    }
  return 1;
}
bool _vdomainviewBarDrag(vdomainview* v, vevent* event, bool release) {
  vslider* bar = pressedBar;
  if (!bar || (bar != v->hbar && bar != v->vbar)) return false;
  if (release) {
    pressedBar = nullptr;
    vdialogItemClassOf(bar)->buttonUp(bar, event);
  } else {
    vdialogItemClassOf(bar)->drag(bar, event);
  }
  return true;
}
