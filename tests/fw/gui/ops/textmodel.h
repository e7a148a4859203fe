// A stand-in text model: a chain of blocks the test hook record walks.
#pragma once
#include <string>
#include <vector>

#include "fw/gui/window/hooks.h"
#include "fw/core/class.h"

struct TestBlock {
  std::string chars;
  long start = 0;
  TestBlock* next = nullptr;
  TestBlock* previous = nullptr;
};

struct StyledRange {
  const void* style;
  long start, end;
  bool operator==(const StyledRange&) const = default;
};

struct TestText : vinstance {
  explicit TestText(const std::vector<std::string>& parts) : blocks(parts.size()) {
    cls = nullptr;
    long at = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      blocks[i].chars = parts[i];
      blocks[i].start = at;
      at += static_cast<long>(parts[i].size());
      if (i > 0) blocks[i].previous = &blocks[i - 1], blocks[i - 1].next = &blocks[i];
    }
    length = at;
  }
  TestText(const TestText&) = delete;
  TestText(TestText&& other) noexcept = default;
  std::vector<TestBlock> blocks;  // moving keeps the elements where they are
  long length = 0;
  std::vector<StyledRange> styled;
};

inline TestBlock* asBlock(vtextBlock* b) { return reinterpret_cast<TestBlock*>(b); }
inline vtextBlock* asTextBlock(TestBlock* b) { return reinterpret_cast<vtextBlock*>(b); }

// Fills the text model's group of the hook record.
inline void fillTextHooks(vwindowHooks* h) {
  h->textLength = [](vinstance* t) { return static_cast<TestText*>(t)->length; };
  h->textFirstBlock = [](vinstance* t) {
    auto* text = static_cast<TestText*>(t);
    return text->blocks.empty() ? nullptr : asTextBlock(&text->blocks[0]);
  };
  h->textBlockCount = [](vtextBlock* b) { return static_cast<long>(asBlock(b)->chars.size()); };
  h->textBlockStart = [](vtextBlock* b) { return asBlock(b)->start; };
  h->textBlockChars = [](vtextBlock* b) -> const char* { return asBlock(b)->chars.data(); };
  h->textBlockNext = [](vtextBlock* b) { return asTextBlock(asBlock(b)->next); };
  h->textBlockPrevious = [](vtextBlock* b) { return asTextBlock(asBlock(b)->previous); };
  h->textApplyStyle = [](vinstance* t, const void* style, long start, long end) {
    static_cast<TestText*>(t)->styled.push_back({style, start, end});
  };
}
