// What objects and command spaces use of resource dictionaries: the
// resource module installs an implementation of this interface; until then
// every call raises Module/State.
#pragma once
#include <cstdint>

#include "fw/core/name.h"

using vresource = std::int32_t;

enum : int {
  vresUNTYPED = 0,
  vresDICTIONARY = 1,
  vresARRAY = 2,
  vresTAG = 3,
  vresINTEGER = 4,
  vresFIXED = 5,
  vresFLOAT = 6,
  vresSTRING = 7,
  vresCHARACTER = 8,
  vresBOOLEAN = 9,
  vresOPAQUE = 10,
};

// A setter gives an untyped resource its type; appending to an untyped
// resource makes it an array.
struct vresourceInterface {
  int (*type)(vresource r);
  int (*find)(vresource dict, vname key, vresource* out);  // 1 when present
  vresource (*make)(vresource dict, vname key, int type);   // replaces an entry of that name
  void (*remove)(vresource dict, vname key);                // nothing when absent
  int (*count)(vresource r);                                // entries of a dictionary, elements of an array
  vname (*entryName)(vresource dict, int index);
  vresource (*element)(vresource r, int index);             // a dictionary's entry or an array's element
  vresource (*append)(vresource array, int type);
  vname (*getTag)(vresource r);
  void (*setTag)(vresource r, vname value);
  std::int32_t (*getInteger)(vresource r);
  void (*setInteger)(vresource r, std::int32_t value);
  const char* (*getString)(vresource r);
  void (*setString)(vresource r, const char* text);
};

void vresourceSetInterface(const vresourceInterface* iface);
const vresourceInterface* vresourceGetInterface();

// Helpers over the interface. The "TestGet" forms answer 0 when the key is
// absent or holds another type.
int vresourceTestGetTag(vresource dict, vname key, vname* out);
int vresourceTestGetInteger(vresource dict, vname key, std::int32_t* out);
void vresourceSetTagAt(vresource dict, vname key, vname value);
void vresourceSetIntegerAt(vresource dict, vname key, std::int32_t value);
vresource vresourceGetDict(vresource dict, vname key);  // made when absent
int vresourceType(vresource r);
// A count read from a resource, checked to lie within 0..max.
int vresourceCount(vresource r, int max);
