// Every one of the resource interface's slots, run on a file of each store:
// a handle's sign must reach its own store, and both stores must answer
// alike (or as each store's own rule says, where they differ).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/data/vresource.h"

namespace fs = std::filesystem;

namespace {

vname t(const char* s) { return vnameInternLiteral(s); }

template <class F>
std::string raised(F body) {
  std::string message = "none";
  vexGuard(body, [&](vexHandler& h) {
    vexException* e = vexGetCurrentException();
    message = std::string("raised ") + (e->message ? e->message : "");
    vexSetCurrentException(h.savedChain);
  });
  return message;
}
std::string text(vscribe* s) {
  char* c = vscribeCreateString(s);
  std::string out = c;
  vscribeFreeString(c);
  return out;
}
std::string hex(const void* p, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += "0123456789abcdef"[static_cast<const unsigned char*>(p)[i] >> 4],
                                      out += "0123456789abcdef"[static_cast<const unsigned char*>(p)[i] & 15];
  return out;
}
std::string taken(void* block, std::size_t n) {
  std::string out = hex(block, n);
  vmemFree(block);
  return out;
}
std::string str(double v) {
  std::ostringstream o;
  o << v;
  return o.str();
}
using std::to_string;

struct Dir {
  fs::path root = fs::temp_directory_path() / ("vrslots." + to_string(getpid()));
  Dir() { fs::create_directories(root); }
  ~Dir() { fs::remove_all(root); }
};
Dir* dir;

struct Path {
  vfsPath* p;
  explicit Path(const char* name) : p(vfsNewPathFromString((dir->root / name).c_str())) {}
  ~Path() { vfsFreePath(p); }
};

// Every kind by tag and in arrays: 18 entries.
void fixture(vresource r) {
  vresourceSetInteger(r, t("I"), -7);
  vresourceSetFixed(r, t("X"), 0x18000);
  vresourceSetFloat(r, t("F"), 0.5);
  vresourceSetBoolean(r, t("B"), 1);
  vresourceSetCharacter(r, t("C"), 'q');
  vresourceSetTag(r, t("T"), t("Chosen"));
  vresourceSetStringSized(r, t("S"), "hello", 5);
  vresourceSetOpaque(r, t("O"), "\1\2\3\4", 4);
  vresourceSetInteger(vresourceCreate(r, t("D"), vresDICTIONARY), t("Inner"), 9);
  vresource a = vresourceCreateArray(r, t("A"), vresINTEGER, 3);
  for (int i = 0; i < 3; ++i) vresourceSetAtInteger(a, i, 10 * (i + 1));
  vresource l = vresourceCreateArray(r, t("L"), vresSTRING, 2);
  vresourceSetAtStringSized(l, 0, "ab", 2);
  vresourceSetAtStringSized(l, 1, "cdef", 4);
  vresourceSetAtOpaque(vresourceCreateArray(r, t("P"), vresOPAQUE, 1), 0, "\5\6\7", 3);
  vresourceSetInteger(vresourceCreateAt(vresourceCreateArray(r, t("N"), vresDICTIONARY, 1), 0, vresDICTIONARY),
                      t("Z"), 4);
  vresourceSetAtTag(vresourceCreateArray(r, t("TA"), vresTAG, 1), 0, t("Chosen"));
  vresourceSetAtFixed(vresourceCreateArray(r, t("XA"), vresFIXED, 1), 0, 0x10000);
  vresourceSetAtFloat(vresourceCreateArray(r, t("FA"), vresFLOAT, 1), 0, 1.5);
  vresourceSetAtBoolean(vresourceCreateArray(r, t("BA"), vresBOOLEAN, 1), 0, 1);
  vresourceSetAtCharacter(vresourceCreateArray(r, t("CA"), vresCHARACTER, 1), 0, 'z');
}
vresource at(vresource r, const char* name) { return vresourceGet(r, t(name)); }
std::string ints(vresource a) {
  std::string out;
  for (std::int32_t i = 0; i < vresourceCount(a); ++i) out += (i ? " " : "") + to_string(vresourceGetAtInteger(a, i));
  return out;
}
std::string tableOf(vresource h) { return h < 0 ? "chunk" : "vr"; }

// A generated source's brace lists of numbers: the chunk store's one
// array (its size counts the extra 0), or the ".vr" store's pages.
struct Image {
  std::vector<std::vector<unsigned char>> arrays;
  std::vector<const unsigned char*> pages;
  vresource open(int table) {
    if (table == 1) return vresourceOpenImageIn(1, arrays.at(0).data(), arrays.at(0).size());
    for (auto& a : arrays) pages.push_back(a.data());
    pages.push_back(nullptr);
    return vresourceOpenImageIn(0, pages.data(), 0);
  }
};
Image parse(const std::string& src) {
  Image image;
  for (std::size_t at = src.find('{'); at != std::string::npos; at = src.find('{', at + 1)) {
    std::string body = src.substr(at + 1, src.find('}', at) - at - 1);
    if (body.find_first_not_of("0123456789, \n") != std::string::npos) continue;
    std::istringstream in(body);
    std::vector<unsigned char> bytes;
    for (int v; in >> v; in.ignore(1)) bytes.push_back(static_cast<unsigned char>(v));
    image.arrays.push_back(bytes);
  }
  return image;
}
std::string source(vresource r, const char* file) {
  Path p(file);
  vfsStream* s = vfsOpenFile(p.p, vfsOPEN_WRITE);
  vresourceWriteSource(r, s, "res");
  vfsCloseFile(s);
  std::ifstream in(dir->root / file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Case {
  int slot;
  std::string (*run)(int table, vresource r);
  const char* expected;
  const char* chunkExpected = nullptr;  // where the chunk store's rule differs
};

// clang-format off
const Case cases[] = {
  {vresourceSlotOpenFile, [](int tb, vresource) {
     Path p("open");
     vresource w = vresourceCreateFileIn(tb, p.p, 0600);
     vresourceSetInteger(w, t("N"), 5);
     vresourceCloseFile(w);
     vresource h = vresourceOpenFile(p.p, vfsOPEN_READ);
     std::string out = (h < 0) == (tb == 1) ? "own store" : "other store";
     out += " N=" + to_string(vresourceGetInteger(h, t("N")));
     out += " " + raised([&] { vresourceSetInteger(h, t("N"), 6); }).substr(0, 6);
     vresourceCloseFile(h);
     return out; }, "own store N=5 raised"},
  {vresourceSlotOpenImage, [](int tb, vresource r) {
     Image image = parse(source(r, "image.c"));
     vresource h = image.open(tb);
     std::string out = tableOf(h) + " " + to_string(vresourceGetInteger(h, t("I"))) + " " +
                       vresourceGetAtStringText(at(h, "L"), 1) + " " + to_string(vresourceCount(h));
     vresourceCloseFile(h);
     return out; }, "vr -7 cdef 18", "chunk -7 cdef 18"},
  {vresourceSlotCreateFile, [](int tb, vresource) {
     // Written whole beside its name and renamed: nothing else is left.
     fs::create_directories(dir->root / "new");
     Path p("new/made");
     vresourceCloseFile(vresourceCreateFileIn(tb, p.p, 0600));
     std::size_t entries = 0;
     for ([[maybe_unused]] auto& e : fs::directory_iterator(dir->root / "new")) ++entries;
     std::string out = "table " + to_string(vresourceFileTable(p.p) == tb) + " files " + to_string(entries);
     out += (fs::status(dir->root / "new/made").permissions() & fs::perms::all) == fs::perms(0600) ? " as made" : " other mode";
     fs::remove_all(dir->root / "new");
     return out; }, "table 1 files 1 as made"},
  {vresourceSlotCreateMemory, [](int tb, vresource) {
     vresource h = vresourceCreateMemoryIn(tb);
     std::string out = tableOf(h) + " " + to_string(vresourceCount(h)) + " file " + to_string(!!vresourceGetFile(h));
     vresourceCloseFile(h);
     return out; }, "vr 0 file 0", "chunk 0 file 0"},
  {vresourceSlotLoadFile, [](int, vresource r) {
     Path p("load");
     vresourceCloseFile(vresourceSaveFile(r, p.p, 0600));
     vresource h = vresourceLoadFile(p.p);
     vresourceSetInteger(h, t("Late"), 1);  // in memory only
     std::string out = tableOf(h) + " " + to_string(vresourceGetInteger(h, t("I"))) + " file " + to_string(!!vresourceGetFile(h));
     vresourceCloseFile(h);
     h = vresourceOpenFile(p.p, vfsOPEN_READ);
     vresource late;
     out += " late " + to_string(vresourceTestGet(h, t("Late"), &late));
     vresourceCloseFile(h);
     return out; }, "vr -7 file 0 late 0", "chunk -7 file 0 late 0"},
  {vresourceSlotSaveFile, [](int, vresource r) {
     // A file replaced whole keeps its mode.
     Path p("saved");
     std::ofstream(dir->root / "saved") << "old";
     fs::permissions(dir->root / "saved", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
     vresource h = vresourceSaveFile(r, p.p, 0600);
     std::string mode = (fs::status(dir->root / "saved").permissions() & fs::perms::all) ==
                                (fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
                            ? " 0640"
                            : " other mode";
     std::string out = tableOf(h) + " " + vresourceGetStringText(h, t("S")) + " file " + to_string(!!vresourceGetFile(h));
     vresourceCloseFile(h);
     return out + mode; }, "vr hello file 1 0640", "chunk hello file 1 0640"},
  {vresourceSlotCopyFile, [](int tb, vresource r) {
     vresource h = vresourceCreateMemoryIn(tb);
     vresourceCopyFile(r, h);
     std::string out = to_string(vresourceCount(h)) + " " + ints(at(h, "A"));
     vresourceCloseFile(h);
     return out; }, "18 10 20 30"},
  {vresourceSlotCloseFile, [](int tb, vresource) {
     vresource h = vresourceCreateMemoryIn(tb);
     vresourceCloseFile(h);
     return raised([&] { vresourceCount(h); }).substr(0, 6); }, "raised"},
  {vresourceSlotReleaseFile, [](int tb, vresource) {
     vresource h = vresourceCreateMemoryIn(tb);
     vresourceReleaseFile(h);
     return raised([&] { vresourceCount(h); }).substr(0, 6); }, "raised"},
  {vresourceSlotFlushFile, [](int tb, vresource) {
     Path p("flushed");
     vresource w = vresourceCreateFileIn(tb, p.p, 0600);
     vresourceSetInteger(w, t("N"), 5);
     vresourceFlushFile(w);
     vresource h = vresourceOpenFile(p.p, vfsOPEN_READ);  // a second reader sees the flushed value
     std::string out = to_string(vresourceGetInteger(h, t("N")));
     vresourceCloseFile(h);
     vresourceCloseFile(w);
     return out; }, "5"},
  {vresourceSlotWriteSource, [](int, vresource r) {
     return source(r, "src.c").substr(0, 32); }, "/* THIS IS A GENERATED FILE. */\n"},
  {vresourceSlotGetFile, [](int tb, vresource r) {
     Path p("withfile");
     vresource h = vresourceCreateFileIn(tb, p.p, 0600);
     std::string out = to_string(!!vresourceGetFile(r)) + " " + to_string(!!vresourceGetFile(h));
     vresourceCloseFile(h);
     return out; }, "0 1"},
  {vresourceSlotFileReserved, [](int, vresource r) { vresourceFileReserved(r); return to_string(vresourceCount(r)); }, "18"},

  {vresourceSlotMake, [](int, vresource r) {
     vresource made = vresourceMake(r, t("New"));
     return to_string(vresourceMake(r, t("I")) == at(r, "I")) + " " + to_string(vresourceGetType(made, nullptr)); }, "1 0"},
  {vresourceSlotCreate, [](int, vresource r) {
     vresource c = vresourceCreate(r, t("New"), vresINTEGER);
     return to_string(vresourceGetType(r, t("New"))) + " " + to_string(c == at(r, "New")); }, "4 1"},
  {vresourceSlotMakeArray, [](int, vresource r) {
     vresource kept = vresourceMakeArray(r, t("A"), vresINTEGER, 7);
     vresource made = vresourceMakeArray(r, t("New"), vresBOOLEAN, 2);
     return ints(kept) + " | " + to_string(vresourceCount(made)) + " " + to_string(vresourceGetElementType(made)); },
   "10 20 30 | 2 9"},
  {vresourceSlotCreateArray, [](int, vresource r) {
     return ints(vresourceCreateArray(r, t("A"), vresINTEGER, 4)); }, "0 0 0 0"},
  {vresourceSlotCreateAt, [](int, vresource r) {
     vresource s = vresourceCreateAt(vresourceCreateArray(r, t("New"), vresSTRING, 2), 1, vresSTRING);
     return to_string(vresourceGetType(s, nullptr)) + " " + to_string(vresourceGetStringLength(s)); }, "7 0"},
  {vresourceSlotRemove, [](int, vresource r) {
     vresourceRemove(r, t("D"));
     vresourceRemove(r, t("Absent"));
     vresource d;
     return to_string(vresourceCount(r)) + " " + to_string(vresourceTestGet(r, t("D"), &d)); }, "17 0"},
  {vresourceSlotRemoveAt, [](int, vresource r) {
     vresourceRemoveAt(at(r, "A"), 0);
     return ints(at(r, "A")); }, "20 30"},

  {vresourceSlotGet, [](int, vresource r) { return to_string(vresourceGetInteger(at(r, "D"), t("Inner"))); }, "9"},
  {vresourceSlotGetTag, [](int, vresource r) { return std::string(vresourceGetTag(r, t("T"))); }, "Chosen"},
  {vresourceSlotGetInteger, [](int, vresource r) { return to_string(vresourceGetInteger(r, t("I"))); }, "-7"},
  {vresourceSlotGetFixed, [](int, vresource r) { return to_string(vresourceGetFixed(r, t("X"))); }, "98304"},
  {vresourceSlotGetFloat, [](int, vresource r) { return str(vresourceGetFloat(r, t("F"))); }, "0.5"},
  {vresourceSlotGetString, [](int, vresource r) { return text(vresourceGetString(r, t("S"))); }, "hello"},
  {vresourceSlotGetStringRange, [](int, vresource r) {
     char buffer[8] = {};
     std::size_t n = 99, past = 99;
     vresourceGetStringRange(r, t("S"), 1, buffer, 3, &n);
     vresourceGetStringRange(r, t("S"), 9, buffer + 5, 3, &past);
     return std::string(buffer, n) + " " + to_string(n) + " " + to_string(past); }, "el 2 0", "ell 3 0"},
  {vresourceSlotGetBoolean, [](int, vresource r) { return to_string(vresourceGetBoolean(r, t("B"))); }, "1"},
  {vresourceSlotGetOpaque, [](int, vresource r) {
     std::size_t n = 0;
     void* p = vresourceGetOpaque(r, t("O"), &n);
     return taken(p, n); }, "01020304"},
  {vresourceSlotGetCharacter, [](int, vresource r) { return std::string(1, vresourceGetCharacter(r, t("C"))); }, "q"},
  {vresourceSlotGetArray, [](int, vresource r) {
     // Tags come back as their names, in entries wide enough for a pointer.
     std::string out;
     std::intptr_t* entries = nullptr;
     std::size_t n = 0;
     for (const char* name : {"A", "TA", "L"})
       out += raised([&] {
         vresourceGetArray(r, t(name), &entries, &n);
         for (std::size_t i = 0; i < n; ++i)
           out += name == std::string("TA") ? std::string(reinterpret_cast<vname>(entries[i]))
                  : name == std::string("L") ? vresourceGetStringText(static_cast<vresource>(entries[i]), nullptr)
                                             : to_string(entries[i]);
         vmemFree(entries);
       }).substr(0, 6) + " ";
     return out; }, "102030none Chosennone abcdefnone ",
   "raised raised raised "},

  {vresourceSlotGetObject, [](int, vresource r) {
     vinstance* o = vresourceGetObject(r, t("I"));
     std::string out = to_string(vscrapGetInteger(vscrapWalk(o))) + " " + to_string(vresourceFromScrap(vscrapWalk(o)) == at(r, "I"));
     vinstanceDestroy(o);
     return out; }, "-7 1"},
  {vresourceSlotTestGet, [](int, vresource r) {
     vresource out = 77;
     int absent = vresourceTestGet(r, t("Absent"), &out);
     std::string s = to_string(absent) + " " + to_string(out);
     s += " " + to_string(vresourceTestGet(r, t("D"), &out));
     return s + " " + to_string(out == at(r, "D")); }, "0 77 1 1"},
  {vresourceSlotTestGetTag, [](int, vresource r) {
     vname out = t("Untouched");
     auto call = [&](const char* name) { return vresourceRoute<vresourceSlotTestGetTag, int>(r, t(name), &out); };
     int absent = call("Absent");
     std::string s = to_string(absent) + out;
     s += to_string(call("T"));
     return s + out; }, "0Untouched1Chosen"},
  {vresourceSlotTestGetInteger, [](int, vresource r) {
     std::int32_t out = 77;
     auto call = [&](const char* name) { return vresourceRoute<vresourceSlotTestGetInteger, int>(r, t(name), &out); };
     int absent = call("Absent");
     std::string s = to_string(absent) + to_string(out) + " ";
     s += to_string(call("I"));
     return s + to_string(out); }, "077 1-7"},
  {vresourceSlotTestGetFixed, [](int, vresource r) {
     std::int32_t out = 77;
     int absent = vresourceTestGetFixed(r, t("Absent"), &out);
     std::string s = to_string(absent) + to_string(out) + " ";
     s += to_string(vresourceTestGetFixed(r, t("X"), &out));
     return s + to_string(out); },
   "077 198304"},
  {vresourceSlotTestGetFloat, [](int, vresource r) {
     double out = 77;
     int absent = vresourceTestGetFloat(r, t("Absent"), &out);
     std::string s = to_string(absent) + str(out) + " ";
     s += to_string(vresourceTestGetFloat(r, t("F"), &out));
     return s + str(out); }, "077 10.5"},
  {vresourceSlotTestGetStringCopy, [](int, vresource r) {
     vstr* out = nullptr;
     int a = vresourceTestGetStringCopy(r, t("Absent"), &out);
     int b = vresourceTestGetStringCopy(r, t("S"), &out);
     std::string s = out;
     vstrDestroy(out);
     return to_string(a) + to_string(b) + s; }, "01hello"},
  {vresourceSlotTestGetString, [](int, vresource r) {
     vscribe* out = nullptr;
     int a = vresourceTestGetString(r, t("Absent"), &out);
     int b = vresourceTestGetString(r, t("S"), &out);
     return to_string(a) + to_string(b) + text(out); }, "01hello"},
  {vresourceSlotTestGetStringRange, [](int, vresource r) {
     char buffer[8] = {};
     std::size_t n = 99;
     int a = vresourceTestGetStringRange(r, t("Absent"), 0, buffer, 8, &n);
     std::string out = to_string(a) + to_string(n);
     int b = vresourceTestGetStringRange(r, t("S"), 3, buffer, 8, &n);
     return out + " " + to_string(b) + std::string(buffer, n); }, "099 1lo"},
  {vresourceSlotTestGetBoolean, [](int, vresource r) {
     int out = 77;
     int absent = vresourceTestGetBoolean(r, t("Absent"), &out);
     std::string s = to_string(absent) + to_string(out) + " ";
     s += to_string(vresourceTestGetBoolean(r, t("B"), &out));
     return s + to_string(out); },
   "077 11"},
  {vresourceSlotTestGetOpaque, [](int, vresource r) {
     void* out = nullptr;
     std::size_t n = 0;
     int a = vresourceTestGetOpaque(r, t("Absent"), &out, &n);
     int b = vresourceTestGetOpaque(r, t("O"), &out, &n);
     return to_string(a) + to_string(b) + taken(out, n); }, "0101020304"},
  {vresourceSlotTestGetCharacter, [](int, vresource r) {
     char out = '-';
     int absent = vresourceTestGetCharacter(r, t("Absent"), &out);
     std::string s = to_string(absent) + out;
     s += to_string(vresourceTestGetCharacter(r, t("C"), &out));
     return s + out; }, "0-1q"},
  {vresourceSlotTestGetArray, [](int, vresource r) {
     std::intptr_t* out = nullptr;
     std::size_t n = 0;
     std::string s = to_string(vresourceTestGetArray(r, t("Absent"), &out, &n)) + " ";
     s += raised([&] {
       int present = vresourceTestGetArray(r, t("A"), &out, &n);
       s += to_string(present) + to_string(n);
     });
     if (out) vmemFree(out);
     return s; }, "0 13none", "0 raised vresourceGetArray() is deprecated. Manipulate array elements individually."},

  {vresourceSlotTestGetObject, [](int, vresource r) {
     vinstance* o = nullptr;
     int absent = vresourceTestGetObject(r, t("Absent"), &o);
     std::string out = to_string(absent) + to_string(o == nullptr) + " ";
     out += to_string(vresourceTestGetObject(r, t("S"), &o));
     out += text(vscrapGetString(vscrapWalk(o)));
     vinstanceDestroy(o);
     return out; }, "01 1hello"},
  {vresourceSlotGetAt, [](int, vresource r) {
     return to_string(vresourceGetInteger(vresourceGetAt(at(r, "N"), 0), t("Z"))); }, "4"},
  {vresourceSlotGetAtTag, [](int, vresource r) { return std::string(vresourceGetAtTag(at(r, "TA"), 0)); }, "Chosen"},
  {vresourceSlotGetAtInteger, [](int, vresource r) { return to_string(vresourceGetAtInteger(at(r, "A"), 1)); }, "20"},
  {vresourceSlotGetAtFixed, [](int, vresource r) { return to_string(vresourceGetAtFixed(at(r, "XA"), 0)); }, "65536"},
  {vresourceSlotGetAtFloat, [](int, vresource r) { return str(vresourceGetAtFloat(at(r, "FA"), 0)); }, "1.5"},
  {vresourceSlotGetAtString, [](int, vresource r) { return text(vresourceGetAtString(at(r, "L"), 1)); }, "cdef"},
  {vresourceSlotGetAtStringRange, [](int, vresource r) {
     char buffer[8] = {};
     std::size_t n = 99;
     vresourceGetAtStringRange(at(r, "L"), 1, 1, buffer, 3, &n);
     return std::string(buffer, n); }, "de", "def"},
  {vresourceSlotGetAtBoolean, [](int, vresource r) { return to_string(vresourceGetAtBoolean(at(r, "BA"), 0)); }, "1"},
  {vresourceSlotGetAtOpaque, [](int, vresource r) {
     std::size_t n = 0;
     void* p = vresourceGetAtOpaque(at(r, "P"), 0, 1, 5, &n);
     return taken(p, n); }, "0607"},
  {vresourceSlotGetAtCharacter, [](int, vresource r) { return std::string(1, vresourceGetAtCharacter(at(r, "CA"), 0)); }, "z"},

  {vresourceSlotGetAtObject, [](int, vresource r) {
     // A scalar element stands as (array, index); a string as its own resource.
     vinstance* e = vresourceGetAtObject(at(r, "A"), 1);
     vscrapSetInteger(vscrapWalk(e), 25);
     std::string out = to_string(vscrapGetInteger(vscrapWalk(e))) + " " + ints(at(r, "A"));
     vinstanceDestroy(e);
     e = vresourceGetAtObject(at(r, "L"), 1);
     out += " " + text(vscrapGetString(vscrapWalk(e)));
     vinstanceDestroy(e);
     return out + " " + raised([&] { vresourceGetAtObject(at(r, "A"), 3); }).substr(0, 6); }, "25 10 25 30 cdef raised"},
  {vresourceSlotSetTag, [](int, vresource r) {
     vresourceSetTag(r, t("T"), t("Other"));
     return std::string(vresourceGetTag(r, t("T"))); }, "Other"},
  {vresourceSlotSetInteger, [](int, vresource r) {
     vresourceSetInteger(r, t("New"), 3);
     return to_string(vresourceGetType(r, t("New"))) + to_string(vresourceGetInteger(r, t("New"))); }, "43"},
  {vresourceSlotSetFixed, [](int, vresource r) {
     vresourceSetFixed(r, t("X"), -0x8000);
     return to_string(vresourceGetFixed(r, t("X"))); }, "-32768"},
  {vresourceSlotSetFloat, [](int, vresource r) {
     vresourceSetFloat(r, t("F"), -2.25);
     return str(vresourceGetFloat(r, t("F"))) + " " + raised([&] { vresourceSetFloat(r, t("F"), 1e300); }).substr(0, 6); },
   "-2.25 raised"},
  {vresourceSlotSetString, [](int, vresource r) {
     vresourceSetString(r, t("New"), vscribeCString("made"));
     return vresourceGetStringText(r, t("New")); }, "made"},
  {vresourceSlotSetStringSized, [](int, vresource r) {
     vresourceSetStringSized(r, t("S"), "bye now", 3);
     return vresourceGetStringText(r, t("S")); }, "bye"},
  {vresourceSlotSetBoolean, [](int, vresource r) {
     vresourceSetBoolean(r, t("B"), 0);
     return to_string(vresourceGetBoolean(r, t("B"))); }, "0"},
  {vresourceSlotSetOpaque, [](int, vresource r) {
     vresourceSetOpaque(r, t("O"), "\x0A\x0B", 2);
     std::size_t n = 0;
     void* p = vresourceGetOpaque(r, t("O"), &n);
     return taken(p, n); }, "0a0b"},
  {vresourceSlotSetCharacter, [](int, vresource r) {
     vresourceSetCharacter(r, t("C"), 'w');
     return std::string(1, vresourceGetCharacter(r, t("C"))); }, "w"},

  {vresourceSlotSetScrap, [](int, vresource r) {
     vinstance* n = vscrapCreateNative(vscrapGetIntegerClass());
     vscrapSetInteger(vscrapWalk(n), 42);
     vresourceSetScrap(r, t("New"), vscrapWalk(n));  // an untyped resource becomes an integer
     std::string out = to_string(vresourceGetType(r, t("New"))) + " " + to_string(vresourceGetInteger(r, t("New")));
     out += " " + raised([&] { vresourceSetScrap(r, t("S"), vscrapWalk(n)); }).substr(0, 6);
     vinstanceDestroy(n);
     return out; }, "4 42 raised"},
  {vresourceSlotSetAtTag, [](int, vresource r) {
     vresourceSetAtTag(at(r, "TA"), 0, t("Other"));
     return std::string(vresourceGetAtTag(at(r, "TA"), 0)); }, "Other"},
  {vresourceSlotSetAtInteger, [](int, vresource r) {
     vresourceSetAtInteger(at(r, "A"), 2, 0x12345678);
     return ints(at(r, "A")); }, "10 20 305419896"},
  {vresourceSlotSetAtFixed, [](int, vresource r) {
     vresourceSetAtFixed(at(r, "XA"), 0, 3);
     return to_string(vresourceGetAtFixed(at(r, "XA"), 0)); }, "3"},
  {vresourceSlotSetAtFloat, [](int, vresource r) {
     vresourceSetAtFloat(at(r, "FA"), 0, 0.125);
     return str(vresourceGetAtFloat(at(r, "FA"), 0)); }, "0.125"},
  {vresourceSlotSetAtString, [](int, vresource r) {
     vresourceSetAtString(at(r, "L"), 0, vscribeCString("xyz"));
     return vresourceGetAtStringText(at(r, "L"), 0); }, "xyz"},
  {vresourceSlotSetAtStringSized, [](int, vresource r) {
     vresourceSetAtStringSized(at(r, "L"), 1, "uvw", 2);
     return vresourceGetAtStringText(at(r, "L"), 1); }, "uv"},
  {vresourceSlotSetAtBoolean, [](int, vresource r) {
     vresourceSetAtBoolean(at(r, "BA"), 0, 0);
     return to_string(vresourceGetAtBoolean(at(r, "BA"), 0)); }, "0"},
  {vresourceSlotSetAtOpaque, [](int, vresource r) {
     vresourceSetAtOpaque(at(r, "P"), 0, "\x0C", 1);
     std::size_t n = 0;
     void* p = vresourceGetAtOpaque(at(r, "P"), 0, 0, 8, &n);
     return taken(p, n); }, "0c"},
  {vresourceSlotSetAtCharacter, [](int, vresource r) {
     vresourceSetAtCharacter(at(r, "CA"), 0, 'y');
     return std::string(1, vresourceGetAtCharacter(at(r, "CA"), 0)); }, "y"},

  {vresourceSlotSetAtScrap, [](int, vresource r) {
     vinstance* n = vscrapCreateNative(vscrapGetIntegerClass());
     vscrapSetInteger(vscrapWalk(n), 99);
     vresourceSetAtScrap(at(r, "A"), 2, vscrapWalk(n));
     vresource u = vresourceCreateArray(r, t("U"), vresUNTYPED, 2);  // an untyped element takes the kind
     vresourceSetAtScrap(u, 1, vscrapWalk(n));
     vinstanceDestroy(n);
     return ints(at(r, "A")) + " | " + to_string(vresourceGetElementType(u)) + " " + to_string(vresourceGetAtInteger(u, 1)); },
   "10 20 99 | 4 99"},
  {vresourceSlotInsertAt, [](int, vresource r) {
     vresource s = vresourceInsertAt(at(r, "L"), 0, vresSTRING);
     return to_string(vresourceCount(at(r, "L"))) + " " + to_string(vresourceGetStringLength(s)) + " " +
            vresourceGetAtStringText(at(r, "L"), 1); }, "3 0 ab"},
  {vresourceSlotInsertAtTag, [](int, vresource r) {
     vresourceInsertAtTag(at(r, "TA"), 0, t("Other"));
     return std::string(vresourceGetAtTag(at(r, "TA"), 0)) + vresourceGetAtTag(at(r, "TA"), 1); }, "OtherChosen"},
  {vresourceSlotInsertAtInteger, [](int, vresource r) {
     vresourceInsertAtInteger(at(r, "A"), 1, 15);
     return ints(at(r, "A")); }, "10 15 20 30"},
  {vresourceSlotInsertAtFixed, [](int, vresource r) {
     vresourceInsertAtFixed(at(r, "XA"), 1, 7);
     return to_string(vresourceGetAtFixed(at(r, "XA"), 0)) + " " + to_string(vresourceGetAtFixed(at(r, "XA"), 1)); },
   "65536 7"},
  {vresourceSlotInsertAtFloat, [](int, vresource r) {
     vresourceInsertAtFloat(at(r, "FA"), 0, -1);
     return str(vresourceGetAtFloat(at(r, "FA"), 0)) + " " + str(vresourceGetAtFloat(at(r, "FA"), 1)); }, "-1 1.5"},
  {vresourceSlotInsertAtBoolean, [](int, vresource r) {
     vresourceInsertAtBoolean(at(r, "BA"), 1, 0);
     return to_string(vresourceCount(at(r, "BA"))) + to_string(vresourceGetAtBoolean(at(r, "BA"), 1)); }, "20"},
  {vresourceSlotInsertAtCharacter, [](int, vresource r) {
     vresourceInsertAtCharacter(at(r, "CA"), 0, 'a');
     return std::string(1, vresourceGetAtCharacter(at(r, "CA"), 0)) + vresourceGetAtCharacter(at(r, "CA"), 1); }, "az"},

  {vresourceSlotFind, [](int, vresource r) {
     vresource parent = 0;
     vname tag = nullptr;
     vresourceFind(at(r, "D"), &parent, &tag);
     return to_string(parent == r) + tag + " " + raised([&] { vresourceFind(r, &parent, &tag); }); },
   "1D raised Cannot vresourceFind on root resource."},
  {vresourceSlotFindAt, [](int, vresource r) {
     vresource parent = 0;
     vname tag = nullptr;
     std::int32_t index = -1;
     vresourceFindAt(vresourceGetAt(at(r, "N"), 0), &parent, &tag, &index);
     return to_string(parent == r) + tag + to_string(index); }, "1N0"},
  {vresourceSlotCount, [](int, vresource r) {
     return to_string(vresourceCount(r)) + " " + to_string(vresourceCount(at(r, "A"))); }, "18 3"},
  {vresourceSlotGetTagAt, [](int, vresource r) {
     std::set<std::string> tags;
     bool handles = true;
     for (std::int32_t i = 0; i < vresourceCount(r); ++i) {
       vname tag = nullptr;
       vresource h = vresourceGetTagAt(r, i, &tag);
       tags.insert(tag);
       handles = handles && vresourceGetType(h, nullptr) == vresourceGetType(r, tag);
     }
     return to_string(tags.size()) + " " + to_string(handles); }, "18 1"},
  {vresourceSlotGetTagAtOnly, [](int, vresource r) {
     std::set<std::string> tags;
     for (std::int32_t i = 0; i < vresourceCount(r); ++i) tags.insert(vresourceGetTagAtOnly(r, i));
     return *tags.begin() + " " + *tags.rbegin(); }, "A XA"},
  {vresourceSlotRenameTag, [](int, vresource r) {
     vresourceRenameTag(r, t("I"), t("J"));
     vresourceRenameTag(r, t("J"), t("J"));
     vresource old;
     return to_string(vresourceGetInteger(r, t("J"))) + " " + to_string(vresourceTestGet(r, t("I"), &old)); }, "-7 0"},
  {vresourceSlotGetParent, [](int, vresource r) {
     return to_string(vresourceGetParent(at(r, "D")) == r) + to_string(vresourceGetParent(r)); }, "10"},
  {vresourceSlotGetRoot, [](int, vresource r) {
     return to_string(vresourceGetRoot(vresourceGetAt(at(r, "N"), 0)) == r); }, "1"},
  {vresourceSlotGetSize, [](int, vresource r) {
     return to_string(vresourceGetSize(at(r, "O"))) + to_string(vresourceGetSize(at(r, "S"))) + " " +
            raised([&] { vresourceGetSize(at(r, "D")); }).substr(0, 6); }, "45 raised"},
  {vresourceSlotGetStringLength, [](int, vresource r) { return to_string(vresourceGetStringLength(at(r, "S"))); }, "5"},
  {vresourceSlotGetType, [](int, vresource r) {
     return to_string(vresourceGetType(r, t("F"))) + to_string(vresourceGetType(r, nullptr)) +
            to_string(vresourceGetType(r, t("A"))); }, "612"},
  {vresourceSlotGetElementType, [](int, vresource r) {
     return to_string(vresourceGetElementType(at(r, "A"))) + to_string(vresourceGetElementType(at(r, "L"))); }, "47"},
  {vresourceSlotSetCount, [](int, vresource r) {
     vresourceSetCount(at(r, "A"), 5);
     std::string out = ints(at(r, "A"));
     vresourceSetCount(at(r, "A"), 1);
     return out + " | " + ints(at(r, "A")); }, "10 20 30 0 0 | 10"},
  {vresourceSlotGetNumber, [](int, vresource r) { return to_string(vresourceGetNumber(r)); }, "0", "1"},
  {vresourceSlotFromNumber, [](int, vresource r) {
     vresource d = at(r, "D");
     return to_string(vresourceFromNumber(r, vresourceGetNumber(d)) == d); }, "1"},
  {vresourceSlotFromScrap, [](int, vresource r) {
     vinstance* o = vresourceGetObject(r, t("D"));
     vinstance* n = vscrapCreateNative(vscrapGetIntegerClass());
     std::string out = to_string(vresourceFromScrap(vscrapWalk(o)) == at(r, "D")) + " " +
                       raised([&] { vresourceFromScrap(vscrapWalk(n)); });
     vinstanceDestroy(o);
     vinstanceDestroy(n);
     return out; }, "1 raised Scrap does not stand for a resource"},
  {vresourceSlotFromObject, [](int, vresource r) {
     vinstance* e = vresourceGetAtObject(at(r, "XA"), 0);
     std::string out = to_string(vresourceFromObject(e) == at(r, "XA"));
     vinstanceDestroy(e);
     e = vresourceGetObject(r, t("D"));
     out += " " + raised([&] { vresourceFromObject(e); });
     vinstanceDestroy(e);
     return out; }, "1 raised Object does not stand for an array element"},
  {vresourceSlotGetObjectIndex, [](int, vresource r) {
     vinstance* e = vresourceGetAtObject(at(r, "A"), 2);
     std::string out = to_string(vresourceGetObjectIndex(e));
     vinstanceDestroy(e);
     return out; }, "2"},
};
// clang-format on

class Slots : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() { dir = new Dir; }
  static void TearDownTestSuite() {
    delete dir;
    dir = nullptr;
  }
};

TEST_P(Slots, BothStoresAnswer) {
  const Case& c = GetParam();
  for (int table : {0, 1}) {
    vresource r = vresourceCreateMemoryIn(table);
    ASSERT_EQ(raised([&] { fixture(r); }), "none") << "table " << table;
    std::string got = raised([&] { EXPECT_EQ(c.run(table, r), table && c.chunkExpected ? c.chunkExpected : c.expected); });
    EXPECT_EQ(got, "none") << "table " << table;
    vresourceCloseFile(r);
  }
}

INSTANTIATE_TEST_SUITE_P(Every, Slots, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return "slot" + to_string(info.param.slot); });

TEST(Slots, EverySlotHasACase) {
  std::multiset<int> covered;
  for (const Case& c : cases) covered.insert(c.slot);
  for (int s = 0; s < vresourceSLOTS; ++s) EXPECT_EQ(covered.count(s), 1u) << "slot " << s;
}

}  // namespace
