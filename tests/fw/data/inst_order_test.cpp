// The installation search and what depends on it, seen from fresh
// processes of a small program placed where each case needs it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "fw/data/num.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  std::string out;
  int status = -1;
};

// Runs the probe in cwd with only the given environment (and the
// sanitizers' options, when set).
Outcome probe(const fs::path& program, const fs::path& cwd, std::vector<std::string> env, const std::string& args) {
  for (const char* keep : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
    if (const char* v = std::getenv(keep)) env.push_back(std::string(keep) + "=" + v);
  std::string command = "cd '" + cwd.string() + "' && env -i";
  for (const std::string& e : env) command += " '" + e + "'";
  command += " '" + program.string() + "' " + args + " 2>&1";
  Outcome r;
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) r.out.append(buffer, n);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

void makeResourceFile(const fs::path& where) {
  fs::create_directories(where.parent_path());
  vfsPath* p = vfsNewPathFromString(where.c_str());
  vrstoreCloseFile(vrstoreCreateFile(p, 0));
  vfsFreePath(p);
}

struct Scratch {
  fs::path root;
  Scratch() {
    root = fs::temp_directory_path() / ("instorder." + std::to_string(getpid()));
    fs::create_directories(root);
    root = fs::canonical(root);
  }
  ~Scratch() { fs::remove_all(root); }
  // The probe in root/bin, a home of its own and no registry file: the
  // environment it runs with.
  fs::path bin() const { return root / "bin"; }
  std::vector<std::string> placeProbe() const {
    fs::create_directories(bin());
    fs::create_directories(root / "home");
    fs::copy_file(INST_PROBE, bin() / "inst_probe");
    return {"HOME=" + (root / "home").string(), "WEXLIN_REGISTRY=" + (root / "none").string()};
  }
};

std::string firstLine(const std::string& s) { return s.substr(0, s.find('\n')); }

// Each place the search looks, placed at once and taken away one by one
// from the first: every removal uncovers the next place in order.
TEST(InstOrder, EachPlaceIsSearchedInTurn) {
  Scratch s;
  fs::path bin = s.root / "inst" / "a" / "b" / "bin", work = s.root / "work", home = s.root / "home";
  fs::create_directories(bin);
  fs::create_directories(work);
  fs::create_directories(home);
  fs::copy_file(INST_PROBE, bin / "inst_probe");
  fs::path wexlinHome = s.root / "wexhome", registered = s.root / "reg";
  std::ofstream(s.root / "registry") << "[HKEY_LOCAL_MACHINE\\Software\\Quarn\\Wexlin C\\2.6]\nWEXLINHOME="
                                     << registered.string() << "\n";
  const std::vector<std::string> env = {"HOME=" + home.string(), "WEXLINHOME=" + wexlinHome.string(),
                                        "WEXLIN_REGISTRY=" + (s.root / "registry").string()};
  const std::string name = "vwexlin7.vr";
  // In search order: found as this text.
  const std::vector<std::pair<fs::path, std::string>> places = {
      {bin / name, (bin / name).string()},
      {wexlinHome / "lib" / name, (wexlinHome / "lib" / name).string()},
      {registered / "lib" / name, (registered / "lib" / name).string()},
      {work / "lib" / name, "lib/" + name},     // the current directory's lib
      {work / name, (work / name).string()},    // the start-up directory
      {home / name, (home / name).string()},
      // The installed data folder beside the program's bin.
      {bin.parent_path() / "share" / "wexlin" / name, (bin.parent_path() / "share" / "wexlin" / name).string()},
  };
  Outcome none = probe(bin / "inst_probe", work, env, "find");
  ASSERT_EQ(none.status, 0);
  if (firstLine(none.out) != name + " -") GTEST_SKIP() << "a framework file is installed: " << none.out;
  for (const auto& place : places) makeResourceFile(place.first);
  for (const auto& place : places) {
    Outcome r = probe(bin / "inst_probe", work, env, "find");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(firstLine(r.out), name + " " + place.second);
    fs::remove(place.first);
  }
  EXPECT_EQ(firstLine(probe(bin / "inst_probe", work, env, "find").out), name + " -");
  // The older names are looked for the same way.
  makeResourceFile(bin / "lib" / "vwexlin5.vr");
  EXPECT_NE(probe(bin / "inst_probe", work, env, "find").out.find("vwexlin5.vr " + (bin / "lib" / "vwexlin5.vr").string()),
            std::string::npos);
}

// A program that cannot run without its resource files learns which are
// missing and every place the search looked, in order; nothing once all
// are found.
TEST(InstOrder, TheMissingFilesAreNamedWithThePlacesLooked) {
  Scratch s;
  std::vector<std::string> env = s.placeProbe();
  Outcome none = probe(s.bin() / "inst_probe", s.root, env, "missing");
  ASSERT_EQ(none.status, 0);
  if (none.out.find("vwexlin7.vr") == std::string::npos) GTEST_SKIP() << "a framework file is installed";
  const std::string root = s.root.string();
  EXPECT_EQ(none.out.substr(0, none.out.find('\n')),
            "inst_probe: cannot find the resource files vwexlin7.vr and inst_probe.vr; looked in:");
  const std::vector<std::string> places = {root + "/bin, its lib and the lib folders above it",
                                           "$WEXLINHOME/lib (WEXLINHOME is not set)",
                                           "lib in the current directory",
                                           root + ", its lib and the lib folders above it",
                                           root + "/home, its lib and the lib folders above it",
                                           root + "/share/wexlin"};
  std::size_t at = 0;
  for (const std::string& place : places) {
    std::size_t next = none.out.find("  " + place + "\n", at);
    EXPECT_NE(next, std::string::npos) << place << " in order in:\n" << none.out;
    if (next != std::string::npos) at = next;
  }
  // WEXLINHOME is named by its value; the framework file found, only the
  // program's own is missing.
  env.push_back("WEXLINHOME=" + root + "/wh");
  makeResourceFile(s.root / "share" / "wexlin" / "vwexlin7.vr");
  Outcome own = probe(s.bin() / "inst_probe", s.root, env, "missing");
  EXPECT_EQ(own.out.substr(0, own.out.find('\n')),
            "inst_probe: cannot find the resource file inst_probe.vr; looked in:");
  EXPECT_NE(own.out.find("  " + root + "/wh/lib (WEXLINHOME)\n"), std::string::npos) << own.out;
  makeResourceFile(s.root / "wh" / "lib" / "inst_probe.vr");
  EXPECT_EQ(probe(s.bin() / "inst_probe", s.root, env, "missing").out, "");
}

// A file that is there but cannot be used is named with what is wrong with
// it, never reported as not found; the search does not pass over it.
TEST(InstOrder, AFileFoundButUnusableIsNamedWithItsFault) {
  Scratch s;
  std::vector<std::string> env = s.placeProbe();
  if (probe(s.bin() / "inst_probe", s.root, env, "missing").out.find("vwexlin7.vr") == std::string::npos)
    GTEST_SKIP() << "a framework file is installed";
  const fs::path file = s.bin() / "vwexlin7.vr";
  auto said = [&] {
    std::string out = probe(s.bin() / "inst_probe", s.root, env, "missing").out;
    return out.substr(0, out.find('\n'));
  };
  const std::string named = "inst_probe: resource file " + file.string() + " ";
  std::ofstream(file).flush();
  EXPECT_EQ(said(), named + "is empty");
  std::ofstream(file) << "Preferences = dictionary { }\n";
  EXPECT_EQ(said(), named + "is not a resource file");
  fs::remove(file);
  fs::create_directories(file);
  EXPECT_EQ(said(), "inst_probe: cannot find the resource files vwexlin7.vr and inst_probe.vr; looked in:");
  fs::remove(file);
  // A store cut short: the reading of its entries fails, and says how.
  makeResourceFile(s.root / "whole.vr");
  vfsPath* p = vfsNewPathFromString((s.root / "whole.vr").c_str());
  vresource root = vrstoreOpenFile(p, vfsOPEN_READ_WRITE);
  for (int i = 0; i < 400; ++i)
    vrstoreSetInteger(root, vnameIntern(vscribeCString(("entry" + std::to_string(i)).c_str())), i);
  vrstoreCloseFile(root);
  vfsFreePath(p);
  fs::copy_file(s.root / "whole.vr", file);
  fs::resize_file(file, fs::file_size(file) / 2);
  EXPECT_EQ(said().rfind(named + "is damaged: ", 0), 0u) << said();
  fs::copy_file(s.root / "whole.vr", file, fs::copy_options::overwrite_existing);
  EXPECT_EQ(said(), "inst_probe: cannot find the resource file inst_probe.vr; looked in:");
}

// Without any framework resource file the system root is an empty file in
// memory, and numbers still format and parse as they do with the built file
// (the built-in descriptions stand in for the missing ones).
TEST(InstOrder, NumbersNeedNoResourceFile) {
  Scratch s;
  const std::vector<std::string> env = s.placeProbe();
  Outcome alone = probe(s.bin() / "inst_probe", s.root, env, "numbers");
  ASSERT_EQ(alone.status, 0);
  if (firstLine(alone.out) != "in memory 1") GTEST_SKIP() << "a framework file is installed";
  // The probe where the build left it finds the built file.
  Outcome built = probe(INST_PROBE, s.root, env, "numbers");
  ASSERT_EQ(built.status, 0);
  EXPECT_EQ(firstLine(built.out), "in memory 0");
  EXPECT_EQ(alone.out.substr(alone.out.find('\n')), built.out.substr(built.out.find('\n')));
  EXPECT_GT(std::count(alone.out.begin(), alone.out.end(), '\n'), 3);
}

// The printers and dumps of the earlier framework parts write the same text
// whether or not the numeric conversions are registered: exception chains,
// the debug log's name, scrap dumps and the generated C source.
TEST(InstOrder, PrintersAreTheSameOnceNumbersAreRegistered) {
  Scratch s;
  std::string texts[2];
  const char* args[2] = {"printers", "printers numbers"};
  for (int i = 0; i < 2; ++i) {
    fs::path cwd = s.root / std::to_string(i);
    fs::create_directories(cwd);
    std::ofstream(cwd / "vdebug.log") << "taken\n";
    Outcome r = probe(INST_PROBE, cwd, {"HOME=" + cwd.string()}, args[i]);
    ASSERT_EQ(r.status, 0);
    // Addresses differ from process to process.
    texts[i] = std::regex_replace(r.out, std::regex("0x[0-9a-fA-F]+"), "ADDRESS");
  }
  EXPECT_EQ(texts[0], texts[1]);
  for (const char* part : {"log vdebug0.log", "position:", "probe", "THIS IS A GENERATED FILE"})
    EXPECT_NE(texts[0].find(part), std::string::npos) << part;
}

// A framework file in the chunk format is read through the same routed
// calls: its number format (here with a decimal comma) is the one used.
TEST(InstOrder, AChunkFormatFrameworkFileServesTheNumberFormats) {
  Scratch s;
  const std::vector<std::string> env = s.placeProbe();
  vfsPath* built = vfsNewPathFromString((fs::path(INST_PROBE).parent_path().parent_path() / "lib" / "vwexlin7.vr").c_str());
  vresource source = vresourceOpenFile(built, vfsOPEN_READ);
  vfsFreePath(built);
  vresource chunk = vresourceCreateMemoryIn(1);
  vresourceCopyContents(source, chunk);
  vresourceCloseFile(source);
  auto tag = [](const char* t) { return vnameInternLiteral(t); };
  vresource normal = vresourceGet(vresourceGet(chunk, tag("vnum")), tag("NormalFormat"));
  vresource decimal = vresourceGetAt(vresourceGet(normal, tag("Components")), 2);
  ASSERT_EQ(vresourceGetTag(decimal, tag("Type")), tag("Decimal"));
  vresourceSetCharacter(decimal, tag("Character"), ',');
  vfsPath* placed = vfsNewPathFromString((s.bin() / "vwexlin7.vr").c_str());
  vresourceCloseFile(vresourceSaveFile(chunk, placed, 0644));
  vfsFreePath(placed);
  vresourceCloseFile(chunk);

  Outcome r = probe(s.bin() / "inst_probe", s.root, env, "numbers");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(firstLine(r.out), "in memory 0");
  EXPECT_NE(r.out.find(" 2,250000 "), std::string::npos) << r.out;
}

// A name table shorter than its count names only the entries it has; a
// table the file lacks names nothing.
TEST(InstOrder, AShortNameTableLeavesTheMissingNamesEmpty) {
  Scratch s;
  const std::vector<std::string> env = s.placeProbe();
  vresource root = vrstoreCreateMemory();
  std::string error;
  ASSERT_TRUE(vrtextParse("vdate = dictionary {\n"
                          "  Months = array string [ \"Primo\" \"Secundo\" ]\n"
                          "  Meridians = array string [ \"morning\" ]\n"
                          "}\n",
                          root, &error))
      << error;
  vfsPath* placed = vfsNewPathFromString((s.bin() / "vwexlin7.vr").c_str());
  vrstoreCloseFile(vrstoreSaveFile(root, placed, 0644));
  vfsFreePath(placed);
  vrstoreCloseFile(root);
  auto none = [](int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += " -";
    return out;
  };
  Outcome r = probe(s.bin() / "inst_probe", s.root, env, "dates");
  ASSERT_EQ(r.status, 0) << r.out;
  // Meridians are asked for "from noon" first, then "before noon".
  EXPECT_EQ(r.out, "months Primo Secundo" + none(10) + "\nabbreviated" + none(12) + "\nweekdays" + none(7) +
                       "\nabbreviated" + none(7) + "\nmeridians - morning\n");
}

std::string formatted(const char* format, ...) {
  vnumStartup();
  va_list ap;
  va_start(ap, format);
  vscribe* scribe = vscribeCreateFormattedV(format, ap);
  va_end(ap);
  char* c = vscribeCreateString(scribe);
  std::string out = c;
  vscribeFreeString(c);
  return out;
}

// The framework's start-up with every row the data library fills: the
// arguments are handed on, numbers format and regular expressions compile.
TEST(InstOrder, TheWholeStartUpRunsTheDataRows) {
  Scratch s;
  const std::vector<std::string> env = s.placeProbe();
  Outcome r = probe(s.bin() / "inst_probe", s.root, env, "startup plain -x");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "arguments " + (s.bin() / "inst_probe").string() + " startup plain -x\n" +
                       formatted("%d %#x %.2f", -5, 255, 0.125) + "\nmatch at 1 length 4\n");
}

}  // namespace
