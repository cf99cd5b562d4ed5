// CGI output channel, CSV fields, URL coding and query splitting.
// Functions that allocate return malloc'd memory: the caller frees it.
#ifndef COMCGI_H
#define COMCGI_H

#include <cstddef>

#if defined(__GNUC__)
#define COMCGI_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define COMCGI_PRINTF(f, a)
#endif

// ---- output channel ------------------------------------------------------
// One per process; writes to standard output until a file is opened.

// Points the channel at a file ("a+" when append is non-0, else "wb+"),
// closing a file already open. 0; -1 for a NULL path or when the file
// cannot be opened (the channel is then on standard output).
int comCgiOpenOutput(const char* path, int append);
// Closes the channel's file (if any) and returns to standard output.
// 0; -1 when a write to the file or its close failed since it was opened.
int comCgiCloseOutput();
// Non-0: comCgiPrintf converts text for standard output from UTF-8 to
// Shift_JIS. A file always receives the bytes as formatted.
void comCgiSetConvert(unsigned char on);
// Flushes the file, or standard output; the result of fflush.
int comCgiFlush();
// Writes the block unchanged. 0 when written whole; -1 otherwise (also
// for size 0 or a NULL buffer).
int comCgiWrite(const void* buffer, size_t size);
// printf-style write to the channel. 0; -1 when the Shift_JIS conversion
// ran out of memory (nothing is written then).
int comCgiPrintf(const char* fmt, ...) COMCGI_PRINTF(1, 2);

// ---- CSV fields ----------------------------------------------------------

// CSV form of the text: in double quotes with inner quotes doubled when it
// holds a quote or the separator (a NUL separator always quotes), or force
// is non-0; else a copy. NULL for a NULL text or when memory runs out.
char* comCsvQuote(const char* text, unsigned char force, char separator);
// Writes comCsvQuote(text, raw, separator) to the channel: raw non-0 as a
// flushed block, else as formatted text. 0; -1 when the field could not be
// built; -99 for a NULL text.
int comCsvPrint(const char* text, unsigned char raw, char separator);
// Shift_JIS conversion of a UTF-8 text, quoted with separator ','.
// NULL for a NULL text or when memory runs out.
char* comUtf8ToSjisCsvQuote(const char* text, unsigned char force);
// Converts to Shift_JIS, then writes like comCsvPrint. 0; -1 when memory
// runs out; -99 for a NULL text.
int comUtf8ToSjisCsvPrint(const char* text, unsigned char raw, char separator);
// Converts to Shift_JIS and writes it. 0 (also for NULL); -1 when memory
// runs out.
int comUtf8ToSjisPrint(const char* text);
// Writes CR, LF, NUL into buffer (3 bytes). 0.
int comCrLf(char* buffer);

// ---- URL coding and query splitting ----------------------------------------

// Space modes of comCgiUrlEncode.
enum {
    COM_URL_SPACE_KEEP = 0,     // blank stays a blank
    COM_URL_SPACE_PERCENT = 1,  // "%20"
    COM_URL_SPACE_PLUS = 2      // "+"
};

// Percent-encoding: ASCII letters and digits stay, a blank as the mode
// says, every other byte "%XX" (upper-case hex). NULL for a NULL text or
// when memory runs out.
char* comCgiUrlEncode(const char* text, int spaceMode);
// In place: '+' becomes a blank, '%' and the two characters after it one
// byte; a '%' with fewer than two characters after it stays.
void comCgiUrlDecode(char* text);
// Formats the text, encodes it in space mode 2 and copies it into out when
// it fits (length below outSize); otherwise out becomes "".
void comCgiUrlEncodeFormat(char* out, size_t outSize, const char* fmt, ...) COMCGI_PRINTF(3, 4);
// Copies the source's text before the first delimiter into dest and moves
// what follows the delimiter to the start of source; without one dest gets
// the whole text and source becomes "". dest needs strlen(source) + 1
// bytes. 1 when the delimiter was found, else 0 (also for NULL arguments).
int comCgiCutToken(char* dest, char* source, char delimiter);
// Splits a form text (consumed) at '&', decodes each field and splits it
// at its first '=' into malloc'd arrays of names and values. The field
// count; 0 for ""; -9 for a NULL argument; -1 when memory runs out (nothing
// stays allocated). Free with comCgiFreeRequest.
int comCgiParseQuery(char* text, char*** names, char*** values);
// Frees parsed request arrays. For each field with a file-name entry the
// file named by its value is removed first. values, fileNames and types
// may be NULL.
void comCgiFreeRequest(int count, char** names, char** values, char** fileNames, char** types);

#endif
