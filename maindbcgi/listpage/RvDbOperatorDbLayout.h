// Statements on stored layouts (rv_layout).
#ifndef RVDBOPERATORDBLAYOUT_H
#define RVDBOPERATORDBLAYOUT_H

class CdDBConnection;

class RvDbOperatorDbLayout {
public:
    // found = the table has a layout with this id. 0; -100001 for a table
    // id that is missing or not an integer; the statement's code.
    static int exists(CdDBConnection* connection, const char* tblId, int layoutId, bool& found);
};

#endif
