// The text model: 8-bit characters in a chain of blocks, each with its
// table of display lines, measured by the line breaker; styles and rulers
// through attribute sets; observers told of every change.
//
// - Typing a character at the end of a 100,000-line text takes about 3.5 µs, an insertion in a
//   wrapped 10,000-character paragraph about 3 µs, a deletion over three blocks about 135 µs, a 1 MB
//   paste into a 4 MB text about 19 ms (`bench/text_edit.cpp`).
//
// - `vtextFillWindowHooks` fills the text-model group of the window hook record, so `vtextSearch`
//   walks real blocks; the "vtext" resource's `Invisibles` glyphs come through
//   `vapplicationFindNamedResource` (`window/namedres.h`: the application's file, then the
//   framework's).
#pragma once
#include <climits>
#include <cstdint>

#include "fw/core/class.h"
#include "fw/text/textstyle.h"
#include "fw/text/txtruler.h"

struct vimage;
struct vtextObserver;
struct vtextSelection;
struct vtextTag;
struct vwindowHooks;

enum : std::uint8_t {
  vtextMODE_AUTO_INDENT = 0x04,
  vtextMODE_OVERWRITE = 0x08,
  vtextMODE_FROZEN = 0x10,
  vtextMODE_SHOW_HIDDEN = 0x20,  // hidden characters keep their width
};
enum : std::uint8_t { vtextVIEW_NORMAL = 0, vtextVIEW_INVISIBLES = 1, vtextVIEW_HEX = 2 };

inline constexpr std::uint32_t vtextLINE_END_MARKER = 0xFFFFFFFFu;

// An x of a laid-out line in 16.16 fixed point, 64 bits wide: a line as
// long as a block holds stays exact however wide its characters are.
using vtextX = std::int64_t;

struct vtextLine {
  std::uint32_t start;  // offset from the block's first character
  std::uint16_t ascent, descent;
  vtextX startX, endX;
};

struct vtext;

struct vtextBlock {
  std::int32_t used;
  std::int32_t lineCount;
  std::int32_t start;      // text position of the first character
  std::int32_t firstLine;
  std::int32_t capacity;
  char* chars;
  std::int32_t tagCount, tagCapacity;
  std::uint32_t** tags;  // sorted by offset, null-terminated
  vtextBlock* next;
  vtextBlock* previous;
  vtext* text;
  std::uintptr_t word;
  std::uint8_t flag;
  std::int32_t lineCapacity;
  vtextLine* lines;
};

struct vtextAttachments {
  std::int16_t styleCount;
  std::int32_t styleCapacity;
  vtextStyle** styles;
  std::int32_t styleTagCount;
  vpool* styleTags;
  std::int16_t rulerCount;
  std::int32_t rulerCapacity;
  vtextRuler** rulers;
  std::int32_t rulerTagCount;
  vpool* rulerTags;
  std::int32_t lineEnd;
};

struct vtext : vobject {
  std::uint8_t mode;
  std::uint8_t view;
  std::int32_t length;
  std::int32_t lineCount;
  std::uintptr_t client;  // the owner's back-reference, copied by copy
  vtextBlock* first;
  vobject* pendingChanges;
  vtextRuler* defaultRuler;
  vtextStyle* currentStyle;
  std::int32_t nextTagSerial;
  std::uint16_t selectionCount;
  vtextSelection** selections;
  std::uint16_t observerCount;
  vtextObserver** observers;
  vtextAttachments* attachments;
};

// The selection record.
struct vtextSelection {
  std::int32_t start, end, length;
  vtext* text;
  std::int16_t slot;   // -1: not registered
  std::uint8_t mode;   // 0 plain, 1 column, 3 extend
  std::int32_t startX, endX;  // pixels; vtextX_UNKNOWN: not known yet
};
inline constexpr std::int32_t vtextX_UNKNOWN = INT32_MIN;

// One column-cache entry: the x of the gap before a character and the
// scratch style that applies from it on (null: unchanged).
struct vtextColumn {
  vtextX x;
  vtextStyle* style;
};
// Beyond any x a line reaches.
inline constexpr vtextX vtextCOLUMN_SENTINEL = vtextX{0x3FFFFFFF} << 32;

