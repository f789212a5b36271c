// The document store: name building, the one-folder searches, and the
// lookups of TArchiveCore and TArchiveApplication against a small store in a
// temporary folder and a real archive database (messages, result codes,
// opened files, browsed folders and the file marks written back).

#include "ScriptedInteraction.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "app/ArchiveApplication.h"
#include "app/ArchiveCore.h"
#include "app/DocumentStore.h"
#include "app/FolderBrowser.h"
#include "data/DataMod.h"
#include "db/Query.h"
#include "db/RTables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace docstore;
using Kind = ScriptedInteraction::Kind;

namespace {

const QString kNotes = QStringLiteral("ПЗ");
const QString kDrafts = QStringLiteral("Чертежи");
const QString kPositions = QStringLiteral("НО");
const QString kInLetters = QStringLiteral("Входящие");
const QString kProtocols = QStringLiteral("Протоколы");

// What a lookup did through the interaction service.
struct Outcome {
    QStringList messages;
    QStringList opened;
};

} // namespace

class TestDocumentStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void namesFromData_data();
    void namesFromData();
    void paddedNumbers_data();
    void paddedNumbers();
    void projectFolderPrefix_data();
    void projectFolderPrefix();

    void searchTakesTheFirstByName();
    void searchTakesDataLiterally_data();
    void searchTakesDataLiterally();
    void keySearchStopsAtTheKey_data();
    void keySearchStopsAtTheKey();
    void emptyRootIsNeverSearched();

    void notePdf_data();
    void notePdf();
    void notePdfWithoutNote();

    void sheetFiles_data();
    void sheetFiles();
    void folderBrowserOpensFiles();

    void equipmentDrawing_data();
    void equipmentDrawing();

    void incomingLetter_data();
    void incomingLetter();

    void protocols();

private:
    // Creates the entries under the store root; a name ending in "/" is a
    // folder, anything else an empty file (its folders made as needed).
    void makeEntries(const QStringList& entries);
    // The path with "@" replaced by the store root and "/" by the native separator.
    QString expand(const QString& text) const;
    QStringList expand(const QStringList& texts) const;
    Outcome outcome(ScriptedInteraction& ui) const;
    void setRoot(const QString& share, const QString& folder);
    void exec(const QString& sql) { m_db->exec(sql); }
    QString scalar(const QString& sql) { return m_db->scalar(sql); }

    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<QTemporaryDir> m_store;
    QString m_root;
};

void TestDocumentStore::initTestCase() {
    m_db = std::make_unique<TempDatabase>(QStringLiteral("archive.fdb"));
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScriptFile(QStringLiteral("archive.sql"));
    m_dm = std::make_unique<TDM>();
    m_dm->Base()->setParams(
        {QStringLiteral("SERVER NAME=") + m_db->path(), QStringLiteral("USER NAME=ARCHOP")});
    m_dm->Base()->open();
    TArchiveCore::Instance().SetDataModule(m_dm.get());
}

void TestDocumentStore::cleanupTestCase() {
    TArchiveCore::Instance().SetDataModule(nullptr);
    m_dm.reset();
    m_db.reset();
}

void TestDocumentStore::init() {
    for (const char* table :
         {"BUILDS", "PROJECTS", "NOTES", "DRAFTS", "LISTS", "D2POSIT", "DRAFTS2", "LETTERVH"})
        exec(QStringLiteral("DELETE FROM ") + QLatin1String(table));
    m_store = std::make_unique<QTemporaryDir>();
    QVERIFY(m_store->isValid());
    TArchiveCore& core = TArchiveCore::Instance();
    setRoot(QDir::toNativeSeparators(m_store->path() + QStringLiteral("/share")), QStringLiteral("store"));
    core.SetArchiveParam(3, kNotes);
    core.SetArchiveParam(5, kDrafts);
    core.SetArchiveParam(6, kPositions);
    core.SetArchiveParam(14, kInLetters);
    core.SetArchiveParam(15, kProtocols);
    QVERIFY(QDir().mkpath(m_root));
}

void TestDocumentStore::cleanup() {
    m_dm->qNotes()->close();
    m_store.reset();
}

void TestDocumentStore::setRoot(const QString& share, const QString& folder) {
    TArchiveCore::Instance().SetArchiveParam(1, share);
    TArchiveCore::Instance().SetArchiveParam(2, folder);
    m_root = TArchiveCore::Instance().GetDocumentRoot();
}

void TestDocumentStore::makeEntries(const QStringList& entries) {
    for (const QString& entry : entries) {
        const QString path = m_root + QDir::toNativeSeparators(entry);
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir().mkpath(path));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile file(path);
            QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
        }
    }
}

QString TestDocumentStore::expand(const QString& text) const {
    QString result = text;
    result.replace(u'/', QDir::separator());
    result.replace(u'@', m_root);
    return result;
}

QStringList TestDocumentStore::expand(const QStringList& texts) const {
    QStringList result;
    for (const QString& text : texts)
        result << expand(text);
    return result;
}

