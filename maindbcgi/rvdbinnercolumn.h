// Physical columns of a user column: each RvdbInnerColumn is one column of
// the data table (or of a joined table) that carries part of the values of
// a column definition, with its SQL type, select kind, search family and
// join path.
#ifndef RVDBINNERCOLUMN_H
#define RVDBINNERCOLUMN_H

#include <cstddef>
#include <vector>

#include "nstring.h"

class RvdbColumnSet;

// selectKind
enum {
    RVDB_SELECT_PLAIN = 1,     // selected unchanged
    RVDB_SELECT_DATETIME = 2   // selected by TO_CHAR(x ,'YYYYMMDDHH24MISS')
};

// searchKind: the family of search predicates a physical column takes.
enum {
    RVDB_SEARCH_NONE = 0,
    RVDB_SEARCH_NUMBER = 1,
    RVDB_SEARCH_TEXT = 2,
    RVDB_SEARCH_DATETIME = 3,
    RVDB_SEARCH_TIMESPAN = 4,
    RVDB_SEARCH_SELECT = 5,
    RVDB_SEARCH_SELECTS = 6,
    RVDB_SEARCH_FILENAME = 7,
    RVDB_SEARCH_FILE = 8
};

// condValueTypes entry that answers to every condition value type.
enum { RVDB_COND_ALL = -1 };

// One join step, outermost first in RvdbInnerColumn::relations.
struct RvdbInnerColumnRelation {
    NString localColumn;  // column of the previous table holding the join key
    NString table;        // physical table joined
    NString keyColumn;    // column of the joined table compared with localColumn
    NString valueColumn;  // column holding the value (empty in outer reference steps)
    NString valueType;    // "text", "number" or empty

    RvdbInnerColumnRelation() = default;
    RvdbInnerColumnRelation(const NString& local, const NString& tbl, const NString& key,
                            const NString& value, const NString& type)
        : localColumn(local), table(tbl), keyColumn(key), valueColumn(value), valueType(type)
    {
    }
};

class RvdbInnerColumn {
public:
    RvdbInnerColumn();
    RvdbInnerColumn(const RvdbInnerColumn& other);
    RvdbInnerColumn& operator=(const RvdbInnerColumn& other);
    virtual ~RvdbInnerColumn();

    // Inserts a step at position pos of relations (pos past the end appends).
    void insertRelation(std::size_t pos, const RvdbInnerColumnRelation& relation);

    bool isJoined() const { return joined != 0; }
    // True when condValueTypes holds -1 or code.
    bool answersCondValueType(int code) const;

    int subIndex;                // 0 main column, 1, 2, ... further ones
    unsigned char joined;        // 1: value is not this data table's own column `name`
    NString name;                // physical name; empty for reference columns
    NString sqlType;             // SQL type text; empty for a file's record key
    int selectKind;              // RVDB_SELECT_*
    int searchKind;              // RVDB_SEARCH_*
    std::vector<int> condValueTypes;                 // {-1} or empty
    std::vector<RvdbInnerColumnRelation> relations;  // outermost join first
};

// Deepest relation chain (reference or copy nesting) that is followed; a
// longer chain counts as a cycle.
enum { RVDB_MAX_RELATION_DEPTH = 32 };

// Appends the physical columns of columnSet to innerColumns (normally the
// set's own, empty, list). 0; -100001 unknown or empty col_type (also a copy
// column whose value type is a copy again); -100025 a reference column
// without a usable related or root set, or a relation chain deeper than
// RVDB_MAX_RELATION_DEPTH; or the code of a nested call.
int rvdbUpdaetColumnSetAndSchema(RvdbColumnSet& columnSet, std::vector<RvdbInnerColumn>& innerColumns);
// Same operation under a readable name.
inline int rvdbUpdateColumnSetAndSchema(RvdbColumnSet& columnSet,
                                        std::vector<RvdbInnerColumn>& innerColumns)
{
    return rvdbUpdaetColumnSetAndSchema(columnSet, innerColumns);
}

#endif
