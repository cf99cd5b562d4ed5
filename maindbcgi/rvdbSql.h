// SQL pieces of the record query that depend on the physical columns: the
// alias and qualified name of a physical column, its select expression, the
// from clause with its joins, the where text of the search filters and the
// search predicate of one condition on one physical column.
//
// Aliases: the data table is "a"; a physical column with relation entries
// is read from "rtbl" followed by the localColumn of each entry, outermost
// first (rtblcol00012, rtblcol00004col00009).
//
// Every function returns an RvResult (code 0 = success) and writes its SQL
// text into the out-parameter; on failure out is left unchanged.
#ifndef RVDBSQL_H
#define RVDBSQL_H

#include <vector>

#include "nstring.h"
#include "rvcompair.h"
#include "rvdbcolumnset.h"
#include "rvdbinnercolumn.h"
#include "rvdbsearch.h"
#include "rvresult.h"

class CdDBSqlEncoder;

// Result codes used here (besides the value checks' codes).
enum {
    RVDB_SQL_ERR_ARG = -100001,      // missing encoder, name too long
    RVDB_SQL_ERR_COLUMN = -100010,   // condition on a column id no set has
    RVDB_SQL_ERR_METHOD = -100208    // method, value type or family not taken
};

// Longest qualified column name: the server keeps 63 bytes of a name.
enum { RVDB_SQL_MAX_NAME_LENGTH = 63 };

// Search value types (RvDbSearchCondition::comp_val_type).
enum {
    RVDB_COND_VALUE = 0,      // compare with comp_val
    RVDB_COND_EMPTY = 1,      // the column is empty
    RVDB_COND_NOT_EMPTY = 2   // the column is not empty
};

typedef std::vector<RvdbColumnSetPtr> RvdbColumnSetList;
typedef std::vector<RvDbSearchFilterPtr> RvDbSearchFilterList;

// alias = "a" without relation entries, else "rtbl" + localColumn of every
// entry, outermost first. Always succeeds.
RvResult rvdbGetColumnAlias(const RvdbInnerColumn& innerColumn, NString& alias);

// out = "<alias>.<column>": the valueColumn of the last relation entry, or
// the column's own name without relation entries (a.col00007,
// rtblcol00012.file_name). The encoder may be null. -100001 when the name
// is longer than RVDB_SQL_MAX_NAME_LENGTH (a relation chain too deep to be
// named in SQL); out is then unchanged.
RvResult rvdbGetQualifiedColumnName(const RvdbColumnSet& columnSet,
                                    const RvdbInnerColumn& innerColumn,
                                    const CdDBSqlEncoder* encoder, NString& out);

// out = the qualified name; for a date-time column (selectKind 2)
// TO_CHAR(<qualified name> ,'YYYYMMDDHH24MISS') for the years 1 to 9999 and
// RV_NO_STAMP_MARK followed by the value for any other (NULL stays NULL),
// which needs the encoder (-100001 without one).
RvResult rvdbGetSelectExpression(const RvdbColumnSet& columnSet,
                                 const RvdbInnerColumn& innerColumn,
                                 const CdDBSqlEncoder* encoder, NString& out);

// out = "<table> as a" followed by one left outer join per relation step of
// the needed columns (each alias joined once). Needed are the selected and
// extra column ids whose sets have joined physical columns (every such set
// when a condition searches "*"), then every condition's column id.
// extraColIds may be null. Always succeeds.
RvResult rvdbMakeFromSql(const NString& tblId, const RvStringList& selectedColIds,
                         const RvDbSearchFilterList& filters,
                         const RvdbColumnSetList& columnSets, NString& out,
                         const RvStringList* extraColIds = nullptr);

// out = the SQL of one condition: its predicates over the physical columns
// that take part, one alone or "(p1 OR p2 ...)"; out unchanged when no
// predicate results. col_id "*" searches every referable, searchable
// column (and gives "NULL" when none takes a non-empty value). -100010 for
// an unknown column id; a predicate's failure.
RvResult rvdbMakeConditionSql(const RvDbSearchCondition& condition,
                              const RvdbColumnSetList& columnSets,
                              const CdDBSqlEncoder* encoder, NString& out);

// out = the where text without the word where: "(f1) and (f2) ...", each
// filter "(c1) and (c2) ..." ('&') or "(c1) or (c2) ..." (other). Empty when
// no filter yields a condition. A failing condition fails the whole text.
RvResult rvdbMakeWhereSql(const CdDBSqlEncoder* encoder, const RvdbColumnSetList& columnSets,
                          const RvDbSearchFilterList& filters, NString& out);

// out = the predicate of one condition (value type, method, value) on one
// physical column of columnSet; out unchanged (and code 0) when the
// condition adds nothing for this column. -100208 for a method or value type
// the column's family does not take; a value check's code (-210006,
// -210007, -210008, -210019) for a value that cannot be read; -100001
// without an encoder.
//
// Values read per family:
// - number: [-]digits[.digits], at most 15 + 5 digits;
// - date-time, value type 0: YYYYMMDDhhmmss cut after a whole part or with
//   the missing parts as '*' (the given parts set the precision); 301-306
//   the same at the precision year ... second; 101-112 this/last/next day,
//   week, month, year; 114 a weekday name (Sun ... Sat); 115-120 the day
//   that lies <value> days, months, years before / after today (115/116,
//   117/118, 119/120); 201 now;
// - time span: seconds, or days:hours:minutes:seconds;
// - selections: one value per line.
RvResult rvdbMakeColumnPredicate(int compValType, const NString& compType, const NString& compVal,
                                 const RvdbInnerColumn& innerColumn,
                                 const RvdbColumnSet& columnSet,
                                 const RvdbColumnSetList& columnSets,
                                 const CdDBSqlEncoder* encoder, NString& out);

#endif
