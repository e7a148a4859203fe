// Icon views: the module with its classes and view types, icons and
// their images, the view's life cycle and resource form, and the view's
// answers to selectors, fonts, sizes and tracked presses.
#include "fw/widgets/domains/iconview.h"

#include <algorithm>
#include <cstring>

#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/gui/window/namedres.h"
#include "fw/widgets/domains/domain_internal.h"

const vexClass viconviewNoGeometryProcClass{&vexArgClass, "No Geometry Proc", 40, vexArgPrint,
                                            sizeof(vexArgException)};
const vexClass viconviewOrphanIconClass{&vexArgClass, "Orphan Icon", 40, vexArgPrint, sizeof(vexArgException)};

void _viconviewPlaceIcon(viconviewIcon* icon);

namespace {

struct Module {
  viconviewClassRec* view;
  vdomainClassRec* domain;
  vobjectClassRec* type;
  vclass* icon;
  viconviewView* iconView;
  viconviewView* nameView;
  viconviewView** registry;  // every view type loaded
  std::int32_t registered, capacity;
  bool destroying;  // the domain being destroyed takes its icons along
  bool loaded;
};
void** moduleSlot = nullptr;

void freeModule() {
  auto* m = static_cast<Module*>(*moduleSlot);
  if (!m) return;
  vmemFree(m->registry);
  m->registry = nullptr;
  m->registered = m->capacity = 0;
}

Module* module() {
  if (!*vmoduleSlot(moduleSlot)) {
    auto* m = static_cast<Module*>(vmoduleBindSlot(moduleSlot, sizeof(Module)));
    *m = Module{};
    vmoduleAddContextExitProc(freeModule);
  }
  return static_cast<Module*>(*moduleSlot);
}

std::int16_t s16(int v) { return static_cast<std::int16_t>(v); }
viconview* asView(vinstance* o) { return static_cast<viconview*>(o); }
vdomainitemClassRec* super() { return vdomainitemGetDefaultClass(); }

// A literal or a name is used in place; any other text is copied and owned.
char* takeText(vscribe* s, bool* owned) {
  if (s->flags & (vscribeLITERAL | vscribeNAME)) {
    auto* text = static_cast<char*>(const_cast<void*>(s->data));
    vscribeRelease(s);
    *owned = false;
    return text;
  }
  *owned = true;
  return vstrCloneScribed(s, nullptr);
}

// ---- View types -----------------------------------------------------------------------------------

viconviewView* asType(vinstance* o) { return static_cast<viconviewView*>(o); }

void registerType(viconviewView* t) {
  Module* m = module();
  if (m->registered == m->capacity) {
    m->capacity = m->capacity ? m->capacity * 2 : 4;
    m->registry = static_cast<viconviewView**>(vmemRealloc(m->registry, sizeof(viconviewView*) * m->capacity));
  }
  m->registry[m->registered++] = t;
}

void unregisterType(viconviewView* t) {
  Module* m = module();
  for (std::int32_t i = 0; i < m->registered; ++i)
    if (m->registry[i] == t) {
      std::copy(m->registry + i + 1, m->registry + m->registered, m->registry + i);
      --m->registered;
      return;
    }
}

void typeInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  viconviewView* t = asType(self);
  t->name = nullptr;
  t->image = nullptr;
  std::fill(t->grid, t->grid + 4, 0);
  t->flags = 0;
  t->inset[0] = 10;
  t->inset[1] = 16;
  t->geometry = nullptr;
}

void typeRelease(viconviewView* t) {
  if ((t->flags & viconviewViewNAME) && t->name) vstrDestroy(t->name);
  if ((t->flags & viconviewViewIMAGE) && t->image) vimageDestroy(t->image);
  t->name = nullptr;
  t->image = nullptr;
  t->flags = 0;
}

void typeDestroy(vinstance* self) {
  typeRelease(asType(self));
  unregisterType(asType(self));
  vobjectGetDefaultClass()->destroy(self);
}

void typeCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  viconviewView *s = asType(source), *t = asType(destination);
  typeRelease(t);
  t->name = (s->flags & viconviewViewNAME) && s->name ? vstrClone(s->name) : s->name;
  t->image = (s->flags & viconviewViewIMAGE) && s->image ? static_cast<vimage*>(vobjectClone(s->image)) : s->image;
  t->flags = s->flags;
  std::copy(s->grid, s->grid + 4, t->grid);
  t->inset[0] = s->inset[0];
  t->inset[1] = s->inset[1];
  t->geometry = s->geometry;
}

bool loadInts(vresource r, const char* key, std::int32_t* out, int n) {
  vresource a;
  if (!vresourceTestGet(r, N(key), &a) || vresourceGetType(a, nullptr) != vresARRAY) return false;
  if (vresourceGetElementType(a) != vresINTEGER || vresourceCount(a) < n) return false;
  for (int i = 0; i < n; ++i) out[i] = vresourceGetAtInteger(a, i);
  return true;
}
void storeInts(vresource r, const char* key, const std::int32_t* values, int n) {
  vresource a = vresourceCreateArray(r, N(key), vresINTEGER, n);
  for (int i = 0; i < n; ++i) vresourceSetAtInteger(a, i, values[i]);
}

void typeLoadInit(vobject* self, vresource r) {
  vobjectGetDefaultClass()->loadInit(self, r);
  typeInit(self);
  viconviewView* t = asType(self);
  vstr* name = nullptr;
  if (vresourceTestGetStringCopy(r, N("Name"), &name)) t->name = name, t->flags |= viconviewViewNAME;
  vresource image;
  if (vresourceTestGet(r, N("Image"), &image)) t->image = vimageLoad(image), t->flags |= viconviewViewIMAGE;
  loadInts(r, "Grid", t->grid, 4);
  std::int32_t inset[2];
  if (loadInts(r, "Inset", inset, 2)) t->inset[0] = s16(inset[0]), t->inset[1] = s16(inset[1]);
  registerType(t);
}

void typeStore(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  viconviewView* t = asType(self);
  storeInts(r, "Grid", t->grid, 4);
  vresource old;
  if (t->name) vresourceSetString(r, N("Name"), vscribeCString(t->name));
  else if (vresourceTestGet(r, N("Name"), &old)) vresourceRemove(r, N("Name"));
  if (t->image) {
    vresource child = vresourceCreate(r, N("Image"), vresDICTIONARY);
    vclassRec<vobjectClassRec>(t->image)->store(t->image, child);
  } else if (vresourceTestGet(r, N("Image"), &old)) {
    vresourceRemove(r, N("Image"));
  }
  const std::int32_t inset[2] = {t->inset[0], t->inset[1]};
  storeInts(r, "Inset", inset, 2);
}

// A type the resources do not describe: a plain grid and no image.
viconviewView* builtinType(const char* name, std::int32_t gridX, std::int32_t gridY) {
  auto* t = asType(vinstanceCreate(viconviewViewGetDefaultClass()));
  t->name = const_cast<char*>(name);
  t->grid[0] = gridX;
  t->grid[1] = gridY;
  registerType(t);
  return t;
}

viconviewView* loadType(vresource dict, const char* key) {
  vresource entry;
  if (!dict || !vresourceTestGet(dict, N(key), &entry)) return nullptr;
  vresource cls;
  if (vresourceTestGet(entry, N("Class"), &cls)) return asType(_vobjectLoadOfClass(entry, viconviewViewGetDefaultClass()));
  vobjectClassRec* c = viconviewViewGetDefaultClass();
  auto* t = static_cast<viconviewView*>(vclassAllocInstance(c));
  t->cls = c;
  c->loadInit(t, entry);
  return t;
}

