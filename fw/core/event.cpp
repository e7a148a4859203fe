#include "fw/core/event.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <initializer_list>
#include <utility>

#include "fw/core/sys.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VEVENT_POISON 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define VEVENT_POISON 1
#endif
#endif

// Time.
vsysTime vsysNormaliseDelay(std::int64_t seconds, std::int64_t nanoseconds) {
  constexpr std::int64_t kBillion = 1000000000;
  seconds += nanoseconds / kBillion;
  nanoseconds %= kBillion;
  if (nanoseconds < 0) nanoseconds += kBillion, --seconds;
  if (seconds < 0) return {0, 0};
  return {seconds, static_cast<std::uint32_t>(nanoseconds)};
}

vsysTime vsysGetTime() {
  win::ULONGLONG ms = win::GetTickCount64();
  return {static_cast<std::int64_t>(ms / 1000), static_cast<std::uint32_t>(ms % 1000) * 1000000u};
}

vsysTime vsysAddTime(vsysTime a, vsysTime b) {
  vsysTime r{a.seconds + b.seconds, a.nanoseconds + b.nanoseconds};
  if (r.nanoseconds >= 1000000000u) r.nanoseconds -= 1000000000u, ++r.seconds;
  return r;
}

vsysTime vsysSubtractTime(vsysTime a, vsysTime b) {
  vsysTime r{a.seconds - b.seconds, a.nanoseconds};
  if (a.nanoseconds < b.nanoseconds) r.nanoseconds += 1000000000u, --r.seconds;
  r.nanoseconds -= b.nanoseconds;
  return r;
}

vsysTime vsysSubtractTimeNormalised(vsysTime a, vsysTime b) {
  return vsysSubtractTime(a, vsysNormaliseDelay(b.seconds, b.nanoseconds));
}

namespace {

bool earlier(const vevent* a, const vevent* b) {
  return a->seconds != b->seconds ? a->seconds < b->seconds : a->nanoseconds < b->nanoseconds;
}
bool sameStamp(const vevent* a, const vevent* b) { return a->seconds == b->seconds && a->nanoseconds == b->nanoseconds; }
vsysTime stampOf(const vevent* e) { return {e->seconds, e->nanoseconds}; }
bool stampAfter(const vevent* e, vsysTime t) {
  return e->seconds != t.seconds ? e->seconds > t.seconds : e->nanoseconds > t.nanoseconds;
}
void setStamp(vevent* e, vsysTime t) {
  e->seconds = t.seconds;
  e->nanoseconds = t.nanoseconds;
}

}  // namespace

// Heaps.
vheap* vheapCreate(vheapCompare compare) {
  auto* h = static_cast<vheap*>(vmemAlloc(sizeof(vheap)));
  h->items = static_cast<void**>(varrayCreate(sizeof(void*), 1, 10));
  h->items[0] = nullptr;
  h->compare = compare;
  return h;
}

void vheapDestroy(vheap* h) {
  varrayDestroy(h->items);
  vmemFree(h);
}

namespace {

void siftUp(vheap* h, int i) {
  for (; i > 1 && h->compare(h->items[i / 2], h->items[i]); i /= 2) std::swap(h->items[i / 2], h->items[i]);
}

void siftDown(vheap* h, int i, int count) {
  for (;;) {
    int c = 2 * i;
    if (c >= count) break;
    if (c + 1 < count && h->compare(h->items[c], h->items[c + 1])) ++c;
    if (!h->compare(h->items[i], h->items[c])) break;
    std::swap(h->items[i], h->items[c]);
    i = c;
  }
}

// The last item fills slot i and moves to its place.
void removeAt(vheap* h, int i) {
  int count = varrayCount(h->items);
  void* last = h->items[count - 1];
  varrayRemoveLast(reinterpret_cast<void**>(&h->items), 1, sizeof(void*));
  if (--count == i) return;
  h->items[i] = last;
  siftDown(h, i, count);
  siftUp(h, i);
}

}  // namespace

