// The text module: its state per context, the vtext class, the chain of
// blocks with their line tables, and recalculation.
//
// - The text (`text.cpp`): a chain of blocks, each with its characters and a table of line entries
//   (start offset, ascent, descent, start and end x), two entries after the last line, the second
//   the 0xFFFFFFFF marker; tables start at 4 entries and grow by 100. `_vtextAppendRun` takes a
//   caller's buffer as the next block and breaks nothing; one recalculation lays every block out. A
//   frozen text (mode 0x10) lays out nothing until `vtextThawUpdates`. The slots of edit records
//   refuse (Module/Unimplemented) until those arrive.
#include "fw/text/text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fw/core/cp1252.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/namedres.h"
#include "fw/text/observer.h"
#include "fw/text/rulers.h"
#include "fw/text/selection.h"
#include "fw/text/styleruns.h"
#include "fw/text/tags.h"
#include "fw/text/text_internal.h"
#include "fw/text/textstore.h"
#include "fw/text/walker.h"

namespace {

void** moduleSlot = nullptr;

// Process-wide: the invisible glyphs, the selection pool, the auto-indent
// scratch buffer and the module's interned names.
struct Shared {
  bool started = false;
  vimage* invisibles[4] = {};
  vpool* selections = nullptr;
  char* scratch = nullptr;
  std::size_t scratchSize = 0;
};
Shared shared;

constexpr const char* kNames[] = {
    "Mode",          "View",          "Styles",       "Rulers",       "StyleChanges", "StylePosition",
    "StyleIndex",    "RulerChanges",  "RulerLines",   "RulerIndex",   "FirstLineIndent", "LeftIndent",
    "RightIndent",   "Justification", "Ascent",       "Descent",      "Wrap",         "Tabs",
    "TabStop",       "TabType",       "Hidden",       "TextData",     "DefaultStyle", "DefaultRuler",
    "Ruler",         "Style Tags",    "Ruler Tags",   "Start",        "End",          "Size",
    "Before",        "After",         "Font",         "Color",        "Bold",         "Italic",
    "Underline",     "Invert",        "Strikethru",   "SpacingBefore", "SpacingAfter", "TabWidth",
    "Graphic",       "Attributes",    "Left",         "Center",       "Right",        "Full",
};
static_assert(std::size(kNames) == 48);

constexpr int kInvisibles = 4;
constexpr std::int32_t kFirstBuffer = 256;
constexpr std::int32_t kLineTableStart = 4, kLineTableGrowth = 100;

void exitModule() {
  for (vimage*& image : shared.invisibles)
    if (image) vimageDestroy(image), image = nullptr;
  if (shared.selections) vpoolDestroy(shared.selections), shared.selections = nullptr;
  vmemFree(shared.scratch);
  shared.scratch = nullptr;
  shared.started = false;
}

// The glyphs come from the "vtext" resource's "Invisibles" array; without
// it characters are measured as they are.
void loadInvisibles() {
  vresource module, array;
  if (!vapplicationFindNamedResource(vnameInternLiteral("vtext"), &module)) return;
  if (!vresourceTestGet(module, vnameInternLiteral("Invisibles"), &array)) return;
  std::int32_t n = std::min<std::int32_t>(vresourceCount(array), kInvisibles);
  for (std::int32_t i = 0; i < n; ++i) shared.invisibles[i] = vimageLoad(vresourceGetAt(array, i));
}

void startProcess() {
  if (shared.started) return;
  shared.started = true;
  for (const char* name : kNames) vnameInternLiteral(name);
  shared.selections = vpoolCreate(sizeof(vtextSelection));
  shared.scratch = static_cast<char*>(vmemAlloc(8192));
  shared.scratchSize = 8192;
  vsysAddExitHandler(exitModule);
  // A program without the framework's resources still lays text out.
  vexTry(loadInvisibles);
}

void exitContext() {
  auto* m = static_cast<vtextModule*>(*moduleSlot);
  if (!m) return;
  vmemFree(m->cache.entries);
  for (std::int32_t i = 0; i < m->scratchCount; ++i) vinstanceDestroy(m->scratch[i]);
  vmemFree(m->scratch);
  vinstanceDestroy(m->workingRuler);
  vinstanceDestroy(m->defaultStyle);
  vinstanceDestroy(m->defaultRuler);
  vtextRulerDestroyDefinitions(m->styleClass->definitions);
  vtextRulerDestroyDefinitions(m->rulerClass->definitions);
}

vtext* asText(vinstance* o) { return static_cast<vtext*>(o); }

void forgetLines(vtextBlock* block) {
  block->lines[0] = vtextLine{0, 0, 0, 0, 0};
  block->lines[1] = vtextLine{vtextLINE_END_MARKER, 0, 0, 0, 0};
  block->lineCount = 1;
}

// ---- The class's methods ----

void textInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  vtext* t = asText(self);
  std::memset(reinterpret_cast<char*>(t) + sizeof(vobject), 0, sizeof(vtext) - sizeof(vobject));
  t->lineCount = 1;
  t->nextTagSerial = 1;
  vtextBlock* block = vtextNewBlock(t, nullptr, static_cast<char*>(vmemAlloc(kFirstBuffer)), 0, kFirstBuffer);
  block->flag = 0;
  vtextForgetCache(t);
  vtextClassOf(t)->recalculate(t);
}

