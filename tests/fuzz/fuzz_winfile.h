// What the bitmap and icon targets share: the input as a file in a scratch
// folder, and files read back whole.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/fs.h"
#include "fw/gui/graphics/image.h"

namespace fuzzwin {

inline std::string scratch(const char* name) {
  static std::string dir = [] {
    static std::string d = "/tmp/fuzz_winfile." + std::to_string(getpid());
    mkdir(d.c_str(), 0700);
    std::atexit([] { std::filesystem::remove_all(d); });
    return d;
  }();
  return dir + "/" + name;
}

inline void writeBytes(const std::string& file, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

inline std::vector<std::uint8_t> readBytes(const std::string& file) {
  std::vector<std::uint8_t> out;
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(std::uint8_t(c));
  std::fclose(f);
  return out;
}

// A path object for the file, freed at the end of the scope.
struct Path {
  vfsPath* p;
  explicit Path(const std::string& file) : p(vfsNewPathFromString(file.c_str())) {}
  ~Path() { vfsFreePath(p); }
};

// What a reader gives, with the image layer's refusal of a pixel store
// past its cap (the memory exception) taken as no image; any other
// exception is a finding.
template <class Read>
vimage* readOrRefuse(Read read, vfsPath* path) {
  vimage* image = nullptr;
  vexGuard([&] { image = read(path); },
           [&](vexHandler& h) {
             if (!vexClassDerives(vexGetCurrentException()->cls, &vexMemoryClass)) std::abort();
             vexSetCurrentException(h.savedChain);
           });
  return image;
}

// The input as a file: an image read from it is written back, read and
// written again, and both writings must give the same bytes.
template <class Read, class Write>
void checkWriteBack(const std::uint8_t* data, std::size_t size, Read read, Write write) {
  std::string in = scratch("in"), out = scratch("out");
  writeBytes(in, data, size);
  Path inPath(in), outPath(out);
  vimage* image = readOrRefuse(read, inPath.p);
  if (!image) return;
  write(outPath.p, image);
  std::vector<std::uint8_t> first = readBytes(out);
  vimageDestroy(image);
  image = read(outPath.p);
  if (!image) std::abort();
  write(outPath.p, image);
  if (readBytes(out) != first) std::abort();
  vimageDestroy(image);
}

}  // namespace fuzzwin
