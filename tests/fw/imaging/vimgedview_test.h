// The image view's tests: a live dialog holding a view over an editor, with
// strokes given through the platform's input as a user gives them.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/imaging/vimgedview.h"
#include "fw/widgets/dialog/dialog.h"
#include "tests/fw/imaging/images.h"

namespace testview {

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A width × height 8-bit image of value 0 with a grey ramp palette,
  // shown at zoom in a view of the rectangle.
  void open(int width, int height, int zoom, vrect viewRect = {10, 10, 200, 160});
  void settle();

  // The window point at the middle of an image pixel's cell (dy from
  // the cell's top row when given).
  vpoint cellPoint(int ix, int iy);
  // Input through the platform, window coordinates.
  void press(vpoint p);
  void moveTo(vpoint p);
  void release(vpoint p);
  void stroke(const std::vector<vpoint>& points);
  void key(unsigned virtualKey, bool down);

  std::uint32_t pixel(int x, int y);
  int count(std::uint32_t value);
  std::string undoLabel();
  int undoDepth();

  vdialog* dialog = nullptr;
  vimgedview* view = nullptr;
  vimged* model = nullptr;
  testimg::Images keep;
};

}  // namespace testview
