// The preference module's state: the root dictionary, the program's
// arguments and the options among them, the environment, and the readers
// and setters by name.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "fw/core/command.h"
#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/core/sys.h"
#include "fw/data/pref.h"
#include "fw/data/pref_internal.h"
#include "fw/data/scrap.h"
#include "fw/data/vresource.h"

namespace {

struct State {
  vprefDict* root;
  int remainingCount;
  char** remaining;  // into all
  int allCount;
  vstr** all;
  char** received;
  std::uint32_t commandKey;  // 0: not read yet
};

void** slot = nullptr;
vnameTable* names = nullptr;
constexpr char kOptionChars[] = "-+";

void freeArgs(State* s) {
  vmemFree(s->remaining);
  for (int i = 0; i < s->allCount; ++i) vstrDestroy(s->all[i]);
  vmemFree(s->all);
  s->remaining = nullptr;
  s->all = nullptr;
  s->remainingCount = s->allCount = 0;
}

void contextExit() {
  auto* s = static_cast<State*>(*slot);
  if (!s) return;
  if (vprefDict* root = s->root) {
    s->root = nullptr;
    root->flags |= vprefDICT_DESTROY_CHILDREN;
    root->refCount = 0;
    root->key = vnameInternLiteral("Root Dict");
    vinstanceDestroy(root);
  }
  freeArgs(s);
}

State* state() {
  if (!slot) {
    slot = vmoduleAllocSlot();
    names = vnameCreateTable(vnameHashString);
    vmoduleAddExitProc([] {
      vnameDestroyTable(names);
      names = nullptr;
    });
  }
  if (!*slot) {
    // The classes first: their context's exit must run after this one's.
    vprefBuildClasses();
    auto* s = static_cast<State*>(vmoduleBindSlot(slot, sizeof(State)));
    *s = State{};
    vmoduleAddContextExitProc(contextExit);
  }
  return static_cast<State*>(*slot);
}

vname internName(vscribe* name) { return vnameIntern(name); }

bool isOption(const char* arg) { return arg[0] && std::strchr(kOptionChars, arg[0]); }

// An environment value is used only when it is text a preference can hold.
bool usableEnvironmentText(const char* v) {
  std::size_t n = 0;
  for (; v[n]; ++n) {
    if (n >= 4096) return false;
    auto c = static_cast<unsigned char>(v[n]);
    if (c < 0x20 && c != '\t') return false;
  }
  return true;
}

}  // namespace

const char* prefIntern(vscribe* text) {
  state();
  return vnameInternInTable(names, text);
}

vprefDict* vprefGetDefaultDict() {
  State* s = state();
  if (!s->root) {
    s->root = vprefCreateDict();
    s->root->refCount = 0x7fffffff;
  }
  return s->root;
}

void vprefSetRootResource(vresource resource) {
  if (vresourceGetType(resource, nullptr) != vresDICTIONARY)
    vexGenerateMessage(&vexArgClass, "resource is not a vresourceDICT");
  vprefDict* root = vprefGetDefaultDict();
  root->ownResource = resource;
  root->flags |= vprefDICT_OWN_RESOURCE;
}

void vprefSetScrap(vprefDict* dict, vscribe* name, vinstance* scrap, std::uint32_t flags) {
  vname key = internName(name);
  vprefValue* v = vprefCreateValue(scrap);
  vprefDictSet(dict, key, v);
  v->flags |= flags;
  vprefRelease(v);
  state()->commandKey = 0;
}

void vprefSetString(vprefDict* dict, vscribe* name, const char* value) {
  vprefSetScrap(dict, name, vscrapCreateNativeString(value), vprefVALUE_STRING);
}

void vprefSetResource(vprefDict* dict, vscribe* name, vresource resource) {
  vname key = internName(name);
  int type = vresourceGetType(resource, nullptr);
  vprefValue* v = vprefCreateValue(nullptr);
  v->resource = resource;
  v->hasResource = 1;
  v->flags |= type == vresUNTYPED || type == vresDICTIONARY || type == vresARRAY || type == vresOPAQUE
                  ? vprefVALUE_NO_STRING
                  : vprefVALUE_STRING;
  vprefDictSet(dict, key, v);
  vprefRelease(v);
  state()->commandKey = 0;
}

namespace {
vpref* entryOf(vprefDict* dict, vscribe* name) { return vprefDictGet(dict, internName(name)); }
}  // namespace

