// Random resource trees built through the public calls in either store
// (the input's first byte picks it): dictionaries, integers, strings and
// integer arrays filed under a few tags, random subtrees removed, the file
// saved and reopened along the way. A model of what was made is kept; at
// every reopen and at the end the file must read back exactly as the
// model, and nothing may raise but the nesting bound.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/data/vresource.h"

namespace {

struct Node {
  int kind = vresDICTIONARY;  // or vresINTEGER, vresSTRING, vresARRAY (of integers)
  std::int32_t value = 0;
  std::string text;
  std::vector<std::int32_t> elements;
  std::map<std::string, Node> children;
};

[[noreturn]] void mismatch(const char* what) {
  std::fprintf(stderr, "resource tree read back wrong: %s\n", what);
  std::abort();
}

struct Input {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t next() {
    if (!n) return 0;
    --n;
    return *p++;
  }
};

const char* const TAGS[] = {"A", "B", "C", "D", "E", "F", "G", "H"};
vname tagOf(const std::string& name) { return vnameIntern(vscribeCString(name.c_str())); }

// The dictionaries of the model by their paths of tags, root first.
void dictionaries(Node& n, std::vector<std::string>& path, std::vector<std::pair<std::vector<std::string>, Node*>>& out) {
  out.emplace_back(path, &n);
  for (auto& [name, child] : n.children)
    if (child.kind == vresDICTIONARY) {
      path.push_back(name);
      dictionaries(child, path, out);
      path.pop_back();
    }
}

vresource resolve(vresource root, const std::vector<std::string>& path) {
  for (const std::string& name : path) root = vresourceGet(root, tagOf(name));
  return root;
}

void check(vresource h, const Node& n) {
  if (vresourceGetType(h, nullptr) != n.kind) mismatch("kind");
  switch (n.kind) {
    case vresDICTIONARY: {
      if (vresourceCount(h) != static_cast<std::int32_t>(n.children.size())) mismatch("entry count");
      for (const auto& [name, child] : n.children) {
        vresource c = 0;
        if (!vresourceTestGet(h, tagOf(name), &c)) mismatch("entry missing");
        if (child.kind == vresDICTIONARY || child.kind == vresARRAY) {
          check(c, child);
        } else if (child.kind == vresINTEGER) {
          if (vresourceGetInteger(h, tagOf(name)) != child.value) mismatch("integer");
        } else if (vresourceGetStringText(h, tagOf(name)) != child.text) {
          mismatch("string");
        }
      }
      break;
    }
    case vresARRAY:
      if (vresourceGetElementType(h) != vresINTEGER) mismatch("element kind");
      if (vresourceCount(h) != static_cast<std::int32_t>(n.elements.size())) mismatch("element count");
      for (std::size_t i = 0; i < n.elements.size(); ++i)
        if (vresourceGetAtInteger(h, static_cast<std::int32_t>(i)) != n.elements[i]) mismatch("element");
      break;
    default: break;
  }
}

bool tooDeep() {
  vexException* e = vexGetCurrentException();
  return e && e->cls == &vexModuleLimitClass && e->message == vscrapTOO_DEEP;
}

// Runs one change; a refusal by the nesting bound leaves the model as it
// was, anything else raised is a finding.
template <class F>
bool change(F body) {
  bool ok = true;
  vexGuard(body, [&](vexHandler& h) {
    if (!tooDeep()) {
      vexPrintChain(stderr);
      mismatch("a change raised");
    }
    vexSetCurrentException(h.savedChain);
    ok = false;
  });
  return ok;
}

std::string scratchFile() { return "/tmp/fuzz_restree." + std::to_string(getpid()) + ".res"; }

vresource saveAndReopen(vresource root, const Node& model) {
  std::string file = scratchFile();
  vfsPath* path = vfsNewPathFromString(file.c_str());
  vresourceCloseFile(vresourceSaveFile(root, path, 0600));
  vresourceCloseFile(root);
  root = vresourceOpenFile(path, vfsOPEN_READ_WRITE);
  vfsFreePath(path);
  check(root, model);
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Input in{data, size};
  Node model;
  vresource root = vresourceCreateMemoryIn(in.next() & 1);
  for (int steps = 0; in.n && steps < 400; ++steps) {
    std::uint8_t op = in.next() % 8, pick = in.next(), name = in.next();
    std::vector<std::pair<std::vector<std::string>, Node*>> dicts;
    std::vector<std::string> path;
    dictionaries(model, path, dicts);
    auto& [where, node] = dicts[pick % dicts.size()];
    std::string tag = TAGS[name % 8];
    vresource d = resolve(root, where);
    // A scalar set over a child of another kind: the stores differ there
    // (the chunk store refuses it), so the child goes first.
    int kind = op == 2 ? vresINTEGER : op == 3 ? vresSTRING : 0;
    if (auto it = node->children.find(tag); kind && it != node->children.end() && it->second.kind != kind) {
      change([&] { vresourceRemove(d, tagOf(tag)); });
      node->children.erase(it);
    }
    switch (op) {
      case 0: case 1:
        if (change([&] { vresourceCreate(d, tagOf(tag), vresDICTIONARY); })) node->children[tag] = Node{};
        break;
      case 2: {
        std::int32_t v = static_cast<std::int32_t>(std::uint32_t(in.next()) << 24 | std::uint32_t(in.next()) << 3);
        if (change([&] { vresourceSetInteger(d, tagOf(tag), v); })) {
          Node n;
          n.kind = vresINTEGER, n.value = v;
          node->children[tag] = n;
        }
        break;
      }
      case 3: {
        std::string text(in.next() % 20, static_cast<char>('a' + name % 26));
        if (change([&] { vresourceSetStringSized(d, tagOf(tag), text.data(), text.size()); })) {
          Node n;
          n.kind = vresSTRING, n.text = text;
          node->children[tag] = n;
        }
        break;
      }
      case 4: {
        Node n;
        n.kind = vresARRAY;
        n.elements.resize(in.next() % 40);
        for (std::size_t i = 0; i < n.elements.size(); i += 1 + in.next() % 4)
          n.elements[i] = static_cast<std::int32_t>(in.next()) * (i % 3 ? 1 : -70001);
        if (change([&] {
              vresource a = vresourceCreateArray(d, tagOf(tag), vresINTEGER, static_cast<std::int32_t>(n.elements.size()));
              for (std::size_t i = 0; i < n.elements.size(); ++i)
                if (n.elements[i]) vresourceSetAtInteger(a, static_cast<std::int32_t>(i), n.elements[i]);
            }))
          node->children[tag] = n;
        break;
      }
      case 5: case 6:
        change([&] { vresourceRemove(d, tagOf(tag)); });
        node->children.erase(tag);
        break;
      default:
        root = saveAndReopen(root, model);
        break;
    }
  }
  root = saveAndReopen(root, model);
  vresourceCloseFile(root);
  std::remove(scratchFile().c_str());
  return 0;
}
