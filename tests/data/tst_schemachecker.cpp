#include "SchemaInspection.h"
#include "ScriptedInteraction.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "data/ArchiveDBStructure.h"
#include "db/Database.h"

#include <QtTest>

#include <memory>

using namespace archive;
using schematest::columnsOf;
using schematest::connectTo;

namespace {

const QString kCaption = QStringLiteral("Kalmera");

TTableDescription described(const QString& name) {
    for (const TTableDescription& t : archiveDatabaseDescription())
        if (t.name == name)
            return t;
    qFatal("no description of %s", qPrintable(name));
    return {};
}

// CREATE TABLE for a described table with some columns changed: a type text
// replaces the column's type, an empty text leaves the column out.
QString tableLike(const TTableDescription& table, const QHash<QString, QString>& changes) {
    QStringList columns;
    for (const TFieldDescription& f : table.fields) {
        const auto change = changes.constFind(f.name);
        if (change == changes.constEnd())
            columns << f.name + QLatin1Char(' ') + sqlTypeText(f);
        else if (!change->isEmpty())
            columns << f.name + QLatin1Char(' ') + *change;
    }
    return QStringLiteral("create table ") + table.name + QStringLiteral(" (") +
           columns.join(QStringLiteral(", ")) + QStringLiteral(")");
}

QStringList texts(const ScriptedInteraction& ui) {
    QStringList result;
    for (const ScriptedInteraction::Call& call : ui.calls()) {
        if (call.kind != ScriptedInteraction::Kind::Message || call.caption != kCaption)
            result << QStringLiteral("unexpected %1 '%2'")
                          .arg(ScriptedInteraction::kindName(call.kind), call.caption);
        result << call.text;
    }
    return result;
}

void expectMessages(ScriptedInteractionScope& ui, int count) {
    for (int i = 0; i < count; ++i)
        ui->expectMessage();
}

} // namespace

class TestSchemaChecker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyArchiveGetsEveryTable();
    void missingColumnIsAdded_data();
    void missingColumnIsAdded();
    void columnTypes_data();
    void columnTypes();
    void tableNamesIgnoreCase();
    void unreadableTableIsReportedAndSkipped();
    void failedCreationStopsTheCheck();
    void scriptsPassSilently_data();
    void scriptsPassSilently();
    void closedConnectionIsReportedNotThrown();
};

