// The look-and-feel: which of five visual styles the framework imitates,
// chosen once per module context from the preferences, with what belongs
// to a look rather than to a control: its resource dictionary with the
// cursors, notice icons and numbered one-bit images, the glyphs of small
// marks, the binding of scheme colours and class fonts to the platform's
// system colours and fonts, the pointer-button bindings and the key drawer.
//
// - **The window layer's calls** go through one record, `vlafWindowServices`
//   (`vlafSetWindowServices` lets a test stand in for the platform): the window system's start-up,
//   monochrome test and start-up count, the predefined bitmaps and display images, and the
//   registrations of system colours, class colours, refresh classes and class fonts. The version is
//   `vsysGetVersion`'s major byte (no start-up needed); cursors load as images until the cursor
//   class exists.
#pragma once
#include <cstdint>

#include "fw/core/attributed.h"
#include "fw/core/resource.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/color.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/graphics/image.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/graphics/scheme.h"
#include "fw/gui/window/cursor.h"

enum : std::int16_t { vlafWINDOWS = 2, vlafMOTIF = 3, vlafOPEN_LOOK = 4, vlafCUA = 5, vlafWIN95 = 6 };

enum : std::uint32_t {
  vlaf3D = 0x1,
  vlafKEY_NAVIGATION = 0x2,
  vlafMNEMONICS = 0x4,
  vlafMENU_FLAG = 0x10,
  vlafSELECT_POPS_MENU = 0x20,
  vlafSLIDER_KEEPS_POINTER = 0x40,
  vlafWARP_TO_DEFAULT = 0x80,
  vlafPOPUP_PLACEMENT_6 = 0x400,
  vlafLEFT_SCROLL_BAR = 0x1000,
  vlafBORDERED_ITEMS = 0x4000,
  vlafGLOBAL_MENU_BAR = 0x8000,
  vlafMDI = 0x10000,
  vlafDEFAULT_ONLY_ACTIVE = 0x20000,
  vlafNATIVE_COLORS = 0x40000,
  vlafNATIVE_FONTS = 0x80000,
  vlafNATIVE_MENU_BAR = 0x100000,
  vlafMNEMONIC_MOVES_FOCUS = 0x200000,
};

inline constexpr int vlafCURSORS = 17;
inline constexpr int vlafNOTICE_IMAGES = 4;
inline constexpr int vlafIMAGES = 148;
inline constexpr int vlafGLYPHS = 256;

// A binding name and up to three pointer codes (key-modifier word plus
// 0x10, 0x20, 0x40 for the first, second and third button), 0-ended.
struct vlafPointerBinding {
  const char* name;
  std::uint16_t codes[4];
};

struct vlaf {
  const char* name;
  vname tag;
  std::uint32_t flags;
  std::int16_t id;
  std::int16_t lineWidth;
  std::int16_t metric;  // read by no operation
  std::int16_t cornerRadius;
  std::uint16_t mnemonicModifiers;
  std::uint16_t reserved;
  const vlafPointerBinding* pointerBindings;  // ended by a null name
  vresource resources;  // the look's entry of the look dictionary
  vcursor* cursors[vlafCURSORS];
  vimage* noticeImages[vlafNOTICE_IMAGES];
  bool hasResources;  // false when the dictionary has no entry for the look
};

// ---- What the look asks of the window layer, one entry a call, so that a
// test may stand in for the platform. vlafGetWindowServices() is the record
// in force; vlafSetWindowServices(null) puts the window layer's back. The
// version is the platform's major version byte.
struct vlafWindowServices {
  int (*isMonochrome)();
  void (*openRoot)();
  int (*majorVersion)();
  int (*startupCount)();  // changes with every start-up of the window system
  vimage* (*loadBitmapImage)(int id);  // a predefined bitmap, or null
  vimage* (*createDisplayImage)(int width, int height);
  vcursor* (*loadCursor)(vresource resource);
  void (*setSysColorTable)(const std::uint16_t (*rgb)[3], int count);
  void (*setSchemeSysColor)(int index, int sysColor);
  void (*setClassSchemeSysColor)(const char* className, int index, int sysColor);
  void (*addNativeColorClass)(vclass* cls);
  void (*setClassFont)(const char* className, int kind);
  void (*getSysColor)(int sysColor, unsigned* red, unsigned* green, unsigned* blue);  // 8-bit components
};
const vlafWindowServices& vlafGetWindowServices();
void vlafSetWindowServices(const vlafWindowServices* services);

