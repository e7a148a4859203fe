// An in-memory stand-in for the resource interface: a tree of typed nodes
// addressed by their index.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "fw/core/resource.h"

class MemoryResources {
 public:
  MemoryResources() { vresourceSetInterface(&table); }
  ~MemoryResources() { vresourceSetInterface(nullptr); }
  MemoryResources(const MemoryResources&) = delete;
  MemoryResources& operator=(const MemoryResources&) = delete;

  vresource newDict() { return add(vresDICTIONARY); }
  vresource newArray() { return add(vresARRAY); }

 private:
  struct Node {
    int type = vresUNTYPED;
    vname tag = nullptr;
    std::int32_t integer = 0;
    std::string text;
    std::vector<std::pair<vname, vresource>> entries;  // dictionary
    std::vector<vresource> elements;                   // array
  };
  static inline std::vector<Node> nodes;

  static vresource add(int type) {
    Node n;
    n.type = type;
    nodes.push_back(std::move(n));
    return static_cast<vresource>(nodes.size() - 1);
  }
  static Node& at(vresource r) { return nodes.at(static_cast<std::size_t>(r)); }
  static void become(vresource r, int type) {
    if (at(r).type == vresUNTYPED) at(r).type = type;
  }

  static int type(vresource r) { return at(r).type; }
  static int find(vresource d, vname key, vresource* out) {
    if (at(d).type != vresDICTIONARY) return 0;
    for (auto& [k, v] : at(d).entries)
      if (k == key) return *out = v, 1;
    return 0;
  }
  static vresource make(vresource d, vname key, int t) {
    vresource child = add(t);
    for (auto& [k, v] : at(d).entries)
      if (k == key) return v = child;
    at(d).entries.emplace_back(key, child);
    return child;
  }
  static void remove(vresource d, vname key) {
    auto& e = at(d).entries;
    for (auto it = e.begin(); it != e.end(); ++it)
      if (it->first == key) return void(e.erase(it));
  }
  static int count(vresource r) {
    return static_cast<int>(at(r).type == vresARRAY ? at(r).elements.size() : at(r).entries.size());
  }
  static vname entryName(vresource d, int i) { return at(d).entries.at(static_cast<std::size_t>(i)).first; }
  static vresource element(vresource r, int i) {
    return at(r).type == vresARRAY ? at(r).elements.at(static_cast<std::size_t>(i))
                                   : at(r).entries.at(static_cast<std::size_t>(i)).second;
  }
  static vresource append(vresource a, int t) {
    become(a, vresARRAY);
    vresource child = add(t);
    at(a).elements.push_back(child);
    return child;
  }
  static vname getTag(vresource r) { return at(r).tag; }
  static void setTag(vresource r, vname v) { become(r, vresTAG), at(r).tag = v; }
  static std::int32_t getInteger(vresource r) { return at(r).integer; }
  static void setInteger(vresource r, std::int32_t v) { become(r, vresINTEGER), at(r).integer = v; }
  static const char* getString(vresource r) { return at(r).text.c_str(); }
  static void setString(vresource r, const char* t) { become(r, vresSTRING), at(r).text = t; }

  static inline const vresourceInterface table{type,    find,    make,       remove, count,      entryName, element,
                                               append,  getTag,  setTag,     getInteger, setInteger, getString, setString};
};
