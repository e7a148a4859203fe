// Datatags: run-time descriptors of C values, kept by name in named groups,
// stored to and loaded from resources; signatures list an operation's
// datatags. Datatag scraps read and write plain memory laid out as a
// datatag describes it. Memory is the host's: pointer kinds are pointer
// sized and every kind takes the host's alignment.
//
// A datatag (`datatag.cpp`) describes a C value by kind (0-25); the seven constructed kinds carry a
// payload (element, count, key dictionary, member list, union selectors). Datatags live by name in
// named groups; the group "vdatatag" holds the 19 predefined scalar ones. `datatag_res.cpp` stores
// a datatag as a resource dictionary whose references name a grouped datatag by group and name, and
// holds signatures (`vsignature`). A datatag scrap (`datatag_scrap.cpp`, `datatag_container.cpp`)
// is one object per value whose single shared delegate reads and writes the scrap's memory by kind.
// Memory is the host's: pointer kinds are pointer-sized and every kind takes `alignof` of its C
// type, so a compound's layout equals the C struct's. Walks that follow pointers or nest
// descriptors stop at `vdatatagMAX_DEPTH` with Arg/Range; sizes are checked for overflow. A
// dictionary scrap keeps integers with the absent marker 0x80000000 and floats as the full double
// in the pointer-sized entry (absent marker: the smallest normal float); storing a marker raises.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "fw/core/class.h"
#include "fw/data/scrap.h"

enum vdatatagKind : int {
  vdatatagBOOLEAN, vdatatagCHARACTER, vdatatagBYTE, vdatatagUNSIGNED_BYTE, vdatatagSHORT, vdatatagUNSIGNED_SHORT,
  vdatatagINTEGER, vdatatagUNSIGNED_INTEGER, vdatatagLONGLONG, vdatatagUNSIGNED_LONGLONG, vdatatagFIXED,
  vdatatagSINGLE_FLOAT, vdatatagDOUBLE_FLOAT, vdatatagSTRING, vdatatagTAG, vdatatagOPAQUE, vdatatagDATATAG,
  vdatatagLIST, vdatatagSCRAP, vdatatagPOINTER, vdatatagARRAY, vdatatagSIZED_ARRAY, vdatatagSIZED_OPAQUE,
  vdatatagDICTIONARY, vdatatagCOMPOUND, vdatatagUNION,
  vdatatagKIND_COUNT
};
inline constexpr int vdatatagSCALAR_COUNT = vdatatagPOINTER;

// A growable vector of pointers.
struct vdatatagList {
  void** begin;
  void** end;
  void** cap;
};
void _vdatatagListInit(vdatatagList* list);  // room for 4
void _vdatatagListFinish(vdatatagList* list);
void _vdatatagListAppend(vdatatagList* list, void* entry);
void* _vdatatagListGet(const vdatatagList* list, std::int32_t index);  // Arg/Range past the count
std::int32_t _vdatatagListCount(const vdatatagList* list);
void _vdatatagListSetCapacity(vdatatagList* list, std::size_t capacity);
void _vdatatagListCopy(const vdatatagList* source, vdatatagList* destination);

struct vdatatagGroup;

struct vdatatag : vinstance {
  vclass* scrapClass;
  vdatatagGroup* group;
  vname name;
  std::uint32_t flags;  // the kind in the low 8 bits
};
struct vdatatagElementOf : vdatatag {  // Pointer, Array, Sized array
  vdatatag* element;
  std::int32_t count;  // Sized array
};
struct vdatatagSizedOpaque : vdatatag {
  std::int32_t count;
};
struct vdatatagDict : vdatatag {
  vdict entries;  // key name -> datatag
};
struct vdatatagCompound : vdatatag {
  vdatatagList members;
};
struct vdatatagUnion : vdatatagCompound {
  std::int32_t* selBegin;
  std::int32_t* selEnd;
  std::int32_t* selCap;
};

struct vdatatagClassRec : vinstanceClassRec {
  void (*load)(vdatatag* self, vresource resource);
  void (*store)(vdatatag* self, vresource resource);
  void (*dump)(vdatatag* self, std::FILE* stream);
};

struct vdatatagGroup {
  vname name;
  vdict datatags;  // name -> datatag
};

inline int vdatatagGetKind(const vdatatag* d) { return static_cast<int>(d->flags & 0xFF); }
const char* vdatatagKindName(int kind);  // null past the last kind

// Module and predefined datatags.
vdatatagClassRec* vdatatagGetDefaultClass();
void vdatatagInstallStartup();
vdatatag* vdatatagGetPredefined(int kind);
vdatatag* vdatatagCreate(int kind);  // null for a scalar kind
void vdatatagDestroy(vdatatag* datatag);
void vdatatagDump(vdatatag* datatag, std::FILE* stream);
void vdatatagSetScrapClass(vdatatag* datatag, vclass* scrapClass);
// A datatag from a resource dictionary (its "Class" names the class), and back.
vdatatag* vdatatagLoad(vresource resource);
void vdatatagStore(vdatatag* datatag, vresource resource);

