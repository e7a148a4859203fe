#include "tests/support/recording_driver.h"

#include <cstdio>
#include <map>

namespace {

struct Data {
  int id;
  const void* target;
};

std::map<const void*, std::string> names;

std::string hex(unsigned v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%x", v);
  return b;
}
std::string rects(const vrect* r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i)
    s += " (" + std::to_string(r[i].x) + "," + std::to_string(r[i].y) + "," + std::to_string(r[i].width) + "," +
         std::to_string(r[i].height) + ")";
  return s;
}
void put(void* data, const std::string& what) {
  recordingDriver().log.push_back(what + "#" + std::to_string(static_cast<Data*>(data)->id));
}
void putArgs(void* data, const std::string& what, const std::string& args) {
  put(data, what);
  recordingDriver().log.back() += " " + args;
}

}  // namespace

RecordingDriver::RecordingDriver() {
  record = {
      0,
      vfixedONE,
      sizeof(Data),
      [](void* d, void* target, int flags) {
        auto* data = static_cast<Data*>(d);
        *data = {++recordingDriver().opens, target};
        auto it = names.find(target);
        putArgs(d, "open", "target=" + (it == names.end() ? std::string("?") : it->second) +
                               " flags=" + std::to_string(flags));
      },
      [](void* d) { put(d, "close"); },
      [](void* d) { put(d, "begin"); },
      [](void* d) { put(d, "end"); },
      [](void*) -> const vdrawDeviceTransform* { return &recordingDriver().transform; },
      [](void*) -> const vrect* { return &recordingDriver().bounds; },
      [](void* d) { put(d, "refresh"); },
      [](void* d, unsigned dirty) { putArgs(d, "sync", hex(dirty)); },
      [](void* d, vimage*, int x, int y) { putArgs(d, "clipToMask", std::to_string(x) + "," + std::to_string(y)); },
      [](void* d, const vpoint* p, int n) {
        recordingDriver().points.assign(p, p + n);
        putArgs(d, "fillPolygon", std::to_string(n));
      },
      [](void* d, const vpoint* p, int n) {
        recordingDriver().points.assign(p, p + n);
        putArgs(d, "strokePolyline", std::to_string(n));
      },
      [](void* d, const vrect* r, int n) { putArgs(d, "setClipRects", rects(r, n).substr(1)); },
      [](void* d, const vrect* r, int n) { putArgs(d, "fillRects", rects(r, n).substr(1)); },
      [](void* d, const vrect* r, int n) { putArgs(d, "frameRects", rects(r, n).substr(1)); },
      [](void* d, const vrect* r, int n, vfixed a, vfixed s) {
        putArgs(d, "fillChords", rects(r, n).substr(1) + " " + std::to_string(a) + " " + std::to_string(s));
      },
      [](void* d, const vrect* r, int n, vfixed a, vfixed s) {
        putArgs(d, "fillPies", rects(r, n).substr(1) + " " + std::to_string(a) + " " + std::to_string(s));
      },
      [](void* d, const vrect* r, int n, vfixed a, vfixed s) {
        putArgs(d, "frameArcs", rects(r, n).substr(1) + " " + std::to_string(a) + " " + std::to_string(s));
      },
      [](void* d, const vrect* r, int n, int w, int h) {
        putArgs(d, "fillRoundRects", rects(r, n).substr(1) + " " + std::to_string(w) + "," + std::to_string(h));
      },
      [](void* d, const vrect* r, int n, int w, int h) {
        putArgs(d, "frameRoundRects", rects(r, n).substr(1) + " " + std::to_string(w) + "," + std::to_string(h));
      },
      [](void* d, const char* chars, int n, const vdrawDeviceTransform* t) {
        putArgs(d, "showChars", std::string(chars, std::size_t(n)) + " at " + std::to_string(t->tx >> 16) + "," +
                                    std::to_string(t->ty >> 16));
      },
      [](void* d, vimage*, const vdrawDeviceTransform* t) {
        putArgs(d, "drawImage", std::to_string(t->tx) + "," + std::to_string(t->ty));
      },
      [](void* d, vimage*, const vdrawDeviceTransform* t) {
        putArgs(d, "drawMask", std::to_string(t->tx) + "," + std::to_string(t->ty));
      },
  };
}

std::vector<std::string> RecordingDriver::take() {
  std::vector<std::string> out;
  out.swap(log);
  return out;
}

void RecordingDriver::reset() {
  take();
  opens = 0;
  record.flags = 0;
  transform = {0, vfixedONE, 0, 0, vfixedONE, 0, 0};
  bounds = {0, 0, 100, 100};
}

void RecordingDriver::name(const void* target, const std::string& text) { names[target] = text; }

RecordingDriver& recordingDriver() {
  static RecordingDriver driver;
  return driver;
}
