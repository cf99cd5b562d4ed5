// Japanese code conversion between Shift_JIS, EUC-JP, ISO-2022-JP ("JIS")
// and UTF-8, with JIS as the pivot, and encoding detection.
//
// Texts are NUL-terminated byte strings. The converters write into a
// destination that the caller supplies; its required size is given with
// each function (L = strlen of the source). Converters marked "not
// terminated" expect a zero-filled destination of that size plus one byte.
#ifndef COMJCONV_H
#define COMJCONV_H

#include <cstdint>

// ---- constant tables -----------------------------------------------------

// {JIS high, JIS low, UCS-2 high, UCS-2 low}
struct ComJisUcsRecord {
    unsigned char jisHigh;
    unsigned char jisLow;
    unsigned char ucsHigh;
    unsigned char ucsLow;
};

// Inclusive range of comJisUcsTable that holds one JIS row. Row byte 0x00
// is the catch-all range, 0xFF ends the index.
struct ComJisRowRange {
    unsigned char row;
    unsigned char filler[3];
    int32_t first;
    int32_t last;
};

// {byte, UCS-2 high, UCS-2 low}
struct ComSingleByteUcsRecord {
    unsigned char byte;
    unsigned char ucsHigh;
    unsigned char ucsLow;
};

enum {
    COM_JIS_UCS_RECORDS = 7739,         // including the closing zero record
    COM_JIS_ROW_RECORDS = 80,           // including the end record
    COM_SINGLE_BYTE_UCS_RECORDS = 159   // including the closing zero record
};

extern const ComJisUcsRecord comJisUcsTable[COM_JIS_UCS_RECORDS];
extern const ComJisRowRange comJisRowIndex[COM_JIS_ROW_RECORDS];
extern const ComSingleByteUcsRecord comSingleByteUcsTable[COM_SINGLE_BYTE_UCS_RECORDS];

// ---- detection -----------------------------------------------------------

enum {
    COM_KANJI_EUC = 1,
    COM_KANJI_SJIS = 2,
    COM_KANJI_JIS_NEC = 3,      // ESC K
    COM_KANJI_JIS_B = 4,        // ESC $ B
    COM_KANJI_JIS_AT = 5,       // ESC $ @
    COM_KANJI_NONE = 6,         // no Japanese characters found
    COM_KANJI_EUC_OR_SJIS = 7,
    COM_KANJI_UTF8 = 8
};

// Guesses the encoding of a text (codes above). A non-0 sjisHint prefers
// Shift_JIS for lead bytes 0xF0-0xFE. NULL gives 6.
int comKanjiDetect(const char* text, unsigned int sjisHint);

// ---- converters ----------------------------------------------------------

// Shift_JIS -> JIS, not terminated. Destination: 4 * L + 3 bytes.
void comKanjiSjisToJis(const char* src, char* dst);
// JIS -> Shift_JIS, not terminated. Destination: L bytes.
void comKanjiJisToSjis(const char* src, char* dst);
// EUC-JP -> JIS, not terminated. Destination: 3 * L + 3 bytes.
void comKanjiEucToJis(const char* src, char* dst);
// JIS -> EUC-JP, not terminated. Destination: 2 * L bytes.
void comKanjiJisToEuc(const char* src, char* dst);
// EUC-JP -> Shift_JIS through JIS, not terminated. Destination: L bytes.
// Writes nothing when the work buffer cannot be allocated.
void comKanjiEucToSjis(const char* src, char* dst);
// Shift_JIS -> EUC-JP through JIS, not terminated. Destination: 2 * L bytes.
// Writes nothing when the work buffer cannot be allocated.
void comKanjiSjisToEuc(const char* src, char* dst);
// UTF-8 -> JIS, NUL-terminated. Destination: 3 * L + 4 bytes.
// Characters without a JIS or JIS X 0201 code, and invalid UTF-8, become '?'.
void comKanjiUtf8ToJis(const char* src, char* dst);
// JIS -> UTF-8, NUL-terminated. Destination: 3 * L + 1 bytes.
void comKanjiJisToUtf8(const char* src, char* dst);

// ---- single characters ---------------------------------------------------

// UCS-2 -> JIS X 0208 pair: 1 and out = {high, low, 0}; -1 and out zeroed.
int comUcsToJis(unsigned char ucsHigh, unsigned char ucsLow, unsigned char out[3]);
// UCS-2 -> JIS X 0201 byte: 2 for U+FF61-U+FF9F (out = 0x21-0x5F), 1 for
// another match; out = {byte, 0}. -1 and out zeroed when none.
int comUcsToSingleByte(unsigned char ucsHigh, unsigned char ucsLow, unsigned char out[2]);
// JIS pair -> UCS-2: 1 and out = {high, low, 0}; -1 and out zeroed.
int comJisToUcs(unsigned char jisHigh, unsigned char jisLow, unsigned char out[3]);
// First byte of ch (a JIS X 0201 byte) -> UCS-2: 1 and out = {high, low, 0};
// -1 and out zeroed.
int comSingleByteToUcs(const char* ch, unsigned char out[3]);
// UCS-2 -> UTF-8: number of bytes written (1, 2 or 3), NUL after them.
int comUcsToUtf8(unsigned char ucsHigh, unsigned char ucsLow, unsigned char out[4]);
// 4, 3, 2 or 1 by the number of leading one bits of the byte (at most 4).
int comUtf8LeadLen(unsigned char lead);

// ---- allocating converters -----------------------------------------------

// New malloc'd Shift_JIS copy of a UTF-8 text (caller frees). A character
// without a Shift_JIS code, and invalid UTF-8, becomes '?'. The result is
// never longer than the source. NULL for NULL or when memory runs out.
char* comUtf8ToSjisAlloc(const char* text);
// New malloc'd UTF-8 copy of a Shift_JIS text (caller frees). NULL for NULL
// or when memory runs out.
char* comSjisToUtf8Alloc(const char* text);

#endif
