// A drawing driver that logs every operation with its arguments, for the
// graphics tests: its device transform, bounds and flags are the test's to
// set, and it can be registered as the image driver.
#pragma once
#include <string>
#include <vector>

#include "fw/gui/graphics/draw.h"

struct RecordingDriver {
  std::vector<std::string> log;
  vdrawDeviceTransform transform{0, vfixedONE, 0, 0, vfixedONE, 0, 0};
  vrect bounds{0, 0, 100, 100};
  int opens = 0;
  std::vector<vpoint> points;  // those of the last polygon or polyline
  vdrawDriverRecord record;  // flags and flatness may be changed

  RecordingDriver();
  // Back to an empty log, no opens, flags 0, the identity transform and 100 x 100 bounds.
  void reset();
  // The log since the last call, one line an operation ("open#1 target=A flags=8").
  std::vector<std::string> take();
  // Names the target in the log (targets are compared by address).
  void name(const void* target, const std::string& text);
};

// The one recorder the driver record writes to.
RecordingDriver& recordingDriver();
