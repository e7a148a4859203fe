// Colour schemes: up to 24 colours by fixed index, entry 2k the normal
// colour of name k and 2k + 1 its disabled variant, with a presence mask.
// A scheme owns no references: whoever stores a colour keeps its reference.
//
// Colour schemes (`scheme.h`): a presence mask and 24 colour pointers, the normal colour of name k
// at 2k and its disabled variant at 2k + 1; the scheme holds no references. Masked copies walk the
// mask five bits at a time. Schemes load from preferences (the "Disable" sub-dictionary for the odd
// entries; a value that is not a dictionary gives a present, null entry) and from and to resources;
// a store visits all 24 indexes, so the child of any absent entry is removed. The key-modifier
// parser (`vkeyParseModifiers`, exact words) stays in `fw/data/pref.h` because the command-key
// preference reads it there.
#pragma once
#include <cstdint>

#include "fw/core/name.h"
#include "fw/core/resource.h"
#include "fw/gui/graphics/color.h"

struct vprefDict;

inline constexpr int vcolorSCHEME_SIZE = 24;
inline constexpr std::uint32_t vcolorSCHEME_ALL = 0xFFFFFF;

struct vcolorScheme {
  std::uint32_t mask;  // bit i: entry i present
  vcolor* entries[vcolorSCHEME_SIZE];
};

// The normal colours' names, in index order.
enum : int {
  vcolorFOREGROUND = 0,
  vcolorBACKGROUND = 2,
  vcolorSHADOW_TOP = 4,
  vcolorSHADOW_BOTTOM = 6,
  vcolorFOREGROUND_HILITE = 8,
  vcolorBACKGROUND_HILITE = 10,
  vcolorBACKGROUND_EMBOSS = 12,
  vcolorBACKGROUND_DEBOSS = 14,
  vcolorCOLOR_BORDER = 16,
  vcolorCOLOR_FOCUS = 18,
  vcolorSHADOW_TOP_DARK = 20,
  vcolorSHADOW_BOTTOM_DARK = 22,
};

inline constexpr std::uint32_t vcolorSchemeBit(int index) { return 1u << (unsigned(index) % 32u); }
// The disabled variants of the normal entries of mask.
inline constexpr std::uint32_t vcolorSchemeDisabledMask(std::uint32_t mask) { return ((mask * 2) | mask) & 0xAAAAAA; }

vname vcolorGetSchemeTag(int index);  // Range outside 0-23
std::uint32_t vcolorMakeSchemeMask(const int* indexes, int count);
int vcolorGetSchemeIndexes(std::uint32_t mask, int* indexes);  // ascending; answers the count
// A null colour clears the index's bit and leaves its entry.
void vcolorSetSchemeColors(vcolorScheme* scheme, std::uint32_t mask, vcolor* const* colors);
void vcolorSetSchemeColorsIndexed(vcolorScheme* scheme, const int* indexes, int count, vcolor* const* colors);
// Null for a masked index that is absent.
void vcolorCopySchemeColors(const vcolorScheme* scheme, std::uint32_t mask, vcolor** colors);
void vcolorGetSchemeColors(const vcolorScheme* scheme, const int* indexes, int count, vcolor** colors);
void vcolorMergeScheme(const vcolorScheme* source, std::uint32_t mask, vcolorScheme* destination);
void vcolorAssignScheme(const vcolorScheme* source, std::uint32_t mask, vcolorScheme* destination);
// Every present disabled entry copied onto its normal entry.
void vcolorPromoteScheme(vcolorScheme* scheme);

void vcolorLoadScheme(vprefDict* dict, std::uint32_t mask, vcolorScheme* scheme);
void vcolorLoadSchemeResource(vcolorScheme* scheme, vresource resource);
void vcolorStoreScheme(const vcolorScheme* scheme, vresource resource);
