// Datatags and signatures in resources. A datatag that another one names
// is stored as a reference: its group's name and its own.
#include <cstring>

#include "fw/data/datatag_internal.h"
#include "fw/data/vresource.h"

namespace {

vname key(const char* name) { return vnameInternLiteral(name); }

int testGetTag(vresource h, vname tag, vname* out) {
  return vresourceRoute<vresourceSlotTestGetTag, int>(h, tag, out);
}
void removeWhenPresent(vresource h, vname tag) {
  vresource found;
  if (vresourceTestGet(h, tag, &found)) vresourceRemove(h, tag);
}

void writeReference(vresource r, vdatatag* d) {
  if (!d->group || !d->name) _vdatatagRaiseIncomplete(d, "Datatags must be grouped before they are stored");
  if (!d->group->name) _vdatatagRaiseIncomplete(d, "Group must be named before datatags are stored");
  vresourceSetTag(r, key("Name"), d->name);
  vresourceSetTag(r, key("Group"), d->group->name);
}

vdatatag* readReference(vresource r) {
  vname groupName = vresourceGetTag(r, key("Group"));
  vdatatagGroup* g = vdatatagGroupFind(groupName);
  if (!g) _vdatatagRaiseUnknown(groupName, "Datatag group not found");
  vname name = vresourceGetTag(r, key("Name"));
  vdatatag* d = vdatatagGroupFindDatatag(g, name);
  if (!d) _vdatatagRaiseUnknown(name, "Datatag not found in group");
  return d;
}

// An array of references under tag, one per entry; removed when empty.
void writeReferenceArray(vresource r, vname tag, void* const* begin, void* const* end) {
  if (begin == end) return removeWhenPresent(r, tag);
  auto n = static_cast<std::int32_t>(end - begin);
  vresource a = vresourceCreateArray(r, tag, vresDICTIONARY, n);
  for (std::int32_t i = 0; i < n; ++i) writeReference(vresourceCreateAt(a, i, vresDICTIONARY), static_cast<vdatatag*>(begin[i]));
}

void storeElement(vresource r, vdatatag* element) {
  if (element)
    writeReference(vresourceCreate(r, key("Element"), vresDICTIONARY), element);
  else
    removeWhenPresent(r, key("Element"));
}
vdatatag* loadElement(vresource r) {
  vresource e;
  return vresourceTestGet(r, key("Element"), &e) ? readReference(e) : nullptr;
}

std::int32_t loadCount(vresource r) {
  std::int32_t n = vresourceGetInteger(r, key("Count"));
  if (n < 0) _vexGenerate(&vexArgRangeClass, vexEnd);
  return n;
}

void storeSignature(vobject* self, vresource r) {
  vobjectGetDefaultClass()->store(self, r);
  auto* s = static_cast<vsignature*>(self);
  if (s->returnValue)
    writeReference(vresourceCreate(r, key("ReturnValue"), vresDICTIONARY), s->returnValue);
  else
    removeWhenPresent(r, key("ReturnValue"));
  writeReferenceArray(r, key("Arguments"), s->arguments.begin, s->arguments.end);
}

void initSignature(vinstance* self) {
  vobjectGetDefaultClass()->init(self);
  auto* s = static_cast<vsignature*>(self);
  s->returnValue = nullptr;
  _vdatatagListInit(&s->arguments);
}
void destroySignature(vinstance* self) {
  _vdatatagListFinish(&static_cast<vsignature*>(self)->arguments);
  vobjectGetDefaultClass()->destroy(self);
}
void copySignature(vobject* source, vobject* destination) {
  vobjectGetDefaultClass()->copy(source, destination);
  auto* from = static_cast<vsignature*>(source);
  auto* to = static_cast<vsignature*>(destination);
  to->returnValue = from->returnValue;
  _vdatatagListCopy(&from->arguments, &to->arguments);
}
void copyInitSignature(vobject* source, vobject* destination) {
  initSignature(destination);
  copySignature(source, destination);
}
void loadSignature(vobject* self, vresource r) {
  initSignature(self);
  auto* s = static_cast<vsignature*>(self);
  vexGuard(
      [&] {
        vobjectGetDefaultClass()->loadInit(self, r);
        vresource found;
        if (vresourceTestGet(r, key("ReturnValue"), &found)) s->returnValue = readReference(found);
        if (vresourceTestGet(r, key("Arguments"), &found)) {
          std::int32_t n = vresourceCount(found);
          for (std::int32_t i = 0; i < n; ++i) _vdatatagListAppend(&s->arguments, readReference(vresourceGetAt(found, i)));
        }
      },
      [&](vexHandler&) {
        _vdatatagListFinish(&s->arguments);
        _vexGenerate(nullptr);
      });
}

void** signatureSlot = nullptr;

}  // namespace

