#include "fw/data/btree.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Model = std::map<std::string, std::string>;

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeBytes(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

struct Path {
  vfsPath* p;
  explicit Path(const fs::path& text) : p(vfsNewPathFromString(text.c_str())) {}
  ~Path() { vfsFreePath(p); }
};

template <class F>
const vexClass* raised(F body, std::string* message = nullptr) {
  const vexClass* cls = nullptr;
  vexGuard(body, [&](vexHandler& h) {
    cls = vexGetCurrentException()->cls;
    if (message) *message = vexGetCurrentException()->message ? vexGetCurrentException()->message : "";
    vexSetCurrentException(h.savedChain);
  });
  return cls;
}

void put(vbtree* t, const std::string& k, const std::string& v) { vbtreePut(t, k.data(), k.size(), v.data(), v.size()); }

bool find(vbtree* t, const std::string& k, std::string* v = nullptr) {
  const void* value;
  std::size_t n;
  if (!vbtreeFind(t, k.data(), k.size(), &value, &n)) return false;
  if (v) v->assign(static_cast<const char*>(value), n);
  return true;
}

// Every record by the cursor, forwards; backwards must give the same.
Model walk(vbtree* t) {
  Model m;
  const void *k, *v;
  std::size_t kl, vl;
  for (bool more = vbtreeCursor(t, &k, &kl, &v, &vl, vbtreeFIRST); more; more = vbtreeCursor(t, &k, &kl, &v, &vl, vbtreeNEXT))
    m.emplace(std::string(static_cast<const char*>(k), kl), std::string(static_cast<const char*>(v), vl));
  Model back;
  for (bool more = vbtreeCursor(t, &k, &kl, &v, &vl, vbtreeLAST); more; more = vbtreeCursor(t, &k, &kl, &v, &vl, vbtreePREVIOUS)) {
    std::string key(static_cast<const char*>(k), kl);
    EXPECT_TRUE(back.empty() || key < back.begin()->first) << "backward order";
    back.emplace(key, std::string(static_cast<const char*>(v), vl));
  }
  EXPECT_EQ(back, m);
  return m;
}

std::string randomText(std::mt19937& rng, std::size_t maxLength) {
  std::string s(std::uniform_int_distribution<std::size_t>(0, maxLength)(rng), '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

class Btree : public ::testing::Test {
 protected:
  fs::path dir = [] {
    char tmpl[] = "/tmp/btreeXXXXXX";
    return fs::path(mkdtemp(tmpl));
  }();
  void TearDown() override {
    _vbtreeSetForeignOrder(false);
    fs::remove_all(dir);
  }
};

TEST_F(Btree, RandomKeysAgainstAMapReopenedInBothByteOrders) {
  for (bool foreign : {false, true}) {
    SCOPED_TRACE(foreign ? "other byte order" : "this byte order");
    _vbtreeSetForeignOrder(foreign);
    Path file(dir / (foreign ? "other.vr" : "same.vr"));
    unsigned char client[vbtreeCLIENT_HEADER] = "client header";
    vbtree* t = vbtreeCreate(file.p, 0, 1024, client);
    ASSERT_NE(t, nullptr);
    _vbtreeSetForeignOrder(false);
    std::mt19937 rng(foreign ? 7 : 11);
    Model model;
    for (int i = 0; i < 4000; ++i) {
      std::string k = randomText(rng, i % 50 == 0 ? 600 : 24), v = randomText(rng, i % 40 == 0 ? 3000 : 60);
      put(t, k, v);
      model[k] = v;
      if (i % 3 == 0) {
        std::string gone = randomText(rng, 24);
        EXPECT_EQ(vbtreeDelete(t, gone.data(), gone.size()), model.erase(gone) == 1);
      }
    }
    for (int i = 0; i < 600; ++i) {  // deletions of keys present
      auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
      EXPECT_TRUE(vbtreeDelete(t, it->first.data(), it->first.size()));
      model.erase(it);
    }
    EXPECT_EQ(vbtreeClose(t), 0);

    unsigned char back[vbtreeCLIENT_HEADER] = {};
    t = vbtreeOpen(file.p, vbtreeWRITE, back);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(reinterpret_cast<char*>(back), "client header");
    EXPECT_EQ(walk(t), model);
    std::string v;
    for (const auto& [key, value] : model) {
      ASSERT_TRUE(find(t, key, &v));
      EXPECT_EQ(v, value);
    }
    EXPECT_FALSE(find(t, std::string(700, 'z')));
    // Changes after reopening go to the file in its own byte order.
    put(t, "after", "reopen");
    model["after"] = "reopen";
    EXPECT_EQ(vbtreeClose(t), 0);
    std::string bytes = readBytes(dir / (foreign ? "other.vr" : "same.vr"));
    std::uint32_t mark;
    std::memcpy(&mark, bytes.data() + 36, 4);
    EXPECT_EQ(mark, foreign ? __builtin_bswap32(4321u) : 4321u);
    t = vbtreeOpen(file.p, vbtreeREAD, nullptr);
    EXPECT_EQ(walk(t), model);
    EXPECT_EQ(vbtreeIsWritable(t), 0);
    vbtreeClose(t);
  }
}

TEST_F(Btree, RecordFormsAtEveryLengthBoundary) {
  Path file(dir / "forms.vr");
  vbtree* t = vbtreeCreate(file.p, 0, 4096, nullptr);
  Model model;
  // 255/256: short and long form; 384-511 and 640-767 would collide;
  // 819 (page size / 5) goes to an overflow chain.
  for (std::size_t n : {0, 1, 255, 256, 383, 384, 385, 511, 512, 639, 640, 767, 768, 818, 819, 2000}) {
    std::string k(n, 'k'), v(n, 'v');
    if (n) k.back() = 'a' + static_cast<char>(n % 26);
    put(t, k, v);
    model[k] = v;
  }
  put(t, "value", std::string(65536 + 5, 'x'));
  model["value"] = std::string(65536 + 5, 'x');
  vbtreeClose(t);
  t = vbtreeOpen(file.p, vbtreeWRITE, nullptr);
  EXPECT_EQ(walk(t), model);
  // Replacing keeps one record per key, in place or not.
  put(t, std::string(255, 'k').replace(254, 1, 1, 'a' + 255 % 26), std::string(255, 'w'));
  put(t, "value", "short");
  model[std::string(255, 'k').replace(254, 1, 1, 'a' + 255 % 26)] = std::string(255, 'w');
  model["value"] = "short";
  EXPECT_EQ(walk(t), model);
  vbtreeClose(t);
}

TEST_F(Btree, NewFileNotProperlyClosedAndCleanClose) {
  Path file(dir / "new.vr");
  vbtree* t = vbtreeCreate(file.p, 0, 0, nullptr);
  EXPECT_EQ(vbtreeGetPageSize(t), 4096u);
  const void* k;
  std::size_t kl;
  EXPECT_FALSE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreeFIRST));
  put(t, "a", "1");
  vbtreeClose(t);
  EXPECT_EQ(fs::file_size(dir / "new.vr"), 2u * 4096);
  std::string clean = readBytes(dir / "new.vr");
  std::uint32_t flags;
  std::memcpy(&flags, clean.data() + 32, 4);
  EXPECT_EQ(flags & vbtreeNOT_CLOSED, 0u);

  // A process that ends without closing leaves the mark set.
  pid_t pid = fork();
  if (pid == 0) {
    vbtree* w = vbtreeOpen(file.p, vbtreeWRITE, nullptr);
    for (int i = 0; i < 5000; ++i) put(w, "key" + std::to_string(i), std::string(100, 'v'));
    _exit(0);
  }
  int status;
  waitpid(pid, &status, 0);
  std::string left = readBytes(dir / "new.vr");
  std::string message;
  EXPECT_EQ(raised([&] { vbtreeOpen(file.p, vbtreeWRITE, nullptr); }, &message), &vbtreeNotClosedClass);
  EXPECT_EQ(message, "File was not properly closed");
  EXPECT_EQ(readBytes(dir / "new.vr"), left);  // untouched
}

TEST_F(Btree, BadHeadersAreRefused) {
  Path file(dir / "h.vr");
  EXPECT_EQ(raised([&] { vbtreeCreate(file.p, 0, 511, nullptr); }), &vexArgRangeClass);
  vbtreeClose(vbtreeCreate(file.p, 0, 512, nullptr));
  std::string good = readBytes(dir / "h.vr");
  struct Case {
    std::size_t offset;
    std::uint32_t value;
  } cases[] = {{24, 256}, {24, 131072}, {36, 1234}, {40, 2}, {28, 99}};
  for (const auto& c : cases) {
    std::string bad = good;
    std::memcpy(bad.data() + c.offset, &c.value, 4);
    writeBytes(dir / "h.vr", bad);
    EXPECT_EQ(vbtreeOpen(file.p, vbtreeREAD, nullptr), nullptr) << c.offset << " " << c.value;
  }
  writeBytes(dir / "h.vr", good.substr(0, 40));
  EXPECT_EQ(vbtreeOpen(file.p, vbtreeREAD, nullptr), nullptr);

  // A free list that loops would hand a page out twice.
  vbtree* t = vbtreeCreate(file.p, 0, 512, nullptr);
  put(t, "a", std::string(2000, 'a'));
  put(t, "b", "b");
  vbtreeDelete(t, "a", 1);
  vbtreeClose(t);
  std::string freed = readBytes(dir / "h.vr");
  std::uint32_t head;
  std::memcpy(&head, freed.data() + 28, 4);
  ASSERT_NE(head, 0u);
  t = vbtreeOpen(file.p, vbtreeREAD, nullptr);
  ASSERT_NE(t, nullptr);
  vbtreeClose(t);
  std::memcpy(freed.data() + head * 512 + 8, &head, 4);
  writeBytes(dir / "h.vr", freed);
  EXPECT_EQ(vbtreeOpen(file.p, vbtreeWRITE, nullptr), nullptr);
}

// An overflow chain is read page by page exactly as far as its length
// says: a page met twice, a chain that stops early or runs on is damage.
TEST_F(Btree, OverflowChainsThatLoopOrRunOnAreDamage) {
  Path file(dir / "o.vr");
  vbtree* t = vbtreeCreate(file.p, 0, 512, nullptr);
  const std::string value(2000, 'v');
  put(t, "a", value);
  put(t, "b", "b");
  vbtreeClose(t);
  const std::string good = readBytes(dir / "o.vr");
  std::vector<std::uint32_t> chain;  // the chain's pages in order
  for (std::uint32_t n = 1; n * 512 < good.size(); ++n) {
    std::uint32_t flags, length;
    std::memcpy(&flags, good.data() + n * 512 + 12, 4);
    std::memcpy(&length, good.data() + n * 512 + 24, 4);
    if (flags == 3 && length == value.size()) chain.push_back(n);
  }
  ASSERT_EQ(chain.size(), 1u);
  for (std::uint32_t next; chain.size() < 6; chain.push_back(next)) {
    std::memcpy(&next, good.data() + chain.back() * 512 + 8, 4);
    if (!next) break;
  }
  ASSERT_EQ(chain.size(), 5u);  // 484 bytes in the first page, 488 in each after
  struct Case {
    std::size_t page;  // whose right link changes
    std::uint32_t right;
  } cases[] = {{0, chain[0]}, {2, chain[1]}, {3, chain[3]}, {4, chain[1]}, {4, 1}, {1, 0}};
  for (const Case& c : cases) {
    std::string bad = good;
    std::memcpy(bad.data() + chain[c.page] * 512 + 8, &c.right, 4);
    writeBytes(dir / "o.vr", bad);
    vbtree* x = vbtreeOpen(file.p, vbtreeREAD, nullptr);
    ASSERT_NE(x, nullptr);
    std::string found;
    EXPECT_EQ(raised([&] { find(x, "a", &found); }), &vbtreeManagerClass) << c.page << " -> " << c.right;
    vbtreeClose(x);
  }
  writeBytes(dir / "o.vr", good);
  vbtree* x = vbtreeOpen(file.p, vbtreeREAD, nullptr);
  std::string found;
  EXPECT_TRUE(find(x, "a", &found));
  EXPECT_EQ(found, value);
  vbtreeClose(x);
}

TEST_F(Btree, TruncatedAndBitFlippedFilesFailWithoutHarm) {
  Path file(dir / "c.vr");
  vbtree* t = vbtreeCreate(file.p, 0, 512, nullptr);
  std::mt19937 rng(3);
  std::vector<std::string> keys;
  for (int i = 0; i < 400; ++i) {
    keys.push_back(randomText(rng, 30) + std::to_string(i));
    put(t, keys.back(), randomText(rng, i % 20 ? 40 : 300));
  }
  vbtreeClose(t);
  std::string good = readBytes(dir / "c.vr");
  auto exercise = [&] {
    vbtree* x = nullptr;
    raised([&] { x = vbtreeOpen(file.p, vbtreeWRITE, nullptr); });
    if (!x) return;
    raised([&] {
      for (const std::string& k : keys) find(x, k);
    });
    raised([&] {
      const void *k, *v;
      std::size_t kl, vl;
      for (int mode : {vbtreeFIRST, vbtreeLAST})
        for (bool more = vbtreeCursor(x, &k, &kl, &v, &vl, mode); more;
             more = vbtreeCursor(x, &k, &kl, &v, &vl, mode == vbtreeFIRST ? vbtreeNEXT : vbtreePREVIOUS)) {
        }
    });
    raised([&] { put(x, "new", "value"); });
    raised([&] {
      for (int i = 0; i < 40; ++i) vbtreeDelete(x, keys[i].data(), keys[i].size());
    });
    vbtreeClose(x);
  };
  for (int trial = 0; trial < 150; ++trial) {
    std::string bad = good;
    if (trial % 3 == 0) {
      bad.resize(rng() % good.size());
    } else {
      for (int flips = 0; flips < 1 + trial % 4; ++flips) bad[512 + rng() % (bad.size() - 512)] ^= static_cast<char>(1 << (rng() % 8));
    }
    writeBytes(dir / "c.vr", bad);
    exercise();
  }
  // Records said to start past where they lie: a delete must fail, not
  // move bytes from outside the page.
  {
    std::string bad = good;
    const std::uint32_t late = 512 - 4;
    for (std::size_t page = 512; page + 512 <= bad.size(); page += 512) std::memcpy(bad.data() + page + 20, &late, 4);
    writeBytes(dir / "c.vr", bad);
    vbtree* x = vbtreeOpen(file.p, vbtreeWRITE, nullptr);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(raised([&] { vbtreeDelete(x, keys[0].data(), keys[0].size()); }), &vbtreeManagerClass);
    vbtreeClose(x);
  }
  // A damaged child pointer: the find fails and the file is never written.
  std::string bad = good;
  std::uint32_t child = 0xFFFF, slotEnd, slot;
  std::memcpy(&slotEnd, bad.data() + 512 + 16, 4);
  for (std::uint32_t at = 24; at < slotEnd; at += 4) {
    std::memcpy(&slot, bad.data() + 512 + at, 4);
    std::memcpy(bad.data() + 512 + slot + 4, &child, 4);
  }
  writeBytes(dir / "c.vr", bad);
  vbtree* x = vbtreeOpen(file.p, vbtreeWRITE, nullptr);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(raised([&] { find(x, keys[0]); }), &vbtreeManagerClass);
  put(x, "ignored", "value");
  vbtreeClose(x);
  EXPECT_EQ(readBytes(dir / "c.vr"), bad);
}

TEST_F(Btree, CursorsOverDeletionsAndEmptyLeaves) {
  vbtree* t = vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  Model model;
  for (int i = 0; i < 2000; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "%05d", i);
    put(t, key, std::string(50, 'a' + i % 26));
    model[key] = std::string(50, 'a' + i % 26);
  }
  // Deleting the record under the cursor: the next step gives the one after.
  std::string seek = "00100";
  const void* k = seek.data();
  std::size_t kl = seek.size();
  ASSERT_TRUE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreeSEEK));
  EXPECT_TRUE(vbtreeDelete(t, "00100", 5));
  model.erase("00100");
  ASSERT_TRUE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreeNEXT));
  EXPECT_EQ(std::string(static_cast<const char*>(k), kl), "00101");
  ASSERT_TRUE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreePREVIOUS));
  EXPECT_EQ(std::string(static_cast<const char*>(k), kl), "00099");
  // A run of deleted records leaves empty leaves that cursors step over.
  for (int i = 300; i < 1500; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "%05d", i);
    ASSERT_TRUE(vbtreeDelete(t, key, 5));
    model.erase(key);
  }
  EXPECT_EQ(walk(t), model);
  seek = "00400";
  k = seek.data(), kl = seek.size();
  ASSERT_TRUE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreeSEEK));
  EXPECT_EQ(std::string(static_cast<const char*>(k), kl), "01500");
  for (auto& [key, value] : model) vbtreeDelete(t, key.data(), key.size());
  EXPECT_FALSE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreeFIRST));
  EXPECT_FALSE(vbtreeCursor(t, &k, &kl, nullptr, nullptr, vbtreeLAST));
  vbtreeClose(t);
}

