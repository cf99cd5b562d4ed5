// Connection retries against a server of its own with three slots, one of
// them reserved for superusers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <libpq-fe.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "cddbconnection_pg.h"
#include "pgtest.h"

namespace {

class FullServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::string(RV_BINARY_DIR) + "/pgtest-full-" + std::to_string(getpid());
        startError = pgtestStartServer(dir, 3, 1);
    }
    static void TearDownTestSuite() { pgtestStopServer(dir); }

    void SetUp() override
    {
        ASSERT_EQ("", startError);
        int port = pgtestReadPort(dir);
        ASSERT_NE(0, port);
        setenv("PGHOST", "127.0.0.1", 1);
        setenv("PGPORT", std::to_string(port).c_str(), 1);
        ASSERT_TRUE(pgtestWaitForClients(0)) << "earlier clients did not leave the server";
    }
    void TearDown() override
    {
        for (PGconn* c : held) {
            PQfinish(c);
        }
    }
    // Takes one slot as the given role. A backend that is still leaving
    // (the server ends a closed or refused connection's process a moment
    // later) may hold a slot for a while, so the attempt is repeated.
    void hold(const char* user, const char* password)
    {
        std::string info = std::string("user=") + user + " password=" + password + " dbname=postgres";
        PGconn* c = pgtestConnectRetry(info);
        ASSERT_NE(nullptr, c) << "no slot for " << user;
        held.push_back(c);
    }
    // Gives the backend of a closed or refused connection time to leave.
    static void settle() { usleep(300 * 1000); }
    void releaseOne()
    {
        PQfinish(held.front());
        held.erase(held.begin());
        settle();
    }

    static std::string dir;
    static std::string startError;
    std::vector<PGconn*> held;
};
std::string FullServerTest::dir;
std::string FullServerTest::startError;

// Releases a slot on the given pause. The pauses do not sleep a second;
// they only give the refused attempt's backend time to leave.
class ReleasingConnection : public CdDBConnection_PG {
public:
    ReleasingConnection(int retries, int releaseOnPause, std::function<void()> rel,
                        std::function<void()> settleFn)
        : CdDBConnection_PG(retries, 1), releaseAt(releaseOnPause), release(std::move(rel)),
          settle(std::move(settleFn))
    {
    }
    int pauses = 0;
    std::string messageAtPause;
    std::vector<std::string> messages;  // the failed attempts' messages

protected:
    void retryPause(int seconds) override
    {
        EXPECT_EQ(1, seconds);
        pauses++;
        messages.push_back(getErrorMessage());
        settle();
        if (pauses == 1) {
            messageAtPause = getErrorMessage();
        }
        if (pauses == releaseAt) {
            release();
        }
    }

private:
    int releaseAt;
    std::function<void()> release;
    std::function<void()> settle;
};

TEST_F(FullServerTest, TooManyClientsRetriesUntilASlotIsFree)
{
    hold(PGTEST_USER, PGTEST_PASSWORD);
    hold(PGTEST_USER, PGTEST_PASSWORD);
    hold("postgres", "''");
    // The superuser keeps its slot: the application role needs two free.
    ReleasingConnection conn(5, 2, [this] {
        releaseOne();
        releaseOne();
    }, [] {});
    EXPECT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", PGTEST_DB, 10))
        << conn.getErrorMessage();
    EXPECT_GE(conn.pauses, 2);  // a released slot may take a moment to be free
    EXPECT_THAT(conn.messageAtPause, ::testing::HasSubstr("too many clients"));
    EXPECT_TRUE(conn.isConnected());
}

TEST_F(FullServerTest, ReservedSlotsCountAsAFullServer)
{
    hold(PGTEST_USER, PGTEST_PASSWORD);
    hold(PGTEST_USER, PGTEST_PASSWORD);
    ReleasingConnection conn(5, 0, [this] { releaseOne(); }, [] { settle(); });
    EXPECT_EQ(-1002, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", PGTEST_DB, 10));
    EXPECT_EQ(4, conn.pauses);  // none after the last attempt
    EXPECT_FALSE(conn.isConnected());
    // Every attempt met a full server; a refused attempt's backend that is
    // still leaving turns the reserved-slot answer into "too many clients",
    // so the reserved one must be among them, not necessarily last.
    std::vector<std::string> seen = conn.messages;
    seen.push_back(conn.getErrorMessage());
    bool reserved = false;
    for (const std::string& m : seen) {
        EXPECT_THAT(m, ::testing::AnyOf(::testing::HasSubstr("remaining connection slots are reserved"),
                                        ::testing::HasSubstr("too many clients")));
        reserved = reserved || m.find("remaining connection slots are reserved") != std::string::npos;
    }
    EXPECT_TRUE(reserved);

    ReleasingConnection again(3, 1, [this] { releaseOne(); }, [] { settle(); });
    EXPECT_EQ(0, again.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", PGTEST_DB, 10));
    EXPECT_GE(again.pauses, 1);
}

}  // namespace
