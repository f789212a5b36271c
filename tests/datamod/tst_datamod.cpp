// The data module against real archive and reference databases: the shared
// datasets and their handlers, numbering, lookups, statistics, uniqueness
// tests, file marks and orders.

#include "ScriptedInteraction.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "data/DataMod.h"
#include "db/Errors.h"
#include "db/RTables.h"

#include <QTest>

using platform::db::DataSet;
using platform::db::DataSetError;
using platform::db::FieldKind;
using platform::db::Query;

Q_DECLARE_METATYPE(TLetterBook)
Q_DECLARE_METATYPE(TEditMode)

namespace {

class FakeWindow : public IMainWindowState {
public:
    bool oldProject = false;
    TEditMode mode = emBrowse;
    bool OldProjectChecked() const override { return oldProject; }
    TEditMode EditMode() const override { return mode; }
};

const QString kMark = QString(QChar(0x221A));

} // namespace

class TestDataMod : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sharedDatasets_data();
    void sharedDatasets();
    void displaySettings_data();
    void displaySettings();
    void letterQueriesSelectThePeriod();

    void inventoryNumbersSpanTheWholeTable_data();
    void inventoryNumbersSpanTheWholeTable();
    void nextNumberAcceptsOnlyIdentifiers_data();
    void nextNumberAcceptsOnlyIdentifiers();
    void lettersAreNumberedPerCalendarYear_data();
    void lettersAreNumberedPerCalendarYear();
    void letterYearMustBeFull();

    void orderCodes_data();
    void orderCodes();
    void noteMarks_data();
    void noteMarks();
    void estimateAndProtocolMarks();
    void markOperations();

    void draftStatistics();
    void positionStatistics();
    void smetFileMask_data();
    void smetFileMask();
    void duplicateDraftSets();
    void duplicatePositionsAreReported();
    void duplicateEstimateNumbers();
    void quotedValuesAreStoredAndFoundExactly();

    void copyMasterKeyWithZeroMaster_data();
    void copyMasterKeyWithZeroMaster();
    void copyMasterKeyIntoAnotherColumn();
    void inventoryListsFollowPosts_data();
    void inventoryListsFollowPosts();
    void projectFlagFromTheWindow_data();
    void projectFlagFromTheWindow();
    void allDraftsProjectDependsOnEditMode_data();
    void allDraftsProjectDependsOnEditMode();
    void equipmentDrawingsAndSheets();
    void protocolKeyFromTheGenerator();

    void lookups();
    void countsAndPages();
    void adHocQueries();

private:
    DataSet* dataSet(const QString& name) const;
    void exec(const QString& sql) { m_archive->exec(sql); }
    QString scalar(const QString& sql) { return m_archive->scalar(sql); }
    // Build 1 (BKEY 12) with project 1 (PKEY 3, stage Р), and the datasets
    // of the hierarchy opened on them as the main window does.
    void seedHierarchy(const QString& isOld = QStringLiteral("'F'"));
    void openHierarchy(int buildId = 1, int projId = 1);
    void closeAll();

    std::unique_ptr<TempDatabase> m_archive;
    std::unique_ptr<TempDatabase> m_sprav;
    std::unique_ptr<TDM> m_dm;
    FakeWindow m_window;
};

DataSet* TestDataMod::dataSet(const QString& name) const {
    const QHash<QString, DataSet*> all = {
        {QStringLiteral("qBuilds"), m_dm->qBuilds()},
        {QStringLiteral("qProjects"), m_dm->qProjects()},
        {QStringLiteral("qNotes"), m_dm->qNotes()},
        {QStringLiteral("qSmets"), m_dm->qSmets()},
        {QStringLiteral("qDrafts"), m_dm->qDrafts()},
        {QStringLiteral("qPos"), m_dm->qPos()},
        {QStringLiteral("qDraft2"), m_dm->qDraft2()},
        {QStringLiteral("qLists2"), m_dm->qLists2()},
        {QStringLiteral("qDraftsAll"), m_dm->qDraftsAll()},
        {QStringLiteral("qNotesAll"), m_dm->qNotesAll()},
        {QStringLiteral("qInvNotes"), m_dm->qInvNotes()},
        {QStringLiteral("qInvSmets"), m_dm->qInvSmets()},
        {QStringLiteral("qInvDrafts"), m_dm->qInvDrafts()},
        {QStringLiteral("qInvDrafts2"), m_dm->qInvDrafts2()},
        {QStringLiteral("qInvPosit"), m_dm->qInvPosit()},
        {QStringLiteral("qPosAll"), m_dm->qPosAll()},
        {QStringLiteral("qGIP"), m_dm->qGIP()},
        {QStringLiteral("QProtocols"), m_dm->QProtocols()},
        {QStringLiteral("qLetterIn"), m_dm->qLetterIn()},
        {QStringLiteral("qLetterOutAll"), m_dm->qLetterOutAll()},
        {QStringLiteral("qLetterInAll"), m_dm->qLetterInAll()},
    };
    DataSet* ds = all.value(name);
    if (!ds)
        qFatal("no dataset %s", qPrintable(name));
    return ds;
}

void TestDataMod::initTestCase() {
    m_archive = std::make_unique<TempDatabase>(QStringLiteral("archive.fdb"));
    QVERIFY2(m_archive->isValid(), qPrintable(m_archive->errorString()));
    m_archive->runScriptFile(QStringLiteral("archive.sql"));
    m_sprav = std::make_unique<TempDatabase>(QStringLiteral("sprav.fdb"));
    QVERIFY2(m_sprav->isValid(), qPrintable(m_sprav->errorString()));
    m_sprav->runScriptFile(QStringLiteral("sprav.sql"));
    m_dm = std::make_unique<TDM>();
    // The structure check stays silent on our own scripts: any message or
    // error window would fail here.
    QCOMPARE(m_dm->OpenDatabases(m_archive->path(), m_sprav->path(), QStringLiteral("ARCHOP"), QString()),
             TDM::OpenOk);
}

void TestDataMod::cleanupTestCase() {
    m_dm.reset();
    m_archive.reset();
    m_sprav.reset();
}

void TestDataMod::init() {
    closeAll();
    m_window = FakeWindow();
    m_dm->SetMainWindowState(nullptr);
    for (const char* table :
         {"BUILDS", "PROJECTS", "NOTES", "COPIES", "SMETS2", "DRAFTS", "LISTS", "D2POSIT", "DRAFTS2",
          "LISTS2", "LETTERISH", "LETTERVH", "PROTOCOLS", "PRIKAZ", "ORGANIZATION"})
        exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
    for (const char* table : {"GIP", "OTDEL"})
        m_sprav->exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
}

void TestDataMod::cleanup() {
    closeAll();
}

void TestDataMod::closeAll() {
    if (!m_dm)
        return;
    for (const char* name :
         {"qLists2",    "qDraft2",       "qPos",        "qDrafts",   "qSmets",    "qNotes",
          "qProjects",  "qBuilds",       "qDraftsAll",  "qNotesAll", "qInvNotes", "qInvSmets",
          "qInvDrafts", "qInvDrafts2",   "qInvPosit",   "qPosAll",   "qGIP",      "QProtocols",
          "qLetterIn",  "qLetterOutAll", "qLetterInAll"}) {
        DataSet* ds = dataSet(QLatin1String(name));
        if (ds->isEditing())
            SafeCancel(ds);
        ds->close();
    }
}

void TestDataMod::seedHierarchy(const QString& isOld) {
    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY, BNAME) VALUES (1, 12, 'Стройка 12')"));
    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND, PNAME, ISOLD) "
                        "VALUES (1, 1, '3', 'Р', 'Проект 3', %1)")
             .arg(isOld));
}

void TestDataMod::openHierarchy(int buildId, int projId) {
    auto* dm = m_dm.get();
    dm->qBuilds()->open();
    QVERIFY(dm->qBuilds()->locate(QStringLiteral("BUILDID"), buildId));
    ReopenDetail(dm->qBuilds(), dm->qProjects(), QStringLiteral("BUILDID"));
    if (projId)
        QVERIFY(dm->qProjects()->locate(QStringLiteral("PROJID"), projId));
    for (Query* detail : {dm->qNotes(), dm->qSmets(), dm->qDrafts(), dm->qPos()})
        ReopenDetail(dm->qProjects(), detail, QStringLiteral("PROJID"));
    ReopenDetail(dm->qPos(), dm->qDraft2(), QStringLiteral("POSITID"));
    ReopenDetail(dm->qDraft2(), dm->qLists2(), QStringLiteral("DRAFT2ID"));
}

