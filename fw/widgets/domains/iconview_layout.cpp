// Icon views: the two geometries, the grid, finding room for a new icon,
// laying icons out again and drawing the image and name objects.
#include <algorithm>
#include <cstring>

#include "fw/gui/graphics/draw.h"
#include "fw/widgets/domains/domain_internal.h"
#include "fw/widgets/domains/iconview.h"
#include "fw/widgets/look/laf.h"

namespace {

std::int16_t s16(int v) { return static_cast<std::int16_t>(v); }
int rounded(vfixed v) { return static_cast<int>((static_cast<std::int64_t>(v) + 32768) >> 16); }

vfont* fontOf(viconview* v) { return vdialogDetermineItemFont(v); }

void nameSize(viconview* v, viconviewIcon* icon, int* width, int* height) {
  vfont* f = fontOf(v);
  const char* name = icon ? icon->name : nullptr;
  *width = name && *name && f ? rounded(vfontGetCharsWidth(f, name, static_cast<int>(std::strlen(name)))) + 4 : 2;
  *height = (f ? rounded(vfontGetHeight(f)) : 0) + 1;
}

vrect imageRect(viconview* v, viconviewView* type, viconviewIcon* icon, vpoint p) {
  vimage* image = icon ? viconviewGetIconImage(icon, type) : (type ? type->image : nullptr);
  int w = image ? image->width : 0, h = image ? image->height : 0;
  (void)v;
  return {p.x, p.y, s16(w + 6), s16(h + 6)};
}

// The oldest icon: new objects go in at the head of the domain's order.
viconviewIcon* firstIcon(viconview* v) {
  for (vdomainObject* o = v->domain ? vdomainLastObject(v->domain) : nullptr; o; o = o->prev)
    if (o->type == viconviewIMAGE_OBJECT && viconviewIconOf(o)) return viconviewIconOf(o);
  return nullptr;
}

// Steps below one would never leave the first position.
std::int16_t step(std::int32_t v) { return s16(std::clamp<std::int32_t>(v, 1, 32767)); }

}  // namespace

void viconviewIconGeometry(viconview* v, viconviewView* type, viconviewIcon* icon, vpoint p, vrect* image,
                           vrect* name) {
  *image = imageRect(v, type, icon, p);
  int w, h;
  nameSize(v, icon, &w, &h);
  *name = {s16(image->x + image->width / 2 - w / 2), s16(image->y - h), s16(w), s16(h)};
}

void viconviewNameGeometry(viconview* v, viconviewView* type, viconviewIcon* icon, vpoint p, vrect* image,
                           vrect* name) {
  *image = imageRect(v, type, icon, p);
  int w, h;
  nameSize(v, icon, &w, &h);
  *name = {s16(image->x + image->width + 5), s16(image->y + image->height / 2 - h / 2), s16(w), s16(h)};
}

void viconviewInitGridIterator(viconviewGridIterator* it, viconview* v) {
  viconviewView* t = v->viewType;
  if (!t || !t->geometry)
    _vexGenerate(&viconviewNoGeometryProcClass, vexSetMessage,
                 "viconviewInitGridIterator -- viconviewView has no GeometryProc", vexEnd);
  it->view = v;
  it->stepX = step(t->grid[0]);
  it->stepY = step(t->grid[1]);
  const vrectLong& area = v->domain ? v->domain->view : v->visible;
  int x0 = static_cast<int>(v->visible.x) + t->inset[0];
  // The first icon's name may begin left of its image; it was placed right
  // by that much, and every column follows it so that later long names
  // never move the columns under the icons already there.
  if (viconviewIcon* icon = firstIcon(v)) {
    vrect image, name;
    t->geometry(v, t, icon, vpoint{0, 0}, &image, &name);
    x0 += std::max(0, -static_cast<int>(name.x));
  }
  int imageHeight = t->image ? t->image->height : 0;
  int y0 = static_cast<int>(area.y + area.height) - imageHeight - t->inset[1] - 6;
  it->first = {s16(x0), s16(y0)};
  // The last column whose whole grid cell fits in the view; at least one.
  int right = static_cast<int>(v->visible.x + v->visible.width);
  int columns = std::max(0, (right - x0) / it->stepX - 1);
  it->lastX = s16(x0 + columns * it->stepX);
  it->position = {s16(x0 - it->stepX), s16(y0)};
}

vpoint viconviewNextGridPosition(viconviewGridIterator* it) {
  int x = it->position.x + it->stepX, y = it->position.y;
  if (x > it->lastX) x = it->first.x, y -= it->stepY;
  it->position = {s16(x), s16(y)};
  return it->position;
}

vpoint viconviewSnapToGrid(viconviewGridIterator* it, vpoint p) {
  auto nearest = [](int d, int s) { return d <= 0 ? 0 : (d + s / 2) / s; };
  int column = nearest(p.x - it->first.x, it->stepX);
  int row = nearest(it->first.y - p.y, it->stepY);
  if (it->first.x + column * it->stepX > it->lastX) column = 0, ++row;
  return {s16(it->first.x + column * it->stepX), s16(it->first.y - row * it->stepY)};
}

