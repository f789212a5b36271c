#include "SchemaInspection.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "db/Database.h"
#include "db/Query.h"

#include <QtTest>

#include <memory>

using schematest::columnsOf;
using schematest::connectTo;

namespace {

const QString kUserTables =
    QStringLiteral("select trim(rdb$relation_name) from rdb$relations "
                   "where coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is null order by 1");

// One build with one project and a few documents of every kind.
const char* const kDocuments[] = {
    "insert into BUILDS (BUILDID, BKEY, BNAME) values (1, 12, 'Стройка двенадцать')",
    "insert into BUILDS (BUILDID, BKEY, BNAME) values (2, 13, 'Пустая стройка')",
    "insert into PROJECTS (PROJID, BUILDID, PKEY, PKIND, BKEY, PNAME, ISOLD) values (1, 1, '3', 'Р', 12, "
    "'Проект', 'F')",
    "insert into NOTES (NOTEID, PROJID, INVNUM, NKEY, NOTE, DATA, PAGESCOUNT) "
    "values (1, 1, 5, 'ПЗ', 'Записка', '2024-03-01', 10)",
    "insert into NOTES (NOTEID, PROJID, INVNUM, NKEY, NOTE, DATA) values (2, 1, 6, 'ПЗ', 'Старая', "
    "'2023-05-01')",
    "insert into SMETS2 (SMETID, PROJID, SNOMER, INVNUM, SMETA, STAT, DATA) values (1, 1, '1', 7, 'Смета', "
    "0, '2024-03-02')",
    "insert into SMETS2 (SMETID, PROJID, SNOMER, INVNUM, SMETA, STAT) values (2, 1, '2', 8, 'Анулирована', "
    "2)",
    "insert into SMETS2 (SMETID, PROJID, SNOMER, INVNUM, SMETA) values (3, 1, '3', 9, 'Без статуса')",
    "insert into DRAFTS (DRAFTID, PROJID, MARKA, NOMENCLATURA, INVNUM, DRAFT, DATA) "
    "values (1, 1, 'АС', 'Р', 10, 'Конструкции', '2024-03-03')",
    "insert into DRAFTS (DRAFTID, PROJID, MARKA, NOMENCLATURA, INVNUM, DRAFT, DATA) "
    "values (2, 1, 'ОВ', 'Р', 11, 'Отопление', '2024-03-04')",
    "insert into LISTS (LISTID, DRAFTID, LKEY, NAME, FORMAT, NUMLISTS) values (1, 1, 1, 'План', 'A1', 2)",
    "insert into LISTS (LISTID, DRAFTID, LKEY, NAME, FORMAT, NUMLISTS) values (2, 1, 2, 'Разрез', 'A3', 0)",
    "insert into D2POSIT (POSITID, PROJID, NAZNACH, POSIT, NAME, INVNUM) values (1, 1, 'ТХ', '1', 'Бак', 12)",
    "insert into DRAFTS2 (DRAFT2ID, POSITID, NAZNACH, POSIT, INVNUM, OBOZN1, OBOZN2, NAME, DATA, NUM) "
    "values (1, 1, 'ТХ', '1', 13, 'ТХ.1', '-01', 'Бак общий вид', '2024-03-05', 1)",
    "insert into LISTS2 (LISTID, DRAFTID, LKEY, NAME) values (1, 1, 1, 'Общий вид')",
    "insert into COPIES (NOTEID, COPY, WHEREIS) values (1, 1, 'Иванов И.И.')",
    "insert into LETTERISH (BUILDID, SHIFRNOM, INVNUM, NAME, DATA) values (1, 12, 1, 'Письмо', '2024-02-01')",
    "insert into LETTERVH (BUILDID, SHIFRNOM_VH, INVNUM, CONTENTS_VH, DATE_RECIVE) values (1, 12, 1, "
    "'Ответ', '2024-02-10')",
    "insert into PROTOCOLS (OBJECT, DATA, TYPE, CONTENTS, BUILDID, INVNUM) values (1, '2024-02-11', '5', "
    "'Протокол', 1, 1)",
    "insert into PRIKAZ (NUM, DATE_CREATE, NAME, CONTENT) values (1, '2024-01-09', 'Приказ', 'О порядке')",
    "insert into ORGANIZATION (NAME) values ('Заказчик')",
};

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void everyTableIsCreated_data();
    void everyTableIsCreated();
    void columns_data();
    void columns();
    void keysAreLargerThanExistingKeys_data();
    void keysAreLargerThanExistingKeys();
    void protocolKeysComeFromTheirGenerator();
    void programStatementsRun_data();
    void programStatementsRun();
    void journalProcedures();
    void archiveParameters();
    void cyrillicTextArrivesIntact();

private:
    std::unique_ptr<TempDatabase> m_archive;
    std::unique_ptr<TempDatabase> m_reference;
};

