// The font module's state, shared by the registry, description and measuring files.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "fw/core/dict.h"
#include "fw/core/ex.h"
#include "fw/core/mem.h"
#include "fw/core/scribe.h"
#include "fw/gui/graphics/font.h"

namespace vfontint {

// One parsed description term. Kinds 0-4 hold a word and its case variant, 5-6 a
// matrix, 7 a device index; NEGATED marks a leading "~".
enum TermKind : std::uint32_t {
  kBare = 0, kFamily = 1, kFoundry = 2, kEncoding = 3, kFace = 4, kMatrix = 5, kSize = 6, kDevice = 7,
  kNegated = 128,
};
struct Term {
  std::uint32_t kind;
  vname value = nullptr, variant = nullptr;
  vmatrix matrix{};
  int device = 0;
};

struct State {
  bool started = false;
  vpool* families = nullptr;
  vpool* faces = nullptr;
  vpool* sizes = nullptr;
  vpool* matrices = nullptr;
  std::vector<vfontFamily*> familyList;
  bool familiesSorted = false;
  std::vector<vfontFace*> faceList;
  bool facesSorted = false;
  std::vector<vfontFace*> scratch[2];  // candidate sets, as large as the face list
  int deviceCount = 0;
  std::size_t deviceCapacity = 1;
  void (*hook)() = nullptr;
  std::vector<Term> defaultTerms;
  vdict* nameCache = nullptr;                 // interned description -> vfont
  vdict* faceWords = nullptr;                 // interned face name -> std::vector<vname>*
  std::vector<std::unique_ptr<std::vector<vname>>> wordLists;
  std::vector<const vmatrix*> matrixSlots;     // open addressing, null = free
  std::size_t matrixCount = 0;
  std::string text;                            // scratch for built descriptions
  vfontDriver driver{};
};
extern State state;

void ensure();
// Arg/Range unless -1 <= device < the device count.
void checkDevice(int device);
void parseDescription(const char* text, std::vector<Term>* terms, vmatrix* size);


inline constexpr std::size_t kLocalText = 256;

// Runs measure (chars, length) over the scribe's text, which it releases:
// in place when flat, else through a local buffer or a counted string.
template <class Measure>
void withText(vscribe* s, Measure measure) {
  if (s->flags & vscribeTEXTINPLACE) {
    auto n = int(vscribeGetLength(s));
    const auto* text = static_cast<const char*>(s->data);
    vexGuard([&] { measure(text, n); },
             [&](vexHandler&) {
               vscribeRelease(s);
               _vexGenerate(nullptr, vexEnd);
             });
    vscribeRelease(s);
    return;
  }
  std::size_t n = vscribeGetLength(s);
  if (n <= kLocalText) {
    char local[kLocalText + 1];
    char* end = vscribeReadAll(s, local);
    measure(local, int(end - local));
    return;
  }
  vstr* str = vstrCloneScribed(s, nullptr);
  vexGuard([&] { measure(str, int(vstrGetLength(str))); },
           [&](vexHandler&) {
             vstrDestroy(str);
             _vexGenerate(nullptr, vexEnd);
           });
  vstrDestroy(str);
}

}  // namespace vfontint