Outcome TestDocumentStore::outcome(ScriptedInteraction& ui) const {
    Outcome o;
    for (const ScriptedInteraction::Call& call : ui.calls()) {
        if (call.kind == Kind::Message)
            o.messages << call.text;
        else if (call.kind == Kind::OpenPath)
            o.opened << call.path;
    }
    return o;
}

// -------------------------------------------------------------- name building

void TestDocumentStore::namesFromData_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("safe");
    QTest::addColumn<QString>("slashes");
    QTest::addColumn<QString>("quotes");
    QTest::addColumn<QString>("clean");
    QTest::newRow("designation") << QStringLiteral("АС.1/2") << QStringLiteral("АС_1_2")
                                 << QStringLiteral("АС.1_2") << QStringLiteral("АС.1/2")
                                 << QStringLiteral("АС.1 2");
    QTest::newRow("backslash and colon")
        << QStringLiteral("a\\b:c.d") << QStringLiteral("a_b:c_d") << QStringLiteral("a_b:c.d")
        << QStringLiteral("a\\b:c.d") << QStringLiteral("a b c.d");
    QTest::newRow("quotes") << QStringLiteral("Цех \"Север\"") << QStringLiteral("Цех \"Север\"")
                            << QStringLiteral("Цех \"Север\"") << QStringLiteral("Цех 'Север'")
                            << QStringLiteral("Цех 'Север'");
    QTest::newRow("empty") << QString() << QString() << QString() << QString() << QString();
}

void TestDocumentStore::namesFromData() {
    QFETCH(QString, text);
    QFETCH(QString, safe);
    QFETCH(QString, slashes);
    QCOMPARE(SafeFileName(text), safe);
    QCOMPARE(SlashesToUnderscores(text), slashes);
    QFETCH(QString, quotes);
    QCOMPARE(QuotesToApostrophes(text), quotes);
    QFETCH(QString, clean);
    QCOMPARE(CleanFileName(text), clean);
}

void TestDocumentStore::paddedNumbers_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("pad3");
    QTest::addColumn<QString>("pad2");
    QTest::newRow("0") << 0 << "000"
                       << "00";
    QTest::newRow("7") << 7 << "007"
                       << "07";
    QTest::newRow("9") << 9 << "009"
                       << "09";
    QTest::newRow("10") << 10 << "010"
                        << "10";
    QTest::newRow("45") << 45 << "045"
                        << "45";
    QTest::newRow("99") << 99 << "099"
                        << "99";
    QTest::newRow("120") << 120 << "120"
                         << "120";
    QTest::newRow("4999") << 4999 << "4999"
                          << "4999";
}

void TestDocumentStore::paddedNumbers() {
    QFETCH(int, n);
    QFETCH(QString, pad3);
    QFETCH(QString, pad2);
    QCOMPARE(Pad3(n), pad3);
    QCOMPARE(Pad2(n), pad2);
}

void TestDocumentStore::projectFolderPrefix_data() {
    QTest::addColumn<QString>("pkind");
    QTest::addColumn<QString>("pkey");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("both") << QStringLiteral("Р") << QStringLiteral("3") << QStringLiteral("3-Р_");
    QTest::newRow("stage only") << QStringLiteral("Р") << QString() << QStringLiteral("Р_");
    QTest::newRow("key only") << QString() << QStringLiteral("12") << QStringLiteral("12_");
    QTest::newRow("neither") << QString() << QString() << QString();
}

void TestDocumentStore::projectFolderPrefix() {
    QFETCH(QString, pkind);
    QFETCH(QString, pkey);
    QFETCH(QString, prefix);
    QCOMPARE(TArchiveCore::ProjectFolderPrefix(pkind, pkey), prefix);
    QCOMPARE(DocumentsFolderName(QDate(2007, 3, 5)), QStringLiteral("Документы_2007"));
}

// ------------------------------------------------------------------ searches

void TestDocumentStore::searchTakesTheFirstByName() {
    // Made in reverse order, so that the creation order is not the name order.
    makeEntries({QStringLiteral("045_Ярославль/"), QStringLiteral("045_Бета/"), QStringLiteral("045_альфа/"),
                 QStringLiteral("045_Альфа/"), QStringLiteral("044_Раньше/")});
    QString name;
    QVERIFY(FindEntryByPrefix(m_root, QStringLiteral("045"), &name));
    QCOMPARE(name, QStringLiteral("045_Альфа"));
    // The folder without its separator is searched the same way.
    QVERIFY(FindEntryByPrefix(m_root.chopped(1), QStringLiteral("045_Б"), &name));
    QCOMPARE(name, QStringLiteral("045_Бета"));
    // Files match as well as folders.
    makeEntries({QStringLiteral("046.txt")});
    QVERIFY(FindEntryByPrefix(m_root, QStringLiteral("046"), &name));
    QCOMPARE(name, QStringLiteral("046.txt"));
    QVERIFY(!FindEntryByPrefix(m_root, QStringLiteral("047"), &name));
    QVERIFY(FindFirstMatch(m_root, QStringLiteral("*_Б*"), &name));
    QCOMPARE(name, QStringLiteral("045_Бета"));
}

