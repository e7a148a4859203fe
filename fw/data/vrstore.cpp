// The ".vr" store's files: the open-file table, the client header, the
// parameter and tag records, resource numbers, record checks, and the
// whole-file check that refuses a damaged file at open.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_set>

#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/data/vresource_internal.h"
#include "fw/data/vrstore_internal.h"

namespace vrs {
namespace {

std::array<Entry, vrstoreMAX_FILES + 1> files;
void (*observer)(vresource, int) = nullptr;

constexpr std::uint8_t MAGIC[4] = {'Q', 'R', 'N', '\n'};
constexpr std::uint8_t PARAM_KEY[1] = {0};
constexpr std::uint32_t PROBES = 64;

void recordKey(std::uint8_t* key, std::uint32_t n) {
  key[0] = 0, key[1] = std::uint8_t(n >> 16), key[2] = std::uint8_t(n >> 8), key[3] = std::uint8_t(n);
}

void writeTagRecord(Entry& e, std::uint32_t n) {
  vname tag = e.tagByNumber[n];
  std::uint8_t key[5] = {1};
  putWord(key + 1, n);
  vbtreePut(e.tree, key, 5, tag, std::strlen(tag) + 1);
}

void writePendingTags(Entry& e) {
  std::vector<std::uint32_t> pending = std::move(e.pendingTags);
  e.pendingTags.clear();
  for (std::uint32_t n : pending) writeTagRecord(e, n);
}

void writeParams(Entry& e) {
  settleCache(e);
  writePendingTags(e);
  std::uint8_t v[8];
  putWord(v, e.nextTag), putWord(v + 4, e.nextNumber);
  vbtreePut(e.tree, PARAM_KEY, 1, v, 8);
}

enum class Registration { existing, fresh, copy };

// Every record of the file, checked for shape, numbers in range, tags
// known, children filed once under the container their parent word names.
void checkFile(Entry& e) {
  struct Info {
    int kind;
    std::uint32_t parent, entries = 0, count = 0;
  };
  std::unordered_map<std::uint32_t, Info> records;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> links;  // container, child
  std::set<std::uint32_t> tagNumbers;
  std::unordered_set<std::string> tagTexts;
  const void *k, *v;
  std::size_t kl, vl;
  for (bool more = vbtreeCursor(e.tree, &k, &kl, &v, &vl, vbtreeFIRST); more;
       more = vbtreeCursor(e.tree, &k, &kl, &v, &vl, vbtreeNEXT)) {
    auto key = static_cast<const std::uint8_t*>(k);
    auto val = static_cast<const std::uint8_t*>(v);
    if (kl == 1 && key[0] == 0) {
      if (vl != 8) damaged();
    } else if (kl == 5 && key[0] == 1) {
      std::uint32_t n = getWord(key + 1);
      if (n == 0 || n >= e.nextTag || vl < 2 || val[vl - 1] != 0) damaged();
      for (std::size_t i = 0; i + 1 < vl; ++i)
        if (val[i] == 0 || val[i] > 0x7E || val[i] < 0x20) damaged();
      if (!tagTexts.emplace(reinterpret_cast<const char*>(val), vl - 1).second) damaged();
      tagNumbers.insert(n);
    } else if (kl == 4 && key[0] == 0) {
      std::uint32_t n = getWord(key) & NUMBER_MASK;
      if ((n != 0 && n >= e.nextNumber) || !recordValid(val, vl)) damaged();
      Bytes r(val, val + vl);
      Info info{kindOf(r), parentOf(r)};
      if (info.kind == vresDICTIONARY || info.kind == vresUNTYPED) info.count = entryCount(r);
      if (info.kind == vresARRAY) {
        ArrayView a = arrayView(r);
        if (holdsRecords(a.elementKind))
          for (std::uint32_t i = 0; i < a.count; ++i)
            if (std::uint32_t c = elementAt(r, a, i)) links.emplace_back(n, c);
      }
      records.emplace(n, info);
    } else if (kl == 8 && key[0] == 0) {
      std::uint32_t p = getWord(key) & NUMBER_MASK, tag = getWord(key + 4);
      if (vl != 4 || tag == 0 || tag >= e.nextTag) damaged();
      auto it = records.find(p);  // a container's record sorts before its entries
      if (it == records.end() || it->second.kind != vresDICTIONARY) damaged();
      ++it->second.entries;
      links.emplace_back(p, getWord(val));
    } else {
      damaged();
    }
  }
  if (tagNumbers.size() != e.nextTag - 1) fail(&vexReturnNullClass, "Bad tag initialization");
  auto root = records.find(0);
  if (root == records.end() || root->second.kind != vresDICTIONARY || root->second.parent != 0) damaged();
  std::unordered_set<std::uint32_t> referred;
  for (auto [container, child] : links) {
    auto it = records.find(child);
    if (child == 0 || it == records.end() || it->second.parent != container || !referred.insert(child).second)
      damaged();
  }
  for (auto& [n, info] : records)
    if (info.kind == vresDICTIONARY && info.entries != info.count) damaged();
  // No record lies deeper than the nesting bound (a parent loop never ends).
  std::unordered_map<std::uint32_t, int> depth{{0, 0}};
  std::vector<std::uint32_t> path;
  for (auto& [n, info] : records) {
    path.clear();
    std::uint32_t at = n;
    auto known = depth.find(at);
    while (known == depth.end()) {
      auto it = records.find(at);
      if (it == records.end()) break;  // an orphan: the links check names the damage
      if (path.size() > std::size_t(vscrapMAX_DEPTH)) vscrapRaiseTooDeep();
      path.push_back(at);
      at = it->second.parent;
      known = depth.find(at);
    }
    int d = known == depth.end() ? 0 : known->second;
    for (; !path.empty(); path.pop_back()) {
      if (++d > vscrapMAX_DEPTH) vscrapRaiseTooDeep();
      depth[path.back()] = d;
    }
  }
}

void loadTags(Entry& e) {
  e.tagByNumber.reserve(std::size_t(e.nextTag) * 4 / 3);
  for (std::uint32_t n = 1; n < e.nextTag; ++n) {
    std::uint8_t key[5] = {1};
    putWord(key + 1, n);
    const void* v;
    std::size_t vl;
    if (!vbtreeFind(e.tree, key, 5, &v, &vl) || vl < 1)
      fail(&vexReturnNullClass, "Bad tag initialization");
    vname name = vnameIntern(vscribeCStringSized(static_cast<const char*>(v), vl - 1));
    e.tagByNumber[n] = name;
    e.numberByTag[name] = n;
  }
}

void clearEntry(Entry& e) { e = Entry{}; }

vresource registerTree(vbtree* tree, Registration how) {
  if (_vtextviewInputGetFlag() == 0) _vtextviewInputSetFlag();
  int index = 0;
  for (int i = 1; i <= vrstoreMAX_FILES && !index; ++i)
    if (!files[i].inUse) index = i;
  if (!index) {
    vbtreeClose(tree);
    fail(&vexModuleLimitClass, "Maximum resource files open");
  }
  Entry& e = files[index];
  clearEntry(e);
  e.inUse = true;
  e.tree = tree;
  vresource root = vresource(std::uint32_t(index) << 24);
  bool ok = true;
  vexGuard(
      [&] {
        if (how == Registration::existing) {
          const void* v;
          std::size_t vl;
          if (!vbtreeFind(tree, PARAM_KEY, 1, &v, &vl)) fail(&vexReturnNullClass, "Missing parameter record");
          if (vl != 8) damaged();
          auto p = static_cast<const std::uint8_t*>(v);
          e.nextTag = getWord(p), e.nextNumber = getWord(p + 4);
          if (e.nextTag == 0 || e.nextNumber == 0 || e.nextNumber > NUMBER_MASK + 1) damaged();
          checkFile(e);
          loadTags(e);
        } else if (how == Registration::fresh) {
          writeParams(e);
          writeRecord(e, 0, Bytes{0, 0, 0, 0x11, 0, 0, 0, 0});
        }
      },
      [&](vexHandler&) { ok = false; });
  if (!ok) {
    // A refused file is closed without a write: the tree was not changed.
    vbtreeClose(tree);
    clearEntry(e);
    _vexGenerate(nullptr, vexEnd);
  }
  if (observer && how != Registration::copy) observer(root, 0);
  return root;
}

// Files opened only on the way to another are not announced.
struct Quiet {
  void (*saved)(vresource, int) = observer;
  Quiet() { observer = nullptr; }
  ~Quiet() { observer = saved; }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;
};

Entry& rootEntry(vresource root) {
  if (root < 0 || numberOf(root) != 0) fail(&vexArgClass, "Not the root of a resource file");
  return entryOf(root);
}

vresource openTree(vbtree* tree, const char* failure, Registration how) {
  if (!tree) fail(&vexReturnNullClass, failure);
  return registerTree(tree, how);
}

}  // namespace

[[noreturn]] void damaged() { fail(&vexArgClass, "Resource file is damaged"); }

Entry& entryOf(vresource h) {
  std::uint32_t i = indexOf(h);
  if (h < 0 || i == 0 || !files[i].inUse) fail(&vexArgClass, "Unknown type");
  return files[i];
}

bool writable(Entry& e) { return vbtreeIsWritable(e.tree) != 0; }
void requireWritable(Entry& e) {
  if (!writable(e)) fail(&vexArgClass, "Resource file is not writable");
}

std::size_t headerSize(int kind, bool shortForm) {
  switch (kind) {
    case vresARRAY: return shortForm ? 12 : 20;
    case vresSTRING: case KIND_MACSTRING: case KIND_WIDESTRING: case vresOPAQUE: return shortForm ? 8 : 12;
    default: return shortForm ? 8 : 16;
  }
}

bool recordValid(const std::uint8_t* p, std::size_t n) {
  if (n < 8 || p[4] != 0) return false;
  int kind = p[3] & 0x0F, form = p[3] >> 4;
  if (form > 1) return false;
  bool shortForm = form == 1;
  std::size_t h = headerSize(kind, shortForm);
  if (n < h) return false;
  switch (kind) {
    case vresSTRING: case KIND_MACSTRING: return n > h && p[n - 1] == 0;
    case KIND_WIDESTRING: return n >= h + 2 && (n - h) % 2 == 0 && p[n - 1] == 0 && p[n - 2] == 0;
    case vresOPAQUE: return !shortForm || n >= h + 4;
    case vresARRAY: {
      std::uint32_t w2 = getWord(p + 8);
      if (!shortForm) {
        std::uint32_t count = getWord(p + 12), ek = getWord(p + 16);
        return ek <= MAX_KIND && std::uint64_t(count) * 4 <= n - h;
      }
      unsigned width = (w2 >> 4) & 0xFF;
      if ((w2 & 0x0F) > MAX_KIND || (w2 >> 12) != 0 ||
          !(width == 1 || width == 2 || width == 4 || width == 8 || width == 16 || width == 32))
        return false;
      return (std::uint64_t(getWord(p) >> 8) * width + 7) / 8 <= n - h;
    }
    default: return kind <= MAX_KIND;
  }
}

bool hasRecord(Entry& e, std::uint32_t n) {
  std::uint8_t key[4];
  recordKey(key, n);
  const void* v;
  std::size_t vl;
  return vbtreeFind(e.tree, key, 4, &v, &vl) != 0;
}

namespace {
// Record n as the tree stores it (checked), or null when there is none.
const std::uint8_t* storedRecord(Entry& e, std::uint32_t n, std::size_t* length) {
  std::uint8_t key[4];
  recordKey(key, n);
  const void* v;
  if (!vbtreeFind(e.tree, key, 4, &v, length)) return nullptr;
  auto p = static_cast<const std::uint8_t*>(v);
  if (!recordValid(p, *length)) damaged();
  return p;
}
}  // namespace

bool readRecord(Entry& e, std::uint32_t n, Bytes& out) {
  if (e.cacheHandle == std::int64_t(n)) {
    out = e.cache;
    return true;
  }
  std::size_t vl;
  const std::uint8_t* p = storedRecord(e, n, &vl);
  if (p == nullptr) return false;
  out.assign(p, p + vl);
  return true;
}

const std::uint8_t* peekRecord(Entry& e, std::uint32_t n, std::size_t* length) {
  if (e.cacheHandle == std::int64_t(n)) {
    *length = e.cache.size();
    return e.cache.data();
  }
  return storedRecord(e, n, length);
}

bool readParent(Entry& e, std::uint32_t n, std::uint32_t* parent) {
  std::size_t vl;
  const std::uint8_t* p = peekRecord(e, n, &vl);
  if (p == nullptr) return false;
  *parent = getWord(p + 4) & NUMBER_MASK;
  return true;
}

void writeRecord(Entry& e, std::uint32_t n, const Bytes& r) {
  requireWritable(e);
  if (e.cacheHandle == std::int64_t(n)) e.cacheHandle = -1, e.cacheDirty = false, e.cache.clear();
  std::uint8_t key[4];
  recordKey(key, n);
  vbtreePut(e.tree, key, 4, r.data(), r.size());
}

void deleteRecord(Entry& e, std::uint32_t n, const vexClass* cls) {
  std::uint8_t key[4];
  recordKey(key, n);
  dropCache(e, n);
  if (!vbtreeDelete(e.tree, key, 4)) fail(cls, "Cannot delete key");
  e.freed.push(n);
  if (n < e.hint) e.hint = n;
}

std::uint32_t tagNumber(Entry& e, vname tag, bool lookup) {
  if (!tag) return 0;
  if (auto it = e.numberByTag.find(tag); it != e.numberByTag.end()) {
    // A tag a lookup numbered is written before a record can use it.
    if (!lookup && !e.pendingTags.empty())
      if (auto p = std::find(e.pendingTags.begin(), e.pendingTags.end(), it->second); p != e.pendingTags.end()) {
        e.pendingTags.erase(p);
        writeTagRecord(e, it->second);
      }
    return it->second;
  }
  if (!writable(e)) return 0;
  if (e.nextTag == 0xFFFFFFFFu) fail(&vexModuleLimitClass, "Maximum tags in resource file");
  std::uint32_t n = e.nextTag++;
  e.numberByTag[tag] = n;
  e.tagByNumber[n] = tag;
  if (lookup)
    e.pendingTags.push_back(n);
  else
    writeTagRecord(e, n);
  return n;
}

vname tagName(Entry& e, std::uint32_t n) {
  if (n == 0) return nullptr;
  auto it = e.tagByNumber.find(n);
  if (it == e.tagByNumber.end()) fail(&vexArgClass, "Illegal interned tag number");
  return it->second;
}

std::uint32_t newNumber(Entry& e) {
  while (!e.freed.empty()) {
    std::uint32_t n = e.freed.top();
    e.freed.pop();
    if (!hasRecord(e, n)) return n;
  }
  for (std::uint32_t n = e.hint; n < e.hint + PROBES && n <= NUMBER_MASK; ++n)
    if (!hasRecord(e, n)) {
      e.hint = n + 1;
      if (e.nextNumber < n + 1) e.nextNumber = n + 1;
      return n;
    }
  e.hint += PROBES;
  if (e.nextNumber > NUMBER_MASK) fail(&vexModuleLimitClass, "Maximum resources in file");
  return e.nextNumber++;
}

void settleCache(Entry& e) {
  if (!e.cacheDirty) return;
  e.cacheDirty = false;
  std::uint8_t key[4];
  recordKey(key, std::uint32_t(e.cacheHandle));
  vbtreePut(e.tree, key, 4, e.cache.data(), e.cache.size());
}

void dropCache(Entry& e, std::uint32_t array) {
  if (e.cacheHandle != std::int64_t(array)) return;
  settleCache(e);
  e.cacheHandle = -1, e.cache.clear();
}

}  // namespace vrs

