// Commands, key lists and command spaces. A command carries out one named
// request; commands sit in dictionaries keyed by tags, and the dictionaries
// sit in command spaces under an attribute kind ("Command", "Key", "State",
// "Toggle", "Name", "Title"), looked up first entry first.
#pragma once
#include <cstdint>

#include "fw/core/class.h"

struct vcommand : vinstance {};
using vcommandFunc = int (*)(vcommand* command, vdict* context);

struct vcommandClassRec : vinstanceClassRec {
  void (*loadInit)(vcommand* self, vresource resource);
  void (*store)(vcommand* self, vresource resource);
  int (*issue)(vcommand* self, vdict* context);
  int (*query)(vcommand* self, vdict* context);
};
// Function and selector commands take one value through their first added
// slot: the issue function, or the selector.
struct vcommandValueClassRec : vcommandClassRec {
  void (*setValue)(vcommand* self, std::intptr_t value);
};
struct vcommandFunctionClassRec : vcommandValueClassRec {
  void (*setQuery)(vcommand* self, std::intptr_t function);
};
struct vcommandSyntheticClassRec : vcommandClassRec {
  void (*appendTags)(vcommand* self, const vname* tags, int n);
  void (*removeTags)(vcommand* self, const vname* tags, int n);
  void (*appendPairs)(vcommand* self, const vname* keys, const void* const* values, int n);
  void (*removePairs)(vcommand* self, const vname* keys, int n);
};

struct vcommandFunction : vcommand {
  vcommandFunc issue;
  vcommandFunc query;
};
struct vcommandSelector : vcommand {
  std::int32_t selector;
};
struct vcommandPair {
  vname key;
  const void* value;
};
struct vcommandSynthetic : vcommand {
  std::int16_t tagCount;
  std::int16_t pairCount;
  union {
    vname tag;    // count 0 or 1
    vname* tags;  // count 2 or more
  };
  union {
    vcommandPair pair;    // count 0 or 1
    vcommandPair* pairs;  // count 2 or more
  };
};

void vcommandStartup();
void vcommandGetDefaultClass();  // the start-up entry: builds the command classes
vcommandClassRec* vcommandGetClass();
vcommandFunctionClassRec* vcommandGetDefaultFunctionClass();
vcommandValueClassRec* vcommandGetDefaultSelectorClass();
vcommandSyntheticClassRec* vcommandGetDefaultSyntheticClass();
vcommandSyntheticClassRec* vcommandGetDefaultSyntheticNameClass();

struct vcommandTableRow {
  const char* name;
  std::intptr_t value;
};
vdict* vcommandCreateDictFromTable(vclass* cls, const vcommandTableRow* table, int count);
void vcommandAddTableToDict(vdict* dict, vclass* cls, const vcommandTableRow* table, int count);
void vcommandAppendSyntheticEntry(vcommand* command, vname tag);
void vcommandAppendSyntheticPair(vcommand* command, vname key, const void* value);
void vcommandDestroyDict(vdict* dict);
vclass* vcommandFindResourceClass(vresource resource);
vcommand* vcommandLoad(vresource resource);
void vcommandStore(vcommand* command, vresource resource);
vcommand* vcommandCopy(vcommand* command);
int vcommandIssue(vcommand* command, vdict* context);
int vcommandQuery(vcommand* command, vdict* context);

// Key lists: a count, then the key inline (count 0 or 1) or an array.
struct vcommandKeyList {
  std::int16_t count;
  union {
    std::uint32_t key;
    std::uint32_t* keys;
  };
};
struct vcommandKeyIterator {
  const std::uint32_t* end;
  const std::uint32_t* current;
};
vcommandKeyList* vcommandCreateKeyList();
void vcommandInitKeyList(vcommandKeyList* list);
void vcommandDestroyKeyList(vcommandKeyList* list);
vcommandKeyList* vcommandLoadKeyList(vresource resource);
void vcommandLoadKeyListInit(vcommandKeyList* list, vresource resource);
void vcommandStoreKeyList(vcommandKeyList* list, vresource resource);
void vcommandAppendKeys(vcommandKeyList* list, const std::uint32_t* keys, int n);
void vcommandInitKeyIterator(vcommandKeyIterator* it, const vcommandKeyList* list);
void vcommandMapKeys(const vcommandKeyList* list, vname value, vdict* map);
void vcommandDestroyKeyDict(vdict* dict);

// The value handlers of an attribute kind.
struct vcommandAttributeHandler {
  const void* (*copy)(const void* value);
  void (*destroy)(const void* value);
  const void* (*load)(vresource resource);
  void (*store)(const void* value, vresource parent, vname key);
};
const vcommandAttributeHandler* vcommandGetAttributeHandler(vname kind);

// Command spaces.
struct vcommandSpaceEntry {
  vname kind;
  vdict* dict;
  std::uint16_t flags;  // vcommandSpaceOWNED
};
inline constexpr std::uint16_t vcommandSpaceOWNED = 1;

struct vcommandSpace : vobject {
  vobject** observersBegin;
  vobject** observersEnd;
  vobject** observersCap;
  vcommandSpaceEntry* entriesBegin;
  vcommandSpaceEntry* entriesEnd;
  vcommandSpaceEntry* entriesCap;
  vobject* observersInline[2];
  vcommandSpaceEntry entriesInline[4];
};

struct vcommandSpaceClassRec : vobjectClassRec {
  void (*addObserver)(vcommandSpace* self, vobject* observer);
  void (*removeObserver)(vcommandSpace* self, vobject* observer);
  void (*addDict)(vcommandSpace* self, vname kind, vdict* dict);
  void (*removeDict)(vcommandSpace* self, vname kind, vdict* dict);
  void (*replaceDict)(vcommandSpace* self, vname kind, vdict* old, vdict* replacement);
};

vcommandSpaceClassRec* vcommandSpaceGetDefaultClass();
vcommandSpace* vcommandSpaceCreate();
void vcommandSpaceAttach(vcommandSpace* space, vobject* observer);
void vcommandSpaceDetach(vcommandSpace* space, vobject* observer);
void vcommandSpaceAddDict(vcommandSpace* space, vname kind, vdict* dict);  // owned from then on
void vcommandSpaceCopyInit(vcommandSpace* source, vcommandSpace* destination);
vcommandSpace* vcommandSpaceLoad(vresource resource);
void vcommandSpaceLoadInit(vcommandSpace* storage, vresource resource);
const void* vcommandSpaceGetAttribute(const vcommandSpace* space, vname kind, vname key);
void vcommandSpaceGetAttributes(const vcommandSpace* space, vname key, vdict* result);
vdict* vcommandSpaceRemoveDefined(const vcommandSpace* space, vname kind, vdict* dict);
vdict* _vcommandSpaceDictMinus(vdict* d, const vdict* e);
void vcommandSpaceVisitKeys(const vcommandSpace* space, vdict* keyBindings);
void _vcommandSpaceVisitDict(vdict* keyDict, vdict* keyBindings);

// Two-word iterators walking backwards: the last element comes first.
struct vcommandSpaceIterator {
  void* cursor;
  void* lower;
};
void vcommandSpaceInitAttachedIterator(vcommandSpaceIterator* it, vcommandSpace* space);
vobject* vcommandSpaceNextAttached(vcommandSpaceIterator* it);
void vcommandSpaceInitEntryIterator(vcommandSpaceIterator* it, vcommandSpace* space);
vcommandSpaceEntry* vcommandSpaceNextEntry(vcommandSpaceIterator* it);