void TestDocumentStore::searchTakesDataLiterally_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("found"); // empty: nothing
    QTest::newRow("star") << QStringLiteral("*") << QString();
    QTest::newRow("question mark") << QStringLiteral("?-Р") << QString();
    QTest::newRow("bracket class") << QStringLiteral("[3]") << QString();
    QTest::newRow("literal star") << QStringLiteral("a*") << QStringLiteral("a*b");
    QTest::newRow("literal bracket") << QStringLiteral("x[1]") << QStringLiteral("x[1]_y");
}

void TestDocumentStore::searchTakesDataLiterally() {
    QFETCH(QString, prefix);
    QFETCH(QString, found);
    makeEntries({QStringLiteral("3-Р_Корпус/"), QStringLiteral("a*b/"), QStringLiteral("x[1]_y/"),
                 QStringLiteral("axb/"), QStringLiteral("x1_y/")});
    QString name;
    QCOMPARE(FindEntryByPrefix(m_root, prefix, &name), !found.isEmpty());
    if (!found.isEmpty())
        QCOMPARE(name, found);
    QCOMPARE(FindEntryByKey(m_root, prefix, &name), !found.isEmpty());
}

void TestDocumentStore::keySearchStopsAtTheKey_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("found");
    QTest::newRow("longer build number sorts first")
        << QStringList{QStringLiteral("1200_Другая/"), QStringLiteral("120_Своя/")} << QStringLiteral("120")
        << QStringLiteral("120_Своя");
    QTest::newRow("only a longer number")
        << QStringList{QStringLiteral("1000_Другая/")} << QStringLiteral("100") << QString();
    QTest::newRow("name alone") << QStringList{QStringLiteral("5678/")} << QStringLiteral("5678")
                                << QStringLiteral("5678");
    QTest::newRow("other stage") << QStringList{QStringLiteral("3-РП_Другой/"), QStringLiteral("3-Р Корпус/")}
                                 << QStringLiteral("3-Р") << QStringLiteral("3-Р Корпус");
    QTest::newRow("key ending in a dash") << QStringList{QStringLiteral("12-Р_Корпус/")}
                                          << QStringLiteral("12-") << QStringLiteral("12-Р_Корпус");
    QTest::newRow("empty key") << QStringList{QStringLiteral("007_Семь/")} << QString() << QString();
}

void TestDocumentStore::keySearchStopsAtTheKey() {
    QFETCH(QStringList, entries);
    QFETCH(QString, key);
    QFETCH(QString, found);
    makeEntries(entries);
    QString name;
    QCOMPARE(FindEntryByKey(m_root, key, &name), !found.isEmpty());
    if (!found.isEmpty())
        QCOMPARE(name, found);
}

void TestDocumentStore::emptyRootIsNeverSearched() {
    // A build folder in the current folder and the store root made of two
    // empty parameters: the lookups fail with their first message.
    makeEntries({QStringLiteral("007_Семь/3-Р_Корпус/ПЗ/5678_Записка/Пояснительная_5678.pdf"),
                 QStringLiteral("007_Семь/3-Р_Корпус/Чертежи/АС_012/")});
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_root));
    setRoot(QString(), QString());
    const QString root = QString(QDir::separator()) + QDir::separator();
    QCOMPARE(m_root, root);

    QVERIFY(!IsSearchableFolder(root));
    QVERIFY(!IsSearchableFolder(QString()));
    QVERIFY(IsSearchableFolder(QDir::currentPath()));
    QString name;
    QVERIFY(!FindEntryByPrefix(QString(), QStringLiteral("007"), &name));
    QVERIFY(!FindEntryByPrefix(root, QString(), &name));
    QVERIFY(!FindFirstMatch(root, QStringLiteral("*"), &name));

    QString error;
    QCOMPARE(
        TArchiveCore::Instance().FindDraftFolder(7, QStringLiteral("3"), 12, QStringLiteral("Р"), &error),
        QString());
    QCOMPARE(error, QStringLiteral("Путь \"") + root + QStringLiteral("007*\" не найден."));
    QCOMPARE(TArchiveCore::Instance().GetProtocolsPath(QStringLiteral("007")), root);

    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (1, 7)"));
    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND) VALUES (1, 1, '3', 'Р')"));
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM, F_PDF) VALUES (1, 1, 5678, '+')"));
    {
        ScriptedInteractionScope ui;
        ui->expectMessage().expectMessage();
        m_dm->qNotes()->paramByName(QStringLiteral("ID")).setAsInteger(1);
        m_dm->qNotes()->open();
        QCOMPARE(TArchiveApplication::Instance().OpenNotePdf(m_dm->qNotes()),
                 int(TArchiveApplication::NotePdfNoBuildFolder));
        QVERIFY(!TArchiveCore::Instance().OpenProtocolDocument(QStringLiteral("\\a.pdf")));
        const Outcome o = outcome(ui.service());
        QCOMPARE(o.messages,
                 (QStringList{QStringLiteral("Директория \"") + root + QStringLiteral("007*\" не найдена!"),
                              QStringLiteral("Путь \"") + root + QStringLiteral("\" не найден.")}));
        QVERIFY(o.opened.isEmpty());
    }
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(F_PDF) FROM NOTES WHERE NOTEID = 1")), QString());
    QVERIFY(QDir::setCurrent(previous));
}

