// Reading one layout item of a table from rv_layout_item.
#ifndef RVAPPGETDBLAYOUTITEM_H
#define RVAPPGETDBLAYOUTITEM_H

class CdDBConnection;
class RvDbLayoutItem;

// out = the item (its id field left as it was). 0; -100001 for a missing
// table or item id; -1013 when there is no such item (out unchanged);
// encoder, statement and value codes.
int rvappGetDbLayoutItem(CdDBConnection* connection, const char* tblId, const char* layoutItemId,
                         RvDbLayoutItem& out);

#endif