TEST_F(Btree, CompactionKeepsEveryRecord) {
  vbtree* source = vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  std::mt19937 rng(5);
  Model model;
  for (int i = 0; i < 3000; ++i) {
    std::string key = randomText(rng, i % 100 == 0 ? 1000 : 20), value = randomText(rng, i % 70 == 0 ? 5000 : 30);
    put(source, key, value);
    model[key] = value;
  }
  vbtree* dest = vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  vbtreeCompact(source, dest);
  EXPECT_EQ(walk(dest), model);
  EXPECT_LT(vbtreeGetLastPage(dest), vbtreeGetLastPage(source));
  std::string v;
  EXPECT_TRUE(find(dest, model.begin()->first, &v));  // the smallest key too
  EXPECT_EQ(raised([&] { vbtreeCompact(source, dest); }), &vexArgClass);
  // Puts still work on a compacted tree.
  put(dest, "zz-after", "x");
  model["zz-after"] = "x";
  EXPECT_EQ(walk(dest), model);
  vbtreeClose(dest);

  // A small tree compacts into its root alone.
  vbtree* small = vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  put(small, "b", "2"), put(small, "a", "1");
  dest = vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  vbtreeCompact(small, dest);
  EXPECT_EQ(walk(dest), (Model{{"a", "1"}, {"b", "2"}}));
  EXPECT_EQ(vbtreeGetLastPage(dest), 1u);
  vbtreeClose(dest), vbtreeClose(small), vbtreeClose(source);
}

