// vimgedit's session: the image editor opened on a file read through the
// editor's import dispatch, or on a new image. The editor writes nothing by
// itself; the user exports.
#pragma once

struct vimage;
struct vimageedtr;

struct vimgedit {
  vimageedtr* editor;
  vimage* image;      // the program's, edited in place
  int closes;         // the editor's close callback so far (apply and save call it too)
  bool stopOnClose;   // the event loop ends once the editor has closed
};

// The width, height and colours of the image made without a file.
inline constexpr int vimgeditNEW_SIZE = 32;
inline constexpr int vimgeditNEW_COLORS = 16;

// Opens the editor on the file (null: a new image, white, with the 16
// standard colours). Null, with the reason in *error, when the file gives
// no image.
vimgedit* vimgeditOpen(const char* file, bool stopOnClose, const char** error);
// Closes the editor when open and frees everything.
void vimgeditDestroy(vimgedit* session);
