// The help server's files (".vhs"): plain text in sections, each opened by
// a line "@topic NAME"; what comes before the first such line is the
// file's preface. Names are matched without regard to case.
#pragma once
#include <string>
#include <vector>

namespace vhelpsrv {

struct Topic {
  std::string name;
  std::string text;  // the lines after its "@topic" line
};

struct HelpFile {
  std::string path;
  std::string preface;
  std::vector<Topic> topics;
};

HelpFile ParseHelpFile(const std::string& contents);
// False when the file cannot be read.
bool LoadHelpFile(const std::string& path, HelpFile* out);
// The first topic of that name, or null.
const Topic* FindTopic(const HelpFile& file, const std::string& name);
// What each kind of window shows.
std::string WholeFileText(const HelpFile& file);
std::string TopicText(const Topic& topic);
std::string ContentsText(const HelpFile& file);

}  // namespace vhelpsrv
