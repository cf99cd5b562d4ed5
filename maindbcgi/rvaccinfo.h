// Access rights: the six rights of a grant, one rv_tbl_acc row, the table
// and column permission flags, and the reader of rv_tbl_acc.
#ifndef RVACCINFO_H
#define RVACCINFO_H

#include <memory>
#include <vector>

#include "nstring.h"

class CdDBConnection;

// Rights as bits of a rights mask, in their fixed order.
enum {
    RV_ACC_REFER = 1,
    RV_ACC_ENTRY = 2,
    RV_ACC_CHANGE = 4,
    RV_ACC_DELETE = 8,
    RV_ACC_ADDCMT = 16,
    RV_ACC_EXPORT = 32
};

// Six rights, each "1" (granted), "0" (refused) or empty (not given).
class RvAccInfo {
public:
    enum { COUNT = 6 };

    RvAccInfo() = default;
    virtual ~RvAccInfo() = default;
    RvAccInfo(const RvAccInfo&) = default;
    RvAccInfo& operator=(const RvAccInfo&) = default;

    // Every right empty.
    void clear();
    // Every right set to value.
    void setAll(const char* value);
    // True when a right is non-empty and neither "0" nor "1".
    virtual bool isInvalid() const;

    // Right by position 0..5 (refer .. export); out of range -> index 0.
    NString& at(int index);
    const NString& at(int index) const;

    NString acc_refer;
    NString acc_entry;
    NString acc_change;
    NString acc_delete;
    NString acc_addcmt;
    NString acc_export;
};

// One rv_tbl_acc row: a grant for a user (u_id), a group (g_id) or
// everyone (g_id "-1").
class RvTblAccInfo {
public:
    // Empty ids, no rights given.
    RvTblAccInfo() = default;
    // Everyone entry of the table: g_id "-1", every everyone right "0".
    explicit RvTblAccInfo(const char* tblId);
    // User entry: the table and u_id, every user right "0".
    RvTblAccInfo(const char* tblId, const char* uId);
    virtual ~RvTblAccInfo() = default;
    RvTblAccInfo(const RvTblAccInfo&) = default;
    RvTblAccInfo& operator=(const RvTblAccInfo&) = default;

    // True when an id is non-empty and longer than 9 characters or not an
    // integer, or when one of the three rights sets is invalid.
    virtual bool isInvalid() const;

    NString tbl_id;
    NString u_id;
    NString g_id;
    RvAccInfo u_acc;  // u_acc_refer .. u_acc_export
    RvAccInfo g_acc;  // g_acc_refer .. g_acc_export
    RvAccInfo a_acc;  // a_acc_refer .. a_acc_export
};

typedef std::shared_ptr<RvTblAccInfo> RvTblAccInfoPtr;

// A user's rights on one table.
class RvTblPermission {
public:
    RvTblPermission() = default;

    bool canRefer() const { return refer != 0; }
    bool canEntry() const { return entry != 0; }
    bool canChange() const { return change != 0; }
    bool canDelete() const { return del != 0; }
    bool canAddcmt() const { return addcmt != 0; }
    bool canExport() const { return exprt != 0; }
    // The rights came from the user's own rv_tbl_acc entry.
    bool isOwnEntry() const { return ownEntry != 0; }
    // The user is in rv_tbl_admin for the table.
    bool isTblAdmin() const { return tblAdmin != 0; }

    void setRefer(bool on) { refer = on ? 1 : 0; }
    void setEntry(bool on) { entry = on ? 1 : 0; }
    void setChange(bool on) { change = on ? 1 : 0; }
    void setDelete(bool on) { del = on ? 1 : 0; }
    void setAddcmt(bool on) { addcmt = on ? 1 : 0; }
    void setExport(bool on) { exprt = on ? 1 : 0; }
    void setOwnEntry(bool on) { ownEntry = on ? 1 : 0; }
    void setTblAdmin(bool on) { tblAdmin = on ? 1 : 0; }

private:
    unsigned char refer = 0;
    unsigned char entry = 0;
    unsigned char change = 0;
    unsigned char del = 0;
    unsigned char addcmt = 0;
    unsigned char exprt = 0;
    unsigned char ownEntry = 0;
    unsigned char tblAdmin = 0;
};

// A user's rights on one column.
class RvColPermission {
public:
    RvColPermission() = default;

    bool canRefer() const { return refer != 0; }
    bool canEntry() const { return entry != 0; }
    bool canChange() const { return change != 0; }

    void setRefer(bool on) { refer = on ? 1 : 0; }
    void setEntry(bool on) { entry = on ? 1 : 0; }
    void setChange(bool on) { change = on ? 1 : 0; }

private:
    unsigned char refer = 0;
    unsigned char entry = 0;
    unsigned char change = 0;
};

// Appends the rv_tbl_acc rows of table tblId that concern id: with
// userMode, the everyone entry, the entries of the user's groups and the
// user's own entries; otherwise the everyone entry and the entries of group
// id. 0; -100001 for an empty table id or id, or an id beyond the range of
// an int; encoder and database codes. Rows read before a failure stay in out.
int rvappGetAllTblAccessInfo(CdDBConnection* connection, const char* tblId, const char* id,
                             bool userMode, std::vector<RvTblAccInfoPtr>& out);

#endif
