// The registry: devices, families, faces and sizes, interned matrices, the
// sorts and the nearest size.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/font_internal.h"

namespace vfontint {

State state;

namespace {

void zeroDriverSlots(vfontDriver* d);

}  // namespace

void ensure() {
  if (state.started) return;
  state.started = true;
  state.families = vpoolCreate(sizeof(vfontFamily));
  state.faces = vpoolCreate(sizeof(vfontFace));
  state.sizes = vpoolCreate(sizeof(vfont));
  state.matrices = vpoolCreate(sizeof(vmatrix));
  state.familyList.reserve(4);
  state.faceList.reserve(16);
  state.deviceCount = 0;
  state.deviceCapacity = 1;
  state.nameCache = vdictCreate(vdictHashName);
  state.faceWords = vdictCreate(vdictHashName);
  state.matrixSlots.assign(32, nullptr);
  state.matrixCount = 0;
  state.text.reserve(64);
  zeroDriverSlots(&state.driver);
}

void checkDevice(int device) {
  ensure();
  if (device >= state.deviceCount) _vexGenerate(&vexArgRangeClass, vexEnd);
}

namespace {

// The initial driver: every slot answers zero.
void zeroDriverSlots(vfontDriver* d) {
  *d = {nullptr,
        [](vfont*, vfixed* w, vfixed* s) { *w = *s = 0; },
        [](vfont*, vrectFixed* r) { *r = {0, 0, 0, 0}; },
        [](vfont*) -> vfixed { return 0; },
        [](vfont*) -> vfixed { return 0; },
        [](vfont*, const char*, int, vfixed* dx, vfixed* dy) { *dx = *dy = 0; },
        [](vfont*, const char*, int, vrectFixed* r) { *r = {0, 0, 0, 0}; }};
}

void checkDeviceIndex(int device) {
  ensure();
  if (device < 0 || device >= state.deviceCount) _vexGenerate(&vexArgRangeClass, vexEnd);
}

void setBit(std::uint32_t* mask, int device) {
  if (device >= 0) *mask |= std::uint32_t(1) << device;
}

bool lessText(vname a, vname b) { return std::strcmp(a, b) < 0; }

// ---- Matrix interning.

std::size_t hashOf(const vmatrix& m) {
  std::uint32_t words[6];
  std::memcpy(words, &m, sizeof words);
  std::uint32_t sum = 0;
  for (std::uint32_t w : words) sum += w;
  return sum;
}

void insertSlot(std::vector<const vmatrix*>& slots, const vmatrix* m) {
  std::size_t i = hashOf(*m) % slots.size();
  while (slots[i]) i = (i + 1) % slots.size();
  slots[i] = m;
}

// ---- Faces and their words.

const std::vector<vname>* wordsOf(vname faceName) {
  if (auto* w = static_cast<std::vector<vname>*>(vdictGet(state.faceWords, faceName))) return w;
  auto* words = state.wordLists.emplace_back(std::make_unique<std::vector<vname>>()).get();
  const char* p = faceName;
  while (*p) {
    const char* end = std::strchr(p, ' ');
    if (!end) end = p + std::strlen(p);
    words->push_back(vnameIntern(vscribeCStringSized(p, std::size_t(end - p))));
    p = *end ? end + 1 : end;
  }
  vdictStore(state.faceWords, faceName, words);
  return words;
}

void growDeviceWords(std::vector<vfontDeviceWord>& words) { words.resize(state.deviceCapacity, 0); }

void sortSizes(vfontFace* face) {
  if (face->flags & vfontFACE_SIZES_SORTED) return;
  // The comparison has a tolerance, so it need not be a strict order: an
  // insertion sort that never leaves the vector.
  auto& v = face->sizes;
  for (std::size_t i = 1; i < v.size(); ++i) {
    vfont* item = v[i];
    std::size_t j = i;
    double d;
    for (; j > 0 && vmatrixCompare(item->matrix, v[j - 1]->matrix, &d) < 0; --j) v[j] = v[j - 1];
    v[j] = item;
  }
  face->flags |= vfontFACE_SIZES_SORTED;
}

// Of two candidates, the one nearer the wanted matrix; the upper on a tie.
vfont* nearer(vfont* lower, vfont* upper, const vmatrix* wanted) {
  double dl, du;
  int kl = std::abs(vmatrixCompare(lower->matrix, wanted, &dl));
  int ku = std::abs(vmatrixCompare(upper->matrix, wanted, &du));
  if (kl != ku) return kl < ku ? lower : upper;
  return std::abs(dl) < std::abs(du) ? lower : upper;
}

bool hasDevice(const vfont* f, int device) { return (f->deviceMask >> device) & 1; }

}  // namespace
}  // namespace vfontint

