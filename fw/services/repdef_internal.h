// Shared between the marshalling files; not for other folders.
#pragma once
#include <cstdint>

#include "fw/services/repdef.h"

// What the outermost reader or writer keeps for all the scraps nested in it.
struct _vrepdefRoot {
  // The first refusal of the encoding: raised again by the outermost call,
  // whatever the scrap layers in between made of it.
  const vexClass* errorClass;
  const char* message;
  vdatatag* datatag;
  vname name;
};

// The tag groups and bits.
enum : std::uint8_t {
  tagGROUP = 0x70,
  tagBIG_ENDIAN = 0x08,
  tagBIT2 = 0x04,
  tagWIDTH = 0x03,
  tagINTEGER = 0x10,
  tagFIXED = 0x20,
  tagREAL = 0x30,
  tagSTRING = 0x40,
  tagARRAY = 0x50,
  tagDICTIONARY = 0x60,
  tagTRUE = 0x1C,
  tagFALSE = 0x18,
  tagSCRAP = 0x56,
  tagUNION = 0x63,
  tagGENERIC_DICTIONARY = 0x64,
};

// The scrap a delegate serves: one level up its walk.
inline _vrepdefScrap* _vrepdefServed(const vscrap* w) { return static_cast<_vrepdefScrap*>(w->stack[w->depth - 1]); }
inline vdatatag* _vrepdefDatatagOf(const _vrepdefScrap* s) { return vsessionEngineScrapGetDatatag(s); }
// A dictionary datatag that names no entries (or the encoded one) travels
// in the self-describing form, each entry with its own datatag.
inline bool _vrepdefGenericDictionary(vdatatag* d) {
  return d == _vrepdefGetEncodedDictionary() || vdictCount(&static_cast<vdatatagDict*>(d)->entries) == 0;
}
inline int _vrepdefKindOf(const _vrepdefScrap* s) {
  vdatatag* d = _vrepdefDatatagOf(s);
  return d ? vdatatagGetKind(d) : vdatatagLIST;
}

// Refusals: recorded in the root, then raised. A scrap whose root already
// refused raises that again, so no layer retries on half-read bytes.
[[noreturn]] void _vrepdefFail(_vrepdefScrap* s, const vexClass* cls, const char* message);
[[noreturn]] void _vrepdefMismatch(_vrepdefScrap* s, const char* message);  // naming s's datatag
[[noreturn]] void _vrepdefRaiseRecorded(_vrepdefRoot* root);
void _vrepdefCheck(_vrepdefScrap* s);
// After a write: a union whose switch value went out needs its member.
void _vrepdefCheckWritten(_vrepdefScrap* s);

// A scrap over the same block for a member or element, one level deeper.
_vrepdefScrap* _vrepdefNested(_vrepdefScrap* parent, vdatatag* d, std::uint32_t elementTag);
_vrepdefScrap* _vrepdefNestedList(_vrepdefScrap* parent, vdatatagList* list);
// An array in progress, reading or writing.
struct _vrepdefArrayState {
  vdatatag* previous;  // the element datatag, or the last element's (generic form)
  std::int32_t count;
  std::int32_t next;
};
static_assert(sizeof(_vrepdefArrayState) <= 2 * sizeof(void*));
void* _vrepdefAllocArrayState();
void* _vrepdefAllocDictionaryState();

// Writing: bytes go to the tail; multi-byte numbers little-endian.
unsigned char* _vrepdefAppend(_vrepdefScrap* s, std::uint32_t n);
void _vrepdefPutByte(_vrepdefScrap* s, std::uint8_t byte);
void _vrepdefPutNumber(unsigned char* at, std::uint64_t value, int bytes);
void _vrepdefPutWord(_vrepdefScrap* s, std::uint8_t tag, std::uint32_t value);  // tag and 4 bytes
int _vrepdefWidthCode(std::uint32_t n);  // 0, 1 or 2 for 1, 2 or 4 bytes
void _vrepdefPutText(_vrepdefScrap* s, const char* text, std::uint32_t length);  // an encoded string, set 3
void _vrepdefPutScribe(_vrepdefScrap* s, vscribe* text);  // consumes; null writes the missing string
void _vrepdefWriteReference(_vrepdefScrap* s, vdatatag* d, int depth);
// The datatag of a value known only by its class ("Unsupported scrap class").
vdatatag* _vrepdefTypeOfValue(_vrepdefScrap* s, vinstance* value);
// Its own datatag when the value has one that can travel, else its class's.
vdatatag* _vrepdefTypeOfScrap(_vrepdefScrap* s, vinstance* value);

// Reading: bytes from the head; a shortfall is a mismatch.
inline std::uint32_t _vrepdefLeft(const _vrepdefScrap* s) { return s->block->tail - s->block->head; }
const unsigned char* _vrepdefTake(_vrepdefScrap* s, std::uint32_t n);
std::uint8_t _vrepdefTakeByte(_vrepdefScrap* s);
std::uint64_t _vrepdefTakeNumber(_vrepdefScrap* s, int bytes, bool bigEndian);
std::uint32_t _vrepdefTakeWord(_vrepdefScrap* s);  // a 0x12 (or 0x1A) tag and 4 bytes
// An encoded string after its tag byte, converted to the native set; null
// for character set 0 (no text).
vscribe* _vrepdefTakeText(_vrepdefScrap* s, std::uint8_t tag);
int _vrepdefConvertChar(_vrepdefScrap* s, int set, std::uint32_t code);
vdatatag* _vrepdefReadReference(_vrepdefScrap* s, int depth);
// Definitions read are kept once each, until the module ends: a datatag
// read as a value outlives its reader, and a peer that sends the same
// definition again gets the same datatag. Answers the datatag equal to the
// one described, made and kept when there is none yet.
vdatatag* _vrepdefInternDefinition(int kind, vclass* scrapClass, std::int32_t count, vdatatag* const* refs,
                                   std::int32_t refCount);

// The typed array's element tag of a kind; 0 for kinds that have none.
std::uint8_t _vrepdefElementTag(int kind);

// Integers in C memory as datatag scraps lay them out (kinds Byte to
// UnsignedInteger: 1, 1, 2, 2, 4 and 4 bytes).
std::int64_t _vrepdefGetHostInteger(int kind, const unsigned char* at);
void _vrepdefSetHostInteger(int kind, unsigned char* at, std::int64_t value);
// The memory and count of an array held by a datatag scrap (object) whose
// elements are of kind; false when it is no such scrap.
bool _vrepdefHostIntegers(vinstance* object, int kind, unsigned char** data, std::int32_t* count);
bool _vrepdefWriteIntegerArray(_vrepdefScrap* s, const vscrap* source);

// The delegates' operations, by direction.
void _vrepdefFillWriters(vclass* delegate, int kind);
void _vrepdefFillReaders(vclass* delegate, int kind);
vclass* _vrepdefBuildIterators(int which);  // 0 datatag list, 1 compound members, 2 dictionary
