// Result codes of the database access classes (0 success).
#ifndef CDDBCODES_H
#define CDDBCODES_H

enum CdDBCode {
    CDDB_OK = 0,
    CDDB_ERR_CONNECT = -1001,       // connection failed
    CDDB_ERR_TOO_MANY = -1002,      // server still full after the last attempt
    CDDB_ERR_COMMIT = -1004,
    CDDB_ERR_ROLLBACK = -1005,
    CDDB_ERR_FIELD = -1007,         // bad column position for a name
    CDDB_ERR_VALUE = -1008,         // bad column position, bytea column, no value
    CDDB_ERR_FOREIGN_KEY = -1009,   // 23503
    CDDB_ERR_LOCKED = -1010,        // 55P03
    CDDB_ERR_UNIQUE = -1012,        // 23505
    CDDB_ERR_EOF = -1013,           // row past the end
    CDDB_ERR_LENGTH = -1014,        // 22026
    CDDB_ERR_DEADLOCK = -1015,      // 40P01
    CDDB_ERR_SYNTAX = -1016,        // 42601
    CDDB_ERR_UNDEFINED = -1017,     // 42883, 42703
    CDDB_ERR_BEGIN = -1019,
    CDDB_ERR_CHARACTER = -1024,     // 22021
    CDDB_ERR_CANCELED = -1028,      // 57014
    CDDB_ERR_LOB_IMPORT = -1041,
    CDDB_ERR_DB = -1050,            // any other failure
    CDDB_ERR_NO_TABLE = -1051,      // 42P01
    CDDB_ERR_ARG = -1099,           // null or unusable argument
    CDDB_ERR_NO_COLUMN = -1100,     // no column of that name
    CDDB_ERR_NO_RESULT = -1101,     // no result, no statement or no connection
    CDDB_ERR_MEMORY = -1102
};

#endif