// ------------------------------------------------------------------- notes

void TestDocumentStore::notePdf_data() {
    QTest::addColumn<int>("bkey");
    QTest::addColumn<QString>("pkey");
    QTest::addColumn<QString>("pkind");
    QTest::addColumn<int>("invnum");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected"); // the file opened (code 0) or the message

    const QString pdf = QStringLiteral("/3-Р_Корпус/ПЗ/5678_Записка/Пояснительная_5678.pdf");
    QTest::newRow("build 7") << 7 << "3"
                             << "Р" << 5678 << QStringList{QStringLiteral("007_Семь") + pdf} << 0
                             << QStringLiteral("@007_Семь") + pdf;
    QTest::newRow("build 45, first of two folders")
        << 45 << "3"
        << "Р" << 5678 << QStringList{QStringLiteral("045_Бета") + pdf, QStringLiteral("045_Альфа") + pdf}
        << 0 << QStringLiteral("@045_Альфа") + pdf;
    QTest::newRow("build 120 beside build 1200")
        << 120 << "3"
        << "Р" << 5678 << QStringList{QStringLiteral("1200_Другая") + pdf, QStringLiteral("120_Своя") + pdf}
        << 0 << QStringLiteral("@120_Своя") + pdf;
    QTest::newRow("empty stage, note folder without text")
        << 7 << "12"
        << "" << 5678
        << QStringList{QStringLiteral("007_Семь/12-Р_Другой/"),
                       QStringLiteral("007_Семь/12_Насосная/ПЗ/5678/Пояснительная_5678.pdf")}
        << 0 << QStringLiteral("@007_Семь/12_Насосная/ПЗ/5678/Пояснительная_5678.pdf");
    QTest::newRow("stage only") << 7 << ""
                                << "Р" << 5678
                                << QStringList{QStringLiteral("007_Семь/Р_Общий/ПЗ/5678_/Записка_5678.pdf")}
                                << 0 << QStringLiteral("@007_Семь/Р_Общий/ПЗ/5678_/Записка_5678.pdf");

    QTest::newRow("no build folder") << 7 << "3"
                                     << "Р" << 5678 << QStringList{QStringLiteral("070_Другая/")} << -1
                                     << QStringLiteral("Директория \"@007*\" не найдена!");
    QTest::newRow("no project key") << 7 << ""
                                    << "" << 5678 << QStringList{QStringLiteral("007_Семь/3-Р_Корпус/")} << -2
                                    << QStringLiteral("Не задан ProjectKey и ProjectKind.");
    QTest::newRow("no project folder") << 7 << "3"
                                       << "Р" << 5678 << QStringList{QStringLiteral("007_Семь/4-Р_Корпус/")}
                                       << -3 << QStringLiteral("Директория \"@007_Семь/3-Р_*\" не найдена!");
    QTest::newRow("wildcard in the project key")
        << 7 << "?"
        << "Р" << 5678 << QStringList{QStringLiteral("007_Семь") + pdf} << -3
        << QStringLiteral("Директория \"@007_Семь/?-Р_*\" не найдена!");
    QTest::newRow("no note folder") << 7 << "3"
                                    << "Р" << 5678 << QStringList{QStringLiteral("007_Семь/3-Р_Корпус/ПЗ/")}
                                    << -4
                                    << QStringLiteral(
                                           "Директория \"@007_Семь/3-Р_Корпус/ПЗ/5678*\" не найдена!");
    QTest::newRow("note folder of a longer number")
        << 7 << "3"
        << "Р" << 56
        << QStringList{QStringLiteral("007_Семь/3-Р_Корпус/ПЗ/5678_Записка/Пояснительная_56.pdf")} << -4
        << QStringLiteral("Директория \"@007_Семь/3-Р_Корпус/ПЗ/56*\" не найдена!");
    QTest::newRow("pdf without the underscore")
        << 7 << "3"
        << "Р" << 5678 << QStringList{QStringLiteral("007_Семь/3-Р_Корпус/ПЗ/5678_Записка/5678.pdf")} << -5
        << QStringLiteral("Файл \"@007_Семь/3-Р_Корпус/ПЗ/5678_Записка/*_5678.pdf\" не найден!");
}