void _vdatatagDefaultStore(vdatatag* d, vresource r) {
  vresourceSetTag(r, vname_Class, d->cls->name);
  vresourceSetInteger(r, key("Flags"), static_cast<std::int32_t>(d->flags));
  if (d->scrapClass && d->scrapClass->name)
    vresourceSetTag(r, key("ScrapClass"), d->scrapClass->name);
  else
    removeWhenPresent(r, key("ScrapClass"));
}

// The kind in Flags must be the class's own: a datatag whose kind and
// payload disagree would be read past its end.
void _vdatatagDefaultLoad(vdatatag* d, vresource r) {
  auto flags = static_cast<std::uint32_t>(vresourceGetInteger(r, key("Flags")));
  int kind = static_cast<int>(flags & 0xFF);
  bool constructed = d->cls != vdatatagGetDefaultClass();
  if (constructed ? kind != vdatatagGetKind(d) : kind >= vdatatagSCALAR_COUNT)
    vexGenerateMessage(&vexArgClass, "Datatag kind does not match its class");
  d->flags = flags;
  vname scrapClass;
  d->scrapClass = testGetTag(r, key("ScrapClass"), &scrapClass) ? vclassFindByName(vnameScribe(scrapClass)) : nullptr;
}

void _vdatatagConstructedStore(vdatatag* d, vresource r) {
  _vdatatagDefaultStore(d, r);
  switch (vdatatagGetKind(d)) {
    case vdatatagSIZED_ARRAY: vresourceSetInteger(r, key("Count"), static_cast<vdatatagElementOf*>(d)->count); [[fallthrough]];
    case vdatatagPOINTER:
    case vdatatagARRAY: storeElement(r, static_cast<vdatatagElementOf*>(d)->element); break;
    case vdatatagSIZED_OPAQUE: vresourceSetInteger(r, key("Count"), static_cast<vdatatagSizedOpaque*>(d)->count); break;
    case vdatatagDICTIONARY: {
      vdict* entries = &static_cast<vdatatagDict*>(d)->entries;
      if (!vdictCount(entries)) {
        removeWhenPresent(r, key("Elements"));
        break;
      }
      vresource e = vresourceCreate(r, key("Elements"), vresDICTIONARY);
      vdictIterator it;
      vdictInitIterator(&it, entries);
      while (vdictNextIterator(&it))
        writeReference(vresourceCreate(e, static_cast<vname>(vdictIteratorKey(&it)), vresDICTIONARY),
                       static_cast<vdatatag*>(vdictIteratorValue(&it)));
      break;
    }
    case vdatatagCOMPOUND: {
      const vdatatagList& m = static_cast<vdatatagCompound*>(d)->members;
      writeReferenceArray(r, key("Elements"), m.begin, m.end);
      break;
    }
    case vdatatagUNION: {
      auto* u = static_cast<vdatatagUnion*>(d);
      writeReferenceArray(r, key("Elements"), u->members.begin, u->members.end);
      if (u->members.begin == u->members.end) {
        removeWhenPresent(r, key("Selectors"));
        break;
      }
      auto n = static_cast<std::int32_t>(u->selEnd - u->selBegin);
      vresource s = vresourceCreateArray(r, key("Selectors"), vresINTEGER, n);
      for (std::int32_t i = 0; i < n; ++i) vresourceSetAtInteger(s, i, u->selBegin[i]);
      break;
    }
    default: break;
  }
}