// The predefined bitmaps the Win95 and Windows images come from.
enum : int {
  vlafOBM_CHECKBOXES = 32759, vlafOBM_BTNCORNERS = 32758, vlafOBM_COMBO = 32738, vlafOBM_MNARROW = 32739,
  vlafOBM_UPARROWD = 32743, vlafOBM_DNARROWD = 32742, vlafOBM_RGARROWD = 32741, vlafOBM_LFARROWD = 32740,
  vlafOBM_UPARROW = 32753, vlafOBM_DNARROW = 32752, vlafOBM_RGARROW = 32751, vlafOBM_LFARROW = 32750,
  vlafOBM_CHECK = 32760, vlafOBM_UPARROWI = 32737, vlafOBM_DNARROWI = 32736, vlafOBM_RGARROWI = 32735,
  vlafOBM_LFARROWI = 32734,
};

// ---- The record.
const vlaf* vlafGetCurrent();
vcursor* vlafGetCursor(int index);      // Arg/Range outside 0-16
vimage* vlafGetNoticeImage(int index);  // "laf image out of bounds" outside 0-3; null when absent
vimage* vlafGetImage(int index);        // Arg/Range outside 0-147; null when absent
void vlafDrawImage(int index);
void vlafDrawGlyph(int character, int height);  // Arg/Range outside 0-255
vimage* vlafGetGlyphMask(int character);        // the glyph's mask image, or null
// The look's resource dictionary: "vlaf" of the application's resource
// file, else of the framework's own; 0 when neither has one.
vresource vlafGetDictionary();

// ---- System colours and class bindings.
inline constexpr int vlafSYS_COLOR_ROLES = 43;
void vlafSetMSWSysColor(int lookId, int flag3D, int index, int role);
void vlafSetClassMSWSysColor(int lookId, int flag3D, vclass* cls, int index, int role);
void vlafSetClassMSWColors(int lookId, vclass* cls);
void vlafSetClassMSWFont(int lookId, vclass* cls, int kind);
int vlafMatchesMSWSysColor(vcolor* color, int role);
// The system colour index the current look maps a role to.
int vlafGetSysColorIndex(int role);

// ---- Key names and key drawing.
vstr* vlafKeyName(std::uint32_t key);  // a new string: vstrDestroy
void vlafDrawKeyText(int key);
void vlafDrawKeyName(int symbol);
void vlafDrawKeyGlyphs(int key);
// The preferences' key bindings "Keys" / class name / the current look's
// name, or null when they hold none (a new dictionary).
struct vdict;
vdict* vlafLoadClassKeys(const char* className);

// ---- Drawing operations.
void vlafDrawMnemonic(const char* label, int character);
void vlafDrawLabelText(const char* label, int character, const vrect* rect, int flags);
void vlafDrawInactiveLabel(const char* label, int character, const vrect* rect, int flags, const vcolorScheme* colors);
void vlafDrawHorizArrow(int x, int y, int dx, int dy, vcolor* fill, vcolor* light, vcolor* dark);
void vlafDrawVertArrow(int x, int y, int len, int half, vcolor* fill, vcolor* light, vcolor* dark);
void vlafDrawDiamond(const vrect* rect, vcolor* fill, vcolor* light, vcolor* dark);
void vlafDrawCheckFrame(const vrect* rect, vcolor* fill, vcolor* light, vcolor* dark);
void vlafClipPatternRect(const vrect* rect);
inline void vlafDrawPatternRect(const vrect* rect) { vlafClipPatternRect(rect); }
// The same clip, for a caller that draws inside the rect only: the clip's
// mask is the rect's size (a clip costs by its mask's size, and the shared
// pattern grows to the largest rect ever clipped).
void vlafClipPatternInside(const vrect* rect);
// The pixels a fill of rect in the current colour sets through
// vlafClipPatternInside (all of them without the pattern), drawn as one
// mask image under the current clip: no clip mask is built.
void vlafFillPatternInside(const vrect* rect);
void vlafDrawFocusRect(const vrect* rects);
int vlafDialogUnitsToWidth(vfont* font, int units);
int vlafDialogUnitsToHeight(vfont* font, int units);
void vlafDrawOblongButton(const vrect* rect, int flags, vcolor* a, vcolor* b, vcolor* c, vcolor* d);
// The Open Look outline of a labelled button over bounds: the oblong
// button without its menu mark, pressed unless state bit 2 (a menu, or
// up) is set; state bit 8 (disabled) expects the scheme's disabled
// colours. Edges from the shadow entries, the face from the background,
// the pressed face from the debossed background (else the dark edge).
void vlafDrawLabel(const vrect* bounds, int state, const vcolorScheme* colors);
// While a focus rectangle is drawn in the Windows looks: the drawing
// driver frames with the platform's focus rectangle.
int vlafInFocusMode();
// Renderings of the oblong button made so far (its cache misses).
int _vlafOblongRenderCount();

// Forgets the process-wide caches and state (tests): the next use starts again.
void _vlafShutdown();
// Chooses the current context's look again from the preferences (tests).
void _vlafRebuildCurrent();
