// The ".vr" resource-file store: a tree of typed resources (dictionaries,
// arrays, tags, integers, fixed and float numbers, strings, characters,
// booleans, opaque bytes) kept as records of one B-tree paged file.
// Handles are non-negative: the open-file index in bits 24-30, the
// resource number in bits 0-23 (0 is the root). A tag of null names the
// resource itself.
//
// A tree of typed resources kept as records of one B-tree file (key 0x00: the two counters; 0x01 n:
// tag n's name; 0x00 r: resource r's record; 0x00 p n: dictionary p's entry under tag number n).
// Handles are the file's index (1-126) in bits 24-30 and the resource number in bits 0-23.
// `vrstore.cpp` holds the open-file table, the client header, tag and resource numbers and the
// record checks; `vrstore_dict.cpp` dictionaries, scalar, string and opaque records and removal of
// whole subtrees; `vrstore_array.cpp` arrays packed at 1-32 bits per element and widened as values
// grow (dictionary, array, string and opaque elements are records whose parent is the array).
// Opening a file reads every record once and refuses a damaged file (a record shorter than its
// header or its elements, a kind above 14, an unknown tag, a child filed twice or under a container
// its parent word does not name) before it is ever opened for writing, so a refusal never writes to
// it. Removal takes everything under a resource, arrays of arrays included, and no number reaches
// 0x1000000. The one-record cache holds the array last read by element: element sets at the present
// width change it in place and mark it dirty, and it is written to the B-tree when it settles
// (another array read, any other write or removal of that record, flush, save, copy, close); growth
// and creation write zero places without unpacking elements. `vrstore_iface.cpp` carries out the
// core's small resource interface (`fw/core/resource.h`) over the store: elements of scalar arrays
// get transient handles of file index 127. `vrstore_copy.cpp` copies a resource with everything
// under it (`vresourceCopyContents`), refusing a destination under the source.
// `tests/fuzz/fuzz_vr.cpp` feeds whole files to open, walk, change and close, and loads each
// top-level dictionary as an object and as a datatag, and reads the file as preferences.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "fw/core/fs.h"
#include "fw/core/resource.h"

inline constexpr int vrstoreMAX_FILES = 126;
inline constexpr std::size_t vrstoreCLIENT_HEADER = 24;

// Files. Open: mode 1 reads, 2 also writes (the B-tree's modes). Create
// and save: mode is the new file's permission bits (0: 0666), less the
// process's mask; a file replaced whole keeps its own mode.
vresource vrstoreOpenFile(const vfsPath* path, int mode);
vresource vrstoreOpenImage(const unsigned char* const* images);
vresource vrstoreCreateFile(const vfsPath* path, int mode);
vresource vrstoreCreateMemory();
vresource vrstoreLoadFile(const vfsPath* path);
vresource vrstoreSaveFile(vresource root, const vfsPath* path, int mode);
void vrstoreCopyFile(vresource source, vresource destination);
void vrstoreCloseFile(vresource root);
void vrstoreFlushFile(vresource root);
void vrstoreWriteSource(vresource root, vfsStream* out, const char* name);
vfsStream* vrstoreGetFile(vresource root);
int vrstoreIsWritable(vresource h);
// The client header of a new file.
void vrstoreMakeClientHeader(unsigned char* header);
// The open/close observer: (root, 0) after an open, (root, 1) before a close.
void vrstoreSetObserver(void (*observer)(vresource root, int closing));

// Making and removing.
vresource vrstoreMake(vresource h, vname tag);
vresource vrstoreCreate(vresource h, vname tag, int kind);
vresource vrstoreMakeArray(vresource h, vname tag, int elementKind, std::int32_t count);
vresource vrstoreCreateArray(vresource h, vname tag, int elementKind, std::int32_t count);
void vrstoreRemove(vresource h, vname tag);
void vrstoreRenameTag(vresource h, vname from, vname to);

// Getters raise Arg "Non-existent resource" for an absent child or one of
// another kind; the test forms answer 0 and store nothing.
vresource vrstoreGet(vresource h, vname tag);
int vrstoreTestGet(vresource h, vname tag, vresource* out);
vname vrstoreGetTag(vresource h, vname tag);
std::int32_t vrstoreGetInteger(vresource h, vname tag);
std::int32_t vrstoreGetFixed(vresource h, vname tag);
double vrstoreGetFloat(vresource h, vname tag);
int vrstoreGetBoolean(vresource h, vname tag);
char vrstoreGetCharacter(vresource h, vname tag);
std::string vrstoreGetStringText(vresource h, vname tag);  // internal character set
vscribe* vrstoreGetString(vresource h, vname tag);
// Copies min(maximum, characters from offset + 1) - 1 characters (none
// when that is not positive) and a terminator when maximum is not 0.
std::size_t vrstoreGetStringRange(vresource h, vname tag, std::size_t offset, char* buffer, std::size_t maximum);
std::size_t vrstoreCopyRange(const std::string& text, std::size_t offset, char* buffer, std::size_t maximum);
void* vrstoreGetOpaque(vresource h, vname tag, std::size_t* length);  // vmemFree; null when empty
int vrstoreTestGetInteger(vresource h, vname tag, std::int32_t* out);
int vrstoreTestGetTag(vresource h, vname tag, vname* out);

