// Text functions that know ISO-2022-JP ("JIS") runs, as found in mail
// headers, and the splitting of one entry of a mail address list.
//
// Texts are NUL-terminated byte strings. Kanji mode is ESC $ B or ESC $ @;
// ESC ( B, ESC ( J and ESC ( H return to one-byte mode; ESC ( I is
// half-width katakana. No function reads past the terminating NUL, also
// when a text ends inside an escape sequence or a two-byte character.
// Results that are allocated come from malloc: the caller frees them.
#ifndef COMJIS_H
#define COMJIS_H

#include <cstdint>

// One split address-list entry. Both texts are malloc'd; name is null when
// the entry has no display name.
struct ComMailAddrSplit {
    char* address;
    uint32_t addressLen;
    char* name;
    uint32_t nameLen;
};

// -1 when a or b is empty or null; 0 when the shorter one equals the start
// of the other, ASCII letters compared without case; -1 at a mismatch.
int comStrCasePrefixCmp(const char* a, const char* b);

// First position of text where pattern matches without case; null for a
// null text or no match. An empty pattern matches at the first byte of a
// non-empty text.
const char* comStrCaseFind(const char* text, const char* pattern);
inline char* comStrCaseFind(char* text, const char* pattern)
{ return const_cast<char*>(comStrCaseFind(static_cast<const char*>(text), pattern)); }

// As comStrCaseFind, but kanji runs are stepped over two bytes at a time and
// never matched, escape sequences are skipped, and the search gives up as
// soon as fewer bytes than the pattern's length remain.
const char* comJisCaseFind(const char* text, const char* pattern);
inline char* comJisCaseFind(char* text, const char* pattern)
{ return const_cast<char*>(comJisCaseFind(static_cast<const char*>(text), pattern)); }

// After leading blanks and TABs: 1 when a '(' is followed later by a ')'.
int comHasParens(const char* text);

// 1 when text is null or has at least n bytes; 0 when it is shorter.
int comStrLenAtLeast(const char* text, int n);

// Splits the first entry of an address list ("Name <addr>", "addr",
// "\"Quoted\" <addr>", JIS display names) into rec, overwriting it. With
// backslashFlag 0 a backslash makes the next byte a plain name byte; else
// both are kept. Returns the rest of the list after the entry's ',', or
// null when the list ended (or when memory ran out: rec is then unchanged).
const char* comMailAddrSplit(const char* list, ComMailAddrSplit* rec, int backslashFlag);

// Splits an entry of the form "address (name)" into rec, overwriting it.
// 0, or -1 when memory runs out (rec unchanged) or for a null argument.
int comMailAddrSplitParen(const char* entry, ComMailAddrSplit* rec);

// 1 when the text holds a known JIS escape sequence; 0 otherwise, and 0 at
// an ESC that the text ends within two bytes of.
int comJisHasEscape(const char* text);

// 1 at the first byte above 0x7E or below 0x20, CR, LF and ESC allowed;
// 0 otherwise (also for null).
int comHasNonPrintJis(const char* text);
// The same with only CR and LF allowed.
int comHasNonPrint(const char* text);

// New copy with a backslash before each double quote outside kanji and
// katakana runs. The copy ends at an ESC that the text ends within two
// bytes of, or at a kanji lead byte without its partner. Null for null or
// when memory runs out.
char* comJisQuoteEscape(const char* text);

// New copy without the bytes that do not belong to the current mode
// (controls, stray high bytes, broken kanji pairs), closed with ESC ( B when
// the text ends outside ASCII mode. Null for null or when memory runs out.
char* comJisClean(const char* text);

// Copies at most max bytes of a JIS text to dst, never cutting an escape
// sequence or a kanji pair and keeping room to close an open run with
// ESC ( B, which is then written after the copied bytes (within max).
// Returns the number of bytes copied without the closing escape. dst is
// not terminated.
int comJisCopyBounded(char* dst, const char* src, int max);

#endif
