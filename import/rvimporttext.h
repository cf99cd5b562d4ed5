// Texts of the import program: code-table messages and local strings filled
// with typed arguments (a template that does not fit its arguments never
// reaches printf), and the console output.
#ifndef RVIMPORTTEXT_H
#define RVIMPORTTEXT_H

#include <initializer_list>
#include <string>

// One argument of a text template: a text or an integer.
class RvImportTextArg {
public:
    RvImportTextArg(const char* text) : m_isInt(false), m_text(text ? text : ""), m_int(0) {}
    RvImportTextArg(const std::string& text) : m_isInt(false), m_text(text), m_int(0) {}
    RvImportTextArg(int value) : m_isInt(true), m_int(value) {}
    bool isInt() const { return m_isInt; }
    const std::string& text() const { return m_text; }
    int value() const { return m_int; }

private:
    bool m_isInt;
    std::string m_text;
    int m_int;
};

typedef std::initializer_list<RvImportTextArg> RvImportTextArgs;

// The code-table text of the code without its level letter, unformatted;
// "(code:N)" for a code the table lacks.
std::string rvimportCodeText(int code);
// The code-table text used as a template for the arguments.
std::string rvimportCodeMessage(int code, RvImportTextArgs args);
// The local string used as a template for the arguments; the key itself
// when it has no text.
std::string rvimportLocalString(const char* key, RvImportTextArgs args);

// Loads the code table / the local strings: 0 or the loader's code.
int rvimportLoadCodeFile(const char* path);
int rvimportLoadLocalStringFile(const char* path);

// Console: a line (text and line feed), or a progress text (carriage
// return, text, no line end, flushed).
void rvimportPrintLine(const std::string& text);
void rvimportPrintProgress(const std::string& text);

// Real path of the running program from its argv[0]; false when it cannot
// be resolved.
bool rvimportProgramPath(const char* path, std::string& out);
// Value of a command-line option ("" when it has none).
std::string rvimportArgValue(int argc, char** argv, const char* name);

#endif