void destroyTypes() {
  Module* m = module();
  for (viconviewView** t : {&m->iconView, &m->nameView})
    if (*t) vinstanceDestroy(*t), *t = nullptr;
  m->loaded = false;
}

void loadTypes() {
  Module* m = module();
  if (m->loaded) return;
  m->loaded = true;
  for (const char* name : {"ViewType", "Icons", "Images", "Position", "NameIcon"}) vnameInternLiteral(name);
  vresource dict = 0;
  vexTry([&] {
    if (!vapplicationFindNamedResource(N("viconview"), &dict)) dict = 0;
  });
  vexTry([&] { m->iconView = loadType(dict, "Icon View"); });
  vexTry([&] { m->nameView = loadType(dict, "Name View"); });
  if (!m->iconView) m->iconView = builtinType("Icon View", 80, 60);
  if (!m->nameView) m->nameView = builtinType("Name View", 160, 24);
  m->iconView->geometry = viconviewIconGeometry;
  m->nameView->geometry = viconviewNameGeometry;
  vmoduleAddContextExitProc(destroyTypes);
}

// ---- Image tables -----------------------------------------------------------------------------------

viconviewImageEntry* findEntry(viconviewImageTable* t, viconviewView* type) {
  viconviewImageEntry* e = _viconviewImageEntries(t);
  for (std::int32_t i = 0; i < t->count; ++i)
    if (e[i].type == type || (type && type->name && e[i].typeName && std::strcmp(e[i].typeName, type->name) == 0))
      return &e[i];
  return nullptr;
}

void storeEntry(viconviewImageTable* t, viconviewView* type, vimage* image, bool owned) {
  viconviewImageEntry* e = findEntry(t, type);
  if (e) {
    if (e->owned && e->image && e->image != image) vimageDestroy(e->image);
  } else {
    if (t->count == 2) {
      t->heap = static_cast<viconviewImageEntry*>(vmemAlloc(sizeof(viconviewImageEntry) * 4));
      std::copy(t->inlined, t->inlined + 2, t->heap);
    } else if (t->count > 2 && (t->count & (t->count - 1)) == 0) {
      t->heap = static_cast<viconviewImageEntry*>(vmemRealloc(t->heap, sizeof(viconviewImageEntry) * t->count * 2));
    }
    e = &_viconviewImageEntries(t)[t->count++];
  }
  *e = {type, type ? type->name : nullptr, image, owned ? 1 : 0};
}

// ---- Icons -------------------------------------------------------------------------------------------

viconviewIcon* asIcon(vinstance* o) { return static_cast<viconviewIcon*>(o); }

void iconInit(vinstance* self) {
  vinstanceGetDefaultClass()->init(self);
  viconviewIcon* i = asIcon(self);
  i->object = nullptr;
  i->name = nullptr;
  i->owner = nullptr;
  i->flags = 0;
  i->images = {};
  i->data = 0;
}

void iconDestroy(vinstance* self) {
  viconviewIcon* i = asIcon(self);
  if ((i->flags & viconviewIconNAME_OWNED) && i->name) vstrDestroy(i->name);
  _viconviewClearImages(&i->images);
  vinstanceGetDefaultClass()->destroy(self);
}

viconviewIcon* cloneIcon(viconviewIcon* from) {
  viconviewIcon* i = asIcon(vinstanceCreate(from->cls));
  i->flags = from->flags;
  i->name = (from->flags & viconviewIconNAME_OWNED) && from->name ? vstrClone(from->name) : from->name;
  viconviewImageEntry* e = _viconviewImageEntries(&from->images);
  for (std::int32_t k = 0; k < from->images.count; ++k)
    storeEntry(&i->images, e[k].type,
               e[k].owned && e[k].image ? static_cast<vimage*>(vobjectClone(e[k].image)) : e[k].image, e[k].owned);
  return i;
}