void TestSchemaChecker::emptyArchiveGetsEveryTable() {
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    auto conn = connectTo(db);

    {
        ScriptedInteractionScope ui;
        expectMessages(ui, 6);
        QVERIFY(CheckDatabaseStructure(*conn, archiveDatabaseDescription()));
        QCOMPARE(texts(ui.service()),
                 (QStringList{
                     QStringLiteral("Создаем таблицу LETTERVH"), QStringLiteral("Создаем таблицу LETTERISH"),
                     QStringLiteral("Создаем таблицу LISTS"), QStringLiteral("Создаем таблицу NOTES"),
                     QStringLiteral("Создаем таблицу PRIKAZ"), QStringLiteral("Создаем таблицу USERS")}));
    }

    QCOMPARE(
        createTableStatement(described(QStringLiteral("LETTERVH"))),
        QStringLiteral("CREATE TABLE LETTERVH(LETVHID INTEGER, BUILDID INTEGER, DATE_RECIVE DATE, "
                       "SHIFRNOM_VH INTEGER, INVNUM INTEGER, INDEX_DOC CHAR(100), DATE_SEND CHAR(100), "
                       "SENDER_VH CHAR(255), CONTENTS_VH CHAR(255), WHOM_VH CHAR(255), MARK_VH CHAR(100), "
                       "DIRECTORY CHAR(255), W_FILE CHAR(2), ORGANIZATION INTEGER)"));
    QCOMPARE(createTableStatement(described(QStringLiteral("PRIKAZ"))),
             QStringLiteral("CREATE TABLE PRIKAZ(ID INTEGER, Num INTEGER, DATE_CREATE DATE, Name CHAR(255), "
                            "Content CHAR(255))"));

    // What the server made of the statements: CHAR(n) strings, W_FILE a bare
    // CHAR, no column NOT NULL.
    QCOMPARE(
        columnsOf(db, QStringLiteral("NOTES")),
        (QStringList{"NOTEID INTEGER",    "PROJID INTEGER",   "INVNUM INTEGER",    "NKEY CHAR(8)",
                     "NOTE CHAR(255)",    "CUPBOARD INTEGER", "SHELF INTEGER",     "DIRECTORY CHAR(255)",
                     "NACLAD CHAR(20)",   "STAT INTEGER",     "NEWINVNUM INTEGER", "OLDINVNUM INTEGER",
                     "DATA DATE",         "DATE_OTPR DATE",   "DATE_VYD DATE",     "LOCATION INTEGER",
                     "LOC_FIO CHAR(100)", "F_PDF CHAR(5)",    "W_FILE CHAR(1)",    "PAGESCOUNT INTEGER"}));
    QCOMPARE(columnsOf(db, QStringLiteral("LETTERISH")),
             (QStringList{"LETID INTEGER", "BUILDID INTEGER", "SHIFRPODR INTEGER", "SHIFRNOM INTEGER",
                          "INVNUM INTEGER", "ISPOLNIT CHAR(255)", "NAME CHAR(255)", "CONTENTS CHAR(255)",
                          "WHOM CHAR(255)", "VIDOTPR CHAR(100)", "DATA DATE", "DIRECTORY CHAR(255)",
                          "W_FILE CHAR(5)", "DATE_SEND DATE", "ORGANIZATION INTEGER"}));
    QCOMPARE(columnsOf(db, QStringLiteral("LISTS")),
             (QStringList{"LISTID INTEGER", "DRAFTID INTEGER", "LKEY INTEGER", "NAME CHAR(255)",
                          "FORMAT CHAR(20)", "DIRECTORY CHAR(255)", "STAT INTEGER", "INDICATION CHAR(100)",
                          "NUMLISTS INTEGER", "MARK_TIF CHAR(1)"}));
    QCOMPARE(columnsOf(db, QStringLiteral("PRIKAZ")),
             (QStringList{"ID INTEGER", "NUM INTEGER", "DATE_CREATE DATE", "NAME CHAR(255)",
                          "CONTENT CHAR(255)"}));
    QCOMPARE(columnsOf(db, QStringLiteral("USERS")), QStringList{"ID INTEGER"});
    QCOMPARE(columnsOf(db, QStringLiteral("LETTERVH")).size(), 14);

    // A created table fills its key like the scripted ones: the program never
    // writes the key of a new order.
    db.exec(QStringLiteral("insert into PRIKAZ (Num, Name) values (1, 'Первый')"));
    db.exec(QStringLiteral("insert into PRIKAZ (ID, Num) values (40, 2)"));
    db.exec(QStringLiteral("insert into PRIKAZ (Num) values (3)"));
    QCOMPARE(db.select(QStringLiteral("select ID, NUM from PRIKAZ order by NUM")),
             (QVector<QStringList>{{"1", "1"}, {"40", "2"}, {"41", "3"}}));
    db.exec(QStringLiteral("insert into NOTES (PROJID) values (7)"));
    QCOMPARE(db.scalar(QStringLiteral("select NOTEID from NOTES")), QStringLiteral("1"));

    // The check of a complete database says nothing.
    ScriptedInteractionScope quiet;
    QVERIFY(CheckDatabaseStructure(*conn, archiveDatabaseDescription()));
    QVERIFY(quiet->calls().isEmpty());
}

void TestSchemaChecker::missingColumnIsAdded_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QString>("row");       // inserted before the check, or empty
    QTest::addColumn<QString>("statement"); // for the first missing column
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("addedColumns");
    QTest::addColumn<QStringList>("stillMissing");

    QTest::newRow("nullable column") << "NOTES" << QStringList{"PAGESCOUNT"}
                                     << "insert into NOTES (PROJID) values (1)"
                                     << "ALTER TABLE NOTES ADD PAGESCOUNT INTEGER"
                                     << QStringList{"Добавляем поле PAGESCOUNT в таблицу NOTES"}
                                     << QStringList{"PAGESCOUNT INTEGER"} << QStringList{};
    QTest::newRow("key on empty table")
        << "LISTS" << QStringList{"LISTID"} << QString() << "ALTER TABLE LISTS ADD LISTID INTEGER NOT NULL"
        << QStringList{"Добавляем поле LISTID в таблицу LISTS"} << QStringList{"LISTID INTEGER NOT NULL"}
        << QStringList{};
    // The server refuses a NOT NULL column on a table with rows; the failure
    // is announced and the next missing column is still added.
    QTest::newRow("key on table with rows")
        << "LISTS" << QStringList{"LISTID", "MARK_TIF"} << "insert into LISTS (DRAFTID) values (1)"
        << "ALTER TABLE LISTS ADD LISTID INTEGER NOT NULL"
        << QStringList{"Добавляем поле LISTID в таблицу LISTS",
                       "Ошибка при добавлении поля LISTID INTEGER в таблицу LISTS",
                       "Добавляем поле MARK_TIF в таблицу LISTS"}
        << QStringList{"MARK_TIF CHAR(1)"} << QStringList{"LISTID"};
    QTest::newRow("W_FILE as CHAR") << "NOTES" << QStringList{"W_FILE", "NKEY"}
                                    << "insert into NOTES (PROJID) values (1)"
                                    << "ALTER TABLE NOTES ADD W_FILE CHAR"
                                    << QStringList{"Добавляем поле NKEY в таблицу NOTES",
                                                   "Добавляем поле W_FILE в таблицу NOTES"}
                                    << QStringList{"NKEY CHAR(8)", "W_FILE CHAR(1)"} << QStringList{};
}