void dropFromLists(vtext* t) {
  vtextAttachments* a = t->attachments;
  if (!a) return;
  for (std::int16_t i = 0; i < a->rulerCount; ++i) {
    vtextRuler* r = a->rulers[i];
    r->owner = nullptr;
    r->index = -1;
    if (r == t->defaultRuler) t->defaultRuler = nullptr;
    if (r->flags & vtextRulerOWNED) vinstanceDestroy(r);
  }
  for (std::int16_t i = 0; i < a->styleCount; ++i) {
    vtextStyle* s = a->styles[i];
    s->owner = nullptr;
    s->index = -1;
    if (s == t->currentStyle) t->currentStyle = nullptr;  // goes once, here
    if (s->flags & vtextStyleOWNED) vinstanceDestroy(s);
  }
  vmemFree(a->rulers);
  vmemFree(a->styles);
  if (vtextTag* last = vtextGetLastStyleRun(); last && a->styleTags && vpoolContains(a->styleTags, last))
    _vtextForgetStyleRun(last);
  if (a->styleTags) vpoolDestroy(a->styleTags);
  if (a->rulerTags) vpoolDestroy(a->rulerTags);
  vmemFree(a);
  t->attachments = nullptr;
}

void textDestroy(vinstance* self) {
  vtext* t = asText(self);
  vtextClassOf(t)->notifyDestroy(t);
  for (std::uint16_t i = 0; i < t->observerCount; ++i) {
    vtextObserver* o = t->observers[i];
    if (!o) continue;
    t->observers[i] = nullptr;
    o->text = nullptr;
    if (o->flags & vtextObserverOWNED) vinstanceDestroy(o);
  }
  vtextFreeBlocks(t);
  if (t->pendingChanges) vinstanceDestroy(t->pendingChanges);
  for (std::uint16_t i = 0; i < t->selectionCount; ++i)
    if (t->selections[i]) vpoolFree(shared.selections, t->selections[i]);
  vmemFree(t->selections);
  vmemFree(t->observers);
  dropFromLists(t);
  if (t->defaultRuler && (t->defaultRuler->flags & vtextRulerOWNED)) vinstanceDestroy(t->defaultRuler);
  if (t->currentStyle && (t->currentStyle->flags & vtextStyleOWNED)) vinstanceDestroy(t->currentStyle);
  vtextForgetCache(t);
  vobjectGetDefaultClass()->destroy(self);
}

// The characters and modes go over whole, laid out again once.
void textCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  vtext *from = asText(source), *to = asText(destination);
  if (from == to) return;
  vtextFreeBlocks(to);
  std::int32_t capacity = std::max(kFirstBuffer, from->length + 512);
  char* buffer = static_cast<char*>(vmemAlloc(std::size_t(capacity)));
  std::int32_t used = vtextGetChars(from, 0, from->length, buffer, capacity);
  vtextNewBlock(to, nullptr, buffer, used, capacity);
  to->length = used;
  to->client = from->client;
  to->view = from->view;
  if (from->attachments && from->attachments->lineEnd != 10) vtextSetLineEnd(to, from->attachments->lineEnd);
  to->mode = std::uint8_t(from->mode | vtextMODE_FROZEN);
  _vtextCopyStyles(from, to);
  vtextForgetCache(to);
  if (from->mode & vtextMODE_FROZEN) return;
  vtextThawUpdates(to);
}

