#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "rvddGetNewIdByTbl.h"
#include "writer_testdb.h"

namespace {

using rvtest::RecordingConnection;

class IdCounter : public rvtest::WriterDb {
protected:
    static void SetUpTestSuite() { openDb("t_writer_ids"); }

    // A counter row committed for other connections to see.
    void storeCounter(int tbl, const char* cname, int lastId)
    {
        ASSERT_EQ("", db->exec("delete from rv_tbl_last_id where tbl_id=" + std::to_string(tbl) +
                               "; insert into rv_tbl_last_id values (" + std::to_string(tbl) + ",'" + cname +
                               "'," + std::to_string(lastId) + ")"));
    }
    std::string committed(int tbl, const char* cname)
    {
        return db->queryValue("select last_id from rv_tbl_last_id where tbl_id=" + std::to_string(tbl) +
                              " and cname='" + cname + "'");
    }
};

TEST_F(IdCounter, NextIdAndStoredCounter)
{
    struct Case {
        int stored;  // -1: no row
        int code;
        int newId;
        const char* after;
    };
    const Case cases[] = {
        {-1, 0, 1, "1"},
        {0, 0, 1, "1"},  // a row holding 0 is updated, not inserted again
        {5, 0, 6, "6"},
        {999999998, 0, 999999999, "999999999"},
        {999999999, -330014, 77, "999999999"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ("", db->exec("delete from rv_tbl_last_id where tbl_id=11"));
        if (c.stored >= 0)
            storeCounter(11, "VIEW", c.stored);
        int id = 77;
        EXPECT_EQ(c.code, rvddGetNewIdByTbl(&conn, "11", "VIEW", id)) << c.stored;
        EXPECT_EQ(c.newId, id) << c.stored;
        EXPECT_EQ(c.after, rows("select last_id from rv_tbl_last_id where tbl_id=11")) << c.stored;
        // Nothing is committed by the allocation.
        EXPECT_EQ(c.stored >= 0 ? std::to_string(c.stored) : "", committed(11, "VIEW")) << c.stored;
        conn.rollback();
        conn.begin();
    }
    EXPECT_EQ("999999999", committed(11, "VIEW"));

    // Ids that stand unquoted must be integers; nothing is sent otherwise.
    conn.sqls.clear();
    int id = 77;
    const char* badTables[] = {"11 or 1=1", "11)", "", nullptr};
    for (const char* t : badTables)
        EXPECT_EQ(-100001, rvddGetNewIdByTbl(&conn, t, "VIEW", id)) << (t ? t : "(null)");
    EXPECT_EQ(-100001, rvddGetNewIdByTbl(&conn, "11", "", id));
    EXPECT_EQ(-100001, rvddUpdateLastId(&conn, "11", "VIEW", 0));
    EXPECT_TRUE(conn.sqls.empty());
    EXPECT_EQ(77, id);

    // A quote in the counter name is escaped.
    EXPECT_EQ(0, rvddGetNewIdByTbl(&conn, "11", "VI'EW", id));
    EXPECT_EQ("VI'EW|1", rows("select cname, last_id from rv_tbl_last_id where tbl_id=11 and last_id=1"));
}

TEST_F(IdCounter, LockedCounterIsRetriedThenGivesUp)
{
    storeCounter(12, "LAYOUTID", 5);
    RecordingConnection holder;
    ASSERT_TRUE(holder.open(db->name()));
    const char* lock = "select * from rv_tbl_last_id where tbl_id=12 for update";

    // Released after about three seconds: a later attempt succeeds.
    ASSERT_EQ("12|LAYOUTID|5", rvtest::rowsOf(holder, lock));
    std::thread release([&holder] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        holder.commit();
    });
    auto start = std::chrono::steady_clock::now();
    int id = 0;
    EXPECT_EQ(0, rvddGetNewIdByTbl(&conn, "12", "LAYOUTID", id));
    release.join();
    EXPECT_EQ(6, id);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    conn.rollback();

    // Held past the tenth attempt: -1010, the counter unchanged.
    ASSERT_EQ(0, conn.begin());
    ASSERT_EQ(0, holder.begin());
    ASSERT_EQ("12|LAYOUTID|5", rvtest::rowsOf(holder, lock));
    id = 0;
    conn.sqls.clear();
    EXPECT_EQ(-1010, rvddGetNewIdByTbl(&conn, "12", "LAYOUTID", id));
    EXPECT_EQ(0, id);
    int lockingReads = 0;
    for (const std::string& s : conn.sqls)
        lockingReads += s.find("for update nowait") != std::string::npos;
    EXPECT_EQ(10, lockingReads);
    holder.rollback();
    EXPECT_EQ("5", rows("select last_id from rv_tbl_last_id where tbl_id=12"));
}

TEST_F(IdCounter, ConcurrentFirstAllocationsGetDistinctIds)
{
    ASSERT_EQ("", db->exec("delete from rv_tbl_last_id where tbl_id=13"));
    int first = 0;
    ASSERT_EQ(0, rvddGetNewIdByTbl(&conn, "13", "VIEW", first));

    // The second one finds no committed row and waits on the first's insert.
    RecordingConnection other;
    ASSERT_TRUE(other.open(db->name()));
    int second = 0;
    int ret = 1;
    std::thread t([&] { ret = rvddGetNewIdByTbl(&other, "13", "VIEW", second); });
    bool waiting = false;
    for (int i = 0; i < 200 && !waiting; ++i) {
        waiting = pgtestQueryValue("select count(*) from pg_stat_activity where wait_event_type='Lock' and "
                                   "datname='" + db->name() + "'") == "1";
        if (!waiting)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(waiting);
    EXPECT_EQ(0, conn.commit());
    t.join();
    EXPECT_EQ(0, ret);
    EXPECT_EQ(1, first);
    EXPECT_EQ(2, second);
    // The loser's transaction is still usable and its id is stored.
    EXPECT_EQ("VIEW|2", rvtest::rowsOf(other, "select cname, last_id from rv_tbl_last_id where tbl_id=13"));
    ASSERT_EQ(0, other.commit());
    EXPECT_EQ("2", committed(13, "VIEW"));
    conn.begin();
}

}  // namespace
