// Base fixture for tests that feed a CGI request through standard input:
// the request variables are cleared around each test, standard input is
// restored afterwards, and a scratch directory (dir, with upDir for
// uploads) is removed.
#ifndef RVCGISTDIN_H
#define RVCGISTDIN_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdio_ext.h>
#include <string>
#include <unistd.h>

namespace rvtest {

class CgiStdinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearRequestVariables();
        char tmpl[] = "/tmp/cgiinXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        upDir = dir + "/up/";
        savedIn = dup(0);
    }
    void TearDown() override
    {
        dup2(savedIn, 0);
        close(savedIn);
        __fpurge(stdin);
        clearRequestVariables();
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    static void clearRequestVariables()
    {
        for (const char* v : {"REQUEST_METHOD", "CONTENT_LENGTH", "CONTENT_TYPE", "HTTP_USER_AGENT",
                              "QUERY_STRING"})
            unsetenv(v);
    }

    std::string dir, upDir;
    int savedIn = -1;
};

}  // namespace rvtest

#endif