// Setters make the child when absent.
void vrstoreSetTag(vresource h, vname tag, vname value);
void vrstoreSetInteger(vresource h, vname tag, std::int32_t value);
void vrstoreSetFixed(vresource h, vname tag, std::int32_t value);
void vrstoreSetFloat(vresource h, vname tag, double value);  // a finite value beyond single range: Arg/Range
void vrstoreSetBoolean(vresource h, vname tag, int value);
void vrstoreSetCharacter(vresource h, vname tag, char value);
void vrstoreSetString(vresource h, vname tag, vscribe* text);
void vrstoreSetStringSized(vresource h, vname tag, const char* text, std::size_t count);
void vrstoreSetOpaque(vresource h, vname tag, const void* bytes, std::size_t length);

// Structure.
std::int32_t vrstoreCount(vresource h);
vresource vrstoreGetTagAt(vresource h, std::int32_t index, vname* tag);
vname vrstoreGetTagAtOnly(vresource h, std::int32_t index);
vresource vrstoreGetParent(vresource h);
vresource vrstoreGetRoot(vresource h);
std::size_t vrstoreGetSize(vresource h);
std::size_t vrstoreGetStringLength(vresource h);
int vrstoreGetType(vresource h, vname tag);
int vrstoreGetElementType(vresource h);
std::uint32_t vrstoreGetNumber(vresource h);
vresource vrstoreFromNumber(vresource h, std::uint32_t number);

// Arrays: elements by index.
vresource vrstoreCreateAt(vresource array, std::int32_t index, int kind);
vresource vrstoreInsertAt(vresource array, std::int32_t index, int kind);
void vrstoreRemoveAt(vresource array, std::int32_t index);
void vrstoreSetCount(vresource array, std::int32_t count);
vresource vrstoreGetAt(vresource array, std::int32_t index);
vname vrstoreGetAtTag(vresource array, std::int32_t index);
std::int32_t vrstoreGetAtInteger(vresource array, std::int32_t index);
std::int32_t vrstoreGetAtFixed(vresource array, std::int32_t index);
double vrstoreGetAtFloat(vresource array, std::int32_t index);
int vrstoreGetAtBoolean(vresource array, std::int32_t index);
char vrstoreGetAtCharacter(vresource array, std::int32_t index);
std::string vrstoreGetAtStringText(vresource array, std::int32_t index);
void* vrstoreGetAtOpaque(vresource array, std::int32_t index, std::size_t offset, std::size_t maximum,
                         std::size_t* length);
void vrstoreSetAtTag(vresource array, std::int32_t index, vname value);
void vrstoreSetAtInteger(vresource array, std::int32_t index, std::int32_t value);
void vrstoreSetAtFixed(vresource array, std::int32_t index, std::int32_t value);
void vrstoreSetAtFloat(vresource array, std::int32_t index, double value);
void vrstoreSetAtBoolean(vresource array, std::int32_t index, int value);
void vrstoreSetAtCharacter(vresource array, std::int32_t index, char value);
void vrstoreSetAtStringSized(vresource array, std::int32_t index, const char* text, std::size_t count);
void vrstoreSetAtOpaque(vresource array, std::int32_t index, const void* bytes, std::size_t length);
void vrstoreInsertAtTag(vresource array, std::int32_t index, vname value);
void vrstoreInsertAtInteger(vresource array, std::int32_t index, std::int32_t value);
void vrstoreInsertAtFixed(vresource array, std::int32_t index, std::int32_t value);
void vrstoreInsertAtFloat(vresource array, std::int32_t index, double value);
void vrstoreInsertAtBoolean(vresource array, std::int32_t index, int value);
void vrstoreInsertAtCharacter(vresource array, std::int32_t index, char value);

// The core's small resource interface over this store, and the resource
// module's start-up row.
void vrstoreInstallInterface();
void vresourceStartup();
void vresourceInstallStartup();
// The resource module's started mark: set by the end of its start-up and
// by the first registration of an open resource file.
void _vtextviewInputSetFlag();
int _vtextviewInputGetFlag();


// Where h is held: the dictionary and tag it is filed under; for an
// element of an array, the array's dictionary and tag and h's index.
void vrstoreFind(vresource h, vresource* parent, vname* tag);
void vrstoreFindAt(vresource h, vresource* parent, vname* tag, std::int32_t* index);