void TestSchema::initTestCase() {
    m_archive = std::make_unique<TempDatabase>(QStringLiteral("archive.fdb"));
    QVERIFY2(m_archive->isValid(), qPrintable(m_archive->errorString()));
    m_archive->runScriptFile(QStringLiteral("archive.sql"));
    for (const char* sql : kDocuments)
        m_archive->exec(QString::fromUtf8(sql));

    m_reference = std::make_unique<TempDatabase>(QStringLiteral("sprav.fdb"));
    QVERIFY2(m_reference->isValid(), qPrintable(m_reference->errorString()));
    m_reference->runScriptFile(QStringLiteral("sprav.sql"));
}

void TestSchema::cleanupTestCase() {
    m_archive.reset();
    m_reference.reset();
}

void TestSchema::everyTableIsCreated_data() {
    QTest::addColumn<bool>("archive");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QStringList>("views");
    QTest::addColumn<QStringList>("procedures");

    QTest::newRow("archive")
        << true << QStringList{"BUILDS",    "COPIES",   "D2POSIT",   "DBPARAMS", "DRAFTS", "DRAFTS2",
                               "LETTERISH", "LETTERVH", "LISTS",     "LISTS2",   "NOTES",  "ORGANIZATION",
                               "PRIKAZ",    "PROJECTS", "PROTOCOLS", "SMETS2",   "USERS"}
        << QStringList{"VIEWDRAFTS", "VIEWDRAFTSNO", "VIEWDRAFTS_WL", "VIEWNOTES", "VIEWSMETS"}
        << QStringList{"PRN_DRAFTS2_J", "PRN_DRAFTS_J", "PRN_NOTES_J", "PRN_SMETS_J", "PRN_SMET_BY_PROJ"};
    QTest::newRow("reference") << false << QStringList{"CUSTOMER", "GIP", "OTDEL", "SOTRUD"} << QStringList{}
                               << QStringList{};
}

void TestSchema::everyTableIsCreated() {
    QFETCH(bool, archive);
    QFETCH(QStringList, tables);
    QFETCH(QStringList, views);
    QFETCH(QStringList, procedures);
    TempDatabase& db = archive ? *m_archive : *m_reference;

    const auto firstColumn = [&](const QString& sql) {
        QStringList names;
        for (const QStringList& row : db.select(sql))
            names << row.at(0);
        return names;
    };
    QCOMPARE(firstColumn(kUserTables), tables);
    QCOMPARE(firstColumn(QStringLiteral("select trim(rdb$relation_name) from rdb$relations "
                                        "where coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is not null "
                                        "order by 1")),
             views);
    QCOMPARE(firstColumn(QStringLiteral("select trim(rdb$procedure_name) from rdb$procedures "
                                        "where coalesce(rdb$system_flag, 0) = 0 order by 1")),
             procedures);

    // Every table has a one-column primary key, filled by an active trigger.
    for (const QString& table : tables) {
        QCOMPARE(db.scalar(QStringLiteral(
                               "select count(*) from rdb$relation_constraints c "
                               "join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name "
                               "where c.rdb$relation_name = '%1' and c.rdb$constraint_type = 'PRIMARY KEY'")
                               .arg(table)),
                 QStringLiteral("1"));
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from rdb$triggers where rdb$relation_name = '%1' "
                                          "and rdb$trigger_inactive = 0 and coalesce(rdb$system_flag, 0) = 0")
                               .arg(table)),
                 QStringLiteral("1"));
    }
}

