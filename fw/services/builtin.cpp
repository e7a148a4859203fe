#include "fw/services/builtin.h"

namespace {

struct Signatures {
  vsignature ping;
  vsignature shutdown;
  vsignature issueCommand;
  bool built;
};
void** signatureSlot = nullptr;

void nameSignature(vsignature* s, const char* name) {
  vclassRec<vobjectClassRec>(s)->setTag(s, vnameInternLiteral(name));
}

Signatures* signatures() {
  if (auto* bound = vmoduleState<Signatures>(signatureSlot)) return bound;
  vclass* cls = vsignatureGetDefaultClass();
  auto* s = static_cast<Signatures*>(vmoduleBindSlot(signatureSlot, sizeof(Signatures)));
  vinstanceInit(&s->ping, cls);
  nameSignature(&s->ping, "vdasPingService");
  vinstanceInit(&s->shutdown, cls);
  nameSignature(&s->shutdown, "vdasShutdownService");
  vinstanceInit(&s->issueCommand, cls);
  s->issueCommand.returnValue = vdatatagGetPredefined(vdatatagBOOLEAN);
  nameSignature(&s->issueCommand, "vdasIssueCommand");
  vsignatureAddDatatags(&s->issueCommand, vdatatagGetPredefined(vdatatagSTRING), vdatatagGetPredefined(vdatatagTAG),
                        vdatatagGetPredefined(vdatatagSCRAP), static_cast<vdatatag*>(nullptr));
  s->built = true;
  vmoduleAddContextExitProc([] {
    auto* st = static_cast<Signatures*>(*signatureSlot);
    if (!st || !st->built) return;
    st->built = false;
    vinstanceDestroy(&st->ping);
    vinstanceDestroy(&st->shutdown);
    vinstanceDestroy(&st->issueCommand);
  });
  return s;
}

void clearCurrent(vdasOrderedWalk* w) {
  w->key = nullptr;
  w->value = nullptr;
  w->integer = 0;
}

}  // namespace

vsignature* vdasGetPingSignature() { return &signatures()->ping; }
vsignature* vdasGetShutdownSignature() { return &signatures()->shutdown; }
vsignature* vdasGetIssueCommandSignature() { return &signatures()->issueCommand; }

void vdasOrderedWalkStart(vdasOrderedWalk* w, vdict* dictionary, vheapCompare compare) {
  w->heap = vheapCreate(compare);
  w->dictionary = dictionary;
  clearCurrent(w);
  vdictIterator it;
  vdictInitIterator(&it, dictionary);
  while (vdictNextIterator(&it)) vheapInsert(w->heap, const_cast<void*>(vdictIteratorKey(&it)));
}

int vdasOrderedWalkNext(vdasOrderedWalk* w) {
  auto key = static_cast<vname>(vheapRemoveFirst(w->heap));
  if (!key) {
    clearCurrent(w);
    return 0;
  }
  w->key = key;
  w->value = vdictGet(w->dictionary, key);
  w->integer = vdictGetInteger(w->dictionary, key);
  return 1;
}

void vdasOrderedWalkFinish(vdasOrderedWalk* w) {
  if (w->heap) vheapDestroy(w->heap);
  w->heap = nullptr;
  clearCurrent(w);
}
