// Events and the event loop. Events are pooled records ordered in binary
// heaps by priority and time stamp; one loop dispatches them, pumps native
// messages and sleeps when nothing is due. Loops nest, each level with its
// own queue.
#pragma once
#include <cstdint>

#include "fw/core/array.h"
#include "fw/core/class.h"

struct vevent;
using veventHandler = int (*)(vevent* event);

struct vevent {
  volatile int pending;
  int type;
  std::intptr_t word3;
  std::uint32_t nanoseconds;
  std::int64_t seconds;
  veventHandler handler;
  int priority;
  unsigned flags;  // veventQUEUED, veventLIVE, and the timer's veventPRENOTIFY
  void* data;
  int hold;
  vevent* liveNext;
  vevent* livePrev;
  std::intptr_t words[5];  // type-specific
};

enum : unsigned { veventPRENOTIFY = 4, veventQUEUED = 2, veventLIVE = 8 };

// Checks that catch an event used after it went back to the pool (freed
// twice, dispatched or posted when freed): on in debug and sanitizer
// builds. Without them a second destroy is refused quietly.
#ifndef VEVENT_POOL_CHECKS
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__)
#define VEVENT_POOL_CHECKS 1
#else
#define VEVENT_POOL_CHECKS 0
#endif
#endif
enum : int {
  veventCLIENT = 0,
  veventBUTTON_DOWN = 1,
  veventBUTTON_UP = 2,
  veventPOINTER_DRAG = 3,
  veventPOINTER_DRAG_LAST = 4,
  veventKEY_DOWN = 8,
  veventPOINTER_MOTION = 14,
  veventTYPES = 15,
};
inline constexpr int veventDEFAULT_PRIORITY = 127;

// Time in (seconds, nanoseconds), nanoseconds below 1,000,000,000.
struct vsysTime {
  std::int64_t seconds;
  std::uint32_t nanoseconds;
};
vsysTime vsysGetTime();
vsysTime vsysAddTime(vsysTime a, vsysTime b);
vsysTime vsysSubtractTime(vsysTime a, vsysTime b);
vsysTime vsysSubtractTimeNormalised(vsysTime a, vsysTime b);
// (seconds, nanoseconds) from any pair: nanoseconds brought below 10^9,
// nothing negative.
vsysTime vsysNormaliseDelay(std::int64_t seconds, std::int64_t nanoseconds);

// Binary heaps of pointers (item 1 first; slot 0 unused).
using vheapCompare = bool (*)(const void* parent, const void* item);  // true: item goes above parent
struct vheap {
  void** items;  // a varray
  vheapCompare compare;
};
vheap* vheapCreate(vheapCompare compare);
void vheapDestroy(vheap* heap);
void vheapInsert(vheap* heap, void* item);
void* vheapRemoveFirst(vheap* heap);
// Takes out an item wherever it stands; 1 when it was there.
int vheapRemove(vheap* heap, const void* item);
inline void* vheapFirst(const vheap* heap) { return varrayCount(heap->items) > 1 ? heap->items[1] : nullptr; }

vevent* veventCreate();
vevent* veventCreateClient(veventHandler handler, void* data);
void veventInit(vevent* event);
vevent* veventCopy(const vevent* event);
// A queued or pending event is taken out of its queue first; one destroyed
// while it is being dispatched goes when its dispatch ends.
void veventDestroy(vevent* event);
void veventLock(vevent* event);
void veventUnlock(vevent* event);
int veventGetLockCount(const vevent* event);

void veventPost(vevent* event);
void veventPostDelayed(vevent* event, std::int64_t seconds, std::int64_t nanoseconds);
void veventPostAtStamp(vevent* event);
void veventPostAtLevel(vevent* event);
void veventMarkPending(vevent* event);
void veventSetStampMode(int perPost);
// The longest gap between two presses of a double click, in nanoseconds.
void veventSetDoubleClickInterval(std::int64_t nanoseconds);
std::int64_t veventGetDoubleClickInterval();
int veventDispatch(vevent* event);

struct veventTable {
  veventHandler handlers[veventTYPES];
  unsigned flags;  // 2: not owned
};
veventTable* veventSetDispatchTable(veventTable* table);
void veventInitTable(veventTable* table);
void veventCopyTable(const veventTable* source, veventTable* destination);
void veventDestroyTable(veventTable* table);

using veventIdleHook = void (*)();
veventIdleHook veventSetIdleHook(veventIdleHook hook);
// The events queued or waiting for their time at any loop level, leaving
// out those `ignore` answers nonzero for (null: none left out).
int veventCountWaiting(int (*ignore)(const vevent* event));

void veventProcess();
void veventStopProcessing();
int* veventCreateLoopCounter();
void veventDestroyLoopCounter(int* counter);
void veventRunLoop(int* counter);
void veventStopLoop(int* counter);
int veventIsStopping();
int veventGetDepth();
void veventProcessPending(int flag, int priority);
void veventProcessFromNative();
// Every loop running ends, and every loop entered afterwards (a handler's
// next modal dialog) returns at once until the outermost loop has ended;
// the platform's own modal loops end on the WM_QUIT it posts meanwhile.
void veventRequestQuit();
// 1 while a quit is on its way: a quit signal no loop has taken yet, or a
// quit the loops are ending on. Waits that run their own loop end on it.
int veventQuitPending();
// A write that an ending signal must not cut (the user's store at exit):
// between the two calls the quit signals and SIGHUP wait, then act as they
// would have had they come after it. Calls nest.
void veventHoldEndingSignals();
void veventReleaseEndingSignals();
void veventSetNativeContext(std::intptr_t value);
void veventClearNativeContext();
// 1 while a native context is set (an application clears it to refuse).
int veventHasNativeContext();

// The native side (the platform's message queue).
void veventMSWDrainMessages();
void veventMSWDispatchMessage(const win::MSG* message);
// The active frame window and its accelerator table, which the dispatch
// translates through first; set by the menu layer (null: none).
void veventMSWSetActiveAccelerators(win::HWND frame, win::HACCEL table);
win::HACCEL veventMSWGetActiveAccelerators(win::HWND* frame);
// Whether a message is a button press, in the client area or the frame.
bool veventMSWIsPress(win::UINT message);
// Shown each press message before the dispatch, in any window and on its
// frame too: presses that never become framework events (a document's
// title bar, the document area) still reach it. Answers the watch it
// replaced; null: none.
using veventMSWPressWatch = void (*)(const win::MSG* message);
veventMSWPressWatch veventMSWSetPressWatch(veventMSWPressWatch watch);
void veventMSWWait(std::int64_t seconds, std::int64_t nanoseconds);
void veventMSWWakeUp();
// The hook of native modal dialogs: a 200 ms timer (id 101) that runs the
// framework's pending events while the dialog's own loop runs. 1 for the
// messages it handles, 0 for others.
win::UINT_PTR veventMSWModalTimerProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

void vinstanceDestroyLater(vinstance* instance);
void veventStartup();
