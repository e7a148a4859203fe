#include "fw/widgets/choosers/notice.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/graphics/font.h"
#include "fw/gui/window/window_event.h"
#include "fw/widgets/look/laf.h"

namespace {

std::int16_t s16(int v) { return std::int16_t(v); }
int rounded(vfixed v) { return int((std::int64_t(v) + 0x8000) >> 16); }

struct NoticeState {
  vnoticeClassRec* cls;
  int lookId;
};
void** stateSlot = nullptr;
NoticeState* state();
int lookId() { return state()->lookId; }
bool windowsLook() { return lookId() == vlafWINDOWS || lookId() == vlafWIN95; }

vconfirmClassRec* super() { return vconfirmGetDefaultClass(); }
vnotice* asN(vinstance* o) { return static_cast<vnotice*>(o); }
// The look keeps its images, which come with its resources (they may load
// after the class is built, and go when the look is built again).
vimage* warning() { return vlafGetNoticeImage(0); }
vimage* caution() { return vlafGetNoticeImage(1); }
bool isDefaultIcon(const vimage* image) { return image && (image == warning() || image == caution()); }

// ---- The text and icon items.
void takeItems(vnotice* n) {
  n->items->focus = -1;
  if (n->iconItem) vobjectListRemove(n->items, n->iconItem);
  if (n->text) vobjectListRemove(n->items, n->text);
}
void addItems(vnotice* n) {
  if (n->iconItem) vdialogAppendItem(n, n->iconItem);
  if (n->text) vdialogAppendItem(n, n->text);
}
void remakeIconItem(vnotice* n) {
  if (n->iconItem) vinstanceDestroy(n->iconItem);
  n->iconItem = nullptr;
  if (!n->icon) return;
  n->iconItem = vdialogItemCreate(vdialogBoxItemGetDefaultClass());
  vdialogSetItemBorder(n->iconItem, 0);
  vdialogSetItemImage(n->iconItem, n->icon);
  vrect r{0, 0, s16(n->icon->width), s16(n->icon->height)};
  vdialogSetItemRect(n->iconItem, &r);
}
void rebuildItems(vnotice* n) {
  takeItems(n);
  remakeIconItem(n);
  addItems(n);
}
int justification() { return lookId() == vlafOPEN_LOOK ? 2 : 0; }
void makeText(vnotice* n) {
  n->text = vtextitemCreate();
  vtextitemMakeStatic(n->text);
  vtextitemSetJustification(n->text, justification());
}
void forgetOwnedIcon(vnotice* n) {
  if ((n->noticeFlags & vnoticeICON_OWNED) && n->icon) vimageDestroy(n->icon);
  n->noticeFlags &= std::uint16_t(~vnoticeICON_OWNED);
  n->icon = nullptr;
}

// ---- Sizes.
struct Margins {
  int x, y, width, height, grow;
};
Margins margins() {
  switch (lookId()) {
    case vlafWINDOWS: return {22, 0, 44, 22, 44};
    case vlafWIN95: return {11, 5, 18, 22, 22};
    default: return {10, 10, 20, 20, 20};
  }
}
int gap() {
  switch (lookId()) {
    case vlafWINDOWS: return 22;
    case vlafWIN95: return 11;
    default: return 10;
  }
}
int iconWidth(vnotice* n) { return n->icon ? n->icon->width : 0; }
int iconHeight(vnotice* n) { return n->icon ? n->icon->height : 0; }

void sizeText(vtextitem* t, int width, int height) {
  vrect r = t->rect;
  r.width = s16(width);
  r.height = s16(height);
  vdialogSetItemRect(t, &r);
  if (t->text) vtextRecalculate(t->text);
}
std::int32_t lines(vtextitem* t) { return t->text ? t->text->lineCount : 0; }
void naturalOf(vtextitem* t, int* w, int* h) { vdialogGetItemNaturalSize(t, w, h); }

int wholeWidth(vtextitem* t) {
  char* chars = vtextitemGetString(t);
  vfixed w = vfontGetCharsWidth(vdialogDetermineItemFont(t), chars, int(std::strlen(chars)));
  vmemFree(chars);
  return rounded(w);
}

// Content size for an available width A (buttons in a row), or with no
// limit (A = 0, buttons in a column).
void contentSize(vnotice* n, int available, int* width, int* height) {
  int g = n->icon ? gap() : 0;
  int tw = 0, th = 0;
  bool column = (n->confirmFlags & vconfirmCOLUMN) != 0;
  _vnoticeMeasureText(n, column ? 0 : available - iconWidth(n) - g, &tw, &th);
  *width = tw + iconWidth(n) + g;
  *height = std::max(iconHeight(n), th);
}

void naturalSize(vdialog* d, int* width, int* height) {
  vnotice* n = asN(d);
  super()->getNaturalSize(d, width, height);
  int cw = 0, ch = 0;
  if (n->confirmFlags & vconfirmCOLUMN) {
    contentSize(n, 0, &cw, &ch);
    *height = std::max(*height, ch);
    *width += cw;
  } else {
    contentSize(n, *width, &cw, &ch);
    *width = std::max(*width, cw);
    *height += ch;
  }
  int grow = margins().grow;
  *width += grow;
  *height += grow;
}

void place(vnotice* n, const vrect& r) {
  int g = n->icon ? gap() : 0;
  int tw = 0, th = 0, cw = 0, ch = 0;
  contentSize(n, r.width, &cw, &ch);
  if (n->text) tw = n->text->rect.width, th = n->text->rect.height;
  int top = r.y + r.height, bandY = top - ch;
  if (n->iconItem) {
    vrect ir{r.x, s16(top - iconHeight(n)), s16(iconWidth(n)), s16(iconHeight(n))};
    vdialogSetItemRect(n->iconItem, &ir);
  }
  if (!n->text) return;
  int x = r.x + (r.width - tw) / 2, y = top - th;
  if (n->icon) {
    x = r.x + g + iconWidth(n);
    if (th < iconHeight(n)) y = bandY + (ch - th) / 2;
  }
  vrect tr{s16(x), s16(y), s16(tw), s16(th)};
  vdialogSetItemRect(n->text, &tr);
  vtextitemSetJustification(n->text, justification());
}

void arrange(vdialog* d, const vrect* rect) {
  vnotice* n = asN(d);
  Margins m = margins();
  vrect inset{s16(rect->x + m.x), s16(rect->y + m.y), s16(rect->width - m.width), s16(rect->height - m.height)};
  place(n, inset);
  super()->arrange(d, &inset);
}

void fit(vnotice* n) {
  int w = 0, h = 0;
  vdialogClassOf(n)->getNaturalSize(n, &w, &h);
  if (n->minWidth > w || n->minHeight > h) vwindowClassOf(n)->setMinSize(n, w, h);
  vrect r{n->rect.x, n->rect.y, s16(w), s16(h)};
  vwindowSetRect(n, &r);
}

// Open: fitted at once; closed: at the next open (and at the next placing).
void refit(vnotice* n) {
  if (vwindowIsOpen(n)) {
    fit(n);
    return;
  }
  n->noticeFlags |= vnoticeSIZE_PENDING;
  n->dialogFlags |= vdialogSIZE_PENDING;
}

// ---- Modes.
void setOkTitle(vnotice* n, const char* title, int mnemonic) {
  vconfirmSetOkTitle(n, vscribeLiteral(title));
  vconfirmSetOkMnemonic(n, mnemonic);
}
int closingHook(vconfirm*, vevent*) { return 1; }

void setQuestion(vnotice* n, int on) {
  if ((on != 0) == ((n->noticeFlags & vnoticeQUESTION) != 0)) return;
  if (on) {
    setOkTitle(n, "Yes", 'Y');
    vconfirmShowButton(n, N("No"), 1);
    if (vdialogItem* no = vconfirmFindButton(n, N("No"))) {
      vdialogSetItemTitle(no, vscribeLiteral("No"));
      vdialogSetItemMnemonic(no, 'N');
    }
    vconfirmSetOther(n, closingHook);
    if (n->icon == warning()) n->icon = caution();
    n->noticeFlags |= vnoticeQUESTION;
  } else {
    vconfirmShowButton(n, N("No"), 0);
    setOkTitle(n, "OK", windowsLook() ? 0 : 'O');
    if (n->icon == caution()) n->icon = warning();
    n->noticeFlags &= std::uint16_t(~vnoticeQUESTION);
  }
  rebuildItems(n);
  refit(n);
}

void setCancel(vnotice* n, int on) {
  if ((on != 0) == ((n->noticeFlags & vnoticeCANCEL) != 0)) return;
  if (on) {
    vconfirmShowCancel(n, 1);
    vconfirmSetCancelTitle(n, vscribeLiteral("Cancel"));
    vconfirmSetCancelMnemonic(n, windowsLook() ? 0 : 'C');
    n->noticeFlags |= vnoticeCANCEL;
  } else {
    vconfirmShowCancel(n, 0);
    n->noticeFlags &= std::uint16_t(~vnoticeCANCEL);
  }
  refit(n);
}

void setIcon(vnotice* n, vimage* image) {
  forgetOwnedIcon(n);
  n->icon = image ? image : vconfirmFindButton(n, N("No")) ? caution() : warning();
  rebuildItems(n);
  refit(n);
}

void setTextScribed(vnotice* n, vscribe* text) {
  vtextitemSetTextScribe(n->text, text);
  refit(n);
}

// ---- Pressing: every hook that accepts closes a notice.
void run(vconfirm* c, vconfirmHook hook, vevent* e) {
  if (hook && hook(c, e) == 0) return;
  if (c->closeHook && c->closeHook(c, e) != 0) return;
  vwindowClose(c);
}
void handleApply(vconfirm* c, vevent* e, int) { run(c, c->applyHook, e); }
void handleReset(vconfirm* c, vevent* e, int) { run(c, c->resetHook, e); }
void handleOther(vconfirm* c, vevent* e, int) { run(c, c->otherHook, e); }

// Others first, then OK, No, Cancel and Help; left alone when already so.
void orderButtons(vconfirm* c) {
  vdialogItemList* l = c->buttons->items;
  vdialogItem* b[4];
  int present = 0;
  for (const char* tag : {"Ok", "No", "Cancel", "Help"})
    if (vdialogItem* x = vconfirmFindButton(c, N(tag))) b[present++] = x;
  int count = vdialogItemListCount(l);
  bool inPlace = true;
  for (int k = 0; k < present; ++k) inPlace = inPlace && vdialogItemListAt(l, count - present + k) == b[k];
  if (!inPlace) {
    for (int k = 0; k < present; ++k) vobjectListRemove(l, b[k]);
    for (int k = 0; k < present; ++k) vdialogItemListAppend(l, b[k]);
  }
  for (int k = 0; k < present; ++k) {
    if (b[k]->tag == N("Ok")) vdialogItemListSetConfirmItem(l, b[k]);
    if (b[k]->tag == N("Cancel")) vdialogItemListSetAbandonItem(l, b[k]);
  }
}

// ---- Mnemonic keys: remembered going down, pressed coming up.
vdialogItem* buttonForKey(vnotice* n, vevent* e) {
  std::uint32_t key = veventGetKey(e);
  if (key > 0xFF) return nullptr;
  int upper = std::toupper(int(key));
  vdialogItemList* l = n->buttons->items;
  for (int i = 0; i < vdialogItemListCount(l); ++i) {
    vdialogItem* b = vdialogItemListAt(l, i);
    int m = b->mnemonic & 0xFF;
    if (m && std::toupper(m) == upper && vdialogItemIsShown(b) && vdialogItemIsEnabled(b)) return b;
  }
  return nullptr;
}

// Shift, Control, Alt and their kin: they come and go around the letter
// (Shift often goes up first) and neither start nor end a press.
bool modifierKey(vevent* e) { return veventGetKey(e) >= 0xFCE1 && veventGetKey(e) <= 0xFCEE; }

int keyDown(vwindow* w, vevent* e) {
  vnotice* n = asN(w);
  if (modifierKey(e)) return super()->handleKeyDown(w, e);
  if (buttonForKey(n, e)) {
    n->pendingMnemonic = std::uint8_t(std::toupper(int(veventGetKey(e))));
    return 1;
  }
  n->pendingMnemonic = 0;
  return super()->handleKeyDown(w, e);
}

int keyUp(vwindow* w, vevent* e) {
  vnotice* n = asN(w);
  if (modifierKey(e)) return super()->handleKeyUp(w, e);
  vdialogItem* b = buttonForKey(n, e);
  int upper = b ? std::toupper(int(veventGetKey(e))) : -1;
  bool match = b && n->pendingMnemonic && upper == n->pendingMnemonic;
  n->pendingMnemonic = 0;
  if (!match) return super()->handleKeyUp(w, e);
  vobjectAttributedOf(b)->issueSelector(b, 3, nullptr);  // a click: pressed, then released and notified
  return 1;
}

// ---- Object slots.
void setUp(vnotice* n) {
  vwindowClassOf(n)->setModal(n, 1);
  vconfirmSetOwnTitles(n, 1);
  n->pendingMnemonic = 0;
}

void init(vinstance* self) {
  super()->init(self);
  vnotice* n = asN(self);
  n->noticeFlags = vnoticeSIZE_PENDING;
  n->text = nullptr;
  n->iconItem = nullptr;
  n->icon = nullptr;
  setUp(n);
  setOkTitle(n, "OK", windowsLook() ? 0 : 'O');
  vconfirmSetDisableOnClear(n, 0);
  vconfirmShowHelp(n, 0);
  vconfirmShowCancel(n, 0);
  n->icon = warning();
  makeText(n);
  remakeIconItem(n);
  addItems(n);
}

void destroy(vinstance* self) {
  vnotice* n = asN(self);
  forgetOwnedIcon(n);
  super()->destroy(self);
}

int indexIn(vdialog* d, vdialogItem* item) { return item ? vobjectListIndexOf(d->items, item) : -1; }
vdialogItem* itemAt(vdialog* d, int index) { return index < 0 ? nullptr : vdialogItemListAt(d->items, index); }

template <bool Init>
void copyNotice(vobject* source, vobject* destination) {
  if (!destination) _vexGenerate(&vexArgNullClass, vexSetMessage, "copy into a null notice", vexEnd);
  if (source == destination) return;
  vnotice* from = asN(source);
  vnotice* to = asN(destination);
  if (!Init) forgetOwnedIcon(to);
  if (Init) super()->copyInit(source, destination);
  else super()->copy(source, destination);
  // The list copy made the items anew; ours stand where the source's do.
  to->text = static_cast<vtextitem*>(itemAt(to, indexIn(from, from->text)));
  to->iconItem = itemAt(to, indexIn(from, from->iconItem));
  to->icon = from->icon;
  to->noticeFlags = std::uint16_t((Init ? vnoticeSIZE_PENDING : to->noticeFlags & vnoticeSIZE_PENDING) |
                                  (from->noticeFlags & (vnoticeQUESTION | vnoticeCANCEL)));
  if ((from->noticeFlags & vnoticeICON_OWNED) && from->icon) {
    to->icon = static_cast<vimage*>(vobjectClone(from->icon));
    to->noticeFlags |= vnoticeICON_OWNED;
    if (to->iconItem) vdialogSetItemImage(to->iconItem, to->icon);
  }
  to->pendingMnemonic = from->pendingMnemonic;
}

void loadInit(vobject* self, vresource resource) {
  super()->loadInit(self, resource);
  vnotice* n = asN(self);
  n->noticeFlags = vnoticeSIZE_PENDING;
  n->text = nullptr;
  n->iconItem = nullptr;
  n->icon = nullptr;
  bool cancel = false;
  if (vdialogItem* defaults = vconfirmFindButton(n, N("Defaults"))) {
    defaults->tag = N("No");
    defaults->notifyFunc = _vconfirmNotifyFor(defaults->tag);
    cancel = vconfirmFindButton(n, N("Cancel")) != nullptr;
  }
  n->text = static_cast<vtextitem*>(_vobjectLoadOfClass(vresourceGet(resource, N("NoticeText")), vtextitemGetDefaultClass()));
  vresource icon;
  if (vresourceTestGet(resource, N("NoticeIcon"), &icon)) {
    n->icon = vimageLoad(icon);
    n->noticeFlags |= vnoticeICON_OWNED;
  } else {
    n->icon = lookId() == vlafOPEN_LOOK ? nullptr : warning();
  }
  setUp(n);
  remakeIconItem(n);
  addItems(n);
  setQuestion(n, vconfirmFindButton(n, N("No")) != nullptr);
  if (cancel) setCancel(n, 1);
  n->pendingMnemonic = 0;
}

void store(vobject* self, vresource resource) {
  vnotice* n = asN(self);
  takeItems(n);
  super()->store(self, resource);
  vresource child;
  if (!vresourceTestGet(resource, N("NoticeText"), &child)) child = vresourceMake(resource, N("NoticeText"));
  vclassRec<vobjectClassRec>(n->text)->store(n->text, child);
  bool has = vresourceTestGet(resource, N("NoticeIcon"), &child);
  if (n->icon && !isDefaultIcon(n->icon)) {
    if (!has) child = vresourceMake(resource, N("NoticeIcon"));
    vclassRec<vobjectClassRec>(n->icon)->store(n->icon, child);
  } else if (has) {
    vresourceRemove(resource, N("NoticeIcon"));
  }
  addItems(n);
}

void open(vwindow* w) {
  vnotice* n = asN(w);
  if (!vwindowIsOpen(n) && (n->noticeFlags & vnoticeSIZE_PENDING)) {
    n->noticeFlags &= std::uint16_t(~vnoticeSIZE_PENDING);
    fit(n);
  }
  super()->open(w);
  vwindowClassOf(w)->raise(w);
}

NoticeState* state() {
  if (auto* bound = vmoduleState<NoticeState>(stateSlot)) return bound;
  auto* st = static_cast<NoticeState*>(vmoduleBindSlot(stateSlot, sizeof(NoticeState)));
  *st = NoticeState{};
  st->lookId = vlafGetCurrent()->id;

  auto* c = vclassSpawnOf<vnoticeClassRec>(super());
  c->instanceSize = sizeof(vnotice);
  c->init = init;
  c->destroy = destroy;
  c->copy = copyNotice<false>;
  c->copyInit = copyNotice<true>;
  c->loadInit = loadInit;
  c->store = store;
  c->open = open;
  c->handleKeyDown = keyDown;
  c->handleKeyUp = keyUp;
  c->arrange = arrange;
  c->getNaturalSize = naturalSize;
  c->handleApply = handleApply;
  c->handleReset = handleReset;
  c->handleOther = handleOther;
  c->orderButtons = orderButtons;
  c->setTextScribed = setTextScribed;
  c->setQuestion = setQuestion;
  c->setCancel = setCancel;
  c->setIcon = setIcon;
  vclassSetName(c, vscribeLiteral("vnotice"));
  if (st->lookId == vlafWIN95) vlafSetClassMSWFont(vlafWIN95, c, 2);
  st->cls = c;
  return st;
}

}  // namespace

