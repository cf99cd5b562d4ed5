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
    // Takes one slot as the given role.
    void hold(const char* user, const char* password)
    {
        std::string info = std::string("user=") + user + " password=" + password + " dbname=postgres";
        PGconn* c = PQconnectdb(info.c_str());
        ASSERT_EQ(CONNECTION_OK, PQstatus(c)) << PQerrorMessage(c);
        held.push_back(c);
    }
    void settle() { EXPECT_TRUE(pgtestWaitForClients(static_cast<int>(held.size()))); }
    void releaseOne()
    {
        PQfinish(held.front());
        held.erase(held.begin());
        EXPECT_TRUE(pgtestWaitForClients(static_cast<int>(held.size())));
    }

    static std::string dir;
    static std::string startError;
    std::vector<PGconn*> held;
};
std::string FullServerTest::dir;
std::string FullServerTest::startError;

// Releases a slot on the given pause. The pauses do not sleep; each waits
// instead until the backend of the refused attempt has left, so that the
// next attempt meets the same slots.
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

protected:
    void retryPause(int seconds) override
    {
        EXPECT_EQ(1, seconds);
        pauses++;
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
    }, [] {});  // every slot is taken: there is no room to look
    EXPECT_EQ(0, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", PGTEST_DB, 10))
        << conn.getErrorMessage();
    EXPECT_EQ(2, conn.pauses);
    EXPECT_THAT(conn.messageAtPause, ::testing::HasSubstr("too many clients"));
    EXPECT_TRUE(conn.isConnected());
}

TEST_F(FullServerTest, ReservedSlotsCountAsAFullServer)
{
    hold(PGTEST_USER, PGTEST_PASSWORD);
    hold(PGTEST_USER, PGTEST_PASSWORD);
    ReleasingConnection conn(5, 0, [this] { releaseOne(); }, [this] { settle(); });
    EXPECT_EQ(-1002, conn.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", PGTEST_DB, 10));
    EXPECT_EQ(4, conn.pauses);  // none after the last attempt
    EXPECT_THAT(conn.getErrorMessage(), ::testing::HasSubstr("remaining connection slots are reserved"));
    EXPECT_FALSE(conn.isConnected());

    ReleasingConnection again(3, 1, [this] { releaseOne(); }, [this] { settle(); });
    EXPECT_EQ(0, again.connect(PGTEST_USER, PGTEST_PASSWORD, "127.0.0.1", PGTEST_DB, 10));
    EXPECT_EQ(1, again.pauses);
}

}  // namespace