void TestSchema::columns_data() {
    QTest::addColumn<bool>("archive");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");

    QTest::newRow("BUILDS") << true << "BUILDS"
                            << QStringList{"BUILDID INTEGER NOT NULL", "BKEY INTEGER", "BNAME VARCHAR(100)",
                                           "BKIND VARCHAR(8)"};
    QTest::newRow("PROJECTS") << true << "PROJECTS"
                              << QStringList{
                                     "PROJID INTEGER NOT NULL", "BUILDID INTEGER", "PKEY VARCHAR(7)",
                                     "PKIND VARCHAR(4)",        "BKEY INTEGER",    "PNAME VARCHAR(255)",
                                     "GIP VARCHAR(60)",         "OLD VARCHAR(1)",  "ISOLD CHAR(1)"};
    QTest::newRow("NOTES") << true << "NOTES"
                           << QStringList{"NOTEID INTEGER NOT NULL",
                                          "PROJID INTEGER",
                                          "INVNUM INTEGER",
                                          "NKEY CHAR(8)",
                                          "NOTE CHAR(255)",
                                          "CUPBOARD INTEGER",
                                          "SHELF INTEGER",
                                          "DIRECTORY CHAR(255)",
                                          "NACLAD CHAR(20)",
                                          "STAT INTEGER",
                                          "NEWINVNUM INTEGER",
                                          "OLDINVNUM INTEGER",
                                          "DATA DATE",
                                          "DATE_OTPR DATE",
                                          "DATE_VYD DATE",
                                          "LOCATION INTEGER",
                                          "LOC_FIO CHAR(100)",
                                          "F_PDF CHAR(5)",
                                          "W_FILE CHAR(1)",
                                          "PAGESCOUNT INTEGER"};
    QTest::newRow("COPIES") << true << "COPIES"
                            << QStringList{
                                   "NOTEID INTEGER",         "COPY INTEGER",         "DTOTPR DATE",
                                   "DTPRIEMA DATE",          "WHEREIS VARCHAR(100)", "NACLAD VARCHAR(20)",
                                   "COPYID INTEGER NOT NULL"};
    QTest::newRow("SMETS2") << true << "SMETS2"
                            << QStringList{
                                   "SMETID INTEGER NOT NULL", "PROJID INTEGER",     "SNOMER VARCHAR(20)",
                                   "ABCNOMER VARCHAR(10)",    "INVNUM INTEGER",     "SMETA VARCHAR(255)",
                                   "CUPBOARD INTEGER",        "SHELF INTEGER",      "DATA DATE",
                                   "DIRECTORY VARCHAR(255)",  "NACLAD VARCHAR(20)", "DATE_OTPR DATE",
                                   "NOTE VARCHAR(255)",       "STAT INTEGER",       "NEWINVNUM INTEGER",
                                   "OLDINVNUM INTEGER",       "W_FILE VARCHAR(1)"};
    QTest::newRow("DRAFTS") << true << "DRAFTS"
                            << QStringList{"DRAFTID INTEGER NOT NULL",
                                           "PROJID INTEGER",
                                           "MARKA VARCHAR(20)",
                                           "NOMER INTEGER",
                                           "NOMENCLATURA VARCHAR(20)",
                                           "SPEC VARCHAR(4)",
                                           "INVNUM INTEGER",
                                           "DRAFT VARCHAR(255)",
                                           "DATA DATE",
                                           "CUPBOARD INTEGER",
                                           "SHELF INTEGER",
                                           "FOLDER INTEGER",
                                           "FORMAT VARCHAR(20)",
                                           "DATE_OTPR DATE",
                                           "NACLAD VARCHAR(20)"};
    QTest::newRow("LISTS")
        << true << "LISTS"
        << QStringList{
               "LISTID INTEGER NOT NULL", "DRAFTID INTEGER",     "LKEY INTEGER", "NAME CHAR(255)",
               "FORMAT CHAR(20)",         "DIRECTORY CHAR(255)", "STAT INTEGER", "INDICATION CHAR(100)",
               "NUMLISTS INTEGER",        "MARK_TIF CHAR(1)"};
    QTest::newRow("D2POSIT")
        << true << "D2POSIT"
        << QStringList{"POSITID INTEGER NOT NULL", "PROJID INTEGER", "NAZNACH VARCHAR(3)", "POSIT VARCHAR(7)",
                       "NAME VARCHAR(255)",        "INVNUM INTEGER", "DATA DATE",          "DATA_OTPR DATE",
                       "NACLAD VARCHAR(20)"};
    QTest::newRow("DRAFTS2") << true << "DRAFTS2"
                             << QStringList{"DRAFT2ID INTEGER NOT NULL",
                                            "POSITID INTEGER",
                                            "NAZNACH VARCHAR(3)",
                                            "POSIT VARCHAR(7)",
                                            "INVNUM INTEGER",
                                            "OBOZN1 VARCHAR(10)",
                                            "OBOZN2 VARCHAR(6)",
                                            "NAME VARCHAR(255)",
                                            "DATA DATE",
                                            "CUPBOARD INTEGER",
                                            "SHELF INTEGER",
                                            "FOLDER INTEGER",
                                            "FORMAT VARCHAR(20)",
                                            "DATA_OTPR DATE",
                                            "NACLAD VARCHAR(20)",
                                            "DIRECTORY VARCHAR(255)",
                                            "STAT INTEGER",
                                            "NUM INTEGER",
                                            "NUMLIST INTEGER"};
    QTest::newRow("LISTS2") << true << "LISTS2"
                            << QStringList{"LISTID INTEGER NOT NULL", "DRAFTID INTEGER", "LKEY INTEGER",
                                           "NAME VARCHAR(255)"};
    QTest::newRow("LETTERISH") << true << "LETTERISH"
                               << QStringList{
                                      "LETID INTEGER NOT NULL", "BUILDID INTEGER",    "SHIFRPODR INTEGER",
                                      "SHIFRNOM INTEGER",       "INVNUM INTEGER",     "ISPOLNIT CHAR(255)",
                                      "NAME CHAR(255)",         "CONTENTS CHAR(255)", "WHOM CHAR(255)",
                                      "VIDOTPR CHAR(100)",      "DATA DATE",          "DIRECTORY CHAR(255)",
                                      "W_FILE CHAR(5)",         "DATE_SEND DATE",     "ORGANIZATION INTEGER"};
    QTest::newRow("LETTERVH") << true << "LETTERVH"
                              << QStringList{"LETVHID INTEGER NOT NULL", "BUILDID INTEGER",
                                             "DATE_RECIVE DATE",         "SHIFRNOM_VH INTEGER",
                                             "INVNUM INTEGER",           "INDEX_DOC CHAR(100)",
                                             "DATE_SEND CHAR(100)",      "SENDER_VH CHAR(255)",
                                             "CONTENTS_VH CHAR(255)",    "WHOM_VH CHAR(255)",
                                             "MARK_VH CHAR(100)",        "DIRECTORY CHAR(255)",
                                             "W_FILE CHAR(2)",           "ORGANIZATION INTEGER"};
    QTest::newRow("PROTOCOLS") << true << "PROTOCOLS"
                               << QStringList{"ID INTEGER NOT NULL",
                                              "OBJECT INTEGER NOT NULL",
                                              "DATA DATE NOT NULL",
                                              "TYPE VARCHAR(255) NOT NULL",
                                              "CONTENTS VARCHAR(255) NOT NULL",
                                              "BUILDID INTEGER",
                                              "INVNUM INTEGER",
                                              "DIRECTORY VARCHAR(255)",
                                              "W_FILE VARCHAR(1)"};
    QTest::newRow("PRIKAZ") << true << "PRIKAZ"
                            << QStringList{"ID INTEGER NOT NULL", "NUM INTEGER", "DATE_CREATE DATE",
                                           "NAME CHAR(255)", "CONTENT CHAR(255)"};
    QTest::newRow("ORGANIZATION") << true << "ORGANIZATION"
                                  << QStringList{"ID INTEGER NOT NULL", "NAME VARCHAR(255)"};
    QTest::newRow("DBPARAMS") << true << "DBPARAMS"
                              << QStringList{"PARAM INTEGER NOT NULL", "NAME VARCHAR(255)",
                                             "DESCRIPTION VARCHAR(255)"};
    QTest::newRow("USERS") << true << "USERS" << QStringList{"ID INTEGER NOT NULL"};
    QTest::newRow("GIP") << false << "GIP"
                         << QStringList{"GIPID INTEGER NOT NULL", "NAME VARCHAR(255)",
                                        "FULLNAME VARCHAR(255)"};
    QTest::newRow("OTDEL") << false << "OTDEL"
                           << QStringList{"OTDELID INTEGER NOT NULL", "OTDEL VARCHAR(255)",
                                          "BOSS VARCHAR(100)"};
    QTest::newRow("SOTRUD") << false << "SOTRUD"
                            << QStringList{"SOTRID INTEGER NOT NULL", "OTDELID INTEGER", "TABNOM INTEGER",
                                           "FIO VARCHAR(100)"};
    QTest::newRow("CUSTOMER") << false << "CUSTOMER"
                              << QStringList{"CUSTID INTEGER NOT NULL", "NAME VARCHAR(255)",
                                             "FULLNAME VARCHAR(255)"};
}