const char* vprefGetStringValue(vprefDict* dict, vscribe* name) {
  vpref* e = entryOf(dict, name);
  const char* text = nullptr;
  vexGuard([&] { text = prefStringForm(e); },
           [&](vexHandler&) {
             vprefRelease(e);
             _vexGenerate(nullptr, vexEnd);
           });
  vprefRelease(e);
  return text;
}

const char* vprefGetString(vprefDict* dict, vscribe* name) {
  const char* text = vprefGetStringValue(dict, name);
  return text && *text ? text : nullptr;
}

vresource vprefGetValue(vprefDict* dict, vscribe* name) {
  vpref* e = entryOf(dict, name);
  vresource r = 0;
  if (e && vclassIsSubclass(e->cls, vprefGetValueClass())) {
    r = vprefValueResource(static_cast<vprefValue*>(e));
  }
  vprefRelease(e);
  return r;
}

vprefDict* vprefGetDict(vprefDict* dict, vscribe* name) {
  vname key = internName(name);
  vpref* e = vprefDictGet(dict, key);
  if (!e) return nullptr;
  if (vclassIsSubclass(e->cls, vprefGetDictClass())) return static_cast<vprefDict*>(e);
  vprefDict* made = nullptr;
  if (vclassIsSubclass(e->cls, vprefGetValueClass())) {
    auto* v = static_cast<vprefValue*>(e);
    if (v->hasResource && vresourceGetType(v->resource, v->resourceTag) == vresDICTIONARY) {
      made = vprefCreateDict();
      vprefDictPushResource(made, vprefValueResource(v));
      vprefDictSet(dict, key, made);
    }
  }
  vprefRelease(e);
  return made;
}

std::uint16_t vkeyParseModifiers(const char* text) {
  static constexpr struct {
    const char* word;
    std::uint16_t bits;
  } kWords[] = {{"shift", 4}, {"control", 2}, {"alt", 1}, {"command", 8}, {"meta", 8}};
  std::uint16_t bits = 0;
  for (const char* p = text; p && *p;) {
    const char* end = std::strchr(p, ':');
    std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    for (const auto& w : kWords)
      if (std::strlen(w.word) == n && std::strncmp(p, w.word, n) == 0) bits = std::uint16_t(bits | w.bits);
    p = end ? end + 1 : p + n;
  }
  return bits;
}

std::uint32_t vprefGetCommandKey() {
  State* s = state();
  if (!s->commandKey) {
    std::uint32_t bits = vkeyParseModifiers(vprefGetString(vprefGetDefaultDict(), vscribeLiteral("commandkey")));
    s->commandKey = bits ? bits : 8;
  }
  return s->commandKey;
}

vdict* vprefLoadKeyDict(vprefDict* dict) {
  vdict* keys = vdictCreate(vdictHashName);
  vprefDictIterator it;
  vprefDictInitIterator(&it, dict);
  while (vprefDictNextIterator(&it)) {
    vname key = vprefDictIteratorKey(&it);
    vpref* e = vprefDictGet(dict, key);
    if (e && vclassIsSubclass(e->cls, vprefGetValueClass()) && static_cast<vprefValue*>(e)->hasResource)
      vdictStore(keys, key, vcommandLoadKeyList(vprefValueResource(static_cast<vprefValue*>(e))));
    vprefRelease(e);
  }
  vprefDictFinishIterator(&it);
  return keys;
}

namespace {
// Stands in for the printer classes until printing is built: the class
// the framework's default printer class will take the place of.
vclass* defaultPrintClass() {
  if (vclass* cls = vclassFindByName(vscribeLiteral("vprint"))) return cls;
  vclass* cls = vclassSpawn(vobjectGetDefaultClass(), sizeof(vobjectClassRec));
  vclassSetName(cls, vscribeLiteral("vprint"));
  return cls;
}
}  // namespace

vclass* vprefGetPrintClass() {
  if (const char* name = vprefGetString(vprefGetDefaultDict(), vscribeLiteral("printclass")))
    if (vclass* cls = vclassFindByName(vscribeCString(name))) return cls;
  return defaultPrintClass();
}

void vprefStartup(int argc, char** argv) {
  vprefBuildClasses();
  State* s = state();
  freeArgs(s);
  s->received = argv;
  if (argc > 0 && argv) {
    s->all = static_cast<vstr**>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(argc), sizeof(vstr*))));
    for (; s->allCount < argc; ++s->allCount)
      s->all[s->allCount] = vstrCloneScribed(vscribeFromNative(argv[s->allCount] ? argv[s->allCount] : ""), nullptr);
  }
  vmoduleSetExitAtShutdown(1);
  vprefProcessArgs();
}

