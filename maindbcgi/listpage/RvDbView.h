// A view of a table's list page (rv_view): layouts, sort keys, page size
// and flags, with the field checks run before it is stored.
#ifndef RVDBVIEW_H
#define RVDBVIEW_H

#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;

class RvDbView {
public:
    RvDbView()
        : tbl_id(0), view_id(0), seqno(0), l_layout_id(0), i_layout_id(-1), d_layout_id(-1),
          l_sort1_order(0), l_sort2_order(0), l_sort3_order(0), rows_per_page(50), dispflg('1'),
          defflg("0"), is_new(false)
    {
    }

    // Required, for "view_name".
    static RvResult checkViewName(const NString& value);
    // Always passes.
    static RvResult checkSeqno();
    // Required; the table must have a layout with this number (-210006),
    // for "l_layout_id". A failing select gives its code.
    static RvResult checkLLayoutId(CdDBConnection* connection, const char* tblId, const NString& value);
    // Required and exactly "-1", for "i_layout_id" / "d_layout_id".
    static RvResult checkILayoutId(CdDBConnection* connection, const char* tblId, const NString& value);
    static RvResult checkDLayoutId(CdDBConnection* connection, const char* tblId, const NString& value);
    // Always passes (the writer checks the sort columns itself).
    static RvResult checkSortColId(CdDBConnection* connection, const char* tblId, const NString& value,
                                   const char* key);
    // Empty passes; else exactly 'a' or 'd', for key.
    static RvResult checkSortOrder(const NString& value, const char* key);
    // Required; a multiple of 10 (-210006), then 10 to 100, for "rows_per_page".
    static RvResult checkRowsPerPage(const NString& value);
    // Required, for "dispflg".
    static RvResult checkDispFlg(const NString& value);
    // Required; "1" or "0", for "defflg".
    static RvResult checkDefFlg(const NString& value);

    int tbl_id;
    int view_id;
    NString view_name;
    int seqno;
    int l_layout_id;   // list layout
    int i_layout_id;   // -1: none
    int d_layout_id;   // detail layout, -1: none
    NString l_sort1_col_id;
    char l_sort1_order;  // 'a', 'd', 0: no key
    NString l_sort2_col_id;
    char l_sort2_order;
    NString l_sort3_col_id;
    char l_sort3_order;
    int rows_per_page;
    char dispflg;
    NString defflg;    // "1": the table's default view
    bool is_new;       // not stored yet: the writer allocates view_id
};

typedef RvDbPtr<RvDbView> RvDbViewPtr;

#endif