void textCopyInit(vobject* source, vobject* destination) {
  vtextClassOf(asText(source))->init(destination);
  vtextClassOf(asText(source))->copy(source, destination);
}

void prepareRuler(vtext*, vtextRuler* ruler) {
  vclassRec<vtextRulerClassRec>(ruler)->prepare(ruler);
  ruler->flags &= ~vtextRulerCHANGED;
}

void prepareStyle(vtext*, vtextStyle* style) { vclassRec<vtextStyleClassRec>(style)->prepare(style); }

void recalculate(vtext* t) {
  if (t->mode & vtextMODE_FROZEN) return;
  vtextModule* m = _vtextModule();
  vtextForgetCache(t);
  vtextClassRec* c = vtextClassOf(t);
  vtextStyle* style = t->currentStyle ? t->currentStyle : m->defaultStyle;
  if (style->flags & vtextStyleKEPT) c->prepareStyle(t, style);
  vtextRuler* ruler = t->defaultRuler ? t->defaultRuler : m->defaultRuler;
  if (ruler->flags & vtextRulerCHANGED) c->prepareRuler(t, ruler);
  // The text's applied rulers and styles, each once.
  if (vtextAttachments* a = t->attachments) {
    for (std::int16_t i = 0; i < a->rulerCount; ++i)
      if ((a->rulers[i]->flags & (vtextRulerAPPLIED | vtextRulerCHANGED)) == (vtextRulerAPPLIED | vtextRulerCHANGED))
        c->prepareRuler(t, a->rulers[i]);
    for (std::int16_t i = 0; i < a->styleCount; ++i)
      if ((a->styles[i]->flags & (vtextStyleAPPLIED | vtextStyleKEPT)) == (vtextStyleAPPLIED | vtextStyleKEPT))
        c->prepareStyle(t, a->styles[i]);
  }
  std::int32_t position = 0, line = 1;
  for (vtextBlock* b = t->first; b; b = b->next) {
    b->start = position;
    b->firstLine = line;
    vtextLayoutBlock(t, b);
    position += b->used;
    line += b->lineCount;
  }
  t->length = position;
  t->lineCount = line - 1;
  c->notifyRecalculated(t);
}

// Letters of Windows-1252, and its digits of the word set.
constexpr auto kWordChars = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[std::size_t(c)] = cp1252::lower[std::size_t(c)] != cp1252::upper[std::size_t(c)];
  for (int c : {0x83, 0x8E, 0x9E, 0xAA, 0xB5, 0xBA, 0xDF}) t[std::size_t(c)] = true;
  for (int c = '0'; c <= '9'; ++c) t[std::size_t(c)] = true;
  for (int c : {0xB2, 0xB3, 0xB9, 0xBC, 0xBD, 0xBE}) t[std::size_t(c)] = true;
  return t;
}();
constexpr auto kBlanks = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c <= 32; ++c) t[std::size_t(c)] = true;
  for (int c : {127, 128, 129, 141, 142, 143, 144, 157, 158}) t[std::size_t(c)] = true;
  return t;
}();

int isWordChar(vtext*, const char* c) { return vtextIsWordCharacter(static_cast<unsigned char>(*c)); }
int isNonBlank(vtext*, const char* c, std::int32_t) { return !vtextIsBlankCharacter(static_cast<unsigned char>(*c)); }

// Slots whose operations come with the selection, editing, tag and style
// run code; until then they refuse.
template <class... A>
void notYet(vtext*, A...) {
  vexGenerateMessage(&vexModuleUnimplementedClass, "Unimplemented");
}

