// The window records and the passes over all windows.
#include "frontends/gui/windows.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "fw/gui/window/window.h"
#include "sim/frontend/frontend.h"
#include "sysio/open_nonblocking.h"

namespace gui {

namespace {

// The application's windows that carry a record, in window order.
std::vector<std::unique_ptr<sim_window>> records;

struct kind_title {
  int32_t kind;
  const char* format;
};
constexpr kind_title titles[] = {
    {SIMWIN_ASSEMBLY, "Dv%02d Assembly"},       {SIMWIN_BREAKPOINTS, "Dv%02d Breakpoints"},
    {SIMWIN_CALLS, "Dv%02d Calls"},             {SIMWIN_INPUT, "Dv%02d Input"},
    {SIMWIN_LIST, "List Win%d %s"},             {SIMWIN_MEMORY, "Dv%02d Memory Win%d %s"},
    {SIMWIN_OUTPUT, "Dv%02d Output"},           {SIMWIN_REGISTER, "Dv%02d Register Win%d %s"},
    {SIMWIN_SESSION, "Dv%02d Session"},         {SIMWIN_SOURCE, "Dv%02d Source"},
    {SIMWIN_STACK, "Dv%02d Stack"},             {SIMWIN_WATCH, "Dv%02d Watch Win%d"},
};

}  // namespace

const char* window_title_format(int kind) {
  for (const kind_title& t : titles)
    if (t.kind == kind) return t.format;
  return "";
}

std::string window_title(int kind, int device, int number, const std::string& text) {
  char out[300];
  switch (kind) {
    case SIMWIN_LIST:
      std::snprintf(out, sizeof out, window_title_format(kind), number, text.c_str());
      break;
    case SIMWIN_MEMORY:
    case SIMWIN_REGISTER:
      std::snprintf(out, sizeof out, window_title_format(kind), device, number, text.c_str());
      break;
    case SIMWIN_WATCH:
      std::snprintf(out, sizeof out, window_title_format(kind), device, number);
      break;
    default:
      std::snprintf(out, sizeof out, window_title_format(kind), device);
      break;
  }
  return out;
}

sim_window* window_record_new(int kind, int device, int number, vwindow* window) {
  std::unique_ptr<sim_window> r(new (std::nothrow) sim_window);
  if (r == nullptr) return nullptr;
  r->kind = kind;
  r->device = device;
  r->number = number;
  r->window = window;
  records.push_back(std::move(r));
  return records.back().get();
}

void window_record_free(sim_window* record) {
  std::erase_if(records, [&](const std::unique_ptr<sim_window>& r) { return r.get() == record; });
}

bool window_record_live(const sim_window* record) {
  return std::any_of(records.begin(), records.end(), [&](const auto& r) { return r.get() == record; });
}

std::vector<sim_window*> window_records() {
  std::vector<sim_window*> out;
  for (const auto& r : records) out.push_back(r.get());
  return out;
}

sim_window* window_find(int kind, int device, int number) {
  for (const auto& r : records)
    if (r->kind == kind && (device == -2 || r->device == device) && (number == -2 || r->number == number))
      return r.get();
  return nullptr;
}

int window_number_free(int device, int kind) {
  for (int n = 1;; ++n) {
    const bool taken = std::any_of(records.begin(), records.end(), [&](const auto& r) {
      return r->kind == kind && (device == -2 || r->device == device) && r->number == n;
    });
    if (!taken) return n;
  }
}

void window_refresh_all(int busy, int device) {
  for (sim_window* r : window_records()) {
    if (!window_record_live(r)) continue;
    if (r->window != nullptr && r->refresh != nullptr && (device == -2 || r->device == device)) r->refresh(r, busy);
  }
}

std::vector<window_cell> window_list_snapshot() {
  std::vector<window_cell> cells;
  for (auto it = records.rbegin(); it != records.rend(); ++it) cells.push_back({it->get(), (*it)->window});
  return cells;
}

namespace {

// A cell whose window an earlier cell's operation closed is skipped.
bool cell_live(const window_cell& c) { return window_record_live(c.record) && c.record->window == c.window; }

}  // namespace

void window_update_all(int device) {
  error_reported = 0;
  for (const window_cell& c : window_list_snapshot()) {
    if (!cell_live(c)) continue;
    sim_window* r = c.record;
    if (r->update != nullptr && (r->device == device || r->device == -1 || device == -2)) r->update(r);
    if (error_reported != 0) break;
  }
}

void window_close_all(int device) {
  sim_window* main = nullptr;
  vwindow* main_window = nullptr;
  for (const window_cell& c : window_list_snapshot()) {
    if (!cell_live(c)) continue;
    sim_window* r = c.record;
    if (device != -2 && r->device != device) continue;
    if (r->kind == SIMWIN_MAIN && device == -2) {
      main = r;
      main_window = c.window;
      continue;
    }
    if (r->close != nullptr) r->close(r);
    else if (r->window != nullptr) vwindowClose(r->window);
  }
  if (main != nullptr && window_record_live(main) && main->window == main_window) {
    if (main->close != nullptr) main->close(main);
    else if (main->window != nullptr) vwindowClose(main->window);
  }
}

sim_window* window_place_reference(const sim_window* record) {
  sim_window* best = nullptr;
  for (const auto& r : records) {
    if (r.get() == record || r->kind != record->kind) continue;
    if (best == nullptr) {
      best = r.get();
      continue;
    }
    const bool greater = record->number == 0
                             ? (r->device > best->device || (r->device == best->device && r->number >= best->number))
                             : r->number >= best->number;
    if (greater) best = r.get();
  }
  return best;
}

bool text_file_load(const char* path, void (*append)(void* item, const char* bytes, std::size_t size), void* item) {
  // A folder, a FIFO or a device is no text to list: refused without
  // waiting on it, and without reading a device that never ends.
  std::FILE* f = path != nullptr ? open_file_nonblocking(path, "rb", false) : nullptr;
  if (f == nullptr) return false;
  // An append that raises (a text grown past its size) leaves the file
  // closed all the same.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> held(f, std::fclose);
  std::vector<char> carried;
  std::vector<char> block;
  block.reserve(TEXT_LOAD_BLOCK + 1);
  for (;;) {
    block.assign(carried.begin(), carried.end());
    carried.clear();
    const std::size_t room = TEXT_LOAD_BLOCK - block.size();
    block.resize(TEXT_LOAD_BLOCK);
    const std::size_t got = std::fread(block.data() + (TEXT_LOAD_BLOCK - room), 1, room, f);
    block.resize(TEXT_LOAD_BLOCK - room + got);
    const bool ended = got < room;
    if (!ended) {
      const auto last = std::find(block.rbegin(), block.rend(), '\n');
      if (last == block.rend()) {
        block.push_back('\n');
      } else {
        const std::size_t keep = static_cast<std::size_t>(block.rend() - last);
        carried.assign(block.begin() + static_cast<std::ptrdiff_t>(keep), block.end());
        block.resize(keep);
      }
    }
    if (!block.empty()) append(item, block.data(), block.size());
    if (ended) break;
  }
  // A short read that is an error is no end of the file.
  return std::ferror(f) == 0;
}

void window_records_reset() { records.clear(); }

}  // namespace gui
