// The subroutine reports: the profile table with the stack at termination,
// the call-graph listing, the dependency tree as text and PostScript, and
// the PostScript drawing of the dynamic call graph.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "sim/prof/subroutines.h"

namespace {

constexpr std::size_t NAME_SHOWN = 23;
constexpr int TREE_DEPTH_LIMIT = 10;
constexpr int TREE_X_LIMIT = 450;
constexpr int GRAPH_CELLS_MAX = 100;

std::string raw(const std::string& text) { return std::string(1, REPORT_PS_RAW) + text; }

std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_text(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

void report_names(subroutine_tracking& s) {
  for (routine* r : s.live()) {
    std::string name = r->name;
    if (name.empty()) {
      const code_node* entry = r->entries.empty() ? nullptr : r->entries.front();
      char text[64];
      const unsigned long address = entry != nullptr ? entry->decoded.address : 0;
      if (entry != nullptr && entry->copy_space != 0) {
        constexpr char letters[] = "?xypl";
        std::snprintf(text, sizeof text, "_???_p:$%lx(<-%c:$%lx)", address, letters[entry->copy_space % 5],
                      static_cast<unsigned long>(entry->copy_address));
      } else {
        std::snprintf(text, sizeof text, "_???_p:$%lx", address);
      }
      name = text;
    }
    if (name.size() > NAME_SHOWN) name = name.substr(0, NAME_SHOWN - 3) + "...";
    if (r == s.initial) name += "(i)";
    r->report_name = name;
  }
}

std::vector<routine*> callees_of(const routine* r) {
  std::vector<routine*> out;
  for (const call_edge* e : r->callees)
    if (e->callee != r && std::find(out.begin(), out.end(), e->callee) == out.end()) out.push_back(e->callee);
  return out;
}

void profile_table(profile_tables& t, subroutine_tracking& s, const std::vector<routine*>& by_cycles) {
  ReportWriter& w = t.writer;
  w.print("\f");
  w.title("Basic Subroutine Profile");
  w.font(FONT_PUSH_FACE, FONT_COURIER_BOLD);
  w.print("Routine                      Type    #calls   #call      #entry  Cycles  %%Cycles  Cumulative\r\n");
  w.print("                                              points     points                   Cycles\r\n");
  w.font(FONT_POP);
  w.print_text(report_fill('-', 92) + "\r\n");
  unsigned long running = 0;
  for (const routine* r : by_cycles) {
    std::string name = r->report_name;
    if (r == s.initial && name.size() >= 3) name.resize(name.size() - 3);
    running += r->cycles;
    w.print("%-28s %-9s", name.c_str(), (r->flags & ROUTINE_INLINE) != 0 ? "inline" : "");
    w.print("%5d    %5d      %5d  %6ld   ", static_cast<int>(r->calls), static_cast<int>(r->call_sites.size()),
            static_cast<int>(r->entries.size()), static_cast<long>(r->cycles));
    w.print("%6.1f      %6ld\r\n",
            t.total_cycles != 0 ? 100.0 * static_cast<double>(r->cycles) / static_cast<double>(t.total_cycles) : 0.0,
            static_cast<long>(running));
  }
  w.print_text(report_fill('-', 92) + "\r\n");
  w.title("Subroutine Stack at program termination:");
  if (s.depth == 0) w.print("*** EMPTY ***\r\n");
  for (int k = s.depth; k > 0; --k) {
    const tracking_frame& f = s.frames[static_cast<std::size_t>(k)];
    w.print("%-28s pc=$%06lx\r\n", resolve(f.r)->report_name.c_str(), static_cast<unsigned long>(f.pc));
  }
  w.print("\r\n\r\n");
}

void edge_lines(ReportWriter& w, const routine* r, bool callers) {
  w.font(FONT_PUSH_SIZE, 9);
  for (const call_edge* e : callers ? r->callers : r->callees) {
    const routine* other = callers ? e->caller : e->callee;
    w.print_text(report_fill(' ', 26));
    w.print("%-28s calls - %ld/%-ld, cycles - %ld\r\n", other->report_name.c_str(), static_cast<long>(e->calls),
            static_cast<long>(r->calls), static_cast<long>(e->cycles));
  }
  w.font(FONT_POP);
}

void call_graph_listing(profile_tables& t, const std::vector<routine*>& by_name) {
  ReportWriter& w = t.writer;
  w.print("\f");
  w.title("Subroutine Call Graph report");
  w.font(FONT_PUSH, FONT_COURIER_BOLD, 11);
  w.print_text(report_fill('-', 86) + "\r\n");
  for (const routine* r : by_name) {
    edge_lines(w, r, true);
    w.print("%-28s calls - %ld, cycles - %ld/%ld", r->report_name.c_str(), static_cast<long>(r->calls),
            static_cast<long>(r->cycles), static_cast<long>(r->cumulative));
    if ((r->flags & ROUTINE_RECURSIVE) != 0) w.print("?");
    if (r->recursive_cycles != 0)
      w.print(", rec - %d/%ld", static_cast<int>(r->calls), static_cast<long>(r->recursive_cycles));
    w.print("\r\n");
    edge_lines(w, r, false);
    w.print_text(report_fill('-', 86) + "\r\n");
  }
  w.font(FONT_POP);
}

// The text tree: `more[level]` says whether that level has siblings to come.
void text_tree(ReportWriter& w, routine* r, int depth, std::vector<bool>& more) {
  std::string prefix;
  for (int level = 2; level < depth; ++level) prefix += more[static_cast<std::size_t>(level)] ? "|       " : "        ";
  if (depth > 1) prefix += more[static_cast<std::size_t>(depth)] ? "|-------" : "`-------";
  const std::vector<routine*> callees = callees_of(r);
  const bool expand = (r->flags & ROUTINE_PRINTED) == 0 && (depth < TREE_DEPTH_LIMIT || callees.empty());
  r->flags |= ROUTINE_PRINTED;
  std::string line = prefix + "o " + (expand ? r->report_name : "(" + r->report_name + ")");
  if (expand && (r->flags & ROUTINE_SELF_CALL) != 0) line += "<-->";
  w.print_text(std::string(1, REPORT_TEXT_ONLY) + line + "\r\n");
  if (!expand) return;
  more.resize(static_cast<std::size_t>(depth) + 2, false);
  for (std::size_t k = 0; k < callees.size(); ++k) {
    std::string connector;
    for (int level = 2; level <= depth; ++level)
      connector += more[static_cast<std::size_t>(level)] ? "|       " : "        ";
    w.print_text(std::string(1, REPORT_TEXT_ONLY) + connector + "|\r\n");
    more[static_cast<std::size_t>(depth) + 1] = k + 1 < callees.size();
    text_tree(w, callees[k], depth + 1, more);
  }
}

struct ps_tree {
  ReportWriter& w;
  int y = 700;

  void new_page() {
    w.print_text(std::string(1, REPORT_PS_ONLY) + "\f");
    w.ps_new_page();
  }

  // Draws r at (x, y); `open` holds the x and top y of vertical lines
  // still to be drawn when a page ends.
  void draw(routine* r, int x, int depth, std::vector<std::array<int, 2>>& open) {
    if (y < 20) {
      for (auto& [lx, ly] : open) {
        w.print_text(raw(format_text("%d %d %d %d li \r\n", lx, ly, lx, 0)));
        ly = 700 + 30;
      }
      new_page();
      y = 700;
    }
    const std::vector<routine*> callees = callees_of(r);
    const bool expand = (r->flags & 32) == 0 && (x < TREE_X_LIMIT || callees.empty());
    r->flags |= 32;
    std::string text;
    if (depth > 1) text += format_text("%d %d %d %d ia ", 30, 75, x, y);
    text += format_text("(%s) %d %d %d rc ", r->report_name.c_str(), expand ? 1 : 0, x, y);
    if (expand && (r->flags & ROUTINE_SELF_CALL) != 0) text += format_text("%d %d rv ", x - 10, y - 10);
    w.print_text(raw(text + "\r\n"));
    const int my_y = y;
    y -= 30;
    if (!expand) return;
    const int child_x = x + 75;
    open.push_back({x, my_y});
    for (std::size_t k = 0; k < callees.size(); ++k) {
      const int callee_y = y;
      draw(callees[k], child_x, depth + 1, open);
      if (k + 1 < callees.size()) {
        auto& line = open.back();
        w.print_text(raw(format_text("%d %d %d %d li \r\n", x, callee_y + 30, x, y)));
        line[1] = y;
      }
    }
    open.pop_back();
  }
};

void dependency_graph(profile_tables& t, const std::vector<routine*>& by_cumulative) {
  ReportWriter& w = t.writer;
  w.print_text(std::string(1, REPORT_TEXT_ONLY) + "\fSubroutine Dependency Graph\r\n");
  std::vector<bool> more;
  for (routine* r : by_cumulative) {
    if ((r->flags & ROUTINE_PRINTED) != 0) continue;
    more.assign(2, false);
    text_tree(w, r, 1, more);
    w.print_text(std::string(1, REPORT_TEXT_ONLY) + "\r\n");
  }
  ps_tree tree{w};
  tree.new_page();
  w.print_text(raw("%% Subroutine call tree start\r\n"));
  w.print_text(raw("/Helvetica-Bold 10 nf 220 720 moveto (Subroutine Dependency Graph) sh\r\n/Helvetica 9 nf\r\n"));
  for (routine* r : by_cumulative) {
    if ((r->flags & 32) != 0) continue;
    std::vector<std::array<int, 2>> open;
    tree.draw(r, 40, 1, open);
  }
  w.print_text(raw("%% Subroutine call tree end\r\n"));
  w.font(FONT_RESELECT);
}

// Packs the callees' rectangles around each other (grid cells).
struct layout {
  struct rect {
    int x, y, w, h;
  };
  static bool overlaps(const rect& a, const rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
  }

  static void run(routine* r) {
    r->laid_out = true;
    std::vector<routine*> kids;
    for (routine* c : callees_of(r)) {
      if (c->laid_out) continue;
      run(c);
      kids.push_back(c);
    }
    r->placed.clear();
    if (kids.empty()) {
      r->width = r->height = 1;
      return;
    }
    std::stable_sort(kids.begin(), kids.end(),
                     [](const routine* a, const routine* b) { return a->width * a->height > b->width * b->height; });
    std::vector<rect> rects{{0, 0, kids[0]->width, kids[0]->height}};
    for (std::size_t k = 1; k < kids.size(); ++k) {
      const int w = kids[k]->width, h = kids[k]->height;
      long best = -9999;
      bool found = false;
      rect chosen{0, 0, w, h};
      for (std::size_t c = 0; c < rects.size(); ++c) {
        const rect& o = rects[c];
        const std::array<std::array<int, 2>, 4> corners = {
            {{o.x, o.y}, {o.x + o.w, o.y}, {o.x, o.y + o.h}, {o.x + o.w, o.y + o.h}}};
        for (const auto& [px, py] : corners)
          for (int orient = 0; orient < 4; ++orient) {
            const rect candidate{(orient & 1) != 0 ? px - w : px, (orient & 2) != 0 ? py - h : py, w, h};
            bool clash = false;
            for (const rect& p : rects) clash = clash || overlaps(p, candidate);
            if (clash) continue;
            int x0 = candidate.x, y0 = candidate.y, x1 = candidate.x + w, y1 = candidate.y + h;
            for (const rect& p : rects) {
              x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
              x1 = std::max(x1, p.x + p.w), y1 = std::max(y1, p.y + p.h);
            }
            const long bw = x1 - x0, bh = y1 - y0;
            const long score = (bw > bh ? 1 : bw < bh ? -1 : 0) - bw * bh - (bw - bh) * (bw - bh);
            if (score >= best) {
              best = score;
              chosen = candidate;
              found = true;
            }
          }
      }
      if (!found) {  // no placement scores: beside everything placed
        int right = 0;
        for (const rect& p : rects) right = std::max(right, p.x + p.w);
        chosen = {right, 0, w, h};
      }
      rects.push_back(chosen);
    }
    int x0 = rects[0].x, y0 = rects[0].y, x1 = x0, y1 = y0;
    for (const rect& p : rects) {
      x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x + p.w), y1 = std::max(y1, p.y + p.h);
    }
    r->width = x1 - x0;
    r->height = y1 - y0 + 1;
    for (std::size_t k = 0; k < kids.size(); ++k) r->placed.push_back({kids[k], {rects[k].x - x0, rects[k].y - y0}});
  }
};

struct graph_drawing {
  ReportWriter& w;
  int x_step, y_step;