vtextClassRec* buildTextClass() {
  auto* c = vclassSpawnOf<vtextClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vtext"));
  c->instanceSize = sizeof(vtext);
  c->init = textInit;
  c->destroy = textDestroy;
  c->copy = textCopy;
  c->copyInit = textCopyInit;
  c->store = _vtextStore;
  c->loadInit = _vtextLoadInit;
  c->makeEdit = notYet;
  c->applyEdit = notYet;
  c->processLines = _vtextProcessLines;
  _vtextFillEditSlots(c);
  _vtextFillSelectionSlots(c);
  c->recalculate = recalculate;
  c->addTag = _vtextAddTag;
  c->removeTag = vtextRemoveTag;
  c->adjustTag = _vtextAdjustTag;
  _vtextFillRulerSlots(c);
  c->prepareRuler = prepareRuler;
  c->prepareStyle = prepareStyle;
  _vtextFillStyleRunSlots(c);
  _vtextFillNotifications(c);
  c->isWordChar = isWordChar;
  c->isNonBlank = isNonBlank;
  c->hook = [](vtext*) { return 0; };
  c->layoutLine = _vtextLayoutLine;
  return c;
}

vtextModule* startContext() {
  startProcess();
  auto* m = static_cast<vtextModule*>(vmoduleBindSlot(moduleSlot, sizeof(vtextModule)));
  *m = vtextModule{};
  m->typing = 0;  // a column selection deleted before any typing goes by column
  m->cache.capacity = 1024;
  m->cache.entries = static_cast<vtextColumn*>(vmemAlloc((1024 + vtextCACHE_SPARE) * sizeof(vtextColumn)));
  m->styleClass = _vtextBuildStyleClass();
  m->rulerClass = _vtextBuildRulerClass();
  m->observerClass = _vtextBuildObserverClass();
  m->textClass = buildTextClass();
  m->scratchCount = 4;
  m->scratch = static_cast<vtextStyle**>(vmemAlloc(4 * sizeof(vtextStyle*)));
  for (auto** s = m->scratch; s != m->scratch + 4; ++s) *s = vtextStyleCreate();
  m->workingRuler = vtextRulerCreate();
  m->defaultRuler = vtextRulerCreate();
  // An empty justification word reads as absent.
  vtextRulerPutAttr(m->rulerClass->definitions, &m->defaultRuler->attributes, vtextName("Justification"), nullptr, 0);
  vtextRulerPutAttr(m->rulerClass->definitions, &m->defaultRuler->attributes, vtextName("TabWidth"), nullptr,
                    0x300000);
  m->defaultStyle = vtextStyleCreate();
  vexTry([&] {
    vfont* font = vfontFindScribe(vscribeLiteral(""));
    vtextRulerPutAttr(m->styleClass->definitions, &m->defaultStyle->attributes, vname_Font, font, 0);
  });
  // Exits run newest first: the module's instances go before the classes
  // this context made for them.
  vmoduleAddContextExitProc(exitContext);
  return m;
}

long hookLength(vinstance* text) { return asText(text)->length; }
vtextBlock* hookFirst(vinstance* text) { return asText(text)->first; }
long hookCount(vtextBlock* block) { return block->used; }
long hookStart(vtextBlock* block) { return block->start; }
const char* hookChars(vtextBlock* block) { return block->chars; }
vtextBlock* hookNext(vtextBlock* block) { return block->next; }
vtextBlock* hookPrevious(vtextBlock* block) { return block->previous; }

}  // namespace

vtextModule* _vtextModule() {
  if (auto* bound = vmoduleState<vtextModule>(moduleSlot)) return bound;
  return startContext();
}

vname vtextName(const char* text) { return vnameInternLiteral(text); }

vpool* _vtextSelectionPool() {
  _vtextModule();
  return shared.selections;
}