void iconChanged(viconviewIcon* icon) {
  viconview* v = icon->owner;
  if (!v || !icon->object) return;
  _viconviewPlaceIcon(icon);
  vdialogInvalItem(v, 0);
}

// ---- The icon view's domain ---------------------------------------------------------------------------

// The ring partner of an image object carries the same icon.
void bindRing(vdomainObject* image, viconviewIcon* icon) {
  image->data = reinterpret_cast<std::intptr_t>(icon);
  icon->object = image;
  for (vdomainObject* p = image->connection; p && p != image; p = p->connection)
    p->data = reinterpret_cast<std::intptr_t>(icon);
}

void domainRelease(vdomain* d, vdomainObject* o) {
  if (module()->destroying && o->type == viconviewIMAGE_OBJECT && o->data) {
    viconviewIcon* icon = asIcon(reinterpret_cast<vinstance*>(o->data));
    icon->owner = nullptr;
    icon->object = nullptr;
    vinstanceDestroy(icon);
    o->data = 0;
  }
  vdomainGetDefaultClass()->releaseObject(d, o);
}

void domainStoreObject(vdomain* d, vdomainObject* o, vresource r) {
  vdomainGetDefaultClass()->storeObject(d, o, r);
  viconviewIcon* icon = o->type == viconviewIMAGE_OBJECT ? viconviewIconOf(o) : nullptr;
  if (!icon) return;
  if (icon->name && *icon->name) vresourceSetString(r, N("Name"), vscribeCString(icon->name));
  if (!icon->images.count) return;
  vresource images = vresourceCreate(r, N("Images"), vresDICTIONARY);
  viconviewImageEntry* e = _viconviewImageEntries(&icon->images);
  for (std::int32_t i = 0; i < icon->images.count; ++i)
    if (e[i].typeName && e[i].image)
      vclassRec<vobjectClassRec>(e[i].image)
          ->store(e[i].image, vresourceCreate(images, vnameInternLiteral(e[i].typeName), vresDICTIONARY));
}

void domainLoadObject(vdomain* d, vdomainObject* o, vresource r) {
  vdomainGetDefaultClass()->loadObject(d, o, r);
  o->data = 0;
  if (o->type != viconviewIMAGE_OBJECT) return;
  viconviewIcon* icon = asIcon(vinstanceCreate(viconviewIconGetDefaultClass()));
  vstr* name = nullptr;
  if (vresourceTestGetStringCopy(r, N("Name"), &name)) icon->name = name, icon->flags |= viconviewIconNAME_OWNED;
  vresource images;
  if (vresourceTestGet(r, N("Images"), &images)) {
    std::int32_t n = vresourceCount(images);
    for (std::int32_t i = 0; i < n; ++i) {
      vname key = nullptr;
      vresource image = vresourceGetTagAt(images, i, &key);
      if (viconviewView* type = viconviewFindView(key)) storeEntry(&icon->images, type, vimageLoad(image), true);
    }
  }
  o->data = reinterpret_cast<std::intptr_t>(icon);
  icon->object = o;
}

// ---- The view ---------------------------------------------------------------------------------------

void requireGeometry(viconviewView* t, const char* message) {
  if (!t || !t->geometry) _vexGenerate(&viconviewNoGeometryProcClass, vexSetMessage, message, vexEnd);
}

void applyView(viconview* v, viconviewView* t) {
  requireGeometry(t, "_viconviewSetView -- viconviewView has no GeometryProc");
  v->viewType = t;
  if (v->domain) {
    vdomainSetVirtualBuffer(v->domain, t->inset[0], t->inset[1]);
    _viconviewRelayout(v);
    std::copy(t->grid, t->grid + 4, v->domain->grid);
  }
  vdialogInvalItem(v, 0);
}

void setView(viconview* v, viconviewView* t) {
  if (t != v->viewType) applyView(v, t);
}

