#include "cddbconnection.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "comfile.h"

CdDBConnectionHandle::CdDBConnectionHandle() : count(new int(1)), cell(nullptr) {}

CdDBConnectionHandle::CdDBConnectionHandle(CdDBConnection* connection)
    : count(new int(1)), cell(new CdDBConnection*(connection))
{
}

CdDBConnectionHandle::CdDBConnectionHandle(const CdDBConnectionHandle& other) noexcept
    : count(other.count), cell(other.cell)
{
    if (count != nullptr) {
        ++*count;
    }
}

CdDBConnectionHandle& CdDBConnectionHandle::operator=(const CdDBConnectionHandle& other) noexcept
{
    if (count != other.count) {
        if (other.count != nullptr) {
            ++*other.count;
        }
        release();
        count = other.count;
        cell = other.cell;
    }
    return *this;
}

CdDBConnectionHandle::~CdDBConnectionHandle()
{
    release();
}

void CdDBConnectionHandle::detach() const
{
    if (cell != nullptr) {
        *cell = nullptr;
    }
}

void CdDBConnectionHandle::release() noexcept
{
    if (count != nullptr && --*count == 0) {
        delete count;
        delete cell;
    }
    count = nullptr;
    cell = nullptr;
}

CdDBConnection::CdDBConnection(int retries, int waitSeconds)
    : retryCount(retries), retryWait(waitSeconds), intAttr(0), inTrans(0)
{
    sqlState[0] = '\0';
    errorMessage[0] = '\0';
    serverMessage[0] = '\0';
    serverHint[0] = '\0';
    timeZone[0] = '\0';
}

const char* CdDBConnection::setLogFile(const char* path)
{
    sqlLogPath = path != nullptr ? path : "";
    return sqlLogPath.c_str();
}

void CdDBConnection::setTimeZone(const char* name)
{
    snprintf(timeZone, sizeof timeZone, "%.*s", static_cast<int>(sizeof timeZone - 1),
             name != nullptr ? name : "");
}

void CdDBConnection::setSqlState(const char* state)
{
    snprintf(sqlState, sizeof sqlState, "%s", state != nullptr ? state : "");
}

void CdDBConnection::setErrorMessage(const char* message)
{
    snprintf(errorMessage, sizeof errorMessage, "%s", message != nullptr ? message : "");
}

void CdDBConnection::setServerText(const char* message, const char* hint)
{
    snprintf(serverMessage, sizeof serverMessage, "%s", message != nullptr ? message : "");
    snprintf(serverHint, sizeof serverHint, "%s", hint != nullptr ? hint : "");
}

void CdDBConnection::log(const char* format, ...)
{
    if (sqlLogPath.empty() || format == nullptr) {
        return;
    }
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    int need = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (need < 0) {
        va_end(ap);
        return;
    }
    std::vector<char> message(static_cast<size_t>(need) + 1);
    vsnprintf(message.data(), message.size(), format, ap);
    va_end(ap);

    time_t now = time(nullptr);
    struct tm tmNow;
    char stamp[32];
    localtime_r(&now, &tmNow);
    strftime(stamp, sizeof stamp, "%y-%m-%d %H:%M:%S", &tmNow);

    int lineLength = snprintf(nullptr, 0, "%s - PID:%-9d - %s\n", stamp,
                              static_cast<int>(getpid()), message.data());
    if (lineLength < 0) {
        return;
    }
    std::vector<char> line(static_cast<size_t>(lineLength) + 1);
    snprintf(line.data(), line.size(), "%s - PID:%-9d - %s\n", stamp, static_cast<int>(getpid()),
             message.data());

    int fd = comLockFileWrite(sqlLogPath.c_str(), 1, 0);
    if (fd < 0) {
        return;
    }
    // The log holds statements and bind values: keep a new one private.
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size == 0) {
        fchmod(fd, 0600);
    }
    if (lseek(fd, 0, SEEK_END) != static_cast<off_t>(-1)) {
        const char* p = line.data();
        size_t left = static_cast<size_t>(lineLength);
        while (left > 0) {
            ssize_t n = write(fd, p, left);
            if (n <= 0) {
                break;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    close(fd);
}
