// The small resource interface of the core (objects, command spaces and
// paths store and load through it) carried out by the routed resource
// calls, so it serves the files of both stores.
// Elements of scalar arrays are values, not records: the interface hands
// out transient handles for them, with file index 127, which no open file
// has; each names (array, index) until 4096 later ones have been made.
#include <array>
#include <string>

#include "fw/core/sys.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

namespace {

constexpr std::uint32_t ELEMENT_FILE = 0x7F000000u;
constexpr std::size_t ELEMENT_SLOTS = 4096;

struct ElementRef {
  vresource array;
  std::int32_t index;
};
std::array<ElementRef, ELEMENT_SLOTS> elementRefs;
std::uint32_t nextElement = 0;

bool isElement(vresource r) { return (std::uint32_t(r) & 0x7F000000u) == ELEMENT_FILE; }

vresource elementHandle(vresource array, std::int32_t index) {
  std::uint32_t slot = nextElement++ % ELEMENT_SLOTS;
  elementRefs[slot] = {array, index};
  return vresource(ELEMENT_FILE | slot);
}

const ElementRef& elementOf(vresource r) {
  std::uint32_t slot = std::uint32_t(r) & 0xFFFFFFu;
  if (slot >= ELEMENT_SLOTS) vexGenerateMessage(&vexArgClass, "Non-existent resource");
  return elementRefs[slot];
}

int type(vresource r) {
  return isElement(r) ? vresourceGetElementType(elementOf(r).array) : vresourceGetType(r, nullptr);
}

int find(vresource dict, vname key, vresource* out) { return vresourceTestGet(dict, key, out); }

vresource make(vresource dict, vname key, int kind) {
  return kind == vresARRAY ? vresourceCreateArray(dict, key, vresUNTYPED, 0) : vresourceCreate(dict, key, kind);
}

void remove(vresource dict, vname key) { vresourceRemove(dict, key); }
int count(vresource r) { return vresourceCount(r); }
vname entryName(vresource dict, int index) { return vresourceGetTagAtOnly(dict, index); }

bool holdsRecords(vresource array) {
  int kind = vresourceGetElementType(array);
  return kind == vresDICTIONARY || kind == vresARRAY || kind == vresSTRING || kind == vresOPAQUE;
}

vresource element(vresource r, int index) {
  if (vresourceGetType(r, nullptr) != vresARRAY) return vresourceGetTagAt(r, index, nullptr);
  if (holdsRecords(r)) return vresourceGetAt(r, index);
  if (index < 0 || index >= vresourceCount(r)) vexGenerateMessage(&vexArgClass, "Illegal array index");
  return elementHandle(r, index);
}

vresource append(vresource array, int kind) {
  if (vresourceGetType(array, nullptr) == vresUNTYPED) vresourceCreateArray(array, nullptr, vresUNTYPED, 0);
  std::int32_t at = vresourceCount(array);
  switch (kind) {
    case vresUNTYPED: case vresDICTIONARY: case vresSTRING: case vresOPAQUE: return vresourceInsertAt(array, at, kind);
    case vresTAG: vresourceInsertAtTag(array, at, nullptr); break;
    case vresINTEGER: vresourceInsertAtInteger(array, at, 0); break;
    case vresFIXED: vresourceInsertAtFixed(array, at, 0); break;
    case vresFLOAT: vresourceInsertAtFloat(array, at, 0); break;
    case vresCHARACTER: vresourceInsertAtCharacter(array, at, 0); break;
    case vresBOOLEAN: vresourceInsertAtBoolean(array, at, 0); break;
    default: vexGenerateMessage(&vexArgClass, "Unknown resource type");
  }
  return elementHandle(array, at);
}

vname getTag(vresource r) {
  if (isElement(r)) return vresourceGetAtTag(elementOf(r).array, elementOf(r).index);
  return vresourceGetTag(r, nullptr);
}

void setTag(vresource r, vname value) {
  if (isElement(r)) return vresourceSetAtTag(elementOf(r).array, elementOf(r).index, value);
  vresourceSetTag(r, nullptr, value);
}

// Booleans are read and written as integers through this interface.
std::int32_t getInteger(vresource r) {
  if (isElement(r)) {
    const ElementRef& e = elementOf(r);
    return type(r) == vresBOOLEAN ? vresourceGetAtBoolean(e.array, e.index) : vresourceGetAtInteger(e.array, e.index);
  }
  return type(r) == vresBOOLEAN ? vresourceGetBoolean(r, nullptr) : vresourceGetInteger(r, nullptr);
}

void setInteger(vresource r, std::int32_t value) {
  if (isElement(r)) {
    const ElementRef& e = elementOf(r);
    if (type(r) == vresBOOLEAN) return vresourceSetAtBoolean(e.array, e.index, value);
    return vresourceSetAtInteger(e.array, e.index, value);
  }
  if (type(r) == vresBOOLEAN) return vresourceSetBoolean(r, nullptr, value);
  vresourceSetInteger(r, nullptr, value);
}

// The text stays valid until eight more strings have been read.
const char* getString(vresource r) {
  static std::array<std::string, 8> ring;
  static std::size_t next = 0;
  std::string& s = ring[next++ % ring.size()];
  s = vresourceGetStringText(r, nullptr);
  return s.c_str();
}

void setString(vresource r, const char* text) { vresourceSetStringSized(r, nullptr, text, std::char_traits<char>::length(text)); }

constexpr vresourceInterface storeInterface = {type,   find,    make,       remove, count,   entryName,  element,
                                               append, getTag, setTag, getInteger, setInteger, getString, setString};

}  // namespace

void vrstoreInstallInterface() { vresourceSetInterface(&storeInterface); }

// The resource module's start-up: the interface installed, and a memory
// file made and released once so the open-file table exists.
void vresourceStartup() {
  vrstoreInstallInterface();
  vresourceReleaseFile(vresourceCreateMemory());
  _vtextviewInputSetFlag();
}

namespace {
int started = 0;
}  // namespace

void _vtextviewInputSetFlag() {
  if (started == 0) started = 1;
}
int _vtextviewInputGetFlag() { return started; }

void vresourceInstallStartup() { vmoduleInstallStartup("vresourceStartup", vresourceStartup); }