void _vdatatagConstructedLoad(vdatatag* d, vresource r) {
  _vdatatagDefaultLoad(d, r);
  vresource e;
  switch (vdatatagGetKind(d)) {
    case vdatatagSIZED_ARRAY: static_cast<vdatatagElementOf*>(d)->count = loadCount(r); [[fallthrough]];
    case vdatatagPOINTER:
    case vdatatagARRAY: static_cast<vdatatagElementOf*>(d)->element = loadElement(r); break;
    case vdatatagSIZED_OPAQUE: static_cast<vdatatagSizedOpaque*>(d)->count = loadCount(r); break;
    case vdatatagDICTIONARY: {
      vdict* entries = &static_cast<vdatatagDict*>(d)->entries;
      vdictFinish(entries);
      vdictInit(entries, vdictHashName);
      if (!vresourceTestGet(r, key("Elements"), &e)) break;
      std::int32_t n = vresourceCount(e);
      for (std::int32_t i = 0; i < n; ++i) {
        vname tag = nullptr;
        vresource ref = vresourceGetTagAt(e, i, &tag);
        vdictStore(entries, tag, readReference(ref));
      }
      break;
    }
    case vdatatagCOMPOUND: {
      vdatatagList* m = &static_cast<vdatatagCompound*>(d)->members;
      m->end = m->begin;
      if (!vresourceTestGet(r, key("Elements"), &e)) break;
      std::int32_t n = vresourceCount(e);
      for (std::int32_t i = 0; i < n; ++i) _vdatatagListAppend(m, readReference(vresourceGetAt(e, i)));
      break;
    }
    case vdatatagUNION: {
      vresource s;
      if (!vresourceTestGet(r, key("Elements"), &e) || !vresourceTestGet(r, key("Selectors"), &s)) break;
      std::int32_t n = vresourceCount(e);
      if (vresourceCount(s) != n) vexGenerateMessage(&vexArgClass, "Union selectors and elements differ in count");
      _vdatatagUnionReset(d, static_cast<std::size_t>(n));
      for (std::int32_t i = 0; i < n; ++i) vdatatagAddUnionMember(d, vresourceGetAtInteger(s, i), readReference(vresourceGetAt(e, i)));
      break;
    }
    default: break;
  }
}

vdatatag* vdatatagLoad(vresource r) {
  vname className = vresourceGetTag(r, vname_Class);
  vclass* cls = vclassFindByName(vnameScribe(className));
  if (!cls || !vclassIsSubclass(cls, vdatatagGetDefaultClass()))
    _vexGenerate(&vexArgUndefinedClassClass, vexSetMessage, "resource object's class is not defined", vexSetName,
                 className, vexEnd);
  auto* d = static_cast<vdatatag*>(vinstanceCreate(cls));
  vexGuard([&] { static_cast<vdatatagClassRec*>(cls)->load(d, r); },
           [&](vexHandler&) {
             vinstanceDestroy(d);
             _vexGenerate(nullptr);
           });
  return d;
}

void vdatatagStore(vdatatag* d, vresource r) { vclassRec<vdatatagClassRec>(d)->store(d, r); }

// Signatures.
vobjectClassRec* vsignatureGetDefaultClass() {
  if (auto* bound = vmoduleState<vobjectClassRec*>(signatureSlot)) return *bound;
  vdatatagGetDefaultClass();
  auto* c = vclassSpawnOf<vobjectClassRec>(vobjectGetDefaultClass());
  vclassSetName(c, vscribeLiteral("vsignature"));
  c->instanceSize = sizeof(vsignature);
  c->init = initSignature;
  c->destroy = destroySignature;
  c->copy = copySignature;
  c->copyInit = copyInitSignature;
  c->loadInit = loadSignature;
  c->store = storeSignature;
  *static_cast<vobjectClassRec**>(vmoduleBindSlot(signatureSlot, sizeof(vobjectClassRec*))) = c;
  return c;
}

void vsignatureInstallStartup() {
  vmoduleInstallStartup("vsignatureGetDefaultClass", [] { vsignatureGetDefaultClass(); });
}

void vsignatureAddDatatags(vsignature* s, ...) {
  va_list ap;
  va_start(ap, s);
  while (vdatatag* d = va_arg(ap, vdatatag*)) _vdatatagListAppend(&s->arguments, d);
  va_end(ap);
}