vpoint viconviewFindRoom(viconview* v, viconviewIcon* icon) {
  viconviewGridIterator it;
  viconviewInitGridIterator(&it, v);
  if (v->layoutFlags & viconviewNEXT_VALID) it.position = viconviewSnapToGrid(&it, v->next);
  viconviewView* t = v->viewType;
  for (;;) {
    vpoint p = viconviewNextGridPosition(&it);
    vrect image, name;
    t->geometry(v, t, icon, p, &image, &name);
    if (v->iconCount == 0 && name.x < image.x) p.x = s16(p.x + image.x - name.x), t->geometry(v, t, icon, p, &image, &name);
    if (!v->domain) return p;
    vdomainSet* found = vdomainFindObjectsShort(v->domain, &image, 0, 1, 0, vdomainFILTER_ALL, nullptr, nullptr);
    bool free = found->count == 0;
    vdomainDestroySet(found);
    // A row far below anything there is always free.
    if (free || p.y < -30000) return p;
  }
}

void viconviewGetIconRects(viconviewIcon* icon, vrect* image, vrect* name) {
  viconview* v = icon->owner;
  vpoint p = icon->object ? vpoint{s16(icon->object->rect.x), s16(icon->object->rect.y)} : vpoint{0, 0};
  v->viewType->geometry(v, v->viewType, icon, p, image, name);
}

namespace {
// Both objects of the icon take the rectangles of its current position.
void placeIcon(viconviewIcon* icon) {
  viconview* v = icon->owner;
  if (!v || !icon->object || !v->viewType || !v->viewType->geometry) return;
  vrect image, name;
  viconviewGetIconRects(icon, &image, &name);
  vdomain* d = v->domain;
  vdomainObject* o = icon->object;
  vdomainSet* one = vdomainCreateSetOf(&o, 1);
  vdomainClassOf(d)->setRects(d, one, &image);
  if (o->connection && o->connection != o) {
    one->objects[0] = o->connection;
    vdomainClassOf(d)->setRects(d, one, &name);
  }
  vdomainDestroySet(one);
}
}  // namespace

void _viconviewRelayout(viconview* v) {
  if (!v->domain) return;
  for (vdomainObject* o = v->domain->first; o; o = o->next)
    if (o->type == viconviewIMAGE_OBJECT)
      if (viconviewIconOf(o)) placeIcon(viconviewIconOf(o));
}

void viconviewSetIconPosition(viconviewIcon* icon, vpoint p) {
  if (!icon->owner || !icon->object)
    _vexGenerate(&viconviewOrphanIconClass, vexSetMessage, "viconviewSetIconPosition -- icon isn't in a viconview",
                 vexEnd);
  vdomain* d = icon->owner->domain;
  vdomainSet* ring = vdomainClassOf(d)->connectedSet(d, icon->object);
  vdomainMoveObjects(d, ring, p.x - icon->object->rect.x, p.y - icon->object->rect.y, vdomainMOVE_OFFSET);
  vdomainDestroySet(ring);
}

vpoint viconviewGetIconPosition(viconviewIcon* icon) {
  if (!icon->owner || !icon->object)
    _vexGenerate(&viconviewOrphanIconClass, vexSetMessage, "viconviewGetIconPosition -- icon isn't in a viconview",
                 vexEnd);
  return {s16(icon->object->rect.x), s16(icon->object->rect.y)};
}

void _viconviewPlaceIcon(viconviewIcon* icon) { placeIcon(icon); }

// ---- Drawing ------------------------------------------------------------------------------------

void _viconviewDrawObject(vdomainview* dv, vdomainObject* o) {
  auto* v = static_cast<viconview*>(dv);
  viconviewIcon* icon = viconviewIconOf(o);
  if (!icon) return;
  vrect r;
  vdomainviewDomainRectToView(v, &o->rect, &r);
  bool selected = v->slot >= 0 && vdomainIsSelected(o, v->slot);
  const vlaf* look = vlafGetCurrent();
  vdrawGSave();
  if (o->type == viconviewIMAGE_OBJECT) {
    if (selected) {
      if (look->id == vlafCUA) {
        vdrawSetColor(vdialogGetItemColor(v, 10));
        vdrawRectFill(r.x, r.y, r.width, r.height);
      } else if (look->flags & vlaf3D) {
        vdrawSetLineWidth(1);
        vdrawSetColor(vdialogGetItemColor(v, 4));
        vdrawRectsFrame(&r, 1);
        vrect inner{s16(r.x + 1), r.y, s16(r.width - 1), s16(r.height - 1)};
        vdrawSetColor(vdialogGetItemColor(v, 6));
        vdrawRectsFrame(&inner, 1);
      } else {
        vdrawSetLineWidth(1);
        vdrawSetColor(vdialogGetItemColor(v, vcolorFOREGROUND));
        vdrawRectsFrame(&r, 1);
      }
    }
    if (vimage* image = viconviewGetIconImage(icon, v->viewType)) {
      vdrawPathMoveTo(r.x + 3, r.y + 3);
      vdrawImage(image);
    }
  } else if (o->type == viconviewNAME_OBJECT && icon->name && *icon->name) {
    vdrawSetColor(vdialogGetItemColor(v, selected ? 10 : 2));
    vdrawRectFill(r.x, r.y, r.width, r.height);
    vfont* f = vdialogDetermineItemFont(v);
    if (f) {
      int length = static_cast<int>(std::strlen(icon->name));
      vrect bounds{};
      vfontGetCharsBounds(f, icon->name, length, &bounds);
      vdrawSetFont(f);
      vdrawSetColor(vdialogGetItemColor(v, selected ? 8 : 0));
      vdrawPathMoveTo(r.x + 2 - bounds.x, r.y + rounded(vfontGetDriver()->descent(f)));
      vdrawShowScribe(vscribeCString(icon->name));
    }
  }
  vdrawGRestore();
}
