// Statements on stored views (rv_view): checks, insert, update, delete and
// save with a new id from the table's "VIEW" counter. Runs on the caller's
// transaction.
#ifndef RVDBOPERATORDBVIEW_H
#define RVDBOPERATORDBVIEW_H

#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;
class RvDbView;

class RvDbOperatorDbView {
public:
    // found = the table has a view with this id. 0; -100001 for a missing
    // table id; the encoder's or the statement's code.
    static int exists(CdDBConnection* connection, const char* tblId, int viewId, bool& found);

    // seqno = highest seqno of the table's views + 1 (1 without views);
    // -210003 when the highest is already the largest int.
    static int nextSeqno(CdDBConnection* connection, const char* tblId, int& seqno);
    static int deleteView(CdDBConnection* connection, const char* tblId, int viewId);
    // idList: comma-separated view ids, each an integer (-100001 otherwise).
    static int deleteViews(CdDBConnection* connection, const char* tblId, const char* idList);
    // -320031 when another view of the table (not skipViewId, when given)
    // has this name; -100001 for an empty table id or name.
    static int checkViewNameUnique(CdDBConnection* connection, const char* tblId, const NString& viewName,
                                   const int* skipViewId = nullptr);
    // -320042 when a given, non-empty sort column is not a column of the
    // table. Reads nothing when no column is given.
    static int checkSortColumns(CdDBConnection* connection, const char* tblId, const NString* sort1,
                                const NString* sort2, const NString* sort3);

    // Writes the given texts (null: not given) of one view: checks, then the
    // name and sort-column checks, then the statement. Empty values are
    // written as null.
    static RvResult update(CdDBConnection* connection, const char* tblId, int viewId, const NString* viewName,
                           const NString* seqno, const NString* lLayoutId, const NString* iLayoutId,
                           const NString* dLayoutId, const NString* sort1ColId, const NString* sort1Order,
                           const NString* sort2ColId, const NString* sort2Order, const NString* sort3ColId,
                           const NString* sort3Order, const NString* rowsPerPage, const NString* dispflg,
                           const NString* defflg);
    static RvResult insert(CdDBConnection* connection, const char* tblId, int viewId, const NString& viewName,
                           const NString& seqno, const NString& lLayoutId, const NString& iLayoutId,
                           const NString& dLayoutId, const NString& sort1ColId, const NString& sort1Order,
                           const NString& sort2ColId, const NString& sort2Order, const NString& sort3ColId,
                           const NString& sort3Order, const NString& rowsPerPage, const NString& dispflg,
                           const NString& defflg);
    // insert with the record's fields under newId (the record's view_id
    // when null).
    static RvResult insertRecord(CdDBConnection* connection, const char* tblId, const RvDbView& view,
                                 const int* newId = nullptr);
    // update with every field of the record, under its view_id.
    static RvResult updateRecord(CdDBConnection* connection, const char* tblId, const RvDbView& view);
    // A new record (is_new) is inserted under the next "VIEW" id, returned in
    // viewId; a stored one is updated (-100016 when its row is gone).
    static RvResult save(CdDBConnection* connection, const char* tblId, const RvDbView& view, int& viewId);
};

#endif