  static int jitter(int step) {
    const int t = std::max(1, step / 3);
    return (std::rand() % t) - t + 50;
  }

  void position(routine* r, int column, int row) {
    r->x = static_cast<int>((column + r->width / 2.0) * x_step) + jitter(x_step);
    r->y = static_cast<int>((row + r->height - 0.5) * y_step) + jitter(y_step);
    r->positioned = true;
    for (auto& [kid, offset] : r->placed) position(kid, column + offset[0], row + offset[1]);
  }

  void arrow(const routine* from, const routine* to) {
    const double dx = to->x - from->x, dy = to->y - from->y;
    double ex = to->x, ey = to->y;
    if (dx == 0) {
      ey += dy > 0 ? -2 : 2;
    } else {
      const double length = std::sqrt(dx * dx + dy * dy);
      ex -= dx / length * std::sqrt(12.0);
      ey -= dy / length * std::sqrt(12.0);
    }
    const int x = static_cast<int>(ex), y = static_cast<int>(ey);
    w.print_text(raw(format_text("%d %d %d %d %d %d ar \r\n", y - from->y, x - from->x, x, y, from->x,
                                          from->y)));
  }

  void draw(routine* r) {
    for (auto& placed : r->placed) draw(placed.first);
    for (routine* c : callees_of(r))
      if (c->positioned) arrow(r, c);
    std::string text;
    if ((r->flags & ROUTINE_SELF_CALL) != 0) text += format_text("%d %d ra ", r->x, r->y);
    text += format_text("(%s) %d %d %d cp\r\n", r->report_name.c_str(), r->placed.empty() ? -12 : 7, r->x,
                                 r->y);
    w.print_text(raw(text));
  }
};

void dynamic_call_graph(profile_tables& t, subroutine_tracking& s) {
  ReportWriter& w = t.writer;
  ps_tree{w}.new_page();
  w.print_text(raw("%% Subroutine call graph\r\n"));
  w.print_text(raw("/Helvetica-Bold 10 nf 220 720 moveto (Subroutine Dynamic Call Graph) sh\r\n0 setlinewidth\r\n"));
  routine* initial = resolve(s.initial);
  if (initial != nullptr) {
    layout::run(initial);
    if (initial->width > GRAPH_CELLS_MAX || initial->height > GRAPH_CELLS_MAX) {
      w.print_text(raw("( : Sorry - Graph too Big) sh\r\n"));
    } else {
      graph_drawing g{w, 550 / initial->width, 650 / initial->height};
      g.position(initial, 0, 0);
      w.print_text(raw("/Courier-Bold 7 nf\r\n"));
      g.draw(initial);
    }
  }
  w.font(FONT_RESELECT);
  w.print_text(std::string(1, REPORT_PS_ONLY) + "\f");
}

}  // namespace