// ----------------------------------------------------------- shared datasets

void TestDataMod::sharedDatasets_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("live");
    QTest::addColumn<bool>("keyed");
    QTest::addColumn<QString>("uniqueField");
    QTest::addColumn<QString>("uniqueTable");
    QTest::addColumn<bool>("reference");
    QTest::addColumn<QStringList>("calculated");

    const QStringList none;
    QTest::newRow("qBuilds") << "qBuilds" << true << true << "BUILDID"
                             << "BUILDS" << false << none;
    QTest::newRow("qProjects") << "qProjects" << true << true << "PROJID"
                               << "PROJECTS" << false << QStringList{"kod"};
    QTest::newRow("qNotes") << "qNotes" << true << true << "NOTEID"
                            << "NOTES" << false << QStringList{"kod", "MARK", "MARK_PDF", "MARK2"};
    QTest::newRow("qSmets") << "qSmets" << true << true << "SMETID"
                            << "SMETS2" << false << QStringList{"kod", "MARK", "MARK2"};
    QTest::newRow("qDrafts") << "qDrafts" << true << true << "DRAFTID"
                             << "DRAFTS" << false << QStringList{"kod"};
    QTest::newRow("qPos") << "qPos" << true << true << "POSITID"
                          << "D2POSIT" << false << QStringList{"kod"};
    QTest::newRow("qDraft2") << "qDraft2" << true << true << "DRAFT2ID"
                             << "DRAFTS2" << false << none;
    QTest::newRow("qLists2") << "qLists2" << true << true << "LISTID"
                             << "LISTS2" << false << QStringList{"kod", "All"};
    QTest::newRow("qDraftsAll") << "qDraftsAll" << true << true << "DRAFTID"
                                << "DRAFTS" << false << QStringList{"kod"};
    QTest::newRow("qNotesAll") << "qNotesAll" << false << true << "NOTEID"
                               << "NOTES" << false << QStringList{"kod", "MARK", "MARK_PDF", "MARK2"};
    for (const char* inv : {"qInvNotes", "qInvSmets", "qInvDrafts", "qInvDrafts2", "qInvPosit", "qPosAll"})
        QTest::newRow(inv) << inv << false << true << "CODE"
                           << "" << false << none;
    QTest::newRow("qGIP") << "qGIP" << true << true << "GIPID"
                          << "GIP" << true << none;
    QTest::newRow("QProtocols") << "QProtocols" << true << false << ""
                                << "" << false << QStringList{"mark", "BKEY"};
    QTest::newRow("qLetterIn") << "qLetterIn" << true << false << ""
                               << "" << false << none;
    QTest::newRow("qLetterOutAll") << "qLetterOutAll" << true << false << ""
                                   << "" << false << none;
    QTest::newRow("qLetterInAll") << "qLetterInAll" << true << false << ""
                                  << "" << false << none;
}

void TestDataMod::sharedDatasets() {
    QFETCH(QString, name);
    QFETCH(bool, live);
    QFETCH(bool, keyed);
    QFETCH(QString, uniqueField);
    QFETCH(QString, uniqueTable);
    QFETCH(bool, reference);
    QFETCH(QStringList, calculated);

    auto* ds = static_cast<Query*>(dataSet(name));
    QVERIFY(!ds->isActive());
    QCOMPARE(ds->objectName(), name);
    QCOMPARE(ds->database(), reference ? m_dm->SprBase() : m_dm->Base());
    auto* keyedSet = dynamic_cast<TRQuery*>(ds);
    QCOMPARE(keyedSet != nullptr, keyed);
    if (keyedSet) {
        QCOMPARE(keyedSet->UniqueField, uniqueField);
        QCOMPARE(keyedSet->UniqueFieldTable, uniqueTable);
        if (live)
            QCOMPARE(keyedSet->AfterPostMetod, apmMaxUniqueValue);
    }
    // Every declared column exists in the real schema.
    for (int i = 0; i < ds->paramCount(); ++i)
        ds->param(i).setValue(ds->param(i).name().startsWith(QLatin1String("data"), Qt::CaseInsensitive)
                                  ? QVariant(QDate(2020, 1, 1))
                                  : QVariant(0));
    ds->open();
    QCOMPARE(ds->canModify(), live);
    for (const QString& f : calculated) {
        QVERIFY2(ds->findField(f), qPrintable(f));
        QVERIFY(ds->findField(f)->kind() != FieldKind::Data);
    }
    int nonData = 0;
    for (int i = 0; i < ds->fieldCount(); ++i)
        nonData += ds->field(i)->kind() != FieldKind::Data;
    QCOMPARE(nonData, calculated.size());
}

void TestDataMod::displaySettings_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("required");

    const QString date = QStringLiteral("90/90/00;1;_");
    const QString strict = QStringLiteral("!99/99/00;1;_");
    QTest::newRow("project flag") << "qProjects"
                                  << "ISOLD"
                                  << "ISOLD" << true << "" << 1 << false;
    QTest::newRow("note status") << "qNotes"
                                 << "STAT"
                                 << "STAT" << false << "" << 0 << false;
    QTest::newRow("note new number") << "qNotes"
                                     << "NEWINVNUM"
                                     << "Новый инв. №" << true << "" << 0 << false;
    QTest::newRow("note old number") << "qNotes"
                                     << "OLDINVNUM"
                                     << "Старый инв. №" << true << "" << 0 << false;
    QTest::newRow("note date") << "qNotes"
                               << "DATA"
                               << "Дата" << true << date << 0 << false;
    QTest::newRow("note sent") << "qNotes"
                               << "DATE_OTPR"
                               << "Дата отправки" << true << date << 0 << false;
    QTest::newRow("note issued") << "qNotes"
                                 << "DATE_VYD"
                                 << "Дата выдачи" << true << strict << 0 << false;
    QTest::newRow("note folder mark") << "qNotes"
                                      << "MARK"
                                      << "#" << true << "" << 2 << false;
    QTest::newRow("note file mark") << "qNotes"
                                    << "MARK2"
                                    << "MARK2" << true << "" << 1 << false;
    QTest::newRow("all notes status") << "qNotesAll"
                                      << "STAT"
                                      << "STAT" << false << "" << 0 << false;
    QTest::newRow("all notes date") << "qNotesAll"
                                    << "DATA"
                                    << "Дата" << true << date << 0 << false;
    QTest::newRow("estimate remark") << "qSmets"
                                     << "NOTE"
                                     << "Примечание" << false << "" << 255 << false;
    QTest::newRow("estimate status") << "qSmets"
                                     << "STAT"
                                     << "STAT" << false << "" << 0 << false;
    QTest::newRow("estimate date") << "qSmets"
                                   << "DATA"
                                   << "DATA" << true << strict << 0 << false;
    QTest::newRow("estimate sent") << "qSmets"
                                   << "DATE_OTPR"
                                   << "DATE_OTPR" << true << date << 0 << false;
    QTest::newRow("estimate file mark") << "qSmets"
                                        << "MARK2"
                                        << "#" << true << "" << 2 << false;
    QTest::newRow("drawing set sent") << "qDrafts"
                                      << "DATE_OTPR"
                                      << "Отправлен" << true << date << 0 << false;
    QTest::newRow("all sets date") << "qDraftsAll"
                                   << "DATA"
                                   << "Поступил" << true << date << 0 << false;
    QTest::newRow("position date") << "qPos"
                                   << "DATA"
                                   << "data" << true << strict << 0 << false;
    QTest::newRow("position sent") << "qPos"
                                   << "DATA_OTPR"
                                   << "data_otpr" << true << strict << 0 << false;
    QTest::newRow("drawing status") << "qDraft2"
                                    << "STAT"
                                    << "STAT" << false << "" << 0 << false;
    QTest::newRow("drawing sent") << "qDraft2"
                                  << "DATA_OTPR"
                                  << "DATA_OTPR" << true << date << 0 << false;
    for (const char* f : {"ID", "OBJECT", "DATA", "TYPE", "CONTENTS"})
        QTest::newRow(qPrintable(QStringLiteral("protocol %1").arg(QLatin1String(f))))
            << "QProtocols" << f << "" << true << "" << -1 << true;
}

