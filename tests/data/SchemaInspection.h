#pragma once

// Reads a table's columns back from the system tables of a test database, as
// "NAME TYPE" lines in column order ("NOTEID INTEGER NOT NULL",
// "NOTE CHAR(255)", "NAME VARCHAR(100)").

#include "TempDatabase.h"
#include "db/Database.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace schematest {

inline QString typeText(int type, int length, int subType) {
    switch (type) {
    case 7:
        return QStringLiteral("SMALLINT");
    case 8:
        return QStringLiteral("INTEGER");
    case 16:
        return QStringLiteral("BIGINT");
    case 10:
        return QStringLiteral("FLOAT");
    case 27:
        return QStringLiteral("DOUBLE PRECISION");
    case 12:
        return QStringLiteral("DATE");
    case 13:
        return QStringLiteral("TIME");
    case 35:
        return QStringLiteral("TIMESTAMP");
    case 23:
        return QStringLiteral("BOOLEAN");
    case 14:
        return QStringLiteral("CHAR(%1)").arg(length);
    case 37:
        return QStringLiteral("VARCHAR(%1)").arg(length);
    case 261:
        return subType == 1 ? QStringLiteral("BLOB SUB_TYPE TEXT") : QStringLiteral("BLOB");
    default:
        return QStringLiteral("TYPE%1").arg(type);
    }
}

inline QStringList columnsOf(TempDatabase& db, const QString& table) {
    QStringList columns;
    const auto rows = db.select(
        QStringLiteral(
            "select trim(rf.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$character_length, 0), "
            "coalesce(rf.rdb$null_flag, 0), coalesce(f.rdb$field_sub_type, 0) "
            "from rdb$relation_fields rf join rdb$fields f on f.rdb$field_name = rf.rdb$field_source "
            "where rf.rdb$relation_name = '%1' order by rf.rdb$field_position")
            .arg(table));
    for (const QStringList& row : rows) {
        QString line =
            row.at(0) + QLatin1Char(' ') + typeText(row.at(1).toInt(), row.at(2).toInt(), row.at(4).toInt());
        if (row.at(3).toInt() != 0)
            line += QStringLiteral(" NOT NULL");
        columns << line;
    }
    return columns;
}

inline std::unique_ptr<platform::db::Database> connectTo(const TempDatabase& db) {
    auto conn = std::make_unique<platform::db::Database>();
    conn->setParams(
        {QString(QStringLiteral("SERVER NAME=") + db.path()), QStringLiteral("USER NAME=SYSDBA")});
    conn->open();
    return conn;
}

} // namespace schematest