void TestSchema::columns() {
    QFETCH(bool, archive);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QCOMPARE(columnsOf(archive ? *m_archive : *m_reference, table), columns);
}

void TestSchema::keysAreLargerThanExistingKeys_data() {
    QTest::addColumn<bool>("archive");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("columns"); // further columns a row needs, or empty
    QTest::addColumn<QString>("values");

    const QStringList plain = {"BUILDS:BUILDID",   "PROJECTS:PROJID", "NOTES:NOTEID",    "COPIES:COPYID",
                               "SMETS2:SMETID",    "DRAFTS:DRAFTID",  "LISTS:LISTID",    "D2POSIT:POSITID",
                               "DRAFTS2:DRAFT2ID", "LISTS2:LISTID",   "LETTERISH:LETID", "LETTERVH:LETVHID",
                               "PRIKAZ:ID",        "ORGANIZATION:ID", "DBPARAMS:PARAM",  "USERS:ID"};
    for (const QString& entry : plain) {
        const QStringList parts = entry.split(QLatin1Char(':'));
        QTest::newRow(qPrintable(parts.at(0)))
            << true << parts.at(0) << parts.at(1) << QString() << QString();
    }
    QTest::newRow("PROTOCOLS") << true << "PROTOCOLS"
                               << "ID"
                               << ", OBJECT, DATA, TYPE, CONTENTS"
                               << ", 1, '2024-01-01', '1', 'к'";
    for (const QString& entry : {QStringLiteral("GIP:GIPID"), QStringLiteral("OTDEL:OTDELID"),
                                 QStringLiteral("SOTRUD:SOTRID"), QStringLiteral("CUSTOMER:CUSTID")}) {
        const QStringList parts = entry.split(QLatin1Char(':'));
        QTest::newRow(qPrintable(parts.at(0)))
            << false << parts.at(0) << parts.at(1) << QString() << QString();
    }
}