void TestSchemaChecker::missingColumnIsAdded() {
    QFETCH(QString, table);
    QFETCH(QStringList, missing);
    QFETCH(QString, row);
    QFETCH(QString, statement);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, addedColumns);
    QFETCH(QStringList, stillMissing);

    const TTableDescription description = described(table);
    QHash<QString, QString> changes;
    for (const QString& name : missing)
        changes.insert(name, QString());
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.exec(tableLike(description, changes));
    if (!row.isEmpty())
        db.exec(row);
    auto conn = connectTo(db);

    for (const TFieldDescription& f : description.fields)
        if (f.name == missing.first())
            QCOMPARE(addFieldStatement(description, f), statement);

    ScriptedInteractionScope ui;
    expectMessages(ui, messages.size());
    QVERIFY(CheckDatabaseStructure(*conn, TDatabaseDescription{description}));
    QCOMPARE(texts(ui.service()), messages);

    const QStringList columns = columnsOf(db, table);
    for (const QString& added : addedColumns)
        QVERIFY2(columns.contains(added), qPrintable(columns.join(QStringLiteral("; "))));
    for (const QString& name : stillMissing)
        for (const QString& column : columns)
            QVERIFY2(!column.startsWith(name + QLatin1Char(' ')), qPrintable(column));
    QCOMPARE(columns.size(), description.fields.size() - stillMissing.size());
}

void TestSchemaChecker::columnTypes_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("storedType");
    QTest::addColumn<QString>("message"); // empty: accepted

    const QString mismatch = QStringLiteral("Не соответствие типов в %1.%2.\r\n%3");
    QTest::newRow("date where text is described")
        << "LETTERVH"
        << "DATE_SEND"
        << "DATE" << mismatch.arg("LETTERVH", "DATE_SEND", "CHAR(100)<>ftDate");
    QTest::newRow("char where integer is described")
        << "NOTES"
        << "STAT"
        << "CHAR(5)" << mismatch.arg("NOTES", "STAT", "INTEGER<>ftString");
    QTest::newRow("varchar where date is described")
        << "NOTES"
        << "DATA"
        << "VARCHAR(10)" << mismatch.arg("NOTES", "DATA", "DATE<>ftString");
    QTest::newRow("bigint key") << "PRIKAZ"
                                << "ID"
                                << "BIGINT" << mismatch.arg("PRIKAZ", "ID", "INTEGER<>ftLargeint");
    QTest::newRow("text blob for a name")
        << "LISTS"
        << "NAME"
        << "BLOB SUB_TYPE TEXT" << mismatch.arg("LISTS", "NAME", "CHAR(255)<>ftMemo");
    QTest::newRow("numeric for an integer")
        << "NOTES"
        << "LOCATION"
        << "NUMERIC(10,2)" << mismatch.arg("NOTES", "LOCATION", "INTEGER<>ftBCD");
    QTest::newRow("time for a date") << "PRIKAZ"
                                     << "DATE_CREATE"
                                     << "TIME" << mismatch.arg("PRIKAZ", "DATE_CREATE", "DATE<>ftTime");

    QTest::newRow("varchar for char(n)") << "LISTS"
                                         << "NAME"
                                         << "VARCHAR(255)" << QString();
    QTest::newRow("other length") << "LETTERISH"
                                  << "NAME"
                                  << "CHAR(10)" << QString();
    QTest::newRow("varchar for the CHAR flag") << "NOTES"
                                               << "W_FILE"
                                               << "VARCHAR(1)" << QString();
    QTest::newRow("boolean for the CHAR flag") << "NOTES"
                                               << "W_FILE"
                                               << "BOOLEAN" << QString();
    QTest::newRow("timestamp for a date") << "NOTES"
                                          << "DATA"
                                          << "TIMESTAMP" << QString();
    QTest::newRow("smallint for an integer") << "LETTERVH"
                                             << "INVNUM"
                                             << "SMALLINT" << QString();
    QTest::newRow("smallint for the order key") << "PRIKAZ"
                                                << "ID"
                                                << "SMALLINT" << QString();
}

void TestSchemaChecker::columnTypes() {
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, storedType);
    QFETCH(QString, message);

    const TTableDescription description = described(table);
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.exec(tableLike(description, {{column, storedType}}));
    const QStringList before = columnsOf(db, table);
    auto conn = connectTo(db);

    ScriptedInteractionScope ui;
    if (!message.isEmpty())
        ui->expectMessage();
    QVERIFY(CheckTable(*conn, description));
    QCOMPARE(texts(ui.service()), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(columnsOf(db, table), before);
}

