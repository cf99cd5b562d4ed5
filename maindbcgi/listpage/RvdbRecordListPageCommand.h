// State of one list page (one table in one session, told apart by a page
// key): view, search, sort, paging, relation key, visible items and their
// widths. Kept between requests in four files of the session directory and
// resolved against the database into an RvdbRecordListPage.
#ifndef RVDBRECORDLISTPAGECOMMAND_H
#define RVDBRECORDLISTPAGECOMMAND_H

#include <vector>

#include "RvDbLayout.h"
#include "RvDbLayoutColumnContainer.h"
#include "RvDbSearchFilter.h"
#include "RvDbView.h"
#include "cddbresult.h"
#include "nstring.h"
#include "rvaccinfo.h"
#include "rvcompair.h"
#include "rvdbcolumnset.h"
#include "rvtbl.h"

class CdDBConnection;
class RvUser;

// A list page resolved by RvdbRecordListPageCommand::apply; it owns
// everything in it, the record result included.
class RvdbRecordListPage {
public:
    RvdbRecordListPage() : hitCount(0) {}

    RvdbTableSet table;
    std::vector<RvdbColumnSetPtr> columns;        // table order
    std::vector<RvdbColumnSetPtr> layoutColumns;  // list layout order
    RvDbView view;
    std::vector<RvDbSearchFilterPtr> tableFilters;
    RvTblPermission rights;
    RvPairList sortList;
    RvDbLayout layout;
    RvDbLayoutColumnContainer grid;
    NString hasTotals;                            // "1" or empty
    CdDBResultHandle records;                     // empty until queried
    int hitCount;
    NString fixedItem;
    std::vector<RvDbSearchFilterPtr> queryFilters;
};

class RvdbRecordListPageCommand {
public:
    RvdbRecordListPageCommand(const NString& tempDir, const NString& tid, const NString& wid);
    ~RvdbRecordListPageCommand();

    // "<temp dir>/<name>_<table id>_<page key>".
    NString makeTempFilePath(const char* name) const;
    // 0 when the table id is an integer and the page key is non-empty,
    // holds no '/', '\\' or NUL and is not "." or ".."; else -100002.
    int checkFileKeys() const;

    // Writes the four state files. 0; -100002; the first write's code.
    int save() const;
    // Reads the state files of this command's keys. 0; -100002; the code
    // of a read (-100010 when there is no saved state).
    int load();
    // Removes the four state files. 0 or -100002.
    int deleteTempFiles() const;

    // Resolves the command into page for user. 0; -100019 no table id;
    // -100026 no refer right on the table, the sort column, a saved filter
    // column or the relation key column; the failing step's code.
    static int apply(RvdbRecordListPage& page, const RvdbRecordListPageCommand& command,
                     const RvUser& user, CdDBConnection* connection);

    // "0" when sort_order is "0", else "1".
    NString normalizeSortOrder() const;
    // The search type when it is "advance" or "simple", else a null text.
    NString getSearchType() const;
    // active_tab when it is "edit", else "disp".
    NString getDisplayMode() const;
    // Sets the width of an item (replacing its first pair, else appended).
    // 0; -100001 for an item id that is not an integer or a bad width.
    int setColumnWidth(const NString& itemId, const NString& width);

    void setTid(const NString& v) { tid = v; }
    void setVid(const NString& v) { vid = v; }
    void setRow(const NString& v) { row = v; }
    void setLimit(const NString& v) { limit = v; }
    void setSearchType(const NString& v) { searchType = v; }
    void setFixedColId(const NString& v) { fixedColId = v; }
    void setSortColId(const NString& v) { sortColId = v; }
    void setSortOrder(const NString& v) { sortOrder = v; }
    void setActiveTab(const NString& v) { activeTab = v; }
    int setRelationKey(const NString& colId, const NString& colVal)
    {
        relkeyColId = colId;
        relkeyColVal = colVal;
        return 0;
    }
    void setWid(const NString& v) { wid = v; }
    void setTempDir(const NString& v) { tempDir = v; }
    void setFilters(const std::vector<RvDbSearchFilterPtr>& v) { filters = v; }
    void setVisibleColumns(const std::vector<NString>& v) { visibleItems = v; }
    void setSelectedColumns(const std::vector<NString>& v) { selectedColumns = v; }
    void setQueryRecords(bool v) { queryRecords = v; }
    void setTextCutLength(int v) { textCutLength = v; }
    void setCountHits(bool v) { countHits = v; }

    const NString& getTid() const { return tid; }
    const NString& getVid() const { return vid; }
    const NString& getRow() const { return row; }
    const NString& getLimit() const { return limit; }
    const std::vector<RvDbSearchFilterPtr>& getFilters() const { return filters; }
    const std::vector<NString>& getVisibleColumns() const { return visibleItems; }
    const RvPairList& getColumnWidths() const { return itemWidths; }
    const NString& getFixedColId() const { return fixedColId; }
    const NString& getSortColId() const { return sortColId; }
    const NString& getSortOrder() const { return sortOrder; }
    const NString& getActiveTab() const { return activeTab; }
    const NString& getRelKeyColId() const { return relkeyColId; }
    const NString& getRelKeyColVal() const { return relkeyColVal; }
    const NString& getWid() const { return wid; }
    const NString& getTempDir() const { return tempDir; }
    const std::vector<NString>& getSelectedColumns() const { return selectedColumns; }
    bool getQueryRecords() const { return queryRecords; }
    int getTextCutLength() const { return textCutLength; }
    bool getCountHits() const { return countHits; }

private:
    NString tid;
    NString vid;
    NString row;
    NString limit;
    NString searchType;
    std::vector<RvDbSearchFilterPtr> filters;
    std::vector<NString> visibleItems;
    RvPairList itemWidths;
    NString fixedColId;
    NString sortColId;
    NString sortOrder;
    NString activeTab;
    NString relkeyColId;
    NString relkeyColVal;
    NString wid;
    NString tempDir;
    std::vector<NString> selectedColumns;
    bool queryRecords;
    int textCutLength;
    bool countHits;
};

#endif
