// One set of resource operations run against a memory resource and a file
// of each store: a run writes a transcript of answers and of the class of
// every exception raised, and the stores' transcripts must agree. Where the
// stores are meant to differ, the run writes the difference itself, and
// says why beside it.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include "fw/core/fs.h"
#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"

namespace twostores {

struct Store {
  const char* name;
  int table;  // 0: the ".vr" store, 1: the chunk-file store
  bool file;
};
inline const Store stores[] = {
    {"chunk_memory", 1, false}, {"chunk_file", 1, true}, {"vr_memory", 0, false}, {"vr_file", 0, true}};
inline std::string storeName(const testing::TestParamInfo<Store>& i) { return i.param.name; }


// A class and its bases, most derived last: "Arg/Range".
inline std::string className(const vexClass* c) {
  std::string out;
  for (; c; c = c->superclass)
    if (c->name && *c->name) out = std::string(c->name) + (out.empty() ? "" : "/") + out;
  return out;
}

struct Transcript {
  std::ostringstream text;
  // One answer, or the class of what its computation raised.
  template <class F>
  void operator()(const std::string& what, F answer) {
    record(what, answer, false);
  }
  // As above, with only the outermost class of a raise: where one store's
  // rule names a finer class of the same exception than the other's.
  template <class F>
  void base(const std::string& what, F answer) {
    record(what, answer, true);
  }
  template <class F>
  void record(const std::string& what, F answer, bool outerOnly) {
    std::string said;
    vexGuard([&] { said = answer(); },
             [&](vexHandler& h) {
               std::string c = className(vexGetCurrentException()->cls);
               said = "raises " + (outerOnly ? c.substr(0, c.find('/')) : c);
               vexSetCurrentException(h.savedChain);
             });
    text << what << " = " << said << "\n";
  }
  std::string str() const { return text.str(); }
};

// A scratch folder of the test's own.
struct Folder {
  std::string path;
  Folder() {
    std::string t = (std::filesystem::temp_directory_path() / "twostoresXXXXXX").string();
    path = ::mkdtemp(t.data());
  }
  ~Folder() { std::filesystem::remove_all(path); }
};

// A root of the store to write into; for a file, closed after writing and
// opened again before reading, so the reading sees what the file kept.
struct Root {
  const Store& store;
  Folder folder;
  std::string file;
  vresource root = 0;
  bool vr() const { return store.table == 0; }
  explicit Root(const Store& s) : store(s), file(folder.path + "/r" + (s.table ? ".res" : ".vr")) {
    vrstoreInstallInterface();  // the core's typed test-gets route through it
    if (!s.file) {
      root = vresourceCreateMemoryIn(s.table);
      return;
    }
    vfsPath* p = vfsNewPathFromString(file.c_str());
    root = vresourceCreateFileIn(s.table, p, 0);
    vfsFreePath(p);
  }
  void reopen() {
    if (!store.file) return;
    vresourceCloseFile(root);
    vfsPath* p = vfsNewPathFromString(file.c_str());
    root = vresourceOpenFile(p, vfsOPEN_READ_WRITE);
    vfsFreePath(p);
  }
  ~Root() {
    if (root) vexTry([&] { vresourceCloseFile(root); });
  }
};

// The family written and read in a store of the kind given.
using Family = std::function<void(Root&, Transcript&)>;
inline std::string runIn(const Store& s, const Family& family) {
  Root r(s);
  Transcript t;
  family(r, t);
  return t.str();
}
// The transcript in the store given, checked against the chunk-file memory
// resource's: the same answers and the same exception classes.
inline std::string sameAsReference(const Store& s, const Family& family) {
  std::string mine = runIn(s, family);
  std::string reference = runIn(stores[0], family);
  EXPECT_EQ(mine, reference) << "store " << s.name;
  return mine;
}
inline bool has(const std::string& transcript, const std::string& line) {
  return transcript.find(line + "\n") != std::string::npos;
}

}  // namespace twostores