using namespace vrs;

void vrstoreSetObserver(void (*o)(vresource, int)) { observer = o; }

void vrstoreMakeClientHeader(unsigned char* header) {
  std::memset(header, 0, vrstoreCLIENT_HEADER);
  std::memcpy(header, MAGIC, 4);
  header[4] = 9;
  header[8] = 2;
  header[9] = 0x20;
}

vresource vrstoreOpenFile(const vfsPath* path, int mode) {
  unsigned char header[vrstoreCLIENT_HEADER];
  vbtree* tree = vbtreeOpen(path, vbtreeREAD, header);
  if (!tree) fail(&vexReturnNullClass, "Resource file cannot be opened");
  if (std::memcmp(header, MAGIC, 4) != 0 || (header[4] != 9 && header[4] != 8) || header[5] != 0) {
    vbtreeClose(tree);
    fail(&vexArgClass, "File is not a resource file");
  }
  if (header[8] > 2) {
    vbtreeClose(tree);
    fail(&vexArgClass, "Unknown resource file version");
  }
  if (mode & vbtreeWRITE) {
    // A damaged file is refused before it is opened for writing, so a
    // refusal never writes to it. The observer hears only the real open.
    Quiet quiet;
    vrstoreCloseFile(registerTree(tree, Registration::existing));
    tree = vbtreeOpen(path, mode, header);
    if (!tree) fail(&vexReturnNullClass, "Resource file cannot be opened");
  }
  return registerTree(tree, Registration::existing);
}

