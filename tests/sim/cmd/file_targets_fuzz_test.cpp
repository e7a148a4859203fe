// A property of every save and log: random state saves, ".lod" saves and
// appends and logs into a folder of links (to files, to nothing, to
// themselves), FIFOs no one reads, device nodes (null and full), folders
// and read-only entries change nothing but the file the name leads to, and
// every failure is said once; what is not said was written whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/sim/cmd/cmd_fixture.h"
#include "tests/sim/cmd/file_targets.h"
#include "sim/cmd/logs.h"

namespace {

using file_targets::child_limits;
using file_targets::entries;
using file_targets::in_child;
using file_targets::read_all;
namespace fs = std::filesystem;

constexpr const char* OLD_TEXT = "\n_DATA p 0\n 1 2 3\n_END 0 \n";
constexpr const char* EXTENSIONS[] = {".sim", ".lod", ".log"};
const std::vector<std::string> NAMES = {"plain", "ro",   "link", "dangling", "loop",      "fifo",      "null",
                                        "full",  "dir",  "new",  "sub/new",  "rodir/in", "rodir/new"};

class file_targets_fuzz : public file_targets::logs_fixture {
 protected:
  void TearDown() override {
    chmod(path("rodir").c_str(), 0755);
    file_targets::logs_fixture::TearDown();
  }

  void regular(const std::string& name, unsigned mode) const {
    write_file(name, OLD_TEXT);
    chmod(path(name).c_str(), mode);
  }
  // A device node where one can be made, else a link to the system's.
  void device(const std::string& name, unsigned minor) const {
    if (file_targets::as_root()) {
      ASSERT_EQ(mknod(path(name).c_str(), S_IFCHR | 0666, makedev(1, minor)), 0);
    } else {
      fs::create_symlink(minor == 3 ? "/dev/null" : "/dev/full", path(name));
    }
  }

  void make_folder() const {
    for (const char* folder : {"sub", "outside", "rodir"}) fs::create_directory(path(folder));
    for (const char* ext : EXTENSIONS) {
      const std::string e = ext;
      regular("plain" + e, 0666);
      regular("ro" + e, 0444);
      regular("rodir/in" + e, 0666);
      regular("outside/victim" + e, 0666);
      fs::create_symlink("outside/victim" + e, path("link" + e));
      fs::create_symlink("outside/made" + e, path("dangling" + e));
      fs::create_symlink("loop" + e, path("loop" + e));
      ASSERT_EQ(mkfifo(path("fifo" + e).c_str(), 0666), 0);
      device("null" + e, 3);
      device("full" + e, 7);
      fs::create_directory(path("dir" + e));
    }
    for (const char* folder : {".", "sub", "outside"}) chmod(path(folder).c_str(), 0777);
    chmod(path("rodir").c_str(), 0555);
  }

  // Where a name leads inside the folder: "" when its links do not end,
  // an absolute path when they leave the folder.
  std::string resolved(const std::string& name) const {
    fs::path at = name;
    for (int hop = 0; hop < 40; ++hop) {
      std::error_code ec;
      if (!fs::is_symlink(scratch / at, ec)) return at.string();
      const fs::path link = fs::read_symlink(scratch / at, ec);
      if (link.is_absolute()) return link.string();
      at = (at.parent_path() / link).lexically_normal();
    }
    return "";
  }

