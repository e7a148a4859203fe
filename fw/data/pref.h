// Preferences: one tree of named settings. A preference dictionary lays
// explicitly set values over a stack of resource dictionaries (searched
// from the last pushed down); values read from the resources are cached,
// set values win until a resource pushed later names the same key.
// Environment variables and command-line options ("-name", "+name") set
// values in the root. Preference objects are reference counted.
//
// A `vprefDict` lays set values (counted references) over a cache of entries made from its resource
// stack (not counted: an entry leaves the cache when its last holder releases it). A get searches
// the stack from the top; a dictionary child becomes a sub-dictionary that pushes that child from
// every level, anything else a value that holds the resource. Setting a value registers every
// dictionary on the way up in its parent's set entries; pushing a resource drops the set values it
// names, so a resource pushed later wins. `pref.cpp` holds the objects and these rules,
// `pref_args.cpp` the module state (the root per module context, the arguments), the readers by
// name, the options ("-name" sets "On" or takes the next word, "+name" the empty string, an array
// preference its count of words) and the environment (each root key, through the "Environment Map
// Dict" of `vwexlin7.vr`'s "Preferences", then its upper-case form; values with control characters
// or over 4 KiB are ignored). `vprefInstallStartup` installs the arguments hand-off that
// `vmoduleStartupAll` runs first and the "vprefBuildClasses" row. A value read from a resource
// keeps the resource's handle; its scrap is the store's object for that resource
// (`vresourceGetObject`), made when asked. `pref_scrap.cpp` is the dictionary scrap over a
// preference dictionary: changes made through it stay in the scrap, the rest reads through.
// `vprefGetPrintClass` answers a placeholder "vprint" class until the printing classes exist.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/dict.h"

struct vpref : vinstance {
  std::int32_t refCount;  // 1 at creation
  std::uint32_t flags;
};

struct vprefClassRec : vinstanceClassRec {
  void (*release)(vpref* self);
  void (*load)(vpref* self, vresource resource);
  void (*store)(vpref* self, vresource resource);
  vinstance* (*getScrap)(vpref* self);  // a new reference, or null
};

// Value flags.
enum : std::uint32_t {
  vprefVALUE_FROM_RESOURCE = 2,
  vprefVALUE_SET = 4,
  vprefVALUE_STRING = 8,     // has a string form
  vprefVALUE_NO_STRING = 16  // dictionary, array, opaque or untyped
};

// One value: a scrap, or a resource that stands for it.
struct vprefValue : vpref {
  vinstance* scrap;     // owned, or null
  vresource resource;   // with hasResource
  std::int32_t hasResource;
  // Non-null: the value is resource's child under this tag, read through
  // the parent so that a read-only file is never asked for a handle.
  vname resourceTag;
};

struct vprefDictObserver;

// Dictionary flags.
enum : std::uint32_t {
  vprefDICT_DESTROY_CHILDREN = 1,
  vprefDICT_UNREGISTERED = 0x20,
  vprefDICT_OWN_RESOURCE = 0x40,
  vprefDICT_UNMODIFIED = 0x80
};

struct vprefDict : vpref {
  vprefDict* parent;
  vname key;                 // under which the parent holds it
  vresource ownResource;     // with vprefDICT_OWN_RESOURCE
  vdict* cache;              // entries made from resources (not counted)
  vdict* set;                // set values and modified sub-dictionaries (counted)
  vresource* stack;          // resource dictionaries, the last pushed on top
  std::int32_t stackCount, stackCapacity;
  vprefDictObserver** observers;
  std::int32_t observerCount, observerCapacity;
};

struct vprefDictClassRec : vprefClassRec {
  void (*set)(vprefDict* self, vname key, vpref* entry);
  vpref* (*get)(vprefDict* self, vname key);  // a new reference, or null
  void (*saveKey)(vprefDict* self, vname key);
};

struct vprefDictObserver : vinstance {
  void* data;
};
struct vprefDictObserverClassRec : vinstanceClassRec {
  void (*fetched)(vprefDictObserver* self, vname key, vpref* entry);
  void (*changed)(vprefDictObserver* self, vname key, vpref* entry);
};

vprefClassRec* vprefGetDefaultClass();
vprefClassRec* vprefGetValueClass();
vprefDictClassRec* vprefGetDictClass();
vprefDictObserverClassRec* vprefGetDictObserverClass();
void vprefBuildClasses();

void vprefRelease(vpref* pref);
vprefValue* vprefCreateValue(vinstance* scrap);  // takes the scrap
vprefDict* vprefCreateDict();
vprefDict* vprefGetDefaultDict();
void vprefSetRootResource(vresource resource);

// The dictionary operations.
vpref* vprefDictGet(vprefDict* dict, vname key);
void vprefDictSet(vprefDict* dict, vname key, vpref* entry);
void vprefDictPushResource(vprefDict* dict, vresource resource);
void vprefDictStore(vprefDict* dict, vresource resource);
void vprefDictSaveKey(vprefDict* dict, vname key);
void vprefDictAddObserver(vprefDict* dict, vprefDictObserver* observer);
void vprefDictRemoveObserver(vprefDict* dict, vprefDictObserver* observer);

// Walks the keys: the set ones, the cached ones, then each resource level
// from the top down, each key once.
struct vprefDictIterator {
  vname* keys;
  std::int32_t count, index;  // index: of the current key, count + 1 once ended
};
void vprefDictInitIterator(vprefDictIterator* it, vprefDict* dict);
int vprefDictNextIterator(vprefDictIterator* it);
vname vprefDictIteratorKey(const vprefDictIterator* it);
void vprefDictFinishIterator(vprefDictIterator* it);

// A new dictionary scrap over the dictionary: changes made through it stay
// in the scrap; the rest reads through the dictionary.
inline vinstance* vprefDictGetScrap(vprefDict* dict) { return vclassRec<vprefClassRec>(dict)->getScrap(dict); }

// Readers and setters by name.
void vprefSetString(vprefDict* dict, vscribe* name, const char* value);
void vprefSetResource(vprefDict* dict, vscribe* name, vresource resource);
void vprefSetScrap(vprefDict* dict, vscribe* name, vinstance* scrap, std::uint32_t flags);
const char* vprefGetString(vprefDict* dict, vscribe* name);       // null for none or ""
const char* vprefGetStringValue(vprefDict* dict, vscribe* name);  // "" included
vresource vprefGetValue(vprefDict* dict, vscribe* name);          // 0 when not resource-backed
vprefDict* vprefGetDict(vprefDict* dict, vscribe* name);          // a new reference, or null
std::uint32_t vprefGetCommandKey();
vdict* vprefLoadKeyDict(vprefDict* dict);  // key tag -> key list; vcommandDestroyKeyDict frees it
vclass* vprefGetPrintClass();

// The program's arguments and the environment.
void vprefStartup(int argc, char** argv);
void vprefProcessArgs();
void vprefGetArgs(int* count, char*** vector);
void vprefGetAllArgs(int* count, char*** vector);  // counted strings
void vprefApplyEnvironment();
// The start-up order's preference rows: the hand-off of the arguments
// and the class building.
void vprefInstallStartup();

// Key modifier bits named by the ":"-separated words of text: "shift" 4,
// "control" 2, "alt" 1, "command" or "meta" 8, matched exactly (case
// included); other pieces add nothing. Kept here, below the graphics that
// own it, because the command-key preference reads it.
std::uint16_t vkeyParseModifiers(const char* text);