void selectionPainter(vdomainview* v, vdomainObject* o) {
  if (!v->showingSelection) return;
  vrect r, inside;
  vdomainviewDomainRectToView(v, &o->rect, &r);
  vrectIntersect(&r, &v->area, &inside);
  if (inside.width > 0 && inside.height > 0) vdialogItemClassOf(v)->invalRect(v, &inside, 0);
}

// Set-up shared by init and load: the domain follows the icons.
void setUp(viconview* v) {
  v->iconCount = 0;
  v->layoutFlags = 0;
  v->next = {0, 0};
  v->callback = nullptr;
  v->objectPainter = _viconviewDrawObject;
  v->selectionPainter = selectionPainter;
  v->viewAttributes |= vdomainviewLIVE_BAND | vdomainviewAUTO_SCROLL;
  if (v->domain) vdomainSetAttributes(v->domain, vdomainVIRTUAL_BOUNDS, 1);
}

void init(vinstance* self) {
  loadTypes();
  viconview* v = asView(self);
  v->images = {};
  v->viewType = nullptr;
  super()->init(self);
  setUp(v);
  applyView(v, module()->iconView);
}

void destroy(vinstance* self) {
  viconview* v = asView(self);
  _viconviewClearImages(&v->images);
  Module* m = module();
  bool was = m->destroying;
  m->destroying = true;
  super()->destroy(self);
  m->destroying = was;
}

void copy(vobject* source, vobject* destination) {
  super()->copy(source, destination);
  viconview *s = asView(source), *t = asView(destination);
  _viconviewClearImages(&t->images);
  viconviewImageEntry* e = _viconviewImageEntries(&s->images);
  for (std::int32_t i = 0; i < s->images.count; ++i)
    storeEntry(&t->images, e[i].type,
               e[i].owned && e[i].image ? static_cast<vimage*>(vobjectClone(e[i].image)) : e[i].image, e[i].owned);
  t->callback = s->callback;
  t->iconCount = 0;
  t->layoutFlags = 0;
  t->objectPainter = s->objectPainter;
  t->selectionPainter = s->selectionPainter;
  // The copied domain's objects still name the source's icons.
  for (vdomainObject* o = t->domain ? t->domain->first : nullptr; o; o = o->next)
    if (o->type == viconviewIMAGE_OBJECT && o->data) {
      viconviewIcon* icon = cloneIcon(viconviewIconOf(o));
      bindRing(o, icon);
      icon->owner = t;
      ++t->iconCount;
    }
  t->viewType = nullptr;
  applyView(t, s->viewType);
}

void copyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

void loadInit(vobject* self, vresource r) {
  loadTypes();
  viconview* v = asView(self);
  v->images = {};
  v->viewType = nullptr;
  super()->loadInit(self, r);
  setUp(v);
  std::int32_t type = 0;
  vresourceTestGetInteger(r, N("ViewType"), &type);
  viconviewView* t = type == 1 ? module()->iconView : module()->nameView;
  if (v->domain) {
    std::copy(t->grid, t->grid + 4, v->domain->grid);
    vdomainSetVirtualBuffer(v->domain, t->inset[0], t->inset[1]);
    for (vdomainObject* o = v->domain->first; o; o = o->next)
      if (o->type == viconviewIMAGE_OBJECT && o->data) {
        viconviewIcon* icon = viconviewIconOf(o);
        bindRing(o, icon);
        icon->owner = v;
        ++v->iconCount;
      }
  }
  applyView(v, t);
}

void store(vobject* self, vresource r) {
  super()->store(self, r);
  viconview* v = asView(self);
  vresourceSetInteger(r, N("ViewType"), v->viewType == module()->iconView ? 1 : v->viewType == module()->nameView ? 2 : 0);
}

vdomain* makeDomain(vdomainview*) { return static_cast<vdomain*>(vinstanceCreate(viconviewDomainGetDefaultClass())); }