void TestSchema::keysAreLargerThanExistingKeys() {
    QFETCH(bool, archive);
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, columns);
    QFETCH(QString, values);

    // A fresh database per row: the shared one holds the documents fixture.
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.runScriptFile(archive ? QStringLiteral("archive.sql") : QStringLiteral("sprav.sql"));

    const auto insertWithout = [&]() {
        const QString cols = columns.mid(2); // without the leading ", "
        if (cols.isEmpty())
            db.exec(QStringLiteral("insert into %1 default values").arg(table));
        else
            db.exec(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, cols, values.mid(2)));
        return db.scalar(QStringLiteral("select max(%1) from %2").arg(key, table)).toLongLong();
    };
    const auto largest = [&]() {
        return db.scalar(QStringLiteral("select max(%1) from %2").arg(key, table)).toLongLong();
    };
    const auto count = [&]() {
        return db.scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt();
    };

    const qint64 before = largest();
    int rows = count();
    qint64 next = insertWithout();
    QVERIFY2(next > before, qPrintable(QStringLiteral("%1 after %2").arg(next).arg(before)));
    QCOMPARE(count(), ++rows);

    // A row written with an explicit key far above the generator.
    db.exec(QStringLiteral("insert into %1 (%2%3) values (1000%4)").arg(table, key, columns, values));
    ++rows;
    next = insertWithout();
    QCOMPARE(next, qint64(1001));
    QCOMPARE(count(), ++rows);

    // A key moved up by an update is passed as well.
    db.exec(QStringLiteral("update %1 set %2 = 5000 where %2 = 1000").arg(table, key));
    next = insertWithout();
    QCOMPARE(next, qint64(5001));

    // An explicit key below the generator leaves it alone.
    db.exec(QStringLiteral("insert into %1 (%2%3) values (900%4)").arg(table, key, columns, values));
    QCOMPARE(insertWithout(), qint64(5002));
}

