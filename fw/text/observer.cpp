// Observers of a text: the observer class with its ten hooks, the slots of
// a text's observer array, and the dispatch of the ten notifications.
#include "fw/text/observer.h"

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/text/text_internal.h"

namespace {

vtextObserver* asObserver(vinstance* o) { return static_cast<vtextObserver*>(o); }

void observerInit(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  vtextObserver* o = asObserver(self);
  o->client = nullptr;
  o->flags = 0;
  o->passClient = 0;
  o->text = nullptr;
}

void observerCopy(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  asObserver(destination)->client = asObserver(source)->client;
}

void observerCopyInit(vobject* source, vobject* destination) {
  vclassRec<vobjectClassRec>(source)->init(destination);
  vclassRec<vobjectClassRec>(source)->copy(source, destination);
}

// Calls one hook of every observer that listens, entry 0 upward.
template <auto Hook, class... A>
void dispatch(vtext* text, A... args) {
  if (_vtextModule()->suppress != 0) return;
  for (std::uint16_t i = 0; i < text->observerCount; ++i) {
    vtextObserver* o = text->observers[i];
    if (!o || (o->flags & vtextObserverMUTED)) continue;
    vinstance* target = o->passClient ? o->client : o;
    (vclassRec<vtextObserverClassRec>(o)->*Hook)(target, args...);
  }
}

void ensureArray(vtext* text) {
  if (text->observers) return;
  text->observers = static_cast<vtextObserver**>(vmemAllocClear(2 * sizeof(vtextObserver*)));
  text->observerCount = 2;
}

int slotOf(const vtext* text, const vtextObserver* observer) {
  for (std::uint16_t i = 0; i < text->observerCount; ++i)
    if (text->observers[i] == observer) return i;
  return -1;
}

}  // namespace

vtextObserverClassRec* _vtextBuildObserverClass() {
  auto* c = vclassSpawnOf<vtextObserverClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vtextObserver"));
  c->instanceSize = sizeof(vtextObserver);
  c->init = observerInit;
  c->copy = observerCopy;
  c->copyInit = observerCopyInit;
  c->inserted = c->deleted = c->inserting = c->deleting = [](vinstance*, std::int32_t, std::int32_t) {};
  c->rulerChanged = [](vinstance*, vtextRuler*, std::int32_t, std::int32_t) {};
  c->styleChanged = [](vinstance*, vtextStyle*, std::int32_t, std::int32_t) {};
  c->selectionMode = c->selectionChanged = [](vinstance*, vtextSelection*, int) {};
  c->recalculated = c->destroyed = [](vinstance*, vtext*) {};
  return c;
}

void _vtextFillNotifications(vtextClassRec* c) {
  using R = vtextObserverClassRec;
  c->notifyInserted = dispatch<&R::inserted, std::int32_t, std::int32_t>;
  c->notifyDeleted = dispatch<&R::deleted, std::int32_t, std::int32_t>;
  c->notifyWillInsert = dispatch<&R::inserting, std::int32_t, std::int32_t>;
  c->notifyWillDelete = dispatch<&R::deleting, std::int32_t, std::int32_t>;
  c->notifyRulerChanged = dispatch<&R::rulerChanged, vtextRuler*, std::int32_t, std::int32_t>;
  c->notifyStyleChanged = dispatch<&R::styleChanged, vtextStyle*, std::int32_t, std::int32_t>;
  c->notifySelectionMode = dispatch<&R::selectionMode, vtextSelection*, int>;
  c->notifyRecalculated = [](vtext* text) { dispatch<&R::recalculated>(text, text); };
  c->notifySelection = dispatch<&R::selectionChanged, vtextSelection*, int>;
  c->notifyDestroy = [](vtext* text) { dispatch<&R::destroyed>(text, text); };
}

void vtextInstallObserver(vtext* text, vtextObserver* observer) {
  ensureArray(text);
  int slot = 0;
  for (int i = text->observerCount - 1; i > 0; --i)
    if (!text->observers[i]) {
      slot = i;
      break;
    }
  if (slot == 0) {
    std::size_t n = std::size_t(text->observerCount) + 1;
    text->observers = static_cast<vtextObserver**>(vmemRealloc(text->observers, n * sizeof(vtextObserver*)));
    slot = text->observerCount++;
  }
  text->observers[slot] = observer;
  observer->text = text;
}

void vtextRemoveObserver(vtext* text, vtextObserver* observer) {
  int slot = observer ? slotOf(text, observer) : -1;
  if (slot < 0)
    _vexGenerate(&vexTextObserverAlreadyRemovedClass, vexSetMessage, "Observer Already Removed", vexEnd);
  text->observers[slot] = nullptr;
  observer->text = nullptr;
  if (observer->flags & vtextObserverOWNED) vinstanceDestroy(observer);
}

void vtextUninstallObserver(vtext* text, vtextObserver* observer) { vtextRemoveObserver(text, observer); }

void vtextSetObserverClass(vtext* text, vclass* cls) {
  if (cls) ensureArray(text);
  if (text->observers && text->observers[0]) {
    vtextObserver* old = text->observers[0];
    text->observers[0] = nullptr;
    old->text = nullptr;
    vinstanceDestroy(old);
  }
  if (!cls) return;
  auto* o = asObserver(vinstanceCreate(cls));
  o->client = text;
  o->flags |= vtextObserverOWNED;
  o->text = text;
  text->observers[0] = o;
}

vclass* vtextGetObserverClass(const vtext* text) {
  return text->observers && text->observers[0] ? text->observers[0]->cls : nullptr;
}
