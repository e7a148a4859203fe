// The window class's attributed-object side: attributes by index, the
// passing on of attribute changes and broadcasts to children, commands
// and their look-up, help, and printing a window.
#include <algorithm>

#include "fw/core/scribe.h"
#include "fw/data/pref.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/rect.h"
#include "fw/gui/window/application.h"
#include "fw/gui/window/hooks.h"
#include "fw/gui/window/mswbits.h"
#include "fw/gui/window/window_internal.h"

namespace {

vwindowClassRec* rec(vwindow* w) { return vwindowClassOf(w); }
vobjectAttributedClassRec* super() { return vobjectGetAttributedClass(); }
vwindow* win(vobject* o) { return static_cast<vwindow*>(o); }
vobjectAttributedClassRec* attributed(vobject* o) { return vobjectAttributedOf(o); }

template <class F>
void eachChild(vwindow* w, F f) {
  vwindowChildIterator it;
  vwindowInitChildIterator(&it, w);
  while (vwindowNextChildIterator(&it)) f(it.child);
}

// ---- Attributes by index -------------------------------------------------------------------

enum : int {
  kData = 0,
  kTitle = 1,
  kCursor = 2,
  kBlockCursor = 3,
  kIcon = 4,
  kFont = 5,
  kForeground = 6,
  kForegroundHilite = 7,
  kBackground = 8,
  kBackgroundHilite = 9,
  kScheme = 10,
  kLineWidth = 11,
  kRect = 12,
};

void* mut(const void* v) { return const_cast<void*>(v); }

void setByIndex(vobject* o, int index, const void* value) {
  vwindow* w = win(o);
  vwindowClassRec* c = rec(w);
  switch (index) {
    case kData: return c->setData(w, mut(value));
    case kTitle: return c->setTitle(w, vscribeCString(value ? static_cast<const char*>(value) : ""));
    case kCursor: return c->setCursor(w, static_cast<vobject*>(mut(value)));
    case kIcon: return c->setIcon(w, static_cast<vobject*>(mut(value)));
    case kFont: return c->setFont(w, static_cast<vfont*>(mut(value)));
    case kForeground: return c->setForeground(w, static_cast<vcolor*>(mut(value)));
    case kBackground: return c->setBackground(w, static_cast<vcolor*>(mut(value)));
    case kRect:
      if (value) c->setRect(w, static_cast<const vrect*>(value));
      return;
    default: return;
  }
}

const void* getByIndex(vobject* o, int index) {
  vwindow* w = win(o);
  vwindowExtension* x = w->extension;
  switch (index) {
    case kData: return w->data;
    case kTitle: return w->title;
    case kCursor: return x ? x->cursor : nullptr;
    case kIcon: return x ? x->icon : nullptr;
    case kFont: return x ? x->font : nullptr;
    case kForeground: return x ? x->foreground : nullptr;
    case kBackground: return x ? x->background : nullptr;
    case kRect: return &w->rect;
    default: return nullptr;
  }
}

int indexOf(vwindow* w, vname name) {
  vdict* table = rec(w)->attributes;
  return name && vdictHas(table, name) ? vdictGetInteger(table, name) : -1;
}

// Whether the window (own value or class default) overrides what comes
// from above.
bool overrides(vwindow* w, int index) {
  vwindowClassRec* c = rec(w);
  vwindowExtension* x = w->extension;
  switch (index) {
    case kCursor: return c->cursor || (x && x->cursor);
    case kIcon: return c->icon || (x && x->icon);
    case kFont: return c->font || (x && x->font);
    case kForeground: return c->foreground || (x && x->foreground);
    case kBackground: return c->background || (x && x->background);
    case kForegroundHilite: return c->foregroundHilite != nullptr;
    case kBackgroundHilite: return c->backgroundHilite != nullptr;
    case kBlockCursor:
    case kScheme:
    case kLineWidth: return false;
    default: return true;  // not inherited at all
  }
}

int nativeKind(int index) {
  switch (index) {
    case kTitle: return 1;
    case kCursor:
    case kBlockCursor: return 2;
    case kIcon: return 4;
    default: return index >= kForeground && index <= kScheme ? 8 : 0;
  }
}

void passOn(vwindow* w, int index, vname selector, vdict* arguments) {
  if (int kind = nativeKind(index)) vwindowMSWAttributeChanged(w, kind);
  if (index >= kFont && index <= kLineWidth && vwindowIsOpen(w)) vwindowInvalAll(w, 0);
  if (index >= kCursor && index <= kLineWidth)
    eachChild(w, [&](vwindow* child) { attributed(child)->reserved8(child, selector, arguments); });
}

// A change of the window's own attribute.
void attributeChanged(vobject* o, vname selector, vdict* arguments) {
  super()->send(o, selector, arguments);
  vwindow* w = win(o);
  if (int index = indexOf(w, selector); index >= 0) passOn(w, index, selector, arguments);
}

// A change above the window: its parent's or its application's.
void inheritedChanged(vobject* o, vname selector, vdict* arguments) {
  super()->reserved8(o, selector, arguments);
  vwindow* w = win(o);
  int index = indexOf(w, selector);
  if (index >= 0 && !overrides(w, index)) passOn(w, index, selector, arguments);
}

void notifyAttribute(vobject* o, vname name) {
  super()->notify(o, name);
  eachChild(win(o), [&](vwindow* child) { attributed(child)->notify(child, name); });
}
void refresh(vobject* o) {
  super()->refresh(o);
  eachChild(win(o), [](vwindow* child) { attributed(child)->refresh(child); });
}
void setAttributeByTag(vobject* o, vname name, vdict* values) {
  super()->setAttributeByTag(o, name, values);
  eachChild(win(o), [&](vwindow* child) { attributed(child)->setAttributeByTag(child, name, values); });
}

// ---- Commands -------------------------------------------------------------------------------

void printWindow(vwindow* w);

int issueSelector(vobject* o, int selector, vdict* context) {
  vwindow* w = win(o);
  switch (selector) {
    case 3: rec(w)->close(w); return 1;
    case 4: printWindow(w); return 1;
    default: return super()->issueSelector(o, selector, context);
  }
}

int querySelector(vobject* o, int selector, vdict* context) {
  if (selector >= 0 && selector < 5) {
    vdictStore(context, vname_Dispatch, vname_Enabled);
    return 1;
  }
  return super()->querySelector(o, selector, context);
}

const void* findCommand(vobject* o, vname kind, vname tag) {
  vwindow* w = win(o);
  if (vcommandSpace* space = vwindowGetSpace(w)) {
    if (kind == vname_Operand) {
      if (vcommandSpaceGetAttribute(space, vname_Command, tag)) return o;
    } else if (const void* v = vcommandSpaceGetAttribute(space, kind, tag)) {
      return v;
    }
  }
  if (const void* v = super()->findCommand(o, kind, tag)) return v;
  vobject* owner = _vwindowContextOwner(w);
  return attributed(owner)->findCommand(owner, kind, tag);
}

// The nearer the definition, the later it is stored, so it wins.
void gatherCommands(vobject* o, vname tag, vdict* result) {
  vwindow* w = win(o);
  vobject* owner = _vwindowContextOwner(w);
  attributed(owner)->gatherCommands(owner, tag, result);
  super()->gatherCommands(o, tag, result);
  if (vcommandSpace* space = vwindowGetSpace(w)) {
    vcommandSpaceGetAttributes(space, tag, result);
    if (vcommandSpaceGetAttribute(space, vname_Command, tag)) vdictStore(result, vname_Operand, o);
  }
}

vdict* filter(vobject* o, vname kind, vdict* values) {
  vdict* filtered = super()->filter(o, kind, values);
  vcommandSpace* space = vwindowGetSpace(win(o));
  if (!space) return filtered;
  vdict* again = vcommandSpaceRemoveDefined(space, kind == vname_Operand ? vname_Command : kind, filtered);
  if (again != filtered && filtered != values) vdictDestroy(filtered);
  return again;
}

void help(vobject* o) { _vwindowShowHelp(o, &win(o)->rect); }

vobject* contextOwner(vobject* o) { return _vwindowContextOwner(win(o)); }

// ---- Printing -------------------------------------------------------------------------------

vprintJobClassRec* jobRec(vprintJob* job) { return vclassRec<vprintJobClassRec>(job); }

void printWindow(vwindow* w) {
  vprintJobClassRec* base = vprintJobGetDefaultClass();
  vclass* cls = vprefGetPrintClass();
  // A printer class that does not speak the job protocol cannot print.
  if (!cls || !vclassIsSubclass(cls, base)) cls = base;
  auto* job = static_cast<vprintJob*>(vinstanceCreate(cls));
  vexGuard(
      [&] {
        jobRec(job)->setPageProc(job, vwindowPrintPage);
        jobRec(job)->setData(job, w);
        jobRec(job)->run(job);
      },
      [&](vexHandler&) {
        vinstanceDestroy(job);
        _vexGenerate(nullptr, vexEnd);
      });
  vinstanceDestroy(job);
}

// The outer frame on the screen, in window coordinates.
vrect frameInWindow(vwindow* w) {
  vwindowMSWNative* n = w->native;
  int left = w->rect.x - (n ? n->insetLeft : 0), bottom = w->rect.y - (n ? n->insetBottom : 0);
  int right = w->rect.x + w->rect.width + (n ? n->insetRight : 0);
  int top = w->rect.y + w->rect.height + (n ? n->insetTop : 0);
  const vwindowMSWDisplay* d = vwindowMSWGetDisplay();
  left = std::max(left, 0);
  bottom = std::max(bottom, 0);
  right = std::min(right, d->screenWidth);
  top = std::min(top, d->screenHeight);
  return vrect{static_cast<std::int16_t>(left - w->rect.x), static_cast<std::int16_t>(bottom - w->rect.y),
               static_cast<std::int16_t>(std::max(0, right - left)), static_cast<std::int16_t>(std::max(0, top - bottom))};
}

// The strips of the outer frame around the client area (left, right, top,
// bottom), in window coordinates, copied from a screen image of the root.
void drawFrameStrips(vwindow* w, const vrect& frame) {
  int width = w->rect.width, height = w->rect.height;
  int right = frame.x + frame.width, top = frame.y + frame.height;
  const vrect strips[4] = {
      {frame.x, frame.y, static_cast<std::int16_t>(-frame.x), frame.height},
      {static_cast<std::int16_t>(width), frame.y, static_cast<std::int16_t>(right - width), frame.height},
      {0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width), static_cast<std::int16_t>(top - height)},
      {0, frame.y, static_cast<std::int16_t>(width), static_cast<std::int16_t>(-frame.y)},
  };
  vimage* screen = nullptr;
  vexGuard(
      [&] {
        for (const vrect& strip : strips) {
          if (strip.width <= 0 || strip.height <= 0) continue;
          if (!screen) {
            vwindow* root = vwindowGetRoot();
            vwindowOpen(root);
            screen = vwindowMSWCreateWindowImage(root);
          }
          vdrawGSave();
          vdrawGetPrimitives()->ClipRects(&strip, 1);
          vdrawPathMoveTo(-w->rect.x, -w->rect.y);
          vdrawImage(screen);
          vdrawGRestore();
        }
      },
      [&](vexHandler&) {
        if (screen) vimageDestroy(screen);
        _vexGenerate(nullptr, vexEnd);
      });
  if (screen) vimageDestroy(screen);
}

