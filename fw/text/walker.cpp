#include "fw/text/walker.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/mem.h"
#include "fw/gui/graphics/font.h"
#include "fw/text/rulers.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/text_internal.h"

namespace {

constexpr std::int32_t kFirstBuffer = 8192, kGrowth = 1024;

bool walking = false;

// The callbacks' set-up state: one walk at a time.
struct {
  const char* chars;
  std::int32_t length, taken;
} paste;
struct {
  char* buffer;
  std::int32_t size, count;
} sink;
struct {
  vtextStyle* style;
  bool remove;
  std::int32_t removed;
} applier;

std::int32_t room(const vtextWalk* w) { return w->buffer ? std::int32_t(w->end - w->write) : 0; }

void put(vtextWalk* w, const char* chars, std::int32_t n) {
  if (!w->buffer || n <= 0) return;
  while (room(w) < n) _vtextGrowWalkBuffer(w, nullptr);
  std::memcpy(w->write, chars, std::size_t(n));
  w->write += n;
}

// One edit replacing [start, end), none when it would change nothing.
// Writes chars over [start, start + n) when no line end comes or goes; the
// lines' looks are laid out again and announced as a change of style.
bool overwrite(vtext* t, std::int32_t start, const char* chars, const char* old, std::int32_t n) {
  const char lineEnd = char(vtextGetLineEnd(t));
  for (std::int32_t i = 0; i < n; ++i)
    if (old[i] != chars[i] && (old[i] == lineEnd || chars[i] == lineEnd)) return false;
  vtextBlock* b = vtextFindBlock(t, start);
  for (std::int32_t i = 0; i < n && b; ++i) {
    while (b && start + i >= b->start + b->used) b = b->next;
    if (b) b->chars[start + i - b->start] = chars[i];
  }
  _vtextRelayoutRange(t, start, start + n);
  vtextClassOf(t)->notifyStyleChanged(t, nullptr, start, start + n);
  return true;
}

void replace(vtext* t, std::int32_t start, std::int32_t end, const char* chars, std::int32_t n, bool inPlace) {
  if (end - start == n) {
    std::vector<char> old(std::size_t(n) + 1);
    if (vtextGetChars(t, start, end, old.data(), n) == n) {
      if (std::memcmp(old.data(), chars, std::size_t(n)) == 0) return;
      if (inPlace && overwrite(t, start, chars, old.data(), n)) return;
    }
  }
  vtextSelection temp;
  vtextInitSelection(t, &temp);
  vtextClassOf(t)->setSelectionRange(t, &temp, start, end);
  vtextClassOf(t)->insertText(t, &temp, chars, n);
}

// The walk's module state goes back to idle however the walk ends.
struct Running {
  vtextWalk* walk;
  explicit Running(vtextWalk* w) : walk(w) {
    if (walking) _vexGenerate(&vexModuleStateClass, vexSetMessage, "The line walker is already running.\n", vexEnd);
    walking = true;
  }
  ~Running() {
    walking = false;
    vmemFree(walk->buffer);
  }
};

std::int32_t lineEndOf(vtext* t, std::int32_t line) {
  return line < t->lineCount ? vtextGetLineStart(t, line + 1) : t->length;
}

// Tab options of the walk's option word.
enum : std::uintptr_t { kLeadingOnly = 1, kNoQuotes = 2, kNoSpecialRuns = 8 };

vfixed spaceWidth(vtextStyle* style) {
  vfixed dx = 0, dy = 0;
  vfontGetDriver()->advance(vtextStyleGetFont(style), " ", 1, &dx, &dy);
  return dx;
}

// The laid-out x of each character of a line and the width of a space in
// the style in effect there; the column cache is gone by the next layout.
struct LineMeasure {
  std::vector<vtextX> x;
  std::vector<vfixed> space;
  vtextStyle* firstStyle = nullptr;
  void measure(vtext* t, std::int32_t line) {
    std::int32_t count = 0, start = 0;
    vtextColumn* e = _vtextLayLine(t, line, &count, &start);
    x.assign(std::size_t(count) + 1, 0);
    space.assign(std::size_t(count) + 1, 0);
    vfixed width = 0;
    for (std::int32_t i = 0; e && i <= count; ++i) {
      if (e[i].style) {
        width = spaceWidth(e[i].style);
        if (!firstStyle) firstStyle = e[i].style;
      }
      x[std::size_t(i)] = e[i].x;
      space[std::size_t(i)] = width;
    }
  }
};

// Scanning state a tab may be read in: quotes and the first non-blank.
struct TabScan {
  vtextWalk* walk;
  std::uintptr_t options;
  bool seenText = false;
  // Whether the character at hand may change: tabs or spaces outside quotes.
  bool open(char c) {
    bool was = !walk->insideQuotes && !walk->specialRun && !((options & kLeadingOnly) && seenText);
    if (!(options & kNoQuotes) && (c == '\'' || c == '"')) walk->insideQuotes = !walk->insideQuotes;
    // The text model knows no special runs: its character-class hook answers none.
    if (!(options & kNoSpecialRuns)) walk->specialRun = 0;
    if (c != ' ' && c != '\t') seenText = true;
    return was;
  }
};

// The tab stops of the walked line's ruler.
struct TabStops {
  vtextRuler* merged = nullptr;
  const vtextRuler* ruler = nullptr;
  vfixed width = 0x300000;
  TabStops(vtext* t, std::int32_t line) {
    merged = vtextGetLineRuler(t, line);
    ruler = merged ? merged : t->defaultRuler ? t->defaultRuler : vtextGetDefaultRuler();
    for (const vtextRuler* r : {static_cast<const vtextRuler*>(merged), static_cast<const vtextRuler*>(t->defaultRuler),
                                static_cast<const vtextRuler*>(vtextGetDefaultRuler())}) {
      if (!r) continue;
      std::uintptr_t w = _vtextRulerLookupAttr(&r->attributes, vtextName("TabWidth"));
      if (w == vtextAttrABSENT) continue;
      if (vfixed(std::intptr_t(w)) > 0) width = vfixed(std::intptr_t(w));
      break;
    }
  }
  ~TabStops() {
    if (merged) vinstanceDestroy(merged);
  }
  TabStops(const TabStops&) = delete;
  TabStops& operator=(const TabStops&) = delete;
  vtextX next(vtextX x) const {
    if (ruler->tabCount > 0 && x < ruler->lastTab)
      for (std::int16_t i = 0; i < ruler->tabCount; ++i)
        if (ruler->tabs[i].position > x) return ruler->tabs[i].position;
    return (x / width + 1) * width;
  }
};

}  // namespace

