// Chunk files: a heap of variable-sized byte records (chunks) in 1024-byte
// blocks of a file or a memory block, addressed by byte offset; the
// variable-length integers of the format; packed integer arrays in one
// chunk.
//
// `chunk.cpp` holds the var-int codec, the two byte sources (a file stream; a memory block, whose
// writes past its end are dropped), the header and index chunks, the per-block first-chunk offsets
// with the max-tree of free values, and allocation, free, resize and reallocation as the format
// lays them out. The blocks in use are held in memory as one image (on the framework heap, so a
// growth it refuses raises `Memory`) and written back by dirty range (the format's block runs and
// release ring are not kept: a chunk file is small next to memory); the image cannot grow while
// chunk data is held (`Module/State`). `chunk_array.cpp` packs integer arrays into one chunk and
// reads and writes each element where it lies (a chunk is rebuilt only to widen the code or change
// the count); a count whose chunk would pass 0x7FFF0000 bytes raises `Module/Limit` "Maximum array
// size" before anything is allocated. The header's last block and index chunk are checked against
// the source before anything is sized; every var-int, chunk header and index entry is checked as it
// is read; width code 7 and negative counts are refused. `vchunkSaveToPath` writes as
// `fw/data/wholesave.h` says (links followed, devices in place, modes kept). `tests/fuzz/fuzz_chunk.cpp` feeds whole images to the reader.
//
// `ndx.cpp` holds the three tables the typed-resource files keep in chunks: index sets (rows of
// 32-bit cells, a free row marked 0x80000000 in its first cell), shape tables (one node per sorted
// set of tags, found by a key summed from the tags' name pointers and flags) and tag tables
// (numbered interned names, written in string order with up to 15 shared leading characters). Each
// has a serialised size and a writer over var-ints; each reader checks every count against the
// bytes left (rows x columns, tag and node counts, a shared prefix never longer than the previous
// tag) and answers null for bytes that are not its table.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fw/core/fs.h"

// ---- Variable-length integers: a first byte of four flag bits and a
// count n (0-4) of big-endian two's-complement value bytes after it.
int vchunkIntLength(std::int32_t value);  // shortest size, 1-5
int vchunkEncodeInt(std::uint8_t* p, std::int32_t value);                 // shortest; keeps p[0]'s flags
int vchunkEncodeIntLength(std::uint8_t* p, std::int32_t value, int size);  // into size bytes
// The size read (1-5), or 0 when the count is above 4 or the bytes run
// past end.
int vchunkDecodeInt(const std::uint8_t* p, const std::uint8_t* end, std::int32_t* value);
void vchunkSetIntFlags(std::uint8_t* p, int flags);  // the high four bits

// ---- Byte sources.
struct vchunkData;
struct vchunkDataClass {
  void (*flush)(vchunkData* d);
  void (*destroy)(vchunkData* d);
  bool (*read)(vchunkData* d, std::int64_t offset, std::size_t length, std::uint8_t* out);  // zeros past the end
  bool (*write)(vchunkData* d, std::int64_t offset, const std::uint8_t* data, std::size_t length);
  bool (*isWritable)(vchunkData* d);
  std::int64_t (*size)(vchunkData* d);
};
struct vchunkData {
  const vchunkDataClass* cls;
};
// Over an open stream (closed with the source).
vchunkData* vchunkFileDataCreate(vfsStream* stream);
// Over a block of memory. Writes past the block grow it when it is owned
// and are dropped when it is lent.
vchunkData* vchunkMemoryDataCreate(void* block, std::size_t size, bool owned, bool writable);
void vchunkDataDestroy(vchunkData* d);

struct vchunkFile;

inline constexpr std::uint32_t vchunkBLOCK = 1024;
inline constexpr std::uint32_t vchunkMAGIC = 0x00ED0BD0;