// Kind-checked accessors ("Mismatched Datatag" on another kind).
vdatatag* vdatatagGetPointerTarget(vdatatag* d);
void vdatatagSetPointerTarget(vdatatag* d, vdatatag* target);
vdatatag* vdatatagGetArrayElement(vdatatag* d);
void vdatatagSetArrayElement(vdatatag* d, vdatatag* element);
vdatatag* vdatatagGetSizedArrayElement(vdatatag* d);
void vdatatagSetSizedArrayElement(vdatatag* d, vdatatag* element);
std::int32_t vdatatagGetSizedArrayCount(vdatatag* d);
void vdatatagSetSizedArrayCount(vdatatag* d, std::int32_t count);
std::int32_t vdatatagGetSizedOpaqueSize(vdatatag* d);
void vdatatagSetSizedOpaqueSize(vdatatag* d, std::int32_t size);
vdatatag* vdatatagGetDictEntry(vdatatag* d, vname key);
void vdatatagSetDictEntry(vdatatag* d, vname key, vdatatag* entry);
void vdatatagRemoveDictEntry(vdatatag* d, vname key);
vdatatagList* vdatatagGetCompoundMembers(vdatatag* d);
void vdatatagAddCompoundMembers(vdatatag* d, ...);  // datatags, then null
vdatatag* vdatatagGetUnionMember(vdatatag* d, std::int32_t selector);
// Appends a member with its selector (the only other way is loading).
void vdatatagAddUnionMember(vdatatag* d, std::int32_t selector, vdatatag* member);

// Child iteration.
struct vdatatagChildIterator {
  vdictIterator entries;
  vdatatag* datatag;
  std::int32_t position;
};
void vdatatagInitChildIterator(vdatatagChildIterator* it, vdatatag* d);
int vdatatagNextChild(vdatatagChildIterator* it);
vdatatag* vdatatagGetChild(vdatatagChildIterator* it);
void vdatatagResetChildIterator(vdatatagChildIterator* it);

// Groups.
vdatatagGroup* vdatatagGroupCreate();
void vdatatagGroupDestroy(vdatatagGroup* group);
void vdatatagGroupSetName(vdatatagGroup* group, vname name);
vdatatagGroup* vdatatagGroupFind(vname name);
vdatatagGroup* vdatatagGetPredefinedGroup();
void vdatatagGroupAddDatatag(vdatatagGroup* group, vname name, vdatatag* datatag);
vdatatag* vdatatagGroupRemoveDatatag(vdatatagGroup* group, vname name);
vdatatag* vdatatagGroupFindDatatag(vdatatagGroup* group, vname name);

// Exceptions, children of Arg.
struct vdatatagUnknownException : vexArgException {
  vname name;
};
struct vdatatagDatatagException : vexArgException {  // Incomplete, Mismatched
  vdatatag* datatag;
};
extern const vexClass vexDatatagUnknownClass, vexDatatagIncompleteClass, vexDatatagMismatchedClass;
[[noreturn]] void vdatatagRaiseMismatched(vdatatag* d, const char* message);

// Signatures.
struct vsignature : vobject {
  vdatatag* returnValue;
  vdatatagList arguments;
};
vobjectClassRec* vsignatureGetDefaultClass();
void vsignatureInstallStartup();
void vsignatureAddDatatags(vsignature* s, ...);  // datatags, then null

// Datatag scraps.
struct vdatatagScrap : vinstance {
  vdatatag* datatag;
  void* value;  // the value's address, null until set
  // A value held by copy; the count, data and selector words of Opaque,
  // Array and Union (their own when filled, the caller's when referred).
  alignas(std::max_align_t) unsigned char storage[16];
  std::int32_t* countWord;
  void** dataWord;
  std::int32_t* selectorWord;
  std::int32_t ownCount;
  void* ownData;
  std::int32_t ownSelector;
  vdatatagList elements;  // List: the element scraps
  std::uint8_t owns;      // value points at memory allocated for this scrap
  std::uint8_t copied;    // made by fill: elements are copies
};

struct vdatatagScrapClassRec : vscrapConvertibleClassRec {
  void (*setDatatag)(vdatatagScrap* self, vdatatag* datatag);
  void (*fill)(vdatatagScrap* self, va_list* values);
  void* (*allocate)(vdatatagScrap* self);
  void (*refer)(vdatatagScrap* self, va_list* addresses);
  std::size_t (*size)(vscrap* self);
  vinstance* delegate;  // the one shared delegate of the class's scraps
};
vdatatagScrapClassRec* vdatatagGetScrapClass();
// The scrap class of a kind's datatags (0-25).
vdatatagScrapClassRec* vdatatagGetKindScrapClass(int kind);

vdatatagScrap* vdatatagCreateScrap(vdatatag* d);
vdatatagScrap* vdatatagCreateScrapWithValue(vdatatag* d, ...);
vdatatagScrap* vdatatagCreateScrapFromArgs(vdatatag* d, ...);
vdatatagScrap* vdatatagCreateScrapWithValueV(vdatatag* d, va_list values);
vdatatagScrap* vdatatagCreateScrapFromArgsV(vdatatag* d, va_list addresses);
vdatatagScrap* vdatatagCreateListScrapWithValue(vdatatagList* datatags, ...);
vdatatagScrap* vdatatagCreateListScrapFromArgs(vdatatagList* datatags, ...);
vdatatagScrap* vdatatagCreateListScrapWithValueV(vdatatagList* datatags, va_list values);
vdatatagScrap* vdatatagCreateListScrapFromArgsV(vdatatagList* datatags, va_list addresses);
void* vdatatagScrapAllocate(vdatatagScrap* scrap);
vdatatagScrap* vdatatagScrapFromMemory(vdatatag* d, const void* address);
std::size_t vdatatagScrapQuery(vscrap scrap);
// The bytes and the alignment one value of d takes in memory.
std::size_t vdatatagSizeOf(vdatatag* d);
std::size_t vdatatagAlignOf(vdatatag* d);
vdatatag* vdatatagFromScrap(vscrap scrap);

// How deep pointer walks and descriptor walks may go before they raise.
inline constexpr int vdatatagMAX_DEPTH = 64;