void vheapInsert(vheap* h, void* item) {
  varrayAppend(reinterpret_cast<void**>(&h->items), &item, sizeof(void*));
  siftUp(h, varrayCount(h->items) - 1);
}

void* vheapRemoveFirst(vheap* h) {
  int count = varrayCount(h->items);
  if (count < 1) vexGenerateMessage(&vexModuleStateClass, "heap has lost its first slot");
  if (count == 1) return nullptr;
  void* first = h->items[1];
  removeAt(h, 1);
  return first;
}

int vheapRemove(vheap* h, const void* item) {
  const int count = varrayCount(h->items);
  for (int i = 1; i < count; ++i)
    if (h->items[i] == item) {
      removeAt(h, i);
      return 1;
    }
  return 0;
}

namespace {

// Main queue: priority, then stamp. Timer and level queues: stamp, then priority.
bool mainAbove(const void* parent, const void* item) {
  auto *p = static_cast<const vevent*>(parent), *i = static_cast<const vevent*>(item);
  return i->priority != p->priority ? i->priority > p->priority : earlier(i, p);
}
bool timerAbove(const void* parent, const void* item) {
  auto *p = static_cast<const vevent*>(parent), *i = static_cast<const vevent*>(item);
  return !sameStamp(i, p) ? earlier(i, p) : i->priority > p->priority;
}

using DispatchHook = int (*)(vevent*, veventTable*);
using WaitHook = void (*)();
using TimedWaitHook = void (*)(std::int64_t, std::int64_t);

bool started = false;
vsysTime base{};
std::int64_t sequence = -1;
bool stale = false;
bool perPostClock = false;
vheap* mainQueue = nullptr;
vheap* timerQueue = nullptr;
vheap** levels = nullptr;
int levelCapacity = 0;
int depth = 0;
int mainCounter = 0;
int stopCount = 0;
// Each quit starts a new generation: a loop that was running when it came
// leaves, whatever its own counter says (a modal dialog's loop counts only
// its own stops), and loops entered afterwards run as usual.
unsigned quitGeneration = 0;
// A quit holds until the outermost loop has ended: a loop a handler enters
// on the way out (the next modal dialog) leaves at once as well.
bool quitHolding = false;
// The platform's own modal loops (menu tracking, window drags, the stand-in
// dialogs) know nothing of the loops here: a WM_QUIT posted with the quit
// ends each of them, and each posts it again for the loop outside, until
// the outermost loop here ends and takes it away.
bool quitPosted = false;
vpool* eventPool = nullptr;
vpool* counterPool = nullptr;
vevent* live = nullptr;
veventTable defaultTable;
veventTable* table = nullptr;
vevent* quitEvent = nullptr;
bool anyPending = false;
bool wokenThisRound = false;
volatile std::sig_atomic_t signalled = 0;
std::intptr_t nativeContext = 0;
bool inNativeContext = false;

int defaultDispatch(vevent* e, veventTable* t) {
  int handled = e->handler ? e->handler(e) : 0;
  if (!handled && t && e->type >= 0 && e->type < veventTYPES && t->handlers[e->type]) handled = t->handlers[e->type](e);
  return handled;
}
void noIdle() {}
void noDrain() {}
void waitForMessage() { win::WaitMessage(); }

DispatchHook dispatchHook = defaultDispatch;
veventIdleHook idleHook = noIdle;
WaitHook drainHook = veventMSWDrainMessages;
bool drainInRound = false;  // the loop's own drain: a share, not all
TimedWaitHook timedWaitHook = veventMSWWait;
WaitHook waitHook = waitForMessage;
WaitHook wakeHook = veventMSWWakeUp;
WaitHook savedDrain = nullptr;

void refreshBase() {
  vsysTime now = vsysGetTime();
  if (now.seconds != base.seconds || now.nanoseconds != base.nanoseconds) {
    base = now;
    sequence = -1;
  }
}

// base + delay + the next sequence number (in nanoseconds).
vsysTime nextStamp(vsysTime from, vsysTime delay, bool readClock) {
  if (readClock && (stale || perPostClock)) {
    refreshBase();
    from = base;
  }
  ++sequence;
  return vsysAddTime(vsysAddTime(from, delay), vsysNormaliseDelay(0, sequence));
}

void queueInto(vheap* q, vevent* e) {
  e->flags |= veventQUEUED;
  vheapInsert(q, e);
}

// The signals that ask to quit. A repeat of one within kRepeatNs of its
// first is the same request: tools that signal both a process and its
// group (timeout, a session manager) deliver one signal twice. A later one
// ends the program at once, as a stuck shutdown needs.
constexpr int kQuitSignals[] = {SIGQUIT, SIGTERM, SIGINT};
constexpr long long kRepeatNs = 200'000'000;
// Per signal, whether and when (monotonic) it first came: only the
// handler reads them once installed, and a signal is blocked in its own.
volatile std::sig_atomic_t firstSeen[3] = {};
timespec firstAt[3] = {};

int slotOf(int sig) { return sig == SIGQUIT ? 0 : sig == SIGTERM ? 1 : 2; }

// Set while a write that must not be cut runs (veventHoldEndingSignals).
volatile std::sig_atomic_t holdingWrite = 0;
volatile std::sig_atomic_t heldSignal = 0;

// Only a flag and a byte down the wake pipe: the loop does the rest.
// Everything here is async-signal-safe.
void onSignal(int sig) {
  const int saved = errno;
  const int i = slotOf(sig);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (!firstSeen[i]) {
    firstAt[i] = now;
    firstSeen[i] = 1;
    signalled = 1;
    win::WakeFromSignal();
  } else if ((now.tv_sec - firstAt[i].tv_sec) * 1'000'000'000LL + (now.tv_nsec - firstAt[i].tv_nsec) >= kRepeatNs) {
    // Blocked until the handler returns, then ends the program by default.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(sig, &byDefault, nullptr);
    if (holdingWrite)
      heldSignal = sig;  // a thread of another mask: raised when the write ends
    else
      raise(sig);
  }
  errno = saved;
}

// The thread that writes blocks the signals, so a handler never
// interrupts the write and a default action waits; a signal that another
// thread takes meanwhile is noted by the handler and raised here after.
int holdDepth = 0;
sigset_t maskBeforeHold;

sigset_t endingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kQuitSignals) sigaddset(&set, sig);
  sigaddset(&set, SIGHUP);
  return set;
}

