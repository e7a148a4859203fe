// Character sets: the framework keeps text in Windows-1252 (the internal
// set, number 3) and converts to and from eight other numbered native sets
// through converting scribes; Windows-1252 upper case; substitute
// converters; byte order; the Arg/Tag exception.
//
// Text inside the framework is Windows-1252 (set 3); sets 0-8 are the native sets it converts to
// and from. Each conversion is a scribe whose class record carries a codec (`charconv.h`): one step
// reads one source character, never past the end of the text, and writes up to three output
// characters, so reads and lengths agree and a bounded read never splits a character. Byte sets are
// 256-entry constexpr tables (`cp1252.h` holds the case and accent tables shared with
// `vcstrCompareNoCase`); Unicode narrows through a 512-entry page index built at compile time from
// the 24 Windows-1252 characters that are not Latin-1, so codes above 0xFFFF and cut or overlong
// UTF-8 give 0xA0. Set 8 is ISO 8859-2. Start-up sets only the character-type locale from the
// environment (numbers keep the "C" locale); the locale table gives set 3 for every locale.
//
// Character-mapping scribes (`scribe_map.h`) map a source text as it is read: upper case (0xDF as
// "SS"; a read with one place left before it writes one "S", so a bounded read writes exactly its
// bounded length), lower case, accents stripped, both, and, with a `vscribeMapState` record from
// one pool, a character or a set of characters replaced, translation between two sets, and
// substring replacement (`vscribeReplace`, whose copies of its texts the state owns). Every kind
// comes NUL-terminated and counted (a counted source and set treat NUL as a character); one table
// row per kind. `vscribePrint` takes byte scribes only ("Arg" before any read), reads a computed
// scribe into its own 256-byte buffer or a heap string, and writes through the current set's
// conversion to native text.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fw/core/ex.h"
#include "fw/core/name.h"
#include "fw/core/scribe.h"

enum : int {
  vcharsetASCII = 0,
  vcharsetLATIN1 = 1,
  vcharsetMAC_ROMAN = 2,
  vcharsetINTERNAL = 3,
  vcharsetUNICODE = 4,  // 16-bit units
  vcharsetSHIFT_JIS = 5,
  vcharsetEUC_JP = 6,
  vcharsetUTF8 = 7,
  vcharsetLATIN2 = 8,   // ISO 8859-2
  vcharsetCOUNT = 9,
};

// Sets the character-type locale from the environment and chooses the
// current set from the locale table.
void vcharsetStartup();
int vcharsetGetCurrent();
// The set the locale table gives a locale or language code (3 when none).
int vcharsetForLocale(const char* name);

// Converting scribes of any set, in either direction. A count of
// vcharsetTO_END reads up to the terminating zero unit (16-bit for set 4).
inline constexpr std::size_t vcharsetTO_END = SIZE_MAX;
vscribe* vcharsetCreateFromNativeScribe(int set, const void* text, std::size_t count);
vscribe* vcharsetCreateToNativeScribe(int set, const char* text, std::size_t count);
// One native character to internal; set 7 raises Module/State.
int vcharsetMapChar(int set, int c);

vscribe* vcharsetCreateNarrowScribe(const std::uint16_t* text, std::size_t count);  // set 4 to internal
vscribe* vcharsetCreateWideScribe(const char* text, std::size_t count);             // internal to set 4
vscribe* vcharsetCreateMacRomanScribe(const char* text, std::size_t count);         // set 2 to internal
vscribe* vcharsetCreateLatin1Scribe(const char* text, std::size_t count);           // set 1 to internal
vscribe* vcharsetCreateAsciiScribe(const char* text);                               // set 0 to internal
vscribe* vcharsetCreateAsciiApproxScribe(const char* text, std::size_t count);      // internal to set 0
vscribe* vcharsetCreateUtf8Scribe(const char* text, std::size_t count);             // set 7 to internal
int vcharsetNarrowChar(std::uint32_t code);  // a Unicode code to internal (0xA0 when it has none)
std::uint16_t vcharsetWidenChar(int c);      // an internal character to its Unicode code

// Upper case: 1 or 2 characters written (the sharp s gives "SS").
int vcharsetUpperChar(int c, char* out);
int vcharsetUpperCharBounded(int c, char* out, std::size_t room);
int vcharsetGetCharLength(int c);

// Substitute converters: every character becomes 0x2121 (A) or 0x2244 (B),
// or passes through table C (backslash to 165, tilde to 175) or its
// reverse D. A count of vcharsetTO_END reads to the terminating zero.
vscribe* vcharsetCreateSubstituteAScribe(const char* text, std::size_t count);
vscribe* vcharsetCreateSubstituteBScribe(const char* text, std::size_t count);
vscribe* vcharsetCreateTableCScribe(const char* text, std::size_t count);
vscribe* vcharsetCreateTableDScribe(const char* text, std::size_t count);

std::uint32_t vbyteSwapLong(std::uint32_t value);

struct vexArgTagException : vexArgException {
  vname tag;
};
extern const vexClass vexArgTagClass;
void vexArgSetTag(vexException* e, va_list* ap);  // vname
void vexArgTagPrint(vexException* e, std::FILE* stream);
