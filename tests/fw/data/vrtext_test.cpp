#include "fw/data/vrtext.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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
  };
  for (const Case& c : cases) {
    vresource root = vrstoreCreateMemory();
    std::string error;
    EXPECT_FALSE(vrtextParse(c.text, root, &error)) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
    vrstoreCloseFile(root);
  }
}

}  // namespace
