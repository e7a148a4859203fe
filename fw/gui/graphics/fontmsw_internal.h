// The Windows font device's state, shared by its start-up and its native
// fonts.
#pragma once
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/graphics/fontmsw.h"

namespace vfontmsw {

// A native font made by this device, with the tables it owns.
struct Native {
  win::HFONT font;
  std::int16_t* widths;
  std::int16_t* a;
  std::int16_t* ab;
};

struct State {
  int device = -1;
  std::string deviceSpec;  // "device:" and the index
  int resolution = 0;      // LOGPIXELSY of the screen
  win::HFONT systemFont = nullptr;
  int systemPoints = 0;
  std::vector<Native> natives;  // in the order made
  vpool* faceRecords = nullptr;
  vpool* sizeEntries = nullptr;
  vpool* fontRecords = nullptr;
  bool exitRegistered = false;
};
extern State state;

extern const vfontDriver driver;

// The screen's device context for measuring; every acquire is released.
win::HDC acquireScreen();
void releaseScreen(win::HDC hdc);
// The metrics of a native font as the screen realises it.
void metricsOf(win::HFONT font, win::TEXTMETRICA* out);
// Whole points of a realised font at the screen's resolution, rounded.
int pointsOf(const win::TEXTMETRICA& metrics);

}  // namespace vfontmsw
