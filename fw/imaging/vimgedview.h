// The image view: a dialog item that shows an editor's image magnified,
// with an optional pixel grid, scroll bars and the floating selection's
// moving outline, and turns presses, drags and releases into strokes of
// the current tool. It never draws the image directly: it keeps zoomed
// buffers (image, display = image + grid, composition = display +
// selection) of the display's depth and copies them to the window.
// Coordinates are the window's: y grows upwards, image row 0 is the bottom.
//
// - `vimgedview.h`: the image view, a dialog item over a model (its link's hooks are the view's
//   paint, redraw, selection and tool operations). `vimgedview.cpp` the instance, scroll bars (not
//   listed in the item list: presses on them are handed over with the list's pressed item set), the
//   layout in whole zoomed pixels and scrolling; `vimgedview_render.cpp` the buffers, 32-bit
//   true-colour images written directly (a row of runs, copied z − 1 times; the grid set in the same
//   pass as the copy into the display buffer), the paint updates, the selection's buffers and
//   outline; `vimgedview_input.cpp` the pointer, the cursors of "vimged"/"Cursors", the tool
//   commands and keys (a key map of the class, as the list view's). A scroll shifts only the display
//   buffer (the grid moves onto itself) and renders the uncovered strips into it; the image buffer
//   is marked stale and rendered again when next composed. Window to image rounds rows down, so a
//   cell's bottom row belongs to it; the zoom stays between 1 and the area's smaller side (at most
//   255). The tools: `vimged_tools.cpp` (painting; a stroke's data is module data),
//   `vimged_seltools.cpp` (rectangle, lasso with its own even-odd fill of the trail through pixel
//   centres, drag), `vimged_texttool.cpp` (the "vimgedTextConfirm" dialog, kept for the program and
//   only forgotten at context exit, since the context's close destroys its windows).
//   `tests/x11/x11_imgview.cpp` (CTest `x11.imgview`) paints, selects, drags and scrolls through
//   XTest.
#pragma once
#include <cstdint>

#include "fw/imaging/vimged.h"
#include "fw/widgets/controls/slider.h"
#include "fw/widgets/dialog/item.h"

struct vimgedview;

// Event kinds a tool handler sees.
enum : int { vimgedviewPRESS = 1, vimgedviewRELEASE = 2, vimgedviewDRAG = 4 };
// A tool's handler sees the press, each drag step and the release of a stroke.
using vimgedviewToolFunc = void (*)(vimgedview* view, vevent* event, int kind);
using vimgedviewReportFunc = void (*)(vimgedview* view, vpoint image, vpoint window);

enum : std::uint32_t {
  vimgedviewREPORT = 0x1,
  vimgedviewGRID_WANTED = 0x2,
  vimgedviewGRID_SHOWN = 0x4,
  vimgedviewTEMPORARY = 0x8,
  vimgedviewAUTO_SCROLL = 0x10,
  vimgedviewPIN = 0x20,
  vimgedviewCENTRE = 0x40,  // shape tools draw from the press as centre
  vimgedviewBAR_SCROLL = 0x80,
  vimgedviewHELD = 0x1000,
};

// Tool numbers.
enum : int {
  vimgedviewHAND, vimgedviewLINE, vimgedviewPENCIL, vimgedviewELLIPSE, vimgedviewRECT, vimgedviewPAINT,
  vimgedviewSELECT, vimgedviewERASER, vimgedviewLASSO, vimgedviewDROPPER, vimgedviewFILL_RECT,
  vimgedviewFILL_ELLIPSE, vimgedviewTEXT, vimgedviewSPRAY, vimgedviewSTAMP, vimgedviewROLLER, vimgedviewTOOL_COUNT
};

struct vimgedviewLink : vimgedViewLink {
  vimgedview* view;
};

struct vimgedview : vdialogItem {
  vimged* editor;
  vimgedviewLink link;
  vrect laidOut;      // the view's rectangle, frame included
  vrect imageBounds;  // (0, 0, image width, image height)
  vrect selVisible;   // the part of the selection the buffers hold, in selection pixels
  vimage* selBuffer;
  vimage* selMaskBuffer;
  vimage* selComposed;
  std::uint32_t viewFlags;
  std::int16_t border, zoom;
  vimage* imageBuffer;
  vimage* displayBuffer;
  vimage* composeBuffer;
  vrect scrollRange;
  vrect origin;  // first visible column and row; visible size across and up
  vrect area;    // the laid-out rectangle inset by the border
  vpoint press, current, previous;
  vpoint pressWin, currentWin, previousWin;
  std::int16_t tool, previousTool;
  std::uint32_t foreground, background, drawValue;
  std::int16_t pen;
  vimgedviewToolFunc handler;
  vimgedviewReportFunc report;
  vfont* font;
  vslider* hbar;
  vslider* vbar;
  std::int16_t gap;
  vobject* cursor;  // registered over the image area
  vrect cursorArea;
};

