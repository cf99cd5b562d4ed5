// MIME coding over byte buffers: base64, quoted-printable (body and the
// header "Q" form), uudecode, and a few small text helpers.
#ifndef COMMIME_H
#define COMMIME_H

// Base64 of len bytes of src into dst, "=" padded, no line breaks,
// NUL-terminated. dst must hold 4 * ceil(len / 3) + 1 bytes. Returns the
// number of characters written (without the NUL).
int comBase64Encode(int len, const void* src, char* dst);

// Streaming base64 decoder. The carry between calls is process-wide:
// decode one stream at a time, starting with comBase64DecodeInit.
void comBase64DecodeInit();
// Decodes at most len characters of src (stops earlier at a NUL, or at a LF
// that starts a group); an unfinished group is carried to the next call.
// Blanks, CR and other characters outside the alphabet are skipped. dst
// must hold 3 * ((len + 3) / 4 + 1) + 1 bytes; it is NUL-terminated.
// Returns the number of bytes written.
int comBase64Decode(int len, const char* src, void* dst);
// Decodes the carried characters as a last group (2 characters give one
// byte, 3 give two), NUL-terminates dst (at least 3 bytes) and clears the
// carry. Returns the number of bytes written.
int comBase64DecodeEnd(void* dst);

// Quoted-printable decoding into dst (strlen(src) + 1 bytes). With header,
// '_' becomes a blank. "=XX" (two hex digits) becomes that byte; a soft line
// break ("=" CR LF or "=" LF) is removed; any other '=' is copied. Returns
// the number of escapes decoded.
int comQpDecode(const char* src, char* dst, int header);
// Quoted-printable encoding into dst. maxLine 0: no soft line breaks; else
// lines are kept within maxLine characters where they can be. dst must hold
// 3 * strlen(src) + 1 bytes, plus 3 per soft line break when maxLine > 0
// (at most one per source byte: 6 * strlen(src) + 1 covers every maxLine).
// Returns 0.
int comQpEncode(const char* src, char* dst, int maxLine, int header);
// 0 for a blank, a control character (of the low seven bits) and each of
// ()<>@,;:"/[]?.= ; 1 for every other character.
int comMimeIsTokenChar(int c);

// Checks a "begin <mode> <name>" line; *name receives a malloc'd copy of
// the name (quotes and trailing CR/LF removed). 0; -1 no memory; -3 not
// "begin"; -4 mode too long; -5 mode not octal; -6 no memory for the name;
// -7 line too short; -99 null argument. The name comes from the data:
// sanitise it before using it as a path.
int comUudecodeBegin(const char* line, char** name);
// Decodes one uuencoded line (a trailing CR/LF is ignored); *out receives a
// malloc'd buffer of the decoded bytes (the caller frees it). Returns the
// byte count; 0 for an empty line (*out null); -1 for "" or null; -3 no
// memory; -8..-11 a bad first..fourth character of a group.
int comUudecodeLine(const char* line, unsigned char** out);

// Copies at most max bytes of blank-separated field n (from 1) of text into
// out (max + 1 bytes), NUL-terminated. Blanks inside single or double quotes
// do not separate; field 3 runs to the end of the text. Returns the number
// of bytes copied.
int comSplitWord(const char* text, int n, char* out, int max);
// First occurrence of c in text; NULL when none, for c == 0 and for null.
const char* comStrChr(const char* text, int c);
inline char* comStrChr(char* text, int c)
{ return const_cast<char*>(comStrChr(static_cast<const char*>(text), c)); }

// Removes trailing CR and LF in place.
void comTrimCrLf(char* text);

#endif
