// The image editor's files: the import and export choosers with their
// file types, the reader chosen by a file's extension, the writer chosen
// by the export chooser's file type, and the editor's apply handlers.
// A write goes to a temporary file beside the target and replaces it only
// when complete; a failure, or an icon the image cannot make, is told to
// the user in a notice naming the file.
//
// - `vimageedtr_io.h`: the editor's files. The reader follows the text after the last "." of the
//   path's last element (`vcstrCompareNoCase`; no "." or an unknown extension: the X bitmap reader);
//   a raise inside a reader is dropped and gives no image, and an import that gets none changes
//   nothing and says so in a notice naming the file (a silent chooser left the user guessing). An
//   icon file's images go through `vimportPickIcon`, which destroys the dropped images with their
//   masks (the reader attaches them unowned); the chosen image's mask comes back detached, the
//   original destroyed once copied, so the mask model owns the one mask there is. The writer forces
//   the format's extension on a copy of the path (`vfsSetPathExtension`; none for XBM). Every codec
//   writes through `_vimportwinWriteReplacing`, so a refusal or raise leaves the old file as it was
//   and no partial one; the dispatch catches it and shows a notice naming the file, as it does for
//   an icon the image cannot make (mask, 16/32/64 a side, depth 1 or 4, 2/8/16 colours). The notice
//   is raised again after 0.1 s: the chooser whose overwrite question just closed gets its
//   activation back, and with it the top of the stack, while the notice is already up. The two
//   shared choosers (types from "File Types" of "vfilechsr", eight image groups beside the chooser's
//   own four, without "Extension" since the editor forces it; the export chooser starts on "GIF",
//   the format of no selection) reach their editor through their data word, set each time an editor
//   hands one out; they go with the last editor and are only forgotten at context exit, when the
//   window layer may already have destroyed them.
#pragma once
#include <cstdint>

#include "fw/core/fs.h"
#include "fw/core/name.h"
#include "fw/gui/graphics/image.h"
#include "fw/widgets/choosers/filechsr.h"

// Export format numbers.
enum : int {
  vimageedtrGIF = 0,
  vimageedtrXBM = 1,
  vimageedtrPBM = 2,
  vimageedtrPGM = 3,
  vimageedtrPPM = 4,
  vimageedtrBMP = 5,
  vimageedtrICO = 6,
};

// The readers an extension leads to.
enum : int {
  vimageedtrREAD_XBM = 0,
  vimageedtrREAD_PNM = 1,
  vimageedtrREAD_GIF = 2,
  vimageedtrREAD_BMP = 3,
  vimageedtrREAD_ICO = 4,
};

// The file-type names of each chooser, in their order: 9 for import
// ("Default" first), 7 for export ("XBM" first). Interned.
int vimageedtrImportTypeCount();
vname vimageedtrImportType(int index);
int vimageedtrExportTypeCount();
vname vimageedtrExportType(int index);

// The format number of a file-type name: GIF for any name not exported
// and for none.
int vimageedtrFormatOfType(vname type);
// The format of the chooser's selected file type.
int vimageedtrGetExportFormat(vfilechsr* chooser);
// The extension a format forces on the path, or null (XBM keeps it).
const char* vimageedtrFormatExtension(int format);

// The reader for a file name: the text after its last "." compared
// without regard to case or accents; no "." or anything unknown: XBM.
int vimageedtrReaderFor(const char* fileName);

// The icon chosen from a null-terminated array: the most colours, then
// the wider or taller. Every other image is destroyed with its mask, and
// the array freed. None for an empty array.
vimage* vimportPickIcon(vimage** images);

// Reads the file through the reader of its name. A failure or a raise
// gives none and changes nothing. A transparency mask comes back in
// *mask (the caller's, detached from the image), else *mask is null.
vimage* vimageedtrReadImage(const vfsPath* path, vimage** mask);

// 1 when the image can be written as an icon with this mask: a mask,
// 16, 32 or 64 pixels each way, depth 1 or 4, 2, 8 or 16 colours.
int vimageedtrIconQualifies(const vimage* image, const vimage* mask);

// Writes the image in the format to the path with the format's extension
// forced (mask: the icon's). 1 when written. Otherwise the file already
// there is left as it was, no partial file remains, and a notice naming
// the file is shown placed over near (or the root window); nothing is
// raised.
int vimageedtrWriteImage(const vfsPath* path, vimage* image, vimage* mask, int format, vwindow* near);

// ---- The editor's side. The choosers reach their editor through their
// data word, set each time the editor hands one out.
struct vimageedtr;
// Reads the chosen file into the editor ("Set Image" recorded, a mask
// shown in the mask view); a file that gives no image changes nothing.
// Always 1.
int vimageedtrImportApply(vfilechsr* chooser, vfsPath* path);
// Writes the committed image in the format of the chooser's type. Always 1.
int vimageedtrExportApply(vfilechsr* chooser, vfsPath* path);
// Places the editor's import or export chooser and runs it modally: the
// editors are blocked until it is answered. One already open is raised.
void vimageedtrOpenImportChooser(vimageedtr* editor);
void vimageedtrOpenExportChooser(vimageedtr* editor);
// The shared choosers let go of an editor that goes; with the last editor
// they go too (making them started modules whose exits would run first).
void _vimageedtrForgetChoosers(vimageedtr* editor);
void _vimageedtrDropChoosers();

// The shared import (kind vfilechsrOPEN) or export (vfilechsrSAVE)
// chooser, made on first use with its file types, in the program's
// directory, calling apply; gone at the context's end.
vfilechsr* _vimageedtrSharedChooser(int kind, vfilechsrApplyFunc apply);