void TestDataMod::displaySettings() {
    QFETCH(QString, name);
    QFETCH(QString, field);
    QFETCH(QString, label);
    QFETCH(bool, visible);
    QFETCH(QString, mask);
    QFETCH(int, size);
    QFETCH(bool, required);

    auto* ds = static_cast<Query*>(dataSet(name));
    for (int i = 0; i < ds->paramCount(); ++i)
        ds->param(i).setValue(0);
    ds->open();
    platform::db::Field* f = ds->findField(field);
    QVERIFY(f);
    if (!label.isEmpty())
        QCOMPARE(f->displayLabel(), label);
    QCOMPARE(f->isVisible(), visible);
    QCOMPARE(f->editMask(), mask);
    if (size >= 0 && size != 0)
        QCOMPARE(f->size(), size);
    QCOMPARE(f->isRequired(), required);
}

void TestDataMod::letterQueriesSelectThePeriod() {
    exec(QStringLiteral(
        "INSERT INTO LETTERISH (LETID, BUILDID, INVNUM, DATA) VALUES (1, 1, 1, '2020-01-10')"));
    exec(QStringLiteral(
        "INSERT INTO LETTERISH (LETID, BUILDID, INVNUM, DATA) VALUES (2, 2, 2, '2020-03-10')"));
    exec(QStringLiteral(
        "INSERT INTO LETTERVH (LETVHID, BUILDID, INVNUM, DATE_RECIVE) VALUES (1, 1, 1, '2020-01-10')"));
    exec(QStringLiteral(
        "INSERT INTO LETTERVH (LETVHID, BUILDID, INVNUM, DATE_RECIVE) VALUES (2, 2, 2, '2020-01-11')"));
    exec(QStringLiteral(
        "INSERT INTO LETTERVH (LETVHID, BUILDID, INVNUM, DATE_RECIVE) VALUES (3, 1, 3, '2021-01-11')"));

    Query* out = m_dm->qLetterOutAll();
    out->paramByName(QStringLiteral("data1")).setValue(QDate(2020, 1, 1));
    out->paramByName(QStringLiteral("data2")).setValue(QDate(2020, 1, 31));
    out->open();
    QCOMPARE(out->recordCount(), 1);
    QCOMPARE(out->fieldByName(QStringLiteral("LETID"))->asInteger(), 1);

    Query* in = m_dm->qLetterIn();
    in->paramByName(QStringLiteral("ID")).setValue(1);
    in->paramByName(QStringLiteral("data1")).setValue(QDate(2020, 1, 1));
    in->paramByName(QStringLiteral("data2")).setValue(QDate(2020, 12, 31));
    in->open();
    QCOMPARE(in->recordCount(), 1);
    QCOMPARE(in->fieldByName(QStringLiteral("LETVHID"))->asInteger(), 1);

    Query* inAll = m_dm->qLetterInAll();
    inAll->paramByName(QStringLiteral("data1")).setValue(QDate(2020, 1, 1));
    inAll->paramByName(QStringLiteral("data2")).setValue(QDate(2020, 12, 31));
    inAll->open();
    QCOMPARE(inAll->recordCount(), 2);
}

// ----------------------------------------------------------------- numbering

void TestDataMod::inventoryNumbersSpanTheWholeTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::newRow("notes") << "qNotes"
                           << "NOTES"
                           << "NOTEID";
    QTest::newRow("estimates") << "qSmets"
                               << "SMETS2"
                               << "SMETID";
    QTest::newRow("drawing sets") << "qDrafts"
                                  << "DRAFTS"
                                  << "DRAFTID";
    QTest::newRow("all drawing sets") << "qDraftsAll"
                                      << "DRAFTS"
                                      << "DRAFTID";
    QTest::newRow("positions") << "qPos"
                               << "D2POSIT"
                               << "POSITID";
}

void TestDataMod::inventoryNumbersSpanTheWholeTable() {
    QFETCH(QString, name);
    QFETCH(QString, table);
    QFETCH(QString, key);
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY) VALUES (2, 1, '4')"));
    openHierarchy();
    DataSet* ds = dataSet(name);
    ds->open();

    auto addRow = [&]() -> qint64 {
        if (!SafeInsert(ds))
            return -1;
        const qint64 number = ds->fieldByName(QStringLiteral("INVNUM"))->asInteger();
        if (ds->fieldByName(QStringLiteral("PROJID"))->asInteger() != 1)
            return -2;
        if (!PostAndLocate(ds, key))
            return -3;
        return number;
    };

    // The first document of an empty archive.
    QCOMPARE(addRow(), 1);
    QCOMPARE(scalar(QStringLiteral("SELECT INVNUM FROM %1 WHERE PROJID = 1").arg(table)),
             QStringLiteral("1"));
    // Numbers are shared by all projects.
    exec(QStringLiteral("INSERT INTO %1 (PROJID, INVNUM) VALUES (2, 41)").arg(table));
    QCOMPARE(addRow(), 42);
    // The largest number deleted is handed out again.
    exec(QStringLiteral("DELETE FROM %1 WHERE INVNUM = 42").arg(table));
    QCOMPARE(m_dm->NextNumber(table, QStringLiteral("INVNUM")), 42);
    QCOMPARE(addRow(), 42);
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE PROJID = 1").arg(table)),
             QStringLiteral("2"));
}

void TestDataMod::nextNumberAcceptsOnlyIdentifiers_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << "NOTES"
                           << "INVNUM" << true;
    QTest::newRow("mixed case") << "D2POSIT"
                                << "InvNum" << true;
    QTest::newRow("system table with $") << "RDB$DATABASE"
                                         << "RDB$RELATION_ID" << true;
    QTest::newRow("statement after the table") << "NOTES; DELETE FROM NOTES"
                                               << "INVNUM" << false;
    QTest::newRow("expression as column") << "NOTES"
                                          << "INVNUM) FROM NOTES UNION SELECT MAX(NOTEID" << false;
    QTest::newRow("quoted name") << "\"NOTES\""
                                 << "INVNUM" << false;
    QTest::newRow("comment") << "NOTES--"
                             << "INVNUM" << false;
    QTest::newRow("empty table") << ""
                                 << "INVNUM" << false;
    QTest::newRow("empty column") << "NOTES"
                                  << "" << false;
    QTest::newRow("leading digit") << "1NOTES"
                                   << "INVNUM" << false;
    QTest::newRow("blank inside") << "NO TES"
                                  << "INVNUM" << false;
}

void TestDataMod::nextNumberAcceptsOnlyIdentifiers() {
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(bool, accepted);
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, INVNUM) VALUES (1, 7)"));
    if (accepted) {
        QVERIFY(m_dm->NextNumber(table, column) >= 1);
    } else {
        QVERIFY_THROWS_EXCEPTION(DataSetError, m_dm->NextNumber(table, column));
    }
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM NOTES")), QStringLiteral("1"));
}

void TestDataMod::lettersAreNumberedPerCalendarYear_data() {
    QTest::addColumn<TLetterBook>("book");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("expected");
    const TLetterBook out = TLetterBook::Outgoing;
    const TLetterBook in = TLetterBook::Incoming;
    QTest::newRow("outgoing 2007: its own days only") << out << 2007 << 5;
    QTest::newRow("outgoing 2031 is not 1931") << out << 2031 << 8;
    QTest::newRow("outgoing 1931") << out << 1931 << 56;
    QTest::newRow("outgoing 2008 starts on its first day") << out << 2008 << 101;
    QTest::newRow("outgoing year without letters") << out << 2020 << 1;
    QTest::newRow("incoming 2007") << in << 2007 << 13;
    QTest::newRow("incoming 2031, last day included") << in << 2031 << 3;
    QTest::newRow("incoming year without letters") << in << 2006 << 1;
}