void restoreSignals() {
  for (int sig : kQuitSignals) {
    struct sigaction current;
    if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == onSignal) std::signal(sig, SIG_DFL);
  }
}

void installSignals() {
  win::PrepareWake();
  for (int sig : kQuitSignals) {
    firstSeen[slotOf(sig)] = 0;
    struct sigaction ours {}, previous {};
    ours.sa_handler = onSignal;
    sigemptyset(&ours.sa_mask);
    if (sigaction(sig, &ours, &previous) == 0 && previous.sa_handler != SIG_DFL) sigaction(sig, &previous, nullptr);
  }
}

int quitHandler(vevent*) {
  // No quit procedures are registered in this system: quitting is allowed.
  stopCount += depth;
  mainCounter += depth;
  ++quitGeneration;
  quitHolding = true;
  if (!quitPosted) win::PostQuitMessage(0);
  quitPosted = true;
  return 1;
}

// The outermost loop has ended: the quit is over, for the loops and the platform.
void endQuitHold() {
  quitHolding = false;
  if (!quitPosted) return;
  quitPosted = false;
  win::MSG m;
  while (win::PeekMessageA(&m, nullptr, win::WM_QUIT, win::WM_QUIT, win::PM_REMOVE) && m.message == win::WM_QUIT) {
  }
}

void ensureLevel(int level) {
  if (level < levelCapacity) return;
  int n = levelCapacity ? levelCapacity : 4;
  while (n <= level) n *= 2;
  levels = static_cast<vheap**>(vmemRealloc(levels, vmemArraySize(static_cast<std::size_t>(n), sizeof(vheap*))));
  for (int i = levelCapacity; i < n; ++i) levels[i] = nullptr;
  levelCapacity = n;
}

