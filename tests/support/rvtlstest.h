// Fixture base for TLS tests: one test CA and a certificate for localhost
// per test suite, trusted through SSL_CERT_FILE during each test.
#ifndef TESTS_RVTLSTEST_H
#define TESTS_RVTLSTEST_H

#include <cstdlib>
#include <gtest/gtest.h>

#include "fakeserver.h"

namespace rvtest {

class TlsCertsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new ScratchDir;
        ok = makeTestCerts(dir->path(), "localhost", &certs);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(ok);
        setenv("SSL_CERT_FILE", certs.caFile.c_str(), 1);
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }

    static inline ScratchDir* dir = nullptr;
    static inline TestCerts certs;
    static inline bool ok = false;
};

}  // namespace rvtest

#endif
