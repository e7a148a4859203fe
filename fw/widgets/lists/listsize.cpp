#include "fw/widgets/lists/listsize.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "fw/core/mem.h"
#include "fw/data/vresource.h"

namespace {

void** classSlot = nullptr;

vlistsize* asSize(vinstance* o) { return static_cast<vlistsize*>(o); }
vlistsizeClassRec* rec(const vlistsize* s) { return vlistsizeClassOf(s); }
vobjectClassRec* super() { return vobjectGetDefaultClass(); }

// One axis seen through its fields: rows (axis 1) or columns (axis 2).
struct Axis {
  vlistsize* s;
  bool rows;
  std::int32_t& count() const { return rows ? s->rowCount : s->columnCount; }
  std::int32_t& constant() const { return rows ? s->constantHeight : s->constantWidth; }
  std::int32_t*& positions() const { return rows ? s->rowPositions : s->columnPositions; }
  std::int32_t& length() const { return rows ? s->rowLength : s->columnLength; }
  std::int32_t& defaultSize() const { return rows ? s->defaultHeight : s->defaultWidth; }
  std::uint8_t flag() const { return rows ? vlistsizeCONSTANT_HEIGHTS : vlistsizeCONSTANT_WIDTHS; }
  bool isConstant() const { return (s->flags & flag()) != 0; }
  std::int32_t getDefault() const { return rows ? vlistsizeGetDefaultHeight(s) : vlistsizeGetDefaultWidth(s); }
  void setDefault(std::int32_t v) const { rows ? rec(s)->setDefaultHeight(s, v) : rec(s)->setDefaultWidth(s, v); }
  void setSize(std::int32_t i, std::int32_t v) const { rows ? rec(s)->setRowHeight(s, i, v) : rec(s)->setColumnWidth(s, i, v); }
  std::int32_t size(std::int32_t i) const { return rows ? rec(s)->rowHeight(s, i) : rec(s)->columnWidth(s, i); }
  std::int32_t sentinel() const { return rows ? vlistsizeALL_ROWS : vlistsizeALL_COLUMNS; }
  std::int32_t at(std::int32_t i) const { return positions()[i]; }
  // The total along the axis.
  std::int32_t total() const {
    if (!isConstant()) return length() > 0 ? at(length() - 1) : 0;
    return count() * (constant() >= 0 ? constant() : getDefault());
  }
};
Axis axisOf(vlistsize* s, int axis) { return Axis{s, axis != 2}; }
Axis rowAxis(vlistsize* s) { return Axis{s, true}; }
Axis columnAxis(vlistsize* s) { return Axis{s, false}; }

void resizePositions(const Axis& a, std::int32_t n) {
  a.positions() = static_cast<std::int32_t*>(
      vmemRealloc(a.positions(), vmemArraySize(static_cast<std::size_t>(std::max(n, 1)), sizeof(std::int32_t))));
}

void freePositions(const Axis& a) {
  vmemFree(a.positions());
  a.positions() = nullptr;
  a.length() = 0;
}

// Sets the size of tabulated entry i; entries it creates before i get d.
void setEntry(const Axis& a, std::int32_t i, std::int32_t size, std::int32_t d) {
  std::int32_t n = a.length();
  if (i >= n - 1) {
    resizePositions(a, i + 2);
    std::int32_t* p = a.positions();
    if (n == 0) p[n++] = 0;
    for (std::int32_t j = n; j <= i; ++j) p[j] = p[j - 1] + d;
    p[i + 1] = p[i] + size;
    a.length() = i + 2;
    return;
  }
  std::int32_t* p = a.positions();
  std::int32_t change = size - (p[i + 1] - p[i]);
  for (std::int32_t j = i + 1; j < n; ++j) p[j] += change;
}

// The sizes of a tabulated axis, worked on as a vector and written back.
std::vector<std::int32_t> sizesOf(const Axis& a) {
  std::vector<std::int32_t> sizes;
  for (std::int32_t i = 0; i + 1 < a.length(); ++i) sizes.push_back(a.at(i + 1) - a.at(i));
  return sizes;
}
void storeSizes(const Axis& a, const std::vector<std::int32_t>& sizes) {
  auto n = static_cast<std::int32_t>(sizes.size());
  resizePositions(a, n + 1);
  std::int32_t* p = a.positions();
  p[0] = 0;
  for (std::int32_t i = 0; i < n; ++i) p[i + 1] = p[i] + sizes[static_cast<std::size_t>(i)];
  a.length() = n + 1;
  a.count() = n;
}

// Clips a block [index, index + count) to the sizes; false when empty.
bool clip(const std::vector<std::int32_t>& sizes, std::int32_t index, std::int32_t& count) {
  auto n = static_cast<std::int32_t>(sizes.size());
  if (index < 0 || index >= n || count <= 0) return false;
  count = std::min(count, n - index);
  return true;
}

void sizeInit(vinstance* self) {
  super()->init(self);
  vlistsize* s = asSize(self);
  s->rowCount = s->columnCount = 0;
  s->constantWidth = s->constantHeight = -1;
  s->columnPositions = s->rowPositions = nullptr;
  s->columnLength = s->rowLength = 0;
  s->defaultWidth = s->defaultHeight = -1;
  s->flags = vlistsizeCONSTANT_HEIGHTS | vlistsizeCONSTANT_WIDTHS;
}

void sizeDestroy(vinstance* self) {
  vlistsize* s = asSize(self);
  freePositions(rowAxis(s));
  freePositions(columnAxis(s));
  super()->destroy(self);
}

void copyPositions(const Axis& from, const Axis& to) {
  freePositions(to);
  if (from.length() == 0) return;
  resizePositions(to, from.length());
  std::memcpy(to.positions(), from.positions(), static_cast<std::size_t>(from.length()) * sizeof(std::int32_t));
  to.length() = from.length();
}

void sizeCopy(vobject* source, vobject* destination) {
  if (source == destination) return;
  super()->copy(source, destination);
  vlistsize* from = asSize(source);
  vlistsize* to = asSize(destination);
  to->rowCount = from->rowCount;
  to->columnCount = from->columnCount;
  to->constantWidth = from->constantWidth;
  to->constantHeight = from->constantHeight;
  to->defaultWidth = from->defaultWidth;
  to->defaultHeight = from->defaultHeight;
  to->flags = from->flags;
  copyPositions(rowAxis(from), rowAxis(to));
  copyPositions(columnAxis(from), columnAxis(to));
}

void sizeCopyInit(vobject* source, vobject* destination) {
  rec(asSize(source))->init(destination);
  rec(asSize(source))->copy(source, destination);
}

// Slot 19/20.
void setSize(const Axis& a, std::int32_t index, std::int32_t size) {
  if (index < 0 && index != a.sentinel()) return;
  if (a.defaultSize() < 0) a.setDefault(size);
  vlistsize* s = a.s;
  if (!a.isConstant()) {
    if (index == a.sentinel()) {
      freePositions(a);
      a.constant() = size;
      s->flags |= a.flag();
    } else {
      setEntry(a, index, size, a.defaultSize());
    }
  } else if (index == a.sentinel() || a.constant() < 0) {
    a.constant() = size;
  } else if (size == a.constant() && a.defaultSize() == a.constant()) {
    // nothing to change
  } else if (a.count() == 0 && index == 0) {
    a.constant() = size;
    a.defaultSize() = size;
  } else {
    std::int32_t n = a.count();
    resizePositions(a, n + 1);
    for (std::int32_t i = 0; i <= n; ++i) a.positions()[i] = i * a.constant();
    a.length() = n + 1;
    setEntry(a, index, size, a.defaultSize());
    s->flags &= static_cast<std::uint8_t>(~a.flag());
  }
  if (index + 1 > a.count()) a.count() = index + 1;
}
void setRowHeight(vlistsize* s, std::int32_t row, std::int32_t height) { setSize(rowAxis(s), row, height); }
void setColumnWidth(vlistsize* s, std::int32_t column, std::int32_t width) { setSize(columnAxis(s), column, width); }

// Slot 21/22.
std::int32_t sizeAt(const Axis& a, std::int32_t index) {
  index = std::max(index, 0);  // the sentinels name no single entry
  if (a.isConstant()) {
    if (a.constant() < 0) a.constant() = a.getDefault();
    if (index >= a.count()) a.count() = index + 1;
    return a.constant();
  }
  if (index >= a.count() || index + 1 >= a.length()) a.setSize(index, a.getDefault());
  return a.at(index + 1) - a.at(index);
}
std::int32_t rowHeight(vlistsize* s, std::int32_t row) { return sizeAt(rowAxis(s), row); }
std::int32_t columnWidth(vlistsize* s, std::int32_t column) { return sizeAt(columnAxis(s), column); }

void setDefaultHeight(vlistsize* s, std::int32_t height) { s->defaultHeight = height; }
void setDefaultWidth(vlistsize* s, std::int32_t width) { s->defaultWidth = width; }

// The start and size of entry i, extending the count first.
void span(const Axis& a, std::int32_t i, std::int32_t* start, std::int32_t* size) {
  i = std::max(i, 0);
  if (i >= a.count() || (!a.isConstant() && i + 1 >= a.length())) a.setSize(i, a.getDefault());
  if (a.isConstant()) {
    *size = a.constant() >= 0 ? a.constant() : a.getDefault();
    *start = i * *size;
  } else {
    *start = a.at(i);
    *size = a.at(i + 1) - *start;
  }
}

std::int32_t cellRect(vlistsize* s, std::int32_t row, std::int32_t column, vrectLong* out) {
  span(rowAxis(s), row, &out->y, &out->height);
  span(columnAxis(s), column, &out->x, &out->width);
  return out->height;
}

void insertOne(vlistsize* s, std::int32_t index, int axis) {
  Axis a = axisOf(s, axis);
  if (index >= a.count()) {
    std::int32_t d = a.getDefault();
    for (std::int32_t i = a.count(); i <= index; ++i) a.setSize(i, d);
    return;
  }
  if (!a.isConstant()) {
    std::int32_t d = a.getDefault();
    std::int32_t old = a.length() - 1;
    resizePositions(a, old + 2);
    std::int32_t* p = a.positions();
    for (std::int32_t j = old; j >= index; --j) p[j + 1] = p[j] + d;
    a.length() = old + 2;
  }
  ++a.count();
}

void deleteOne(vlistsize* s, std::int32_t index, int axis) {
  Axis a = axisOf(s, axis);
  if (index < 0 || index >= a.count()) return;
  if (!a.isConstant() && index + 1 < a.length()) {
    std::int32_t size = a.at(index + 1) - a.at(index);
    --a.length();
    for (std::int32_t j = index; j < a.length(); ++j) a.positions()[j] = a.positions()[j + 1] - size;
  }
  --a.count();
}

// On a constant axis, moving or exchanging rows changes no geometry: not
// within the count, nor anywhere while no size is known (a list sorted
// before it is shown, whose rows the view sizes from its font on opening).
// Either way it must not ask for a size nobody has measured yet.
bool constantWithin(const Axis& a, std::int32_t i, std::int32_t j) {
  if (!a.isConstant()) return false;
  if (a.constant() < 0 && a.defaultSize() < 0) return true;
  return i >= 0 && j >= 0 && i < a.count() && j < a.count();
}

void moveOne(vlistsize* s, std::int32_t from, std::int32_t to, int axis) {
  Axis a = axisOf(s, axis);
  if (constantWithin(a, from, to)) return;
  std::int32_t size = a.size(from);
  rec(s)->deleteOne(s, from, axis);
  rec(s)->insertOne(s, to, axis);
  a.setSize(to, size);
}

void exchangeOne(vlistsize* s, std::int32_t i, std::int32_t j, int axis) {
  Axis a = axisOf(s, axis);
  if (constantWithin(a, i, j)) return;
  std::int32_t si = a.size(i), sj = a.size(j);
  a.setSize(i, sj);
  a.setSize(j, si);
}

void insertBlock(vlistsize* s, std::int32_t index, std::int32_t count, int axis) {
  if (count == 1) return rec(s)->insertOne(s, index, axis);
  Axis a = axisOf(s, axis);
  if (count <= 0 || index < 0) return;
  if (a.isConstant()) {
    a.count() += count;
    return;
  }
  std::int32_t d = a.getDefault();
  std::vector<std::int32_t> sizes = sizesOf(a);
  if (static_cast<std::size_t>(index) > sizes.size()) sizes.resize(static_cast<std::size_t>(index), d);
  sizes.insert(sizes.begin() + index, static_cast<std::size_t>(count), d);
  storeSizes(a, sizes);
}

void deleteBlock(vlistsize* s, std::int32_t index, std::int32_t count, int axis) {
  if (count == 1) return rec(s)->deleteOne(s, index, axis);
  Axis a = axisOf(s, axis);
  if (a.isConstant()) {
    if (index >= 0 && count > 0 && index < a.count()) a.count() -= std::min(count, a.count() - index);
    return;
  }
  std::vector<std::int32_t> sizes = sizesOf(a);
  if (!clip(sizes, index, count)) return;
  sizes.erase(sizes.begin() + index, sizes.begin() + index + count);
  storeSizes(a, sizes);
}

void moveBlock(vlistsize* s, std::int32_t from, std::int32_t to, std::int32_t count, int axis) {
  if (count == 1) return rec(s)->moveOne(s, from, to, axis);
  Axis a = axisOf(s, axis);
  if (a.isConstant()) return;
  std::vector<std::int32_t> sizes = sizesOf(a);
  if (!clip(sizes, from, count) || to < 0) return;
  std::vector<std::int32_t> block(sizes.begin() + from, sizes.begin() + from + count);
  sizes.erase(sizes.begin() + from, sizes.begin() + from + count);
  to = std::min(to, static_cast<std::int32_t>(sizes.size()));
  sizes.insert(sizes.begin() + to, block.begin(), block.end());
  storeSizes(a, sizes);
}

void exchangeBlock(vlistsize* s, std::int32_t i, std::int32_t j, std::int32_t count, int axis) {
  if (count == 1) return rec(s)->exchangeOne(s, i, j, axis);
  Axis a = axisOf(s, axis);
  if (a.isConstant()) return;
  std::vector<std::int32_t> sizes = sizesOf(a);
  if (i > j) std::swap(i, j);
  std::int32_t n = count;
  // Overlapping or partly outside blocks are left alone.
  if (!clip(sizes, j, n) || n != count || i < 0 || i + count > j) return;
  std::swap_ranges(sizes.begin() + i, sizes.begin() + i + count, sizes.begin() + j);
  storeSizes(a, sizes);
}

// The first entry from start whose end reaches target; count when none.
std::int32_t tabulatedHit(const Axis& a, std::int32_t start, std::int32_t offset) {
  std::int32_t target = a.at(start) + offset;
  for (std::int32_t i = start; i < a.count() && i + 1 < a.length(); ++i)
    if (a.at(i + 1) >= target) return i;
  return a.count();
}

void cellAtOffset(vlistsize* s, std::int32_t startRow, std::int32_t startColumn, std::int32_t x, std::int32_t y,
                  std::int32_t* row, std::int32_t* column) {
  vrectLong start;
  rec(s)->cellRect(s, startRow, startColumn, &start);
  Axis rows = rowAxis(s), columns = columnAxis(s);
  if (!rows.isConstant()) {
    *row = tabulatedHit(rows, startRow, y);
  } else {
    std::int32_t h = rows.constant() >= 0 ? rows.constant() : rows.getDefault();
    *row = h == 0 ? rows.count() : std::max(0, startRow + (y - 1) / h);
  }
  if (!columns.isConstant()) {
    *column = tabulatedHit(columns, startColumn, x);
  } else {
    std::int32_t w = columns.constant() >= 0 ? columns.constant() : columns.getDefault();
    *column = w == 0 ? columns.count() : std::max(0, startColumn + x / w);
  }
}

void extent(vlistsize* s, vrectLong* out) {
  *out = vrectLong{0, 0, 0, 0};
  if (s->rowCount > 0 && s->columnCount > 0) {
    vrectLong last;
    rec(s)->cellRect(s, s->rowCount - 1, s->columnCount - 1, &last);
    out->width = last.x + last.width;
    out->height = last.y + last.height;
  } else if (s->rowCount > 0) {
    out->height = rowAxis(s).total();
  } else if (s->columnCount > 0) {
    out->width = columnAxis(s).total();
  }
}

struct AxisKeys {
  const char *fixed, *isFixed, *table;
  const char *negative, *tooLong;  // why a table is refused
};
constexpr AxisKeys widthKeys{"FixedWidth", "IsFixedWidth", "WidthTable", "WidthTable holds a negative size",
                             "WidthTable adds up past the largest extent"};
constexpr AxisKeys heightKeys{"FixedHeight", "IsFixedHeight", "HeightTable", "HeightTable holds a negative size",
                              "HeightTable adds up past the largest extent"};

// The sizes that a tabulated axis takes from the resource, when it does.
// Every size and every running sum must be a position: a table that is
// not leaves the list as it was.
bool readTable(vresource resource, const AxisKeys& keys, std::vector<std::int32_t>* sizes) {
  vresource flag, table;
  if (!vresourceTestGet(resource, N(keys.isFixed), &flag) || vresourceGetType(flag, nullptr) != vresBOOLEAN ||
      vresourceGetBoolean(resource, N(keys.isFixed)))
    return false;
  if (!vresourceTestGet(resource, N(keys.table), &table) || vresourceGetType(table, nullptr) != vresARRAY) return false;
  std::int64_t sum = 0;
  for (std::int32_t i = 0, n = vresourceCount(table); i < n; ++i) {
    std::int32_t size = vresourceGetAtInteger(table, i);
    sum += size;
    if (size < 0 || sum > INT32_MAX)
      _vexGenerate(&vexArgClass, vexSetMessage, size < 0 ? keys.negative : keys.tooLong, vexEnd);
    sizes->push_back(size);
  }
  return true;
}

void loadAxis(const Axis& a, vresource resource, const AxisKeys& keys, bool tabulated,
              const std::vector<std::int32_t>& sizes) {
  vresourceTestGetInteger(resource, N(keys.fixed), &a.constant());
  if (!tabulated) return;
  // The table is the axis: a count that disagrees with it follows it.
  storeSizes(a, sizes);
  a.s->flags &= static_cast<std::uint8_t>(~a.flag());
}

void sizeLoadInit(vobject* self, vresource resource) {
  std::vector<std::int32_t> widths, heights;
  bool tabulatedWidths = readTable(resource, widthKeys, &widths);
  bool tabulatedHeights = readTable(resource, heightKeys, &heights);
  super()->loadInit(self, resource);
  vname tag = self->tag;
  sizeInit(self);
  self->tag = tag;
  vlistsize* s = asSize(self);
  std::int32_t* fields[] = {&s->rowCount, &s->columnCount, &s->defaultWidth, &s->defaultHeight};
  const char* names[] = {"RowCount", "ColumnCount", "DefaultWidth", "DefaultHeight"};
  for (int i = 0; i < 4; ++i) vresourceTestGetInteger(resource, N(names[i]), fields[i]);
  s->rowCount = std::max(s->rowCount, 0);
  s->columnCount = std::max(s->columnCount, 0);
  loadAxis(columnAxis(s), resource, widthKeys, tabulatedWidths, widths);
  loadAxis(rowAxis(s), resource, heightKeys, tabulatedHeights, heights);
}

void storeAxis(const Axis& a, vresource resource, const AxisKeys& keys) {
  vresourceSetInteger(resource, N(keys.fixed), a.constant() >= 0 ? a.constant() : -1);
  vresourceSetBoolean(resource, N(keys.isFixed), a.isConstant());
  if (a.isConstant()) {
    vresource old;
    if (vresourceTestGet(resource, N(keys.table), &old)) vresourceRemove(resource, N(keys.table));
    return;
  }
  std::vector<std::int32_t> sizes = sizesOf(a);
  vresource table = vresourceCreateArray(resource, N(keys.table), vresINTEGER, static_cast<std::int32_t>(sizes.size()));
  for (std::size_t i = 0; i < sizes.size(); ++i) vresourceSetAtInteger(table, static_cast<std::int32_t>(i), sizes[i]);
}

void sizeStore(vobject* self, vresource resource) {
  super()->store(self, resource);
  vlistsize* s = asSize(self);
  const std::pair<const char*, std::int32_t> values[] = {{"RowCount", s->rowCount},
                                                         {"ColumnCount", s->columnCount},
                                                         {"DefaultWidth", s->defaultWidth},
                                                         {"DefaultHeight", s->defaultHeight}};
  for (const auto& [name, value] : values) vresourceSetInteger(resource, N(name), value >= 0 ? value : -1);
  storeAxis(columnAxis(s), resource, widthKeys);
  storeAxis(rowAxis(s), resource, heightKeys);
}

}  // namespace

