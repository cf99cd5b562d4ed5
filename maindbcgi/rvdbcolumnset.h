// Column definition of a user table: one rv_tbl_col row as 57 text
// properties, the definition of its related column, its physical columns
// and the executing user's rights on it.
#ifndef RVDBCOLUMNSET_H
#define RVDBCOLUMNSET_H

#include <memory>
#include <vector>

#include "nstring.h"
#include "rvaccinfo.h"
#include "rvcompair.h"
#include "rvdbinnercolumn.h"
#include "rvresult.h"

class RvdbColumnSet;

// Result codes of the column definition.
enum {
    RVDB_ERR_ARG = -100001,               // bad argument, unknown type, cycle
    RVDB_ERR_NOT_FOUND = -100010,         // missing row or related column
    RVDB_ERR_NO_SCHEMA = -100025,         // no physical columns for the value type
    RVDB_ERR_SELECT_DUPLICATE = -320020,  // an option occurs twice
    RVDB_ERR_INIT_NOT_OPTION = -320021,   // an initial value is no option
    RVDB_ERR_SELECT_EMPTY = -320039,      // an option empty or holding CR/LF
    RVDB_ERR_INIT_EMPTY = -320040,        // an initial value empty or holding CR/LF
    RVDB_ERR_SELECT_TOO_MANY = -320051    // more than RVDB_MAX_SELECT_OPTIONS options
};
enum { RVDB_MAX_SELECT_OPTIONS = 100 };

// The 19 column type names.
#define RVDB_TYPE_KEY "key"
#define RVDB_TYPE_TEXT "text"
#define RVDB_TYPE_TEXTS "texts"
#define RVDB_TYPE_MAIL "mail"
#define RVDB_TYPE_URL "url"
#define RVDB_TYPE_NUMBER "number"
#define RVDB_TYPE_NUMBERCAL "numbercal"
#define RVDB_TYPE_DATETIME "datetime"
#define RVDB_TYPE_DATETIMECAL "datetimecal"
#define RVDB_TYPE_TIMESPAN "timespan"
#define RVDB_TYPE_TIMESPANCAL "timespancal"
#define RVDB_TYPE_SELECT "select"
#define RVDB_TYPE_SELECTS "selects"
#define RVDB_TYPE_USER "user"
#define RVDB_TYPE_FILE "file"
#define RVDB_TYPE_IMAGE "image"
#define RVDB_TYPE_RELKEY "relkey"
#define RVDB_TYPE_RELREF "relref"
#define RVDB_TYPE_RELCPY "relcpy"
enum { RVDB_TYPE_COUNT = 19 };
// The type names in label order (key ... relcpy).
extern const char* const rvdbColumnTypeNames[RVDB_TYPE_COUNT];

// The 57 properties: X(position, rv_tbl_col name, accessor suffix).
// 38-44 are the items of c_input_auto_correct, 45-52 those of calc_expr,
// 53-56 come from joined tables.
#define RVDB_COLUMNSET_PROPERTIES(X)                     \
    X(0, tbl_id, TblId)                                  \
    X(1, col_id, ColId)                                  \
    X(2, col_type, ColType)                              \
    X(3, col_lname, ColLname)                            \
    X(4, seqno, Seqno)                                   \
    X(5, rel_col_type, RelColType)                       \
    X(6, rel_tbl_id, RelTblId)                           \
    X(7, rel_col_id, RelColId)                           \
    X(8, rel_key, RelKey)                                \
    X(9, c_must, CMust)                                  \
    X(10, c_uniq, CUniq)                                 \
    X(11, c_max_size, CMaxSize)                          \
    X(12, c_min_count, CMinCount)                        \
    X(13, c_max_count, CMaxCount)                        \
    X(14, c_min_val, CMinVal)                            \
    X(15, c_max_val, CMaxVal)                            \
    X(16, c_min_len, CMinLen)                            \
    X(17, c_max_len, CMaxLen)                            \
    X(18, c_min_date, CMinDate)                          \
    X(19, c_max_date, CMaxDate)                          \
    X(20, c_input_limit, CInputLimit)                    \
    X(21, c_input_selects, CInputSelects)                \
    X(22, c_sort, CSort)                                 \
    X(23, f_round_level, FRoundLevel)                    \
    X(24, f_round_type, FRoundType)                      \
    X(25, f_comma_split, FCommaSplit)                    \
    X(26, f_minus, FMinus)                               \
    X(27, f_prefix, FPrefix)                             \
    X(28, f_affix, FAffix)                               \
    X(29, f_percent, FPercent)                           \
    X(30, f_option, FOption)                             \
    X(31, f_display_format, FDisplayFormat)              \
    X(32, v_init_val, VInitVal)                          \
    X(33, v_input_cols, VInputCols)                      \
    X(34, v_input_rows, VInputRows)                      \
    X(35, v_input_type, VInputType)                      \
    X(36, v_input_format, VInputFormat)                  \
    X(37, v_input_help, VInputHelp)                      \
    X(38, autocrrct, Autocrrct)                          \
    X(39, acsp, Acsp)                                    \
    X(40, acalp, Acalp)                                  \
    X(41, acnum, Acnum)                                  \
    X(42, achkk, Achkk)                                  \
    X(43, aczkk, Aczkk)                                  \
    X(44, aczhk, Aczhk)                                  \
    X(45, type, CalcType)                                \
    X(46, term1, Term1)                                  \
    X(47, term1val, Term1val)                            \
    X(48, term2, Term2)                                  \
    X(49, term2val, Term2val)                            \
    X(50, operator, Operator)                            \
    X(51, terms, Terms)                                  \
    X(52, numerator, Numerator)                          \
    X(53, tbl_lname, TblLname)                           \
    X(54, rel_tbl_lname, RelTblLname)                    \
    X(55, rel_col_lname, RelColLname)                    \
    X(56, rel_key_lname, RelKeyLname)