void TestSchemaChecker::tableNamesIgnoreCase() {
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.exec(QStringLiteral("create table customer (custid integer)"));
    db.exec(tableLike(described(QStringLiteral("LISTS")), {}));
    auto conn = connectTo(db);

    TTableDescription lists = described(QStringLiteral("LISTS"));
    lists.name = QStringLiteral("Lists");
    ScriptedInteractionScope ui;
    QVERIFY(CheckDatabaseStructure(*conn, referenceDatabaseDescription()));
    QVERIFY(CheckDatabaseStructure(*conn, TDatabaseDescription{lists}));
    QVERIFY(ui->calls().isEmpty());
    QCOMPARE(db.scalar(
                 QStringLiteral("select count(*) from rdb$relations where coalesce(rdb$system_flag, 0) = 0")),
             QStringLiteral("2"));
}

void TestSchemaChecker::unreadableTableIsReportedAndSkipped() {
    // A table whose name only matches ignoring case cannot be read by its
    // unquoted name: the check reports it and goes on with the next table.
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.exec(QStringLiteral("create table \"lists\" (x integer)"));
    auto conn = connectTo(db);

    ScriptedInteractionScope ui;
    expectMessages(ui, 2);
    QVERIFY(CheckDatabaseStructure(
        *conn, TDatabaseDescription{described(QStringLiteral("LISTS")), described(QStringLiteral("USERS"))}));
    const QStringList messages = texts(ui.service());
    QCOMPARE(messages.size(), 2);
    const QString prefix =
        QStringLiteral("Ошибка при проверке таблицы LISTS\r\nSQL=\"SELECT * FROM LISTS\"\r\n");
    QVERIFY2(messages.at(0).startsWith(prefix), qPrintable(messages.at(0)));
    QVERIFY2(messages.at(0).size() > prefix.size(), "the server's message is missing");
    QCOMPARE(messages.at(1), QStringLiteral("Создаем таблицу USERS"));
    QCOMPARE(columnsOf(db, QStringLiteral("lists")), QStringList{"X INTEGER"});
}

void TestSchemaChecker::failedCreationStopsTheCheck() {
    // Without CUSTOMER the reference database gets "CREATE TABLE Customer()",
    // which the server refuses; nothing after it is looked at.
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    auto conn = connectTo(db);

    TDatabaseDescription description = referenceDatabaseDescription();
    description << described(QStringLiteral("USERS"));
    QCOMPARE(createTableStatement(description.first()), QStringLiteral("CREATE TABLE Customer()"));

    ScriptedInteractionScope ui;
    expectMessages(ui, 2);
    QVERIFY(!CheckDatabaseStructure(*conn, description));
    const QStringList messages = texts(ui.service());
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0), QStringLiteral("Создаем таблицу Customer"));
    const QString prefix = QStringLiteral("Ошибка при создании таблицы Customer\r\n");
    QVERIFY2(messages.at(1).startsWith(prefix), qPrintable(messages.at(1)));
    QVERIFY2(messages.at(1).size() > prefix.size(), "the server's message is missing");
    QCOMPARE(db.scalar(
                 QStringLiteral("select count(*) from rdb$relations where coalesce(rdb$system_flag, 0) = 0")),
             QStringLiteral("0"));
}

void TestSchemaChecker::scriptsPassSilently_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("archiveDatabase");
    QTest::newRow("archive") << "archive.sql" << true;
    QTest::newRow("reference") << "sprav.sql" << false;
}

void TestSchemaChecker::scriptsPassSilently() {
    QFETCH(QString, script);
    QFETCH(bool, archiveDatabase);

    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.runScriptFile(script);
    const QString tables =
        QStringLiteral("select count(*) from rdb$relations where coalesce(rdb$system_flag, 0) = 0");
    const QString before = db.scalar(tables);
    auto conn = connectTo(db);

    ScriptedInteractionScope ui;
    QVERIFY(CheckDatabaseStructure(*conn, archiveDatabase ? archiveDatabaseDescription()
                                                          : referenceDatabaseDescription()));
    QVERIFY(ui->calls().isEmpty());
    QCOMPARE(db.scalar(tables), before);
}

void TestSchemaChecker::closedConnectionIsReportedNotThrown() {
    platform::db::Database conn; // never opened
    ScriptedInteractionScope ui;
    ui->expectMessage();
    bool result = true;
    try {
        result = CheckDatabaseStructure(conn, archiveDatabaseDescription());
    } catch (...) {
        QFAIL("the check must not throw");
    }
    QVERIFY(!result);
    QCOMPARE(ui->calls().size(), 1);
    QCOMPARE(ui->calls().at(0).caption, kCaption);
}

ARCHIVE_TEST_MAIN(TestSchemaChecker)
#include "tst_schemachecker.moc"