vresource vrstoreOpenImage(const unsigned char* const* images) {
  return openTree(vbtreeOpenImage(images), "Resource file cannot be opened", Registration::existing);
}

// Made in memory, then written whole to a temporary file that is renamed
// into place: a failure never leaves a half-made file under the name.
vresource vrstoreCreateFile(const vfsPath* path, int mode) {
  vresource memory = 0, root = 0;
  {
    Quiet quiet;
    memory = vrstoreCreateMemory();
  }
  vexGuard([&] { root = vrstoreSaveFile(memory, path, mode); },
           [&](vexHandler&) {
             Quiet quiet;
             vrstoreCloseFile(memory);
             _vexGenerate(nullptr, vexEnd);
           });
  Quiet quiet;
  vrstoreCloseFile(memory);
  return root;
}

vresource vrstoreCreateMemory() {
  return openTree(vbtreeOpen(nullptr, vbtreeWRITE, nullptr), "Resource file cannot be created", Registration::fresh);
}

vresource vrstoreLoadFile(const vfsPath* path) {
  unsigned char header[vrstoreCLIENT_HEADER];
  return openTree(vbtreeLoad(path, header), "Resource file cannot be created", Registration::existing);
}

vresource vrstoreSaveFile(vresource root, const vfsPath* path, int mode) {
  Entry& source = rootEntry(root);
  if (writable(source)) writeParams(source);
  unsigned char header[vrstoreCLIENT_HEADER];
  vrstoreMakeClientHeader(header);
  vbtree* tree = vbtreeSaveAs(source.tree, path, mode, header);
  if (!tree) _vexGenerate(&vexReturnNullClass, vexSetMessage, "Resource file cannot be created", vexSetErrno, errno, vexEnd);
  vresource copy = registerTree(tree, Registration::copy);
  Entry& e = entryOf(copy);
  e.nextTag = source.nextTag, e.nextNumber = source.nextNumber;
  e.tagByNumber = source.tagByNumber, e.numberByTag = source.numberByTag;
  if (observer) observer(copy, 0);
  return copy;
}