vnoticeClassRec* vnoticeGetDefaultClass() { return state()->cls; }
vnotice* vnoticeCreate() { return asN(vinstanceCreate(vnoticeGetDefaultClass())); }

// The text item ends at the size it was measured with.
void _vnoticeMeasureText(vnotice* n, int available, int* width, int* height) {
  *width = *height = 0;
  vtextitem* t = n->text;
  if (!t) return;
  vfont* font = vdialogDetermineItemFont(t);
  int lineHeight = rounded(vfontGetHeight(font));
  const vfontDriver* driver = vfontGetDriver();
  int descent = driver && driver->descent ? rounded(driver->descent(font)) : 0;
  int u = descent + lineHeight;
  // Without a font driver the metrics are 0: a line is at least one unit.
  int L = std::max(1, lineHeight);
  int W = wholeWidth(t);
  int w0 = std::max(200, 6 * u);
  if (w0 <= W) {
    vtextitemSetWrap(t, 1);
    int w = w0, h = 2 * u;
    sizeText(t, w, h);
    for (int round = 0; lines(t) > 2 && round < 3; ++round) sizeText(t, w += 30, h);
    if (lines(t) <= 2) {
      *width = t->rect.width, *height = t->rect.height;
      return;
    }
    for (int allowed = 3; allowed <= 15 && h < 280; ++allowed) {
      sizeText(t, w, h += u);
      if (lines(t) <= allowed) {
        *width = t->rect.width, *height = t->rect.height;
        return;
      }
    }
    W = wholeWidth(t);
  } else {
    vtextitemSetWrap(t, 0);
    sizeText(t, w0, 2 * u);
  }
  if (available > W) {
    vtextitemSetWrap(t, 0);
    sizeText(t, available, L);
  } else if (W >= 200) {
    vtextitemSetWrap(t, 1);
    int tall = int(W * 0.1);
    int q = std::max(2, tall / L - 1);
    sizeText(t, W / q, tall);
  } else {
    vtextitemSetWrap(t, 0);
    sizeText(t, 200, L);
  }
  naturalOf(t, width, height);
  // The item is placed at its own size: one line high it would cut the
  // line's bottom off by its margins, so an unwrapped one keeps at least
  // the height measured.
  if (!vtextitemGetWrap(t) && *height > t->rect.height) sizeText(t, t->rect.width, *height);
}