struct vtextClassRec : vobjectClassRec {
  void (*insertText)(vtext* self, vtextSelection* selection, const char* chars, std::int32_t count);
  void (*makeEdit)(vtext* self, vtextSelection* selection, void* callback, void* data);
  void (*applyEdit)(vtext* self, vtextSelection* selection, vobject* edit);
  void (*deleteSelection)(vtext* self, vtextSelection* selection);
  void (*typeChar)(vtext* self, vtextSelection* selection, int c);
  void (*processLines)(vtext* self, vtextSelection* selection, void* lineFunction, int flags, void* data);
  void (*setSelectionRange)(vtext* self, vtextSelection* selection, std::int32_t start, std::int32_t end);
  void (*selectLines)(vtext* self, vtextSelection* selection, std::int32_t first, std::int32_t last, int how);
  void (*getParagraphLines)(vtext* self, std::int32_t line, std::int32_t* first, std::int32_t* last);
  void (*recalculate)(vtext* self);
  std::uint32_t (*addTag)(vtext* self, vtextTag* tag);
  void (*removeTag)(vtext* self, vtextTag* tag);
  // A detached tag's absolute range across an edit at position by delta.
  void (*adjustTag)(vtext* self, vtextTag* tag, std::int32_t position, std::int32_t delta);
  std::uint32_t (*addStyleRun)(vtext* self, std::int32_t start, std::int32_t end, vtextStyle* style);
  void (*setRulerLines)(vtext* self, std::int32_t first, std::int32_t last, vtextRuler* ruler);
  std::int32_t (*removeStyleRuns)(vtext* self, std::int32_t start, std::int32_t end, vtextStyle* style);
  void (*clearRulerLines)(vtext* self, std::int32_t first, std::int32_t last, vtextRuler* ruler);
  void (*prepareRuler)(vtext* self, vtextRuler* ruler);
  void (*prepareStyle)(vtext* self, vtextStyle* style);
  void (*hideSelection)(vtext* self, vtextSelection* selection);
  void (*unhideSelection)(vtext* self, vtextSelection* selection);
  // The ten notifications, in the observers' hook order.
  void (*notifyInserted)(vtext* self, std::int32_t position, std::int32_t count);
  void (*notifyDeleted)(vtext* self, std::int32_t position, std::int32_t count);
  void (*notifyWillInsert)(vtext* self, std::int32_t position, std::int32_t count);
  void (*notifyWillDelete)(vtext* self, std::int32_t position, std::int32_t count);
  void (*notifyRulerChanged)(vtext* self, vtextRuler* ruler, std::int32_t first, std::int32_t last);
  void (*notifyStyleChanged)(vtext* self, vtextStyle* style, std::int32_t start, std::int32_t end);
  void (*notifySelectionMode)(vtext* self, vtextSelection* selection, int phase);
  void (*notifyRecalculated)(vtext* self);
  void (*notifySelection)(vtext* self, vtextSelection* selection, int phase);
  void (*notifyDestroy)(vtext* self);
  int (*isWordChar)(vtext* self, const char* c);
  int (*isNonBlank)(vtext* self, const char* c, std::int32_t count);
  int (*hook)(vtext* self);
  vtextColumn* (*layoutLine)(vtext* self, void* reserved, const char* chars, std::int32_t* count,
                             std::int32_t position, int continuing);
};

inline vtextClassRec* vtextClassOf(const vtext* t) { return vclassRec<vtextClassRec>(t); }

