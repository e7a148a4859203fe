// The B-tree paged file: ordered records of byte-string keys and values
// in a B+ tree of fixed-size pages, kept in a file or in memory, with
// overflow chains for long keys and values, a free-page list, a page
// cache, either byte order and a "not properly closed" mark.
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