void TestDocumentStore::notePdf() {
    QFETCH(int, bkey);
    QFETCH(QString, pkey);
    QFETCH(QString, pkind);
    QFETCH(int, invnum);
    QFETCH(QStringList, entries);
    QFETCH(int, code);
    QFETCH(QString, expected);
    makeEntries(entries);

    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (1, %1)").arg(bkey));
    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND) VALUES (1, 1, '%1', '%2')")
             .arg(pkey, pkind));
    // The mark starts opposite to what the lookup should leave.
    exec(QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM, F_PDF) VALUES (3, 1, %1, '%2')")
             .arg(invnum)
             .arg(code == 0 ? QString() : QStringLiteral("+")));
    TRQuery* notes = m_dm->qNotes();
    notes->paramByName(QStringLiteral("ID")).setAsInteger(1);
    notes->open();

    ScriptedInteractionScope ui;
    if (code == 0)
        ui->expectOpenPath(true);
    else
        ui->expectMessage();
    QCOMPARE(TArchiveApplication::Instance().OpenNotePdf(notes), code);
    const Outcome o = outcome(ui.service());
    if (code == 0) {
        QCOMPARE(o.opened, QStringList{expand(expected)});
        QVERIFY(o.messages.isEmpty());
    } else {
        QCOMPARE(o.messages, QStringList{expand(expected)});
        QVERIFY(o.opened.isEmpty());
    }
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(F_PDF) FROM NOTES WHERE NOTEID = 3")),
             code == 0 ? QStringLiteral("+") : QString());
    // The dataset shows the mark and stays on the note.
    QCOMPARE(notes->fieldByName(QStringLiteral("NOTEID"))->asInteger(), 3);
    QCOMPARE(TrimTrailingBlanks(notes->fieldByName(QStringLiteral("F_PDF"))->asString()),
             code == 0 ? QStringLiteral("+") : QString());
}

void TestDocumentStore::notePdfWithoutNote() {
    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (1, 7)"));
    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND) VALUES (1, 1, '3', 'Р')"));
    ScriptedInteractionScope ui;
    QCOMPARE(TArchiveApplication::Instance().OpenNotePdf(m_dm->qNotes()), -10); // closed
    m_dm->qNotes()->paramByName(QStringLiteral("ID")).setAsInteger(1);
    m_dm->qNotes()->open();
    QCOMPARE(TArchiveApplication::Instance().OpenNotePdf(m_dm->qNotes()), -10); // no rows
    QVERIFY(ui->calls().isEmpty());
}

// ------------------------------------------------------------------ sheets

void TestDocumentStore::sheetFiles_data() {
    QTest::addColumn<bool>("scan");
    QTest::addColumn<QString>("pkey");
    QTest::addColumn<QString>("pkind");
    QTest::addColumn<int>("invnum");
    QTest::addColumn<QString>("indication");
    QTest::addColumn<QString>("lkey");     // empty: null
    QTest::addColumn<QString>("numlists"); // empty: null
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("browsed");
    QTest::addColumn<QString>("mark"); // MARK_TIF afterwards (it starts as "x")

    const QString set = QStringLiteral("007_Семь/3-Р_Корпус/Чертежи/АС_012 Корпус/");
    const QString setPath = QStringLiteral("@") + set;
    const QString untouched = QStringLiteral("x");
    const QString marked = QStringLiteral("Ц");

    QTest::newRow("drawing by designation")
        << false << "3"
        << "Р" << 12 << "АС.1/2"
        << "5"
        << "" << QStringList{set + QStringLiteral("АС_1_2.dwg")} << QStringList{} << setPath + "АС_1_2.dwg"
        << "" << untouched;
    QTest::newRow("scan by designation")
        << true << "3"
        << "Р" << 12 << "АС.1/2"
        << "5"
        << "1" << QStringList{set + QStringLiteral("АС_1_2.tif")} << QStringList{} << setPath + "АС_1_2.tif"
        << "" << marked;
    QTest::newRow("drawing by number")
        << false << "3"
        << "Р" << 12 << ""
        << "5"
        << "" << QStringList{set + QStringLiteral("лист 5.dwg")} << QStringList{} << setPath + "лист 5.dwg"
        << "" << untouched;
    QTest::newRow("scan by number") << true << "3"
                                    << "Р" << 12 << ""
                                    << "5"
                                    << ""
                                    << QStringList{set + QStringLiteral("лист 5.tif"), set + "лист5.tif"}
                                    << QStringList{} << setPath + "лист5.tif"
                                    << "" << marked;
    QTest::newRow("scan missing") << true << "3"
                                  << "Р" << 12 << ""
                                  << "5"
                                  << "" << QStringList{set + QStringLiteral("лист 5.tif")}
                                  << QStringList{QStringLiteral("Файл \"") + setPath +
                                                 "лист5.tif\" не найден!"}
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("drawing missing") << false << "3"
                                     << "Р" << 12 << "АС.1/2"
                                     << ""
                                     << "" << QStringList{set}
                                     << QStringList{QStringLiteral("Файл \"") + setPath +
                                                    "АС_1_2.dwg\" не найден!"}
                                     << ""
                                     << "" << untouched;
    QTest::newRow("empty stage: 12-_ first")
        << false << "12"
        << "" << 12 << "АС.1/2"
        << ""
        << ""
        << QStringList{QStringLiteral("007_Семь/12-Насосная/"),
                       "007_Семь/12-_Насосная/Чертежи/АС_012/АС_1_2.dwg"}
        << QStringList{} << "@007_Семь/12-_Насосная/Чертежи/АС_012/АС_1_2.dwg"
        << "" << untouched;
    QTest::newRow("empty stage: then 12-")
        << false << "12"
        << "" << 12 << "АС.1/2"
        << ""
        << "" << QStringList{QStringLiteral("007_Семь/12-Насосная/Чертежи/АС_012/АС_1_2.dwg")}
        << QStringList{} << "@007_Семь/12-Насосная/Чертежи/АС_012/АС_1_2.dwg"
        << "" << untouched;
    QTest::newRow("empty stage: folder made for notes")
        << true << "12"
        << "" << 12 << "АС.1/2"
        << ""
        << "" << QStringList{QStringLiteral("007_Семь/12_Насосная/Чертежи/АС_012/АС_1_2.tif")}
        << QStringList{QStringLiteral("Путь \"@007_Семь/12-*\" не найден."),
                       QStringLiteral("Файл не найден! директории не существует!")}
        << ""
        << ""
        << "";
    QTest::newRow("project of another stage")
        << false << "3"
        << "Р" << 12 << "АС.1/2"
        << ""
        << ""
        << QStringList{QStringLiteral("007_Семь/3-РП_Другой/Чертежи/АС_012/АС_1_2.dwg"),
                       "007_Семь/3-Р Корпус/Чертежи/АС_012/АС_1_2.dwg"}
        << QStringList{} << "@007_Семь/3-Р Корпус/Чертежи/АС_012/АС_1_2.dwg"
        << "" << untouched;
    QTest::newRow("no build folder") << true << "3"
                                     << "Р" << 12 << "АС.1/2"
                                     << ""
                                     << "" << QStringList{QStringLiteral("0070_Другая/")}
                                     << QStringList{QStringLiteral("Путь \"@007*\" не найден."),
                                                    QStringLiteral(
                                                        "Файл не найден! директории не существует!")}
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("no drawing set folder")
        << true << "3"
        << "Р" << 12 << "АС.1/2"
        << ""
        << "" << QStringList{QStringLiteral("007_Семь/3-Р_Корпус/Чертежи/АС_0123/АС_1_2.tif")}
        << QStringList{QStringLiteral("Путь \"@007_Семь/3-Р_Корпус/Чертежи/*_012*\" не найден"),
                       QStringLiteral("Файл не найден! директории не существует!")}
        << ""
        << ""
        << "";
    QTest::newRow("multi-file drawing")
        << false << "3"
        << "Р" << 12 << "АС.1/2"
        << ""
        << "3" << QStringList{set + QStringLiteral("АС_1_2/1.dwg")} << QStringList{} << ""
        << QStringLiteral("Листы чертежа|") + setPath + "АС_1_2/" << untouched;
    QTest::newRow("multi-file scan by number")
        << true << "3"
        << "Р" << 12 << ""
        << "5"
        << "0" << QStringList{set + QStringLiteral("лист 5/1.tif")} << QStringList{} << ""
        << QStringLiteral("Листы чертежа|") + setPath + "лист 5/"
        << "";
    QTest::newRow("multi-file folder missing") << true << "3"
                                               << "Р" << 12 << "АС.1/2"
                                               << ""
                                               << "2" << QStringList{set + QStringLiteral("АС_1_2.tif")}
                                               << QStringList{QStringLiteral("Путь не найден!")} << ""
                                               << ""
                                               << "";
}

