// Local strings and code messages from texts of a test's own: written to a
// scratch directory and loaded. The tables that were loaded are cleared
// again when the object goes.
#ifndef TESTS_RVLOCALTEXT_H
#define TESTS_RVLOCALTEXT_H

#include <gtest/gtest.h>

#include <string>

#include "fakeserver.h"
#include "rvcomcode.h"

namespace rvtest {

class LocalTexts {
public:
    LocalTexts() = default;
    ~LocalTexts()
    {
        if (m_strings)
            rvcomClearLocalStrings();
        if (m_codes)
            rvcomClearCodeMessages();
    }
    LocalTexts(const LocalTexts&) = delete;
    LocalTexts& operator=(const LocalTexts&) = delete;

    // Replaces the local strings by localText and, unless codeText is null,
    // the code messages by codeText.
    ::testing::AssertionResult load(const char* localText, const char* codeText = nullptr)
    {
        if (m_dir.path().empty())
            return ::testing::AssertionFailure() << "no scratch directory";
        std::string strings = m_dir.file("vikra");
        if (!writeFile(strings, localText))
            return ::testing::AssertionFailure() << "cannot write " << strings;
        rvcomClearLocalStrings();
        m_strings = true;
        if (int r = rvcomLoadLocalStringFile(strings.c_str()))
            return ::testing::AssertionFailure() << "local strings not loaded: " << r;
        if (!codeText)
            return ::testing::AssertionSuccess();
        std::string codes = m_dir.file("message");
        if (!writeFile(codes, codeText))
            return ::testing::AssertionFailure() << "cannot write " << codes;
        rvcomClearCodeMessages();
        m_codes = true;
        if (int r = rvcomLoadCodeMessageFile(codes.c_str()))
            return ::testing::AssertionFailure() << "code messages not loaded: " << r;
        return ::testing::AssertionSuccess();
    }

private:
    ScratchDir m_dir;
    bool m_strings = false;
    bool m_codes = false;
};

} // namespace rvtest

#endif
