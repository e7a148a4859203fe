#include "fw/text/listcells.h"

#include <cstring>

#include "fw/core/mem.h"

namespace {

vpool* recordPool() {
  static vpool* pool = vpoolCreate(sizeof(vlistArray));
  return pool;
}

bool columnMajor(const vlistCells* list) { return (list->flags & vlistCOLUMN_MAJOR) != 0; }

vlistArray* recordAt(const vlistArray* first, std::int32_t index) {
  return reinterpret_cast<vlistArray*>(first->block[index]);
}

std::size_t wordBytes(std::int64_t words) { return vmemArraySize(static_cast<std::size_t>(words), sizeof(vlistCell)); }

}  // namespace

vlistCellSetter _vlistArraySetterFunc() { return _vlistArraySetCell; }
vlistCellGetter _vlistArrayGetterFunc() { return _vlistArrayGetCell; }

void _vlistArrayInit(vlistArray* array) {
  array->block = static_cast<vlistCell*>(vmemAllocClear(wordBytes(2)));
  array->count = 0;
  array->capacity = 2;
}

vlistCell* _vlistArrayEnsure(vlistArray* array, std::int32_t index) {
  // Wide enough that doubling past the largest index cannot overflow.
  std::int64_t capacity = array->capacity ? array->capacity : 2;
  while (capacity <= index) capacity *= 2;
  if (capacity > array->capacity) {
    if (!array->block) _vlistArrayInit(array);
    if (capacity > array->capacity) {
      if (capacity > INT32_MAX) vexGenerateMessage(&vexArgRangeClass, "list index too large");
      array->block = static_cast<vlistCell*>(vmemRealloc(array->block, wordBytes(capacity)));
      array->capacity = static_cast<std::int32_t>(capacity);
    }
  }
  if (index >= array->count) {
    std::memset(array->block + array->count, 0, wordBytes(std::int64_t{index} - array->count + 1));
    array->count = index + 1;
  }
  return array->block + index;
}

vlistCell* _vtextArraySet(vlistArray* array, std::int32_t index, vlistCell value) {
  vlistCell* word = _vlistArrayEnsure(array, index);
  *word = value;
  return word;
}

vlistCell* _vlistArraySetAt(vlistCells* list, std::int32_t first, std::int32_t second, vlistCell value) {
  return _vtextArraySet(recordAt(static_cast<vlistArray*>(list->storage), first), second, value);
}

vlistCell* _vlistArraySetCell(vlistCells* list, std::int32_t row, std::int32_t column, vlistCell value) {
  return columnMajor(list) ? _vlistArraySetAt(list, column, row, value) : _vlistArraySetAt(list, row, column, value);
}

vlistCell _vlistArrayGetCell(vlistCells* list, std::int32_t row, std::int32_t column) {
  std::int32_t first = columnMajor(list) ? column : row;
  std::int32_t second = columnMajor(list) ? row : column;
  const auto* level = static_cast<const vlistArray*>(list->storage);
  if (!level || first < 0 || second < 0 || first >= level->count) return 0;
  const vlistArray* record = recordAt(level, first);
  if (!record || second >= record->count) return 0;
  return record->block[second];
}

vlistArray* _vlistArrayAllocRecord() {
  auto* array = static_cast<vlistArray*>(vpoolAlloc(recordPool()));
  *array = vlistArray{nullptr, 0, 0};
  return array;
}

void _vlistArrayFreeElements(vlistArray* array) {
  vmemFree(array->block);
  array->count = 0;
  array->capacity = 0;
}

void _vlistArrayFreeRecord(vlistArray* array) {
  if (array->block) _vlistArrayFreeElements(array);
  vpoolFree(recordPool(), array);
}

void _vtextFreeArrayTree(vlistCells* list) {
  if (auto* level = static_cast<vlistArray*>(list->storage)) {
    std::int32_t n = columnMajor(list) ? list->columnCount : list->rowCount;
    // Only records the first level holds: an empty word or one past its
    // count is never a record.
    if (n > level->count) n = level->count;
    for (std::int32_t i = 0; i < n; ++i)
      if (vlistArray* record = recordAt(level, i)) _vlistArrayFreeRecord(record);
    _vlistArrayFreeRecord(level);
  }
  list->storage = nullptr;
}
