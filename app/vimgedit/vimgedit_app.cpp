#include "app/vimgedit/vimgedit_app.h"

#include <string>

#include "fw/core/event.h"
#include "fw/core/fs.h"
#include "fw/core/mem.h"
#include "fw/gui/graphics/image.h"
#include "fw/imaging/vimageedtr.h"
#include "fw/imaging/vimageedtr_io.h"
#include "fw/widgets/dialog/dialog.h"

namespace {

// White first, so a new image starts white under background 0 and draws
// black with foreground 1.
const std::uint32_t kStandardColors[vimgeditNEW_COLORS] = {
    0xFFFFFF, 0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
    0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF,
};

vimage* newImage() {
  vimage* image = vimageCreateSized(vimgeditNEW_SIZE, vimgeditNEW_SIZE, vimgeditNEW_COLORS);
  vcolorList* palette = vimageGetPalette(image);
  for (int i = 0; i < vimgeditNEW_COLORS; ++i) {
    std::uint32_t c = kStandardColors[i];
    vcolorSetSpecRGB(&palette->entries[i], (c >> 16 & 0xFF) * 257, (c >> 8 & 0xFF) * 257, (c & 0xFF) * 257);
  }
  vcolorListChanged(palette);
  vpixmapFill(image, 0);
  return image;
}

vimgedit* current = nullptr;

// Runs after the event that called back: by then a closing editor is closed.
int checkClosed(vevent*) {
  if (current && current->stopOnClose && !vwindowIsOpen(current->editor)) veventStopProcessing();
  return 1;
}

void closed(vimageedtr*, vimage*) {
  if (!current) return;
  ++current->closes;
  if (current->stopOnClose) veventPost(veventCreateClient(checkClosed, nullptr));
}

}  // namespace

vimgedit* vimgeditOpen(const char* file, bool stopOnClose, const char** error) {
  if (error) *error = nullptr;
  vimage* image = nullptr;
  if (file) {
    vfsPath* path = vfsNewPathFromString(file);
    vimage* mask = nullptr;
    image = vimageedtrReadImage(path, &mask);
    vfsFreePath(path);
    if (!image) {
      if (error) *error = "the file cannot be read as an image";
      return nullptr;
    }
    // The editor moves a mask the image carries to its mask view.
    if (mask) vimageSetMaskOwned(image, mask);
  } else {
    image = newImage();
  }
  auto* s = new vimgedit{};
  s->image = image;
  s->stopOnClose = stopOnClose;
  s->editor = vimageedtrCreate();
  if (file) vwindowSetTitleScribe(s->editor, vscribeCString(file));
  vimageedtrSetImage(s->editor, image);
  vimageedtrSetCloseCallback(s->editor, closed);
  current = s;
  vdialogPlace(s->editor, vwindowGetRoot(), 6, 6);
  vwindowOpen(s->editor);
  return s;
}

void vimgeditDestroy(vimgedit* s) {
  if (!s) return;
  if (current == s) current = nullptr;
  if (s->editor) {
    vimageedtrSetFlags(s->editor, vimageedtrGetFlags(s->editor) | vimageedtrNO_APPLY_ON_CLOSE);
    if (vwindowIsOpen(s->editor)) vwindowClose(s->editor);
    vinstanceDestroy(s->editor);
  }
  if (s->image) vimageDestroy(s->image);
  delete s;
}
