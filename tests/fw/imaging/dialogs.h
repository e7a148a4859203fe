// The editor's small dialogs as a user sees them: every item inside the
// window, the window over the one it belongs to.
#pragma once
#include <gtest/gtest.h>

#include "fw/gui/window/window.h"
#include "fw/widgets/dialog/dialog.h"
#include "fw/widgets/dialog/itemlist.h"

namespace testimg {

inline ::testing::AssertionResult showsItsItemsOver(vdialog* d, const vwindow* base) {
  const vrect& r = d->rect;
  for (int i = 0; i < vdialogItemListCount(d->items); ++i) {
    const vrect& it = vdialogItemListAt(d->items, i)->rect;
    if (it.x < 0 || it.y < 0 || it.x + it.width > r.width || it.y + it.height > r.height)
      return ::testing::AssertionFailure() << "item " << i << " at " << it.x << "," << it.y << " " << it.width << "x"
                                           << it.height << " outside the " << r.width << "x" << r.height << " window";
  }
  int cx = r.x + r.width / 2, cy = r.y + r.height / 2;
  const vrect& b = base->rect;
  if (cx < b.x || cx >= b.x + b.width || cy < b.y || cy >= b.y + b.height)
    return ::testing::AssertionFailure() << "centred at " << cx << "," << cy << ", not over " << b.x << "," << b.y << " "
                                         << b.width << "x" << b.height;
  return ::testing::AssertionSuccess();
}

}  // namespace testimg
