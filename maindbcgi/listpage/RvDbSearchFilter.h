// A saved search filter (rv_search_filter): named conditions joined by one
// operator. The filter owns copies of its conditions.
#ifndef RVDBSEARCHFILTER_H
#define RVDBSEARCHFILTER_H

#include <memory>
#include <vector>

#include "RvDbSearchCondition.h"
#include "nstring.h"
#include "rvresult.h"

// Id text of a filter that has not been stored yet.
#define RVDB_FILTER_NEW_ID "*new*"

class RvDbSearchFilter {
public:
    RvDbSearchFilter() : condition(0), seqno(0), flag(0) {}

    // filter_id is non-empty and not "*new*".
    bool isStored() const;

    // Required; 1 to 999999999, for "searchfilterid".
    static RvResult checkFilterId(const NString& value);
    // Empty passes; else 0 to 999999999, for "seqno".
    static RvResult checkSeqno(const NString& value);
    // Required; exactly '&' or '|', for "condition".
    static RvResult checkCondition(const NString& value);
    // Required; at most 64 characters, for "searchfiltername".
    static RvResult checkFilterName(const NString& value);

    NString filter_id;
    NString filter_name;
    char condition;     // '&' all, '|' any (the record query joins by or for anything but '&')
    int seqno;
    std::vector<RvDbSearchCondition> conditions;
    unsigned char flag; // carried along with copies
};

// Shared handle of the filter lists (the record query takes these too).
typedef std::shared_ptr<RvDbSearchFilter> RvDbSearchFilterPtr;

#endif