std::int32_t _vtextExpandTabs(vtextWalk* walk, const char* piece, std::int32_t length, std::string* out,
                              std::int32_t column, std::uintptr_t options) {
  LineMeasure m;
  m.measure(walk->text, walk->line);
  TabScan scan{walk, options};
  std::int32_t added = 0;
  for (std::int32_t i = 0; i < length; ++i) {
    const char c = piece[i];
    const bool open = scan.open(c);
    if (c != '\t' || !open) {
      out->push_back(c);
      continue;
    }
    vtextX width = 0;
    vfixed space = 0;
    if (auto at = std::size_t(column + i); at + 1 < m.x.size()) {
      width = m.x[at + 1] - m.x[at];
      space = m.space[at];
    }
    // A tab narrower than a space still keeps its words apart.
    std::int32_t n = space > 0 ? std::int32_t(std::max<vtextX>(1, width / space)) : 1;
    out->append(std::size_t(n), ' ');
    added += n - 1;
  }
  return added;
}

std::int32_t _vtextCompressTabs(vtextWalk* walk, char* output, std::int32_t length, std::int32_t column,
                                std::uintptr_t options) {
  LineMeasure m;
  m.measure(walk->text, walk->line);
  TabStops stops(walk->text, walk->line);
  vtextStyle* style = m.firstStyle ? m.firstStyle : vtextStyleGetDefault();
  vfont* font = vtextStyleGetFont(style);
  const vfixed space = spaceWidth(style);
  vtextX x = m.x.empty() ? 0 : m.x[std::size_t(std::clamp<std::int32_t>(column, 0, std::int32_t(m.x.size()) - 1))];
  TabScan scan{walk, options};
  std::int32_t write = 0, removed = 0;
  for (std::int32_t i = 0; i < length;) {
    const char c = output[i];
    const bool open = scan.open(c);
    if (c == ' ' && open && space > 0) {
      // A run of spaces that reaches a stop becomes one tab.
      vtextX stop = stops.next(x), at = x;
      std::int32_t j = i;
      while (j < length && output[j] == ' ' && at < stop) at += space, ++j;
      if (at == stop && j - i >= 2) {
        output[write++] = '\t';
        removed += j - i - 1;
      } else {
        std::fill_n(output + write, j - i, ' ');
        write += j - i;
      }
      x = at;
      i = j;
      continue;
    }
    if (c == '\t') {
      x = stops.next(x);
    } else {
      vfixed dx = 0, dy = 0;
      vfontGetDriver()->advance(font, &c, 1, &dx, &dy);
      x += dx;
    }
    output[write++] = c;
    ++i;
  }
  return removed;
}