viconviewIcon* createIcon(viconview*) { return asIcon(vinstanceCreate(viconviewIconGetDefaultClass())); }

void addIcon(viconview* v, viconviewIcon* icon) {
  requireGeometry(v->viewType, "_viconviewAddIcon -- viconviewView has no GeometryProc");
  if (icon->owner || !v->domain) return;
  vdomain* d = v->domain;
  vpoint p = viconviewFindRoom(v, icon);
  icon->owner = v;  // the geometry measures the name in the view's font
  vrect image, name;
  v->viewType->geometry(v, v->viewType, icon, p, &image, &name);
  vdomainClassRec* c = vdomainClassOf(d);
  vdomainObject* objects[2] = {vdomainNewObject(d), vdomainNewObject(d)};
  objects[0]->type = viconviewIMAGE_OBJECT;
  objects[1]->type = viconviewNAME_OBJECT;
  vdomainSet* one = vdomainCreateSetOf(objects, 1);
  c->setRects(d, one, &image);
  one->objects[0] = objects[1];
  c->setRects(d, one, &name);
  vdomainDestroySet(one);
  c->connectObjects(d, objects[0], objects[1]);
  bindRing(objects[0], icon);
  vdomainSet* both = vdomainCreateSetOf(objects, 2);
  c->showObjects(d, both);
  vdomainDestroySet(both);
  ++v->iconCount;
  v->layoutFlags |= viconviewNEXT_VALID;
  v->next = p;
}

void removeIcon(viconview* v, viconviewIcon* icon) {
  if (icon->owner != v || !icon->object) return;
  vdomain* d = v->domain;
  vdomainSet* ring = vdomainClassOf(d)->connectedSet(d, icon->object);
  vdomainSet* kept = _vdomainCopySetHeap(ring);
  vdomainDestroySet(ring);
  for (std::int32_t i = 0; i < kept->count; ++i) kept->objects[i]->data = 0;
  vdomainRemoveObjects(d, kept);
  vmemFree(kept);
  v->layoutFlags &= static_cast<std::uint8_t>(~viconviewNEXT_VALID);
  icon->owner = nullptr;
  icon->object = nullptr;
  --v->iconCount;
}

void arrange(viconview* v) {
  if (!v->domain) return;
  viconviewGridIterator it;
  viconviewInitGridIterator(&it, v);
  // Oldest first: a new object goes in at the head of the order.
  vdomainObject* o = vdomainLastObject(v->domain);
  vpoint last = it.first;
  // The grid's first column already makes room for the first icon's name.
  for (; o; o = o->prev) {
    if (o->type != viconviewIMAGE_OBJECT || !viconviewIconOf(o)) continue;
    last = viconviewNextGridPosition(&it);
    viconviewSetIconPosition(viconviewIconOf(o), last);
  }
  v->next = last;
  v->layoutFlags |= viconviewNEXT_VALID;
  vdomainviewScroll(v, 0, 0x7fffffff, vdomainviewABSOLUTE);
}

int issueSelector(vobject* self, int selector, vdict* context) {
  switch (selector) {
    case 21: case 22: case 23: case 24: case 30: return 0;
    default: return super()->issueSelector(self, selector, context);
  }
}

void setFont(vdialogItem* item, vfont* f) {
  super()->setFont(item, f);
  viconview* v = asView(item);
  if (v->viewType) applyView(v, v->viewType);
}

// A change the view takes from its owner (a font among them) lays every
// icon out again.
void inheritedChanged(vobject* self, vname name, vdict* arguments) {
  super()->reserved8(self, name, arguments);
  viconview* v = asView(static_cast<vinstance*>(self));
  if (v->viewType) applyView(v, v->viewType);
}

void minSize(vdialogItem*, int* w, int* h) { *w = *h = 40; }

void naturalSize(vdialogItem* item, int* w, int* h) {
  viconview* v = asView(item);
  *w = v->domain ? static_cast<int>(v->domain->bounds.width) : 40;
  *h = v->domain ? static_cast<int>(v->domain->bounds.height) : 40;
}

