#include <algorithm>
#include <cstring>

#include "fw/core/ex.h"
#include "fw/core/scribe.h"
#include "fw/data/regexp.h"
#include "fw/gui/window/classops.h"

namespace {

struct Found {
  long offset = -1;  // in the block
  long length = 0;
};

}  // namespace

long vtextSearch(vinstance* text, long position, const char* pattern, char* buffer, int size, int mode,
                 vtextSearchTest test, int caseSensitive) {
  if (mode < vtextSEARCH_FORWARD || mode > vtextSEARCH_REGEXP_BACKWARD) return -1;
  if (test != nullptr && mode > vtextSEARCH_BACKWARD) return -1;
  if (test == nullptr && pattern == nullptr) return -1;
  const vwindowHooks& h = vwindowGetHooks();
  bool forwards = mode == vtextSEARCH_FORWARD || mode == vtextSEARCH_REGEXP_FORWARD;
  // Out of the text either way: a backward start beyond it would walk off the chain.
  if (position < 0 || position > h.textLength(text)) return -1;
  vtextBlock* block = h.textFirstBlock(text);
  if (block == nullptr) return -1;
  while (position > h.textBlockStart(block) + h.textBlockCount(block)) {
    block = h.textBlockNext(block);
    if (block == nullptr) return -1;
  }
  long offset = position - h.textBlockStart(block);
  if (forwards && offset == h.textBlockCount(block)) {
    block = h.textBlockNext(block);
    if (block == nullptr) return -1;
    offset = 0;
  } else if (!forwards && offset == 0) {
    return -1;
  }

  vregexp* expression = nullptr;
  if (test == nullptr && mode >= vtextSEARCH_REGEXP_FORWARD) {
    if (!vexTry([&] { expression = vregexpCompile(vscribeCString(pattern)); })) return -1;
    vregexpSetCaseSensitive(expression, caseSensitive);
    vregexpSetBackwards(expression, forwards ? 0 : 1);
  }
  long patternLength = pattern != nullptr ? static_cast<long>(std::strlen(pattern)) : 0;

  int previous = 0;
  Found found;
  while (block != nullptr) {
    const char* chars = h.textBlockChars(block);
    long count = h.textBlockCount(block);
    if (test != nullptr) {
      if (forwards) {
        for (long i = offset; i < count && found.offset < 0; ++i) {
          int c = static_cast<unsigned char>(chars[i]);
          if (test(text, previous, c)) found.offset = i;
          previous = c;
        }
      } else {
        for (long i = offset - 1; i >= 0 && found.offset < 0; --i) {
          int c = static_cast<unsigned char>(chars[i]);
          if (test(text, previous, c)) found.offset = i;
          previous = c;
        }
      }
      found.length = patternLength;
    } else if (expression != nullptr) {
      std::ptrdiff_t length = -1;
      const char* at = forwards ? vregexpSearch(expression, chars + offset, count - offset, &length)
                                : vregexpSearch(expression, chars + offset, offset, &length);
      if (at != nullptr) found = {static_cast<long>(at - chars), static_cast<long>(length)};
    } else {
      const char* at = forwards ? vregexpFindLiteral(pattern, chars + offset, count - offset, caseSensitive, 0)
                                : vregexpFindLiteral(pattern, chars, offset, caseSensitive, 1);
      if (at != nullptr) found = {static_cast<long>(at - chars), patternLength};
    }
    if (found.offset >= 0) break;
    block = forwards ? h.textBlockNext(block) : h.textBlockPrevious(block);
    if (block != nullptr) offset = forwards ? 0 : h.textBlockCount(block);
  }
  if (expression != nullptr) vregexpDestroy(expression);
  if (block == nullptr) return -1;

  if (buffer != nullptr && size >= 1) {
    // A pattern's length beside a test function can reach past the block.
    long n = std::min({found.length, static_cast<long>(size) - 1, h.textBlockCount(block) - found.offset});
    n = std::max(n, 0L);
    std::memcpy(buffer, h.textBlockChars(block) + found.offset, static_cast<std::size_t>(n));
    buffer[n] = '\0';
  }
  return h.textBlockStart(block) + found.offset;
}

namespace {
const void* rememberedStyle = nullptr;
}

std::int16_t _vtextApplyStyleStep(const void* pieceData, std::intptr_t count, const void*, long* replaced,
                                  const vtextStylePiece* piece) {
  if (pieceData == nullptr) {
    rememberedStyle = reinterpret_cast<const void*>(count);
    return 0;
  }
  *replaced = 0;
  if (count != 0) {
    long start = piece->base + piece->offset;
    vwindowGetHooks().textApplyStyle(piece->text, rememberedStyle, start, start + static_cast<long>(count));
  }
  return 0;
}

void vtextInitTagRecord(vtextTagRecord* record) {
  *record = vtextTagRecord{};
  record->first |= 0x10000000u;
}