void TestDataMod::lettersAreNumberedPerCalendarYear() {
    QFETCH(TLetterBook, book);
    QFETCH(int, year);
    QFETCH(int, expected);
    const char* outgoing[][2] = {{"2006-12-31", "90"},  {"2007-01-01", "3"}, {"2007-12-31", "4"},
                                 {"2008-01-01", "100"}, {"2031-06-15", "7"}, {"1931-05-05", "55"}};
    for (const auto& l : outgoing)
        exec(QStringLiteral("INSERT INTO LETTERISH (DATA, INVNUM) VALUES ('%1', %2)")
                 .arg(QLatin1String(l[0]), QLatin1String(l[1])));
    const char* incoming[][2] = {{"2007-03-03", "12"}, {"2031-12-31", "2"}, {"2032-01-01", "40"}};
    for (const auto& l : incoming)
        exec(QStringLiteral("INSERT INTO LETTERVH (DATE_RECIVE, INVNUM) VALUES ('%1', %2)")
                 .arg(QLatin1String(l[0]), QLatin1String(l[1])));

    QCOMPARE(m_dm->NextLetterNumber(book, year), expected);
    QCOMPARE(m_dm->NextLetterNumber(book, QDate(year, 1, 1), QDate(year, 12, 31)), expected);
}

void TestDataMod::letterYearMustBeFull() {
    // A two-digit year would silently number letters of the first century.
    QVERIFY_THROWS_EXCEPTION(DataSetError, m_dm->NextLetterNumber(TLetterBook::Outgoing, 7));
    QVERIFY_THROWS_EXCEPTION(DataSetError, m_dm->NextLetterNumber(TLetterBook::Incoming, 107));
    QVERIFY_THROWS_EXCEPTION(DataSetError, m_dm->NextLetterNumber(TLetterBook::Incoming, QDate(), QDate()));
}

// ------------------------------------------------------------ calculations

void TestDataMod::orderCodes_data() {
    QTest::addColumn<QString>("isOld");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("draftCode");
    QTest::newRow("new project") << "'F'"
                                 << "12.3"
                                 << "Р12.3";
    QTest::newRow("old project") << "'T'"
                                 << "3"
                                 << "Р3";
    QTest::newRow("flag not set") << "NULL"
                                  << "3"
                                  << "Р3";
}

void TestDataMod::orderCodes() {
    QFETCH(QString, isOld);
    QFETCH(QString, code);
    QFETCH(QString, draftCode);
    seedHierarchy(isOld);
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO LISTS2 (LISTID, DRAFTID) VALUES (1, 0)"));
    openHierarchy();
    auto kod = [&](const char* name) {
        return dataSet(QLatin1String(name))->fieldByName(QStringLiteral("kod"))->asString();
    };
    QCOMPARE(kod("qProjects"), code);
    QCOMPARE(kod("qNotes"), code);
    QCOMPARE(kod("qSmets"), code);
    QCOMPARE(kod("qDrafts"), draftCode);
    QCOMPARE(kod("qPos"), draftCode);

    // No rule calculates these.
    m_dm->qDraftsAll()->open();
    QCOMPARE(kod("qDraftsAll"), QString());
    m_dm->qNotesAll()->open();
    QCOMPARE(m_dm->qNotesAll()->recordCount(), 1);
    QCOMPARE(kod("qNotesAll"), QString());
    m_dm->qLists2()->close();
    m_dm->qLists2()->paramByName(QStringLiteral("ID")).setValue(0);
    m_dm->qLists2()->open();
    QCOMPARE(kod("qLists2"), QString());
    QVERIFY(m_dm->qLists2()->fieldByName(QStringLiteral("All"))->isNull());
}

void TestDataMod::noteMarks_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("pdf");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("pdfMark");
    QTest::addColumn<QString>("sourceMark");
    QTest::addColumn<QString>("sourceMarkOfAll");
    const QString m = kMark;
    QTest::newRow("nothing") << "NULL"
                             << "NULL"
                             << "NULL"
                             << ""
                             << ""
                             << ""
                             << "";
    QTest::newRow("empty strings") << "''"
                                   << "''"
                                   << "''"
                                   << ""
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("folder") << "'001\\3'"
                            << "NULL"
                            << "NULL" << m << ""
                            << ""
                            << "";
    QTest::newRow("pdf copy") << "NULL"
                              << "'+'"
                              << "NULL"
                              << "" << m << ""
                              << "";
    QTest::newRow("pdf column with other text") << "NULL"
                                                << "'-'"
                                                << "NULL"
                                                << ""
                                                << ""
                                                << ""
                                                << "";
    QTest::newRow("source file") << "NULL"
                                 << "NULL"
                                 << "'+'"
                                 << ""
                                 << "" << m << m;
    QTest::newRow("minus in source column") << "NULL"
                                            << "NULL"
                                            << "'-'"
                                            << ""
                                            << "" << m << "";
    QTest::newRow("everything") << "'x'"
                                << "'+'"
                                << "'+'" << m << m << m << m;
}

void TestDataMod::noteMarks() {
    QFETCH(QString, directory);
    QFETCH(QString, pdf);
    QFETCH(QString, source);
    QFETCH(QString, mark);
    QFETCH(QString, pdfMark);
    QFETCH(QString, sourceMark);
    QFETCH(QString, sourceMarkOfAll);
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM, DIRECTORY, F_PDF, W_FILE) "
                        "VALUES (1, 1, 1, %1, %2, %3)")
             .arg(directory, pdf, source));
    openHierarchy();
    DataSet* notes = m_dm->qNotes();
    QCOMPARE(notes->fieldByName(QStringLiteral("MARK"))->asString(), mark);
    QCOMPARE(notes->fieldByName(QStringLiteral("MARK_PDF"))->asString(), pdfMark);
    QCOMPARE(notes->fieldByName(QStringLiteral("MARK2"))->asString(), sourceMark);

    DataSet* all = m_dm->qNotesAll();
    all->open();
    QCOMPARE(all->fieldByName(QStringLiteral("MARK"))->asString(), mark);
    QCOMPARE(all->fieldByName(QStringLiteral("MARK_PDF"))->asString(), pdfMark);
    QCOMPARE(all->fieldByName(QStringLiteral("MARK2"))->asString(), sourceMarkOfAll);
    // The joined columns of project and build are there too.
    QCOMPARE(all->fieldByName(QStringLiteral("BKEY"))->asInteger(), 12);
    QCOMPARE(all->fieldByName(QStringLiteral("PKIND"))->asString(), QStringLiteral("Р"));
}

void TestDataMod::estimateAndProtocolMarks() {
    seedHierarchy();
    exec(QStringLiteral(
        "INSERT INTO SMETS2 (SMETID, PROJID, INVNUM, DIRECTORY, W_FILE) VALUES (1, 1, 1, 'd', NULL)"));
    exec(QStringLiteral(
        "INSERT INTO SMETS2 (SMETID, PROJID, INVNUM, DIRECTORY, W_FILE) VALUES (2, 1, 2, '', '-')"));
    exec(QStringLiteral("INSERT INTO PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS, INVNUM, W_FILE) "
                        "VALUES (1, 1, '2020-01-01', '5', 'c', 1, '+')"));
    exec(QStringLiteral("INSERT INTO PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS, INVNUM, W_FILE) "
                        "VALUES (2, 99, '2020-01-01', '5', 'c', 2, '')"));
    openHierarchy();
    DataSet* smets = m_dm->qSmets();
    QCOMPARE(smets->fieldByName(QStringLiteral("MARK"))->asString(), kMark);
    QCOMPARE(smets->fieldByName(QStringLiteral("MARK2"))->asString(), QString());
    smets->next();
    QCOMPARE(smets->fieldByName(QStringLiteral("MARK"))->asString(), QString());
    QCOMPARE(smets->fieldByName(QStringLiteral("MARK2"))->asString(), kMark);

    Query* protocols = m_dm->QProtocols();
    protocols->open();
    QVERIFY(protocols->locate(QStringLiteral("ID"), 1));
    QCOMPARE(protocols->fieldByName(QStringLiteral("mark"))->asString(), kMark);
    // The build number is looked up in the builds list.
    QCOMPARE(protocols->fieldByName(QStringLiteral("BKEY"))->asInteger(), 12);
    QVERIFY(protocols->locate(QStringLiteral("ID"), 2));
    QCOMPARE(protocols->fieldByName(QStringLiteral("mark"))->asString(), QString());
    QVERIFY(protocols->fieldByName(QStringLiteral("BKEY"))->isNull());
}