struct vimgedviewClassRec : vdialogItemClassRec {
  void (*outlineTick)(vimgedview* view);
  void (*beginChange)(vimgedview* view);
  void (*endChange)(vimgedview* view);
  void (*paintPixel)(vimgedview* view, std::uint32_t value, int x, int y);
  void (*paintRect)(vimgedview* view, std::uint32_t value, int x, int y, int width, int height);
  void (*paintPoints)(vimgedview* view, std::uint32_t value, const vpoint* points, int count);
  void (*paintRects)(vimgedview* view, std::uint32_t value, const vrect* rects, int count);
  void (*drawGridLines)(vimgedview* view, vimage* buffer, int columns, int rows, int x0, int y0);
  void (*renderRegion)(vimgedview* view, vimage* image, vimage* target, const vrect* source, int tx, int ty);
  void (*renderMaskRegion)(vimgedview* view, vimage* mask, vimage* target, const vrect* source, int tx, int ty);
  void (*setTool)(vimgedview* view, int tool);
  void (*setOrigin)(vimgedview* view, const vrect* origin);
  void (*setZoom)(vimgedview* view, int zoom);
  vobject* (*getToolCursor)(vimgedview* view);
  void (*setCursor)(vimgedview* view, vobject* cursor);
  vimgedviewToolFunc (*getToolHandler)(vimgedview* view);
  void (*setForeground)(vimgedview* view, std::uint32_t value);
  void (*setBackground)(vimgedview* view, std::uint32_t value);
  void (*setGrid)(vimgedview* view, int on);
  void (*composeDisplay)(vimgedview* view);
  void (*renderVisible)(vimgedview* view);
  void (*rerenderSelection)(vimgedview* view, int scrolled);
  void (*layout)(vimgedview* view);
  void (*composeSelection)(vimgedview* view);
  void (*renderSelection)(vimgedview* view);
  void (*makeRectSelectionBuffers)(vimgedview* view);
  void (*makeMaskSelectionBuffers)(vimgedview* view);
  void (*dropSelectionBuffers)(vimgedview* view);
  void (*setEditor)(vimgedview* view, vimged* editor);
  void (*setHorizontalBar)(vimgedview* view, int on);
  void (*setVerticalBar)(vimgedview* view, int on);
};

inline vimgedviewClassRec* vimgedviewClassOf(const vimgedview* v) { return vclassRec<vimgedviewClassRec>(v); }
vimgedviewClassRec* vimgedviewGetDefaultClass();
vimgedview* vimgedviewCreate();

inline void vimgedviewSetEditor(vimgedview* v, vimged* m) { vimgedviewClassOf(v)->setEditor(v, m); }
inline void vimgedviewSetTool(vimgedview* v, int tool) { vimgedviewClassOf(v)->setTool(v, tool); }
inline void vimgedviewSetZoom(vimgedview* v, int zoom) { vimgedviewClassOf(v)->setZoom(v, zoom); }
inline void vimgedviewSetGrid(vimgedview* v, int on) { vimgedviewClassOf(v)->setGrid(v, on); }
inline void vimgedviewSetOrigin(vimgedview* v, const vrect* r) { vimgedviewClassOf(v)->setOrigin(v, r); }
inline void vimgedviewSetForeground(vimgedview* v, std::uint32_t c) { vimgedviewClassOf(v)->setForeground(v, c); }
inline void vimgedviewSetBackground(vimgedview* v, std::uint32_t c) { vimgedviewClassOf(v)->setBackground(v, c); }
inline void vimgedviewSetHorizontalBar(vimgedview* v, int on) { vimgedviewClassOf(v)->setHorizontalBar(v, on); }
inline void vimgedviewSetVerticalBar(vimgedview* v, int on) { vimgedviewClassOf(v)->setVerticalBar(v, on); }

// The largest zoom at which one image pixel still fits the image area
// (at least 1, at most 255).
int vimgedviewMaxZoom(vimgedview* view);
// Window point to image pixel (pinned with vimgedviewPIN) and image pixel
// to its window cell.
vpoint vimgedviewWindowToImage(vimgedview* view, int x, int y);
vrect vimgedviewCellRect(vimgedview* view, int ix, int iy);
// Scrolls the origin by (dx, dy) image pixels, pinned into the scroll range.
void vimgedviewScroll(vimgedview* view, int dx, int dy, int flags);
// The colour a pixel value of the editor's image shows in the buffers, as
// packed 0x00RRGGBB; values past the palette are black.
std::uint32_t vimgedviewPixelRGB(vimgedview* view, std::uint32_t value);
// The hand tool's handler (every press with the "Grab" binding).
vimgedviewToolFunc vimgedviewGetHandTool();
// The text tool's dialog once a press has opened it ("vimgedTextConfirm"):
// its OK places the text of "vimgedTEXT_EDIT" over the view that opened it.
struct vconfirm;
vconfirm* vimgedviewGetTextDialog();
// The cursor of a tool number (cursor 4 outside 0-15); null when the
// resources have none.
vobject* vimgedviewToolCursor(int tool);
