// Typed cell values: one object per cell of a record, of a class per kind of
// column, holding one text per physical column of its column definition.
// Values are made by rvdbNewColumnValue from a column definition, filled with
// setText (index = position among the column's physical columns) and read
// back with getType, getText and the parts accessors.
#ifndef RVDBCOLUMNVALUE_H
#define RVDBCOLUMNVALUE_H

#include <vector>

#include "nstring.h"
#include "rvdbcolumnset.h"
#include "rvvalueparts.h"

// Result codes of the values (bad index: RVDB_ERR_ARG, -100001).
enum { RVDB_ERR_VALUE_TYPE = -320002 };  // copyTo into a value of another kind

// Type codes returned by getType (14 is not used).
enum {
    RVDB_VALUE_KEY = 0,
    RVDB_VALUE_TEXT = 1,
    RVDB_VALUE_TEXTS = 2,
    RVDB_VALUE_NUMBER = 3,
    RVDB_VALUE_NUMBERCAL = 4,
    RVDB_VALUE_DATETIME = 5,
    RVDB_VALUE_DATETIMECAL = 6,
    RVDB_VALUE_MAIL = 7,
    RVDB_VALUE_URL = 8,
    RVDB_VALUE_TIMESPAN = 9,
    RVDB_VALUE_TIMESPANCAL = 10,
    RVDB_VALUE_FILE = 11,
    RVDB_VALUE_IMAGE = 12,
    RVDB_VALUE_USER = 13,
    RVDB_VALUE_SELECT = 15,
    RVDB_VALUE_SELECTS = 16
};

// One listed physical column of a value (getColumnTexts).
struct RvdbColumnText {
    NString name;     // physical column name
    NString sqlType;  // SQL type text
    NString text;     // the value's text for it
};

class RvdbColumnValue {
public:
    // Shares the column definition (count + 1).
    explicit RvdbColumnValue(const RvdbColumnSetPtr& columnSet);
    // Shares other's column definition; the texts are copied by the kinds.
    RvdbColumnValue(const RvdbColumnValue& other);
    RvdbColumnValue& operator=(const RvdbColumnValue&) = delete;

    // Type code of the kind (RVDB_VALUE_*).
    virtual int getType() const = 0;
    virtual ~RvdbColumnValue();
    // Copies the content into target when target is of the accepted kind:
    // 0, else -320002 with target unchanged. The target keeps its column set.
    virtual int copyTo(RvdbColumnValue& target) const = 0;
    // Text of physical column index: 0, or -100001 for an index the kind
    // does not have (out unchanged).
    virtual int getText(int index, NString& out) const;
    // Stores the text of physical column index: 0, -100001 for a bad index,
    // or the parse code of the parts kinds.
    virtual int setText(int index, const NString& text);
    // Address of the text that holds physical column index, or null (always
    // null for the kinds held as parts, files or images).
    virtual NString* valuePtr(int index) = 0;

    const RvdbColumnSetPtr& getColumnSet() const { return columnSet; }

    // Parts of the date-time kinds (types 5, 6), else null.
    const DateTimeParts* getDateTimeParts() const;
    // Parts of the time-span kinds (types 9, 10), else null.
    const TimeSpanParts* getTimeSpanParts() const;
    // First image record of an image value (type 12), else null.
    const ImageParts* getImageParts() const;

    // value.getText(index, out) / value.setText(index, text).
    static int getTextAt(const RvdbColumnValue& value, NString& out, int index);
    static int setTextAt(RvdbColumnValue& value, int index, const NString& text);

    // Appends (name, SQL type, text) of each physical column of the column
    // set that is the table's own (not joined), in column order. 0, or the
    // failing code with the triples gathered so far.
    int getColumnTexts(std::vector<RvdbColumnText>& out) const;

private:
    RvdbColumnSetPtr columnSet;
};

// Counted handle {count, value}. Copies share the value; the last release
// destroys it. A handle made without a value owns a count of its own.
class RvdbColumnValuePtr {
public:
    // Count 1, no value.
    RvdbColumnValuePtr();
    // Count 1, takes ownership of value (may be null).
    explicit RvdbColumnValuePtr(RvdbColumnValue* value);
    RvdbColumnValuePtr(const RvdbColumnValuePtr& other) noexcept;
    RvdbColumnValuePtr& operator=(const RvdbColumnValuePtr& other) noexcept;
    ~RvdbColumnValuePtr();

    // Drops this handle's count (destroying the value at 0); the handle then
    // holds nothing.
    void release() noexcept;

    RvdbColumnValue* get() const { return value; }
    RvdbColumnValue* operator->() const { return value; }
    RvdbColumnValue& operator*() const { return *value; }
    bool hasObject() const { return value != nullptr; }
    explicit operator bool() const { return value != nullptr; }
    int useCount() const { return count ? *count : 0; }

private:
    int* count;
    RvdbColumnValue* value;
};

