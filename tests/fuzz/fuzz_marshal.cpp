// Value marshalling: the first byte picks a datatag from a fixed set (every
// kind, nested ones included), the rest is read as a value of it. A refusal
// must be one of the encoding's exceptions and leak nothing; an accepted
// value is written back and read again to an equal value (the same printed
// form, dictionaries in key order), which writes again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/services/repdef.h"

namespace {

struct Choice {
  vdatatag* datatag;      // mode 0, or
  vdatatagList* list;     // mode 1
};
std::vector<Choice> choices;

vdatatag* make(int kind) { return vdatatagCreate(kind); }
vdatatag* pointerTo(vdatatag* t) {
  vdatatag* d = make(vdatatagPOINTER);
  vdatatagSetPointerTarget(d, t);
  return d;
}
vdatatag* arrayOf(vdatatag* e) {
  vdatatag* d = make(vdatatagARRAY);
  vdatatagSetArrayElement(d, e);
  return d;
}
vdatatag* compoundOf(std::initializer_list<vdatatag*> members) {
  vdatatag* d = make(vdatatagCOMPOUND);
  for (vdatatag* m : members) _vdatatagListAppend(vdatatagGetCompoundMembers(d), m);
  return d;
}

void build() {
  for (int kind = 0; kind < vdatatagPOINTER; ++kind)
    if (kind != vdatatagLIST) choices.push_back({vdatatagGetPredefined(kind), nullptr});
  vdatatag* integer = vdatatagGetPredefined(vdatatagINTEGER);
  vdatatag* string = vdatatagGetPredefined(vdatatagSTRING);
  vdatatag* record = compoundOf({integer, string, _vrepdefGetEncodedDictionary()});
  vdatatag* sized = make(vdatatagSIZED_ARRAY);
  vdatatagSetSizedArrayElement(sized, string);
  vdatatagSetSizedArrayCount(sized, 3);
  vdatatag* sizedOpaque = make(vdatatagSIZED_OPAQUE);
  vdatatagSetSizedOpaqueSize(sizedOpaque, 4);
  vdatatag* dict = make(vdatatagDICTIONARY);
  vdatatagSetDictEntry(dict, vnameInternLiteral("a"), integer);
  vdatatagSetDictEntry(dict, vnameInternLiteral("b"), string);
  vdatatagSetDictEntry(dict, vnameInternLiteral("c"), arrayOf(record));
  vdatatag* u = make(vdatatagUNION);
  vdatatagAddUnionMember(u, 1, integer);
  vdatatagAddUnionMember(u, 2, pointerTo(record));
  vdatatagAddUnionMember(u, 3, _vrepdefGetEncodedArray());
  // A list whose every node points at the next.
  vdatatag* node = make(vdatatagCOMPOUND);
  vdatatag* next = pointerTo(node);
  _vdatatagListAppend(vdatatagGetCompoundMembers(node), integer);
  _vdatatagListAppend(vdatatagGetCompoundMembers(node), next);
  for (vdatatag* d : {pointerTo(integer), arrayOf(integer), sized, sizedOpaque, _vrepdefGetEncodedArray(),
                      _vrepdefGetEncodedDictionary(), dict, record, u, arrayOf(record), next,
                      arrayOf(vdatatagGetPredefined(vdatatagCHARACTER)), arrayOf(vdatatagGetPredefined(vdatatagSCRAP))})
    choices.push_back({d, nullptr});
  static vdatatagList list;
  _vdatatagListInit(&list);
  for (vdatatag* d : {integer, string, vdatatagGetPredefined(vdatatagSCRAP)}) _vdatatagListAppend(&list, d);
  choices.push_back({nullptr, &list});
}

_vrepdefScrap* scrapOver(vsessionBlock* b, const Choice& c) {
  return c.list ? _vrepdefCreateListScrap(b, c.list) : _vrepdefCreateScrap(b, c.datatag);
}

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "marshal round trip: %s\n", what);
  vexPrintChain(stderr);
  std::abort();
}

// Reads a value; null when refused (which must be the encoding's refusal).
vinstance* readValue(const Choice& c, const std::uint8_t* data, std::size_t size) {
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  if (size) std::memcpy(vsessionBlockAppendSpace(&b, static_cast<std::uint32_t>(size)), data, size);
  _vrepdefScrap* reader = scrapOver(&b, c);
  vinstance* value = nullptr;
  vexGuard([&] { value = _vrepdefReadNative(reader); },
           [&](vexHandler& h) {
             const vexClass* cls = vexGetCurrentException()->cls;
             if (!vexClassDerives(cls, &vexArgClass) && !vexClassDerives(cls, &vexModuleUnimplementedClass))
               finding("a refusal outside the encoding's exceptions");
             vexSetCurrentException(h.savedChain);
           });
  vinstanceDestroy(reader);
  vsessionBlockRelease(&b);
  return value;
}

// The bytes value writes; false when the write is refused for a value
// known only by its class (no datatag of its own to travel with it).
bool writeValue(const Choice& c, vinstance* value, std::vector<std::uint8_t>* out) {
  vsessionBlock b;
  vsessionBlockInitProportional(&b, 2.0f);
  _vrepdefScrap* writer = scrapOver(&b, c);
  bool ok = true;
  vexGuard([&] { _vrepdefWrite(writer, value); },
           [&](vexHandler& h) {
             const vexClass* cls = vexGetCurrentException()->cls;
             const char* message = vexGetCurrentException()->message;
             bool classOnly = (cls == &vexArgClass && message && std::strcmp(message, "Unsupported scrap class") == 0) ||
                              cls == &vexScrapCannotConvertClass;
             if (!classOnly) finding("an accepted value refused on writing");
             vexSetCurrentException(h.savedChain);
             ok = false;
           });
  auto* p = reinterpret_cast<const std::uint8_t*>(vsessionBlockBytes(&b));
  out->assign(p, p + vsessionBlockLength(&b));
  vinstanceDestroy(writer);
  vsessionBlockRelease(&b);
  return ok;
}

std::string printed(vinstance* value) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* f = open_memstream(&text, &size);
  vscrapDump(vscrapWalk(value), f);
  std::fclose(f);
  std::string s(text, size);
  std::free(text);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (choices.empty()) build();
  if (size == 0) return 0;
  const Choice& c = choices[data[0] % choices.size()];
  vinstance* first = readValue(c, data + 1, size - 1);
  if (!first) return 0;
  std::vector<std::uint8_t> bytes, again;
  if (writeValue(c, first, &bytes)) {
    vinstance* second = readValue(c, bytes.data(), bytes.size());
    if (!second) finding("written bytes refused on reading");
    if (printed(second) != printed(first)) finding("the value read back differs");
    if (!writeValue(c, second, &again) || again.size() != bytes.size()) finding("the value read back writes otherwise");
    vinstanceDestroy(second);
  }
  vinstanceDestroy(first);
  return 0;
}