// Parses the generated C source back into page images.
std::vector<std::vector<unsigned char>> parseSource(const std::string& text) {
  std::vector<std::vector<unsigned char>> pages;
  std::size_t at = 0;
  while ((at = text.find("[] = {", at)) != std::string::npos) {
    std::size_t end = text.find("};", at);
    std::string body = text.substr(at + 6, end - at - 6);
    at = end;
    if (body.find('_') != std::string::npos) break;  // the array of pages
    std::vector<unsigned char> bytes;
    std::stringstream ss(body);
    std::string number;
    while (std::getline(ss, number, ',')) bytes.push_back(static_cast<unsigned char>(std::stoi(number)));
    pages.push_back(bytes);
  }
  return pages;
}

TEST_F(Btree, SourceImageSaveAsAndLoad) {
  vbtree* t = vbtreeOpen(nullptr, vbtreeWRITE, nullptr);
  Model model;
  for (int i = 0; i < 300; ++i) {
    std::string key = "k" + std::to_string(i * 7919 % 1000), value(i % 50 == 0 ? 1200 : 8, 'a' + i % 26);
    put(t, key, value);
    model[key] = value;
  }
  Path out(dir / "tree.c");
  vfsStream* s = vfsOpenFile(out.p, vfsOPEN_WRITE);
  vbtreeWriteSource(t, s, "tree");
  vfsCloseFile(s);
  std::string text = readBytes(dir / "tree.c");
  EXPECT_EQ(text.rfind("/* THIS IS A GENERATED FILE. */\n/* DO NOT EDIT THIS FILE. */\n\n", 0), 0u);
  EXPECT_NE(text.find("const unsigned char * const tree[] = {\n_treePage0, "), std::string::npos);
  auto pages = parseSource(text);
  ASSERT_EQ(pages.size(), vbtreeGetLastPage(t) + 1);
  EXPECT_EQ(pages[0].size(), 44u);
  std::vector<const unsigned char*> images;
  for (auto& p : pages) images.push_back(p.data());
  images.push_back(nullptr);
  vbtree* image = vbtreeOpenImage(images.data());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(walk(image), model);
  EXPECT_EQ(vbtreeIsWritable(image), 0);
  vbtreeClose(image);

  Path file(dir / "saved.vr");
  writeBytes(dir / "saved.vr", "old contents");
  vbtree* saved = vbtreeSaveAs(t, file.p, 0, nullptr);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(walk(saved), model);
  vbtreeClose(saved);
  vbtree* loaded = vbtreeLoad(file.p, nullptr);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(walk(loaded), model);
  vbtreeClose(loaded);
  vbtreeClose(t);
  std::size_t files = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 2u);  // no temporary left behind
}

}  // namespace

