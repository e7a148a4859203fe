#include "tests/fw/text/edit_support.h"

#include <map>
#include <sstream>
#include <vector>

#include "fw/core/mem.h"
#include "fw/text/tags.h"

namespace texttest {

namespace {

struct Snapshot {
  std::vector<std::vector<std::uint32_t>> words;
  std::int32_t lineCount = 0;
};

Snapshot tables(const vtext* text) {
  Snapshot s;
  s.lineCount = text->lineCount;
  for (vtextBlock* b = text->first; b; b = b->next) {
    std::vector<std::uint32_t> w{std::uint32_t(b->start), std::uint32_t(b->firstLine), std::uint32_t(b->lineCount)};
    for (std::int32_t i = 0; i < b->lineCount + 2; ++i) {
      const vtextLine& l = b->lines[i];
      w.insert(w.end(), {l.start, l.ascent, l.descent, std::uint32_t(l.startX), std::uint32_t(l.endX)});
    }
    s.words.push_back(w);
  }
  return s;
}

}  // namespace

std::string checkText(vtext* text, const std::string& model) {
  std::ostringstream out;
  std::string chars(std::size_t(text->length), '\0');
  chars.resize(std::size_t(vtextGetChars(text, 0, text->length, chars.data(), text->length)));
  if (chars != model) out << "characters differ; ";
  std::int32_t position = 0, blocks = 0;
  std::map<vtextTag*, int> continuations;
  std::vector<vtextTag*> tags;
  for (vtextBlock* b = text->first; b; b = b->next, ++blocks) {
    if (b->start != position) out << "block " << blocks << " starts at " << b->start << "; ";
    if (b->used == 0 && (b->next || b->previous)) out << "empty block " << blocks << "; ";
    if (b->previous && b->previous->next != b) out << "broken chain; ";
    position += b->used;
    std::uint32_t previous = 0;
    for (std::int32_t i = 0; i < b->tagCount; ++i) {
      std::uint32_t* e = b->tags[i];
      std::uint32_t offset = *e & vtextTagOFFSET;
      if (offset < previous) out << "entries out of order in block " << blocks << "; ";
      previous = offset;
      vtextTag* tag = vtextTagOfEntry(e);
      if (*e & vtextTagCONTINUATION) {
        ++continuations[tag];
        if (tag->startBlock == nullptr) out << "continuation of a detached tag; ";
        bool inside = false;
        for (vtextBlock* k = tag->startBlock; k && k != tag->endBlock; k = k->next) inside |= k == b;
        if (!inside) out << "continuation outside its tag's blocks; ";
        if (offset != std::uint32_t(vtextGetTagEnd(tag) - b->start)) out << "stale continuation offset; ";
      } else if (*e & vtextTagSTART) {
        if (tag->startBlock != b) out << "start entry in another block; ";
        tags.push_back(tag);
      } else if (tag->endBlock != b) {
        out << "end entry in another block; ";
      }
    }
    if (b->tags && b->tags[b->tagCount] != nullptr) out << "entries not null-terminated; ";
  }
  if (position != text->length) out << "blocks hold " << position << " of " << text->length << "; ";
  for (vtextTag* tag : tags) {
    int blocksSpanned = 0;
    for (vtextBlock* k = tag->startBlock; k && k != tag->endBlock; k = k->next) ++blocksSpanned;
    if (continuations[tag] != blocksSpanned) out << "tag " << tag->serial << " has " << continuations[tag] << " continuations for " << blocksSpanned << "; ";
    std::int32_t a = vtextGetTagStart(tag), z = vtextGetTagEnd(tag);
    if (a > z || a < 0 || z > text->length) out << "tag " << tag->serial << " at " << a << ".." << z << "; ";
  }
  Snapshot before = tables(text);
  vtextRecalculate(text);
  Snapshot after = tables(text);
  if (before.lineCount != after.lineCount) out << "line count " << before.lineCount << " should be " << after.lineCount << "; ";
  if (before.words != after.words) {
    for (std::size_t i = 0; i < before.words.size() && i < after.words.size(); ++i)
      if (before.words[i] != after.words[i]) {
        out << "line table of block " << i << " differs from a recalculation; ";
        break;
      }
  }
  return out.str();
}

void typeIntoModel(std::string& model, std::int32_t p, int c, bool overwrite) {
  const auto at = std::size_t(p);
  if (c == 8) {
    if (p > 0) model.erase(at - 1, 1);
  } else if (c == 127) {
    if (at < model.size()) model.erase(at, 1);
  } else if (overwrite && at < model.size() && model[at] != '\n') {
    model[at] = char(c);
  } else {
    model.insert(at, 1, char(c));
  }
}

void dropDetached(std::vector<vtextTag*>& tags) {
  for (std::size_t i = 0; i < tags.size();)
    if (!vtextTagIsAdded(tags[i])) {
      vmemFree(tags[i]);
      tags.erase(tags.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
}

}  // namespace texttest
