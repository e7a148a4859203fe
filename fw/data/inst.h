// The installation search: where the framework's own resource file is,
// and its root, opened once on first use.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "fw/core/fs.h"
#include "fw/core/resource.h"

inline constexpr const char* vinstNAMES[] = {"vwexlin7.vr", "vwexlin6.vr", "vwexlin5.vr"};

// The path of the file (the caller frees it); Access when not found.
vfsPath* vinstFindFile(const char* name);
vfsPath* vinstFindFileQuiet(const char* name);  // null when not found
// The framework file a message names: the first of vinstNAMES found, else
// the first name.
std::string vinstSystemFileName();
// The same places for a file of any kind (a help file is plain text).
vfsPath* vinstFindPlainFileQuiet(const char* name);
// The root of the framework resource file; an empty memory file when none
// is found. Closed by an exit handler.
vresource vinstGetSystemResource();
int vinstSystemResourceInMemory();
// The framework's default preferences (its key bindings among them), built
// into the library from its resource file's text: the stand-in for that
// file's "Preferences" when no file is found. Closed by an exit handler.
vresource vinstGetDefaultPreferences();
// The look's dictionary ("vlaf") of that file, built in the same way: the
// images that give controls their parts (a scroll bar's arrows).
vresource vinstGetDefaultLook();
const char* _vinstDefaultPreferencesText();

// The places the search looks, in order, one line each, for a message.
std::vector<std::string> vinstSearchPlaces();
// For a program that cannot run without them: "" when the framework's
// resource file and each of own are found and read whole; else the message
// that names the file found and what failed in it, or what is missing and
// the places looked.
std::string vinstMissingFiles(const char* program, std::initializer_list<const char*> own = {});
// What keeps a resource file from being read whole ("is empty", "is
// damaged: ..."); "" when every entry of it reads.
std::string vinstUnreadableFile(const std::string& file);
// Opens a resource file as vresourceOpenFile does; a file vinstMissingFiles
// read whole was kept open, and its first open for reading takes it.
vresource vinstOpenFile(const vfsPath* path, int mode);
// Forgets the root and the files kept open (tests): closes them.
void _vinstReset();
// One folder searched as the program's is (tests): the path found or "".
std::string _vinstSearchDirectory(const char* dir, const char* name);
