// Code table (result code -> level letter and message template) and local
// strings (key -> display text or template), loaded from text files, and the
// one typed formatter that fills their templates.
//
// Templates come from files, so they are never handed to printf as a format.
// rvcomFormatText understands %s %d %i %u %x %X %o %c %f %e %g and %%, with
// flags (-0 +#), a width and a precision (digits only) and any length
// modifier (h hh l ll z j t L q; ignored: each argument carries its own type).
// %s takes any argument (numbers are written in decimal); the integer
// conversions take integers (and chars); %f/%e/%g take numbers; %c takes an
// integer or the first byte of a text. A missing or mismatched argument, or
// an unknown conversion (%n, %p, %*d, ...), is written as RVCOM_FMT_MISSING
// and the call returns -1; surplus arguments are ignored.
#ifndef RVCOMCODE_H
#define RVCOMCODE_H

#include "nstring.h"
#include "nunvlist.h"

#include <cstddef>
#include <string>
#include <vector>

// Written in place of a conversion that has no fitting argument.
#define RVCOM_FMT_MISSING "(?)"

// -300014: a code or local-string file could not be opened or read.
enum { RVCOM_ERR_READ_LOCAL_FILE = -300014 };

// One typed argument of rvcomFormatText. Text arguments are borrowed: the
// referenced text must outlive the formatting call (always true for the
// variadic forms below, which format within the full expression).
class RvFmtArg {
public:
    enum Kind { NONE, INT, UINT, DOUBLE, TEXT };

    RvFmtArg() : kind(NONE) { v.i = 0; }
    RvFmtArg(bool x) : kind(INT) { v.i = x ? 1 : 0; }
    RvFmtArg(char x) : kind(INT) { v.i = x; }
    RvFmtArg(signed char x) : kind(INT) { v.i = x; }
    RvFmtArg(unsigned char x) : kind(UINT) { v.u = x; }
    RvFmtArg(short x) : kind(INT) { v.i = x; }
    RvFmtArg(unsigned short x) : kind(UINT) { v.u = x; }
    RvFmtArg(int x) : kind(INT) { v.i = x; }
    RvFmtArg(unsigned int x) : kind(UINT) { v.u = x; }
    RvFmtArg(long x) : kind(INT) { v.i = x; }
    RvFmtArg(unsigned long x) : kind(UINT) { v.u = x; }
    RvFmtArg(long long x) : kind(INT) { v.i = x; }
    RvFmtArg(unsigned long long x) : kind(UINT) { v.u = x; }
    RvFmtArg(float x) : kind(DOUBLE) { v.d = x; }
    RvFmtArg(double x) : kind(DOUBLE) { v.d = x; }
    // A null pointer reads as "(null)".
    RvFmtArg(const char* x) : kind(TEXT) { v.s = x ? x : "(null)"; }
    RvFmtArg(std::nullptr_t) : kind(TEXT) { v.s = "(null)"; }
    RvFmtArg(const NString& x) : kind(TEXT) { v.s = x.c_str(); }
    RvFmtArg(const std::string& x) : kind(TEXT) { v.s = x.c_str(); }

    Kind getKind() const { return kind; }
    long long getInt() const { return v.i; }
    unsigned long long getUInt() const { return v.u; }
    double getDouble() const { return v.d; }
    const char* getText() const { return v.s; }

private:
    Kind kind;
    union {
        long long i;
        unsigned long long u;
        double d;
        const char* s;
    } v;
};

// out = tmpl filled with args[0..count). A null template gives "". 0, or -1
// when a conversion had no fitting argument (placeholder written).
int rvcomFormatTextV(NString& out, const char* tmpl, const RvFmtArg* args, int count);
int rvcomFormatTextV(NString& out, const char* tmpl, const std::vector<RvFmtArg>& args);

template <class... A>
int rvcomFormatText(NString& out, const char* tmpl, const A&... args)
{
    const RvFmtArg list[] = { RvFmtArg(args)..., RvFmtArg() };
    return rvcomFormatTextV(out, tmpl, list, static_cast<int>(sizeof...(A)));
}

// The conversions of a template, one letter each in order: 's' text,
// 'd' signed integer (d i), 'u' unsigned integer (u x X o), 'f' floating
// (f F e E g G), 'c' character. -1 (and the letters up to the fault) for an
// unknown or incomplete conversion, else the number of conversions.
int rvcomTemplateConversions(const char* tmpl, std::string& kinds);

// Answer of a code lookup: level letter (0 when none) and text.
struct rvcomCodeMessageEntry {
    char level = 0;
    NString text;
};

// The process-wide tables: created (capacity 500) before main runs, emptied
// and destroyed at exit.
extern NUNVList rvcomCodeMessageTable;
extern NUNVList rvcomLocalStringTable;
// The local-string table.
NUNVList* rvcomGetLocalStringTable();

// Reads key=value lines into list (appended in file order); 0 or -300014.
int rvcomReadLocalStringFile(NUNVList* list, const char* path);
int rvcomLoadCodeMessageFile(const char* path);
int rvcomLoadLocalStringFile(const char* path);
void rvcomClearCodeMessages();
void rvcomClearLocalStrings();

// The code's entry; an unknown code gives level 0 and "(code:%d)".
rvcomCodeMessageEntry rvcomGetCodeEntry(int code);

// The code's entry with its text (when not empty) used as the template for
// the arguments.
rvcomCodeMessageEntry rvcomGetCodeMessageV(int code, const RvFmtArg* args, int count);

template <class... A>
rvcomCodeMessageEntry rvcomGetCodeMessage(int code, const A&... args)
{
    const RvFmtArg list[] = { RvFmtArg(args)..., RvFmtArg() };
    return rvcomGetCodeMessageV(code, list, static_cast<int>(sizeof...(A)));
}

// Text-only form: out = the filled text of the code's entry.
template <class... A>
void rvcomGetCodeMessage(NString& out, int code, const A&... args)
{
    const RvFmtArg list[] = { RvFmtArg(args)..., RvFmtArg() };
    out = rvcomGetCodeMessageV(code, list, static_cast<int>(sizeof...(A))).text;
}

// out = the key's text used as the template for the arguments; the key
// itself when it is absent or its text empty ("(null)" for a null key).
void rvcomGetLocalStringV(NString& out, const char* key, const RvFmtArg* args, int count);

template <class... A>
void rvcomGetLocalString(NString& out, const char* key, const A&... args)
{
    const RvFmtArg list[] = { RvFmtArg(args)..., RvFmtArg() };
    rvcomGetLocalStringV(out, key, list, static_cast<int>(sizeof...(A)));
}

#endif