char* _vtextScratch(std::size_t size) {
  _vtextModule();
  if (size > shared.scratchSize) {
    shared.scratch = static_cast<char*>(vmemRealloc(shared.scratch, size));
    shared.scratchSize = size;
  }
  return shared.scratch;
}
vtextClassRec* vtextGetDefaultClass() { return _vtextModule()->textClass; }
vtextStyleClassRec* vtextStyleGetDefaultClass() { return _vtextModule()->styleClass; }
vtextRulerClassRec* vtextGetRulerClass() { return _vtextModule()->rulerClass; }
vtextObserverClassRec* vtextObserverGetDefaultClass() { return _vtextModule()->observerClass; }
void vtextInitAllClasses() { _vtextModule(); }
vtextStyle* vtextStyleGetDefault() { return _vtextModule()->defaultStyle; }
vtextRuler* vtextGetDefaultRuler() { return _vtextModule()->defaultRuler; }
vtext* vtextCreate() { return asText(vinstanceCreate(vtextGetDefaultClass())); }
void vtextDestroy(vtext* text) { vinstanceDestroy(text); }

vobject* vtextCloneObject(vobject* object) {
  auto* copy = static_cast<vobject*>(vinstanceCreate(object->cls));
  vclassRec<vobjectClassRec>(object)->copy(object, copy);
  return copy;
}

int vtextClampPosition(const vtext* text, std::int32_t* position) {
  std::int32_t clamped = std::clamp(*position, 0, text->length);
  if (clamped == *position) return 0;
  *position = clamped;
  return 1;
}

void vtextSetView(vtext* text, std::uint8_t view) {
  text->view = view;
  vtextClassOf(text)->recalculate(text);
  vtextClassOf(text)->notifyStyleChanged(text, nullptr, 0, 0);
}

void vtextThawUpdates(vtext* text) {
  text->mode &= std::uint8_t(~vtextMODE_FROZEN);
  vtextClassOf(text)->recalculate(text);
}

int vtextGetLineEnd(const vtext* text) { return text->attachments ? text->attachments->lineEnd : 10; }

void vtextSetLineEnd(vtext* text, int c) {
  _vtextEnsureAttachments(text);
  text->attachments->lineEnd = c;
  vtextForgetCache(text);
}

std::int32_t vtextGetChars(const vtext* text, std::int32_t start, std::int32_t end, char* buffer, std::int32_t size) {
  std::int32_t copied = 0;
  for (vtextBlock* b = text->first; b && copied < size; b = b->next) {
    std::int32_t from = std::max(start, b->start), to = std::min(end, b->start + b->used);
    if (from >= to) continue;
    std::int32_t n = std::min(to - from, size - copied);
    std::memcpy(buffer + copied, b->chars + (from - b->start), std::size_t(n));
    copied += n;
  }
  return copied;
}

// ---- Blocks ----

namespace {
// The block the last append made or filled: a text built by appends finds
// its last block from there, not by a walk over the whole chain.
// Cleared when that block is freed.
vtextBlock* appendedBlock = nullptr;
}  // namespace

void _vtextAppendRun(vtext* text, char* buffer, std::int32_t used, std::int32_t capacity) {
  // Positions must fit the 28 bits of a tag's offsets.
  if (std::int64_t(text->length) + used > vtextTagMAX_POSITION)
    _vexGenerate(&vexArgRangeClass, vexSetMessage, "Range", vexEnd);
  vtextBlock* last = appendedBlock != nullptr && appendedBlock->text == text ? appendedBlock : text->first;
  while (last && last->next) last = last->next;
  if (last && last->used == 0) {
    vmemFree(last->chars);
    last->chars = buffer;
    last->used = used;
    last->capacity = capacity;
    appendedBlock = last;
  } else {
    appendedBlock = vtextNewBlock(text, last, buffer, used, capacity);
  }
  text->length += used;
  vtextForgetCache(text);
}

vtextBlock* vtextNewBlock(vtext* text, vtextBlock* after, char* buffer, std::int32_t used, std::int32_t capacity) {
  auto* b = static_cast<vtextBlock*>(vmemAllocClear(sizeof(vtextBlock)));
  b->used = used;
  b->capacity = capacity;
  b->chars = buffer;
  b->text = text;
  b->firstLine = 1;
  b->lineCapacity = kLineTableStart;
  b->lines = static_cast<vtextLine*>(vmemAlloc(kLineTableStart * sizeof(vtextLine)));
  forgetLines(b);
  if (after) {
    b->start = after->start + after->used;
    b->previous = after;
    b->next = after->next;
    if (after->next) after->next->previous = b;
    after->next = b;
  } else {
    b->next = text->first;
    if (text->first) text->first->previous = b;
    text->first = b;
  }
  return b;
}