void subroutine_reports(profile_tables& t) {
  ReportWriter& w = t.writer;
  if (!t.subroutines || (t.subroutines->root == nullptr && t.subroutines->errors == 0)) {
    w.print("\r\nNo instructions executed - No Subroutine report\r\n");
    return;
  }
  subroutine_tracking& s = *t.subroutines;
  if ((s.errors & TRACK_DIRECTIVE) != TRACK_DIRECTIVE) {
    if ((s.errors & TRACK_OVERFLOW) != 0)
      w.print("Note : Subroutine stack overflow occured during simulation (File %s, line %d, stack size is %d)\r\n\r\n",
              s.error_file.c_str(), s.error_line, TRACK_DEPTH - 1);
    else if ((s.errors & TRACK_UNDERFLOW) != 0)
      w.print("Note : Subroutine stack underflow occured during simulation (File %s, line %d)\r\n\r\n",
              s.error_file.c_str(), s.error_line);
  }
  if (s.errors != 0) {
    w.print("\r\nSubroutine Coverage Error(s) - No Subroutine report\r\n");
    return;
  }
  report_names(s);
  std::vector<routine*> list = s.live();
  std::stable_sort(list.begin(), list.end(), [](const routine* a, const routine* b) { return a->cycles > b->cycles; });
  profile_table(t, s, list);
  std::stable_sort(list.begin(), list.end(), [](const routine* a, const routine* b) {
    return strcasecmp(a->report_name.c_str(), b->report_name.c_str()) < 0;
  });
  call_graph_listing(t, list);
  std::stable_sort(list.begin(), list.end(),
                   [](const routine* a, const routine* b) { return a->cumulative > b->cumulative; });
  dependency_graph(t, list);
  dynamic_call_graph(t, s);
}