// The top edge of what is shown stays where it was.
void setRect(vdialogItem* item, const vrect* r) {
  viconview* v = asView(item);
  std::int32_t top = v->visible.y + v->visible.height;
  super()->setRect(item, r);
  if (!v->domain) return;
  std::int32_t moved = top - (v->visible.y + v->visible.height);
  if (!moved) return;
  std::int32_t before = v->offset.y;
  vdomainviewScroll(v, 0, moved, vdomainviewY_RELATIVE | vdomainviewX_RELATIVE);
  if (v->offset.y - before == moved) return;
  // Scrolling cannot reach it: the domain's virtual view takes the place
  // and its bounds grow to hold it.
  vrectLong want{v->visible.x, top - v->visible.height, v->visible.width, v->visible.height};
  vdomainSetVirtualView(v->domain, &want);
  vdomainviewScroll(v, v->offset.x, want.y - v->bounds.y, vdomainviewABSOLUTE);
}

template <vdomainviewHook vdomainviewClassRec::*Slot>
int reportOnIcon(vdomainview* dv, void* record) {
  int handled = (vdomainitemGetDefaultClass()->*Slot)(dv, record);
  auto* v = static_cast<viconview*>(dv);
  auto* press = static_cast<vdomainviewPressRecord*>(record);
  if (handled && v->callback && press && press->object && press->object->type == viconviewIMAGE_OBJECT)
    if (viconviewIcon* icon = viconviewIconOf(press->object))
      v->callback(v, icon, reinterpret_cast<std::intptr_t>(record), 1);
  return handled;
}

int moving(vdomainview* dv, void* record) {
  asView(dv)->layoutFlags &= static_cast<std::uint8_t>(~viconviewNEXT_VALID);
  return vdomainitemGetDefaultClass()->objectsMoving(dv, record);
}

}  // namespace

viconviewImageEntry* _viconviewImageEntries(viconviewImageTable* t) { return t->count > 2 ? t->heap : t->inlined; }

void _viconviewClearImages(viconviewImageTable* t) {
  viconviewImageEntry* e = _viconviewImageEntries(t);
  for (std::int32_t i = 0; i < t->count; ++i)
    if (e[i].owned && e[i].image) vimageDestroy(e[i].image);
  if (t->count > 2) vmemFree(t->heap);
  *t = {};
}

viconviewView* viconviewGetIconView() {
  loadTypes();
  return module()->iconView;
}
viconviewView* viconviewGetNameView() {
  loadTypes();
  return module()->nameView;
}

viconviewView* viconviewFindView(const char* name) {
  if (!name) return nullptr;
  loadTypes();
  Module* m = module();
  for (std::int32_t i = 0; i < m->registered; ++i)
    if (m->registry[i]->name && std::strcmp(m->registry[i]->name, name) == 0) return m->registry[i];
  return nullptr;
}

viconviewIcon* viconviewIconOf(vdomainObject* o) {
  if (!o || !o->data || (o->type != viconviewIMAGE_OBJECT && o->type != viconviewNAME_OBJECT)) return nullptr;
  return asIcon(reinterpret_cast<vinstance*>(o->data));
}

viconviewIcon* viconviewCreateIcon(viconview* v) { return viconviewClassOf(v)->createIcon(v); }

void viconviewDestroyIcon(viconviewIcon* icon) {
  if (icon->owner) viconviewRemoveIcon(icon->owner, icon);
  vinstanceDestroy(icon);
}

void viconviewSetIconName(viconviewIcon* icon, vscribe* name) {
  if ((icon->flags & viconviewIconNAME_OWNED) && icon->name) vstrDestroy(icon->name);
  bool owned = false;
  icon->name = name ? takeText(name, &owned) : nullptr;
  icon->flags = owned ? icon->flags | viconviewIconNAME_OWNED : icon->flags & ~viconviewIconNAME_OWNED;
  iconChanged(icon);
}

