// What every test program sets up for its process before any test runs.
#pragma once

#include <filesystem>

namespace test_support {

// A folder of this process's own, made before the first test and removed
// when the process ends. CTest runs the tests of one program side by side,
// each in a process of its own, so a test writes nothing at a fixed place:
// a name under this folder is its own. HOME is its "home" (a test may set
// another), and testing::TempDir() is the folder itself.
const std::filesystem::path& process_folder();

}  // namespace test_support