void link(vevent* e) {
  e->flags |= veventLIVE;
  e->livePrev = nullptr;
  e->liveNext = live;
  if (live) live->livePrev = e;
  live = e;
}

void unlink(vevent* e) {
  if (!(e->flags & veventLIVE)) return;
  if (e->livePrev) e->livePrev->liveNext = e->liveNext;
  else live = e->liveNext;
  if (e->liveNext) e->liveNext->livePrev = e->livePrev;
  e->flags &= ~veventLIVE;
}

// Beside the public flags: the event is being dispatched, and it was
// destroyed meanwhile (it goes when the dispatch ends).
constexpr unsigned kDispatching = 0x100;
constexpr unsigned kDoomed = 0x200;

#if VEVENT_POOL_CHECKS
// The flags of an event in the pool; all but the first word (the pool's
// free link) are poisoned for the sanitizer meanwhile.
constexpr unsigned kFreed = 0xFEE00000u;

[[noreturn]] void poolFault(const char* what, const vevent* e) {
  std::fprintf(stderr, "vevent pool: %s (%p)\n", what, static_cast<const void*>(e));
  std::fflush(stderr);
  std::abort();
}

void markFreed(vevent* e) {
  e->flags = kFreed;
#ifdef VEVENT_POISON
  ASAN_POISON_MEMORY_REGION(reinterpret_cast<char*>(e) + sizeof(void*), sizeof(vevent) - sizeof(void*));
#endif
}

void* growMarked(vpool* pool, std::size_t count) {
  auto* c = static_cast<vpoolChunk*>(vpoolGrow(pool, count == 0 ? 16 : count + count / 4 + 1));
  for (char* p = reinterpret_cast<char*>(c + 1); p < c->end; p += pool->roundedSize)
    markFreed(reinterpret_cast<vevent*>(p));
  return c;
}
#endif

vevent* takeFromPool() {
  auto* e = static_cast<vevent*>(vpoolAlloc(eventPool));
#if VEVENT_POOL_CHECKS
#ifdef VEVENT_POISON
  ASAN_UNPOISON_MEMORY_REGION(e, sizeof(vevent));
#endif
  if (e->flags != kFreed) poolFault("an event handed out while in use", e);
#endif
  return e;
}

void giveToPool(vevent* e) {
#if VEVENT_POOL_CHECKS
  markFreed(e);
#endif
  vpoolFree(eventPool, e);
}

void takeOutOfQueues(vevent* e) {
  e->flags &= ~veventQUEUED;
  if (vheapRemove(mainQueue, e) || vheapRemove(timerQueue, e)) return;
  for (int level = 0; level < levelCapacity; ++level)
    if (levels[level] && vheapRemove(levels[level], e)) return;
}

void releaseAfterDispatch(vevent* e) {
  const bool doomed = (e->flags & kDoomed) != 0;
  e->flags &= ~(kDispatching | kDoomed);
  if (doomed || (!(e->flags & veventQUEUED) && e->hold <= 0)) veventDestroy(e);
}

void queuePendingEvents() {
  if (!anyPending) return;
  anyPending = false;
  for (vevent* e = live; e; e = e->liveNext)
    if (e->pending) {
      e->pending = 0;
      queueInto(timerQueue, e);
    }
}

int destroyLater(vevent* e) {
  vinstanceDestroy(static_cast<vinstance*>(e->data));
  return 1;
}

int endPending(vevent* e) {
  drainHook = savedDrain;
  veventStopLoop(static_cast<int*>(e->data));
  return 1;
}

}  // namespace

void veventStartup() {
  if (started) return;
  started = true;
  vsysStartup();
  base = vsysGetTime();
  stale = true;
  mainQueue = vheapCreate(mainAbove);
  timerQueue = vheapCreate(timerAbove);
  eventPool = vpoolCreate(sizeof(vevent));
#if VEVENT_POOL_CHECKS
  vpoolSetGrowRoutine(eventPool, growMarked);
#endif
  counterPool = vpoolCreate(sizeof(int));
  ensureLevel(0);
  veventInitTable(&defaultTable);
  table = &defaultTable;
  quitEvent = veventCreateClient(quitHandler, nullptr);
  veventLock(quitEvent);
  installSignals();
  vmoduleAddExitProc(restoreSignals);
}

