// Timers: a notify function called after a period, once or repeatedly,
// carried by a delayed event of the event loop.
#pragma once
#include <cstdint>

#include "fw/core/event.h"

struct vtimer;
using vtimerFunc = void (*)(vtimer* timer);

struct vtimer {
  vtimerFunc preNotify;
  vtimerFunc notify;
  std::int64_t periodSeconds;
  std::int64_t periodNanoseconds;
  void* data;
  vevent* pending;
  unsigned flags;
};

enum : unsigned {
  vtimerARMED = 1,
  vtimerDESTROY_REQUESTED = 4,
  vtimerNOTIFYING = 8,
  vtimerRECURRENT = 16,
  vtimerHAS_PRENOTIFY = 32,
  vtimerNOT_POOLED = 64,
};

vtimer* vtimerCreate();
void vtimerInit(vtimer* timer);
void vtimerCopyInit(const vtimer* source, vtimer* destination);
vtimer* vtimerClone(const vtimer* timer);
void vtimerSetPreNotify(vtimer* timer, vtimerFunc function);
void vtimerStart(vtimer* timer);
void vtimerStop(vtimer* timer);
void vtimerDestroy(vtimer* timer);
// Whether the event is the next round of a recurring timer.
int vtimerEventRecurs(const vevent* event);