void vprefProcessArgs() {
  State* s = state();
  vprefDict* root = vprefGetDefaultDict();
  auto** left = static_cast<char**>(vmemAlloc(vmemArraySize(static_cast<std::size_t>(s->allCount) + 1, sizeof(char*))));
  int count = 0;
  for (int i = 0; i < s->allCount; ++i) {
    char* arg = s->all[i];
    vpref* old = isOption(arg) && arg[1] ? vprefDictGet(root, vnameInternLiteral(arg + 1)) : nullptr;
    if (!old || !vclassIsSubclass(old->cls, vprefGetValueClass())) {
      vprefRelease(old);
      left[count++] = arg;
      continue;
    }
    auto* value = static_cast<vprefValue*>(old);
    vinstance* scrap = nullptr;
    std::int32_t elements = 0;
    if (value->hasResource && vresourceGetType(value->resource, value->resourceTag) == vresARRAY)
      elements = vresourceCount(vprefValueResource(value));
    else if (value->scrap && vdelegatorIsKindOf(value->scrap, vscrapGetArrayClass()))
      elements = vscrapGetArrayCount(vscrapWalk(value->scrap));
    else
      elements = -1;
    if (elements >= 0) {
      scrap = vscrapCreateNative(vscrapGetArrayClass());
      vscrap walk = vscrapWalk(scrap);
      vscrapSetArrayCount(walk, elements);
      for (std::int32_t k = 0; k < elements; ++k) {
        const char* text = i + 1 < s->allCount ? s->all[++i] : "";
        vscrapSetArrayElement(walk, k, vscrapCreateNativeString(text));
      }
    } else {
      const char* current = prefStringForm(old);
      const char* next = "";
      if (current && (!*current || std::strcmp(current, "On") == 0))
        next = arg[0] == '-' ? "On" : "";
      else if (i + 1 < s->allCount && !isOption(s->all[i + 1]))
        next = s->all[++i];
      scrap = vscrapCreateNativeString(next);
    }
    vprefValue* made = vprefCreateValue(scrap);
    made->flags |= elements >= 0 ? vprefVALUE_NO_STRING : vprefVALUE_STRING;
    vprefDictSet(root, vnameInternLiteral(arg + 1), made);
    vprefRelease(old);
    vprefRelease(made);
  }
  left[count] = nullptr;
  vmemFree(s->remaining);
  s->remaining = left;
  s->remainingCount = count;
  s->commandKey = 0;
  if (count > 0) vfsMSWStartup(count, left);
}

void vprefGetArgs(int* count, char*** vector) {
  State* s = state();
  *count = s->remainingCount;
  *vector = s->remaining;
}

void vprefGetAllArgs(int* count, char*** vector) {
  State* s = state();
  *count = s->allCount;
  *vector = s->all;
}

void vprefApplyEnvironment() {
  vprefDict* root = vprefGetDefaultDict();
  vprefDict* map = vprefGetDict(root, vscribeLiteral("Environment Map Dict"));
  vprefDictIterator it;
  vprefDictInitIterator(&it, root);
  vexGuard(
      [&] {
        while (vprefDictNextIterator(&it)) {
          vname key = vprefDictIteratorKey(&it);
          const char* name = map ? vprefGetStringValue(map, vscribeCString(key)) : nullptr;
          if (!name) name = key;
          if (!*name) continue;
          vstr* native = vstrCloneScribed(vscribeToNative(name), nullptr);
          const char* value = std::getenv(native);
          if (!value) {
            for (char* p = native; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
            value = std::getenv(native);
          }
          vstrDestroy(native);
          if (!value || !usableEnvironmentText(value)) continue;
          vstr* text = vstrCloneScribed(vscribeFromNative(value), nullptr);
          vprefSetString(root, vscribeCString(key), text);
          vstrDestroy(text);
        }
      },
      [&](vexHandler&) {
        vprefDictFinishIterator(&it);
        vprefRelease(map);
        _vexGenerate(nullptr, vexEnd);
      });
  vprefDictFinishIterator(&it);
  vprefRelease(map);
  state()->commandKey = 0;
}

void vprefInstallStartup() {
  vmoduleInstallArgumentsStartup(vprefStartup);
  vmoduleInstallStartup("vprefBuildClasses", vprefBuildClasses);
}