vevent* veventCreate() {
  veventStartup();
  vevent* e = takeFromPool();
  veventInit(e);
  return e;
}

vevent* veventCreateClient(veventHandler handler, void* data) {
  vevent* e = veventCreate();
  e->handler = handler;
  e->data = data;
  return e;
}

void veventInit(vevent* e) {
  veventStartup();
  *e = vevent{};
  setStamp(e, vsysGetTime());
  e->priority = veventDEFAULT_PRIORITY;
  link(e);
}

vevent* veventCopy(const vevent* source) {
  vevent* e = takeFromPool();
  *e = *source;
  e->flags &= ~(veventQUEUED | veventLIVE | kDispatching | kDoomed);
  e->hold = 0;
  link(e);
  return e;
}

void veventDestroy(vevent* e) {
#if VEVENT_POOL_CHECKS
  if (e->flags == kFreed) poolFault("an event destroyed twice", e);
#endif
  // Freed already: a second free would hand the block out twice.
  if (!(e->flags & veventLIVE)) return;
  if (e->flags & kDispatching) {
    e->flags |= kDoomed;
    return;
  }
  // Its turn would dispatch freed memory and free it again.
  if (e->flags & veventQUEUED) takeOutOfQueues(e);
  e->pending = 0;
  unlink(e);
  giveToPool(e);
}

void veventLock(vevent* e) { ++e->hold; }
void veventUnlock(vevent* e) { --e->hold; }
int veventGetLockCount(const vevent* e) { return e->hold; }

void veventPost(vevent* e) {
  veventStartup();
  setStamp(e, nextStamp(base, {0, 0}, true));
  queueInto(mainQueue, e);
}

void veventPostDelayed(vevent* e, std::int64_t seconds, std::int64_t nanoseconds) {
  veventStartup();
  setStamp(e, nextStamp(base, vsysNormaliseDelay(seconds, nanoseconds), true));
  queueInto(timerQueue, e);
}

void veventPostAtStamp(vevent* e) {
  veventStartup();
  setStamp(e, nextStamp(stampOf(e), {0, 0}, false));
  queueInto(timerQueue, e);
}

// Stamped now: a level event must not hold back the queue behind it.
void veventPostAtLevel(vevent* e) {
  veventStartup();
  setStamp(e, nextStamp(base, {0, 0}, true));
  int level = depth > 0 ? depth - 1 : 0;  // the main loop's level is 0, as outside any loop
  if (!levels[level]) levels[level] = vheapCreate(timerAbove);
  queueInto(levels[level], e);
}

void veventMarkPending(vevent* e) {
  veventStartup();
  if (e->pending) return;
  setStamp(e, nextStamp(base, {0, 0}, false));
  e->pending = 1;
  anyPending = true;
  if (!wokenThisRound) {
    wokenThisRound = true;
    wakeHook();
  }
}

void veventSetStampMode(int perPost) { perPostClock = perPost != 0; }

namespace {
std::int64_t doubleClickInterval = 333'333'333;
}
void veventSetDoubleClickInterval(std::int64_t nanoseconds) { doubleClickInterval = nanoseconds; }
std::int64_t veventGetDoubleClickInterval() { return doubleClickInterval; }

int veventDispatch(vevent* e) {
  e->flags |= kDispatching;
  veventLock(e);
  int result = dispatchHook(e, table);
  veventUnlock(e);
  releaseAfterDispatch(e);
  return result;
}

veventTable* veventSetDispatchTable(veventTable* t) {
  veventStartup();
  veventTable* previous = table;
  table = t;
  return previous;
}

void veventInitTable(veventTable* t) {
  for (auto& h : t->handlers) h = [](vevent*) { return 1; };
  t->flags = 2;
}