void drawPage(vwindow* w, const vrect& frame, const vrect& area, double sx, double sy) {
  vdrawTranslate(area.x, area.y);
  vdrawScale(sx, sy);
  vdrawTranslate(-frame.x, -frame.y);
  drawFrameStrips(w, frame);
  _vwindowSetDrawingDefaults(w);
  vrect client{0, 0, w->rect.width, w->rect.height};
  vdrawGSave();
  vdrawSetColor(vdrawGetState()->secondColor);
  vdrawGetPrimitives()->FillRects(&client, 1);
  vdrawGRestore();
  vdrawGetPrimitives()->ClipRects(&client, 1);
  rec(w)->draw(w);
}

}  // namespace

void vwindowPrintPage(vprintJob* job, void* data) {
  auto* w = static_cast<vwindow*>(data);
  if (!w || !vwindowIsOpen(w)) vexGenerateMessage(&vexArgNotOpenClass, "Not Open");
  double dpiX, dpiY;
  vwindowMSWGetResolution(&dpiX, &dpiY);
  double sx = 72.0 / dpiX, sy = 72.0 / dpiY;
  vrect frame = frameInWindow(w);
  rec(w)->setBusy(w);
  int width = static_cast<int>(frame.width * sx + 0.5), height = static_cast<int>(frame.height * sy + 0.5);
  const vrect& page = job->printable;
  vrect area{static_cast<std::int16_t>(page.x + 18), static_cast<std::int16_t>(page.y + page.height - 18 - height),
             static_cast<std::int16_t>(width), static_cast<std::int16_t>(height)};
  vprintJobClassRec* jc = jobRec(job);
  jc->setArea(job, &area);
  bool opened = false, inPage = false;
  vexGuard(
      [&] {
        jc->open(job);
        opened = true;
        jc->beginPage(job);
        inPage = true;
        drawPage(w, frame, area, sx, sy);
        inPage = false;
        jc->endPage(job);
        opened = false;
        jc->close(job);
      },
      [&](vexHandler&) {
        // A failed page is given up quietly, with a beep.
        vexTry([&] {
          if (inPage) jc->endPage(job);
        });
        vexTry([&] {
          if (opened) jc->close(job);
        });
        vwindowBeep();
      });
  rec(w)->clearBusy(w);
}