void vtextFreeBlock(vtextBlock* block) {
  if (block == appendedBlock) appendedBlock = nullptr;
  vmemFree(block->chars);
  if (block->tagCount > 0) vtextTrimContinuations(block);
  vmemFree(block->tags);
  vmemFree(block->lines);
  vmemFree(block);
}

void vtextFreeBlocks(vtext* text) {
  for (vtextBlock* b = text->first; b;) {
    vtextBlock* next = b->next;
    vtextFreeBlock(b);
    b = next;
  }
  text->first = nullptr;
}

void _vtextEnsureAttachments(vtext* text) {
  if (text->attachments) return;
  auto* a = static_cast<vtextAttachments*>(vmemAllocClear(sizeof(vtextAttachments)));
  // A run is a tag record followed by the style or ruler it applies.
  std::size_t run = sizeof(vtextTag) + sizeof(void*);
  a->styleTags = vpoolCreate(run);
  a->rulerTags = vpoolCreate(run);
  a->lineEnd = 10;
  text->attachments = a;
}

void vtextEnsureSpace(vtextBlock* block) {
  if (block->capacity - block->used >= 256) return;
  block->capacity += 512;
  block->chars = static_cast<char*>(vmemRealloc(block->chars, std::size_t(block->capacity)));
}

int vtextLineEndLength(const char* chars, std::int32_t count) {
  if (count <= 0 || (chars[0] != '\r' && chars[0] != '\n')) return 0;
  if (count > 1 && (chars[1] == '\r' || chars[1] == '\n') && chars[1] != chars[0]) return 2;
  return 1;
}

vtextBlock* vtextFindBlock(const vtext* text, std::int32_t position) {
  vtextBlock* b = text->first;
  while (b->next && position > b->start + b->used) b = b->next;
  return b;
}

void _vtextJoinBlocks(vtext* text, std::int32_t start, std::int32_t end) {
  vtextBlock* first = vtextFindBlock(text, start);
  vtextBlock* last = vtextFindBlock(text, end);
  if (first == last) return;
  vtextBlock* stop = last->next;
  // Tags anchored in the blocks that go come back on the joined one.
  vtextTag** tags = nullptr;
  std::int32_t tagCount = _vtextDetachTags(text, first, last, false, &tags);
  std::int32_t total = 0;
  for (vtextBlock* b = first; b != stop; b = b->next) total += b->used;
  if (total > first->capacity) {
    first->capacity = std::max(8192, total + 512);
    first->chars = static_cast<char*>(vmemRealloc(first->chars, std::size_t(first->capacity)));
  }
  while (first->next != stop) {
    vtextBlock* b = first->next;
    std::memcpy(first->chars + first->used, b->chars, std::size_t(b->used));
    first->used += b->used;
    first->lineCount += b->lineCount;  // re-counted by the update below
    first->next = b->next;
    if (b->next) b->next->previous = first;
    vtextFreeBlock(b);
  }
  for (std::int32_t i = 0; i < tagCount; ++i) _vtextReattachTag(text, tags[i]);
  vmemFree(tags);
  _vtextUpdateRange(text, first->start, first->start);
}

void vtextLayoutBlock(vtext* text, vtextBlock* block) {
  vtextClassRec* c = vtextClassOf(text);
  int lineEnd = vtextGetLineEnd(text);
  bool lastBlock = block->next == nullptr;
  std::int32_t n = 0, offset = 0;
  for (;;) {
    if (block->lineCapacity - n < 3) {
      block->lineCapacity += kLineTableGrowth;
      block->lines = static_cast<vtextLine*>(vmemRealloc(block->lines, std::size_t(block->lineCapacity) * sizeof(vtextLine)));
    }
    std::int32_t count = block->used - offset;
    if (count <= 0) {
      // A last empty line after a final line end, or the empty block's one line.
      bool endsWithLineEnd = block->used > 0 && static_cast<unsigned char>(block->chars[block->used - 1]) == lineEnd;
      if (n != 0 && !(lastBlock && endsWithLineEnd)) break;
      count = 0;
    }
    vtextColumn* columns = c->layoutLine(text, nullptr, block->chars + offset, &count, block->start + offset, offset != 0);
    vtextLine& line = block->lines[n++];
    line.start = std::uint32_t(offset);
    vtextGetLayoutMetrics(&line.ascent, &line.descent, &line.endX);
    line.startX = columns[0].x;
    if (count == 0) break;
    offset += count;
  }
  block->lines[n] = vtextLine{std::uint32_t(block->used), 0, 0, 0, 0};
  block->lines[n + 1] = vtextLine{vtextLINE_END_MARKER, 0, 0, 0, 0};
  block->lineCount = n;
}

