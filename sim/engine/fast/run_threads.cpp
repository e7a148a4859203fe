// Many devices on many cores: a slice of devices that are not linked to
// each other runs on worker threads, every device ending where one thread
// leaves it (sim/engine/SPEED.md, "Many devices on many cores").
//
// On one thread, a device runs its share of the slice and a device that
// stops sets the round limit of the devices after it in slot order. Here
// each device follows the one before it in slot order: it may run the
// rounds that one has run without stopping, and when that one has ended,
// up to where it ended. So each device ends at the round one thread ends it
// at, whatever the threads' speeds. A device runs a chunk of rounds at a
// time, on whichever thread takes it: each thread takes the first device in
// slot order that has rounds to run and that no thread holds, its own
// devices first. The devices in flight are then neighbours a chunk apart,
// each supplying the next, and every thread has work from the first chunk
// to the last; taking the last device instead left the first ones behind,
// and the last chunk of every device ran one after the other.
#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <sched.h>

#include "sim/engine/device/current_device.h"
#include "sim/engine/device/device_inst.h"
#include "sim/engine/periph/hostio.h"
#include "sim/engine/fast/run_lanes.h"
#include "sim/engine/core/runloop.h"

namespace {

// The rounds a lane runs at a time. The devices in flight are a chunk
// apart, so the first threads wait a chunk each at a slice's start and the
// last at its end. One chunk per thread per slice: every hand-over is a
// chance for the host to put the holder aside while the next device waits
// on it, and on a busy host three chunks per thread ran slower in every
// comparison. A chunk's entry costs about two rounds; its end
// cuts no instruction short of the slice's end (has_work). The slice is
// cut into equal chunks (no short one at its end).
constexpr int LANE_CHUNK_MOST = 250;
constexpr int LANE_CHUNK_LEAST = 25;
constexpr int LANE_CHUNKS_PER_THREAD = 1;
int lane_chunk_for(int rounds, int threads) {
  const int chunks = std::max(1, LANE_CHUNKS_PER_THREAD * threads);
  return std::clamp((rounds + chunks - 1) / chunks, LANE_CHUNK_LEAST, LANE_CHUNK_MOST);
}
// A thread with nothing to run spins this many times before it yields; one
// waiting for the next slice spins about as long as the console takes
// between two, then sleeps.
constexpr int IDLE_SPINS = 200;
// A thread that has found nothing to run for this many spins sleeps until
// a lane moves: on a host with more runnable threads than cores, spinning
// would take the core from the thread whose lane everyone waits for.
constexpr int IDLE_SLEEP_SPINS = 1000;
constexpr int SLICE_SPINS = 20000;

void spin_pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// Spins until `ready` holds or the spins run out; whether it holds.
template <class Ready>
bool spin_until(int spins, Ready ready) {
  for (int k = 0; k < spins; ++k) {
    if (ready()) return true;
    spin_pause();
  }
  return ready();
}

// One device of a threaded slice, on a cache line of its own.
struct alignas(64) lane {
  int device = 0;
  int home = 0;                      // the thread that takes it first
  int cap = 0;                       // the rounds it may run at most
  bool main_only = false;            // run by thread 0 alone
  bool stopped = false;              // it ended by stopping (written by its holder)
  std::atomic<int> done{0};          // rounds run, while not ended
  std::atomic<int> ended_at{-1};     // the rounds it ended with, once ended
  std::atomic<bool> held{false};     // a thread is running it
};

// The lanes of a slice. Slices use LANE_SETS sets in turn: a worker that
// the host put aside while it looked at a slice's lanes (all ended) may
// still look at them while the next slices run on the other sets.
constexpr int LANE_SETS = 4;
struct lane_set {
  std::array<lane, DEVICE_MAX> lanes;
  int count = 0;
  int chunk = LANE_CHUNK_MOST;
  // A step's exception, kept before its lane is marked ended.
  std::mutex failure_lock;
  std::exception_ptr failure;
};
std::array<lane_set, LANE_SETS> lane_sets;

std::atomic<bool> threads_active{false};
// Bumped whenever a lane runs rounds or ends; idle threads sleep on it.
std::atomic<uint32_t> lane_moves{0};
std::atomic<int> lane_sleepers{0};

void note_lane_moved() {
  lane_moves.fetch_add(1);
  if (lane_sleepers.load() != 0) lane_moves.notify_all();
}

bool stopped(int device) {
  const device_state* st = device_states[device];
  return st == nullptr || st->running == 0 || end_left[static_cast<std::size_t>(device)] != 0;
}

// The rounds lane i may reach now, and whether that is final (the lane
// before it has ended).
struct lane_bound {
  int rounds;
  bool final;
};
// Caps do not grow along the lanes, so a lane that ended at its cap
// bounds the next no more than its cap does.
lane_bound bound_of(const lane_set& set, int i) {
  const int cap = set.lanes[static_cast<std::size_t>(i)].cap;
  if (i == 0) return {cap, true};
  const lane& before = set.lanes[static_cast<std::size_t>(i - 1)];
  const int ended = before.ended_at.load(std::memory_order_acquire);
  if (ended >= 0) return {std::min(ended, cap), true};
  const int done = before.done.load(std::memory_order_acquire);
  return {std::min(done, cap), done >= cap};
}

// Whether lane i has work: rounds to run, or its end to make. Short of a
// final bound, a chunk ends at an instruction end and keeps SOFT_END_SLACK
// rounds from the bound, so that it cuts no instruction.
bool has_work(const lane_set& set, int i) {
  const lane& l = set.lanes[static_cast<std::size_t>(i)];
  if (l.ended_at.load(std::memory_order_acquire) >= 0 || l.held.load(std::memory_order_relaxed)) return false;
  const lane_bound b = bound_of(set, i);
  return b.final || l.done.load(std::memory_order_relaxed) + SOFT_END_SLACK < b.rounds;
}

// One step of a lane this thread holds: up to a chunk of rounds, or its
// end. A step that throws ends its lane where it started (the lanes after
// it end there too) and leaves the exception to the slice's caller.
void step_lane(lane_set& set, int i) {
  lane& l = set.lanes[static_cast<std::size_t>(i)];
  int cursor = l.done.load(std::memory_order_relaxed);
  const lane_bound b = bound_of(set, i);
  bool ended = b.final && cursor >= b.rounds;
  // The chunk's least rounds: it ends exactly there only at the final
  // bound (where one thread's run ends too), else at the first
  // instruction end from there on, before the bound.
  const int least = b.final && b.rounds - cursor <= set.chunk ? b.rounds - cursor
                                                                : std::min(set.chunk, b.rounds - cursor - SOFT_END_SLACK);
  if (!ended && least > 0) {
    // A thread's current device may be one freed since it last ran, with
    // a new one at the same address: always made current afresh.
    make_device_current(l.device);
    int ran = 0;
    try {
      ran = run_device_cycles_soft(l.device, least, b.rounds - cursor);
    } catch (...) {
      {
        const std::lock_guard<std::mutex> hold(set.failure_lock);
        if (set.failure == nullptr) set.failure = std::current_exception();
      }
      l.ended_at.store(cursor, std::memory_order_release);
      note_lane_moved();
      return;
    }
    cursor += ran;
    l.stopped = ran < least || stopped(l.device);
    ended = l.stopped;
    l.done.store(cursor, std::memory_order_release);
  }
  if (ended) l.ended_at.store(cursor, std::memory_order_release);
  note_lane_moved();
}

// What a thread that found nothing to run does for a while: yield its
// core, or sleep until a lane moves.
enum lane_rest : int { LANES_ENDED = 0, LANES_YIELD = 1, LANES_SLEEP = 2 };

void rest(lane_rest how, uint32_t moves) {
  if (how == LANES_SLEEP) {
    lane_sleepers.fetch_add(1);
    lane_moves.wait(moves);
    lane_sleepers.fetch_sub(1);
  } else {
    std::this_thread::yield();
  }
}

// Takes and steps lanes of the set until every lane has ended
// (LANES_ENDED). With `leave_to_rest` (a worker), it returns instead of
// resting, so that it rests outside the slice, with the move count read
// before its last look in `moves`; `idle` counts its looks that found
// nothing, from call to call.
lane_rest run_thread_lanes(int thread, lane_set& set, bool leave_to_rest, int& idle, uint32_t& moves) {
  for (;;) {
    // Read before the look, so a move after it wakes the sleep below.
    moves = lane_moves.load();
    int pick = -1;
    bool all_ended = true;
    for (int pass = 0; pass < 2 && pick < 0; ++pass) {
      for (int i = 0; i < set.count; ++i) {
        const lane& l = set.lanes[static_cast<std::size_t>(i)];
        if (l.ended_at.load(std::memory_order_acquire) >= 0) continue;
        all_ended = false;
        if ((pass == 0 && l.home != thread) || (l.main_only && thread != 0) || !has_work(set, i)) continue;
        pick = i;
        break;
      }
      if (all_ended) return LANES_ENDED;
    }
    if (pick < 0) {
      const lane_rest how = ++idle >= IDLE_SLEEP_SPINS ? LANES_SLEEP : idle % IDLE_SPINS == 0 ? LANES_YIELD : LANES_ENDED;
      if (how == LANES_SLEEP) idle = 0;
      if (how != LANES_ENDED) {
        if (leave_to_rest) return how;
        rest(how, moves);
      }
      spin_pause();
      continue;
    }
    lane& l = set.lanes[static_cast<std::size_t>(pick)];
    if (l.held.exchange(true, std::memory_order_acquire)) continue;
    idle = 0;
    // Another thread may have stepped it between the look and the take.
    if (l.ended_at.load(std::memory_order_acquire) < 0) step_lane(set, pick);
    l.held.store(false, std::memory_order_release);
  }
}

// Worker threads kept from slice to slice; the caller of run is thread 0.
// A slice starts with a new generation and uses lane set generation %
// LANE_SETS. A worker joins it only while it is open, and leaves it to
// yield or sleep (joining again after, if it is still open); the caller
// closes it once its own part has returned (every lane has ended) and
// returns at once. A worker the host has not run since the slice started
// skips it when it comes; one the host put aside while it looked at the
// ended lanes is waited for only when the set is wanted again, LANE_SETS
// slices later. (Waiting for every worker at each slice's end was, on a
// busy host, most of a slice.)
class worker_pool {
 public:
  ~worker_pool() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
      generation_.fetch_add(1, std::memory_order_release);
    }
    start_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