// Counted handle {count, set} to a column definition. Copies share the set;
// the last release destroys it. A handle made without a set owns a count.
class RvdbColumnSetPtr {
public:
    // Count 1, no set.
    RvdbColumnSetPtr();
    // Count 1, takes ownership of set (may be null).
    explicit RvdbColumnSetPtr(RvdbColumnSet* set);
    RvdbColumnSetPtr(const RvdbColumnSetPtr& other) noexcept;
    RvdbColumnSetPtr& operator=(const RvdbColumnSetPtr& other) noexcept;
    ~RvdbColumnSetPtr();

    // Drops this handle's count (destroying the set at 0); the handle then
    // holds nothing.
    void release() noexcept;

    RvdbColumnSet* get() const { return set; }
    RvdbColumnSet* operator->() const { return set; }
    RvdbColumnSet& operator*() const { return *set; }
    bool hasObject() const { return set != nullptr; }
    explicit operator bool() const { return set != nullptr; }
    int useCount() const { return count ? *count : 0; }

private:
    int* count;
    RvdbColumnSet* set;
};

// Shared slot for the column permission: copies of a set share the slot, so
// a permission filled in once is seen by all of them.
class RvdbColPermissionPtr {
public:
    RvdbColPermissionPtr() : cell(std::make_shared<std::unique_ptr<RvColPermission>>()) {}
    bool hasObject() const { return cell && *cell; }
    // The permission, or null while it is not filled in.
    RvColPermission* get() const { return cell ? cell->get() : nullptr; }
    // Stores a copy of perm for every sharer.
    void set(const RvColPermission& perm) { *cell = std::make_unique<RvColPermission>(perm); }
    int useCount() const { return static_cast<int>(cell.use_count()); }

private:
    std::shared_ptr<std::unique_ptr<RvColPermission>> cell;
};

class RvdbColumnSet {
public:
    enum Property {
#define RVDB_CS_ENUM(pos, name, acc) P_##name = pos,
        RVDB_COLUMNSET_PROPERTIES(RVDB_CS_ENUM)
#undef RVDB_CS_ENUM
        PROPERTY_COUNT = 57
    };

    // 57 empty properties, an empty related-set handle, no inner columns,
    // an empty permission slot.
    RvdbColumnSet();
    // Copies like operator= (shares related set and permission).
    RvdbColumnSet(const RvdbColumnSet& other);
    // Properties and inner columns copied; related set and permission shared.
    RvdbColumnSet& operator=(const RvdbColumnSet& other);
    ~RvdbColumnSet();

    // destination = source, then every related set along the chain replaced
    // by a copy of its own. 0; -100001 when the chain is longer than
    // RVDB_MAX_RELATION_DEPTH (a cycle): the copy's chain is cut there.
    static int copyDeep(const RvdbColumnSet& source, RvdbColumnSet& destination);

    // Property by position; an out-of-range position reads as empty text
    // and is ignored when set.
    const NString& get(int pos) const;
    void set(int pos, const NString& value);
    // Position of the property of that name (exact), or -1.
    static int findProperty(const char* name);
    // Name of a property position, or "" out of range.
    static const char* propertyName(int pos);

#define RVDB_CS_ACCESSORS(pos, name, acc)                          \
    const NString& get##acc() const { return props[pos]; }         \
    void set##acc(const NString& value) { props[pos] = value; }
    RVDB_COLUMNSET_PROPERTIES(RVDB_CS_ACCESSORS)
#undef RVDB_CS_ACCESSORS

