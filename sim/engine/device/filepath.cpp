// File paths made from a directory, a name and a default extension, and
// the search for an input file along the working directory and the path.
#include "sim/engine/device/regaccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "sim/engine/device/current_device.h"

std::string search_path;

namespace {

// Names typed for the original system use '\'; both separate here.
std::string with_slashes(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

// True only for something that can be read as a file: fopen also opens
// a directory on this system, and reading one fails later. Opened without
// waiting, so that a FIFO cannot hold the search.
bool readable_file(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool is_file = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
  close(fd);
  return is_file;
}

}  // namespace

bool make_file_path(const char* directory, const char* name, const char* default_ext,
                    std::string& out) {
  // Copies first: callers may pass out's own text as the name or directory.
  const std::string file = with_slashes(name != nullptr ? name : "");
  const std::string dir = with_slashes(directory != nullptr ? directory : "");
  out.clear();
  if (name == nullptr) return false;
  std::string path;
  if (!file.empty() && file.front() == '/') {
    path = file;
  } else {
    path = dir;
    if (!path.empty() && path.back() != '/') path += '/';
    path += file;
  }
  const std::size_t last_sep = file.rfind('/');
  const std::size_t base = last_sep == std::string::npos ? 0 : last_sep + 1;
  const bool has_ext = default_ext != nullptr && *default_ext != '\0';
  // "adir/" names no file: the extension alone would make a hidden one in it.
  if (base == file.size() && has_ext) return false;
  if (file.find('.', base) == std::string::npos && has_ext) path += default_ext;
  if (path.size() > PATH_MAX_CHARS) return false;
  out = std::move(path);
  return true;
}

int find_file_on_path(const char* name, const char* default_ext, std::string& out) {
  const std::string wanted = name != nullptr ? name : "";  // out may hold the name itself
  out.clear();
  if (name == nullptr) return 0;
  std::string path;
  const char* work_dir = cur_inst != nullptr ? cur_inst->work_dir.c_str() : "";
  if (make_file_path(work_dir, wanted.c_str(), default_ext, path)) {
    out = path;
    if (readable_file(path)) return 1;
  }
  // Empty entries (",,") name no directory; over-long ones are skipped
  // rather than cut, which would look in some other directory.
  std::string_view rest = search_path;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view dir = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if (dir.empty() || dir.size() > SEARCH_DIR_MAX_CHARS) continue;
    if (!make_file_path(std::string(dir).c_str(), wanted.c_str(), default_ext, path)) continue;
    out = path;
    if (readable_file(path)) return 1;
  }
  return 0;
}