void _vtextGrowWalkBuffer(vtextWalk* w, char** pointer) {
  std::ptrdiff_t at = w->write - w->buffer, size = w->end - w->buffer;
  std::ptrdiff_t mark = pointer ? *pointer - w->buffer : 0;
  w->buffer = static_cast<char*>(vmemRealloc(w->buffer, std::size_t(size + kGrowth)));
  w->write = w->buffer + at;
  w->end = w->buffer + size + kGrowth;
  if (pointer) *pointer = w->buffer + mark;
}

void _vtextProcessLines(vtext* t, vtextSelection* s, void* function, int flags, void* option) {
  const auto options = reinterpret_cast<std::uintptr_t>(option);
  auto callback = reinterpret_cast<vtextLineFunction>(function);
  vtextWalk w{};
  w.text = t;
  Running running(&w);
  const bool column = s && s->mode == vtextSEL_COLUMN && !(flags & vtextWALK_AS_PLAIN);
  const int lineEnd = vtextGetLineEnd(t);
  std::int32_t first = 1, lines = t->lineCount;
  const vtextSpan range = s ? _vtextClampedRange(t, s) : vtextSpan{0, t->length};
  if (s) {
    first = vtextGetLineOfPosition(t, range.start);
    lines = vtextGetLineOfPosition(t, range.end) - first + 1;
    char last = 0;
    if (!column && range.end > range.start && lines > 1 && vtextGetChars(t, range.end - 1, range.end, &last, 1) == 1 &&
        static_cast<unsigned char>(last) == unsigned(lineEnd))
      --lines;
  }
  if (flags & vtextWALK_ASK_LINES) {
    std::int32_t asked = lines;
    callback(nullptr, 0, nullptr, &asked, &w);
    lines = asked;
  }
  std::int32_t leftX = 0, rightX = 0;
  if (column) {
    leftX = vtextGetSelectionStartX(t, s);
    rightX = vtextGetSelectionEndX(t, s);
    if (rightX < leftX) std::swap(leftX, rightX);
  }
  w.leftX = leftX;
  if (!(flags & vtextWALK_READ_ONLY)) {
    w.buffer = w.write = static_cast<char*>(vmemAlloc(kFirstBuffer));
    w.end = w.buffer + kFirstBuffer;
  }
  std::int32_t pos = vtextGetLineStart(t, first);
  w.regionStart = pos;
  w.line = first;
  w.linesLeft = lines;
  bool stopped = false;
  std::vector<char> chars;
  std::string expanded;
  while (w.linesLeft > 0 && pos <= t->length) {
    const std::int32_t line = vtextGetLineOfPosition(t, pos);
    const std::int32_t next = std::max(pos, lineEndOf(t, line));
    chars.assign(std::size_t(next - pos) + 1, 0);
    vtextGetChars(t, pos, next, chars.data(), next - pos);
    const bool newline = next > pos && static_cast<unsigned char>(chars[std::size_t(next - pos - 1)]) == unsigned(lineEnd);
    const std::int32_t contentEnd = newline ? next - 1 : next;
    w.lastLine = w.linesLeft == 1 || next >= t->length;
    std::int32_t ps = pos, pe = contentEnd;
    if (column) {
      ps = std::min(contentEnd, vtextLineAndXToPosition(t, line, leftX, nullptr));
      pe = std::max(ps, std::min(contentEnd, vtextLineAndXToPosition(t, line, rightX, nullptr)));
    } else if (s && !(flags & vtextWALK_WHOLE_LINES)) {
      ps = std::clamp(range.start, pos, contentEnd);
      if (w.linesLeft == 1) pe = std::clamp(range.end, ps, contentEnd);
    }
    w.pieceStart = ps;
    w.pieceX = column ? vtextGetPositionColumnValue(t, ps) : 0;
    const std::ptrdiff_t mark = w.write - w.buffer;
    const char* piece = chars.data() + (ps - pos);
    std::int32_t length = pe - ps;
    put(&w, chars.data(), ps - pos);
    const std::ptrdiff_t pieceOut = w.write - w.buffer;
    w.insideQuotes = w.specialRun = 0;
    if (flags & vtextWALK_EXPAND_TABS) {
      // The expanded piece goes out first and is what the callback reads.
      expanded.clear();
      _vtextExpandTabs(&w, piece, length, &expanded, ps - pos, options);
      length = std::int32_t(expanded.size());
      piece = expanded.data();
      if (w.buffer) {
        put(&w, expanded.data(), length);
        piece = w.write - length;
      }
    }
    std::int16_t result = 0;
    if ((flags & vtextWALK_COPY_PIECE) && !(flags & vtextWALK_EXPAND_TABS) && w.buffer && room(&w) < length) {
      result = 1;
    } else {
      if ((flags & vtextWALK_COPY_PIECE) && !(flags & vtextWALK_EXPAND_TABS)) put(&w, piece, length);
      std::int32_t left = room(&w);
      result = callback(piece, length, w.write, &left, &w);
      if (result == 0 && w.buffer) w.write += std::clamp(left, 0, room(&w));
    }
    if (result == 0 && w.buffer && (flags & vtextWALK_CONVERT)) {
      w.insideQuotes = w.specialRun = 0;
      char* from = w.buffer + pieceOut;
      w.write -= _vtextCompressTabs(&w, from, std::int32_t(w.write - from), ps - pos, options);
    }
    if (result == 2 || result == -1) {
      stopped = true;
      break;
    }
    if (result == 1 && w.buffer) {
      w.write = w.buffer + mark;
      std::int32_t n = std::int32_t(w.write - w.buffer);
      if (n == 0) {
        // Nothing to hand over yet: only more room lets the line through.
        _vtextGrowWalkBuffer(&w, nullptr);
        continue;
      }
      replace(t, w.regionStart, pos, w.buffer, n, flags & vtextWALK_IN_PLACE);
      w.added += n;
      w.removed += pos - w.regionStart;
      pos = w.regionStart = w.regionStart + n;
      if (w.end - w.buffer > kFirstBuffer) {
        w.buffer = static_cast<char*>(vmemRealloc(w.buffer, kFirstBuffer));
        w.end = w.buffer + kFirstBuffer;
      }
      w.write = w.buffer;
      continue;
    }
    // A reading walk has nothing to flush: a full callback goes on.
    put(&w, chars.data() + (pe - pos), contentEnd - pe);
    if (newline) {
      char c = char(lineEnd);
      put(&w, &c, 1);
    }
    pos = next;
    --w.linesLeft;
    ++w.line;
    if (next >= t->length && !newline) break;
  }
  if (flags & vtextWALK_FINAL_NEWLINE) {
    char c = char(lineEnd);
    put(&w, &c, 1);
  }
  if (w.buffer && !stopped)
    replace(t, w.regionStart, std::min(pos, t->length), w.buffer, std::int32_t(w.write - w.buffer),
            flags & vtextWALK_IN_PLACE);
}

