// The twenty static colours of a 256-entry system palette, for tests of
// palette devices.
#pragma once
#include <vector>

#include "platform/win.h"

inline std::vector<win::PALETTEENTRY> systemPaletteStatics() {
  const win::BYTE lower[10][3] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                                  {128, 0, 128}, {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
  const win::BYTE upper[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
                                  {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
  std::vector<win::PALETTEENTRY> p(256, win::PALETTEENTRY{0, 0, 0, 0});
  for (int i = 0; i < 10; ++i) {
    p[i] = {lower[i][0], lower[i][1], lower[i][2], 0};
    p[246 + i] = {upper[i][0], upper[i][1], upper[i][2], 0};
  }
  return p;
}
