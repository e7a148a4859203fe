// File search and starting programs.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/win.h"

namespace win {
namespace {

struct Search {
  std::string folder;
  std::vector<std::string> names;
  std::size_t next = 0;
};

internal::HandleTable<Search>& searches() {
  static internal::HandleTable<Search> table(internal::HandleKind::search);
  return table;
}

// "*" any run, "?" one character, without case as on Windows; "*.*"
// matches every name, with or without a dot.
bool matches(const char* pattern, const char* name) {
  if (std::strcmp(pattern, "*.*") == 0) return true;
  const char *star = nullptr, *resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern == '?' ||
               std::tolower(static_cast<unsigned char>(*pattern)) == std::tolower(static_cast<unsigned char>(*name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return !*pattern;
}

FILETIME fileTime(const timespec& t) {
  // 100-nanosecond units since 1601.
  std::uint64_t v = (static_cast<std::uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull +
                    static_cast<std::uint64_t>(t.tv_nsec) / 100;
  return {static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

// Fills the record; false when the entry vanished or its name is too long.
bool describe(const Search& s, const std::string& name, WIN32_FIND_DATAA* data) {
  if (name.size() >= sizeof data->cFileName) return false;
  struct stat st;
  if (stat((s.folder + "/" + name).c_str(), &st) != 0) return false;
  *data = {};
  if (S_ISDIR(st.st_mode)) data->dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!(st.st_mode & S_IWUSR)) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  if (name[0] == '.' && name != "." && name != "..") data->dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
  if (!data->dwFileAttributes) data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  data->ftCreationTime = fileTime(st.st_ctim);
  data->ftLastAccessTime = fileTime(st.st_atim);
  data->ftLastWriteTime = fileTime(st.st_mtim);
  auto size = static_cast<std::uint64_t>(st.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
  return true;
}

bool nextEntry(Search& s, WIN32_FIND_DATAA* data) {
  while (s.next < s.names.size())
    if (describe(s, s.names[s.next++], data)) return true;
  return false;
}

std::string programFolder() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string p(path, static_cast<std::size_t>(n));
  return p.substr(0, p.find_last_of('/'));
}

bool executable(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string findProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) return executable(program) ? program : std::string();
  std::vector<std::string> folders;
  if (const char* path = std::getenv("PATH")) {
    std::string all(path);
    for (std::size_t b = 0; b <= all.size();) {
      std::size_t e = all.find(':', b);
      if (e == std::string::npos) e = all.size();
      folders.push_back(e > b ? all.substr(b, e - b) : ".");
      b = e + 1;
    }
  }
  folders.push_back(programFolder());
  for (const std::string& f : folders)
    if (!f.empty() && executable(f + "/" + program)) return f + "/" + program;
  return {};
}

// Words split at blanks; a double quote groups a word with blanks.
std::vector<std::string> splitCommand(const char* line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (const char* p = line; *p; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      any = true;
    } else if ((*p == ' ' || *p == '\t') && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += *p;
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !data || !*pattern) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string full(pattern);
  std::replace(full.begin(), full.end(), '\\', '/');
  std::size_t slash = full.find_last_of('/');
  auto s = std::make_unique<Search>();
  s->folder = slash == std::string::npos ? "." : slash == 0 ? "/" : full.substr(0, slash);
  std::string namePattern = slash == std::string::npos ? full : full.substr(slash + 1);
  DIR* dir = opendir(s->folder.c_str());
  if (!dir) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  while (dirent* e = readdir(dir))
    if (matches(namePattern.c_str(), e->d_name)) s->names.emplace_back(e->d_name);
  closedir(dir);
  // "." and ".." first, then by name, so a listing does not depend on the
  // file system's order.
  std::sort(s->names.begin(), s->names.end(), [](const std::string& a, const std::string& b) {
    auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
  });
  if (!nextEntry(*s, data)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto h = reinterpret_cast<HANDLE>(searches().add(std::move(s)));
  if (!h) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  Search* s = searches().get(reinterpret_cast<std::uintptr_t>(search));
  if (!s || !data) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (nextEntry(*s, data)) return 1;
  SetLastError(ERROR_NO_MORE_FILES);
  return 0;
}

BOOL FindClose(HANDLE search) {
  if (searches().remove(reinterpret_cast<std::uintptr_t>(search))) return 1;
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

UINT WinExec(const char* commandLine, UINT) {
  std::vector<std::string> words = splitCommand(commandLine ? commandLine : "");
  if (words.empty()) return ERROR_FILE_NOT_FOUND;
  std::string program = findProgram(words[0]);
  if (program.empty()) return ERROR_FILE_NOT_FOUND;
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  // Started twice removed, so the program never waits as a zombie of ours.
  pid_t child = fork();
  if (child < 0) return 0;
  if (child == 0) {
    if (fork() == 0) {
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    _exit(0);
  }
  int status;
  waitpid(child, &status, 0);
  return 33;
}

}  // namespace win