std::int16_t _vtextColumnPasteSource(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                                     vtextWalk* walk) {
  if (!piece) {
    if (length == 1) {
      paste.chars = static_cast<const char*>(output);
      paste.length = *room;
      paste.taken = 0;
      return 0;
    }
    std::int32_t count = std::int32_t(std::count(paste.chars, paste.chars + paste.length, '\n'));
    if (paste.length > 0 && paste.chars[paste.length - 1] != '\n') ++count;
    if (room) *room = count;
    return std::int16_t(std::min(count, 0x7FFF));
  }
  const char* from = paste.chars + paste.taken;
  const char* stop = std::find(from, paste.chars + paste.length, '\n');
  std::int32_t n = std::int32_t(stop - from);
  std::int32_t pad = std::max(0, (walk->leftX - walk->pieceX) / 8);
  if (*room < pad + n) return 1;
  auto* out = static_cast<char*>(output);
  std::memset(out, ' ', std::size_t(pad));
  std::memcpy(out + pad, from, std::size_t(n));
  paste.taken = std::min(paste.length, paste.taken + n + 1);
  *room = pad + n;
  return 0;
}

std::int16_t _vtextCopySink(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                            vtextWalk* walk) {
  if (!piece) {
    if (length != 0) return std::int16_t(std::min(sink.count, 0x7FFF));
    sink.buffer = static_cast<char*>(output);
    sink.size = *room;
    sink.count = 0;
    return 0;
  }
  *room = 0;
  std::int32_t n = std::min(std::int32_t(length), sink.size - sink.count);
  std::memcpy(sink.buffer + sink.count, piece, std::size_t(std::max(n, 0)));
  sink.count += std::max(n, 0);
  if (n < length) return 2;
  if (walk->lastLine || (length > 0 && piece[length - 1] == '\n')) return 0;
  if (sink.count == sink.size) return 2;
  sink.buffer[sink.count++] = '\n';
  return 0;
}

