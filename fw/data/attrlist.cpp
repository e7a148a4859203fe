// Attribute lists. Floats keep the whole double in the pointer-sized
// entry; strings and scraps are owned by the list; every other kind is
// kept in one pointer-sized word, so kinds larger than that are refused.
#include "fw/data/attrlist.h"

#include <cstdarg>
#include <cstring>

#include "fw/data/num.h"

namespace {

vpool* pool = nullptr;

struct HeldScrap {
  vinstance* s;
  ~HeldScrap() {
    if (s) vinstanceDestroy(s);
  }
};

int kindOf(vdatatag* d) { return d ? vdatatagGetKind(d) : -1; }
bool isFloat(int kind) { return kind == vdatatagSINGLE_FLOAT || kind == vdatatagDOUBLE_FLOAT; }

std::intptr_t floatWord(double v) {
  static_assert(sizeof(double) <= sizeof(std::intptr_t));
  std::intptr_t w = 0;
  std::memcpy(&w, &v, sizeof v);
  return w;
}
double wordFloat(std::intptr_t w) {
  double v;
  std::memcpy(&v, &w, sizeof v);
  return v;
}

void freeValue(int kind, std::intptr_t word) {
  if (kind == vdatatagSTRING && word) vstrDestroy(reinterpret_cast<char*>(word));
  if (kind == vdatatagSCRAP && word) vinstanceDestroy(reinterpret_cast<vinstance*>(word));
}

void store(vattrlist* list, vname tag, vdatatag* d, std::intptr_t word) {
  vdatatag* old = vdatatagGetDictEntry(list->datatag, tag);
  if (old) freeValue(kindOf(old), reinterpret_cast<std::intptr_t>(vdictGet(&list->values, tag)));
  vdictStore(&list->values, tag, reinterpret_cast<const void*>(word));
  vdatatagSetDictEntry(list->datatag, tag, d);
}

// The value as the list keeps it, converted from source.
std::intptr_t convert(vdatatag* d, vinstance* source) {
  int kind = kindOf(d);
  if (kind == vdatatagSCRAP) {
    vinstance* typed = vscrapCreateNativeTypeable();
    vexGuard([&] { vscrapImport(vscrapWalk(source), vscrapWalk(typed)); },
             [&](vexHandler&) {
               vinstanceDestroy(typed);
               _vexGenerate(nullptr);
             });
    return reinterpret_cast<std::intptr_t>(typed);
  }
  alignas(std::max_align_t) unsigned char local[sizeof(double) > sizeof(std::intptr_t) ? sizeof(double)
                                                                                       : sizeof(std::intptr_t)] = {};
  std::size_t size = vdatatagSizeOf(d);
  if (size > sizeof local) vdatatagRaiseMismatched(d, "Attribute value does not fit its slot");
  HeldScrap target{vdatatagCreateScrapFromArgs(d, local)};
  vscrapImport(vscrapWalk(source), vscrapWalk(target.s));
  if (isFloat(kind)) return floatWord(vscrapGetFloat(vscrapWalk(target.s)));
  std::intptr_t word = 0;
  std::memcpy(&word, local, sizeof word);
  return word;
}

void removeAttribute(vattrlist* list, vname tag) {
  if (vdatatag* old = vdatatagGetDictEntry(list->datatag, tag))
    freeValue(kindOf(old), reinterpret_cast<std::intptr_t>(vdictGet(&list->values, tag)));
  if (vdictHas(&list->values, tag)) vdictRemove(&list->values, tag);
  if (vdatatagGetDictEntry(list->datatag, tag)) vdatatagRemoveDictEntry(list->datatag, tag);
}

// Filling a narrow integer truncates to its width: a value that does not
// fit is refused here rather than stored changed.
void refuseOutOfRange(int kind, va_list ap) {
  struct Bounds {
    int kind;
    int low, high;
  };
  static constexpr Bounds bounds[] = {{vdatatagBYTE, -128, 127},
                                      {vdatatagUNSIGNED_BYTE, 0, 255},
                                      {vdatatagSHORT, -32768, 32767},
                                      {vdatatagUNSIGNED_SHORT, 0, 65535}};
  for (const Bounds& b : bounds) {
    if (b.kind != kind) continue;
    va_list copy;
    va_copy(copy, ap);
    int v = va_arg(copy, int);
    va_end(copy);
    if (v < b.low || v > b.high) vexGenerateMessage(&vexArgRangeClass, "Attribute value out of range");
  }
}

vattrlist* checked(vattrlist* list) {
  if (!list) vexGenerateMessage(&vexArgNullClass, "no attribute list");
  return list;
}

}  // namespace

void vattrlistInit(vattrlist* list) {
  if (!pool) pool = vpoolCreate(sizeof(vattrlist));
  vdictInit(&list->values, vdictHashName);
  list->datatag = vdatatagCreate(vdatatagDICTIONARY);
}

vattrlist* vattrlistCreate() {
  if (!pool) pool = vpoolCreate(sizeof(vattrlist));
  auto* list = vpoolAllocOf<vattrlist>(pool);
  vattrlistInit(list);
  return list;
}