// ---- The job class ---------------------------------------------------------------------------------

namespace {
vprintJobClassRec* jobClass = nullptr;

void jobInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* job = static_cast<vprintJob*>(self);
  job->state = 0;
  job->pageProc = nullptr;
  job->data = nullptr;
  job->printable = vrect{0, 0, 612, 792};  // a letter page in points
  job->area = vrect{};
}
void jobSetPageProc(vprintJob* job, vprintPageProc proc) { job->pageProc = proc; }
void jobSetData(vprintJob* job, void* data) { job->data = data; }
void jobRun(vprintJob* job) {
  if (job->pageProc) job->pageProc(job, job->data);
}
void jobOpen(vprintJob* job) { job->state |= vprintJobOPEN; }
void jobBeginPage(vprintJob* job) { job->state |= vprintJobIN_PAGE; }
void jobEndPage(vprintJob* job) { job->state &= ~vprintJobIN_PAGE; }
void jobClose(vprintJob* job) { job->state &= ~vprintJobOPEN; }
void jobSetArea(vprintJob* job, const vrect* area) { job->area = *area; }
void dropJobClass() { jobClass = nullptr; }
}  // namespace

vprintJobClassRec* vprintJobGetDefaultClass() {
  if (jobClass) return jobClass;
  auto* c = vclassSpawnOf<vprintJobClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vprintJob"));
  vclassSetInstanceSize(c, sizeof(vprintJob));
  c->init = jobInit;
  c->setPageProc = jobSetPageProc;
  c->setData = jobSetData;
  c->run = jobRun;
  c->open = jobOpen;
  c->beginPage = jobBeginPage;
  c->endPage = jobEndPage;
  c->close = jobClose;
  c->setArea = jobSetArea;
  jobClass = c;
  vmoduleAddContextExitProc(dropJobClass);
  return c;
}

void _vwindowShowHelp(vobject* o, const vrect* rect) {
  int count = 0;
  vname* keys = vobjectAttributedOf(o)->collectTags(o, &count);
  vexGuard(
      [&] {
        if (count > 0) {
          const vwindowHooks& hooks = vwindowGetHooks();
          hooks.helpShowKeys(hooks.helpGetGlobalWindow(), keys, count, rect);
        }
      },
      [&](vexHandler&) {
        vmemFree(keys);
        _vexGenerate(nullptr, vexEnd);
      });
  vmemFree(keys);
}

void _vwindowFillCommandSlots(vwindowClassRec* c) {
  c->setAttributeByIndex = setByIndex;
  c->getAttributeByIndex = getByIndex;
  c->send = attributeChanged;
  c->reserved8 = inheritedChanged;
  static_cast<vobjectAttributedClassRec*>(c)->notify = notifyAttribute;
  c->refresh = refresh;
  c->setAttributeByTag = setAttributeByTag;
  c->issueSelector = issueSelector;
  c->querySelector = querySelector;
  c->findCommand = findCommand;
  c->gatherCommands = gatherCommands;
  c->filter = filter;
  c->help = help;
  c->parent = contextOwner;
}