void TestSchema::protocolKeysComeFromTheirGenerator() {
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    db.runScriptFile(QStringLiteral("archive.sql"));
    const QString read = QStringLiteral("SELECT GEN_ID(protocols_id_gen, 1) as id1 FROM RDB$DATABASE");

    // The program reads the generator and writes the key itself ...
    const QString first = db.scalar(read);
    db.exec(
        QStringLiteral(
            "insert into PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS) values (%1, 1, '2024-01-01', '1', 'а')")
            .arg(first));
    // ... a row written with a larger key of its own keeps the generator above it.
    db.exec(QStringLiteral(
        "insert into PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS) values (70, 1, '2024-01-01', '2', 'б')"));
    QCOMPARE(db.scalar(read), QStringLiteral("71"));
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from PROTOCOLS")), QStringLiteral("2"));
}

void TestSchema::programStatementsRun_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("rows");

    // The data module's datasets and lookups (parameters written in).
    QTest::newRow("qBuilds") << "SELECT * FROM BUILDS ORDER BY BKEY" << 2;
    QTest::newRow("qProjects") << "SELECT * FROM PROJECTS WHERE BUILDID= 1 ORDER BY PKEY" << 1;
    QTest::newRow("qNotes") << "SELECT * FROM NOTES WHERE PROJID=1 ORDER BY INVNUM" << 2;
    QTest::newRow("qSmets") << "SELECT * FROM SMETS2 WHERE PROJID=1 ORDER BY INVNUM" << 3;
    QTest::newRow("qDraft2") << "SELECT * FROM DRAFTS2 WHERE POSITID=1 ORDER BY NUM, OBOZN1" << 1;
    QTest::newRow("qLists2") << "SELECT * FROM LISTS2 WHERE DRAFTID = 1 ORDER BY LKEY" << 1;
    QTest::newRow("qNotesAll") << "SELECT a.*, b.PROJID, b.BUILDID, b.PKEY, b.PKIND, c.BUILDID, c.BKEY\n"
                                  "FROM NOTES a, PROJECTS b, BUILDS c\n"
                                  "WHERE (a.PROJID = b.PROJID) and (b.BUILDID = c.BUILDID)\n"
                                  "ORDER BY a.INVNUM"
                               << 2;
    QTest::newRow("qInvDrafts2") << "SELECT INVNUM,Draft2ID,Name,POSITID from Drafts2 order by invnum" << 1;
    QTest::newRow("qInvPosit") << "SELECT POSITID,projid, InvNum,Name FROM d2Posit ORDER BY invnum" << 1;
    QTest::newRow("qLetterOutAll")
        << "SELECT * FROM LETTERISH WHERE (DATA>='2024-01-01') AND (DATA<='2024-12-31') ORDER BY INVNUM" << 1;
    QTest::newRow("qLetterIn")
        << "SELECT * FROM LETTERVH WHERE BUILDID=1 AND (DATE_RECIVE >= '2024-01-01') AND "
           "(DATE_RECIVE <= '2024-12-31') ORDER BY INVNUM"
        << 1;
    QTest::newRow("copies") << "SELECT * FROM copies WHERE NoteID = 1" << 1;
    QTest::newRow("NotePages") << "SELECT NOTEID,PAGESCOUNT FROM NOTES WHERE NOTEID=1" << 1;
    QTest::newRow("LastDrawingNum") << "SELECT MAX(Num) FROM DRAFTS2 WHERE PositID=1" << 1;
    QTest::newRow("OrganizationName") << "SELECT NAME FROM ORGANIZATION WHERE ID=1" << 1;
    QTest::newRow("generator") << "SELECT GEN_ID(protocols_id_gen, 0) as id1 FROM RDB$DATABASE" << 1;
    QTest::newRow("archive parameters") << "select * from DBPARAMS where PARAM > 0" << 10;

    // Listings over the views.
    QTest::newRow("VIEWNOTES by project") << "SELECT * FROM VIEWNOTES where projid=1 order by invnum" << 2;
    QTest::newRow("VIEWNOTES by build and period")
        << "select * from VIEWNOTES where BuildID=1 and (data between '2024-01-01' and '2024-12-31' ) order "
           "by invnum"
        << 1;
    QTest::newRow("VIEWSMETS")
        << "SELECT * FROM VIEWSMETS WHERE projid=1 and stat<>3\n order by InvNum , Bkey , projid"
        << 2; // a NULL status is not <> 3
    QTest::newRow("VIEWSMETS inventory")
        << "select * from viewSmets where InvNum >0  order by   invnum ,Bkey , projid" << 3;
    // One row per sheet; the set without sheets still has its row.
    QTest::newRow("VIEWDRAFTS") << "select * from VIEWDRAFTS where projid=1 order by invnum, lkey" << 3;
    QTest::newRow("VIEWDRAFTS inventory") << "select * from viewdrafts where InvNum >0 and InvNum >=10 and "
                                             "DATA >= '2024-01-01'  order by invnum ,Bkey , "
                                             "projid , lkey"
                                          << 3;
    QTest::newRow("VIEWDRAFTS_WL") << "select * from VIEWDRAFTS_WL where projid=1 order by NOMENCLATURA" << 2;
    QTest::newRow("VIEWDRAFTSNO")
        << "select * from viewdraftsNO where InvNum >0  order by   invnum ,Bkey , projid, positid" << 1;
    QTest::newRow("notes journal statement") << "select a.buildid, a.bkey, a.bname, b.projid, b.pkey, "
                                                "b.pkind, b.pname, b.old, c.noteid, c.invnum, c.nkey, "
                                                "c.note, c.data, c.date_otpr, c.naclad, c.cupboard, c.shelf, "
                                                "c.directory, c.stat, c.newinvnum, c.oldinvnum, "
                                                "c.LOCATION, c.LOC_FIO, c.DATE_VYD, c.F_PDF from Builds a, "
                                                "Projects b, Notes c where (a.BuildID = b.BuildID) "
                                                "and (b.ProjID = c.ProjID) order by invnum, Bkey, projid"
                                             << 2;
}