void vattrlistDestroy(vattrlist* list) {
  vattrlistIterator it;
  vattrlistInitIterator(&it, checked(list));
  while (vattrlistNextIterator(&it)) freeValue(kindOf(vattrlistIteratorDatatag(&it)), vattrlistIteratorWord(&it));
  vdictFinish(&list->values);
  vdatatagDestroy(list->datatag);
  list->datatag = nullptr;
  if (pool && vpoolContains(pool, list)) vpoolFree(pool, list);
}

void vattrlistSet(vattrlist* list, vname tag, vdatatag* d, ...) {
  checked(list);
  if (!d) return removeAttribute(list, tag);
  va_list ap;
  va_start(ap, d);
  HeldScrap temp{nullptr};
  std::intptr_t word = 0;
  vexGuard(
      [&] {
        refuseOutOfRange(kindOf(d), ap);
        auto* filled = vdatatagCreateScrapWithValueV(d, ap);
        temp.s = filled;
        // A Scrap value is the scrap it holds.
        vinstance* source = kindOf(d) == vdatatagSCRAP ? *static_cast<vinstance**>(filled->value) : filled;
        word = source ? convert(d, source) : 0;
      },
      [&](vexHandler&) {
        va_end(ap);
        removeAttribute(list, tag);
        _vexGenerate(nullptr);
      });
  va_end(ap);
  store(list, tag, d, word);
}

void vattrlistSetValue(vattrlist* list, vname tag, vdatatag* d, std::intptr_t word) { store(checked(list), tag, d, word); }
void vattrlistSetFloatValue(vattrlist* list, vname tag, vdatatag* d, double value) {
  store(checked(list), tag, d, floatWord(value));
}

vname vattrlistGetTag(vattrlist* list, vname tag) {
  vdatatag* d = vdatatagGetDictEntry(checked(list)->datatag, tag);
  if (!d) return nullptr;
  auto word = vdictGet(&list->values, tag);
  if (kindOf(d) == vdatatagTAG) return static_cast<vname>(word);
  if (kindOf(d) == vdatatagSTRING) return word ? vnameInternLiteral(static_cast<const char*>(word)) : nullptr;
  vdatatagRaiseMismatched(d, "Not a tag");
}

vscribe* vattrlistGetScribed(vattrlist* list, vname tag) {
  vdatatag* d = vdatatagGetDictEntry(checked(list)->datatag, tag);
  if (!d) return nullptr;
  auto word = reinterpret_cast<std::intptr_t>(vdictGet(&list->values, tag));
  int kind = kindOf(d);
  auto integer = [&] {
    HeldScrap s{vdatatagScrapFromMemory(d, &word)};
    return vscrapGetInteger(vscrapWalk(s.s));
  };
  switch (kind) {
    case vdatatagCHARACTER: return vscribeRepeatChar(static_cast<unsigned char>(word & 0xFF), 1);
    case vdatatagBYTE:
    case vdatatagSHORT:
    case vdatatagINTEGER:
      return vnumScribeInteger(integer(), vnumGetDecimalDigits(), vnumGetNormalFormat(), nullptr, 0, -1);
    case vdatatagUNSIGNED_BYTE:
    case vdatatagUNSIGNED_SHORT:
    case vdatatagUNSIGNED_INTEGER:
      return vnumScribeUnsigned(static_cast<std::uint32_t>(integer()), vnumGetDecimalDigits(), vnumGetNormalFormat(),
                                nullptr, 0, -1);
    case vdatatagSINGLE_FLOAT:
    case vdatatagDOUBLE_FLOAT: return vnumScribeDouble(wordFloat(word));
    // Copies: the scribe may be read after the attribute has changed.
    case vdatatagSTRING: return vstrScribe(vstrClone(word ? reinterpret_cast<const char*>(word) : ""));
    case vdatatagTAG: return vnameScribe(reinterpret_cast<vname>(word));
    default: vdatatagRaiseMismatched(d, "Attribute cannot be scribed");
  }
}

void vattrlistCopy(vattrlist* source, vattrlist* destination) {
  vattrlistInit(destination);
  vattrlistIterator it;
  vattrlistInitIterator(&it, checked(source));
  while (vattrlistNextIterator(&it)) {
    vdatatag* d = vattrlistIteratorDatatag(&it);
    std::intptr_t word = vattrlistIteratorWord(&it);
    if (kindOf(d) == vdatatagSTRING && word) word = reinterpret_cast<std::intptr_t>(vstrClone(reinterpret_cast<const char*>(word)));
    if (kindOf(d) == vdatatagSCRAP && word) word = convert(d, reinterpret_cast<vinstance*>(word));
    store(destination, vattrlistIteratorTag(&it), d, word);
  }
}

void vattrlistInitIterator(vattrlistIterator* it, vattrlist* list) {
  it->list = checked(list);
  vdictInitIterator(&it->entries, &list->values);
}
int vattrlistNextIterator(vattrlistIterator* it) { return vdictNextIterator(&it->entries); }
vname vattrlistIteratorTag(const vattrlistIterator* it) { return static_cast<vname>(vdictIteratorKey(&it->entries)); }
vdatatag* vattrlistIteratorDatatag(const vattrlistIterator* it) {
  return vdatatagGetDictEntry(it->list->datatag, vattrlistIteratorTag(it));
}
std::intptr_t vattrlistIteratorWord(const vattrlistIterator* it) {
  return reinterpret_cast<std::intptr_t>(vdictIteratorValue(&it->entries));
}
