// Mail header parsing: the date of a "Date" value, address lists with
// ISO-2022-JP display names into fixed-size records, and the small text
// helpers they share. comTrimCrLf is in commime.h.
#ifndef COMMAIL_H
#define COMMAIL_H

#include <cstddef>

enum {
    COM_MAIL_ADDR_SIZE = 516,     // address field: at most 509 characters
    COM_MAIL_NAME_SIZE = 1028,    // display name field: at most 1023 bytes
    COM_MAIL_ADDR_MAX = 256       // records in an address table
};

// One parsed address; allocate it zero-filled (calloc), free it with free.
struct ComMailAddrRecord {
    char address[COM_MAIL_ADDR_SIZE];
    char name[COM_MAIL_NAME_SIZE];
};

// Parses a date such as "Tue, 5 Mar 2013 10:20:30 +0900" (weekday optional,
// two-digit years 50-99 are 19xx, 00-49 20xx, the zone an offset or a name)
// into date "YYYYMMDD" (9 bytes), time "hhmmss" (7 bytes) and zone, at most
// five characters of the zone token or "" (6 bytes). 0; -1 (all three out
// texts "") for a null argument, an unknown month, a missing day or year, or
// a field out of range.
int comMailDate(const char* text, char* date, char* time, char* zone);

// Parses the entries of an address list into new records appended to
// table (room for COM_MAIL_ADDR_MAX pointers) from *count on; *count is
// updated. *error (when not null) is set to -1 when an address was cut.
// 0 at the end of the text; -1 when memory runs out; -2 when the table is
// full and entries remain; -99 for a null table or count.
int comMailParseAddrList(const char* text, ComMailAddrRecord** table, int* count, int* error);

// Parses one entry into rec. The flag works as the backslash flag of
// comMailAddrSplit. A display name is cut to fit its field, closing an open
// kanji run with ESC ( B. *error (when not null) is set to -1 when the
// address was longer than 509 bytes (511 when taken from the display name)
// and was cut. Returns where the next entry starts, NULL at the end.
const char* comMailParseAddr(const char* text, ComMailAddrRecord* rec, int flag, int* error);

// Parses one entry of the form "address (name)" into rec, single quotes
// honoured; the display name is cut to at most 127 bytes. Returns where the
// next entry starts, NULL at the end.
const char* comMailParseAddrSimple(const char* text, ComMailAddrRecord* rec);

// Copies the text before the first ':' to name (at most size - 1 bytes) and
// returns the value after the ':' with leading blanks and TABs skipped;
// NULL (name the whole line, cut) when there is no ':'.
const char* comMailHeaderName(const char* line, char* name, size_t size);

// The text after the first ';', leading blanks and TABs skipped; NULL when
// there is no ';' or for NULL.
const char* comMailHeaderParam(const char* text);

// Zero-fills out (size bytes), copies the text between the first '<' and
// the following '>' into it (at most size - 1 bytes; *length, when not null,
// receives the count copied) and returns the position after the '>'; NULL
// when there is none.
const char* comMailAngleAddr(const char* text, char* out, size_t size, int* length);

// The value of a header line (after the ':' and the blanks and TABs behind
// it) without any '<' or '>', into out (strlen(line) + 1 bytes). 0; -1 (out
// "") when the line has no ':' or for NULL.
int comMailValueNoBrackets(const char* line, char* out);

// -1 when every character is a decimal digit (also for ""); 0 otherwise
// and for NULL.
int comIsAllDigits(const char* text);

// The leading decimal digits of text, at most 8, in a process-wide buffer
// that the next call overwrites.
const char* comLeadingDigits(const char* text);

// The first digit after the first ':'; the end of the text when none.
const char* comSkipToDigitAfterColon(const char* text);

// The first character that is neither a blank nor a TAB.
const char* comSkipBlanks(const char* text);

// Remove trailing blanks, CR and LF in place, never the first two characters.
void comTrimTrailing2(char* text);
void comTrimTrailingWs(char* text);

#endif