void TestSchema::programStatementsRun() {
    QFETCH(QString, sql);
    QFETCH(int, rows);
    QCOMPARE(m_archive->select(sql).size(), rows);
}

void TestSchema::journalProcedures() {
    // The columns the journals and listings read, through the dataset layer.
    auto conn = connectTo(*m_archive);
    const auto rowsOf = [&](const QString& sql, const QStringList& fields) {
        platform::db::Query query(conn.get());
        query.setSql(sql);
        query.open();
        QStringList lines;
        for (; !query.eof(); query.next()) {
            QStringList values;
            for (const QString& name : fields) {
                const platform::db::Field* field = query.fieldByName(name);
                const QVariant value = field->value();
                values << (value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate)
                                                              : field->asString().trimmed());
            }
            lines << values.join(QLatin1Char('|'));
        }
        return lines;
    };

    QCOMPARE(
        rowsOf(QStringLiteral("select * from PRN_NOTES_J ( 0, 0, 0, 0, '01.01.2024', '31.12.2024') "),
               {"INVNUM", "DESIGNATION", "BNAME", "PNAME", "PAGESCOUNT"}),
        (QStringList{"5|Р12.3-ПЗ|Стройка двенадцать|Проект|10", "6|Р12.3-ПЗ|Стройка двенадцать|Проект|0"}));
    QCOMPARE(rowsOf(QStringLiteral("select * from PRN_NOTES_J ( 0, 0, 0, 1, '01.01.2024', '31.12.2024') "),
                    {"INVNUM"}),
             QStringList{"5"});
    QCOMPARE(rowsOf(QStringLiteral("select * from PRN_NOTES_J ( 1, 6, 9, 0, '01.01.2024', '01.01.2024') "),
                    {"INVNUM"}),
             QStringList{"6"});

    QCOMPARE(rowsOf(QStringLiteral("select * from PRN_SMETS_J ( 1, 7, 8, 0, '01.01.2024', '31.12.2024') "),
                    {"INVNUM", "DESIGNATION", "SMETA"}),
             (QStringList{"7|3-1|Смета", "8|3-2|Анулирована"}));

    QCOMPARE(
        rowsOf(QStringLiteral("select * from PRN_DRAFTS_J ( 0, 0, 0, 0, 0, '01.01.2024', '31.12.2024') "),
               {"INVNUM", "DESIGNATION", "LKEY", "LISTNAME"}),
        (QStringList{"10|P12.3-Р-АС|1|План", "10|P12.3-Р-АС|2|Разрез", "11|P12.3-Р-ОВ||"}));
    QCOMPARE(
        rowsOf(QStringLiteral("select * from PRN_DRAFTS_J ( 0, 0, 0, 1, 1, '04.03.2024', '31.12.2024') "),
               {"INVNUM", "LKEY"}),
        QStringList{"11|"});
    QCOMPARE(
        rowsOf(QStringLiteral("select * from PRN_DRAFTS_J ( 0, 0, 0, 1, 0, '01.01.2024', '31.12.2024') "),
               {"INVNUM"}),
        (QStringList{"10", "11"}));

    QCOMPARE(rowsOf(QStringLiteral("select * from PRN_DRAFTS2_J ( 0, 0, 0, 1, '05.03.2024', '05.03.2024') "),
                    {"INVNUM", "DESIGNATION", "DRAFT", "NAZNACH", "POSIT"}),
             QStringList{"13|ТХ.1-01|Бак общий вид|ТХ|1"});

    QCOMPARE(rowsOf(QStringLiteral("select * from PRN_SMET_BY_PROJ ( 1, 0 ) "), {"INVNUM"}),
             (QStringList{"7", "8", "9"}));
    QCOMPARE(rowsOf(QStringLiteral("select * from PRN_SMET_BY_PROJ ( 1, 1 ) "), {"INVNUM", "STAT"}),
             (QStringList{"7|0", "9|"}));

    // Columns the listings name, with the sheet counts of a drawing set.
    QCOMPARE(rowsOf(QStringLiteral("select * from VIEWDRAFTS_WL order by INVNUM"),
                    {"PROJID", "NOMENCLATURA", "DATA", "INVNUM", "LISTSCOUNT", "SHEETSCOUNT"}),
             (QStringList{"1|Р|2024-03-03|10|2|3", "1|Р|2024-03-04|11|0|0"}));
    QCOMPARE(rowsOf(QStringLiteral("select * from VIEWSMETS where SMETID = 1"),
                    {"PROJID", "STAT", "INVNUM", "BKEY", "SNOMER", "ABCNOMER", "SMETA", "DATA", "DATA_OTPR",
                     "NACLAD"})
                 .size(),
             1);
    QCOMPARE(
        rowsOf(QStringLiteral("select * from VIEWDRAFTSNO"), {"INVNUM", "DATA", "BKEY", "PROJID", "POSITID"}),
        QStringList{"13|2024-03-05|12|1|1"});
    QCOMPARE(rowsOf(QStringLiteral("select * from VIEWNOTES where NOTEID = 1"),
                    {"PROJID", "BUILDID", "DATA", "INVNUM", "NOTE", "BNAME", "PNAME"}),
             QStringList{"1|1|2024-03-01|5|Записка|Стройка двенадцать|Проект"});
}

