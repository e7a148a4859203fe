// Value marshalling by datatag: how a typed value is written into a session
// block and read back. Every value starts with a tag byte whose group says
// what follows; integers take the fewest bytes that hold them; composite
// values carry counts and nested values; a value can carry the definition
// of its own datatag. A writer is a scrap over the block that values are
// imported into; a reader is a scrap over the block that is imported from.
// Each datatag kind has one delegate class doing its reading and writing.
#pragma once
#include <cstdint>

#include "fw/data/datatag.h"
#include "fw/services/block.h"

// A scrap typed by one datatag (mode 0) or a datatag list (mode 1); what is
// imported into it is kept in an inner native typeable scrap.
struct vsessionEngineScrap : vinstance {
  vinstance* inner;
  std::int32_t mode;
  void* datatag;  // vdatatag* in mode 0, vdatatagList* in mode 1
};
enum : std::int32_t { vsessionScrapDATATAG = 0, vsessionScrapLIST = 1 };

vscrapTypeableClassRec* vsessionGetEngineScrapClass();
vsessionEngineScrap* vsessionCreateEngineScrap(vdatatag* datatag);
vsessionEngineScrap* vsessionCreateEngineListScrap(vdatatagList* datatags);
inline vdatatag* vsessionEngineScrapGetDatatag(const vsessionEngineScrap* s) {
  return s->mode == vsessionScrapDATATAG ? static_cast<vdatatag*>(s->datatag) : nullptr;
}
inline vdatatagList* vsessionEngineScrapGetList(const vsessionEngineScrap* s) {
  return s->mode == vsessionScrapLIST ? static_cast<vdatatagList*>(s->datatag) : nullptr;
}

struct _vrepdefRoot;

// A reader or writer over a block: writing appends at the tail, reading
// takes bytes from the head.
struct _vrepdefScrap : vsessionEngineScrap {
  vsessionBlock* block;
  std::uint32_t elementTag;  // the typed array's element tag, 0 when each value carries its own
  std::uint32_t flags;       // _vrepdefARRAY, _vrepdefDICTIONARY, _vrepdefUNION, ...
  void* state;               // the composite in progress (a pooled record)
  _vrepdefRoot* root;        // shared by every scrap nested in the outermost one
  std::int32_t depth;
  std::int32_t selector;     // the union in progress
  std::uint32_t size;        // opaque data: its size and offset in the block
  std::uint32_t dataOffset;
};
enum : std::uint32_t {
  _vrepdefARRAY = 0x100,
  _vrepdefDICTIONARY = 0x200,
  _vrepdefUNION = 0x400,
  _vrepdefOPAQUE_READ = 0x800,  // the opaque header has been read
  _vrepdefMEMBER = 0x1000,      // the union's member has been written
};

vscrapTypeableClassRec* _vrepdefGetScrapClass();
_vrepdefScrap* _vrepdefCreateScrap(vsessionBlock* block, vdatatag* datatag);
_vrepdefScrap* _vrepdefCreateListScrap(vsessionBlock* block, vdatatagList* datatags);

// Writes value (which stays the caller's) at the block's tail. A refusal
// leaves the block as it was and raises what the encoding raised.
void _vrepdefWrite(_vrepdefScrap* writer, vinstance* value);
// Reads the next value into target (a scrap of a compatible kind). A
// refusal raises what the decoding raised; the block's end is restored.
void _vrepdefRead(_vrepdefScrap* reader, vinstance* target);
// Reads the next value into a new native typeable scrap.
vinstance* _vrepdefReadNative(_vrepdefScrap* reader);

// The group "vrepdef" with "EncodedArray", "EncodedDictionary" and
// "EncodedCompound", the datatags of values known only by their class.
vdatatagGroup* _vrepdefGetGroup();
vdatatag* _vrepdefGetEncodedArray();
vdatatag* _vrepdefGetEncodedDictionary();
vdatatag* _vrepdefGetEncodedCompound();
// The shared delegate instance of a datatag kind.
vinstance* _vrepdefGetDelegate(int kind);
