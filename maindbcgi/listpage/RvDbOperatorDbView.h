// Statements on stored views (rv_view).
#ifndef RVDBOPERATORDBVIEW_H
#define RVDBOPERATORDBVIEW_H

class CdDBConnection;

class RvDbOperatorDbView {
public:
    // found = the table has a view with this id. 0; -100001 for a missing
    // table id; the encoder's or the statement's code.
    static int exists(CdDBConnection* connection, const char* tblId, int viewId, bool& found);
};

#endif
