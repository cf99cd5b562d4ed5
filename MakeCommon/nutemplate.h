// Template output: cuts a block out of an HTML or text template, replaces
// its placeholders by named values, fills its form elements and prints the
// result on the CGI output channel or gathers it in memory.
// Every text returned through an out-parameter is malloc'd: the caller
// frees it.
#ifndef NUTEMPLATE_H
#define NUTEMPLATE_H

#include "nunvlist.h"

#include <cstddef>

// Result codes.
enum {
    NUTPL_BAD_ARG = -50,        // bad argument or missing state
    NUTPL_NO_MEMORY = -51,
    NUTPL_NO_TEMPLATE = -52,    // no template text and no template path
    NUTPL_OPEN_FAILED = -53,
    NUTPL_READ_FAILED = -54,
    NUTPL_TOO_LARGE = -55,      // file would reach 2^31 - 1 bytes
    NUTPL_NO_BEGIN = -56,       // begin marker not found
    NUTPL_NO_END = -57,         // end marker not found
    NUTPL_DELIM_LENGTH = -30,   // delimiter longer than 7 characters
    NUTPL_DELIM_EMPTY = -1,     // null or empty delimiter
    NUTPL_CANNOT_GROW = -2      // accumulated text cannot grow
};

// Output base: printed (mode 0) or gathered in memory (mode 1).
class NUOutput {
public:
    NUOutput() = default;
    virtual ~NUOutput();

    NUOutput(const NUOutput&) = delete;
    NUOutput& operator=(const NUOutput&) = delete;

    // Releases the gathered text.
    virtual void clearOutput();
    virtual int addValue(const char* name, const char* value, int escapeMode) = 0;
    virtual int flush() = 0;
    virtual int kind() { return 0; }
    virtual void destroy() = 0;

    unsigned char getMode() const { return mode; }
    void setMode(unsigned char m) { mode = m; }
    // The text gathered in mode 1; null while nothing was gathered.
    const char* getOutput() const { return accumulated; }

protected:
    unsigned char mode = 0;
    char* accumulated = nullptr;   // malloc'd
};

class NUTemplateToOutput : public NUOutput {
public:
    // Placeholders are written between start and end (1 to 7 characters
    // each; not checked here).
    NUTemplateToOutput(const char* start, const char* end);
    // Main list of `capacity` entries (128 below 1); delimiters are set
    // with setDelimiters.
    explicit NUTemplateToOutput(int capacity);
    ~NUTemplateToOutput() override;

    // -1 null or empty, -30 longer than 7 characters, else 0.
    int setDelimiters(const char* start, const char* end);

    // Adds a value ("" for null) to the main list; HTML-escaped first when
    // escapeMode is above 0. -50 for an empty name.
    int addValue(const char* name, const char* value, int escapeMode) override;
    int flush() override;               // output()
    int kind() override { return 1; }
    void destroy() override;            // deletes the object

    // Removes every entry of that name; the number removed.
    virtual int removeValue(const char* name);
    // Template file, loaded on the next output. accumulate: gather (mode 1).
    virtual void setTemplateFile(const char* path, bool accumulate);
    // The caller's text is used as the template without a copy; it must
    // outlive the object's use of it.
    virtual void setTemplateText(const char* text, bool accumulate);
    virtual void setBeginLine(int line);
    virtual void setBeginMarker(const char* marker);
    virtual void setEndLine(int line);
    virtual void setEndMarker(const char* marker);
    // Cuts the block, substitutes, fills the forms, prints or gathers.
    virtual int output();
    virtual int print(const char* text);
    // Values of "LL" placeholders; not owned.
    virtual void setSecondList(NUNVList* list);
    // Adds "YYYY-MM-DD" of a YYYYMMDD... date, unescaped.
    virtual int addDate(const char* name, const char* date);
    virtual void setDefaultSelectValue(const char* value);
    virtual void setEscapeSecondList(bool on);
    // Settings back to their defaults with a new empty main list.
    virtual void reset(int capacity);
    virtual int charLength(char lead);
    // HTML escaping of begin..end inclusive (end null: to the NUL). Mode 1
    // escapes quote, less-than, greater-than (and '&' with escapeAmp);
    // mode 2 also turns LF into a break element, drops CR and protects
    // runs of blanks.
    virtual int htmlEscape(const char* begin, const char* end, char** out,
                           int mode, bool escapeAmp);
    // Reads the whole file: the byte count, or a code.
    virtual int loadFile(const char* path, char** text);
    virtual int extractBlock(char** block);
    virtual int growBuffer(char** buffer, int* size, int newSize);
    virtual int appendN(char** buffer, int* size, const char* text, int n);

    // Form filling.
    virtual void upcaseTagNames(char* text);
    virtual int findAttribute(const char* tag, const char* name,
                              const char** begin, const char** end);
    virtual int getAttributeValue(const char* tag, const char* attr,
                                  const char** value);
    virtual int substitute(char* text, char** out);
    virtual int fillSelect(char** out, int* outSize, const char* tag, int tagLen);
    virtual int fillTextarea(char** out, int* outSize, const char* tag, int tagLen);
    virtual int fillOption(char** out, int* outSize, const char* tag, int tagLen);
    virtual int fillFormTag(char** out, int* outSize, const char* tag, int tagLen);
    virtual int fillInput(char** out, int* outSize, const char* tag, int tagLen);
    virtual int fillForm(char* text, char** out);

    NUNVList* getMainList() { return mainList; }

protected:
    // Copies the attribute's value text (found by findAttribute) into a
    // fresh malloc'd string, "" when absent; null when out of memory.
    char* attributeText(const char* tag, const char* name, bool* found);
    int lookupMain(const char* name, const char** value);
    int replaceAttribute(char** out, int* outSize, const char* tag, int tagLen,
                         const char** copyPos, const char* attrAt,
                         size_t attrLen, const char* value);
    // Sets an attribute inside the tag: opening is its text up to and with
    // the opening quote (" value=\""); an existing value is replaced,
    // else the attribute is added at the copy position.
    int setAttribute(char** out, int* outSize, const char* tag, int tagLen,
                     const char** copyPos, const char* opening, const char* value);

    char templatePath[1024] = "";
    int beginLine = 1;
    int endLine = 0;
    char beginMarker[128] = "";
    char endMarker[128] = "";
    char* templateText = nullptr;
    int templateSize = 0;
    const char* callerText = nullptr;
    NUNVList* mainList = nullptr;
    char currentSelect[64] = "-";
    char defaultSelect[64] = "-";
    NUNVList* secondList = nullptr;
    unsigned char escapeSecondList = 1;
    unsigned char accumulateFlag = 0;
    char startDelim[10] = "";
    int startDelimLen = 0;
    char endDelim[8] = "";
};

#endif
