#include "cddbresult_pg.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "cddbconnection_pg.h"

namespace {

const Oid OID_OID = 26;

// Whole text as an unsigned 32-bit number; false otherwise.
bool parseOid(const char* text, uint32_t& out)
{
    if (text == nullptr || *text < '0' || *text > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long v = strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > UINT32_MAX) {
        return false;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

CdDBResult_PG::CdDBResult_PG(int s)
    : status(s), affectedRows(0), rowIndex(0), res(nullptr), rowCount(0), fieldCount(0)
{
}

CdDBResult_PG::~CdDBResult_PG()
{
    clear();
}

void CdDBResult_PG::clear()
{
    if (res != nullptr) {
        PQclear(res);
        res = nullptr;
    }
    rowCount = 0;
    fieldCount = 0;
    byteaColumn.clear();
}

void CdDBResult_PG::attach(const CdDBConnectionHandle& handle, PGresult* result)
{
    clear();
    res = result;
    connection = handle;
    affectedRows = 0;
    rowIndex = 0;
    if (res != nullptr) {
        long n = strtol(PQcmdTuples(res), nullptr, 10);
        affectedRows = n > INT32_MAX ? INT32_MAX : static_cast<int>(n < 0 ? 0 : n);
        rowCount = PQntuples(res);
        fieldCount = PQnfields(res);
        byteaColumn.resize(static_cast<size_t>(fieldCount));
        for (int i = 0; i < fieldCount; i++)
            byteaColumn[static_cast<size_t>(i)] = PQftype(res, i) == OID_BYTEA;
    }
}

int CdDBResult_PG::getFieldCount() const
{
    return fieldCount;
}

int CdDBResult_PG::getFieldName(NString& out, int column) const
{
    if (res == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    if (column < 0 || column >= PQnfields(res)) {
        return CDDB_ERR_FIELD;
    }
    const char* name = PQfname(res, column);
    if (name == nullptr) {
        return CDDB_ERR_FIELD;
    }
    out = NString(name);
    return 0;
}

int CdDBResult_PG::getValue(NString& out, int column) const
{
    return copyPeekedValue(out, column);
}

int CdDBResult_PG::peekValue(int column, const char*& text, int& length) const
{
    text = nullptr;
    length = 0;
    if (res == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    if (rowIndex < 0 || rowIndex >= rowCount) {
        return CDDB_ERR_EOF;
    }
    if (column < 0 || column >= fieldCount || byteaColumn[static_cast<size_t>(column)]) {
        return CDDB_ERR_VALUE;
    }
    int n = PQgetlength(res, rowIndex, column);
    if (n == 0 && PQgetisnull(res, rowIndex, column)) {
        return 0;
    }
    const char* value = PQgetvalue(res, rowIndex, column);
    if (value == nullptr || n < 0) {
        return CDDB_ERR_VALUE;
    }
    text = value;
    length = n;
    return 0;
}

int CdDBResult_PG::exportLob(int column, const char* filePath)
{
    if (res == nullptr) {
        return CDDB_ERR_NO_RESULT;
    }
    if (rowIndex < 0 || rowIndex >= PQntuples(res)) {
        return CDDB_ERR_EOF;
    }
    if (column < 0 || column >= PQnfields(res)) {
        return CDDB_ERR_VALUE;
    }
    const char* value = PQgetvalue(res, rowIndex, column);
    if (value == nullptr) {
        return CDDB_ERR_VALUE;
    }
    return exportLobValue(connection, PQftype(res, column), value, filePath);
}

int CdDBResult_PG::exportLobValue(const CdDBConnectionHandle& connection, Oid type,
                                  const char* text, const char* filePath)
{
    if (type != OID_OID) {
        return -1;
    }
    uint32_t oid = 0;
    if (!parseOid(text, oid)) {
        return -1;
    }
    CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(connection.get());
    if (pg == nullptr || !pg->isConnected()) {
        return CDDB_ERR_NO_RESULT;
    }
    return pg->exportLargeObject(oid, filePath);
}

int CdDBResult_PG::next()
{
    rowIndex++;
    return 0;
}

bool CdDBResult_PG::isEOF() const
{
    return res == nullptr || rowIndex >= rowCount;
}

size_t CdDBResult_PG::getMemorySize() const
{
    return res != nullptr ? PQresultMemorySize(res) : 0;
}
