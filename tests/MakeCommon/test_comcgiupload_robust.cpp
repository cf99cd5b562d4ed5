// Multipart and form request bodies from damaged input: results within the
// documented set, no temporary file left behind on failure, nothing leaked.
#include "comcgireq.h"
#include "rvmutate.h"

#include "comcgi.h"
#include "rvcgistdin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {


std::string sample()
{
    const std::string b = "--Bnd7";
    return b + "\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nhello\r\nworld \r\n" +
           b + "\r\nContent-Disposition: form-data; name=\"up\"; filename=\"a b.txt\"\r\n"
               "Content-Type: text/plain\r\n\r\nline1\r\n\r\nline2--Bnd\r\n" +
           b + "\r\nContent-Disposition: form-data; name=\"e\"\r\n\r\n\r\n" + b + "--\r\n";
}

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char* const kPieces[] = {
        "\0", "\r", "\n", "\r\n", "--", "--Bnd7", "\r\n--Bnd7\r\n", "\r\n--Bnd7--\r\n", "\"",
        "%", "\\", "\xff", "Content-Disposition: form-data; name=\"",
        "Content-Disposition: form-data; name=\"f\"; filename=\"", "Content-Type: ", ";"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 4, 10,
                                               "a\r\n-", 3000};
    return rvtest::mutate(rng, base, kMutation);
}

class UploadRobust : public rvtest::CgiStdinTest {
protected:
    // Standard input holds text; CONTENT_LENGTH says length.
    void body(const std::string& text, const std::string& length)
    {
        std::string p = dir + "/stdin";
        FILE* f = fopen(p.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
        int fd = open(p.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        dup2(fd, 0);
        close(fd);
        __fpurge(stdin);
        setenv("CONTENT_LENGTH", length.c_str(), 1);
    }
    int filesInUpDir()
    {
        DIR* d = opendir(upDir.c_str());
        if (!d)
            return 0;
        int n = 0;
        while (struct dirent* e = readdir(d)) {
            if (e->d_name[0] != '.')
                ++n;
        }
        closedir(d);
        return n;
    }
};

}  // namespace

TEST_F(UploadRobust, DamagedMultipartBodies)
{
    std::mt19937 rng(2718);
    const std::string base = sample();
    std::vector<std::string> bodies;
    for (size_t cut = 0; cut <= base.size(); cut += 3)
        bodies.push_back(base.substr(0, cut));
    for (int i = 0; i < 250; ++i)
        bodies.push_back(mutate(rng, base));
    for (size_t i = 0; i < bodies.size(); ++i) {
        const std::string& b = bodies[i];
        SCOPED_TRACE(::testing::PrintToString(b.substr(0, 300)));
        // The declared length is the real one, or off from it.
        long long len = static_cast<long long>(b.size());
        if (i % 4 == 1)
            len += 50;
        else if (i % 4 == 2)
            len = len / 2;
        body(b, std::to_string(len));
        char** n = nullptr;
        char** v = nullptr;
        char** f = nullptr;
        char** t = nullptr;
        int rc = comCgiGetMultipart(&n, &v, &f, &t, upDir.c_str(), nullptr, 0, nullptr);
        ASSERT_TRUE(rc >= 0 || rc == -1 || rc == -6 || rc == -12) << rc;
        if (rc < 0) {
            EXPECT_EQ(nullptr, n);
            EXPECT_EQ(nullptr, v);
            EXPECT_EQ(0, filesInUpDir());
            continue;
        }
        int files = 0;
        for (int k = 0; k < rc; ++k) {
            ASSERT_NE(nullptr, n[k]);
            if (f[k]) {
                ++files;
                ASSERT_NE(nullptr, v[k]);
                EXPECT_EQ(0u, std::string(v[k]).find(upDir));
            }
        }
        EXPECT_EQ(files, filesInUpDir());
        comCgiFreeRequest(rc, n, v, f, t);
        EXPECT_EQ(0, filesInUpDir());
    }
}

TEST_F(UploadRobust, FormBodiesAndQueries)
{
    std::mt19937 rng(161);
    const std::string base = "a=1&b=%E6%97%A5+x&c&=v&d=%&e=%4&f=%zz&&g=%00h&a=2&";
    std::vector<std::string> texts;
    for (size_t cut = 0; cut <= base.size(); ++cut)
        texts.push_back(base.substr(0, cut));
    for (int i = 0; i < 300; ++i) {
        std::string s = base;
        for (int e = 0; e < 3; ++e) {
            size_t pos = rng() % (s.size() + 1);
            s.insert(pos, 1, "%&=+\r\n \xff\x01"[rng() % 9]);
        }
        texts.push_back(s);
    }
    for (const std::string& s : texts) {
        SCOPED_TRACE(::testing::PrintToString(s));
        setenv("REQUEST_METHOD", "POST", 1);
        body(s, std::to_string(s.size()));
        char** n = nullptr;
        char** v = nullptr;
        int rc = comCgiGetRequest(&n, &v, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
        ASSERT_TRUE(rc >= 0 || rc == -3) << rc;
        for (int k = 0; k < rc; ++k)
            EXPECT_LE(strlen(v[k]), s.size());
        comCgiFreeRequest(rc > 0 ? rc : 0, n, v, nullptr, nullptr);

        // The same text as a query and through the query splitter.
        setenv("REQUEST_METHOD", "GET", 1);
        setenv("QUERY_STRING", s.c_str(), 1);
        rc = comCgiGetRequest(&n, &v, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
        ASSERT_GE(rc, 0);
        comCgiFreeRequest(rc, n, v, nullptr, nullptr);
        std::vector<char> copy(s.c_str(), s.c_str() + strlen(s.c_str()) + 1);
        rc = comCgiParseQuery(copy.data(), &n, &v);
        ASSERT_GE(rc, 0);
        comCgiFreeRequest(rc, n, v, nullptr, nullptr);

        // Decoding never grows the text.
        std::vector<char> dec(s.c_str(), s.c_str() + strlen(s.c_str()) + 1);
        comCgiUrlDecode(dec.data());
        EXPECT_LE(strlen(dec.data()), strlen(s.c_str()));

        // Cookies built from the same text.
        setenv("HTTP_COOKIE", (" a=" + s + "; a; a=").c_str(), 1);
        char** cv = nullptr;
        int count = -1;
        rc = comCgiGetCookies(&cv, &count, "a");
        ASSERT_GE(rc, 1);
        EXPECT_EQ(rc, count);
        for (int k = 0; k < rc; ++k)
            free(cv[k]);
        free(cv);
        unsetenv("HTTP_COOKIE");
        unsetenv("QUERY_STRING");
    }
}

// Lengths that are not a plain byte count.
TEST_F(UploadRobust, ContentLengths)
{
    setenv("REQUEST_METHOD", "POST", 1);
    for (const char* len : {"", "-1", "0", "abc", "12x", "99999999999999999999999",
                            "2147483647", "1e9", " 5", "5 "}) {
        SCOPED_TRACE(len);
        body("a=1", len);
        char** n = nullptr;
        char** v = nullptr;
        int rc = comCgiGetRequest(&n, &v, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
        EXPECT_TRUE(rc == 1 || rc == -1 || rc == -2 || rc == -3 || rc == -5) << rc;
        comCgiFreeRequest(rc > 0 ? rc : 0, n, v, nullptr, nullptr);
    }
}
