// The B-tree paged file: ordered records of byte-string keys and values
// in a B+ tree of fixed-size pages, kept in a file or in memory, with
// overflow chains for long keys and values, a free-page list, a page
// cache, either byte order and a "not properly closed" mark.
//
// 2. `fw/data`: the B-tree paged file (`btree.h`), chunk files (`chunk.h`), index sets, shape and
//    tag tables (`ndx.h`), and scraps, native scraps and the typed resource value base class
//    (`scrap.h`, `res.h`), below, regular expressions (`regexp.h`), number parsing and number text
//    (`num.h`; see "Numbers" below), preferences (`pref.h`) and undo actions (`undo.h`), both below,
//    the ".vr" resource-file store (`vrstore.h`), its text form and authoring tool (`vrtext.h`,
//    `tool/vrtool.cpp`) and the installation search (`inst.h`). The resource interface's two 101-slot
//    tables routed by the handle's sign, and resources as scraps (`vresource.h`), sit over both
//    stores.
//
// `btree_store.cpp` keeps the pages: a memory tree holds every page in a map; a file tree holds a
// cache (8 to 64 pages by the file's size) that grows while one operation runs and is trimmed back
// after it, writing the least recently used dirty pages, so no page a running operation points into
// is ever evicted. Pages are kept in this machine's byte order and converted on their way to and
// from a file written in the other order (the header's mark tells). The first page write marks the
// file "not properly closed"; sync and close clear the mark; an open of a marked file raises.
// `btree.cpp` holds the records, the search, puts with page splits (a separator whose key is in an
// overflow chain shares the chain, which is then kept for good), deletions, cursors and compaction.
//
// - Every page number, slot offset, record length, overflow length and neighbour read from a file is
//   checked; walks stop after as many steps as the file has pages; a cursor step that does not move
//   past its key is damage too. Damage raises "B-Tree Manager" and the tree is never written again.
//
// - Long-form records whose key length has bit 0x80 in its low byte would read as short-form records
//   on a little-endian writer: such keys go to an overflow chain, so every record keeps the
//   documented layout.
//
// - The cursor keeps its record's key and seeks again from it at each step, so puts and deletes
//   between steps never leave it on a stale slot. Compaction copies every record of the source.
//
// - `vbtreeSaveAs` writes as `fw/data/wholesave.h` says: a regular file through a private temporary
//   file renamed into place, a link's target, a device in place (the tree returned is then a
//   writable copy in memory). The mode is the new file's permission (0: 0666) less the umask. On
//   failure it returns none with errno set to the cause.
//
// - An overflow chain is read exactly as far as its length says: a page met twice, a chain that ends
//   early or runs on past its length is damage.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/ex.h"
#include "fw/core/fs.h"

struct vbtree;

inline constexpr std::size_t vbtreeCLIENT_HEADER = 24;
inline constexpr std::uint32_t vbtreeDEFAULT_PAGE_SIZE = 4096;
inline constexpr std::uint32_t vbtreeMIN_PAGE_SIZE = 512;
inline constexpr std::uint32_t vbtreeMAX_PAGE_SIZE = 65536;

enum : int { vbtreeREAD = 1, vbtreeWRITE = 2 };
enum : int { vbtreeSEEK = 1, vbtreeFIRST = 2, vbtreeLAST = 3, vbtreeNEXT = 4, vbtreePREVIOUS = 5 };

// Header flags.
enum : std::uint32_t {
  vbtreeOPENED = 0x01,
  vbtreeCURSOR = 0x02,
  vbtreeWRITABLE = 0x04,
  vbtreeIMAGE = 0x08,
  vbtreeUNSIGNED_KEYS = 0x10,
  vbtreeNOT_CLOSED = 0x20,
  vbtreeHEADER_WRITTEN = 0x40,
};

extern const vexClass vbtreeManagerClass;    // "B-Tree Manager"
extern const vexClass vbtreeNotClosedClass;  // "File not properly closed"

// A null path opens a new empty memory tree. Answers null for a file that
// is not a B-tree file; a file left "not properly closed" raises.
vbtree* vbtreeOpen(const vfsPath* path, int mode, unsigned char* clientHeader);
vbtree* vbtreeCreate(const vfsPath* path, int mode, std::uint32_t pageSize, const unsigned char* clientHeader);
vbtree* vbtreeOpenImage(const unsigned char* const* images);
vbtree* vbtreeLoad(const vfsPath* path, unsigned char* clientHeader);
vbtree* vbtreeSaveAs(vbtree* tree, const vfsPath* path, int mode, const unsigned char* clientHeader);
int vbtreeClose(vbtree* tree);
void vbtreeSync(vbtree* tree);

// Keys and values handed back live in the tree's buffers until its next call.
int vbtreeFind(vbtree* tree, const void* key, std::size_t keyLength, const void** value, std::size_t* valueLength);
void vbtreePut(vbtree* tree, const void* key, std::size_t keyLength, const void* value, std::size_t valueLength);
bool vbtreeDelete(vbtree* tree, const void* key, std::size_t keyLength);
bool vbtreeCursor(vbtree* tree, const void** key, std::size_t* keyLength, const void** value,
                  std::size_t* valueLength, int mode);
int vbtreeIsWritable(vbtree* tree);
// Whether anything was written or changed since the open or last sync.
int vbtreeIsModified(vbtree* t);
vfsStream* vbtreeGetFile(vbtree* tree);
std::uint32_t vbtreeGetPageSize(vbtree* tree);
std::uint32_t vbtreeGetLastPage(vbtree* tree);
void vbtreeCompact(vbtree* source, vbtree* destination);
void vbtreeWriteSource(vbtree* tree, vfsStream* out, const char* name);

// Files written from now on are in the other byte order (for tests).
void _vbtreeSetForeignOrder(bool foreign);
