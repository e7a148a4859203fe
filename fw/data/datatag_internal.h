// Shared between the datatag files; not for other folders.
#pragma once
#include "fw/data/datatag.h"

void _vdatatagDefaultLoad(vdatatag* self, vresource resource);
void _vdatatagDefaultStore(vdatatag* self, vresource resource);
void _vdatatagConstructedLoad(vdatatag* self, vresource resource);
void _vdatatagConstructedStore(vdatatag* self, vresource resource);
vdatatagClassRec* _vdatatagGetConstructedClass(int kind);
// Empties a union's members and selectors, with room for count of each.
void _vdatatagUnionReset(vdatatag* d, std::size_t count);
[[noreturn]] void _vdatatagRaiseIncomplete(vdatatag* d, const char* message);
[[noreturn]] void _vdatatagRaiseUnknown(vname name, const char* message);

// Datatag scraps.
// The scrap a delegate serves (one level up the walk), and its value's
// address (Arg/Null while it has none).
vdatatagScrap* _vdatatagOwner(const vscrap* w);
void* _vdatatagValue(const vscrap* w);
// Layout of one value; kinds without one raise Scrap/Unimplemented on w.
std::size_t _vdatatagLayoutSize(vdatatag* d, int depth, const vscrap* w);
std::size_t _vdatatagLayoutAlign(vdatatag* d, int depth);
[[noreturn]] void _vdatatagTooDeep();
// A scrap of d over the value at address (a kind reached by one address).
vdatatagScrap* _vdatatagScrapAt(vdatatag* d, void* address, const vscrap* w);
// A kind's scrap class named name, with a shared instance of delegateClass.
vdatatagScrapClassRec* _vdatatagMakeScrapClass(const char* name, vclass* delegateClass);
template <class Rec>
Rec* _vdatatagMakeDelegateClass(vclass* valueClass, const char* name) {
  auto* c = vclassSpawnOf<Rec>(valueClass);
  vclassSetName(c, vscribeLiteral(name));
  c->instanceSize = sizeof(vinstance);
  return c;
}
// The scrap class of an array of dictionaries (a datatag made from one).
vdatatagScrapClassRec* _vdatatagGetMyScrapClass();
// The container kinds' classes, into the table by kind; the row after the
// last kind takes the array-of-dictionaries scrap.
void _vdatatagBuildContainerKinds(vdatatagScrapClassRec** byKind);
// An argument list's element scraps, each filled from or referring to the
// next of ap.
void _vdatatagListMake(vdatatagScrap* s, vdatatagList* datatags, va_list* ap, bool fill);
// Keeps a walk along pointers within vdatatagMAX_DEPTH levels.
struct vdatatagDepthGuard {
  static int depth;
  vdatatagDepthGuard() {
    if (++depth > vdatatagMAX_DEPTH) {
      --depth;
      _vdatatagTooDeep();
    }
  }
  ~vdatatagDepthGuard() { --depth; }
  vdatatagDepthGuard(const vdatatagDepthGuard&) = delete;
  vdatatagDepthGuard& operator=(const vdatatagDepthGuard&) = delete;
};
