// What the text view's files share: the module record and the helpers of
// layout and drawing.
#pragma once
#include "fw/core/dict.h"
#include "fw/core/timer.h"
#include "fw/widgets/textview/textview.h"

struct vtextviewModule {
  vtextviewClassRec* viewClass;
  vtextObserverClassRec* observerClass;
  vdict* keys;
  vtextColumn* measure;  // the line measure buffer, grown to the longest line measured
  std::int32_t measureCapacity;
  vtimer* caretTimer;  // data: the focused view, or null
  vevent* currentEvent;
  std::int32_t lookOptions[5];
  std::uint8_t hilite;
};

vtextviewModule* _vtextviewModule();
vcolor* _vtextviewInvisiblesColor();
int _vtextviewCaretPhase(const vtextview* view);
void _vtextviewLayout(vtextview* view);
void _vtextviewUpdateBars(vtextview* view);
void _vtextviewSetBar(vtextview* view, bool vertical, bool on);
// Lines that fit in the text area from ScrollY, a partly shown one
// included, at least 1.
std::int32_t _vtextviewVisibleLines(vtextview* view);
// The drawing slots and the observer class.
void _vtextviewFillDrawing(vtextviewClassRec* cls);
vtextObserverClassRec* _vtextviewMakeObserverClass();
// Measures the line into the module's buffer: count columns, x of each
// gap in text-area coordinates (16.16), entry count the end.
vtextColumn* _vtextviewMeasureLine(vtextview* view, std::int32_t line, std::int32_t* count, std::int32_t* start);