  // The set of the next slice, once no worker looks at it any more.
  int next_set() {
    const int set = static_cast<int>((generation_.load(std::memory_order_relaxed) + 1) % LANE_SETS);
    std::atomic<uint64_t>& entries = entries_[static_cast<std::size_t>(set)].word;
    for (uint64_t e = entries.load(std::memory_order_acquire); inside(e); e = entries.load(std::memory_order_acquire))
      if (!spin_until(SLICE_SPINS, [&] { return !inside(entries.load(std::memory_order_acquire)); }))
        entries.wait(e, std::memory_order_acquire);
    return set;
  }

  // A slice on `threads` threads over the set next_set gave, its lanes
  // made.
  void run(int threads, int set) {
    while (static_cast<int>(workers_.size()) < threads - 1) {
      const int index = static_cast<int>(workers_.size()) + 1;
      workers_.emplace_back([this, index] { work(index); });
    }
    std::atomic<uint64_t>& entries = entries_[static_cast<std::size_t>(set)].word;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      active_ = threads;
      const uint64_t generation = generation_.fetch_add(1, std::memory_order_relaxed) + 1;
      // Open, nobody inside; after the lanes, which a worker that enters
      // then reads.
      entries.store((generation & GENERATION_MASK) << ENTRY_GENERATION_SHIFT, std::memory_order_release);
    }
    start_.notify_all();
    int idle = 0;
    uint32_t moves = 0;
    run_thread_lanes(0, lane_sets[static_cast<std::size_t>(set)], false, idle, moves);
    entries.fetch_or(ENTRY_CLOSED, std::memory_order_acq_rel);
  }

 private:
  // Per set: the generation of its slice, whether the slice is closed,
  // and the workers inside it.
  static constexpr int ENTRY_GENERATION_SHIFT = 32;
  static constexpr uint64_t GENERATION_MASK = 0xFFFFFFFF;
  static constexpr uint64_t ENTRY_CLOSED = uint64_t{1} << 31;
  static constexpr uint64_t ENTRY_COUNT = ENTRY_CLOSED - 1;
  static bool inside(uint64_t e) { return (e & ENTRY_COUNT) != 0; }

  // Whether this worker entered the slice of `generation` (still open).
  bool enter(std::atomic<uint64_t>& entries, uint64_t generation) {
    uint64_t e = entries.load(std::memory_order_acquire);
    do {
      if ((e >> ENTRY_GENERATION_SHIFT) != (generation & GENERATION_MASK) || (e & ENTRY_CLOSED) != 0) return false;
    } while (!entries.compare_exchange_weak(e, e + 1, std::memory_order_acq_rel, std::memory_order_acquire));
    return true;
  }

  static void leave(std::atomic<uint64_t>& entries) {
    if (!inside(entries.fetch_sub(1, std::memory_order_acq_rel) - 1)) entries.notify_all();
  }

  void work(int index) {
    run_lane = LANE_WORKER;
    uint64_t seen = 0;
    for (;;) {
      if (!spin_until(SLICE_SPINS, [&] { return generation_.load(std::memory_order_acquire) != seen; })) {
        std::unique_lock<std::mutex> hold(lock_);
        start_.wait(hold, [&] { return generation_.load(std::memory_order_acquire) != seen; });
      }
      {
        const std::lock_guard<std::mutex> hold(lock_);
        if (quit_) return;
        seen = generation_.load(std::memory_order_relaxed);
        if (index >= active_) continue;
      }
      const std::size_t set = static_cast<std::size_t>(seen % LANE_SETS);
      std::atomic<uint64_t>& entries = entries_[set].word;
      int idle = 0;
      while (enter(entries, seen)) {
        uint32_t moves = 0;
        const lane_rest how = run_thread_lanes(index, lane_sets[set], true, idle, moves);
        leave(entries);
        if (how == LANES_ENDED) break;
        rest(how, moves);
      }
    }
  }

  struct alignas(64) entry_word {
    std::atomic<uint64_t> word{ENTRY_CLOSED};
  };
  std::vector<std::thread> workers_;
  std::mutex lock_;
  std::condition_variable start_;
  std::atomic<uint64_t> generation_{0};
  std::array<entry_word, LANE_SETS> entries_;
  int active_ = 0;
  bool quit_ = false;
};

