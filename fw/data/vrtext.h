// The readable text form of a ".vr" resource file, one entry a line:
//   Name = integer -3          fixed 98304      float 2.5
//   Name = boolean 1           character 233    tag SomeTag
//   Name = string "text\n"     opaque "00ff10"  untyped
//   Name = dictionary { ...entries... }
//   Name = array integer [ 1 2 3 ]   (elements by the array's kind;
//          dictionaries as { }, arrays as KIND [ ], none for no record)
// Pictures, written as rows of characters, top row first, each row as
// wide as W, become raw-form images (two colours: white 0, black 1):
//   Name = mask W H [ "..#.." ... ]            '#' set, '.' or ' ' clear
//   Name = cursor W H HX HY [ "#o " ... ]      '#' black, 'o' white,
//          ' ' transparent; hot spot counted from the bottom left
//   Name = image W H { "." ffffff "x" none } [ ".x" ... ]   colours by
//          character in legend order, "none" transparent
//   Name = copy "/a/b"    a copy of an entry written earlier in the file
// The four forms also stand for elements of a dictionary array.
// Names and tags are bare words or quoted; "#" starts a comment. The
// file's text holds the root's entries. Strings are in the internal
// character set: \n \r \t \\ \" and \xHH escapes.
#pragma once
#include <string>

#include "fw/core/resource.h"

// Files the entries of text into the dictionary root; false with a
// "line N: ..." message on a syntax error.
bool vrtextParse(const std::string& text, vresource root, std::string* error);
// The text form of everything under root, entries in the file's order.
std::string vrtextDump(vresource root);