void TestDataMod::markOperations() {
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM) VALUES (5, 1, 1)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, INVNUM) VALUES (6, 1, 1)"));
    exec(QStringLiteral("INSERT INTO LISTS (LISTID, DRAFTID, LKEY) VALUES (7, 1, 1)"));
    auto stored = [&](const QString& sql) {
        return scalar(sql);
    };

    QVERIFY(m_dm->SetNoteFileMark(5));
    QCOMPARE(stored(QStringLiteral("SELECT W_FILE FROM NOTES WHERE NOTEID = 5")), QStringLiteral("+"));
    openHierarchy();
    QCOMPARE(m_dm->qNotes()->fieldByName(QStringLiteral("MARK2"))->asString(), kMark);
    QCOMPARE(m_dm->qSmets()->fieldByName(QStringLiteral("MARK2"))->asString(), QString());
    QVERIFY(m_dm->ClearNoteFileMark(5));
    // Cleared to an empty string, not to NULL.
    QCOMPARE(stored(QStringLiteral("SELECT COALESCE(TRIM(W_FILE), 'null') FROM NOTES WHERE NOTEID = 5")),
             QString());
    RefreshAndLocate(m_dm->qNotes(), QStringLiteral("NOTEID"));
    QCOMPARE(m_dm->qNotes()->fieldByName(QStringLiteral("MARK2"))->asString(), QString());

    QVERIFY(m_dm->SetSmetFileMark(6));
    QCOMPARE(stored(QStringLiteral("SELECT W_FILE FROM SMETS2 WHERE SMETID = 6")), QStringLiteral("+"));
    RefreshAndLocate(m_dm->qSmets(), QStringLiteral("SMETID"));
    QCOMPARE(m_dm->qSmets()->fieldByName(QStringLiteral("MARK2"))->asString(), kMark);
    QVERIFY(m_dm->ClearSmetFileMark(6));
    QCOMPARE(stored(QStringLiteral("SELECT COALESCE(W_FILE, 'null') FROM SMETS2 WHERE SMETID = 6")),
             QString());

    QVERIFY(m_dm->SetSheetScanMark(7));
    QCOMPARE(stored(QStringLiteral("SELECT MARK_TIF FROM LISTS WHERE LISTID = 7")), QStringLiteral("Ц"));
    QVERIFY(m_dm->ClearSheetScanMark(7));
    QCOMPARE(stored(QStringLiteral("SELECT COALESCE(TRIM(MARK_TIF), 'null') FROM LISTS WHERE LISTID = 7")),
             QString());

    // A row that is not there is told apart.
    QVERIFY(!m_dm->SetNoteFileMark(99));
    QVERIFY(!m_dm->SetSmetFileMark(99));
    QVERIFY(!m_dm->SetSheetScanMark(99));
}

// ---------------------------------------------------------------- statistics

void TestDataMod::draftStatistics() {
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID) VALUES (10, 1)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID) VALUES (11, 1)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID) VALUES (12, 1)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID) VALUES (20, 2)"));
    const char* sheets[][3] = {{"10", "'A1'", "0"},    {"10", "'A3x4'", "2"}, {"10", "'A1'", "3"},
                               {"10", "'А1'", "NULL"}, {"12", "'A3x4'", "1"}, {"12", "'A1'", "-2"},
                               {"20", "'A0'", "9"}};
    int id = 100;
    for (const auto& s : sheets)
        exec(QStringLiteral("INSERT INTO LISTS (LISTID, DRAFTID, FORMAT, NUMLISTS) VALUES (%1, %2, %3, %4)")
                 .arg(++id)
                 .arg(QString::fromUtf8(s[0]), QString::fromUtf8(s[1]), QString::fromUtf8(s[2])));

    TDraftStatistics counts;
    QStringList formats{QStringLiteral("left over")};
    QVERIFY(m_dm->DraftStatistics(1, counts, &formats));
    QCOMPARE(counts.Sets, 3);
    QCOMPARE(counts.SheetRows, 6);
    // NUMLISTS 0, NULL and negative count as one sheet each.
    QCOMPARE(counts.Sheets, 1 + 2 + 3 + 1 + 1 + 1);
    // A Cyrillic "А1" is another format than the Latin "A1".
    QCOMPARE(formats, (QStringList{"A1=5", "A3x4=3", "А1=1"}));

    // A project without drawing sets: nothing counted, the list emptied.
    QVERIFY(!m_dm->DraftStatistics(3, counts, &formats));
    QCOMPARE(counts.Sets, 0);
    QCOMPARE(counts.SheetRows, 0);
    QCOMPARE(counts.Sheets, 0);
    QVERIFY(formats.isEmpty());
    // The list is optional.
    QVERIFY(m_dm->DraftStatistics(2, counts));
    QCOMPARE(counts.Sheets, 9);
}

void TestDataMod::positionStatistics() {
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID) VALUES (1, 1)"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID) VALUES (2, 1)"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID) VALUES (3, 2)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NUMLIST) VALUES (1, 1, 0)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NUMLIST) VALUES (2, 1, 3)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NUMLIST) VALUES (3, 1, NULL)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NUMLIST) VALUES (4, 3, 5)"));
    const TPositionStatistics s = m_dm->PositionStatistics(1);
    QCOMPARE(s.Positions, 2);
    QCOMPARE(s.Drawings, 3);
    QCOMPARE(s.Sheets, 1 + 3 + 1);
    const TPositionStatistics none = m_dm->PositionStatistics(9);
    QCOMPARE(none.Positions, 0);
    QCOMPARE(none.Drawings, 0);
    QCOMPARE(none.Sheets, 0);
}

void TestDataMod::smetFileMask_data() {
    QTest::addColumn<QString>("abc");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("mask");
    QTest::newRow("number of the estimating program") << "'17'"
                                                      << "'С-5'"
                                                      << "(17).doc";
    QTest::newRow("no such number") << "NULL"
                                    << "'С-5'"
                                    << "С-5.*";
    QTest::newRow("empty number") << "''"
                                  << "'12'"
                                  << "12.*";
}

void TestDataMod::smetFileMask() {
    QFETCH(QString, abc);
    QFETCH(QString, number);
    QFETCH(QString, mask);
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, ABCNOMER, SNOMER) VALUES (3, 1, %1, %2)")
             .arg(abc, number));
    QCOMPARE(m_dm->SmetFileMask(3), mask);
    QCOMPARE(m_dm->SmetFileMask(4), QString());
}

// ---------------------------------------------------------- uniqueness tests

void TestDataMod::duplicateDraftSets() {
    exec(
        QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, NOMENCLATURA, MARKA) VALUES (1, 1, 'Р', 'АС')"));
    exec(
        QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, NOMENCLATURA, MARKA) VALUES (2, 2, 'Р', 'ОВ')"));
    const QString r = QStringLiteral("Р");
    QVERIFY(m_dm->DraftSetExists(1, r, QStringLiteral("АС")));
    QVERIFY(m_dm->DraftSetExists(1, r, QStringLiteral("АС"), std::nullopt));
    // The set itself is no duplicate of itself.
    QVERIFY(!m_dm->DraftSetExists(1, r, QStringLiteral("АС"), 1));
    QVERIFY(m_dm->DraftSetExists(1, r, QStringLiteral("АС"), 7));
    // Other project, other mark, other kind.
    QVERIFY(!m_dm->DraftSetExists(2, r, QStringLiteral("АС")));
    QVERIFY(!m_dm->DraftSetExists(1, r, QStringLiteral("ОВ")));
    QVERIFY(!m_dm->DraftSetExists(1, QStringLiteral("П"), QStringLiteral("АС")));
}

void TestDataMod::duplicatePositionsAreReported() {
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, NAZNACH, POSIT, NAME, INVNUM) "
                        "VALUES (4, 1, 'ТХ', '12', 'Бак', 31)"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, NAZNACH, POSIT, NAME, INVNUM) "
                        "VALUES (5, 2, 'ТХ', '12', 'Насос', 32)"));
    QStringList report;
    QVERIFY(!m_dm->PositionExists(1, QStringLiteral("ТХ"), QStringLiteral("12"), 4, &report));
    QVERIFY(report.isEmpty());
    QVERIFY(!m_dm->PositionExists(1, QStringLiteral("ТХ"), QStringLiteral("13"), std::nullopt, &report));
    QVERIFY(!m_dm->PositionExists(3, QStringLiteral("ТХ"), QStringLiteral("12")));
    QVERIFY(m_dm->PositionExists(1, QStringLiteral("ТХ"), QStringLiteral("12")));

    QVERIFY(m_dm->PositionExists(1, QStringLiteral("ТХ"), QStringLiteral("12"), 9, &report));
    const QStringList expected{QStringLiteral("Комплект чертежей Н.О. с таки параметрами уже существует."),
                               QStringLiteral("Naznach=\"ТХ\"; Posit=\"12\""),
                               QStringLiteral("--------"),
                               QStringLiteral("Бак"),
                               QStringLiteral("ID=4"),
                               QStringLiteral("ProjID=1"),
                               QStringLiteral("InvNum=31")};
    QCOMPARE(report, expected);
}

