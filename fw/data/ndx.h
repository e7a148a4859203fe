// Index sets (numbered rows of 32-bit cells with free-row reuse), shape
// tables (one shared description per set of dictionary tags) and tag
// tables (numbered interned tags), each serialised into one chunk with
// var-ints.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fw/core/name.h"

inline constexpr std::uint32_t vndxFREE_ROW_VALUE = 0x80000000u;

struct vndx {
  std::int32_t client1 = 1, client2 = 0;
  int columns = 1;
  int capacity = 0;
  int hint = 0;      // lowest row index that may be free
  int highest = -1;  // highest row index in use
  std::vector<std::uint32_t> cells;
  bool modified = false;
};

vndx* vndxCreate(int columns);
vndx* vndxCreateSized(int rows, int columns);
void vndxDestroy(vndx* set);
std::size_t vndxSerialSize(const vndx* set);
std::uint8_t* vndxWrite(const vndx* set, std::uint8_t* out);  // answers the end
// Null when the bytes are not an index set.
vndx* vndxRead(const std::uint8_t* data, std::size_t length);
int vndxAddRow(vndx* set);  // rows count from 1
void vndxRemoveRow(vndx* set, int row);
bool vndxRowExists(const vndx* set, int row);
void vndxSetCell(vndx* set, int row, int column, std::uint32_t value);
std::uint32_t vndxGetCell(const vndx* set, int row, int column);
int vndxNextRow(const vndx* set, int row);  // the next row in use after row (0 starts), 0 at the end

struct vndxTagTable {
  std::int32_t client1 = 1, client2 = 0;
  std::map<std::string, std::int32_t> numbers;
  std::map<std::int32_t, vname> tags;
  std::int32_t next = 1;
  std::uint16_t longest = 0;
  bool modified = false;
};

vndxTagTable* vndxCreateTagTable();
void vndxDestroyTagTable(vndxTagTable* table);
std::int32_t vndxTagNumber(vndxTagTable* table, vname tag);  // enters a new tag
vname vndxTagOf(const vndxTagTable* table, std::int32_t number);  // null when unknown
std::size_t vndxTagTableSerialSize(const vndxTagTable* table);
std::uint8_t* vndxWriteTagTable(const vndxTagTable* table, std::uint8_t* out);
vndxTagTable* vndxReadTagTable(const std::uint8_t* data, std::size_t length);

struct vndxShape {
  std::int32_t number;
  std::uintptr_t key;
  std::vector<vname> tags;  // sorted by their bytes
  std::vector<std::uint8_t> flags;
  std::int32_t references;
};

struct vndxShapeTable {
  std::int32_t client1 = 1, client2 = 0;
  std::int32_t next = 1;
  std::multimap<std::uintptr_t, vndxShape*> byKey;
  std::map<std::int32_t, vndxShape*> byNumber;
  bool modified = false;
};

vndxShapeTable* vndxCreateShapeTable();  // node 0 is the empty shape
void vndxDestroyShapeTable(vndxShapeTable* table);
vndxShape* vndxLookup(vndxShapeTable* table, std::int32_t number);
vndxShape* vndxGetChild(vndxShapeTable* table, vndxShape* node, vname tag, std::uint8_t flag);
vndxShape* vndxGetParent(vndxShapeTable* table, vndxShape* node, vname tag, std::uint8_t flag);
int _vndxFindString(const vndxShape* node, vname tag);
void vndxReference(vndxShape* node);
void vndxRelease(vndxShapeTable* table, vndxShape* node);
int vndxShapeCount(const vndxShapeTable* table);  // referenced nodes, the empty shape not counted
std::size_t vndxShapeTableSerialSize(const vndxShapeTable* table, vndxTagTable* tags);
std::uint8_t* vndxWriteShapeTable(const vndxShapeTable* table, vndxTagTable* tags, std::uint8_t* out);
vndxShapeTable* vndxReadShapeTable(const std::uint8_t* data, std::size_t length, const vndxTagTable* tags);