vlistsizeClassRec* vlistsizeGetDefaultClass() {
  if (!*vmoduleSlot(classSlot)) {
    auto* c = vclassSpawnOf<vlistsizeClassRec>(vobjectGetDefaultClass());
    vclassSetName(c, vscribeLiteral("vlistsize"));
    c->instanceSize = sizeof(vlistsize);
    c->init = sizeInit;
    c->destroy = sizeDestroy;
    c->copy = sizeCopy;
    c->copyInit = sizeCopyInit;
    c->loadInit = sizeLoadInit;
    c->store = sizeStore;
    c->setRowHeight = setRowHeight;
    c->setColumnWidth = setColumnWidth;
    c->rowHeight = rowHeight;
    c->columnWidth = columnWidth;
    c->setDefaultHeight = setDefaultHeight;
    c->setDefaultWidth = setDefaultWidth;
    c->cellRect = cellRect;
    c->insertOne = insertOne;
    c->deleteOne = deleteOne;
    c->moveOne = moveOne;
    c->exchangeOne = exchangeOne;
    c->insert = insertBlock;
    c->remove = deleteBlock;
    c->move = moveBlock;
    c->exchange = exchangeBlock;
    c->cellAtOffset = cellAtOffset;
    c->extent = extent;
    *static_cast<vlistsizeClassRec**>(vmoduleBindSlot(classSlot, sizeof(vlistsizeClassRec*))) = c;
  }
  return *static_cast<vlistsizeClassRec**>(*classSlot);
}

vlistsize* vlistsizeCreate() { return asSize(vinstanceCreate(vlistsizeGetDefaultClass())); }

std::int32_t vlistsizeGetDefaultHeight(vlistsize* self) {
  if (self->defaultHeight < 0) {
    if (self->constantHeight < 0) vexGenerateMessage(&vexModuleClass, "Cannot determine default height.");
    rec(self)->setDefaultHeight(self, self->constantHeight);
  }
  return self->defaultHeight;
}

std::int32_t vlistsizeGetDefaultWidth(vlistsize* self) {
  if (self->defaultWidth < 0) {
    if (self->constantWidth < 0) vexGenerateMessage(&vexModuleClass, "Cannot determine default width.");
    rec(self)->setDefaultWidth(self, self->constantWidth);
  }
  return self->defaultWidth;
}