void TestDataMod::duplicateEstimateNumbers() {
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, SNOMER) VALUES (1, 1, '02-01')"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, SNOMER) VALUES (2, 2, '02-01')"));
    const QString n = QStringLiteral("02-01");
    // A new estimate (no key yet) and another estimate of the project.
    QVERIFY(m_dm->SmetNumberExists(n, 1, 0));
    QVERIFY(m_dm->SmetNumberExists(n, 1, 3));
    // The estimate itself, and another project.
    QVERIFY(!m_dm->SmetNumberExists(n, 1, 1));
    QVERIFY(!m_dm->SmetNumberExists(n, 3, 0));
    QVERIFY(!m_dm->SmetNumberExists(QStringLiteral("02-02"), 1, 0));
}

void TestDataMod::quotedValuesAreStoredAndFoundExactly() {
    const QString kind = QStringLiteral("Р'\"");
    const QString mark = QStringLiteral("А\"С' --");
    QCOMPARE(m_dm->ExecArchiveSQL(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, NOMENCLATURA, MARKA) "
                                                 "VALUES (1, 1, ?, ?)"),
                                  {kind, mark}),
             1);
    QVERIFY(m_dm->DraftSetExists(1, kind, mark));
    QVERIFY(!m_dm->DraftSetExists(1, QStringLiteral("Р"), mark));
    QVERIFY(!m_dm->DraftSetExists(1, kind, QStringLiteral("' OR ''='")));

    const QString naznach = QStringLiteral("'\"");
    const QString posit = QStringLiteral("1'\"--");
    m_dm->ExecArchiveSQL(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, NAZNACH, POSIT, NAME) "
                                        "VALUES (1, 1, ?, ?, ?)"),
                         {naznach, posit, QStringLiteral("Бак \"Б'\"")});
    QStringList report;
    QVERIFY(m_dm->PositionExists(1, naznach, posit, std::nullopt, &report));
    QCOMPARE(report.value(1), QStringLiteral("Naznach=\"'\"\"; Posit=\"1'\"--\""));
    QCOMPARE(report.value(3), QStringLiteral("Бак \"Б'\""));
    QVERIFY(!m_dm->PositionExists(1, QStringLiteral("'"), posit));

    const QString snomer = QStringLiteral("5'\"; --");
    m_dm->ExecArchiveSQL(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, SNOMER) VALUES (1, 1, ?)"),
                         {snomer});
    QVERIFY(m_dm->SmetNumberExists(snomer, 1, 0));
    QVERIFY(!m_dm->SmetNumberExists(QStringLiteral("5'"), 1, 0));

    const QString name = QStringLiteral("Приказ \"О\" д'Артаньяне");
    const QString content = QStringLiteral("a''b \"\" c');DELETE FROM PRIKAZ;--");
    m_dm->InsertOrder(7, name, content, QDate(2021, 3, 4));
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM PRIKAZ")), QStringLiteral("1"));
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(NAME) FROM PRIKAZ")), name);
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(CONTENT) FROM PRIKAZ")), content);
    QCOMPARE(scalar(QStringLiteral("SELECT NUM FROM PRIKAZ")), QStringLiteral("7"));
    QCOMPARE(scalar(QStringLiteral("SELECT DATE_CREATE FROM PRIKAZ")), QStringLiteral("2021-03-04"));

    const int id = scalar(QStringLiteral("SELECT ID FROM PRIKAZ")).toInt();
    m_dm->InsertOrder(8, QStringLiteral("другой"), QString(), QDate(2021, 3, 5));
    const QString name2 = QStringLiteral("'\"");
    m_dm->UpdateOrder(id, 9, name2, name, QDate(2022, 1, 2));
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(NAME) FROM PRIKAZ WHERE ID = %1").arg(id)), name2);
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(CONTENT) FROM PRIKAZ WHERE ID = %1").arg(id)), name);
    QCOMPARE(scalar(QStringLiteral("SELECT NUM FROM PRIKAZ WHERE ID = %1").arg(id)), QStringLiteral("9"));
    QCOMPARE(scalar(QStringLiteral("SELECT DATE_CREATE FROM PRIKAZ WHERE ID = %1").arg(id)),
             QStringLiteral("2022-01-02"));
    // Only the given order changed.
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(NAME) FROM PRIKAZ WHERE ID <> %1").arg(id)),
             QStringLiteral("другой"));

    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (3, 12)"));
    QCOMPARE(m_dm->BuildIdByKey(QStringLiteral(" 12 ")), 3);
    QCOMPARE(m_dm->BuildIdByKey(QStringLiteral("12' OR '1'='1")), 0);
    QCOMPARE(m_dm->BuildIdByKey(QStringLiteral("12 OR 1=1")), 0);
}

// ------------------------------------------------------------ event handlers

void TestDataMod::copyMasterKeyWithZeroMaster_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("notes") << "qNotes";
    QTest::newRow("estimates") << "qSmets";
    QTest::newRow("drawing sets") << "qDrafts";
    QTest::newRow("all drawing sets") << "qDraftsAll";
    QTest::newRow("positions") << "qPos";
}

void TestDataMod::copyMasterKeyWithZeroMaster() {
    QFETCH(QString, name);
    // A build without projects: no current project.
    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (1, 12)"));
    exec(QStringLiteral("INSERT INTO NOTES (PROJID, INVNUM) VALUES (5, 8)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (PROJID, INVNUM) VALUES (5, 8)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (PROJID, INVNUM) VALUES (5, 8)"));
    exec(QStringLiteral("INSERT INTO D2POSIT (PROJID, INVNUM) VALUES (5, 8)"));
    openHierarchy(1, 0);
    QVERIFY(m_dm->qProjects()->isEmpty());
    DataSet* ds = dataSet(name);
    ds->open();

    ScriptedInteractionScope ui;
    ui->expectMessage();
    QVERIFY(SafeInsert(ds));
    QCOMPARE(ui->calls().size(), 1);
    QCOMPARE(ui->last().text, QStringLiteral("Неверно установлена связь!"));
    // 0 is written all the same and the insert goes on.
    QVERIFY(!ds->fieldByName(QStringLiteral("PROJID"))->isNull());
    QCOMPARE(ds->fieldByName(QStringLiteral("PROJID"))->asInteger(), 0);
    QCOMPARE(ds->fieldByName(QStringLiteral("INVNUM"))->asInteger(), 9);
    QCOMPARE(ds->state(), platform::db::DataSetState::Insert);
    QVERIFY(SafeCancel(ds));
}

void TestDataMod::copyMasterKeyIntoAnotherColumn() {
    seedHierarchy();
    openHierarchy();
    DataSet* notes = m_dm->qNotes();
    QVERIFY(SafeInsert(notes));
    // From the build into another column of the note.
    m_dm->CopyMasterKey(m_dm->qBuilds(), notes, QStringLiteral("BKEY"), QStringLiteral("PAGESCOUNT"));
    QCOMPARE(notes->fieldByName(QStringLiteral("PAGESCOUNT"))->asInteger(), 12);
    // A closed master has no current row.
    m_dm->qPosAll()->close();
    ScriptedInteractionScope ui;
    ui->expectMessage();
    m_dm->CopyMasterKey(m_dm->qPosAll(), notes, QStringLiteral("POSITID"), QStringLiteral("PAGESCOUNT"));
    QCOMPARE(notes->fieldByName(QStringLiteral("PAGESCOUNT"))->asInteger(), 0);
    QVERIFY(SafeCancel(notes));
}

void TestDataMod::inventoryListsFollowPosts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("lists");
    QTest::newRow("notes") << "qNotes"
                           << "NOTEID" << QStringList{"qInvNotes"};
    QTest::newRow("drawing sets") << "qDrafts"
                                  << "DRAFTID" << QStringList{"qInvDrafts"};
    QTest::newRow("equipment drawings") << "qDraft2"
                                        << "DRAFT2ID" << QStringList{"qInvDrafts2"};
    QTest::newRow("all drawing sets") << "qDraftsAll"
                                      << "DRAFTID" << QStringList{"qInvDrafts", "qDrafts"};
}