void TestSchema::archiveParameters() {
    const auto rows =
        m_archive->select(QStringLiteral("select PARAM, NAME, DESCRIPTION from DBPARAMS order by PARAM"));
    QStringList codes;
    for (const QStringList& row : rows) {
        codes << row.at(0);
        QVERIFY2(!row.at(1).trimmed().isEmpty(), qPrintable(row.at(0)));
        QVERIFY2(!row.at(2).trimmed().isEmpty(), qPrintable(row.at(0)));
    }
    QCOMPARE(codes, (QStringList{"1", "2", "3", "4", "5", "6", "13", "14", "15", "16"}));
}

void TestSchema::cyrillicTextArrivesIntact() {
    // Read through the dataset layer and stored as one byte per letter
    // (WIN1251), not as UTF-8 bytes taken for letters.
    auto conn = connectTo(*m_archive);
    platform::db::Query query(conn.get());
    query.setSql(
        QStringLiteral("select NAME, DESCRIPTION, char_length(NAME) as LETTERS, octet_length(NAME) as BYTES "
                       "from DBPARAMS where PARAM = 5"));
    query.open();
    QCOMPARE(query.fieldByName(QStringLiteral("NAME"))->asString(), QStringLiteral("Чертежи"));
    QCOMPARE(query.fieldByName(QStringLiteral("DESCRIPTION"))->asString(),
             QStringLiteral("Папка комплектов чертежей в папке проекта"));
    QCOMPARE(query.fieldByName(QStringLiteral("LETTERS"))->asString(), QStringLiteral("7"));
    QCOMPARE(query.fieldByName(QStringLiteral("BYTES"))->asString(), QStringLiteral("7"));
    QCOMPARE(m_archive->scalar(QStringLiteral("select NAME from DBPARAMS where PARAM = 16")),
             QStringLiteral("\\\\archive\\Архив\\Письма"));
}

ARCHIVE_TEST_MAIN(TestSchema)
#include "tst_schema.moc"
