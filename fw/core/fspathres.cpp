// Paths stored in and loaded from resource dictionaries. Booleans are
// resources of the boolean type whose value is set and read as an integer.
#include <cstring>
#include <string>
#include <vector>

#include "fw/core/fs_internal.h"
#include "fw/core/resource.h"

namespace {

struct Keys {
  vname tag = vnameInternLiteral("vfsPath");
  vname version = vnameInternLiteral("Version");
  vname pathType = vnameInternLiteral("PathType");
  vname elems = vnameInternLiteral("Elems");
  vname flags = vnameInternLiteral("Flags");
  vname volName = vnameInternLiteral("VolName");
  vname volRef = vnameInternLiteral("VolRef");
};

const Keys& keys() {
  static const Keys k;
  return k;
}

[[noreturn]] void notAPath() { vexGenerateMessage(&vexArgClass, "load path: resource not a legal vfsPath"); }

// The array under key, checked to hold count resources of type type.
vresource arrayOf(vresource dict, vname key, int type, int count) {
  const vresourceInterface* io = vresourceGetInterface();
  vresource a;
  if (!io->find(dict, key, &a) || io->type(a) != vresARRAY || io->count(a) != count) notAPath();
  for (int i = 0; i < count; ++i)
    if (io->type(io->element(a, i)) != type) notAPath();
  return a;
}

}  // namespace

void vfsStorePath(const vfsPath* path, vresource r) {
  const vresourceInterface* io = vresourceGetInterface();
  const Keys& k = keys();
  const vfsPathRules* rules = vfsGetPathRules();
  vresourceSetTagAt(r, vname_Tag, k.tag);
  vresourceSetIntegerAt(r, k.version, 1);
  vresourceSetIntegerAt(r, k.pathType, static_cast<std::int32_t>(path->kind & vfsPATH_KIND));
  if (path->elemBegin == path->elemEnd) {
    io->remove(r, k.elems);
    io->remove(r, k.flags);
  } else {
    vresource elems = io->make(r, k.elems, vresARRAY);
    vresource flags = io->make(r, k.flags, vresARRAY);
    for (vstr** e = path->elemBegin; e != path->elemEnd; ++e) {
      bool current = std::strcmp(*e, rules->currentDir) == 0, parent = std::strcmp(*e, rules->parentDir) == 0;
      io->setString(io->append(elems, vresSTRING), current ? " " : parent ? "  " : *e);
      io->setInteger(io->append(flags, vresBOOLEAN), current || parent);
    }
  }
  if (path->volume)
    io->setString(io->make(r, k.volName, vresSTRING), path->volume->text);
  else
    io->remove(r, k.volName);
  io->remove(r, k.volRef);
}

vfsPath* vfsLoadPath(vresource r) {
  const vresourceInterface* io = vresourceGetInterface();
  const Keys& k = keys();
  const vfsPathRules* rules = vfsGetPathRules();
  vname tag = nullptr;
  std::int32_t version = 0, kind = 0;
  if (!vresourceTestGetTag(r, vname_Tag, &tag) || tag != k.tag || !vresourceTestGetInteger(r, k.version, &version) ||
      version != 1 || !vresourceTestGetInteger(r, k.pathType, &kind))
    notAPath();
  if (kind != vfsPATH_SINGLE && kind != vfsPATH_ROOTED && kind != vfsPATH_RELATIVE) notAPath();
  std::vector<std::string> elements;
  vresource found;
  if (io->find(r, k.elems, &found)) {
    int n = io->type(found) == vresARRAY ? io->count(found) : -1;
    if (n < 0 || n > static_cast<int>(vfsMAX_PATH / 2)) notAPath();
    vresource elems = arrayOf(r, k.elems, vresSTRING, n);
    vresource flags = arrayOf(r, k.flags, vresBOOLEAN, n);
    for (int i = 0; i < n; ++i) {
      std::string text = io->getString(io->element(elems, i));
      if (io->getInteger(io->element(flags, i))) {
        if (text.size() == 1) text = rules->currentDir;
        else if (text.size() == 2) text = rules->parentDir;
      }
      if (text.empty() || text.size() > vfsMAX_ELEMENT || text.find(rules->separator) != std::string::npos) notAPath();
      elements.push_back(std::move(text));
    }
  }
  const char* volume = nullptr;
  if (io->find(r, k.volName, &found)) {
    if (io->type(found) != vresSTRING) notAPath();
    volume = io->getString(found);
  }
  auto* p = static_cast<vfsPath*>(vpoolAlloc(fsint::pathPool()));
  *p = vfsPath{nullptr, nullptr, nullptr, static_cast<unsigned>(kind)};
  vexGuard(
      [&] {
        for (const std::string& e : elements) vfsAppendPathElements(p, e.c_str(), nullptr);
        p->kind = static_cast<unsigned>(kind);
        if (volume) vfsSetPathVolume(p, volume);
      },
      [&](vexHandler&) {
        vfsFreePath(p);
        _vexGenerate(nullptr, vexEnd);
      });
  return p;
}
