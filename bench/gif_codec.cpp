// GIF files of a 1024 x 768 8-bit image written and read, file included:
// a gradient with light noise, and pure noise.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "fw/imaging/codecs/vimportgif.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

vimage* picture(bool noise) {
  vimage* image = vimageCreateSized(kWidth, kHeight, 256);
  std::mt19937 rng(38);
  vpixmapCursor c;
  vpixmapInitCursor(&c, image);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      vpixmapCursorSetNext(&c, noise ? rng() & 0xFF : ((x + y) / 8 + (rng() % 8 == 0 ? 1 : 0)) & 0xFF);
  vpixmapFinishCursor(&c);
  vcolorList* p = vimageGetPalette(image);
  for (unsigned i = 0; i < 256; ++i) vcolorSetSpecRGB(&p->entries[i], i * 257, (255 - i) * 257, (i * 3 % 256) * 257);
  return image;
}

struct File {
  std::string name = "/tmp/gif_codec." + std::to_string(getpid()) + ".gif";
  vfsPath* path = vfsNewPathFromString(name.c_str());
  ~File() {
    vfsFreePath(path);
    std::remove(name.c_str());
  }
};

void Write(benchmark::State& state) {
  vimage* image = picture(state.range(0) != 0);
  File f;
  for (auto _ : state) vimportWriteGIF(f.path, image);
  vimageDestroy(image);
}
BENCHMARK(Write)->ArgName("noise")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void Read(benchmark::State& state) {
  vimage* image = picture(state.range(0) != 0);
  File f;
  vimportWriteGIF(f.path, image);
  vimageDestroy(image);
  for (auto _ : state) vimageDestroy(vimportGIF(f.path));
}
BENCHMARK(Read)->ArgName("noise")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
