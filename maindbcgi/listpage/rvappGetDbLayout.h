// Reading one layout of a table from rv_layout.
#ifndef RVAPPGETDBLAYOUT_H
#define RVAPPGETDBLAYOUT_H

class CdDBConnection;
class RvDbLayout;

// Reads layout_id, layout_type and layout_table_cols into out (its rows are
// left alone). 0; -100001 for a table id that is missing or not an
// integer; -1013 when there is no such layout; statement and value codes
// (the fields read before a failure stay set).
int rvappGetDbLayout(CdDBConnection* connection, const char* tblId, int layoutId, RvDbLayout& out);

#endif
