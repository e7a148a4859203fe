// List sizes: the pixel geometry of a grid of cells. Each axis is constant
// (one size for every row or column) or tabulated (one position per row or
// column, entry i the start of i). Rows are axis 1, columns axis 2; row -1
// and column -2 stand for every row and every column.
//
// - `lists/listsize.h`: `vlistsize`, row heights and column widths, each axis constant (one number)
//   or tabulated (cumulative positions), with the cell rectangle, the cell at an offset and the
//   extent a list view asks for. One `Axis` view serves rows and columns alike. A table loaded with
//   a count that disagrees with it takes its count from the table.
#pragma once
#include <cstdint>

#include "fw/core/class.h"
#include "fw/gui/graphics/rect.h"

struct vlistsize : vobject {
  std::int32_t rowCount;
  std::int32_t columnCount;
  std::int32_t constantWidth;   // -1 unset
  std::int32_t constantHeight;  // -1 unset
  std::int32_t* columnPositions;
  std::int32_t* rowPositions;
  std::int32_t columnLength;  // entries in columnPositions
  std::int32_t rowLength;
  std::int32_t defaultWidth;   // -1 unset
  std::int32_t defaultHeight;  // -1 unset
  std::uint8_t flags;          // vlistsizeCONSTANT_*
};

enum : std::uint8_t {
  vlistsizeCONSTANT_HEIGHTS = 2,
  vlistsizeCONSTANT_WIDTHS = 4,
};
inline constexpr std::int32_t vlistsizeALL_ROWS = -1;
inline constexpr std::int32_t vlistsizeALL_COLUMNS = -2;

struct vlistsizeClassRec : vobjectClassRec {
  void (*setRowHeight)(vlistsize* self, std::int32_t row, std::int32_t height);
  void (*setColumnWidth)(vlistsize* self, std::int32_t column, std::int32_t width);
  std::int32_t (*rowHeight)(vlistsize* self, std::int32_t row);
  std::int32_t (*columnWidth)(vlistsize* self, std::int32_t column);
  void (*setDefaultHeight)(vlistsize* self, std::int32_t height);
  void (*setDefaultWidth)(vlistsize* self, std::int32_t width);
  std::int32_t (*cellRect)(vlistsize* self, std::int32_t row, std::int32_t column, vrectLong* out);
  void (*insertOne)(vlistsize* self, std::int32_t index, int axis);
  void (*deleteOne)(vlistsize* self, std::int32_t index, int axis);
  void (*moveOne)(vlistsize* self, std::int32_t from, std::int32_t to, int axis);
  void (*exchangeOne)(vlistsize* self, std::int32_t a, std::int32_t b, int axis);
  void (*insert)(vlistsize* self, std::int32_t index, std::int32_t count, int axis);
  void (*remove)(vlistsize* self, std::int32_t index, std::int32_t count, int axis);
  void (*move)(vlistsize* self, std::int32_t from, std::int32_t to, std::int32_t count, int axis);
  void (*exchange)(vlistsize* self, std::int32_t a, std::int32_t b, std::int32_t count, int axis);
  void (*cellAtOffset)(vlistsize* self, std::int32_t startRow, std::int32_t startColumn, std::int32_t x,
                       std::int32_t y, std::int32_t* row, std::int32_t* column);
  void (*extent)(vlistsize* self, vrectLong* out);
};

vlistsizeClassRec* vlistsizeGetDefaultClass();
inline vlistsizeClassRec* vlistsizeClassOf(const vlistsize* s) { return vclassRec<vlistsizeClassRec>(s); }
vlistsize* vlistsizeCreate();

// Raise Module "Cannot determine default height." (width) when neither the
// default nor the constant size is known.
std::int32_t vlistsizeGetDefaultHeight(vlistsize* self);
std::int32_t vlistsizeGetDefaultWidth(vlistsize* self);
