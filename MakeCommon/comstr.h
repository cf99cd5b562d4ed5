// Character-string helpers over NUL-terminated byte strings (UTF-8 aware).
// Functions that allocate return malloc'd memory: the caller frees it.
#ifndef COMSTR_H
#define COMSTR_H

#include <cstddef>

#if defined(__GNUC__)
#define COMSTR_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define COMSTR_PRINTF(f, a)
#endif

// ---- small helpers -------------------------------------------------------

// 1 when the byte is 0x80 or above.
int comIsHighByte(char c);
// Length of the UTF-8 sequence led by `lead`: 1..6, or -1 for a byte that
// cannot lead (0x80-0xC1, 0xF5-0xF7, 0xFE, 0xFF).
int comUtf8SeqLen(char lead);
// Number of UTF-8 characters; invalid leads are skipped, a cut-off last
// sequence is not counted. 0 for null or "".
int comUtf8CharCount(const char* text);
// 1 when the three bytes at p are a half-width katakana (U+FF61-U+FF9F).
int comIsHalfwidthKana(const char* p);
// a / b rounded up when there is a remainder; 0 for b == 0.
int comCeilDiv(int a, int b);
// Value of up to len (1..7) hex digits; stops at a byte below '0';
// -1 for a null text, a bad len or a non-hex byte.
int comHexToInt(const char* text, int len);
// 1 when the text is digits, optionally led by '-', followed only by
// blanks, TABs, CR or LF.
int comIsInteger(const char* text);
// 1 when the text is null, empty or only blanks.
int comIsBlank(const char* text);
// Ends the text at its n-th LF (and at a CR right before it).
void comCutLines(char* text, int n);
// Replaces control bytes and " * / : < > ? \ | by ch, in place.
void comReplaceFileNameChars(char* text, char ch);
// Replaces every `from` byte by `to`, in place.
void comReplaceChar(char* text, char from, char to);
// Copies at most n bytes and writes a NUL at dst[n]: dst needs n + 1 bytes.
void comStrCopyN(char* dst, const char* src, unsigned n);
// Lower/upper-case copy into dst (strlen(src) + 1 bytes); returns a pointer
// to the NUL written.
char* comToLowerCopy(const char* src, char* dst);
char* comToUpperCopy(const char* src, char* dst);
// 1 when text is longer than suffix and ends with it; for a null or empty
// suffix, 1 when text holds no '.'; 0 for a null text.
int comEndsWith(const char* suffix, const char* text);
// Writes "\"text\"" into dst (strlen(text) + 4 bytes), adding a backslash
// before the closing quote when the text ends in an odd number of them.
// Returns dst.
char* comQuoteValue(char* dst, const char* text);

// ---- string utilities ----------------------------------------------------

