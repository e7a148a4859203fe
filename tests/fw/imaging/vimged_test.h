// The editor model's tests: a model on a tiny image, a view that logs what
// the model tells it, and pixel pictures written top row first.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/imaging/vimged.h"
#include "tests/fw/imaging/images.h"

namespace testimged {

using testimg::Pixels;
using Log = std::vector<std::string>;

// A view that logs each call of the model, one line a call.
struct RecordingView;
struct TestLink : vimgedViewLink {
  RecordingView* owner;
};
struct RecordingView {
  TestLink link;
  Log log;
  RecordingView();
  Log take() {
    Log out;
    out.swap(log);
    return out;
  }
};

// A picture of an image, top row first, one character a pixel: '.' for 0,
// the digit or letter of the value otherwise.
std::string picture(vimage* image);
// An 8-bit image made from such a picture.
vimage* fromPicture(const std::vector<std::string>& rows);

// A model editing a copy of an image, with one recording view.
class Model : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void edit(vimage* image);  // taken: destroyed at the end
  std::string undoLabel();
  std::string redoLabel();
  std::string pic() { return picture(m->working); }

  vimged* m = nullptr;
  vimage* source = nullptr;
  RecordingView view;
  testimg::Images keep;
};

}  // namespace testimged
