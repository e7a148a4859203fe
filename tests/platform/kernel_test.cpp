// Kernel calls: profile strings, pseudo modules, memory, errors, file
// search, programs and the machine.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform_fixture.h"
#include "tests/support/address_limit.h"

using namespace platform_test;
namespace fs = std::filesystem;

namespace {

fs::path scratchFolder(const char* name) {
  fs::path p = fs::temp_directory_path() / (std::string("platform_") + name + "_" + std::to_string(getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = scratchFolder("profile");
    std::ofstream(folder / "win.ini") << "[Other]\nalpha=no\n[Wexlin]\r\nalpha = 1\nbeta=two words\ngamma=\n"
                                         "[Empty]\n";
    setenv("WEXLIN_PROFILE", (folder / "win.ini").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("WEXLIN_PROFILE");
    fs::remove_all(folder);
  }
  fs::path folder;
};

}  // namespace

TEST_F(Profile, ValuesListsAndTruncation) {
  char buf[64];
  EXPECT_EQ(win::GetProfileStringA("wexlin", "ALPHA", "d", buf, sizeof buf), 1u);
  EXPECT_STREQ(buf, "1");
  EXPECT_EQ(win::GetProfileStringA("Wexlin", "missing", " fallback ", buf, sizeof buf), 8u);
  EXPECT_STREQ(buf, "fallback");
  EXPECT_EQ(win::GetProfileStringA("Wexlin", "gamma", "d", buf, sizeof buf), 0u);

  // The key list: each name ended by a NUL, the list by another.
  EXPECT_EQ(win::GetProfileStringA("Wexlin", nullptr, "", buf, sizeof buf), 17u);
  EXPECT_EQ(std::string(buf, 18), std::string("alpha\0beta\0gamma\0\0", 18));
  EXPECT_EQ(win::GetProfileStringA("Empty", nullptr, "", buf, sizeof buf), 0u);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(win::GetProfileStringA(nullptr, nullptr, "", buf, sizeof buf), 19u);
  EXPECT_EQ(std::string(buf, 20), std::string("Other\0Wexlin\0Empty\0\0", 20));

  // Cut short, never past the buffer: a list answers size - 2, a value
  // size - 1.
  char small[12];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(win::GetProfileStringA("Wexlin", nullptr, "", small, 8), 6u);
  EXPECT_EQ(std::string(small, 9), std::string("alpha\0\0\0#", 9));
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(win::GetProfileStringA("Wexlin", "beta", "", small, 6), 5u);
  EXPECT_EQ(std::string(small, 7), std::string("two w\0#", 7));

  // The framework's reading: double the buffer while the answer says cut.
  std::vector<char> grow(2);
  win::DWORD n;
  while ((n = win::GetProfileStringA("Wexlin", nullptr, "", grow.data(), static_cast<win::DWORD>(grow.size()))) ==
         grow.size() - 2)
    grow.resize(grow.size() * 2);
  EXPECT_EQ(n, 17u);
}

TEST(Modules, PseudoModulesByName) {
  struct Case {
    const char* name;
    bool found;
  };
  const Case cases[] = {{"USER32", true},    {"user32.dll", true}, {"User32.DLL", true}, {"wsock32.dll", true},
                        {"WSOCK32", true},   {"vwex_aux", false},  {"user32.dl", false}, {"", false},
                        {"kernel32", false}};
  for (const Case& c : cases) {
    win::HMODULE m = win::LoadLibraryA(c.name);
    EXPECT_EQ(m != nullptr, c.found) << c.name;
    if (m) {
      EXPECT_GE(reinterpret_cast<std::uintptr_t>(m), 33u);
      EXPECT_TRUE(win::FreeLibrary(m));
    } else {
      EXPECT_EQ(lastError(), code(win::ERROR_MOD_NOT_FOUND));
    }
  }
  win::HMODULE user = win::LoadLibraryA("USER32");
  EXPECT_EQ(win::LoadLibraryA("user32.dll"), user);  // one module, counted twice
  auto endMenu = reinterpret_cast<win::BOOL (*)()>(reinterpret_cast<void*>(win::GetProcAddress(user, "EndMenu")));
  ASSERT_NE(endMenu, nullptr);
  EXPECT_TRUE(endMenu());
  EXPECT_EQ(win::GetProcAddress(user, "NoSuchEntry"), nullptr);
  EXPECT_TRUE(win::FreeLibrary(user));
  EXPECT_NE(win::GetProcAddress(user, "EndMenu"), nullptr);
  EXPECT_TRUE(win::FreeLibrary(user));
  EXPECT_EQ(win::GetProcAddress(user, "EndMenu"), nullptr);
  EXPECT_EQ(lastError(), code(win::ERROR_INVALID_HANDLE));
  EXPECT_FALSE(win::FreeLibrary(user));
  EXPECT_NE(win::GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(win::GetModuleHandleA(nullptr), win::GetModuleHandleA(nullptr));

  EXPECT_EQ(win::SetErrorMode(win::SEM_NOOPENFILEERRORBOX), 0u);
  EXPECT_EQ(win::SetErrorMode(0), win::SEM_NOOPENFILEERRORBOX);
}

TEST(Memory, GlobalBlocksAndTheHeap) {
  for (win::UINT flags : {win::GMEM_MOVEABLE, win::GMEM_MOVEABLE | win::GMEM_ZEROINIT}) {
    win::HGLOBAL g = win::GlobalAlloc(flags, 100);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(win::GlobalSize(g), 100u);
    auto* p = static_cast<unsigned char*>(win::GlobalLock(g));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::count(p, p + 100, 0), 100);
    EXPECT_EQ(win::GlobalLock(g), p);
    EXPECT_TRUE(win::GlobalUnlock(g));  // still locked once
    EXPECT_FALSE(win::GlobalUnlock(g));
    EXPECT_EQ(win::GlobalFree(g), nullptr);
    // Freed: every call refuses it.
    EXPECT_EQ(win::GlobalLock(g), nullptr);
    EXPECT_EQ(lastError(), code(win::ERROR_INVALID_HANDLE));
    EXPECT_EQ(win::GlobalSize(g), 0u);
    EXPECT_EQ(win::GlobalFree(g), g);
  }
  win::HANDLE heap = win::GetProcessHeap();
  auto* q = static_cast<unsigned char*>(win::HeapAlloc(heap, win::HEAP_ZERO_MEMORY, 64));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(std::count(q, q + 64, 0), 64);
  EXPECT_TRUE(win::HeapFree(heap, 0, q));
  EXPECT_FALSE(win::HeapFree(heap, 0, q));
  int local;
  EXPECT_FALSE(win::HeapFree(heap, 0, &local));
}

// Requests past what the process can hold fail as the system's calls do:
// NULL and "not enough memory", never an abort.
TEST(Memory, HugeRequestsFailWithNull) {
  constexpr win::SIZE_T kHuge[] = {SIZE_MAX, SIZE_MAX / 2, win::SIZE_T(1) << 46, win::SIZE_T(1) << 31};
  int answer = addrlimit::inChild(std::size_t(256) << 20, [&] {
    int failures = 0;
    for (win::SIZE_T size : kHuge) {
      win::SetLastError(0);
      win::HGLOBAL g = win::GlobalAlloc(win::GMEM_MOVEABLE | win::GMEM_ZEROINIT, size);
      failures += g == nullptr && win::GetLastError() == code(win::ERROR_NOT_ENOUGH_MEMORY);
      win::SetLastError(0);
      void* h = win::HeapAlloc(win::GetProcessHeap(), win::HEAP_ZERO_MEMORY, size);
      failures += h == nullptr && win::GetLastError() == code(win::ERROR_NOT_ENOUGH_MEMORY);
    }
    // A bitmap within the size rule that memory cannot hold.
    win::SetLastError(0);
    win::HBITMAP b = win::CreateBitmap(16384, 16384, 1, 32, nullptr);
    failures += b == nullptr && win::GetLastError() == code(win::ERROR_NOT_ENOUGH_MEMORY);
    // Small requests still work afterwards.
    win::HGLOBAL small = win::GlobalAlloc(win::GMEM_MOVEABLE, 64);
    failures += small != nullptr && win::GlobalFree(small) == nullptr;
    return failures;
  });
  EXPECT_EQ(answer, int(std::size(kHuge)) * 2 + 2) << "-1: the child ended by a signal";
}

TEST(Errors, LastErrorIsPerThread) {
  win::SetLastError(5);
  win::DWORD other = 0;
  std::thread t([&] {
    win::SetLastError(7);
    other = win::GetLastError();
  });
  t.join();
  EXPECT_EQ(other, 7u);
  EXPECT_EQ(win::GetLastError(), 5u);
}

TEST(Files, FindWithPatterns) {
  fs::path dir = scratchFolder("find");
  for (const char* f : {"a.txt", "b.TXT", "c.dat", "noext"}) std::ofstream(dir / f) << "12345";
  fs::create_directory(dir / "sub");
  auto list = [&](const std::string& pattern) {
    std::string out;
    win::WIN32_FIND_DATAA data;
    win::HANDLE h = win::FindFirstFileA((dir.string() + "\\" + pattern).c_str(), &data);
    if (h == win::INVALID_HANDLE_VALUE) return std::string("error ") + std::to_string(win::GetLastError());
    do {
      out += data.cFileName;
      if (data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) out += "/";
      out += " ";
    } while (win::FindNextFileA(h, &data));
    EXPECT_EQ(lastError(), code(win::ERROR_NO_MORE_FILES));
    EXPECT_TRUE(win::FindClose(h));
    EXPECT_FALSE(win::FindNextFileA(h, &data));
    EXPECT_EQ(lastError(), code(win::ERROR_INVALID_HANDLE));
    return out;
  };
  EXPECT_EQ(list("*"), "./ ../ a.txt b.TXT c.dat noext sub/ ");
  EXPECT_EQ(list("*.*"), "./ ../ a.txt b.TXT c.dat noext sub/ ");
  EXPECT_EQ(list("*.txt"), "a.txt b.TXT ");
  EXPECT_EQ(list("?.d?t"), "c.dat ");
  EXPECT_EQ(list("no*t"), "noext ");
  EXPECT_EQ(list("zz*"), "error 2");
  EXPECT_EQ(list("missing\\*"), "error 3");
  win::WIN32_FIND_DATAA data;
  win::HANDLE h = win::FindFirstFileA((dir / "a.txt").c_str(), &data);
  ASSERT_NE(h, win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes, win::FILE_ATTRIBUTE_NORMAL);
  win::FindClose(h);
  fs::remove_all(dir);
}

TEST(Programs, WinExecFindsProgramsAlongThePath) {
  EXPECT_EQ(win::WinExec("nosuch_program_of_ours", win::SW_SHOWNORMAL), 2u);
  EXPECT_EQ(win::WinExec("", win::SW_SHOWNORMAL), 2u);
  EXPECT_EQ(win::WinExec("true \"an argument\"", win::SW_SHOWNORMAL), 33u);
}

TEST(Machine, NameProcessClockAndStartUp) {
  win::DWORD size = 1;
  char name[32];
  EXPECT_FALSE(win::GetComputerNameA(name, &size));
  EXPECT_EQ(lastError(), code(win::ERROR_BUFFER_OVERFLOW));
  ASSERT_GT(size, 1u);
  win::DWORD needed = size;
  size = sizeof name;
  ASSERT_TRUE(win::GetComputerNameA(name, &size));
  EXPECT_EQ(size + 1, needed);
  EXPECT_LE(size, win::MAX_COMPUTERNAME_LENGTH);
  EXPECT_EQ(std::strchr(name, '.'), nullptr);
  for (char* c = name; *c; ++c) EXPECT_FALSE(std::islower(static_cast<unsigned char>(*c)));

  EXPECT_EQ(win::GetCurrentProcessId(), static_cast<win::DWORD>(getpid()));
  win::SetTickSource([] { return win::ULONGLONG{0x100000005}; }, nullptr);
  EXPECT_EQ(win::GetTickCount(), 5u);
  win::SetTickSource(nullptr, nullptr);

  EXPECT_EQ(win::GetStartupShowCommand(), win::SW_SHOWNORMAL);
  win::test::SetStartupShowCommand(win::SW_SHOWMINNOACTIVE);
  EXPECT_EQ(win::GetStartupShowCommand(), win::SW_SHOWMINNOACTIVE);
  win::test::SetStartupShowCommand(win::SW_SHOWNORMAL);

  testing::internal::CaptureStderr();
  win::OutputDebugStringA("quiet ");
  setenv("WEXLIN_DEBUG", "1", 1);
  win::OutputDebugStringA("heard");
  unsetenv("WEXLIN_DEBUG");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "heard");
}

TEST(Registry, ClosedKeysAreRefused) {
  win::HKEY key;
  ASSERT_EQ(win::RegOpenKeyExA(win::HKEY_CURRENT_USER, "Environment", 0, win::KEY_READ, &key), win::ERROR_SUCCESS);
  char name[256];
  win::DWORD nameSize = sizeof name;
  EXPECT_NE(win::RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::RegCloseKey(key), win::ERROR_SUCCESS);
  nameSize = sizeof name;
  EXPECT_EQ(win::RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::RegCloseKey(key), win::ERROR_INVALID_HANDLE);
}