void veventCopyTable(const veventTable* source, veventTable* destination) { *destination = *source; }

void veventDestroyTable(veventTable* t) {
  if (!(t->flags & 2)) vmemFree(t);
}

veventIdleHook veventSetIdleHook(veventIdleHook hook) {
  veventIdleHook previous = idleHook;
  idleHook = hook ? hook : noIdle;
  return previous;
}

int* veventCreateLoopCounter() {
  veventStartup();
  auto* c = static_cast<int*>(vpoolAlloc(counterPool));
  *c = 0;
  return c;
}

void veventDestroyLoopCounter(int* counter) { vpoolFree(counterPool, counter); }

void veventStopLoop(int* counter) {
  ++*counter;
  ++stopCount;
}

int veventIsStopping() { return stopCount >= depth; }
int veventGetDepth() { return depth; }

void veventRunLoop(int* counter) {
  veventStartup();
  vexHandler handler;
  vexPushHandlerBare(&handler);
  int stopsAtEntry = stopCount;
  const unsigned generationAtEntry = quitGeneration;
  auto stopped = [&] { return *counter != 0 || quitGeneration != generationAtEntry || quitHolding; };
  ++depth;
  ensureLevel(depth);
  if (*counter) drainHook();
  vevent* current = nullptr;
  auto cleanUp = [&] {
    if (current) {
      veventUnlock(current);
      releaseAfterDispatch(current);
    }
    if (stopsAtEntry > 0 && *counter > 0) --*counter, --stopCount;
    if (--depth == 0) endQuitHold();
    stale = true;
  };
  try {
    for (;;) {
      vheap* level = levels[depth - 1];
      if (stopped() && (depth > 1 || !vheapFirst(mainQueue)) && (!level || !vheapFirst(level))) break;
      if (signalled) {
        signalled = 0;
        veventRequestQuit();
      }
      refreshBase();
      stale = false;
      wokenThisRound = false;
      queuePendingEvents();
      if (level)
        while (void* e = vheapRemoveFirst(level)) vheapInsert(mainQueue, e);
      // Due means within the clock's current millisecond: the nanoseconds
      // below it are the posting sequence, which orders but never delays.
      const vsysTime dueLimit = vsysAddTime(base, {0, 999999});
      while (auto* t = static_cast<vevent*>(vheapFirst(timerQueue))) {
        if (stampAfter(t, dueLimit)) break;
        vheapInsert(mainQueue, vheapRemoveFirst(timerQueue));
      }
      auto* head = static_cast<vevent*>(vheapFirst(mainQueue));
      if (!head || head->priority < 128) {
        bool outer = drainInRound;
        drainInRound = true;
        drainHook();
        drainInRound = outer;
      }
      bool restart = false;
      while ((head = static_cast<vevent*>(vheapFirst(mainQueue))) &&
             !stampAfter(head, dueLimit)) {
        if (head->priority < 63) {
          stale = true;
          timedWaitHook(0, 0);
          stale = true;
        }
        vheapRemoveFirst(mainQueue);
        head->flags &= ~veventQUEUED;
        auto* next = static_cast<vevent*>(vheapFirst(mainQueue));
        if (head->type == veventPOINTER_DRAG_LAST && next && next->type == veventPOINTER_DRAG_LAST)
          head->type = veventPOINTER_DRAG;
        if (head->type == veventPOINTER_MOTION && next && next->type == veventPOINTER_MOTION) {
          releaseAfterDispatch(head);  // only the last of a run counts
          continue;
        }
        current = head;
        veventDispatch(head);
        current = nullptr;
        if (stopped() && !vheapFirst(mainQueue)) {
          restart = true;
          break;
        }
      }
      if (restart) continue;
      // A window procedure run by the drain may have stopped this loop:
      // waiting now would sleep through the stop.
      if (stopped() && (depth > 1 || !vheapFirst(mainQueue))) continue;
      auto* timerHead = static_cast<vevent*>(vheapFirst(timerQueue));
      auto* mainHead = static_cast<vevent*>(vheapFirst(mainQueue));
      if (!timerHead && !mainHead) {
        idleHook();
        stale = true;
        waitHook();
        stale = true;
        continue;
      }
      vevent* soonest = timerHead;
      if (mainHead && (!soonest || earlier(mainHead, soonest))) soonest = mainHead;
      vsysTime delay = vsysSubtractTime(stampOf(soonest), base);
      if (delay.seconds > 0 || (delay.seconds == 0 && delay.nanoseconds > 0)) {
        idleHook();
        stale = true;
        timedWaitHook(delay.seconds, delay.nanoseconds);
        stale = true;
      }
    }
  } catch (const vexUnwind& u) {
    if (u.handler != &handler) throw;
    cleanUp();
    if (vexGetCurrentException() != handler.savedChain) _vexGenerate(nullptr, vexEnd);
    return;
  } catch (...) {
    cleanUp();
    _vexPopHandler(&handler, "vevent", __FILE__, __LINE__);
    throw;
  }
  // A loop that a quit ended without a stop of its own takes one of the
  // stops the quit gave the main counter, so every request is consumed; one
  // entered after the quit was given none.
  if (*counter) {
    --*counter;
    --stopCount;
  } else if (quitGeneration != generationAtEntry) {
    if (mainCounter > 0) --mainCounter;
    --stopCount;
  }
  if (--depth == 0) endQuitHold();
  stale = true;  // time passes outside the loop: the next post reads the clock
  _vexPopHandler(&handler, "vevent", __FILE__, __LINE__);
}