void TestDataMod::inventoryListsFollowPosts() {
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QStringList, lists);
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM) VALUES (2, 1, 2)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, INVNUM) VALUES (1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, INVNUM) VALUES (2, 1, 2)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, INVNUM, NUM) VALUES (1, 1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, INVNUM, NUM) VALUES (2, 1, 2, 2)"));
    openHierarchy();
    DataSet* ds = dataSet(name);
    ds->open();

    // Closed lists stay closed and the post still succeeds.
    for (const QString& list : lists)
        dataSet(list)->close();
    QVERIFY(SafeInsert(ds));
    QVERIFY(PostAndLocate(ds, key));
    for (const QString& list : lists)
        QVERIFY2(!dataSet(list)->isActive(), qPrintable(list));

    // Open lists read the new row and keep their current row.
    for (const QString& list : lists) {
        DataSet* l = dataSet(list);
        l->open();
        l->next();
    }
    QHash<QString, int> counts;
    QHash<QString, QVariant> current;
    for (const QString& list : lists) {
        counts[list] = dataSet(list)->recordCount();
        current[list] = dataSet(list)->fieldByName(key)->value();
    }
    QVERIFY(SafeInsert(ds));
    QVERIFY(PostAndLocate(ds, key));
    const QVariant posted = ds->fieldByName(key)->value();
    for (const QString& list : lists) {
        DataSet* l = dataSet(list);
        QVERIFY2(l->isActive(), qPrintable(list));
        QCOMPARE(l->recordCount(), counts[list] + 1);
        QCOMPARE(l->fieldByName(key)->value(), current[list]);
        QVERIFY(l->locate(key, posted));
    }
}

void TestDataMod::projectFlagFromTheWindow_data() {
    QTest::addColumn<bool>("window");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("code");
    QTest::newRow("no window") << false << false << "F"
                               << "12.7";
    QTest::newRow("box not ticked") << true << false << "F"
                                    << "12.7";
    QTest::newRow("box ticked") << true << true << "T"
                                << "7";
}

void TestDataMod::projectFlagFromTheWindow() {
    QFETCH(bool, window);
    QFETCH(bool, checked);
    QFETCH(QString, flag);
    QFETCH(QString, code);
    seedHierarchy(QStringLiteral("'T'"));
    openHierarchy();
    m_window.oldProject = checked;
    if (window)
        m_dm->SetMainWindowState(&m_window);
    TRQuery* projects = m_dm->qProjects();

    QVERIFY(SafeInsert(projects));
    m_dm->CopyMasterKey(m_dm->qBuilds(), projects, QStringLiteral("BUILDID"));
    projects->fieldByName(QStringLiteral("PKEY"))->setValue(QStringLiteral("7"));
    QVERIFY(PostAndLocate(projects, QStringLiteral("PROJID")));
    QCOMPARE(scalar(QStringLiteral("SELECT ISOLD FROM PROJECTS WHERE PKEY = '7'")), flag);
    QCOMPARE(projects->fieldByName(QStringLiteral("PKEY"))->asString(), QStringLiteral("7"));
    QCOMPARE(projects->fieldByName(QStringLiteral("kod"))->asString(), code);

    // Every post writes the flag, also of an existing project.
    QVERIFY(projects->locate(QStringLiteral("PROJID"), 1));
    QVERIFY(SafeEditWithDetails(projects));
    QVERIFY(PostAndLocate(projects, QStringLiteral("PROJID")));
    QCOMPARE(scalar(QStringLiteral("SELECT ISOLD FROM PROJECTS WHERE PROJID = 1")), flag);
}

void TestDataMod::allDraftsProjectDependsOnEditMode_data() {
    QTest::addColumn<TEditMode>("mode");
    QTest::addColumn<int>("project");
    QTest::newRow("changing keeps the project") << emChange << 2;
    QTest::newRow("adding takes the current project") << emAdd << 1;
    QTest::newRow("browsing takes the current project") << emBrowse << 1;
}

void TestDataMod::allDraftsProjectDependsOnEditMode() {
    QFETCH(TEditMode, mode);
    QFETCH(int, project);
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, INVNUM, DRAFT) VALUES (5, 2, 1, 'чужой')"));
    openHierarchy();
    m_window.mode = mode;
    m_dm->SetMainWindowState(&m_window);
    TRQuery* all = m_dm->qDraftsAll();
    all->open();
    QVERIFY(SafeEditWithDetails(all));
    all->fieldByName(QStringLiteral("DRAFT"))->setValue(QStringLiteral("изменён"));
    QVERIFY(PostAndLocate(all, QStringLiteral("DRAFTID")));
    QCOMPARE(scalar(QStringLiteral("SELECT PROJID FROM DRAFTS WHERE DRAFTID = 5")), QString::number(project));
    QCOMPARE(scalar(QStringLiteral("SELECT DRAFT FROM DRAFTS WHERE DRAFTID = 5")), QStringLiteral("изменён"));
}

void TestDataMod::equipmentDrawingsAndSheets() {
    seedHierarchy();
    exec(QStringLiteral(
        "INSERT INTO D2POSIT (POSITID, PROJID, NAZNACH, POSIT, INVNUM) VALUES (4, 1, 'ТХ', '12', 1)"));
    exec(QStringLiteral(
        "INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NAZNACH, POSIT, NUM) VALUES (8, 4, 'ОЛД', 'x', 1)"));
    exec(QStringLiteral("INSERT INTO LISTS2 (LISTID, DRAFTID, LKEY) VALUES (1, 8, 1)"));
    exec(QStringLiteral("INSERT INTO LISTS2 (LISTID, DRAFTID, LKEY) VALUES (2, 8, 9)"));
    openHierarchy();
    TRQuery* drawings = m_dm->qDraft2();
    QCOMPARE(drawings->recordCount(), 1);

    // A new drawing belongs to the current position and takes its codes.
    QVERIFY(SafeInsert(drawings));
    QCOMPARE(drawings->fieldByName(QStringLiteral("POSITID"))->asInteger(), 4);
    drawings->fieldByName(QStringLiteral("NUM"))->setValue(2);
    QVERIFY(PostAndLocate(drawings, QStringLiteral("DRAFT2ID")));
    QCOMPARE(drawings->fieldByName(QStringLiteral("NUM"))->asInteger(), 2);
    QCOMPARE(drawings->fieldByName(QStringLiteral("NAZNACH"))->asString(), QStringLiteral("ТХ"));
    QCOMPARE(drawings->fieldByName(QStringLiteral("POSIT"))->asString(), QStringLiteral("12"));
    // An existing one takes them again on every post.
    QVERIFY(drawings->locate(QStringLiteral("DRAFT2ID"), 8));
    QVERIFY(SafeEditWithDetails(drawings));
    QVERIFY(PostAndLocate(drawings, QStringLiteral("DRAFT2ID")));
    QCOMPARE(scalar(QStringLiteral("SELECT NAZNACH FROM DRAFTS2 WHERE DRAFT2ID = 8")), QStringLiteral("ТХ"));

    // A new sheet belongs to the current drawing; after the post the cursor
    // stays on it although it sorts between the others.
    ReopenDetail(drawings, m_dm->qLists2(), QStringLiteral("DRAFT2ID"));
    TRQuery* sheets = m_dm->qLists2();
    QCOMPARE(sheets->recordCount(), 2);
    QVERIFY(SafeInsert(sheets));
    QCOMPARE(sheets->fieldByName(QStringLiteral("DRAFTID"))->asInteger(), 8);
    sheets->fieldByName(QStringLiteral("LKEY"))->setValue(5);
    QVERIFY(PostAndLocate(sheets, QStringLiteral("LISTID")));
    QCOMPARE(sheets->recordCount(), 3);
    QCOMPARE(sheets->fieldByName(QStringLiteral("LKEY"))->asInteger(), 5);
    QCOMPARE(sheets->currentRow(), 1);
}

