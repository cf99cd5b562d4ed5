// Reading a table's views from rv_view.
#ifndef RVAPPGETDBVIEW_H
#define RVAPPGETDBVIEW_H

#include <vector>

#include "RvDbView.h"
#include "cddbresult.h"
#include "nstring.h"

class CdDBConnection;

// out = the number of views of the table as text. 0; -100001 without a
// table id; encoder, statement and value codes.
int rvappGetDbViewCount(CdDBConnection* connection, NString& out, const char* tblId);

// Appends the views of the table (of every table without a table id),
// only those whose defflg equals defflg when given, ordered by tbl_id and
// seqno; limit and offset texts add "limit %d" / "offset %d" of their
// decimal value when given (so "abc" gives limit 0).
int rvappGetDbViewPtrArray(CdDBConnection* connection, const char* tblId, const char* defflg,
                           const char* limit, const char* offset, std::vector<RvDbViewPtr>& out);

// out = the view. -100001 without a table id; -100010 when there is none
// (out unchanged); encoder, statement and value codes.
int rvappGetDbView(CdDBConnection* connection, const char* tblId, int viewId, RvDbView& out);

// out = the default view of the lowest seqno, else the view -1. Codes of
// the list read or of rvappGetDbView.
int rvappGetDbDefaultView(CdDBConnection* connection, const char* tblId, RvDbView& out);

// Appends one view per remaining row of result (columns found by exact
// name; a missing one fails with -1008 at the first row). A failing read
// returns its code; the views appended so far stay.
int rvappFetchDbViewRows(const CdDBResultHandle& result, std::vector<RvDbViewPtr>& out);

#endif