void viconviewSetIconNameC(viconviewIcon* icon, const char* name) {
  viconviewSetIconName(icon, name ? vscribeCString(name) : nullptr);
}

void viconviewSetIconImage(viconviewIcon* icon, viconviewView* type, vimage* image, int owned) {
  storeEntry(&icon->images, type, image, owned != 0);
  iconChanged(icon);
}

vimage* viconviewGetIconImage(viconviewIcon* icon, viconviewView* type) {
  if (viconviewImageEntry* e = findEntry(&icon->images, type); e && e->image) return e->image;
  if (icon->owner)
    if (viconviewImageEntry* e = findEntry(&icon->owner->images, type); e && e->image) return e->image;
  return type ? type->image : nullptr;
}

int viconviewIconIsSelected(viconviewIcon* icon) {
  viconview* v = icon->owner;
  return v && icon->object && v->slot >= 0 && vdomainIsSelected(icon->object, v->slot);
}

vobjectClassRec* viconviewViewGetDefaultClass() {
  Module* m = module();
  if (m->type) return m->type;
  auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  c->instanceSize = sizeof(viconviewView);
  c->init = typeInit;
  c->destroy = typeDestroy;
  c->copy = typeCopy;
  c->copyInit = copyInit;
  c->loadInit = typeLoadInit;
  c->store = typeStore;
  vclassSetName(c, vscribeLiteral("viconviewView"));
  m->type = c;
  return c;
}

vclass* viconviewIconGetDefaultClass() {
  Module* m = module();
  if (m->icon) return m->icon;
  auto* c = vclassSpawnOf<vinstanceClassRec>(vinstanceGetDefaultClass());
  c->instanceSize = sizeof(viconviewIcon);
  c->init = iconInit;
  c->destroy = iconDestroy;
  vclassSetName(c, vscribeLiteral("viconviewIcon"));
  m->icon = c;
  return c;
}

vdomainClassRec* viconviewDomainGetDefaultClass() {
  Module* m = module();
  if (m->domain) return m->domain;
  auto* c = vclassSpawnOf<vdomainClassRec>(vdomainitemDomainGetDefaultClass());
  c->releaseObject = domainRelease;
  c->storeObject = domainStoreObject;
  c->loadObject = domainLoadObject;
  vclassSetName(c, vscribeLiteral("viconviewDomain"));
  m->domain = c;
  return c;
}

viconviewClassRec* viconviewGetDefaultClass() {
  Module* m = module();
  if (m->view) return m->view;
  viconviewViewGetDefaultClass();
  viconviewIconGetDefaultClass();
  viconviewDomainGetDefaultClass();
  auto* c = vclassSpawnOf<viconviewClassRec>(super());
  c->instanceSize = sizeof(viconview);
  c->init = init;
  c->destroy = destroy;
  c->copy = copy;
  c->copyInit = copyInit;
  c->loadInit = loadInit;
  c->store = store;
  c->makeDomain = makeDomain;
  c->issueSelector = issueSelector;
  c->setFont = setFont;
  c->reserved8 = inheritedChanged;
  c->minSize = minSize;
  c->naturalSize = naturalSize;
  c->setRect = setRect;
  c->press = reportOnIcon<&vdomainviewClassRec::press>;
  c->doubleClick = reportOnIcon<&vdomainviewClassRec::doubleClick>;
  c->objectsMoving = moving;
  c->createIcon = createIcon;
  c->addIcon = addIcon;
  c->removeIcon = removeIcon;
  c->arrange = arrange;
  c->setView = setView;
  vclassSetName(c, vscribeLiteral("viconview"));
  m->view = c;
  return c;
}

viconview* viconviewCreate() { return asView(vinstanceCreate(viconviewGetDefaultClass())); }