using namespace vfontint;

const vmatrix* vfontInternMatrix(const vmatrix* matrix) {
  ensure();
  auto& slots = state.matrixSlots;
  std::size_t i = hashOf(*matrix) % slots.size();
  for (; slots[i]; i = (i + 1) % slots.size())
    if (std::memcmp(slots[i], matrix, sizeof(vmatrix)) == 0) return slots[i];
  auto* m = static_cast<vmatrix*>(vpoolAlloc(state.matrices));
  *m = *matrix;
  slots[i] = m;
  ++state.matrixCount;
  if (slots.size() - state.matrixCount < 4) {
    std::vector<const vmatrix*> bigger(slots.size() * 2, nullptr);
    for (const vmatrix* old : slots)
      if (old) insertSlot(bigger, old);
    slots.swap(bigger);
  }
  return m;
}

int vfontAllocDevice() {
  ensure();
  if (state.deviceCount >= vfontMAX_DEVICES) _vexGenerate(&vexModuleLimitClass, vexEnd);
  int device = state.deviceCount++;
  if (std::size_t(device) >= state.deviceCapacity) {
    state.deviceCapacity *= 2;
    for (vfontFamily* family : state.familyList) {
      growDeviceWords(family->deviceData);
      for (vfontFace* face : family->faces) {
        growDeviceWords(face->deviceData);
        for (vfont* size : face->sizes) growDeviceWords(size->deviceData);
      }
    }
  }
  return device;
}

int vfontCountDevices() {
  ensure();
  return state.deviceCount;
}

void vfontSetDriver(const vfontDriver* driver) {
  ensure();
  state.driver = *driver;
}

const vfontDriver* vfontGetDriver() {
  ensure();
  return &state.driver;
}

void vfontSetRegistrationHook(void (*hook)()) {
  ensure();
  state.hook = hook;
}

vfontFamily* vfontRegisterFamily(vname name, vname foundry, vname encoding, int flag, int device) {
  checkDevice(device);
  vfontFamily* family = nullptr;
  for (vfontFamily* f : state.familyList)
    if (f->name == name && f->foundry == foundry && f->encoding == encoding) {
      family = f;
      break;
    }
  if (!family) {
    family = new (vpoolAlloc(state.families)) vfontFamily{name, foundry, encoding,
                                                          std::uint16_t(flag ? vfontFAMILY_FLAGGED : 0), {}, 0, {}};
    family->faces.reserve(4);
    growDeviceWords(family->deviceData);
    state.familyList.push_back(family);
    state.familiesSorted = false;
  }
  setBit(&family->deviceMask, device);
  return family;
}

vfontFace* vfontRegisterFace(vfontFamily* family, vname name, int device) {
  checkDevice(device);
  vfontFace* face = nullptr;
  for (vfontFace* f : family->faces)
    if (f->name == name) {
      face = f;
      break;
    }
  if (!face) {
    face = new (vpoolAlloc(state.faces)) vfontFace{name, family, wordsOf(name), 0, {}, 0, {}};
    face->sizes.reserve(6);
    growDeviceWords(face->deviceData);
    family->faces.push_back(face);
    family->flags &= std::uint16_t(~vfontFAMILY_FACES_SORTED);
    state.faceList.push_back(face);
    state.facesSorted = false;
    for (auto& s : state.scratch) s.reserve(state.faceList.capacity());
  }
  setBit(&face->deviceMask, device);
  return face;
}