std::int16_t _vtextStyleApplier(const char* piece, std::intptr_t length, void* output, std::int32_t* room,
                                vtextWalk* walk) {
  if (!piece) {
    applier.style = static_cast<vtextStyle*>(output);
    applier.remove = length == 2;
    applier.removed = 0;
    return 0;
  }
  if (room) *room = 0;
  std::int32_t start = walk->pieceStart, end = start + std::int32_t(length);
  vtext* t = walk->text;
  if (!applier.remove) {
    vtextClassOf(t)->addStyleRun(t, start, end, applier.style);
  } else if (vexTry([&] { vtextClassOf(t)->removeStyleRuns(t, start, end, applier.style); })) {
    ++applier.removed;  // a piece without the style is passed over
  }
  return 0;
}

std::int32_t _vtextStyleApplierRemoved() { return applier.removed; }

std::int16_t _vtextColumnDelete(const char*, std::intptr_t, void*, std::int32_t* room, vtextWalk*) {
  *room = 0;
  return 0;
}

std::int32_t vtextCopyRange(vtext* text, std::int32_t start, std::int32_t end, char* buffer, std::int32_t size) {
  vtextClampPosition(text, &start);
  vtextClampPosition(text, &end);
  if (end <= start || size <= 0) return 0;
  return vtextGetChars(text, start, end, buffer, size);
}

std::int32_t vtextCopySelectionText(vtext* text, vtextSelection* selection, char* buffer, std::int32_t size) {
  if (selection->mode != vtextSEL_COLUMN) return vtextCopyRange(text, selection->start, selection->end, buffer, size);
  std::int32_t n = size;
  _vtextCopySink(nullptr, 0, buffer, &n, nullptr);
  vtextProcessLines(text, selection, _vtextCopySink, vtextWALK_READ_ONLY);
  return sink.count;
}