void _vtextUpdateRange(vtext* text, std::int32_t start, std::int32_t end) {
  if (text->mode & vtextMODE_FROZEN) return;
  vtextForgetCache(text);
  vtextBlock* first = vtextFindBlock(text, start);
  vtextBlock* last = vtextFindBlock(text, end);
  std::int32_t delta = 0;
  for (vtextBlock* b = first;; b = b->next) {
    b->firstLine += delta;
    std::int32_t before = b->lineCount;
    vtextLayoutBlock(text, b);
    delta += b->lineCount - before;
    if (b == last) break;
  }
  for (vtextBlock* b = last->next; b; b = b->next) b->firstLine += delta;
  text->lineCount += delta;
}

void _vtextRelayoutRange(vtext* text, std::int32_t start, std::int32_t end) {
  if (text->mode & vtextMODE_FROZEN) return;
  vtextBlock* b = vtextFindBlock(text, start);
  if (b != vtextFindBlock(text, end) || b->lineCount < 2) return _vtextUpdateRange(text, start, end);
  vtextForgetCache(text);
  vtextClassRec* c = vtextClassOf(text);
  const auto from = std::uint32_t(start - b->start), to = std::uint32_t(end - b->start);
  const std::int32_t n = b->lineCount;
  // The line before the one holding start may take a word back.
  std::int32_t k = std::int32_t(std::upper_bound(b->lines, b->lines + n, from,
                                                 [](std::uint32_t o, const vtextLine& l) { return o < l.start; }) -
                                b->lines) - 1;
  k = std::max(0, k - 1);
  std::vector<vtextLine> fresh;
  std::uint32_t offset = b->lines[k].start;
  std::int32_t j = k;  // the first old line not yet passed
  for (;;) {
    std::int32_t count = b->used - std::int32_t(offset);
    // The block's end has its own rules for an empty last line.
    if (count <= 0) return _vtextUpdateRange(text, start, end);
    vtextColumn* columns = c->layoutLine(text, nullptr, b->chars + offset, &count, b->start + std::int32_t(offset),
                                         offset != 0);
    if (count <= 0) return _vtextUpdateRange(text, start, end);
    vtextLine line{offset, 0, 0, columns[0].x, 0};
    vtextGetLayoutMetrics(&line.ascent, &line.descent, &line.endX);
    fresh.push_back(line);
    offset += std::uint32_t(count);
    while (j < n && b->lines[j].start < offset) ++j;
    // Past the range, breaking where the old table broke: the rest stands.
    if (offset > to && j < n && b->lines[j].start == offset) break;
  }
  const std::int32_t delta = std::int32_t(fresh.size()) - (j - k);
  if (n + delta + 2 > b->lineCapacity) {
    b->lineCapacity = n + delta + 2 + kLineTableGrowth;
    b->lines = static_cast<vtextLine*>(vmemRealloc(b->lines, std::size_t(b->lineCapacity) * sizeof(vtextLine)));
  }
  std::memmove(b->lines + j + delta, b->lines + j, std::size_t(n + 2 - j) * sizeof(vtextLine));
  std::copy(fresh.begin(), fresh.end(), b->lines + k);
  b->lineCount += delta;
  for (vtextBlock* after = b->next; after; after = after->next) after->firstLine += delta;
  text->lineCount += delta;
}