namespace {

// A file cut or overwritten after it was opened: the damage met on the next
// read names the file (a memory tree has none to name).
TEST_F(Btree, DamageFoundAfterTheOpenNamesTheFile) {
  const fs::path name = dir / "late.vr";
  {
    Path file(name);
    vbtree* t = vbtreeCreate(file.p, 0, 0, nullptr);
    for (int i = 0; i < 3000; ++i) put(t, "key" + std::to_string(i), std::string(100, 'v'));
    vbtreeClose(t);
  }
  const std::string whole = readBytes(name);
  struct damage {
    const char* what;
    std::function<void()> make;
  };
  const damage cases[] = {
      {"cut to two pages", [&] { fs::resize_file(name, 2 * 4096); }},
      {"pages overwritten", [&] { writeBytes(name, whole.substr(0, 2 * 4096) + std::string(whole.size() - 2 * 4096, 'x')); }},
  };
  for (const damage& d : cases) {
    SCOPED_TRACE(d.what);
    writeBytes(name, whole);
    Path file(name);
    vbtree* t = vbtreeOpen(file.p, vbtreeREAD, nullptr);
    ASSERT_NE(t, nullptr);
    d.make();
    std::string message;
    EXPECT_EQ(raised([&] {
                for (int i = 0; i < 3000; i += 97) find(t, "key" + std::to_string(i));
              }, &message),
              &vbtreeManagerClass);
    EXPECT_NE(message.find(" in " + name.string()), std::string::npos) << message;
    vexTry([&] { vbtreeClose(t); });
  }
}

}  // namespace