vfont* vfontRegisterSize(vfontFace* face, const vmatrix* matrix, int device) {
  checkDevice(device);
  vfont* size = vfontFindNearestSize(face, matrix, -1);
  double d;
  if (!size || vmatrixCompare(size->matrix, matrix, &d) != 0) {
    vmatrixFixed fixed;
    vmatrixToFixed(matrix, &fixed);
    std::uint16_t flags = 0;
    if (!(fixed.classBits & (vmatrixNEGATIVE_A | vmatrixNEGATIVE_D | vmatrixSKEW))) {
      flags |= vfontUPRIGHT;
      if (matrix->a == matrix->d) flags |= vfontUNIFORM;
    }
    size = new (vpoolAlloc(state.sizes)) vfont{vfontInternMatrix(matrix), face, nullptr, flags, 0, {}};
    growDeviceWords(size->deviceData);
    face->sizes.push_back(size);
    face->flags &= std::uint16_t(~vfontFACE_SIZES_SORTED);
  }
  setBit(&size->deviceMask, device);
  return size;
}

vfont* vfontRegisterFaceSize(vfontFace* face, double points) {
  vmatrix m{float(points), 0, 0, float(points), 0, 0};
  return vfontRegisterSize(face, &m, -1);
}

void vfontSetFaceDeviceData(vfontFace* face, int device, vfontDeviceWord word) {
  checkDeviceIndex(device);
  face->deviceData[std::size_t(device)] = word;
}

void vfontSetDeviceData(vfont* font, int device, vfontDeviceWord word) {
  checkDeviceIndex(device);
  font->deviceData[std::size_t(device)] = word;
}

int vfontCountFamilies() {
  ensure();
  if (state.familyList.empty() && state.hook) state.hook();
  if (!state.familiesSorted) {
    std::stable_sort(state.familyList.begin(), state.familyList.end(), [](const vfontFamily* a, const vfontFamily* b) {
      if (a->name != b->name) return lessText(a->name, b->name);
      if (a->foundry != b->foundry) return lessText(a->foundry, b->foundry);
      return lessText(a->encoding, b->encoding);
    });
    state.familiesSorted = true;
  }
  return int(state.familyList.size());
}

vfontFamily* vfontGetFamily(int index) {
  ensure();
  if (index < 0 || std::size_t(index) >= state.familyList.size()) _vexGenerate(&vexArgRangeClass, vexEnd);
  return state.familyList[std::size_t(index)];
}

int vfontCountFamilyFaces(vfontFamily* family) {
  if (!(family->flags & vfontFAMILY_FACES_SORTED)) {
    std::stable_sort(family->faces.begin(), family->faces.end(),
                     [](const vfontFace* a, const vfontFace* b) { return lessText(a->name, b->name); });
    family->flags |= vfontFAMILY_FACES_SORTED;
  }
  return int(family->faces.size());
}

int vfontCountFaceSizes(vfontFace* face) {
  sortSizes(face);
  return int(face->sizes.size());
}

vfont* vfontFindNearestSize(vfontFace* face, const vmatrix* matrix, int device) {
  auto& sizes = face->sizes;
  if (sizes.empty()) return nullptr;
  if (sizes.size() == 1) return device < 0 || hasDevice(sizes[0], device) ? sizes[0] : nullptr;
  sortSizes(face);
  std::size_t lo = 0, hi = sizes.size();
  while (hi - lo > 2) {
    std::size_t mid = lo + (hi - lo) / 2;
    double d;
    if (vmatrixCompare(sizes[mid]->matrix, matrix, &d) <= 0)
      lo = mid;
    else
      hi = mid + 1;
  }
  std::size_t upper = hi - 1;
  if (device >= 0) {
    std::size_t l = lo, u = upper;
    while (l > 0 && !hasDevice(sizes[l], device)) --l;
    while (u + 1 < sizes.size() && !hasDevice(sizes[u], device)) ++u;
    bool lowHas = hasDevice(sizes[l], device), upHas = hasDevice(sizes[u], device);
    if (!lowHas && !upHas) return nullptr;
    if (!lowHas) return sizes[u];
    if (!upHas) return sizes[l];
    lo = l, upper = u;
  }
  return nearer(sizes[lo], sizes[upper], matrix);
}

void _vfontShutdown() {
  if (!state.started) return;
  for (vfontFamily* f : state.familyList) f->~vfontFamily();
  for (vfontFace* f : state.faceList) {
    for (vfont* s : f->sizes) s->~vfont();
    f->~vfontFace();
  }
  vpoolDestroy(state.families);
  vpoolDestroy(state.faces);
  vpoolDestroy(state.sizes);
  vpoolDestroy(state.matrices);
  vdictDestroy(state.nameCache);
  vdictDestroy(state.faceWords);
  state = State{};
}
