#pragma once

// The structure the program expects of its two databases, and the check that
// runs on every connection at start-up: a missing table is created, a missing
// column is added, a column of another type is reported. Every step is
// announced in a message box captioned "Kalmera"; the check never drops or
// alters an existing column and never throws, so start-up always goes on.

#include "db/Field.h"

#include <QString>
#include <QVector>

namespace platform::db {
class Database;
}

namespace archive {

// Type codes of a field description. The code decides the SQL type written
// into CREATE TABLE and ALTER TABLE ... ADD, and which engine types match.
enum FieldTypeCode : unsigned char {
    ftcUnknown = 0,  // no SQL type
    ftcString = 1,   // CHAR(size)
    ftcInteger = 2,  // INTEGER
    ftcLargeInt = 3, // BIGINT
    ftcBoolean = 4,  // CHAR (one character); also accepts a string column
    ftcFloat = 5,    // FLOAT
    ftcCurrency = 6, // FLOAT
    ftcDate = 7,     // DATE; also accepts a date-time column
    ftcTime = 8,     // TIME
    ftcDateTime = 9, // TIMESTAMP; also accepts a date column
    ftcAutoInc = 10, // INTEGER; also accepts an integer column
    ftcBlob = 11,    // BLOB
    ftcMemo = 12     // BLOB SUB_TYPE TEXT
};

struct TFieldDescription {
    unsigned char type = ftcUnknown;
    QString name;
    int size = 0;         // characters, for ftcString
    bool notNull = false; // adds " NOT NULL" when the column is added to an existing table
    QString caption;      // for people; not evaluated
    QString extra;        // not evaluated
};

struct TIndexDescription {
    QString name;
    QString column;
    unsigned char kind = 0; // 2 marks a key column
};

struct TTableDescription {
    QString name;
    unsigned char kind = 2;             // not evaluated
    QVector<TFieldDescription> fields;  // in creation order
    QVector<TIndexDescription> indexes; // not evaluated
    QString caption;                    // for people; not evaluated
};

// Tables in the order they are checked.
using TDatabaseDescription = QVector<TTableDescription>;

// LETTERVH, LETTERISH, LISTS, NOTES, PRIKAZ, USERS.
const TDatabaseDescription& archiveDatabaseDescription();
// "Customer" without fields: only its presence and readability are checked.
const TDatabaseDescription& referenceDatabaseDescription();

// The code of an engine field type (ftcUnknown for a type without one).
unsigned char typeCodeOf(platform::db::FieldType type);
// Whether a column whose engine type has the code `actual` satisfies a
// description of code `described`.
bool typeMatches(unsigned char described, unsigned char actual);
// The SQL type text of a description: "CHAR(255)", "INTEGER", "DATE", ...
QString sqlTypeText(const TFieldDescription& field);
// The engine type's name as the mismatch report shows it ("ftString",
// "ftDate", ...); fixed-length strings are reported as ftString.
QString engineTypeName(platform::db::FieldType type);

// "CREATE TABLE <name>(<field> <type>, ...)": no NOT NULL, no key clause.
QString createTableStatement(const TTableDescription& table);
// "ALTER TABLE <table> ADD <field> <type>[ NOT NULL]".
QString addFieldStatement(const TTableDescription& table, const TFieldDescription& field);
// The key column of a table the check creates: its first field when that is
// an integer flagged not null; empty otherwise.
QString keyFieldOf(const TTableDescription& table);

// Compares the database with the description, table by table, creating the
// tables that are missing (names compared without regard to case). Returns
// false when creating a table failed (the remaining tables are then not
// looked at) or the database could not be examined at all.
bool CheckDatabaseStructure(platform::db::Database& database, const TDatabaseDescription& description);

// Checks one existing table: adds missing columns, reports columns of another
// type. Returns false when the table could not be read.
bool CheckTable(platform::db::Database& database, const TTableDescription& table);

} // namespace archive