// Open raises Arg with "File is not a chunk file." or "Version of chunk
// file is too new", and "File not properly closed" with "Chunk file was
// not properly closed.". Both take the source over.
vchunkFile* vchunkOpen(vchunkData* source);
vchunkFile* vchunkCreate(vchunkData* source);
void vchunkClose(vchunkFile* f);
// Changes made between begin and end passing (a read that needs records of
// its own) stay in memory: they neither mark the file open nor reach it,
// unless a later change of the file's own marks it and writes them along.
void vchunkBeginPassing(vchunkFile* f);
void vchunkEndPassing(vchunkFile* f);
bool vchunkIsMarkedOpen(const vchunkFile* f);
void vchunkFlush(vchunkFile* f);
vchunkFile* vchunkSaveTo(vchunkFile* f, vchunkData* destination);
// The whole file's bytes as a clean close would leave them.
std::vector<std::uint8_t> vchunkGetImage(vchunkFile* f);
// The stream under a file-backed chunk file; null over memory.
vfsStream* vchunkGetStream(vchunkFile* f);
// Writes the whole chunk file to path (see wholesave.h); a target written in
// place leaves, when asked, a private copy to read back, whose name is returned.
std::string vchunkSaveToPath(vchunkFile* f, const vfsPath* path, int permission, bool keepCopy = false);

std::uint32_t vchunkAlloc(vchunkFile* f, std::uint32_t length);
void vchunkFree(vchunkFile* f, std::uint32_t address);
int vchunkResize(vchunkFile* f, std::uint32_t address, std::uint32_t length);
std::uint32_t vchunkRealloc(vchunkFile* f, std::uint32_t address, std::uint32_t length);
std::uint8_t* vchunkGetData(vchunkFile* f, std::uint32_t address);
void vchunkRelease(vchunkFile* f, std::uint32_t address);
void vchunkReleaseDirty(vchunkFile* f, std::uint32_t address);
std::uint32_t vchunkGetSize(vchunkFile* f, std::uint32_t address);
void vchunkSetRoot(vchunkFile* f, std::uint32_t address);
std::uint32_t vchunkGetRoot(vchunkFile* f);
std::uint32_t vchunkGetLastBlock(vchunkFile* f);
// The largest free chunk's free value (1 + its length) in one block.
std::uint32_t vchunkGetFreeValue(vchunkFile* f, std::uint32_t block);

// For the chunk arrays, which change their chunk in place: the data of an
// allocated chunk and its length, not pinned (good until the next
// allocation, free or resize); and bytes from..to of it marked changed.
std::uint8_t* _vchunkPeek(vchunkFile* f, std::uint32_t address, std::uint32_t* length);
void _vchunkChanged(vchunkFile* f, std::uint32_t address, std::uint32_t from, std::uint32_t to);
// How many chunks are held now (got and not yet released).
std::size_t _vchunkHeldCount(const vchunkFile* f);

// ---- Chunk arrays. Elements are read and stored in place; a chunk is
// rebuilt only when a value needs a wider code or the count changes. A
// count whose chunk would pass the file's bounds raises Module/Limit
// "Maximum array size" before anything is allocated.
std::int64_t vchunkArrayGet(vchunkFile* f, std::uint32_t array, std::int32_t index);
std::uint32_t vchunkArraySet(vchunkFile* f, std::uint32_t array, std::int32_t index, std::int64_t value);
std::uint32_t vchunkArrayInsert(vchunkFile* f, std::uint32_t array, std::int32_t index, std::int64_t value);
std::uint32_t vchunkArrayDelete(vchunkFile* f, std::uint32_t array, std::int32_t index);
std::int32_t vchunkArrayCount(vchunkFile* f, std::uint32_t array);
std::uint32_t vchunkArraySetCount(vchunkFile* f, std::uint32_t array, std::int32_t count);
int vchunkArrayWidthCode(vchunkFile* f, std::uint32_t array);
// Raises Module/Limit "Maximum array size" when count elements holding
// value would not fit in one chunk.
void vchunkArrayCheckCount(vchunkFile* f, std::uint32_t array, std::int32_t count, std::int64_t value);
// Elements from..to-1 set to value; answers the (possibly moved) address.
std::uint32_t vchunkArrayFill(vchunkFile* f, std::uint32_t array, std::int32_t from, std::int32_t to,
                             std::int64_t value);