// Removes trailing blanks, TAB, CR and LF in place.
void comRTrim(char* text);
// Removes leading blanks, CR and LF in place.
void comLTrim(char* text);
// 1 when the text is an integer or a decimal number "int.frac".
int comIsDecimal(const char* text);
// Right-trims the text in place, then 1 when it is only digits and
// lower-case ASCII letters ('-' allowed first of at least two characters).
int comIsLowerAlnum(char* text);
// 0 valid, -2 valid with more than maxDigits digits, -1 invalid or NULL.
int comCheckNumberCommas(const char* text, int maxDigits);
// Cuts in place to at most maxChars characters (4+-byte sequences count 2
// unless flag is 1); 1 when cut, else 0.
int comUtf8Cut(char* text, int maxChars, int flag);
// Cuts in place to at most maxCols display columns; 1 when cut, else 0.
int comUtf8CutWidth(char* text, int maxCols);
// Cuts in place to at most maxBytes bytes without splitting a sequence;
// returns the new byte length.
int comUtf8CutBytes(char* text, int maxBytes, int shorterAllowed);
// Copies length bytes from byte start into out (length + 1 bytes).
// sjis 1: never splits a two-byte Shift_JIS character; else a copy of the
// first length bytes cut with comUtf8CutBytes.
void comSubstr(const char* text, int start, int length, char* out, int sjis);
// Text before the last '.' (out: strlen(name) + 1 bytes).
void comFileNameNoExt(const char* name, char* out);
// Text from the last '.' on, "" when none or it is first.
void comFileNameExt(const char* name, char* out);
// Text after the first '@' ("" when none). 0.
int comMailDomain(const char* address, char* out);
// Case-insensitive comparison, NULL counts as "".
int comStrCaseCmp(const char* a, const char* b);
int comStrNCaseCmp(const char* a, const char* b, size_t n);
// First case-insensitive / case-sensitive match, stepping over whole UTF-8
// sequences; NULL when none or for NULL arguments.
const char* comStrCaseStr(const char* text, const char* pattern);
const char* comUtf8StrStr(const char* text, const char* pattern);
inline char* comStrCaseStr(char* text, const char* pattern)
{ return const_cast<char*>(comStrCaseStr(static_cast<const char*>(text), pattern)); }
inline char* comUtf8StrStr(char* text, const char* pattern)
{ return const_cast<char*>(comUtf8StrStr(static_cast<const char*>(text), pattern)); }
// Decimal form with ',' between groups of three (out: 16 bytes suffice).
void comIntWithCommas(char* out, int value);
// Copies text without ',' (out: strlen(text) + 1 bytes); decimals > 0 first
// cuts after that many digits behind the first '.'.
void comStripCommas(const char* text, char* out, int decimals);
// Pointer to the last separator ('/' or, with winStyle, any of '\\' '/' ':').
const char* comPathLastSep(const char* path, int winStyle);
inline char* comPathLastSep(char* path, int winStyle)
{ return const_cast<char*>(comPathLastSep(static_cast<const char*>(path), winStyle)); }
// Directory part: text before the last '/', cut to outSize - 1 bytes.
void comPathDir(const char* path, char* out, int outSize, int winStyle);
// Base name: text after the last '\\', '/' or ':', cut to outSize - 1 bytes.
void comPathBase(const char* path, char* out, int outSize, int winStyle);
// Removes every CR in place.
void comStrRemoveCr(char* text);
// 1 when ch does not occur in text, 0 when it does.
int comStrHasNoChar(const char* text, char ch);
// CR LF, lone CR and lone LF each become one blank, in place.
void comStrNewlinesToBlanks(char* text);
// Within the first length bytes: CR LF becomes LF, a lone CR becomes LF.
void comStrCrLfToLf(int length, char* text);
// New malloc'd string with every pattern replaced; NULL for a NULL argument
// or when memory runs out.
char* comStrReplaceAll(const char* text, const char* pattern, const char* replacement);
// New malloc'd string: the text without blanks when it looks like a dotted
// value (see the implementation); a copy when shorter than 9 bytes; NULL
// when it holds no '.', no '/' or a ','. The caller frees a non-NULL result.
char* comStrRemoveBlanksIfDotted(const char* text);
// Index of the first entry equal to text (caseless), -1 when none.
int comStrListFind(const char* text, int count, const char* const* list);
// Index of the first entry that starts with text (caseless), -1 when none.
int comStrListFindPrefix(const char* text, int count, const char* const* list);
// Field n (from 0) of a CSV line into out (outSize bytes). 1 found, 0 not,
// -99 for a NULL line or out.
int comCsvGetField(int n, int outSize, const char* line, char* out, int* truncated,
                   int sjis, int emptyIfBlank, int* closedQuote, char delimiter);
// Checks an integer part with separators and a fraction; cuts the text in
// place after *decimals digits when it has more; *decimals receives how
// many the text had. 0 valid, result of comCheckNumberCommas, or -1.
int comCheckDecimalCommas(char* text, int maxIntDigits, int* decimals);
// Value with `decimals` decimals and ',' groups (out: 128 bytes). 0, or -1
// (out "") when the formatted value does not fit 127 bytes.
int comDoubleWithCommas(char* out, double value, int decimals);
// Quotient rounded to the nearest integer, halves up; 0 for divisor 0.
double comRoundDiv(double dividend, double divisor);
int comRoundDivInt(int dividend, int divisor);
// Time-stamped message to standard error.
void comLogStderr(const char* fmt, ...) COMSTR_PRINTF(1, 2);
// U+3000 becomes a blank, in place. 0, or -1 at an invalid sequence.
int comUtf8FullSpaceToBlank(char* text);
// As comUtf8FullSpaceToBlank, plus full-width ASCII forms to ASCII.
int comUtf8FullWidthToAscii(char* text);
// Display columns up to maxCols; *cutPos receives the byte position of the
// first character that would pass it (0 when none).
int comUtf8WidthCut(const char* text, int maxCols, int* cutPos);
// Display width of the whole text; 0 for NULL.
int comUtf8Width(const char* text);
// Byte position of character number `start`; see the implementation.
int comUtf8CharOffset(const char* text, int count, int* endPos, int* chars, int start);
// Validates / cleans UTF-8 in place (unless checkOnly). 1, or 0 at the
// first fault when checkOnly is 1.
int comUtf8Check(char* text, int dropNewlines, int checkOnly);
// UTF-8 to Shift_JIS into out (outSize bytes). 0, or -1.
int comUtf8ToSjis(const char* utf8, char* out, int outSize);
// Shift_JIS to UTF-8 into out (outSize bytes). 0, or -1.
int comSjisToUtf8(const char* sjis, char* out, int outSize);

#endif