void vrstoreCopyFile(vresource source, vresource destination) {
  if (source < 0 || destination < 0 || numberOf(source) || numberOf(destination))
    fail(&vexArgClass, "Can only copy from root");
  if (!files[indexOf(source)].inUse || !files[indexOf(destination)].inUse || indexOf(source) == 0 ||
      indexOf(destination) == 0)
    fail(&vexArgClass, "Can only copy B-tree files");
  if (source == destination) fail(&vexArgClass, "Cannot copy a resource file into itself");
  Entry& s = entryOf(source);
  Entry& d = entryOf(destination);
  requireWritable(d);
  if (writable(s)) writeParams(s);
  std::uint8_t rootKey[4] = {0, 0, 0, 0};
  if (!vbtreeDelete(d.tree, PARAM_KEY, 1) || !vbtreeDelete(d.tree, rootKey, 4))
    fail(&vexArgClass, "Cannot remove parms or root");
  d.cacheHandle = -1, d.cacheDirty = false;  // its records are replaced whole
  vbtreeCompact(s.tree, d.tree);
  d.nextTag = s.nextTag, d.nextNumber = s.nextNumber, d.hint = s.hint;
  d.freed = {};
  d.tagByNumber = s.tagByNumber, d.numberByTag = s.numberByTag;
}

void vrstoreCloseFile(vresource root) {
  Entry& e = rootEntry(root);
  if (observer) observer(root, 1);
  // A file only read is closed as it was.
  if (writable(e)) {
    settleCache(e);
    if (vbtreeIsModified(e.tree)) writeParams(e);
  }
  vbtree* tree = e.tree;
  clearEntry(e);
  if (vbtreeClose(tree) != 0) fail(&vexArgClass, "Resource file cannot be closed");
}

void vrstoreFlushFile(vresource root) {
  Entry& e = rootEntry(root);
  requireWritable(e);
  writeParams(e);
  vbtreeSync(e.tree);
}

void vrstoreWriteSource(vresource root, vfsStream* out, const char* name) {
  Entry& e = rootEntry(root);
  if (writable(e)) vrstoreFlushFile(root);
  vbtreeWriteSource(e.tree, out, name);
}

vfsStream* vrstoreGetFile(vresource root) { return vbtreeGetFile(rootEntry(root).tree); }
int vrstoreIsWritable(vresource h) { return writable(entryOf(h)) ? 1 : 0; }
