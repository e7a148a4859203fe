// Scribes: one-shot text sources that the receiving operation consumes
// (reads once and releases). Counted strings (vstr): NUL-terminated text
// with its length stored before it, from size-class pools.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct vscribe;
using vstr = char;  // a counted string is also a C string

struct vscribeClass {
  char* (*read)(vscribe* s, char* buffer, std::size_t max);  // -> end of what was written
  std::size_t (*length)(vscribe* s, std::size_t max);
  void (*finalise)(vscribe* s);
  int charSize;
};

// What a scribe holds, for consumers that can use its text in place.
enum : std::uint16_t {
  vscribeCSTRING = 1,
  vscribeCOUNTED = 2,
  vscribeOWNEDSTRING = 4,
  vscribeLITERAL = 8,
  vscribeLITERALCOUNTED = 16,
  vscribeNAME = 32,
  vscribeTEXTINPLACE = 1 | 2 | 8 | 16 | 32,
};

struct vscribe {
  const vscribeClass* cls;
  void* data;
  std::size_t data2;
  int charSize;
  std::uint16_t flags;
};

vscribe* vscribeCreate(const vscribeClass* cls);
void vscribeRelease(vscribe* s);

vscribe* vscribeCString(const char* text);
vscribe* vscribeLiteral(const char* text);
vscribe* vscribeCStringSized(const char* text, std::size_t count);
vscribe* vscribeLiteralSized(const char* text, std::size_t count);
vscribe* vscribeRepeatChar(int c, std::size_t count);
vscribe* vstrScribe(vstr* s);  // the scribe owns the string from now on
vscribe* _vscribeText(const char* text, std::uint16_t flags);  // C-string reader with the given flags
vscribe* vscribeConcat(vscribe* first, ...);  // null-terminated
vscribe* vscribeAppend(vscribe* concat, vscribe* s);
vscribe* vscribeCreateFormatted(const char* format, ...);
vscribe* vscribeCreateFormattedV(const char* format, va_list ap);
// text with every pattern replaced by replacement; the texts are copied.
vscribe* vscribeReplace(vscribe* text, vscribe* pattern, vscribe* replacement);
// Windows-1252 mappings over a NUL-terminated text, which stays the
// caller's until the scribe is consumed: upper case (0xDF gives "SS"),
// lower case, lower case with the accents removed.
vscribe* _vtextviewInputCharScribe(const char* text);
vscribe* vscribeLowerCase(const char* text);
vscribe* vscribeLowerCaseNoAccents(const char* text);

using vscribeConversion = vscribe* (*)(int flags, int precision, const char** position, va_list* ap);
enum : int { vscribeFLAG_PLUS = 1, vscribeFLAG_SPACE = 2, vscribeFLAG_ALT = 4, vscribeFLAG_LONG = 8 };
void vscribeRegisterConversion(int c, vscribeConversion handler);

// Consumers: each releases the scribe.
char* vscribeReadAll(vscribe* s, char* buffer);
char* vscribeReadBounded(vscribe* s, char* buffer, std::size_t max);
void* vscribeTakeBuffer(vscribe* s);
char* vscribeGetCString(vscribe* s, char* buffer);
char* vscribeGetCStringBounded(vscribe* s, char* buffer, std::size_t n);
char* vscribeAppendToCString(char* buffer, vscribe* s);
char* vscribeAppendToCStringBounded(char* buffer, std::size_t size, vscribe* s);
char* vscribeGetString(vscribe* s, char* buffer);
char* vscribeGetStringBounded(vscribe* s, char* buffer, std::size_t bytes);
char* vscribeCreateString(vscribe* s);
void vscribeFreeString(char* string);
// A null stream is the debug console's output. vscribePrint takes byte
// characters only (Arg otherwise, before anything is read).
void vscribeWriteToStream(vscribe* s, std::FILE* stream);
void vscribePrint(vscribe* s, std::FILE* stream);
// Not consuming.
std::size_t vscribeGetLength(vscribe* s);
std::size_t vscribeGetLengthBounded(vscribe* s, std::size_t max);
std::size_t vscribeGetByteLength(vscribe* s);

// Native character set: set 3 is the internal set itself.
vscribe* vscribeFromNative(const char* text);
vscribe* vscribeToNative(const char* text);
vscribe* vscribeToNativeSized(const char* text, std::size_t count);
int vcharFromNative(int c);
// The current set number; the character-set module takes these over.
int vcharGetCurrentSet();
void _vcharSetCurrentSet(int set);

// Counted strings.
vstr* vstrAllocSized(std::size_t length);
void vstrDestroy(vstr* s);
std::size_t vstrGetLength(const vstr* s);
vstr* vstrResize(vstr* s, std::size_t length);
vstr* vstrResizeDiscard(vstr* s, std::size_t length);
vstr* vstrCloneScribed(vscribe* s, vstr* old);
vstr* vstrConcat(const char* first, ...);            // texts, null, then the old string or null
vstr* vstrConcatScribed(vscribe* first, ...);        // scribes, null, then the old string or null
vstr* vstrAppendScribed(vstr* s, vscribe* scribe);
vstr* vstrClone(const char* text);
// Where a string of this length lives: pool number 0-7, or -1 for the heap.
int _vstrPoolNumber(std::size_t length);

// C strings.
char* vcstrCopy(const char* source, char* destination);
char* vcstrCopyBounded(const char* source, char* destination, std::size_t n);
char* vcstrCopyBytes(const char* source, std::size_t n, char* destination);
char* vcstrCopyBytesBounded(const char* source, std::size_t n, char* destination, std::size_t maximum);
std::size_t vcstrLengthBounded(const char* text, std::size_t n);
int vcstrCompareNoCase(const char* a, const char* b);
// The last occurrence of pattern in string (an empty pattern: the NUL), or null.
const char* vcstrFindLast(const char* string, const char* pattern);
int vcstrCompareNoCaseBounded(const char* a, const char* b, std::size_t n);
void vcstrPrint(const char* text, std::FILE* stream);
void vcstrPrintNative(const char* text, std::size_t length, std::FILE* stream);
