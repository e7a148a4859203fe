#include "fw/data/vrtext.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fw/core/mem.h"
#include "fw/data/vrstore.h"

namespace {

// Every kind of value, in the form the dumper writes (so the round trip
// through a file gives the same text back).
const char* const everyKind = R"(Name = string "quoted \"text\"\twith \\ and \xe9\n"
Count = integer -42
"Environment Map Dict" = dictionary {
  Inner = boolean 1
  Scale = fixed 98304
  Ratio = float 0.333333343
  Letter = character 233
  Kind = tag "Environment Map Dict"
  Bytes = opaque "00ff10"
  Nothing = opaque ""
  Plain = untyped
  Empty = dictionary {
  }
}
Ints = array integer [ 1 -2 70000 0 ]
Flags = array boolean [ 1 0 1 ]
Tags = array tag [ Name Count ]
Points = array fixed [ 65536 ]
Reals = array float [ 1.5 ]
Chars = array character [ 65 ]
Zeros = array untyped [ 0 0 ]
Strings = array string [
  "one"
  none
  ""
]
Blobs = array opaque [
  "beef"
]
Dicts = array dictionary [
  {
    Count = integer 1
  }
  {
  }
]
Nested = array array [
  integer [ 5 6 ]
  string [
    "deep"
  ]
]
)";

TEST(VrText, EveryKindRoundTripsThroughAFile) {
  std::filesystem::path file = std::filesystem::temp_directory_path() / ("vrtext." + std::to_string(getpid()) + ".vr");
  vresource root = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(everyKind, root, &error)) << error;
  vfsPath* path = vfsNewPathFromString(file.c_str());
  vrstoreCloseFile(vrstoreSaveFile(root, path, 0));
  vrstoreCloseFile(root);
  root = vrstoreOpenFile(path, 1);
  EXPECT_EQ(vrtextDump(root), everyKind);
  vrstoreCloseFile(root);
  vfsFreePath(path);
  std::filesystem::remove(file);
}

TEST(VrText, SyntaxErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"A = integer 1\nB = integer x\n", "line 2: bad number x"},
      {"A = integer 4294967296", "line 1: bad number 4294967296"},
      {"A = colour 3", "line 1: unknown kind colour"},
      {"A = dictionary {\n B = integer 1\n", "line 3: missing }"},
      {"A integer 1", "line 1: expected ="},
      {"A = string \"open", "line 1: unterminated string"},
      {"A = string \"\\q\"", "line 1: unknown escape \\q"},
      {"A = opaque \"abc\"", "line 1: odd count of hex digits"},
      {"A = array integer [ 1 2", "line 1: missing ]"},
      {"}", "line 1: unexpected }"},
      {"A = mask 3 2 [\n \"#..\"\n \"#.\" ]", "line 3: row of 2 characters, not 3"},
      {"A = mask 2 2 [ \"#.\" ]", "line 1: 1 rows, not 2"},
      {"A = mask 2 1 [ \"#x\" ]", "line 1: bad pixel 'x'"},
      {"A = cursor 2 1 2 0 [ \"#o\" ]", "line 1: bad number 2"},
      {"A = image 1 1 { \"a\" 12345 } [ \"a\" ]", "line 1: bad colour 12345"},
      {"A = image 1 1 { \"a\" none } [ \"a\" ]", "line 1: a legend needs a colour"},
      {"A = dictionary { }\nB = copy \"/A/C\"", "line 2: nothing at /A/C"},
      {"A = array dictionary [ picture ]", "line 1: unknown form picture"},
  };
  for (const Case& c : cases) {
    vresource root = vrstoreCreateMemory();
    std::string error;
    EXPECT_FALSE(vrtextParse(c.text, root, &error)) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
    vrstoreCloseFile(root);
  }
}

// The picture forms expand to the raw image entries: the map runs back to
// front from the bottom row, so its first byte is the top row's last pixel.
TEST(VrText, PicturesBecomeRawImages) {
  vresource root = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse(R"(
Look = dictionary {
  Arrow = mask 3 2 [ "#.." "##." ]
  Pointer = cursor 2 2 1 0 [ "#o" " #" ]
  Flag = image 2 1 { "r" ff0000 "-" none "b" 0000ff } [ "r-" ]
  Masks = array dictionary [ mask 1 1 [ "." ] copy "/Look/Arrow" ]
}
Again = copy "/Look/Pointer"
)",
                          root, &error))
      << error;
  auto get = [](vresource h, const char* name) { return vrstoreGet(h, vnameInternLiteral(name)); };
  auto integer = [](vresource h, const char* name) { return vrstoreGetInteger(h, vnameInternLiteral(name)); };
  auto map = [](vresource h) {
    std::size_t n;
    void* bytes = vrstoreGetOpaque(h, vnameInternLiteral("vresourceTAG_IMAGE_MAP"), &n);
    std::string out(static_cast<const char*>(bytes), n);
    vmemFree(bytes);
    return out;
  };
  vresource look = get(root, "Look");
  vresource arrow = get(look, "Arrow");
  EXPECT_EQ(integer(arrow, "vresourceTAG_IMAGE_WIDTH"), 3);
  EXPECT_EQ(integer(arrow, "vresourceTAG_IMAGE_HEIGHT"), 2);
  EXPECT_EQ(integer(arrow, "vresourceTAG_IMAGE_NUMCOLORS"), 2);
  EXPECT_EQ(map(arrow), std::string("\0\0\1\0\1\1", 6));
  vresource colors = get(arrow, "vresourceTAG_IMAGE_COLORS");
  ASSERT_EQ(vrstoreCount(colors), 6);
  EXPECT_EQ(vrstoreGetAtInteger(colors, 0), 65535) << "index 0 white";
  EXPECT_EQ(vrstoreGetAtInteger(colors, 3), 0) << "index 1 black";

  vresource pointer = get(look, "Pointer");
  EXPECT_EQ(map(pointer), std::string("\0\1\1\0", 4)) << "only '#' is black";
  EXPECT_EQ(map(get(pointer, "vresourceTAG_IMAGE_TRANSPARENCY")), std::string("\1\1\1\0", 4)) << "' ' is clear";
  EXPECT_EQ(integer(pointer, "HotX"), 1);
  EXPECT_EQ(integer(pointer, "HotY"), 0);

  vresource flag = get(look, "Flag");
  EXPECT_EQ(integer(flag, "vresourceTAG_IMAGE_NUMCOLORS"), 2) << "none takes no palette entry";
  EXPECT_EQ(map(flag), std::string("\0\0", 2));
  EXPECT_EQ(map(get(flag, "vresourceTAG_IMAGE_TRANSPARENCY")), std::string("\0\1", 2));
  EXPECT_EQ(vrstoreGetAtInteger(get(flag, "vresourceTAG_IMAGE_COLORS"), 5), 65535) << "blue second";

  vresource masks = get(look, "Masks");
  ASSERT_EQ(vrstoreCount(masks), 2);
  EXPECT_EQ(map(vrstoreGetAt(masks, 0)), std::string("\0", 1));
  EXPECT_EQ(map(vrstoreGetAt(masks, 1)), map(arrow)) << "an element copied";
  EXPECT_EQ(vrtextDump(get(root, "Again")), vrtextDump(pointer)) << "a cursor copied with its mask";
  vrstoreCloseFile(root);
}

}  // namespace
