#include "fw/widgets/choosers/helpfile.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "sysio/open_nonblocking.h"

namespace vhelpsrv {

namespace {

constexpr char kOpener[] = "@topic";

std::string trimmed(const std::string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
  return s.substr(begin, end - begin);
}

// "@topic NAME": the name, else false ("@topics" is text).
bool opener(const std::string& line, std::string* name) {
  constexpr std::size_t n = sizeof kOpener - 1;
  if (line.compare(0, n, kOpener) != 0) return false;
  if (line.size() > n && !std::isspace(static_cast<unsigned char>(line[n]))) return false;
  *name = trimmed(line.substr(n));
  return true;
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

HelpFile ParseHelpFile(const std::string& contents) {
  HelpFile file;
  std::string* into = &file.preface;
  std::istringstream in(contents);
  std::string line, name;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (opener(line, &name)) {
      file.topics.push_back(Topic{name, {}});
      into = &file.topics.back().text;
      continue;
    }
    *into += line;
    *into += '\n';
  }
  return file;
}

bool LoadHelpFile(const std::string& path, HelpFile* out) {
  // A help file is a regular file: a FIFO or a device named by a client
  // is refused without the server waiting on it.
  std::FILE* in = open_file_nonblocking(path.c_str(), "rb", false);
  if (!in) return false;
  std::string all;
  char block[4096];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;) all.append(block, n);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) return false;
  *out = ParseHelpFile(all);
  out->path = path;
  return true;
}

const Topic* FindTopic(const HelpFile& file, const std::string& name) {
  std::string wanted = trimmed(name);
  for (const Topic& t : file.topics)
    if (sameName(t.name, wanted)) return &t;
  return nullptr;
}

std::string TopicText(const Topic& topic) { return topic.name + "\n\n" + topic.text; }

std::string WholeFileText(const HelpFile& file) {
  std::string text = file.preface;
  for (const Topic& t : file.topics) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    if (!text.empty()) text += '\n';
    text += TopicText(t);
  }
  return text;
}

std::string ContentsText(const HelpFile& file) {
  std::string text = "Contents\n\n";
  for (const Topic& t : file.topics) text += t.name + "\n";
  return text;
}

}  // namespace vhelpsrv