void TestDataMod::protocolKeyFromTheGenerator() {
    seedHierarchy();
    exec(QStringLiteral("INSERT INTO PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS, INVNUM) "
                        "VALUES (3, 1, '2020-01-01', '1', 'a', 6)"));
    exec(QStringLiteral("INSERT INTO PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS, INVNUM) "
                        "VALUES (9, 1, '2020-01-01', '1', 'z', 2)"));
    m_dm->qBuilds()->open();
    Query* protocols = m_dm->QProtocols();
    protocols->open();
    const qint64 generated =
        scalar(QStringLiteral("SELECT GEN_ID(PROTOCOLS_ID_GEN, 0) FROM RDB$DATABASE")).toLongLong();

    protocols->insert();
    QCOMPARE(protocols->fieldByName(QStringLiteral("ID"))->asInteger(), generated + 1);
    QCOMPARE(protocols->fieldByName(QStringLiteral("INVNUM"))->asInteger(), 7);
    protocols->fieldByName(QStringLiteral("OBJECT"))->setValue(1);
    protocols->fieldByName(QStringLiteral("DATA"))->setValue(QDate(2021, 5, 6));
    protocols->fieldByName(QStringLiteral("TYPE"))->setValue(QStringLiteral("12"));
    protocols->fieldByName(QStringLiteral("CONTENTS"))->setValue(QStringLiteral("m"));
    protocols->post();
    // Read again, on the posted row, with its lookups.
    QCOMPARE(protocols->recordCount(), 3);
    QCOMPARE(protocols->fieldByName(QStringLiteral("ID"))->asInteger(), generated + 1);
    QCOMPARE(protocols->fieldByName(QStringLiteral("CONTENTS"))->asString(), QStringLiteral("m"));
    QCOMPARE(protocols->fieldByName(QStringLiteral("BKEY"))->asInteger(), 12);
    QCOMPARE(scalar(QStringLiteral("SELECT INVNUM FROM PROTOCOLS WHERE CONTENTS = 'm'")),
             QStringLiteral("7"));

    // Every new row takes the next value.
    protocols->insert();
    const qint64 next = protocols->fieldByName(QStringLiteral("ID"))->asInteger();
    QVERIFY(next > generated + 1);
    protocols->cancel();

    // The required columns are checked before the row is written.
    protocols->insert();
    QVERIFY_THROWS_EXCEPTION(DataSetError, protocols->post());
    protocols->cancel();
}

// -------------------------------------------------------------------- lookups

void TestDataMod::lookups() {
    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY, BNAME) VALUES (2, 17, 'Завод \"Ёж\"')"));
    exec(QStringLiteral(
        "INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND, PNAME) VALUES (3, 2, '4а', 'РП', 'Цех')"));
    exec(QStringLiteral("INSERT INTO LISTS (LISTID, DRAFTID) VALUES (5, 6)"));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, INVNUM) VALUES (6, 3, 77)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID) VALUES (7, 3)"));
    exec(QStringLiteral("INSERT INTO ORGANIZATION (ID, NAME) VALUES (8, 'ООО \"Рога\"')"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, POSIT, NAME) VALUES (9, 3, '12', 'Бак')"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, POSIT, NAME) VALUES (10, 4, '13', 'Насос')"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NUM) VALUES (1, 9, 4)"));
    exec(QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NUM) VALUES (2, 9, 11)"));
    m_sprav->exec(QStringLiteral("INSERT INTO GIP (GIPID, NAME) VALUES (1, 'Иванов И.И.')"));
    m_sprav->exec(QStringLiteral("INSERT INTO OTDEL (OTDELID, OTDEL) VALUES (2, 'ОГП')"));

    QCOMPARE(m_dm->BuildIdByKey(17), 2);
    QCOMPARE(m_dm->BuildIdByKey(QStringLiteral("17")), 2);
    QCOMPARE(m_dm->BuildIdByKey(18), 0);
    QCOMPARE(m_dm->BuildKey(2), 17);
    QCOMPARE(m_dm->BuildKey(3), 0);
    QCOMPARE(m_dm->BuildName(2), QStringLiteral("Завод \"Ёж\""));
    QCOMPARE(m_dm->BuildName(3), QString());
    QCOMPARE(m_dm->ProjectName(3), QStringLiteral("Цех"));
    const TArchiveProjectRec p = m_dm->ReadProject(3);
    QCOMPARE(p.BuildId, 2);
    QCOMPARE(p.ProjId, 3);
    QCOMPARE(p.PKey, QStringLiteral("4а"));
    QCOMPARE(p.PKind, QStringLiteral("РП"));
    QCOMPARE(m_dm->ReadProject(4).ProjId, 0);
    QCOMPARE(m_dm->ProjectBuild(3), 2);
    QCOMPARE(m_dm->SheetDraft(5), 6);
    QCOMPARE(m_dm->DraftInvNum(6), 77);
    QCOMPARE(m_dm->DraftProject(6), 3);
    QCOMPARE(m_dm->SmetProject(7), 3);
    QCOMPARE(m_dm->SmetProject(8), 0);
    QCOMPARE(m_dm->OrganizationName(8), QStringLiteral("ООО \"Рога\""));
    QCOMPARE(m_dm->OrganizationName(1), QString());
    QCOMPARE(m_dm->GipName(1, QStringLiteral("было")), QStringLiteral("Иванов И.И."));
    QCOMPARE(m_dm->GipName(2, QStringLiteral("было")), QStringLiteral("было"));
    QCOMPARE(m_dm->DepartmentName(2), QStringLiteral("ОГП"));
    QCOMPARE(m_dm->DepartmentName(3), QString());
    QCOMPARE(m_dm->LastDrawingNum(9), 11);
    QCOMPARE(m_dm->LastDrawingNum(10), 0);

    QString label;
    QCOMPARE(m_dm->PositionLabel(9, &label), 3);
    QCOMPARE(label, QStringLiteral("12  Бак"));
    // A missing position is not taken for the last one read.
    QCOMPARE(m_dm->PositionLabel(11, &label), 0);
    QCOMPARE(label, QString());
}

void TestDataMod::countsAndPages() {
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, PAGESCOUNT) VALUES (1, 1, 10)"));
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, PAGESCOUNT) VALUES (2, 1, NULL)"));
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, PAGESCOUNT) VALUES (3, 1, 5)"));
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, PAGESCOUNT) VALUES (4, 2, 100)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID) VALUES (1, 1)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID) VALUES (2, 2)"));
    exec(QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID) VALUES (3, 2)"));
    QCOMPARE(m_dm->NotePages(1), 10);
    QCOMPARE(m_dm->NotePages(2), 0);
    QCOMPARE(m_dm->NotePages(9), -1);
    QCOMPARE(m_dm->ProjectPages(1), 15);
    QCOMPARE(m_dm->ProjectPages(3), 0);
    QCOMPARE(m_dm->NoteCount(1), 3);
    QCOMPARE(m_dm->NoteCount(3), 0);
    QCOMPARE(m_dm->SmetCount(2), 2);
    QCOMPARE(m_dm->SmetCount(3), 0);
}

void TestDataMod::adHocQueries() {
    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (1, 5)"));
    auto archive = m_dm->NewArchiveQuery(QStringLiteral("SELECT * FROM BUILDS"));
    QCOMPARE(archive->database(), m_dm->Base());
    QCOMPARE(archive->sql(), QStringLiteral("SELECT * FROM BUILDS"));
    QVERIFY(!archive->isActive());
    QVERIFY(!archive->requestLive());
    archive->open();
    QCOMPARE(archive->recordCount(), 1);

    auto reference = m_dm->NewReferenceQuery(QStringLiteral("SELECT * FROM GIP"));
    QCOMPARE(reference->database(), m_dm->SprBase());
    reference->open();

    QVERIFY(m_dm->CreateQuery(QStringLiteral("SELECT * FROM BUILDS"), false)->requestLive());
    QVERIFY(!m_dm->CreateQuery(QStringLiteral("SELECT * FROM BUILDS"), true)->requestLive());

    QCOMPARE(m_dm->ExecArchiveSQL(QStringLiteral("UPDATE BUILDS SET BNAME = ? WHERE BUILDID = ?"),
                                  {QStringLiteral("новое"), 1}),
             1);
    QCOMPARE(scalar(QStringLiteral("SELECT BNAME FROM BUILDS")), QStringLiteral("новое"));
}

ARCHIVE_TEST_MAIN(TestDataMod)
#include "tst_datamod.moc"