void TestDocumentStore::sheetFiles() {
    QFETCH(bool, scan);
    QFETCH(QString, pkey);
    QFETCH(QString, pkind);
    QFETCH(int, invnum);
    QFETCH(QString, indication);
    QFETCH(QString, lkey);
    QFETCH(QString, numlists);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, messages);
    QFETCH(QString, opened);
    QFETCH(QString, browsed);
    QFETCH(QString, mark);
    makeEntries(entries);

    exec(QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY) VALUES (1, 7)"));
    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND) VALUES (2, 1, '%1', '%2')")
             .arg(pkey, pkind));
    exec(QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, INVNUM) VALUES (4, 2, %1)").arg(invnum));
    exec(QStringLiteral("INSERT INTO LISTS (LISTID, DRAFTID, LKEY, INDICATION, NUMLISTS, MARK_TIF) "
                        "VALUES (9, 4, %1, '%2', %3, 'x')")
             .arg(lkey.isEmpty() ? QStringLiteral("NULL") : lkey, indication,
                  numlists.isEmpty() ? QStringLiteral("NULL") : numlists));

    ScriptedInteractionScope ui;
    for (int i = 0; i < messages.size(); ++i)
        ui->expectMessage();
    if (!opened.isEmpty())
        ui->expectOpenPath(true);
    QString shown;
    if (!browsed.isEmpty()) {
        ui->expectDialog([&](QDialog& dialog) {
            auto* browser = qobject_cast<TFolderBrowser*>(&dialog);
            if (!browser)
                return int(QDialog::Rejected);
            shown = browser->windowTitle() + u'|' + browser->folder();
            return int(QDialog::Rejected);
        });
    }
    TArchiveApplication& app = TArchiveApplication::Instance();
    const bool result = scan ? app.OpenSheetScan(9) : app.OpenSheetDrawing(9);
    QCOMPARE(result, !opened.isEmpty() || !browsed.isEmpty());

    const Outcome o = outcome(ui.service());
    QCOMPARE(o.messages, expand(messages));
    QCOMPARE(o.opened, opened.isEmpty() ? QStringList() : QStringList{expand(opened)});
    QCOMPARE(shown, browsed.isEmpty() ? QString() : expand(browsed));
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(MARK_TIF) FROM LISTS WHERE LISTID = 9")), mark);
}

