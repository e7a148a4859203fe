// Attribute sets: the small keyed collections of typed values that hold a
// style's character attributes and a ruler's paragraph attributes, the
// per-class definitions that say which keys a class takes, the object-level
// setters and getters, the stored form, and the text ruler class.
//
// - Attribute sets (`txtruler.h`): null-terminated key and value arrays (capacity + 1, grown by 4,
//   insertion order) whose keys point at rows of the owning class's definitions table (capacity 2,
//   grown by 2), kept in the slot after the vobject slots. Values are pointer-sized words: fonts and
//   colours by identity, `On`/`Off` names, 16.16 measures, justification names. Object-level setters
//   go through the class's set-attribute slot (which tells the owner text); a removal value (-1 or
//   null) removes quietly. The "Text" exception family lives here. `vtextRuler` adds flags, its list
//   index, owner and the tab array; `vtextStyle` (`textstyle.h`) flags, index, owner and the font it
//   derives, and reads the older flat stored form (its `Name` is left out: no style key takes it).
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/core/ex.h"
#include "fw/core/fixed.h"

// Value kinds of a registered key.
enum : int {
  vtextAttrFONT = 1,
  vtextAttrCOLOR = 2,
  vtextAttrINTEGER = 3,
  vtextAttrBOOLEAN = 4,   // the name On or Off
  vtextAttrMEASURE = 5,   // 16.16
  vtextAttrJUSTIFY = 6,   // the name Left, Right, Center or Full
  vtextAttrOBJECT = 7,    // an object that stores and loads itself
  vtextAttrDATA = 8,      // a client word, never stored
};

struct vtextAttrDefinition {
  vname key;
  int kind;
};

struct vtextAttrDefinitions {
  std::uint32_t count;
  std::uint32_t capacity;
  vtextAttrDefinition* rows;
};

// Keys point at their definition rows; both arrays hold capacity + 1
// entries and a null key ends the used part. Insertion order is kept.
struct vtextAttrSet {
  std::int32_t count;
  std::int32_t capacity;
  const vtextAttrDefinition** keys;
  std::uintptr_t* values;
};

// The records every object with an attribute set starts with; the class
// keeps its definitions right after the vobject slots.
struct vtextAttributed : vobject {
  vtextAttrSet attributes;
};
struct vtextAttributedClassRec : vobjectClassRec {
  vtextAttrDefinitions* definitions;
  // Puts through the set and tells the owner text.
  void (*setAttribute)(vtextAttributed* self, vname key, vobject* object, std::intptr_t integer);
};

// The "Text" exception family.
extern const vexClass vexTextClass, vexTextAttributeNotRegisteredClass, vexTextNoAppliedStyleClass,
    vexTextNoAppliedRulerClass, vexTextObserverAlreadyRemovedClass;

inline constexpr std::uintptr_t vtextAttrABSENT = 0x80000000u;

vtextAttrDefinitions* vtextRulerCreateDefinitions();
void vtextRulerDestroyDefinitions(vtextAttrDefinitions* table);
void vtextRulerRegisterAttr(vtextAttrDefinitions* table, vname key, int kind);  // Arg when present
int vtextRulerGetAttrType(const vtextAttrDefinitions* table, vname key);       // 0 when not registered

void vtextRulerInitAttrSet(vtextAttrSet* set);
void vtextRulerFreeAttrSet(vtextAttrSet* set);
void vtextRulerCopyAttrSet(const vtextAttrSet* source, vtextAttrSet* destination);
void vtextRulerMergeAttrSet(const vtextAttrSet* source, vtextAttrSet* destination);
int vtextRulerEqualAttrSet(const vtextAttrSet* a, const vtextAttrSet* b);
void vtextRulerPutAttr(const vtextAttrDefinitions* table, vtextAttrSet* set, vname key, const void* object,
                       std::intptr_t integer);
std::uintptr_t vtextRulerFindAttr(const vtextAttrSet* set, vname key);    // 0 when absent
std::uintptr_t _vtextRulerLookupAttr(const vtextAttrSet* set, vname key);  // vtextAttrABSENT when absent
void vtextRulerRemoveAttr(vtextAttrSet* set, vname key);                   // Arg when absent
void vtextRulerStoreAttrSet(const vtextAttrSet* set, vresource resource);
void vtextRulerLoadAttrSet(const vtextAttrDefinitions* table, vtextAttrSet* set, vresource resource);

// Object-level operations on any attributed object. A removal value (-1,
// or a null object) removes the key quietly and tells nobody.
void vtextRulerSetBooleanAttr(vobject* object, vname key, int value);
int vtextRulerGetBooleanAttr(vobject* object, vname key);  // 1, 0, -1 when absent
void vtextRulerSetFlagAttr(vobject* object, vname key, int value);
int vtextRulerGetFlagAttr(vobject* object, vname key);
void vtextRulerSetIntegerAttr(vobject* object, vname key, std::int32_t value);
std::int32_t vtextRulerGetAttr(vobject* object, vname key);  // -1 when absent
void vtextRulerSetMeasureAttr(vobject* object, vname key, vfixed value);
vfixed vtextRulerGetMeasureAttr(vobject* object, vname key);
void vtextRulerSetObjectAttr(vobject* object, vname key, vobject* value);
void vtextRulerSetJustification(vobject* object, int justification);  // 0 left .. 3 full
int vtextRulerGetJustification(vobject* object);                      // -1 when absent
// The justification index of a stored word: -1 absent, 0 Left, 1 Right, 2 Center, 3 other.
int vtextJustificationOf(std::uintptr_t word);

// Text rulers: a paragraph attribute set and the tab stops beside it.
enum : std::uint32_t {
  vtextRulerOWNED = 1,    // destroyed with its text
  vtextRulerAPPLIED = 2,  // applied to lines by a Ruler tag
  vtextRulerCHANGED = 4,  // to be prepared before the next layout
};

struct vtextTab {
  vfixed position;
  std::uint8_t type;
};

struct vtext;

struct vtextRuler : vtextAttributed {
  std::uint32_t flags;
  std::int32_t index;  // in the owner's ruler list, -1 when in none
  vtext* owner;
  vfixed lastTab;      // 0 without stops
  std::int16_t tabCount;
  std::int16_t tabCapacity;
  vtextTab* tabs;
};

struct vtextRulerClassRec : vtextAttributedClassRec {
  void (*prepare)(vtextRuler* self);
};

vtextRulerClassRec* vtextGetRulerClass();
vtextRuler* vtextRulerCreate();
// Loads the ruler's attribute set from its "Attributes" entry.
void vtextRulerLoadAttributes(vtextRuler* ruler, vresource resource);

// The interned name of one of the text module's keys.
vname vtextName(const char* text);