vtextClassRec* vtextGetDefaultClass();
void vtextInitAllClasses();
vtext* vtextCreate();
void vtextDestroy(vtext* text);
vtextStyle* vtextStyleGetDefault();
vtextRuler* vtextGetDefaultRuler();
vobject* vtextCloneObject(vobject* object);
// Clamps into 0..length; 1 when it had to.
int vtextClampPosition(const vtext* text, std::int32_t* position);
void vtextSetView(vtext* text, std::uint8_t view);
void vtextThawUpdates(vtext* text);
inline void vtextRecalculate(vtext* text) { vtextClassOf(text)->recalculate(text); }
// Editing through the class's slots.
inline void vtextInsertText(vtext* text, vtextSelection* selection, const char* chars, std::int32_t count) {
  vtextClassOf(text)->insertText(text, selection, chars, count);
}
inline void vtextDeleteSelection(vtext* text, vtextSelection* selection) {
  vtextClassOf(text)->deleteSelection(text, selection);
}
inline void vtextTypeChar(vtext* text, vtextSelection* selection, int c) {
  vtextClassOf(text)->typeChar(text, selection, c);
}
// The last line the current edit re-broke (the text's last line when line
// counts or heights changed), -1 before; views read it while notified.
std::int32_t vtextGetLastChangedLine();
// The line-end character: the attachment record's, 10 without one.
int vtextGetLineEnd(const vtext* text);
void vtextSetLineEnd(vtext* text, int c);
// A copy of the characters [start, end) into buffer (at most size bytes); the count copied.
std::int32_t vtextGetChars(const vtext* text, std::int32_t start, std::int32_t end, char* buffer, std::int32_t size);

// Blocks.
void _vtextAppendRun(vtext* text, char* buffer, std::int32_t used, std::int32_t capacity);
vtextBlock* vtextNewBlock(vtext* text, vtextBlock* after, char* buffer, std::int32_t used, std::int32_t capacity);
void vtextFreeBlock(vtextBlock* block);
void vtextFreeBlocks(vtext* text);
void _vtextEnsureAttachments(vtext* text);
void vtextEnsureSpace(vtextBlock* block);
int vtextLineEndLength(const char* chars, std::int32_t count);
void _vtextJoinBlocks(vtext* text, std::int32_t start, std::int32_t end);
void _vtextUpdateRange(vtext* text, std::int32_t start, std::int32_t end);
// Lays out again only the lines over [start, end) whose characters stayed
// (a change of looks), until the breaks meet the old ones.
void _vtextRelayoutRange(vtext* text, std::int32_t start, std::int32_t end);
void vtextLayoutBlock(vtext* text, vtextBlock* block);
void _vtextFindLineEnds(vtext* text, std::int32_t position, std::int32_t* lineStart, std::int32_t* lineEnd);
void _vtextScanLineEnd(const char* chars, std::int32_t* count, int backwards);
void _vtextScanLineEnd16(const char* chars, std::int16_t* count, int backwards);
// The block holding a position (the earlier one at a block boundary).
vtextBlock* vtextFindBlock(const vtext* text, std::int32_t position);

// Rulers and styles told of changes.
void vtextRulerChanged(vtext* text, vtextRuler* ruler);
void _vtextNotifyStyle(vtext* text, vtextStyle* style);

// Character classes over Windows-1252.
int vtextIsWordCharacter(unsigned char c);
int vtextIsBlankCharacter(unsigned char c);

// The line breaker and its helpers.
struct vtextRing {
  vfixed value[4];
  std::int32_t index[4];
  std::int32_t current;  // -1 when empty
  std::int32_t count;
};
void vtextRingPush(vtextRing* ring, vfixed value, std::int32_t index);
int vtextRingTrim(vtextRing* ring, std::int32_t index);
void vtextHexCharWidth(vfont* font, int c, vfixed* width, vfixed* height);
// Rebuilds both rings over the first count characters of the cached line.
void vtextRescanExtents(vtext* text, const char* chars, std::int32_t count, vtextRing* above, vtextRing* below);
vimage* vtextInvisibleGlyph(int c);
vimage* vtextInvisibleGlyphForFont(int c, vfont* font);
// The laid-out line of the column cache: its ascent, descent and end x.
void vtextGetLayoutMetrics(std::uint16_t* ascent, std::uint16_t* descent, vtextX* endX);
// Forgets the column cache when it describes the text.
void vtextForgetCache(const vtext* text);

// The text-model entries of the window layer's hook record.
void vtextFillWindowHooks(vwindowHooks* hooks);
// Fills the text row of the start-up order.
void vtextInstallStartup();