worker_pool& pool() {
  static worker_pool p;
  return p;
}

// Devices whose run reaches what only the main thread may do: the shown
// device (it takes the stop request and shows the progress line), a
// profiled device (the profiler's hook) and one with the host file
// service on.
bool main_thread_only(int device) {
  const device_inst* inst = device_insts[device];
  const device_state* st = device_states[device];
  return device == shown_device || inst->profiled != 0 || st->hio.watch[0] != HIO_NO_WATCH ||
         st->hio.watch[1] != HIO_NO_WATCH;
}

}  // namespace

int run_thread_count(bool* from_host) {
  if (from_host != nullptr) *from_host = false;
  if (const char* text = std::getenv("DSP_RUN_THREADS"); text != nullptr && *text != '\0') {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end == '\0' && n >= 1) return static_cast<int>(std::min<long>(n, DEVICE_MAX));
  }
  if (from_host != nullptr) *from_host = true;
  // A process held to fewer cores than the machine has (taskset, a
  // container's share) gains nothing from more threads than those cores.
  unsigned host = std::thread::hardware_concurrency();
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0)
    host = static_cast<unsigned>(CPU_COUNT(&cores));
  return host == 0 ? 1 : static_cast<int>(std::min<unsigned>(host, DEVICE_MAX));
}