void _vtextFindLineEnds(vtext* text, std::int32_t position, std::int32_t* lineStart, std::int32_t* lineEnd) {
  vtextBlock* b = vtextFindBlock(text, position);
  const auto L = static_cast<char>(vtextGetLineEnd(text));
  std::int32_t offset = position - b->start;
  if (lineStart) {
    std::int32_t i = offset;
    while (i > 0 && b->chars[i - 1] != L) --i;
    *lineStart = b->start + i;
  }
  if (lineEnd) {
    *lineEnd = text->length;
    for (vtextBlock* k = b; k; k = k->next, offset = 0) {
      const char* hit = static_cast<const char*>(std::memchr(k->chars + offset, L, std::size_t(k->used - offset)));
      if (hit) {
        *lineEnd = k->start + std::int32_t(hit - k->chars);
        break;
      }
    }
  }
}

void _vtextScanLineEnd(const char* chars, std::int32_t* count, int backwards) {
  if (backwards) {
    while (*count > 0 && chars[*count - 1] != '\n') --*count;
    return;
  }
  const char* hit = static_cast<const char*>(std::memchr(chars, '\n', std::size_t(std::max(*count, 0))));
  if (hit) *count = std::int32_t(hit - chars) + 1;
}

void _vtextScanLineEnd16(const char* chars, std::int16_t* count, int backwards) {
  std::int32_t n = *count;
  _vtextScanLineEnd(chars, &n, backwards);
  *count = std::int16_t(n);
}

void vtextRulerChanged(vtext* text, vtextRuler* ruler) {
  if (ruler) {
    if (ruler->flags & vtextRulerCHANGED) return;
    if (!(ruler->flags & vtextRulerAPPLIED) && ruler != text->defaultRuler) return;
  }
  vtextClassOf(text)->recalculate(text);
  vtextClassOf(text)->notifyRulerChanged(text, ruler, 0, 0);
}

void _vtextNotifyStyle(vtext* text, vtextStyle* style) {
  if (style) {
    if (!(style->flags & vtextStyleAPPLIED) && style != text->currentStyle) return;
    if (style->flags & vtextStyleKEPT) return;
  }
  vtextClassOf(text)->recalculate(text);
  vtextClassOf(text)->notifyStyleChanged(text, style, -1, -1);
}

int vtextIsWordCharacter(unsigned char c) { return kWordChars[c]; }
int vtextIsBlankCharacter(unsigned char c) { return kBlanks[c]; }

vimage* vtextInvisibleGlyph(int c) {
  _vtextModule();
  switch (c) {
    case 10: return shared.invisibles[0];
    case 9: return shared.invisibles[1];
    case 32: return shared.invisibles[3];
    default: break;
  }
  auto u = static_cast<unsigned char>(c);
  // Controls and the codes Windows-1252 leaves undefined have no shape.
  bool unprintable = u < 32 || u == 127 || u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D;
  return unprintable ? shared.invisibles[2] : nullptr;
}

vimage* vtextInvisibleGlyphForFont(int c, vfont* font) {
  if (vimage* image = vtextInvisibleGlyph(c)) return image;
  char ch = static_cast<char>(c);
  vfixed dx = 0, dy = 0;
  vfontGetDriver()->advance(font, &ch, 1, &dx, &dy);
  return dx == 0 ? shared.invisibles[2] : nullptr;
}

void vtextFillWindowHooks(vwindowHooks* hooks) {
  hooks->textLength = hookLength;
  hooks->textFirstBlock = hookFirst;
  hooks->textBlockCount = hookCount;
  hooks->textBlockStart = hookStart;
  hooks->textBlockChars = hookChars;
  hooks->textBlockNext = hookNext;
  hooks->textBlockPrevious = hookPrevious;
  hooks->textApplyStyle = [](vinstance* text, const void* style, long start, long end) {
    vtextApplyStyle(static_cast<vtext*>(text), std::int32_t(start), std::int32_t(end),
                    static_cast<vtextStyle*>(const_cast<void*>(style)));
  };
}

void vtextInstallStartup() {
  vmoduleInstallStartup("vtextGetDefaultClass", [] { vtextGetDefaultClass(); });
}