// ---- kinds held as one text ----

class RvdbColumnValue_Key : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Key(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_KEY; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

class RvdbColumnValue_Text : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Text(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_TEXT; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

// Lines separated by LF.
class RvdbColumnValue_Texts : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Texts(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_TEXTS; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

class RvdbColumnValue_Number : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Number(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_NUMBER; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

class RvdbColumnValue_Mail : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Mail(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_MAIL; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

class RvdbColumnValue_User : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_User(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_USER; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

// Copies into a Text value.
class RvdbColumnValue_Select : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Select(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_SELECT; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

// Choices separated by LF; copies into a Texts value.
class RvdbColumnValue_Selects : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Selects(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_SELECTS; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
};

// ---- kinds with several texts ----

// 0 value, 1 calculation status; copies the value into a Number value.
class RvdbColumnValue_NumberCal : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_NumberCal(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_NUMBERCAL; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString value;
    NString status;
};

// 0 URL, 1 link label.
class RvdbColumnValue_Url : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Url(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_URL; }
    int copyTo(RvdbColumnValue& target) const override;
    NString* valuePtr(int index) override;
    NString url;
    NString label;
};

// 0 YYYYMMDDhhmmss held as parts.
class RvdbColumnValue_DateTime : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_DateTime(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_DATETIME; }
    int copyTo(RvdbColumnValue& target) const override;
    int getText(int index, NString& out) const override;
    int setText(int index, const NString& text) override;
    NString* valuePtr(int index) override;
    DateTimeParts parts;
};

// As DateTime, with 1 the calculation status; copies the parts into a
// DateTime value.
class RvdbColumnValue_DateTimeCal : public RvdbColumnValue_DateTime {
public:
    explicit RvdbColumnValue_DateTimeCal(const RvdbColumnSetPtr& cs) : RvdbColumnValue_DateTime(cs) {}
    int getType() const override { return RVDB_VALUE_DATETIMECAL; }
    int getText(int index, NString& out) const override;
    int setText(int index, const NString& text) override;
    NString status;
};

// 0 total seconds held as days, hours, minutes and seconds.
class RvdbColumnValue_TimeSpan : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_TimeSpan(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_TIMESPAN; }
    int copyTo(RvdbColumnValue& target) const override;
    int getText(int index, NString& out) const override;
    int setText(int index, const NString& text) override;
    NString* valuePtr(int index) override;
    TimeSpanParts parts;
};

// As TimeSpan, with 1 the calculation status; copies the parts into a
// TimeSpan value.
class RvdbColumnValue_TimeSpanCal : public RvdbColumnValue_TimeSpan {
public:
    explicit RvdbColumnValue_TimeSpanCal(const RvdbColumnSetPtr& cs) : RvdbColumnValue_TimeSpan(cs) {}
    int getType() const override { return RVDB_VALUE_TIMESPANCAL; }
    int getText(int index, NString& out) const override;
    int setText(int index, const NString& text) override;
    NString status;
};

// An entry of the file value's lists: four texts, carried and copied only.
struct RvdbFileEntry {
    NString text[4];
};

// 0 file mark ("1" when the record has attached files), 1 record key.
class RvdbColumnValue_File : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_File(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_FILE; }
    int copyTo(RvdbColumnValue& target) const override;
    int getText(int index, NString& out) const override;
    int setText(int index, const NString& text) override;
    NString* valuePtr(int index) override;
    // The file mark is "1".
    bool hasFile() const;

    std::vector<RvdbFileEntry> files;
    NString fileMark;
    NString recordKey;
    std::vector<RvdbFileEntry> files2;
    std::vector<RvdbFileEntry> files3;
};

// 0 content id, 1 file name, 2 MIME type, 3 width, 4 height, 5 file size
// (all in image).
class RvdbColumnValue_Image : public RvdbColumnValue {
public:
    explicit RvdbColumnValue_Image(const RvdbColumnSetPtr& cs) : RvdbColumnValue(cs) {}
    int getType() const override { return RVDB_VALUE_IMAGE; }
    int copyTo(RvdbColumnValue& target) const override;
    int getText(int index, NString& out) const override;
    int setText(int index, const NString& text) override;
    NString* valuePtr(int index) override;

    ImageParts image;
    NString extra;
    ImageParts image2;
    std::vector<ImageParts> images;
};

// A new value of the kind named by the set's rel_col_type, owned by the
// caller; null for a handle without a set, a null rel_col_type or one that
// has no value class ("relref", "relcpy", unknown).
RvdbColumnValue* rvdbNewColumnValue(const RvdbColumnSetPtr& columnSet);

#endif