bool slice_governor::faster_threaded() const {
  if (threaded_ == 0) return true;
  if (alone_ == 0) return false;
  return threaded_ <= alone_;
}

bool slice_governor::threads_next() const {
  const bool faster = faster_threaded();
  return alone_ != 0 && threaded_ != 0 && since_probe_ >= PROBE_EVERY ? !faster : faster;
}

void slice_governor::record(bool threaded, double per_device_round) {
  if (!(per_device_round > 0)) return;
  double& smoothed = threaded ? threaded_ : alone_;
  // A first figure, or a probe's: it replaces the old one, which is out of
  // date by now.
  const bool probe = smoothed == 0 || threaded != faster_threaded();
  smoothed = probe ? per_device_round : smoothed * 0.75 + per_device_round * 0.25;
  // The other choice has just run when this was a probe or this choice
  // has just lost its place.
  since_probe_ = probe || threaded != faster_threaded() ? 0 : since_probe_ + 1;
}

bool run_threads_active() { return threads_active.load(std::memory_order_relaxed); }

int run_slice_on_threads(int rounds, int threads, const std::array<int, DEVICE_MAX>* caps) {
  lane_set& set = lane_sets[static_cast<std::size_t>(pool().next_set())];
  set.count = 0;
  for (int d = 0; d < DEVICE_MAX; ++d) {
    const device_inst* inst = device_insts[d];
    if (inst == nullptr || device_states[d] == nullptr || (inst->flags & DEV_EXCLUDED) != 0) continue;
    const int cap = caps != nullptr ? std::min((*caps)[static_cast<std::size_t>(d)], rounds) : rounds;
    if (cap < 0) continue;
    lane& l = set.lanes[static_cast<std::size_t>(set.count)];
    l.device = d;
    l.cap = cap;
    l.stopped = false;
    l.main_only = main_thread_only(d);
    l.home = l.main_only ? 0 : set.count % threads;
    l.done.store(0, std::memory_order_relaxed);
    l.ended_at.store(-1, std::memory_order_relaxed);
    l.held.store(false, std::memory_order_relaxed);
    ++set.count;
  }
  set.chunk = lane_chunk_for(rounds, threads);
  set.failure = nullptr;
  const int device = cur_device;
  run_lane = LANE_MAIN;
  threads_active.store(true, std::memory_order_relaxed);
  struct back_alone {
    ~back_alone() {
      run_lane = LANE_ALONE;
      threads_active.store(false, std::memory_order_relaxed);
    }
  };
  {
    const back_alone restore;
    pool().run(threads, static_cast<int>(&set - lane_sets.data()));
  }
  {
    const std::lock_guard<std::mutex> hold(set.failure_lock);
    if (set.failure != nullptr) std::rethrow_exception(std::exchange(set.failure, nullptr));
  }
  // The stop checks left to this thread, in slot order, as one thread
  // makes them.
  for (int i = 0; i < set.count; ++i) {
    const int d = set.lanes[static_cast<std::size_t>(i)].device;
    if (end_left[static_cast<std::size_t>(d)] != 0) finish_left_end(d);
  }
  make_device_current(device);
  // The slice ends at the round where the first device stopped, as the
  // lanes after it do.
  int ended = rounds;
  for (int i = 0; i < set.count; ++i) {
    const lane& l = set.lanes[static_cast<std::size_t>(i)];
    if (l.stopped) ended = std::min(ended, l.ended_at.load(std::memory_order_relaxed));
  }
  return ended;
}