void TestDocumentStore::folderBrowserOpensFiles() {
    makeEntries({QStringLiteral("листы/b.tif"), QStringLiteral("листы/A.tif"),
                 QStringLiteral("листы/вложено/c.tif")});
    const QString folder = m_root + QStringLiteral("листы");
    TFolderBrowser browser(QStringLiteral("Листы чертежа"), folder);
    QCOMPARE(browser.windowTitle(), QStringLiteral("Листы чертежа"));
    QCOMPARE(browser.folder(), folder + QDir::separator());
    QCOMPARE(browser.entries(),
             (QStringList{QStringLiteral("вложено"), QStringLiteral("A.tif"), QStringLiteral("b.tif")}));

    ScriptedInteractionScope ui;
    ui->expectOpenPath(true).expectOpenPath(true);
    QVERIFY(browser.activate(QStringLiteral("b.tif")));
    QVERIFY(browser.activate(QStringLiteral("вложено")));
    QCOMPARE(browser.entries(), QStringList{QStringLiteral("c.tif")});
    QVERIFY(browser.activate(QStringLiteral("c.tif")));
    QVERIFY(!browser.activate(QStringLiteral("нет такого")));
    QCOMPARE(outcome(ui.service()).opened,
             (QStringList{folder + QDir::separator() + QStringLiteral("b.tif"),
                          folder + QDir::separator() + QStringLiteral("вложено") + QDir::separator() +
                              QStringLiteral("c.tif")}));
}

// ------------------------------------------------------- equipment drawings

void TestDocumentStore::equipmentDrawing_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("withDrawing");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("browsed");

    const QString pos = QStringLiteral("007_Семь/3-Р_Корпус/НО/Н01_1_2_45/");
    QTest::newRow("source") << 0 << true << QStringList{pos + "АБВ.12-01.dwg", pos + "АБВ.12-01.tif"} << ""
                            << QStringLiteral("@") + pos + "АБВ.12-01.dwg"
                            << "";
    QTest::newRow("scan") << 1 << true << QStringList{pos + "АБВ.12-01.dwg", pos + "АБВ.12-01.tif"} << ""
                          << QStringLiteral("@") + pos + "АБВ.12-01.tif"
                          << "";
    QTest::newRow("project folder by double underscore")
        << 0 << true
        << QStringList{QStringLiteral("007_Семь/3-Р_Б/"), "007_Семь/3-Р__А/НО/Н01_1_2_45/АБВ.12-01.dwg"} << ""
        << "@007_Семь/3-Р__А/НО/Н01_1_2_45/АБВ.12-01.dwg"
        << "";
    QTest::newRow("folder of the drawing")
        << 1 << true << QStringList{pos + "АБВ.12-01/1.tif"} << ""
        << "" << QStringLiteral("Просмотр чертежей НО|@") + pos + "АБВ.12-01/";
    QTest::newRow("nothing") << 0 << true << QStringList{pos + "АБВ.12-01.tif"} << "Файл не найден!"
                             << ""
                             << "";
    QTest::newRow("no build folder") << 0 << true << QStringList{} << "Путь \"@007*\" не найден."
                                     << ""
                                     << "";
    QTest::newRow("no project folder") << 0 << true << QStringList{QStringLiteral("007_Семь/3-РП_Корпус/")}
                                       << "Путь \"@007_Семь/3-Р_*\" не найден."
                                       << ""
                                       << "";
    QTest::newRow("no drawings") << 0 << false << QStringList{pos + "АБВ.12-01.dwg"} << ""
                                 << ""
                                 << "";
}

void TestDocumentStore::equipmentDrawing() {
    QFETCH(int, kind);
    QFETCH(bool, withDrawing);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    QFETCH(QString, opened);
    QFETCH(QString, browsed);
    makeEntries(entries);

    exec(QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND) VALUES (2, 1, '3', 'Р')"));
    exec(QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, NAZNACH, POSIT, INVNUM) "
                        "VALUES (5, 2, 'Н01', '1/2', 45)"));
    if (withDrawing)
        exec(QStringLiteral(
            "INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, OBOZN1, OBOZN2) VALUES (6, 5, 'АБВ.12', '-01')"));
    platform::db::Query projects(m_dm->Base());
    projects.setSql(QStringLiteral("SELECT * FROM PROJECTS WHERE PROJID = 2"));
    projects.open();
    platform::db::Query positions(m_dm->Base());
    positions.setSql(QStringLiteral("SELECT * FROM D2POSIT WHERE POSITID = 5"));
    positions.open();
    platform::db::Query drawings(m_dm->Base());
    drawings.setSql(QStringLiteral("SELECT * FROM DRAFTS2 WHERE POSITID = 5"));
    drawings.open();

    ScriptedInteractionScope ui;
    if (!message.isEmpty())
        ui->expectMessage();
    if (!opened.isEmpty())
        ui->expectOpenPath(true);
    QString shown;
    if (!browsed.isEmpty())
        ui->expectDialog([&](QDialog& dialog) {
            if (auto* browser = qobject_cast<TFolderBrowser*>(&dialog))
                shown = browser->windowTitle() + u'|' + browser->folder();
            return int(QDialog::Rejected);
        });
    const bool result =
        TArchiveApplication::Instance().OpenEquipmentDrawing(&positions, &projects, kind, 7, &drawings);
    QCOMPARE(result, !opened.isEmpty() || !browsed.isEmpty());
    const Outcome o = outcome(ui.service());
    QCOMPARE(o.messages, message.isEmpty() ? QStringList() : QStringList{expand(message)});
    QCOMPARE(o.opened, opened.isEmpty() ? QStringList() : QStringList{expand(opened)});
    QCOMPARE(shown, expand(browsed));
    QCOMPARE(ui->calls().size(), o.messages.size() + o.opened.size() + (browsed.isEmpty() ? 0 : 1));
}

