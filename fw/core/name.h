// Interned names: the unique stored copy of a text, compared by pointer.
// The hash of the text is stored in the word before it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/scribe.h"

using vname = const char*;
using vnameHashFunc = std::uint32_t (*)(const char*);

struct vnameBlock {
  char* start;
  char* next;
  std::size_t remaining;
};

struct vnameTable {
  vnameBlock* blocksBegin;
  vnameBlock* blocksEnd;
  vnameBlock* blocksCap;
  vnameHashFunc hash;
  std::size_t slotCount;
  int unused;
  std::size_t freeCount;
  std::size_t threshold;
  const char** slots;  // each null or the text of a stored entry
  const char** slotsEnd;
};

struct vnameTableIterator {
  const char* const* slot;
  const char* const* end;
  const char* current;
};

void vnameStartup();
vname vnameIntern(vscribe* s);
vname vnameInternLiteral(const char* text);
// A name the code spells as a literal; the one short form every file uses.
inline vname N(const char* text) { return vnameInternLiteral(text); }
vname vnameFind(vscribe* s);
vscribe* vnameScribe(vname name);
std::uint32_t vnameGetHash(vname name);
std::uint32_t vnameHashString(const char* text);

vnameTable* vnameCreateTable(vnameHashFunc hash);
void vnameInitTable(vnameTable* table, vnameHashFunc hash);
void vnameDestroyTable(vnameTable* table);
void vnameFinishTable(vnameTable* table);
vname vnameInternInTable(vnameTable* table, vscribe* s);
vname vnameFindInTable(vnameTable* table, vscribe* s);
void vnameResizeTable(vnameTable* table, std::size_t slots);
std::size_t vnameNextPrime(std::size_t n);
void vnameInitTableIterator(vnameTableIterator* it, vnameTable* table);
int vnameNextTableIterator(vnameTableIterator* it);

// The 153 predefined names, interned in this order at start-up.
#define VNAME_PREDEFINED(X)                                                                                    \
  X(Empty, "") X(Abandon, "Abandon") X(About, "About") X(Accelerator, "Accelerator") X(Adjust, "Adjust")        \
  X(Apply, "Apply") X(Array, "Array") X(Attribute, "Attribute") X(Background, "Background")                    \
  X(BackgroundDeboss, "BackgroundDeboss") X(BackgroundEmboss, "BackgroundEmboss")                              \
  X(BackgroundHilite, "BackgroundHilite") X(Bits, "Bits") X(BlockCursor, "BlockCursor") X(Border, "Border")    \
  X(Bottom, "Bottom") X(Bounds, "Bounds") X(Cancel, "Cancel") X(Class, "Class") X(Classes, "Classes")         \
  X(Close, "Close") X(Color, "Color") X(Colors, "Colors") X(Command, "Command") X(Confirm, "Confirm")           \
  X(Content, "Content") X(CurrentConfirm, "CurrentConfirm") X(Cursor, "Cursor") X(Data, "Data")                \
  X(Date, "Date") X(Default, "Default") X(DefaultFocus, "DefaultFocus") X(Defaults, "Defaults")                \
  X(Depth, "Depth") X(Dialog, "Dialog") X(Dictionary, "Dictionary") X(Direction, "Direction")                  \
  X(Disable, "Disable") X(Disabled, "Disabled") X(Dispatch, "Dispatch") X(Document, "Document")                \
  X(DocumentPath, "DocumentPath") X(Domain, "Domain") X(Down, "Down") X(Drag, "Drag") X(Enabled, "Enabled")    \
  X(Event, "Event") X(Exclusive, "Exclusive") X(Extend, "Extend") X(False, "False") X(Flags, "Flags")          \
  X(Flat, "Flat") X(Focus, "Focus") X(Font, "Font") X(Foreground, "Foreground")                                \
  X(ForegroundHilite, "ForegroundHilite") X(Wexlin, "Wexlin") X(Grab, "Grab") X(Height, "Height")              \
  X(Help, "Help") X(Horizontal, "Horizontal") X(Hour, "Hour") X(Icon, "Icon") X(Image, "Image")                \
  X(ImageMask, "ImageMask") X(Increment, "Increment") X(Index, "Index") X(Issue, "Issue") X(Item, "Item")      \
  X(ItemCount, "ItemCount") X(ItemList, "ItemList") X(Items, "Items") X(Key, "Key") X(Left, "Left")            \
  X(Length, "Length") X(LineWidth, "LineWidth") X(Map, "Map") X(Max, "Max") X(MaxColumn, "MaxColumn")          \
  X(MaxRow, "MaxRow") X(MaxSize, "MaxSize") X(Menu, "Menu") X(MenuBar, "MenuBar") X(MenuList, "MenuList")      \
  X(Metrics, "Metrics") X(Min, "Min") X(MinSize, "MinSize") X(Minute, "Minute") X(Mnemonic, "Mnemonic")        \
  X(Month, "Month") X(Move, "Move") X(Name, "Name") X(No, "No") X(NumMajor, "NumMajor")                        \
  X(NumMinor, "NumMinor") X(Objects, "Objects") X(Off, "Off") X(Offset, "Offset") X(Ok, "Ok")                  \
  X(OldValue, "OldValue") X(On, "On") X(Open, "Open") X(Operand, "Operand") X(Operator, "Operator")            \
  X(Page, "Page") X(Paper, "Paper") X(Pairs, "Pairs") X(Palette, "Palette") X(Preferences, "Preferences")      \
  X(Print, "Print") X(Query, "Query") X(Quit, "Quit") X(Rect, "Rect") X(Rects, "Rects") X(Reset, "Reset")      \
  X(Right, "Right") X(ScrollX, "ScrollX") X(ScrollY, "ScrollY") X(Second, "Second") X(Select, "Select")        \
  X(Selection, "Selection") X(ShadowBottom, "ShadowBottom") X(ShadowTop, "ShadowTop") X(Shown, "Shown")        \
  X(Size, "Size") X(Solution, "Solution") X(Space, "Space") X(State, "State") X(Static, "Static")              \
  X(Steps, "Steps") X(Style, "Style") X(SubMenu, "SubMenu") X(SystemFont, "SystemFont") X(Tag, "Tag")          \
  X(Tags, "Tags") X(Text, "Text") X(TextFlags, "TextFlags") X(TextView, "TextView")                            \
  X(TextViewFlags, "TextViewFlags") X(Title, "Title") X(Toggle, "Toggle") X(Top, "Top")                        \
  X(Transparency, "Transparency") X(True, "True") X(Type, "Type") X(Up, "Up") X(Value, "Value")                \
  X(Values, "Values") X(Vertical, "Vertical") X(View, "View") X(Width, "Width") X(Year, "Year") X(Yes, "Yes")

#define VNAME_DECLARE(id, text) extern vname vname_##id;
VNAME_PREDEFINED(VNAME_DECLARE)
#undef VNAME_DECLARE

inline constexpr int vnamePREDEFINED_COUNT = 153;
// The predefined name of an index 0-152 (after start-up).
vname vnamePredefined(int index);
