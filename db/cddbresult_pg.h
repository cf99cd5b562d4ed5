// Query result over a libpq result.
#ifndef CDDBRESULT_PG_H
#define CDDBRESULT_PG_H

#include <libpq-fe.h>

#include <vector>

#include "cddbconnection.h"
#include "cddbresult.h"

class CdDBResult_PG : public CdDBResult {
public:
    explicit CdDBResult_PG(int status);
    ~CdDBResult_PG() override;

    void clear() override;
    int getStatus() const override { return status; }
    int getFieldCount() const override;
    int getFieldName(NString& out, int column) const override;
    int getValue(NString& out, int column) const override;
    int peekValue(int column, const char*& text, int& length) const override;
    int exportLob(int column, const char* filePath) override;
    int next() override;
    bool isEOF() const override;
    int getAffectedRows() const override { return affectedRows; }
    size_t getMemorySize() const override;

    // Type of bytea columns, whose values are not handed out as texts.
    static const Oid OID_BYTEA = 17;

    // Takes the libpq result and shares the connection's handle.
    void attach(const CdDBConnectionHandle& connection, PGresult* result);
    // Writes the large object named by text, a value of a column of type
    // oid type, to filePath through connection. 0; -1 not an oid column or
    // export failed; -1101 no connection.
    static int exportLobValue(const CdDBConnectionHandle& connection, Oid type,
                              const char* text, const char* filePath);

private:
    int status;
    int affectedRows;
    int rowIndex;
    PGresult* res;
    // Of res, read once: rows, columns and which columns are bytea.
    int rowCount;
    int fieldCount;
    std::vector<char> byteaColumn;
    CdDBConnectionHandle connection;
};

#endif