    // Related set (relation columns); a handle without a set otherwise.
    const RvdbColumnSetPtr& getRelatedSet() const { return relatedSet; }
    void setRelatedSet(const RvdbColumnSetPtr& related) { relatedSet = related; }
    bool hasRelatedSet() const { return relatedSet.hasObject(); }

    // The column whose value a reference column shows: from the related set,
    // follows related sets while the set reached is "relref"; null without a
    // related set, or when the chain is longer than RVDB_MAX_RELATION_DEPTH.
    RvdbColumnSet* getRootColumnSet() const;

    std::vector<RvdbInnerColumn>& getInnerColumns() { return innerColumns; }
    const std::vector<RvdbInnerColumn>& getInnerColumns() const { return innerColumns; }

    RvdbColPermissionPtr& getPermissionPtr() { return permission; }
    const RvdbColPermissionPtr& getPermissionPtr() const { return permission; }
    // The executing user's rights on this column, computed on first use
    // (defined with the column permission cache).
    const RvColPermission& getColPermission();

    // List text ("" or LF + entries joined by LF + LF). 0, or the join's
    // code (property unchanged).
    int setInputSelects(const RvStringList& list);
    int setInitVal(const RvStringList& list);
    // Appends the entries of the list text.
    void getInputSelects(RvStringList& list) const;
    void getInitVal(RvStringList& list) const;

    // out = local string "coltypename_<type>" of the type matched caselessly,
    // "(null)" for an unknown type.
    static void getTypeLabel(NString& out, const char* typeText);
    void getValueTypeLabel(NString& out) const;
    void getColTypeLabel(NString& out) const;

    // First failure among the options and initial values, or code 0.
    static RvResult checkSelectOptions(const RvStringList& options, const RvStringList& initialValues);

    // Checks of the text of one column setting before it is stored: code 0,
    // or the failing check's code with a message naming the setting.
    static RvResult checkColumnType(const NString& text);
    static RvResult checkRelColumnType(const NString& text);
    static RvResult checkTableId(const NString& text);     // 1 .. 999999999, as rv_tbl allows
    static RvResult checkColumnId(const NString& text);
    static RvResult checkRelTableId(const NString& text);  // 1 .. 999999999
    static RvResult checkRelColumnId(const NString& text);
    static RvResult checkRelKey(const NString& text);
    static RvResult checkSeqno(const NString& text);
    static RvResult checkColumnName(const NString& text);
    static RvResult checkAutoCorrect(const NString& text);
    static RvResult checkCalcExpression(const NString& text);
    static RvResult checkInputFormat(const NString& text);
    static RvResult checkInputLimit(const NString& text);
    static RvResult checkRoundLevel(const NString& text);
    static RvResult checkRoundType(const NString& text);
    static RvResult checkMinus(const NString& text);
    static RvResult checkMust(const NString& text);
    static RvResult checkUnique(const NString& text);
    static RvResult checkSortable(const NString& text);
    static RvResult checkPercent(const NString& text);
    static RvResult checkCommaSplit(const NString& text);
    static RvResult checkDelFlg(const NString& text);
    static RvResult checkMaxLen(const NString& text);
    static RvResult checkMinLen(const NString& text);
    static RvResult checkInputRows(const NString& text);
    static RvResult checkInputCols(const NString& text);
    static RvResult checkPrefix(const NString& text);
    static RvResult checkAffix(const NString& text);
    static RvResult checkMaxValNumber(const NString& text);
    static RvResult checkMinValNumber(const NString& text);
    static RvResult checkMaxSize(const NString& text);
    static RvResult checkMaxValDate(const NString& text);
    static RvResult checkMinValDate(const NString& text);
    // Accepts every text.
    static RvResult checkAny(const NString& text);

    // Traces the inner columns and their relation entries.
    void dump() const;

    // Type predicates (col = col_type, value = rel_col_type).
    bool isSystemColumn() const;
    bool isVirtualColumn() const;
    bool isMust() const;
    bool isUnique() const;
    bool hasSortFlag() const;
    bool isRelation() const;
    bool isRelRef() const;
    bool isRelCpy() const;
    bool hasRootColumnSet() const;
    bool isTextValue() const;
    bool isUnsortable() const;
    bool isSortable() const;
    bool isNotSelects() const;
    bool isNumericOrTimeSpanValue() const;
    bool isScalarValue() const;
    bool isDateTimeOrTimeSpanValue() const;
    bool isNumberValue() const;
    bool isInputNonFileValue() const;
    bool isInputColumn() const;

private:
    NString props[PROPERTY_COUNT];
    RvdbColumnSetPtr relatedSet;
    std::vector<RvdbInnerColumn> innerColumns;
    RvdbColPermissionPtr permission;
};

#endif