  std::string full_path(const std::string& target) const {
    return !target.empty() && target.front() == '/' ? target : path(target);
  }
};

struct operation {
  std::string line, name;
  int ext = 0;          // index in EXTENSIONS
  bool append = false;
  int marker = 0;       // the log's line
};

// What the file a name leads to must hold after an operation that said
// nothing; "" for a device that takes anything.
std::string expected_text(const operation& op, const std::string& before, bool existed, const std::string& blocks) {
  const std::string old = existed ? before : std::string();
  if (op.ext == 2) {
    const std::string lines = "; marker " + std::to_string(op.marker) + "\nlog off s\n";
    return op.append ? old + lines : lines;
  }
  if (op.ext == 1) {
    if (!op.append || !existed) return blocks;
    const std::size_t end = old.find("_END");
    return (end == std::string::npos ? old : old.substr(0, end)) + blocks;
  }
  return "";
}

TEST_F(file_targets_fuzz, WritesChangeOnlyTheNamedFileAndEveryFailureIsSaid) {
  make_folder();
  // The blocks every ".lod" save writes, saved once beside the folder.
  const std::string reference = path("outside/reference.lod");
  run(("save p:0..$1f " + reference + " -o").c_str());
  const std::string blocks = read_all(reference);
  ASSERT_EQ(blocks.rfind("\n_DATA p 0\n", 0), 0u);
  fs::remove(reference);

  const std::string failures = in_child(
      [&](std::string& failures) {
        int refused = 0, written = 0;
        for (const unsigned seed : {1u, 2u, 3u, 4u}) {
          std::mt19937 random(seed);
          for (int step = 0; step < 80; ++step) {
            operation op;
            op.ext = static_cast<int>(random() % 3);
            op.name = NAMES[random() % NAMES.size()];
            op.append = random() % 2 == 0;
            op.marker = step;
            const std::string option = op.append ? " -a" : " -o";
            const std::string file = op.name + EXTENSIONS[op.ext];
            const std::string target = resolved(file);
            const auto before = entries(scratch);
            const auto was = before.find(target);
            const std::string old = was != before.end() ? was->second.content : "";
            recorded().clear();
            if (op.ext == 0) {
              op.line = "save s " + op.name + option;
              run(op.line.c_str());
            } else if (op.ext == 1) {
              op.line = "save p:0..$1f " + op.name + option;
              run(op.line.c_str());
            } else {
              op.line = "log s " + op.name + option;
              run(op.line.c_str());
              run(("; marker " + std::to_string(op.marker)).c_str());
              run("log off s");
            }
            const std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " +
                                      op.line + "\n" + output();
            const int said = file_targets::times(output(), "{Error");
            const auto after = entries(scratch);
            // Nothing but the target changed, came or went.
            for (const auto& [key, entry] : after) {
              if (key == target) continue;
              const auto old_entry = before.find(key);
              CHILD_CHECK_TEXT(failures, old_entry != before.end() && old_entry->second == entry, key + " in " + where);
            }
            for (const auto& [key, entry] : before)
              CHILD_CHECK_TEXT(failures, key == target || after.count(key) == 1, key + " gone in " + where);
            // A state file that cannot be made is said twice: the writer's
            // report, then the file that was not written.
            const bool not_made = op.ext == 0 && output().find("{Error opening file.") != std::string::npos;
            CHILD_CHECK_TEXT(failures, said <= (not_made ? 2 : 1), where);
            struct stat info {};
            const bool exists = !target.empty() && stat(full_path(target).c_str(), &info) == 0;
            ++(said >= 1 ? refused : written);
            if (said >= 1) {
              // A failure leaves the target as it was.
              const auto now = after.find(target);
              CHILD_CHECK_TEXT(failures, (was == before.end()) == (now == after.end()), where);
              if (was != before.end() && now != after.end())
                CHILD_CHECK_TEXT(failures, was->second.content == now->second.content, where);
              continue;
            }
            // Not said: written whole where the name leads.
            CHILD_CHECK_TEXT(failures, exists, where);
            if (!exists) continue;
            if (S_ISCHR(info.st_mode)) {
              CHILD_CHECK_TEXT(failures, info.st_rdev == makedev(1, 3), where);
              continue;
            }
            CHILD_CHECK_TEXT(failures, S_ISREG(info.st_mode), where);
            const std::string text = read_all(full_path(target));
            if (op.ext == 0) {
              CHILD_CHECK_TEXT(failures, text.rfind("711\n", 0) == 0, where);
            } else {
              CHILD_CHECK_TEXT(failures, text == expected_text(op, old, was != before.end(), blocks), where);
            }
          }
        }
        // Both outcomes came often: the property was tried on each.
        CHILD_CHECK_TEXT(failures, refused >= 60 && written >= 60,
                         std::to_string(refused) + " refused, " + std::to_string(written) + " written");
      },
      child_limits{.unprivileged = true, .seconds = 120});
  EXPECT_EQ(failures, "");
}

}  // namespace