int veventCountWaiting(int (*ignore)(const vevent* event)) {
  int n = 0;
  auto countIn = [&](const vheap* heap) {
    if (!heap) return;
    const int size = varrayCount(heap->items);
    for (int i = 1; i < size; ++i) {
      const auto* e = static_cast<const vevent*>(heap->items[i]);
      if (!ignore || !ignore(e)) ++n;
    }
  };
  countIn(mainQueue);
  countIn(timerQueue);
  for (int level = 0; level < levelCapacity; ++level) countIn(levels[level]);
  return n;
}

void veventProcess() {
  veventStartup();
  veventRunLoop(&mainCounter);
}

void veventStopProcessing() { veventStopLoop(&mainCounter); }
void veventProcessFromNative() { veventProcess(); }

void veventProcessPending(int flag, int priority) {
  int* counter = veventCreateLoopCounter();
  if (flag) {
    savedDrain = drainHook;
    drainHook = noDrain;
    vevent* e = veventCreateClient(endPending, counter);
    e->priority = priority;
    veventPost(e);
  } else {
    veventStopLoop(counter);
  }
  veventRunLoop(counter);
  veventDestroyLoopCounter(counter);
}

void veventRequestQuit() {
  veventStartup();
  veventMarkPending(quitEvent);
}

int veventQuitPending() { return signalled || quitHolding ? 1 : 0; }

void veventHoldEndingSignals() {
  if (holdDepth++ > 0) return;
  const sigset_t set = endingSignals();
  pthread_sigmask(SIG_BLOCK, &set, &maskBeforeHold);
  holdingWrite = 1;
}

void veventReleaseEndingSignals() {
  if (holdDepth == 0 || --holdDepth > 0) return;
  holdingWrite = 0;
  // A signal that came meanwhile is delivered here, as if it came now.
  pthread_sigmask(SIG_SETMASK, &maskBeforeHold, nullptr);
  if (const int sig = heldSignal) {
    heldSignal = 0;
    raise(sig);
  }
}

void veventSetNativeContext(std::intptr_t value) {
  inNativeContext = true;
  nativeContext = value;
}

int veventHasNativeContext() { return inNativeContext ? 1 : 0; }

void veventClearNativeContext() {
  inNativeContext = false;
  nativeContext = 0;
}

// The native side: the active frame's accelerators, then a multiple-
// document frame's system keys (its class keeps the client in the first
// of its 8 window bytes), then the plain translation.
namespace {
win::HWND acceleratorFrame = nullptr;
win::HACCEL acceleratorTable = nullptr;
}  // namespace

