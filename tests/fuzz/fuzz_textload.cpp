// Stored texts from resource text: the input is parsed as the readable
// form of a resource file and its first dictionary loaded as a vtext (a
// stored text must load or refuse with an exception). A loaded text is
// stored, loaded again and stored again: the second load must equal the
// first (the same stored form, characters and line table), and the second
// store must not raise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fw/data/vresource.h"
#include "fw/data/vrstore.h"
#include "fw/data/vrtext.h"
#include "fw/text/selection.h"
#include "fw/text/text.h"
#include "fw/text/textstore.h"
#include "tests/fuzz/fuzz_text_fonts.h"

namespace {

void start() {
  static bool started = false;
  if (started) return;
  started = true;
  vrstoreInstallInterface();
  fuzztext::registerFixedFont();
  vtextGetDefaultClass();
}

[[noreturn]] void fail(const char* why, const std::string& detail = "") {
  std::fprintf(stderr, "text load round trip: %s\n%s\n", why, detail.c_str());
  std::abort();
}

template <class F>
bool guarded(F body) {
  bool ok = true;
  vexGuard(body, [&](vexHandler& h) {
    ok = false;
    vexSetCurrentException(h.savedChain);
  });
  return ok;
}

// The stored form of a text, as text.
std::string storedForm(vtext* t) {
  vresource root = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(root, vnameInternLiteral("T"), vresDICTIONARY);
  std::string dump;
  if (!guarded([&] { _vtextStore(t, r); })) fail("storing a loaded text raised");
  dump = vrtextDump(root);
  vresourceCloseFile(root);
  return dump;
}

std::vector<std::int32_t> lineTable(vtext* t) {
  std::vector<std::int32_t> out{t->length, t->lineCount};
  for (std::int32_t line = 1; line <= t->lineCount; ++line) out.push_back(vtextGetLineStart(t, line));
  return out;
}

vtext* loadFrom(vresource r) {
  vtext* t = nullptr;
  guarded([&] { t = static_cast<vtext*>(vobjectLoad(r)); });
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  start();
  if (size > 1 << 16) return 0;
  vresource root = vresourceCreateMemoryIn(0);
  std::string error;
  vresource entry = 0;
  if (vrtextParse(std::string(reinterpret_cast<const char*>(data), size), root, &error)) {
    for (std::int32_t i = 0; i < vresourceCount(root) && !entry; ++i) {
      vname tag = nullptr;
      vresource r = vresourceGetTagAt(root, i, &tag);
      if (vresourceGetType(r, nullptr) == vresDICTIONARY) entry = r;
    }
  }
  vtext* first = nullptr;
  if (entry) {
    vresourceSetTag(entry, vname_Class, vnameInternLiteral("vtext"));
    first = loadFrom(entry);
  }
  vresourceCloseFile(root);
  if (!first) return 0;

  const std::string stored = storedForm(first);
  vresource again = vresourceCreateMemoryIn(0);
  vresource r = vresourceCreate(again, vnameInternLiteral("T"), vresDICTIONARY);
  if (!guarded([&] { _vtextStore(first, r); })) fail("storing raised");
  vtext* second = loadFrom(r);
  vresourceCloseFile(again);
  if (!second) fail("a stored text did not load again", stored);
  if (storedForm(second) != stored) fail("the second load differs from the first", stored + "\n---\n" + storedForm(second));
  if (lineTable(second) != lineTable(first)) fail("the line tables differ", stored);
  vtextDestroy(second);
  vtextDestroy(first);
  return 0;
}
