// Multipart form upload reader.
#include "comcgireq.h"

#include "comcgi.h"
#include "comtime.h"
#include "rvcgistdin.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// The clock of this program can be held still, so that the name the
// upload writer picks is known beforehand.
namespace {
bool g_clockHeld = false;
}

extern "C" int gettimeofday(struct timeval* __restrict tv, void* __restrict) noexcept
{
    struct timespec ts;
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0)
        return -1;
    tv->tv_sec = g_clockHeld ? 1700000000 : ts.tv_sec;
    tv->tv_usec = g_clockHeld ? 123456 : ts.tv_nsec / 1000;
    return 0;
}

namespace {

const char* const kB = "--XyZ";

std::string part(const char* name, const std::string& value)
{
    return std::string(kB) + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
}

std::string filePart(const char* name, const char* fileName, const std::string& data,
                     bool withType = true)
{
    std::string s = std::string(kB) + "\r\nContent-Disposition: form-data; name=\"" + name +
                    "\"; filename=\"" + fileName + "\"\r\n";
    if (withType)
        s += "Content-Type: application/octet-stream\r\n";
    return s + "\r\n" + data + "\r\n";
}

std::string closing()
{
    return std::string(kB) + "--\r\n";
}

unsigned char stopNow()
{
    return 1;
}

class Upload : public rvtest::CgiStdinTest {
protected:
    void body(const std::string& text, const char* length = nullptr)
    {
        std::string p = dir + "/stdin";
        {
            std::ofstream f(p, std::ios::binary);
            f << text;
        }
        int fd = open(p.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        dup2(fd, 0);
        close(fd);
        __fpurge(stdin);
        setenv("CONTENT_LENGTH", length ? length : std::to_string(text.size()).c_str(), 1);
    }
    int run(ComCgiProgress progress = nullptr, double limit = 0,
            const char* const* noTrim = nullptr)
    {
        names.clear();
        values.clear();
        files.clear();
        types.clear();
        contents.clear();
        char** n = nullptr;
        char** v = nullptr;
        char** f = nullptr;
        char** t = nullptr;
        int rc = comCgiGetMultipart(&n, &v, &f, &t, upDir.c_str(), progress, limit, noTrim);
        if (rc < 0) {
            EXPECT_EQ(nullptr, n);
            EXPECT_EQ(nullptr, v);
            return rc;
        }
        for (int i = 0; i < rc; ++i) {
            names.push_back(n[i]);
            values.push_back(v[i] ? v[i] : "<null>");
            files.push_back(f[i] ? f[i] : "<null>");
            types.push_back(t[i] ? t[i] : "<null>");
            if (f[i])
                contents.push_back(readFile(v[i]));
        }
        req = {rc, n, v, f, t};
        return rc;
    }
    void release()
    {
        comCgiFreeRequest(req.count, req.n, req.v, req.f, req.t);
        req = {};
    }
    std::string readFile(const std::string& p)
    {
        std::ifstream f(p, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    int filesInUploadDir()
    {
        DIR* d = opendir(upDir.c_str());
        if (!d)
            return 0;
        int count = 0;
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.')
                ++count;
        }
        closedir(d);
        return count;
    }
    struct Req {
        int count;
        char** n;
        char** v;
        char** f;
        char** t;
    } req = {};
    std::vector<std::string> names, values, files, types, contents;
};

TEST_F(Upload, FieldsAndFiles)
{
    std::string longLine(2500, 'L');
    std::string data = "line1\r\n" + longLine + "\r\n\r\nend";
    std::string binary("\0\r\n\r\x01-", 6);
    body(part("a", "x") + part("two", "l1\r\nl2") + part("blank", "  ") +
         filePart("f", "../../evil.txt", data) + filePart("g", "b.bin", binary, false) +
         filePart("empty", "", "") + closing());
    ASSERT_EQ(6, run());
    EXPECT_EQ("a", names[0]);
    EXPECT_EQ("x", values[0]);
    EXPECT_EQ("l1\r\nl2", values[1]);
    EXPECT_EQ("", values[2]);
    EXPECT_EQ("f", names[3]);
    EXPECT_EQ("../../evil.txt", files[3]);
    EXPECT_EQ("application/octet-stream", types[3]);
    // The stored path never holds the sent name.
    EXPECT_EQ(0u, values[3].find(upDir + "tmp4."));
    EXPECT_EQ(std::string::npos, values[3].find("evil"));
    ASSERT_EQ(2u, contents.size());
    EXPECT_EQ(data, contents[0]);
    EXPECT_EQ(binary, contents[1]);          // no type line: data intact
    EXPECT_EQ("<null>", types[4]);
    EXPECT_EQ("empty", names[5]);            // empty file name: a plain field
    EXPECT_EQ("", values[5]);
    EXPECT_EQ("<null>", files[5]);
    EXPECT_EQ(2, filesInUploadDir());
    release();                               // removes the uploads
    EXPECT_EQ(0, filesInUploadDir());
}

TEST_F(Upload, NoTrimListAndEndWithoutClosingBoundary)
{
    const char* const keep[] = {"k", nullptr};
    body(part("k", " v ") + part("t", " v ") + std::string(kB) + "\r\n");
    ASSERT_EQ(2, run(nullptr, 0, keep));
    EXPECT_EQ(" v ", values[0]);
    EXPECT_EQ(" v", values[1]);
    release();
}

TEST_F(Upload, Failures)
{
    EXPECT_EQ(-1, run());                     // no content length
    body("", "0");
    EXPECT_EQ(-12, run());
    std::string big = part("a", std::string(2000, 'x')) + closing();
    body(big);
    EXPECT_EQ(-11, run(nullptr, 1000));

    struct {
        std::string text;
        int rc;
    } cases[] = {
        // Input ends inside a file part or a value.
        {filePart("f", "a.txt", "abcdef").substr(0, 110), -1},
        {part("a", "value").substr(0, 60), -1},
        {part("a", "x") + std::string(kB) + "\r\nContent-Type: text/plain\r\n\r\nx\r\n" + closing(), -1},
        {std::string(kB) + "\r\nContent-Disposition: form-data; name=\"" + std::string(1100, 'n') +
             "\"\r\n\r\nx\r\n" + closing(), -1},
    };
    for (auto& c : cases) {
        body(part("ok", "1") + filePart("f0", "keep.txt", "data") + c.text);
        EXPECT_EQ(c.rc, run()) << c.text.substr(0, 60);
        EXPECT_EQ(0, filesInUploadDir()) << c.text.substr(0, 60);
    }
    body("\r\n" + part("a", "x"));          // no boundary line
    EXPECT_EQ(-1, run());
    body(filePart("f", "a.txt", "abc") + closing());
    EXPECT_EQ(-13, run(stopNow));
    EXPECT_EQ(0, filesInUploadDir());
}

TEST_F(Upload, DanglingLinkAtThePickedName)
{
    // A link at the picked name is a taken name: the writer neither loops
    // nor writes through it. Run in a child that an alarm ends.
    body(filePart("f", "a.txt", "data") + closing());
    const std::string target = dir + "/nowhere/target", result = dir + "/result";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(5);
        g_clockHeld = true;
        char stamp[64];
        comTimeStamp(stamp);
        std::string picked = upDir + "tmp1." + std::to_string(getpid()) + "." + stamp + ".000";
        if (mkdir(upDir.c_str(), 0700) != 0 || symlink(target.c_str(), picked.c_str()) != 0)
            _exit(2);
        int rc = run();
        std::ofstream(result) << picked << "\n" << rc << "\n" << (rc == 1 ? values[0] : "") << "\n"
                              << (rc == 1 ? contents[0] : "") << "\n";
        _exit(0);
    }
    int st = 0;
    ASSERT_EQ(child, waitpid(child, &st, 0));
    ASSERT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << "child status " << st;
    // The picked name, the run's code, the field's value and its content.
    const std::string out = readFile(result);
    const std::string picked = out.substr(0, out.find('\n'));
    EXPECT_EQ(picked + "\n1\n" + picked.substr(0, picked.size() - 3) + "001\ndata\n", out);
    struct stat ls;
    ASSERT_EQ(0, lstat(picked.c_str(), &ls));
    EXPECT_TRUE(S_ISLNK(ls.st_mode));
    EXPECT_NE(0, access(target.c_str(), F_OK));  // nothing written through the link
}

TEST_F(Upload, ThroughRequestReader)
{
    setenv("REQUEST_METHOD", "POST", 1);
    setenv("CONTENT_TYPE", "Multipart/Form-Data; boundary=XyZ", 1);
    body(part("a", "x \r\n") + closing());
    char** n = nullptr;
    char** v = nullptr;
    char** f = nullptr;
    char** t = nullptr;
    ASSERT_EQ(1, comCgiGetRequest(&n, &v, &f, &t, upDir.c_str(), nullptr, nullptr, 0));
    EXPECT_STREQ("x", v[0]);
    comCgiFreeRequest(1, n, v, f, t);
    body(std::string(kB) + "\r\nbad header\r\n");
    EXPECT_EQ(-10, comCgiGetRequest(&n, &v, &f, &t, upDir.c_str(), nullptr, nullptr, 0));
    body("", "0");
    EXPECT_EQ(-12, comCgiGetRequest(&n, &v, &f, &t, upDir.c_str(), nullptr, nullptr, 0));
}

TEST_F(Upload, OpenFileCreatesOnlyNewFiles)
{
    const std::string fresh = dir + "/fresh.000", taken = dir + "/taken", link = dir + "/link";
    std::ofstream(taken) << "keep";
    ASSERT_EQ(0, symlink(taken.c_str(), link.c_str()));
    FILE* f = comCgiMpOpenFile(fresh.c_str(), "w");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(4, static_cast<int>(fwrite("data", 1, 4, f)));
    EXPECT_EQ(0, fclose(f));
    struct stat st;
    ASSERT_EQ(0, stat(fresh.c_str(), &st));
    EXPECT_EQ(0600, static_cast<int>(st.st_mode & 0777));
    for (const std::string& p : {taken, link, fresh}) {
        errno = 0;
        EXPECT_EQ(nullptr, comCgiMpOpenFile(p.c_str(), "w")) << p;
        EXPECT_EQ(EEXIST, errno) << p;
    }
    EXPECT_EQ("keep", readFile(taken));
    // An update mode gives a stream that reads back what it wrote.
    const std::string update = dir + "/update.000";
    f = comCgiMpOpenFile(update.c_str(), "w+");
    ASSERT_NE(nullptr, f);
    char back[4] = {};
    EXPECT_EQ(2, static_cast<int>(fwrite("ok", 1, 2, f)));
    rewind(f);
    EXPECT_EQ(2, static_cast<int>(fread(back, 1, 2, f)));
    EXPECT_STREQ("ok", back);
    fclose(f);
    f = comCgiMpOpenFile(fresh.c_str(), "r");
    ASSERT_NE(nullptr, f);
    fclose(f);
    EXPECT_EQ("data", readFile(fresh));
}

}  // namespace