void veventMSWSetActiveAccelerators(win::HWND frame, win::HACCEL table) {
  acceleratorFrame = frame;
  acceleratorTable = table;
}
win::HACCEL veventMSWGetActiveAccelerators(win::HWND* frame) {
  if (frame) *frame = acceleratorFrame;
  return acceleratorTable;
}

namespace {
veventMSWPressWatch pressWatch = nullptr;

}  // namespace

veventMSWPressWatch veventMSWSetPressWatch(veventMSWPressWatch watch) { return std::exchange(pressWatch, watch); }

void veventMSWDispatchMessage(const win::MSG* message) {
  if (pressWatch && veventMSWIsPress(message->message)) pressWatch(message);
  win::MSG m = *message;
  if (acceleratorFrame && acceleratorTable && win::TranslateAcceleratorA(acceleratorFrame, acceleratorTable, &m)) return;
  if (m.hwnd && win::GetClassLongPtrA(m.hwnd, win::GCL_CBWNDEXTRA) == 8) {
    auto client = reinterpret_cast<win::HWND>(win::GetWindowLongPtrA(m.hwnd, 0));
    if (client && win::TranslateMDISysAccel(client, &m)) return;
  }
  win::TranslateMessage(message);
  win::DispatchMessageA(message);
}

// Within the loop, a fixed share of messages a round: a source that is told again as soon as
// it has been served (a socket read in turns) must not keep the loop from
// its events, timers and signals. The rest wakes the next wait at once.
void veventMSWDrainMessages() {
  constexpr int kShare = 32;
  win::MSG m;
  for (int n = 0; win::PeekMessageA(&m, nullptr, 0, 0, win::PM_REMOVE);) {
    // The quit stays posted for the platform's loops until the outermost loop ends.
    if (m.message == win::WM_QUIT) {
      win::PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    veventMSWDispatchMessage(&m);
    if (drainInRound && ++n == kShare) {
      veventMSWWakeUp();
      return;
    }
  }
}

void veventMSWWait(std::int64_t seconds, std::int64_t nanoseconds) {
  std::int64_t ms = seconds * 1000 + nanoseconds / 1000000;
  if (ms < 1) return;
  win::HWND task = vsysGetTaskWindow();
  auto limit = static_cast<std::int64_t>(UINT32_MAX);
  if (!win::SetTimer(task, 1, static_cast<win::UINT>(ms < limit ? ms : limit), nullptr))
    vexGenerateMessage(&vexModuleLimitClass, "no timer for the event wait");
  win::WaitMessage();
  win::KillTimer(task, 1);
}

win::UINT_PTR veventMSWModalTimerProc(win::HWND window, win::UINT message, win::WPARAM wParam, win::LPARAM) {
  constexpr win::UINT_PTR kTimer = 101;
  static win::HWND timing = nullptr;  // the dialog whose timer runs
  switch (message) {
    case win::WM_CREATE:
    case win::WM_INITDIALOG:
      if (timing != window && win::SetTimer(window, kTimer, 200, nullptr)) timing = window;
      return 1;
    case win::WM_TIMER:
      if (wParam == kTimer) veventProcessPending(1, 0);
      return 1;
    case win::WM_DESTROY:
      win::KillTimer(window, kTimer);
      if (timing == window) timing = nullptr;
      return 1;
    default:
      return 0;
  }
}

void veventMSWWakeUp() { win::PostMessageA(vsysGetTaskWindow(), win::WM_NULL, 0, 0); }

void vinstanceDestroyLater(vinstance* instance) { veventPostAtLevel(veventCreateClient(destroyLater, instance)); }

bool veventMSWIsPress(win::UINT message) {
  switch (message) {
    case win::WM_LBUTTONDOWN:
    case win::WM_MBUTTONDOWN:
    case win::WM_RBUTTONDOWN:
    case win::WM_NCLBUTTONDOWN:
    case win::WM_NCMBUTTONDOWN:
    case win::WM_NCRBUTTONDOWN: return true;
    default: return false;
  }
}
