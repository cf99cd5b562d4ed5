// Address-list scanner shared by the address splitter (comjis) and the mail
// header parser (commail). The scanner collects whole texts; each caller
// applies its own size limits afterwards.
#ifndef COMMAILSCAN_H
#define COMMAILSCAN_H

#include <string>

enum ComJisMode { COM_JIS_ASCII, COM_JIS_ROMAN, COM_JIS_KANA, COM_JIS_KANJI };

// Mode set by the known escape sequence at p (p[0] is ESC): one of the modes
// above, or -1 when p starts none. Reads no byte past a NUL.
int comJisEscapeMode(const char* p);
// A byte that starts a kanji pair: 0x21-0x7E or 0x93-0x97.
inline bool comJisIsKanjiLead(unsigned char c)
{ return (c >= 0x21 && c <= 0x7E) || (c >= 0x93 && c <= 0x97); }

// Removes trailing blanks, CR and LF, never the first two bytes.
void comAddrTrim(std::string& s);

struct ComAddrEntry {
    std::string address;
    std::string name;
    bool nameTaken = false;   // the address was taken from the display name
    bool parenForm = false;   // "address (name)": parse again with the paren form
};

// Reads one entry of "name <address>" form from text (see comMailAddrSplit):
// trims both texts, takes a lone name as the address and decides whether the
// entry is of the paren form. Returns the text after the entry's ',', or
// null when the text ended.
const char* comAddrScan(const char* text, int backslashFlag, ComAddrEntry& e);

// Reads one entry of "address (name)" form; trims both texts and takes a
// lone name as the address. Returns the text after the entry's ',', or null
// when none follows.
const char* comAddrScanParen(const char* text, ComAddrEntry& e);

#endif