// -------------------------------------------------------- incoming letters

void TestDocumentStore::incomingLetter_data() {
    QTest::addColumn<bool>("openFile");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("mark");

    const QString year = QStringLiteral("007_Семь/Входящие/Документы_2007/");
    QTest::newRow("found and opened")
        << true << QStringList{year + "7-15_Письмо.pdf", year + "7-150_Другое.pdf"} << ""
        << QStringLiteral("@") + year + "7-15_Письмо.pdf"
        << "+";
    QTest::newRow("found, not opened") << false << QStringList{year + "7-15_Письмо.pdf"} << ""
                                       << ""
                                       << "+";
    QTest::newRow("no build folder") << true << QStringList{QStringLiteral("008_Восемь/")}
                                     << "Путь \"@007*\" не найден."
                                     << ""
                                     << "";
    QTest::newRow("no letter") << true
                               << QStringList{year + "7-150_Другое.pdf",
                                              "007_Семь/Входящие/Документы_2008/7-15_.pdf"}
                               << QStringLiteral("Файл \"@") + year + "7-15_*\" не найден."
                               << ""
                               << "";
    QTest::newRow("a folder, not a file") << true << QStringList{year + "7-15_Папка/"}
                                          << QStringLiteral("Файл \"@") + year + "7-15_Папка\" не найден!"
                                          << ""
                                          << "";
}

void TestDocumentStore::incomingLetter() {
    QFETCH(bool, openFile);
    QFETCH(QStringList, entries);
    QFETCH(QString, message);
    QFETCH(QString, opened);
    QFETCH(QString, mark);
    makeEntries(entries);
    exec(
        QStringLiteral("INSERT INTO LETTERVH (LETVHID, SHIFRNOM_VH, INVNUM, W_FILE) VALUES (11, 7, 15, '%1')")
            .arg(mark.isEmpty() ? QStringLiteral("+") : QString()));
    exec(QStringLiteral(
        "INSERT INTO LETTERVH (LETVHID, SHIFRNOM_VH, INVNUM, W_FILE) VALUES (12, 7, 16, 'x')"));

    ScriptedInteractionScope ui;
    if (!message.isEmpty())
        ui->expectMessage();
    if (!opened.isEmpty())
        ui->expectOpenPath(true);
    QCOMPARE(TArchiveApplication::Instance().OpenIncomingLetter(7, openFile, QDate(2007, 6, 1), 15, 11),
             !mark.isEmpty());
    const Outcome o = outcome(ui.service());
    QCOMPARE(o.messages, message.isEmpty() ? QStringList() : QStringList{expand(message)});
    QCOMPARE(o.opened, opened.isEmpty() ? QStringList() : QStringList{expand(opened)});
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(W_FILE) FROM LETTERVH WHERE LETVHID = 11")), mark);
    QCOMPARE(scalar(QStringLiteral("SELECT TRIM(W_FILE) FROM LETTERVH WHERE LETVHID = 12")),
             QStringLiteral("x"));
}

// ---------------------------------------------------------------- protocols

void TestDocumentStore::protocols() {
    makeEntries({QStringLiteral("0070_Другая/"), QStringLiteral("007_Семь/Протоколы/")});
    TArchiveCore& core = TArchiveCore::Instance();
    QCOMPARE(core.GetProtocolsPath(QStringLiteral("007")), expand(QStringLiteral("@007_Семь/Протоколы/")));
    QCOMPARE(core.GetProtocolsPath(QStringLiteral("045")), m_root);

    ScriptedInteractionScope ui;
    ui->expectOpenPath(true).expectOpenPath(true);
    QVERIFY(core.OpenProtocolDocument(QStringLiteral("\\2007\\05.pdf")));
    QVERIFY(core.OpenProtocolDocument(QStringLiteral("/2007/06.pdf")));
    QCOMPARE(outcome(ui.service()).opened, (QStringList{expand(QStringLiteral("@Протоколы/2007/05.pdf")),
                                                        expand(QStringLiteral("@Протоколы/2007/06.pdf"))}));
}

ARCHIVE_TEST_MAIN(TestDocumentStore)
#include "tst_documentstore.moc"
