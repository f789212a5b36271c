// archive-admin: creating the two databases and the configuration file,
// refusing to overwrite, the command line's errors and exit codes, and the
// demo archive with its document store, checked against the naming and
// numbering rules the program itself follows.

#include "TestMain.h"

#include "AdminCommand.h"
#include "ArchiveSetup.h"

#include "db/FbClient.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

using namespace platform::db;

namespace {

// The store's naming rules, written out here on their own so that the
// tool's names are checked against the rules and not against themselves.
QString pad3(int n) {
    return n < 10    ? QStringLiteral("00%1").arg(n)
           : n < 100 ? QStringLiteral("0%1").arg(n)
                     : QString::number(n);
}

// The first entry of `folder` whose name begins with `prefix` (files and
// folders alike, in name order), or an empty string.
QString entryByPrefix(const QString& folder, const QString& prefix) {
    if (folder.isEmpty())
        return {};
    const QStringList entries =
        QDir(folder).entryList({prefix + u'*'}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return entries.isEmpty() ? QString() : QDir(folder).filePath(entries.first());
}

QString entryByMask(const QString& folder, const QString& mask) {
    if (folder.isEmpty())
        return {};
    const QStringList entries =
        QDir(folder).entryList({mask}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return entries.isEmpty() ? QString() : QDir(folder).filePath(entries.first());
}

QString sub(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return {};
    const QString path = QDir(folder).filePath(name);
    return QFileInfo::exists(path) ? path : QString();
}

// Marks against files: marked and there, marked but gone, and so on.
struct Tally {
    int markedPresent = 0;
    int markedMissing = 0;
    int unmarkedPresent = 0;
    int unmarkedMissing = 0;
    void add(bool marked, bool present) {
        (marked ? (present ? markedPresent : markedMissing)
                : (present ? unmarkedPresent : unmarkedMissing))++;
    }
};

QString cell(const QVector<QStringList>& rows) {
    return rows.isEmpty() || rows[0].isEmpty() ? QString() : rows[0][0];
}

std::unique_ptr<FbAttachment> attach(const QString& path) {
    ConnectParams p;
    p.database = path;
    p.user = QStringLiteral("ARCHOP");
    return FbAttachment::attach(p);
}

// Every row of every table, in key order, as one digest.
QByteArray digestOf(FbAttachment& db, const QStringList& tablesWithKeys) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& tk : tablesWithKeys) {
        const QStringList parts = tk.split(u':');
        const auto rows =
            db.selectText(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(parts[0], parts[1]));
        for (const QStringList& r : rows)
            hash.addData(QByteArray(r.join(QChar(0x1F)).toUtf8() + '\n'));
    }
    return hash.result().toHex();
}

QStringList treeOf(const QString& root) {
    QStringList all;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        all << QDir(root).relativeFilePath(it.next());
    all.sort();
    return all;
}

const QStringList kArchiveTables = {
    QStringLiteral("BUILDS:BUILDID"), QStringLiteral("PROJECTS:PROJID"), QStringLiteral("NOTES:NOTEID"),
    QStringLiteral("COPIES:COPYID"),  QStringLiteral("SMETS2:SMETID"),   QStringLiteral("DRAFTS:DRAFTID"),
    QStringLiteral("LISTS:LISTID"),   QStringLiteral("D2POSIT:POSITID"), QStringLiteral("DRAFTS2:DRAFT2ID"),
    QStringLiteral("LISTS2:LISTID"),  QStringLiteral("LETTERISH:LETID"), QStringLiteral("LETTERVH:LETVHID"),
    QStringLiteral("PROTOCOLS:ID"),   QStringLiteral("PRIKAZ:ID"),       QStringLiteral("ORGANIZATION:ID"),
    QStringLiteral("DBPARAMS:PARAM")};
const QStringList kReferenceTables = {QStringLiteral("GIP:GIPID"), QStringLiteral("OTDEL:OTDELID"),
                                      QStringLiteral("SOTRUD:SOTRID"), QStringLiteral("CUSTOMER:CUSTID")};

} // namespace

class TestAdmin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void createMakesDatabasesAndConfiguration();
    void configurationKeepsOtherSections();
    void existingDatabaseNeedsForce_data();
    void existingDatabaseNeedsForce();
    void commandLineErrors_data();
    void commandLineErrors();
    void failureHalfWayLeavesNothing();

    void demoKeepsOutOfAForeignStore();
    void demoFillsEveryTable();
    void inventoryNumbersAndKeysAsTheProgramGives();
    void lettersNumberedWithinTheirYear();
    void textsAndCodesLookReal();
    void storeFollowsNamingRules();
    void storeFilesAreValid();
    void demoIsDeterministic();

    void executableCreatesFromDir();

private:
    admin::CreateOptions optionsIn(const QString& dir) const {
        admin::CreateOptions o;
        o.archive = QDir(dir).filePath(QStringLiteral("archive.fdb"));
        o.sprav = QDir(dir).filePath(QStringLiteral("sprav.fdb"));
        o.config = QDir(dir).filePath(QStringLiteral("archive.ini"));
        o.store = QDir(dir).filePath(QStringLiteral("store"));
        return o;
    }
    // Runs the command line of the library's command, keeping its messages.
    int runCommand(const QStringList& args, QString* errors = nullptr) {
        admin::AdminCommand command(m_programDir.path());
        QStringList err;
        command.setErrors([&](const QString& line) { err << line; });
        const int code = command.run(QStringList{QStringLiteral("archive-admin")} + args);
        if (errors)
            *errors = err.join(u'\n');
        return code;
    }

    QTemporaryDir m_programDir;
    QTemporaryDir m_demoDir;
    std::unique_ptr<FbAttachment> m_archive;
    std::unique_ptr<FbAttachment> m_sprav;
    QString m_store;
};

void TestAdmin::initTestCase() {
    QVERIFY(m_programDir.isValid());
    QVERIFY(m_demoDir.isValid());
    admin::CreateOptions o = optionsIn(m_demoDir.path());
    o.demo = true;
    admin::AdminCommand command(m_programDir.path());
    try {
        command.create(o);
    } catch (const admin::AdminError& e) {
        QFAIL(qPrintable(e.message()));
    }
    m_archive = attach(o.archive);
    m_sprav = attach(o.sprav);
    m_store = o.store;
}

void TestAdmin::createMakesDatabasesAndConfiguration() {
    QTemporaryDir dir;
    const admin::CreateOptions o = optionsIn(dir.path());
    admin::AdminCommand(m_programDir.path()).create(o);

    for (const QString& path : {o.archive, o.sprav}) {
        auto db = attach(path);
        const auto info = db->selectText(QStringLiteral(
            "SELECT TRIM(d.RDB$CHARACTER_SET_NAME), m.MON$PAGE_SIZE, m.MON$SQL_DIALECT, TRIM(m.MON$OWNER), "
            "m.MON$FORCED_WRITES FROM RDB$DATABASE d CROSS JOIN MON$DATABASE m"));
        QCOMPARE(info.value(0),
                 (QStringList{QStringLiteral("WIN1251"), QStringLiteral("8192"), QStringLiteral("3"),
                              QStringLiteral("ARCHOP"), QStringLiteral("1")}));
    }
    auto archive = attach(o.archive);
    auto sprav = attach(o.sprav);
    QCOMPARE(cell(archive->selectText(QStringLiteral("SELECT COUNT(*) FROM NOTES"))), QStringLiteral("0"));
    QCOMPARE(cell(sprav->selectText(QStringLiteral("SELECT COUNT(*) FROM SOTRUD"))), QStringLiteral("0"));

    // The store root is split into the two parameters the program joins.
    const auto params = archive->selectText(
        QStringLiteral("SELECT PARAM, NAME FROM DBPARAMS WHERE PARAM IN (1, 2) ORDER BY PARAM"));
    QCOMPARE(params.size(), 2);
    QCOMPARE(params[0][1] + QDir::separator() + params[1][1],
             QDir::toNativeSeparators(QFileInfo(o.store).absoluteFilePath()));
    QVERIFY(QFileInfo(o.store).isDir());
    // The other folder names keep the script's values.
    QCOMPARE(cell(archive->selectText(QStringLiteral("SELECT NAME FROM DBPARAMS WHERE PARAM = 3"))),
             QStringLiteral("Пояснительные записки"));

    QFile config(o.config);
    QVERIFY(config.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(config.readAll()),
             QStringLiteral("[Main]\ndatabasename_archive=") + QDir::toNativeSeparators(o.archive) +
                 QStringLiteral("\ndatabasename_sprav=") + QDir::toNativeSeparators(o.sprav) + u'\n');
}

void TestAdmin::configurationKeepsOtherSections() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("archive.ini"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[Main]\ndatabasename_archive=old:/"
                               "a.fdb\nother=1\n\n[DBЗапасной]\nArchive=srv:/b.fdb\nSprav=srv:/c.fdb\n")
                    .toUtf8());
    }
    admin::writeConfigFile(file, QStringLiteral("srv:/db/archive.fdb"), QStringLiteral("srv:/db/sprav.fdb"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()),
             QStringLiteral(
                 "[Main]\ndatabasename_archive=srv:/db/archive.fdb\ndatabasename_sprav=srv:/db/sprav.fdb\n\n"
                 "[DBЗапасной]\nArchive=srv:/b.fdb\nSprav=srv:/c.fdb\n"));
}

void TestAdmin::existingDatabaseNeedsForce_data() {
    QTest::addColumn<bool>("archiveExists");
    QTest::addColumn<bool>("spravExists");
    QTest::newRow("both") << true << true;
    QTest::newRow("archive only") << true << false;
    QTest::newRow("reference only") << false << true;
}

void TestAdmin::existingDatabaseNeedsForce() {
    QFETCH(bool, archiveExists);
    QFETCH(bool, spravExists);
    QTemporaryDir dir;
    const admin::CreateOptions o = optionsIn(dir.path());
    const QStringList args = {QStringLiteral("create"),
                              QStringLiteral("--archive"),
                              o.archive,
                              QStringLiteral("--sprav"),
                              o.sprav,
                              QStringLiteral("--config"),
                              o.config};
    QCOMPARE(runCommand(args), 0);
    {
        auto archive = attach(o.archive);
        archive->execute(QStringLiteral("INSERT INTO BUILDS (BKEY, BNAME) VALUES (1, 'Образец')"));
    }
    if (!archiveExists)
        QVERIFY(QFile::remove(o.archive));
    if (!spravExists)
        QVERIFY(QFile::remove(o.sprav));
    QVERIFY(QFile::remove(o.config));

    QString errors;
    QCOMPARE(runCommand(args, &errors), 1);
    QVERIFY2(errors.contains(QStringLiteral("уже существует")) && errors.contains(QStringLiteral("--force")),
             qPrintable(errors));
    // Nothing was touched: the missing one was not made, the row is still there.
    QCOMPARE(QFileInfo::exists(o.archive), archiveExists);
    QCOMPARE(QFileInfo::exists(o.sprav), spravExists);
    QVERIFY(!QFileInfo::exists(o.config));
    if (archiveExists)
        QCOMPARE(cell(attach(o.archive)->selectText(QStringLiteral("SELECT COUNT(*) FROM BUILDS"))),
                 QStringLiteral("1"));

    QCOMPARE(runCommand(args + QStringList{QStringLiteral("--force")}, &errors), 0);
    QCOMPARE(cell(attach(o.archive)->selectText(QStringLiteral("SELECT COUNT(*) FROM BUILDS"))),
             QStringLiteral("0"));
    QCOMPARE(cell(attach(o.sprav)->selectText(QStringLiteral("SELECT COUNT(*) FROM GIP"))),
             QStringLiteral("0"));
    QVERIFY(QFileInfo::exists(o.config));
}

void TestAdmin::commandLineErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString a = QStringLiteral("--archive");
    const QString s = QStringLiteral("--sprav");
    const QString c = QStringLiteral("create");
    QTest::newRow("no command") << QStringList{} << 2 << QStringLiteral("Не указана команда");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("drop")} << 2
                                     << QStringLiteral("Неизвестная команда: drop");
    QTest::newRow("unknown option") << QStringList{c, QStringLiteral("--frobnicate")} << 2
                                    << QStringLiteral("Ошибка в командной строке");
    QTest::newRow("no reference db") << QStringList{c, a, QStringLiteral("x.fdb")} << 2
                                     << QStringLiteral("Не заданы базы данных");
    QTest::newRow("same db twice") << QStringList{c, a, QStringLiteral("x.fdb"), s, QStringLiteral("x.fdb")}
                                   << 2 << QStringLiteral("должны быть разными");
    QTest::newRow("notes not a number") << QStringList{c, QStringLiteral("--dir"), QStringLiteral("d"),
                                                       QStringLiteral("--notes"), QStringLiteral("много")}
                                        << 2 << QStringLiteral("положительным целым: много");
    QTest::newRow("notes zero") << QStringList{c, QStringLiteral("--dir"), QStringLiteral("d"),
                                               QStringLiteral("--notes"), QStringLiteral("0")}
                                << 2 << QStringLiteral("положительным целым: 0");
    // A folder cannot be made inside a file.
    QTest::newRow("bad path") << QStringList{c,
                                             a,
                                             QStringLiteral("@FILE@/archive.fdb"),
                                             s,
                                             QStringLiteral("@FILE@/sprav.fdb"),
                                             QStringLiteral("--config"),
                                             QStringLiteral("@DIR@/archive.ini")}
                              << 1 << QStringLiteral("Не удалось создать папку");
}

void TestAdmin::commandLineErrors() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("plain-file"));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    for (QString& arg : args)
        arg.replace(QStringLiteral("@FILE@"), blocker).replace(QStringLiteral("@DIR@"), dir.path());
    QString errors;
    QCOMPARE(runCommand(args, &errors), code);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("archive.ini"))));
}

void TestAdmin::failureHalfWayLeavesNothing() {
    // The archive database is made, then the reference one fails: the
    // archive goes again and no configuration is written.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("plain-file"));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QString archive = dir.filePath(QStringLiteral("archive.fdb"));
    QString errors;
    QCOMPARE(runCommand({QStringLiteral("create"), QStringLiteral("--archive"), archive,
                         QStringLiteral("--sprav"), blocker + QStringLiteral("/sprav.fdb"),
                         QStringLiteral("--config"), dir.filePath(QStringLiteral("archive.ini"))},
                        &errors),
             1);
    QVERIFY2(!errors.isEmpty(), "no message");
    QVERIFY(!QFileInfo::exists(archive));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("archive.ini"))));
}

void TestAdmin::demoKeepsOutOfAForeignStore() {
    // A store with files that are not an earlier demo is never written
    // into, and nothing is created.
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("store"));
    QVERIFY(QDir().mkpath(store + QStringLiteral("/001_Стройка")));
    QFile own(store + QStringLiteral("/001_Стройка/документ.pdf"));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("mine");
    own.close();
    QString errors;
    QCOMPARE(runCommand({QStringLiteral("create"), QStringLiteral("--demo"), QStringLiteral("--force"),
                         QStringLiteral("--dir"), dir.path()},
                        &errors),
             1);
    QVERIFY2(errors.contains(QStringLiteral("уже содержит файлы")), qPrintable(errors));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("archive.fdb"))));
    QCOMPARE(QDir(store).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("001_Стройка")});
    QVERIFY(own.exists());
}

void TestAdmin::demoFillsEveryTable() {
    for (const QString& tk : kArchiveTables) {
        const QString table = tk.section(u':', 0, 0);
        const int rows = cell(m_archive->selectText(QStringLiteral("SELECT COUNT(*) FROM ") + table)).toInt();
        QVERIFY2(rows > 0, qPrintable(table));
    }
    for (const QString& tk : kReferenceTables) {
        const QString table = tk.section(u':', 0, 0);
        QVERIFY2(cell(m_sprav->selectText(QStringLiteral("SELECT COUNT(*) FROM ") + table)).toInt() > 0,
                 qPrintable(table));
    }
    // Every document hangs on an existing parent.
    const QStringList orphans = {
        QStringLiteral("SELECT COUNT(*) FROM PROJECTS p WHERE NOT EXISTS (SELECT 1 FROM BUILDS b WHERE "
                       "b.BUILDID = p.BUILDID AND b.BKEY = p.BKEY)"),
        QStringLiteral("SELECT COUNT(*) FROM NOTES n WHERE NOT EXISTS (SELECT 1 FROM PROJECTS p WHERE "
                       "p.PROJID = n.PROJID)"),
        QStringLiteral("SELECT COUNT(*) FROM COPIES c WHERE NOT EXISTS (SELECT 1 FROM NOTES n WHERE n.NOTEID "
                       "= c.NOTEID)"),
        QStringLiteral("SELECT COUNT(*) FROM LISTS l WHERE NOT EXISTS (SELECT 1 FROM DRAFTS d WHERE "
                       "d.DRAFTID = l.DRAFTID)"),
        QStringLiteral("SELECT COUNT(*) FROM DRAFTS2 d WHERE NOT EXISTS (SELECT 1 FROM D2POSIT p WHERE "
                       "p.POSITID = d.POSITID "
                       "AND p.NAZNACH = d.NAZNACH AND p.POSIT = d.POSIT)"),
        QStringLiteral("SELECT COUNT(*) FROM LISTS2 l WHERE NOT EXISTS (SELECT 1 FROM DRAFTS2 d WHERE "
                       "d.DRAFT2ID = l.DRAFTID)"),
        QStringLiteral("SELECT COUNT(*) FROM LETTERVH l WHERE NOT EXISTS (SELECT 1 FROM BUILDS b WHERE "
                       "b.BUILDID = l.BUILDID "
                       "AND b.BKEY = l.SHIFRNOM_VH)"),
        QStringLiteral("SELECT COUNT(*) FROM PROTOCOLS p WHERE NOT EXISTS (SELECT 1 FROM BUILDS b WHERE "
                       "b.BUILDID = p.OBJECT)"),
    };
    // The indexes switched off for loading are all in use again.
    QCOMPARE(cell(m_archive->selectText(QStringLiteral(
                 "SELECT COUNT(*) FROM RDB$INDICES WHERE COALESCE(RDB$INDEX_INACTIVE, 0) <> 0"))),
             QStringLiteral("0"));
    for (const QString& sql : orphans)
        QVERIFY2(cell(m_archive->selectText(sql)) == QStringLiteral("0"), qPrintable(sql));
}

void TestAdmin::inventoryNumbersAndKeysAsTheProgramGives() {
    // Inventory numbers: each new one is one more than the largest in the
    // whole table at the time, so in key order they run 1, 2, 3...
    const QStringList tables = {QStringLiteral("NOTES:NOTEID"), QStringLiteral("SMETS2:SMETID"),
                                QStringLiteral("DRAFTS:DRAFTID"), QStringLiteral("D2POSIT:POSITID"),
                                QStringLiteral("PROTOCOLS:ID")};
    for (const QString& tk : tables) {
        const QStringList p = tk.split(u':');
        const auto rows =
            m_archive->selectText(QStringLiteral("SELECT INVNUM FROM %1 ORDER BY %2").arg(p[0], p[1]));
        int largest = 0;
        for (const QStringList& r : rows) {
            QCOMPARE(r[0].toInt(), largest + 1);
            largest = r[0].toInt();
        }
    }
    // The generators stand at the largest key, so the server's next key is larger.
    const QStringList generators = {
        QStringLiteral("GEN_BUILDS_ID:BUILDS:BUILDID"),     QStringLiteral("GEN_NOTES_ID:NOTES:NOTEID"),
        QStringLiteral("GEN_COPIES_ID:COPIES:COPYID"),      QStringLiteral("GEN_LISTS_ID:LISTS:LISTID"),
        QStringLiteral("GEN_LETTERVH_ID:LETTERVH:LETVHID"), QStringLiteral("PROTOCOLS_ID_GEN:PROTOCOLS:ID"),
        QStringLiteral("GEN_PRIKAZ_ID:PRIKAZ:ID")};
    for (const QString& g : generators) {
        const QStringList p = g.split(u':');
        const auto row = m_archive->selectText(
            QStringLiteral("SELECT GEN_ID(%1, 0), (SELECT MAX(%3) FROM %2) FROM RDB$DATABASE")
                .arg(p[0], p[1], p[2]));
        QCOMPARE(row[0][0], row[0][1]);
    }
    const auto protocolKeys =
        m_archive->selectText(QStringLiteral("SELECT MIN(ID), MAX(ID), COUNT(*) FROM PROTOCOLS"));
    QCOMPARE(protocolKeys[0][0], QStringLiteral("1"));
    QCOMPARE(protocolKeys[0][1], protocolKeys[0][2]);
}

void TestAdmin::lettersNumberedWithinTheirYear() {
    for (const QString& q :
         {QStringLiteral("SELECT EXTRACT(YEAR FROM DATA), INVNUM FROM LETTERISH ORDER BY LETID"),
          QStringLiteral("SELECT EXTRACT(YEAR FROM DATE_RECIVE), INVNUM FROM LETTERVH ORDER BY LETVHID")}) {
        const auto rows = m_archive->selectText(q);
        QMap<int, int> largest;
        for (const QStringList& r : rows) {
            const int year = r[0].toInt();
            QCOMPARE(r[1].toInt(), largest.value(year) + 1);
            largest[year] = r[1].toInt();
        }
        // Several years, 2019 to 2025, each starting again at 1.
        QCOMPARE(largest.firstKey(), 2019);
        QCOMPARE(largest.lastKey(), 2025);
        QCOMPARE(largest.size(), 7);
    }
}

void TestAdmin::textsAndCodesLookReal() {
    // Russian text arrives intact through the WIN1251 columns.
    QVERIFY(cell(m_archive->selectText(
                     QStringLiteral("SELECT COUNT(*) FROM BUILDS WHERE BNAME LIKE 'Жилой дом по ул.%' "
                                    "OR BNAME LIKE '%школа%' OR BNAME LIKE 'Котельная%' "
                                    "OR BNAME LIKE 'Подстанция%' OR BNAME LIKE 'Детский сад%'")))
                .toInt() > 0);
    const QRegularExpression fio(QStringLiteral("^[А-ЯЁ][а-яё]+ [А-ЯЁ][а-яё]+ [А-ЯЁ][а-яё]+$"));
    for (const QStringList& r : m_sprav->selectText(QStringLiteral("SELECT FIO FROM SOTRUD")))
        QVERIFY2(fio.match(r[0]).hasMatch(), qPrintable(r[0]));
    QCOMPARE(cell(m_archive->selectText(QStringLiteral("SELECT TRIM(NOTE) FROM NOTES WHERE NOTEID = 1"))),
             QStringLiteral("Том 1. Пояснительная записка"));

    // Old and new projects, the usual stages, every status.
    QCOMPARE(m_archive->selectText(QStringLiteral("SELECT DISTINCT ISOLD FROM PROJECTS ORDER BY 1")).size(),
             2);
    QCOMPARE(cell(m_archive->selectText(
                 QStringLiteral("SELECT COUNT(*) FROM PROJECTS WHERE OLD IS DISTINCT FROM ISOLD"))),
             QStringLiteral("0"));
    const auto stages =
        m_archive->selectText(QStringLiteral("SELECT DISTINCT PKIND FROM PROJECTS ORDER BY 1"));
    QCOMPARE(stages,
             (QVector<QStringList>{{QStringLiteral("П")}, {QStringLiteral("Р")}, {QStringLiteral("РП")}}));
    for (const QString& t : {QStringLiteral("NOTES"), QStringLiteral("SMETS2"), QStringLiteral("LISTS")})
        QCOMPARE(m_archive->selectText(QStringLiteral("SELECT DISTINCT STAT FROM %1 ORDER BY 1").arg(t)),
                 (QVector<QStringList>{{QStringLiteral("0")}, {QStringLiteral("1")}, {QStringLiteral("2")}}));
    // Build numbers below 10, below 100 and above, so all three paddings occur.
    QCOMPARE(cell(m_archive->selectText(
                      QStringLiteral("SELECT (SELECT COUNT(*) FROM BUILDS WHERE BKEY < 10) * "
                                     "(SELECT COUNT(*) FROM BUILDS WHERE BKEY BETWEEN 10 AND 99) * "
                                     "(SELECT COUNT(*) FROM BUILDS WHERE BKEY >= 100) FROM RDB$DATABASE")))
                     .toInt() > 0,
             true);

    // Notes issued to employees name the employee as the reference database has him.
    const auto issued = m_archive->selectText(QStringLiteral(
        "SELECT LOCATION, TRIM(LOC_FIO), DATE_VYD, DATA FROM NOTES WHERE LOCATION IS NOT NULL"));
    QVERIFY(issued.size() > 0);
    QVERIFY(issued.size() <
            cell(m_archive->selectText(QStringLiteral("SELECT COUNT(*) FROM NOTES"))).toInt() / 5);
    for (const QStringList& r : issued) {
        QCOMPARE(cell(m_sprav->selectText(QStringLiteral("SELECT FIO FROM SOTRUD WHERE SOTRID = ") + r[0])),
                 r[1]);
        QVERIFY(!r[2].isEmpty());
        QVERIFY(r[2] >= r[3]); // ISO dates compare as text
    }
    // Protocols refer to a note of their own build.
    QCOMPARE(cell(m_archive->selectText(QStringLiteral(
                 "SELECT COUNT(*) FROM PROTOCOLS r WHERE NOT EXISTS (SELECT 1 FROM NOTES n JOIN PROJECTS p "
                 "ON p.PROJID = "
                 "n.PROJID WHERE p.BUILDID = r.OBJECT AND CAST(n.INVNUM AS VARCHAR(20)) = r.TYPE)"))),
             QStringLiteral("0"));
}

void TestAdmin::storeFollowsNamingRules() {
    const auto params = m_archive->selectText(QStringLiteral("SELECT PARAM, NAME FROM DBPARAMS"));
    QMap<int, QString> p;
    for (const QStringList& r : params)
        p[r[0].toInt()] = r[1];
    const QString root = p[1] + QDir::separator() + p[2];
    QCOMPARE(QFileInfo(root).canonicalFilePath(), QFileInfo(m_store).canonicalFilePath());

    // Build folders: Pad3(BKEY) + "_" + the name with quotes and slashes cleaned.
    for (const QStringList& b : m_archive->selectText(QStringLiteral("SELECT BKEY, BNAME FROM BUILDS"))) {
        QString name = b[1];
        name.replace(u'"', u'\'').replace(u'/', u' ').replace(u':', u' ').replace(u'\\', u' ');
        QVERIFY2(QFileInfo(QDir(root).filePath(pad3(b[0].toInt()) + u'_' + name)).isDir(), qPrintable(name));
    }

    // Project folders: prefix + name, never longer than 50 characters.
    int projectFolders = 0;
    const auto projects = m_archive->selectText(QStringLiteral(
        "SELECT b.BKEY, p.PKEY, p.PKIND, p.PNAME FROM PROJECTS p JOIN BUILDS b ON b.BUILDID = p.BUILDID"));
    for (const QStringList& r : projects) {
        const QString build = entryByPrefix(root, pad3(r[0].toInt()));
        QVERIFY(!build.isEmpty());
        const QString prefix = r[1] + u'-' + r[2] + u'_';
        const QString project = entryByPrefix(build, prefix);
        if (project.isEmpty())
            continue;
        ++projectFolders;
        const QString name = QFileInfo(project).fileName();
        QVERIFY2(name.size() <= 50, qPrintable(name));
        QVERIFY2(QString(prefix + r[3]).startsWith(name.trimmed()), qPrintable(name));
    }
    QVERIFY(projectFolders > 0);
    QVERIFY2(projectFolders < projects.size(), "some projects should have no folder");

    auto projectFolder = [&](int bkey, const QString& pkey, const QString& pkind) {
        return entryByPrefix(entryByPrefix(root, pad3(bkey)), pkey + u'-' + pkind + u'_');
    };

    // Note PDFs against F_PDF.
    Tally notes;
    const auto noteRows =
        m_archive->selectText(QStringLiteral("SELECT b.BKEY, p.PKEY, p.PKIND, n.INVNUM, TRIM(n.F_PDF) FROM "
                                             "NOTES n JOIN PROJECTS p ON p.PROJID = n.PROJID "
                                             "JOIN BUILDS b ON b.BUILDID = p.BUILDID"));
    for (const QStringList& r : noteRows) {
        const QString notesFolder = sub(projectFolder(r[0].toInt(), r[1], r[2]), p[3]);
        const QString noteFolder = entryByPrefix(notesFolder, r[3] + u'_');
        const QString pdf = entryByMask(noteFolder, QStringLiteral("*_") + r[3] + QStringLiteral(".pdf"));
        notes.add(r[4] == QStringLiteral("+"), !pdf.isEmpty());
    }
    QVERIFY(notes.markedPresent > 0);
    QVERIFY(notes.markedMissing > 0);
    QVERIFY(notes.unmarkedPresent > 0);
    QVERIFY(notes.unmarkedMissing > 0);

    // Sheet scans against MARK_TIF; source drawings as the sheet rules name them.
    Tally scans;
    int drawings = 0, missingDrawings = 0, sheetFolders = 0;
    const auto sheetRows = m_archive->selectText(QStringLiteral(
        "SELECT b.BKEY, p.PKEY, p.PKIND, d.INVNUM, l.LKEY, TRIM(l.INDICATION), l.NUMLISTS, TRIM(l.MARK_TIF) "
        "FROM LISTS l JOIN DRAFTS d ON d.DRAFTID = l.DRAFTID JOIN PROJECTS p ON p.PROJID = d.PROJID "
        "JOIN BUILDS b ON b.BUILDID = p.BUILDID"));
    bool sawSlash = false, sawNumberOnly = false;
    for (const QStringList& r : sheetRows) {
        const QString drafts = sub(projectFolder(r[0].toInt(), r[1], r[2]), p[5]);
        const QString set = entryByMask(drafts, QStringLiteral("*_") + pad3(r[3].toInt()) + u'*');
        QString safe = r[5];
        safe.replace(u'/', u'_').replace(u'\\', u'_').replace(u'.', u'_');
        sawSlash = sawSlash || r[5].contains(u'/');
        if (r[6] != QStringLiteral("1")) {
            const QString folder = safe.isEmpty() ? QStringLiteral("лист ") + r[4] : safe;
            sheetFolders += QFileInfo(sub(set, folder)).isDir() ? 1 : 0;
            continue;
        }
        sawNumberOnly = sawNumberOnly || r[5].isEmpty();
        const QString dwg = (safe.isEmpty() ? QStringLiteral("лист ") + r[4] : safe) + QStringLiteral(".dwg");
        const QString tif = (safe.isEmpty() ? QStringLiteral("лист") + r[4] : safe) + QStringLiteral(".tif");
        (sub(set, dwg).isEmpty() ? missingDrawings : drawings)++;
        scans.add(r[7] == QStringLiteral("Ц"), !sub(set, tif).isEmpty());
    }
    QVERIFY(sawSlash);
    QVERIFY(sawNumberOnly);
    QVERIFY(sheetFolders > 0);
    QVERIFY(drawings > 0);
    QVERIFY(missingDrawings > 0);
    QVERIFY(scans.markedPresent > 0);
    QVERIFY(scans.markedMissing > 0);
    QVERIFY(scans.unmarkedMissing > 0);

    // Equipment drawings in their position's folder.
    int equipment = 0, equipmentMissing = 0;
    const auto eqRows = m_archive->selectText(QStringLiteral(
        "SELECT b.BKEY, j.PKEY, j.PKIND, p.NAZNACH, p.POSIT, p.INVNUM, d.OBOZN1, d.OBOZN2 FROM DRAFTS2 d "
        "JOIN D2POSIT p ON p.POSITID = d.POSITID JOIN PROJECTS j ON j.PROJID = p.PROJID "
        "JOIN BUILDS b ON b.BUILDID = j.BUILDID"));
    for (const QStringList& r : eqRows) {
        QString posit = r[4];
        posit.replace(u'/', u'_').replace(u'\\', u'_');
        const QString folder =
            sub(sub(projectFolder(r[0].toInt(), r[1], r[2]), p[6]), r[3] + u'_' + posit + u'_' + r[5]);
        const QString name = r[6] + r[7];
        (sub(folder, name + QStringLiteral(".dwg")).isEmpty() && !QFileInfo(sub(folder, name)).isDir()
             ? equipmentMissing
             : equipment)++;
    }
    QVERIFY(equipment > 0);
    QVERIFY(equipmentMissing > 0);

    // Incoming letters: object number + "-" + INVNUM + "_" in the year's folder.
    Tally letters;
    const auto letterRows = m_archive->selectText(QStringLiteral(
        "SELECT SHIFRNOM_VH, INVNUM, EXTRACT(YEAR FROM DATE_RECIVE), TRIM(W_FILE) FROM LETTERVH"));
    for (const QStringList& r : letterRows) {
        const QString year =
            sub(sub(entryByPrefix(root, pad3(r[0].toInt())), p[14]), QStringLiteral("Документы_") + r[2]);
        letters.add(r[3] == QStringLiteral("+"), !entryByPrefix(year, r[0] + u'-' + r[1] + u'_').isEmpty());
    }
    QVERIFY(letters.markedPresent > 0);
    QVERIFY(letters.markedMissing > 0);
    QVERIFY(letters.unmarkedMissing > 0);

    // Outgoing letters and protocols have their folders in the build's folder.
    const auto out = m_archive->selectText(
        QStringLiteral("SELECT FIRST 1 SHIFRNOM, EXTRACT(YEAR FROM DATA) FROM LETTERISH"));
    QVERIFY(QFileInfo(sub(sub(entryByPrefix(root, pad3(out[0][0].toInt())), p[13]),
                          QStringLiteral("Документы_") + out[0][1]))
                .isDir());
    const auto prot = m_archive->selectText(
        QStringLiteral("SELECT FIRST 1 b.BKEY FROM PROTOCOLS r JOIN BUILDS b ON b.BUILDID = r.OBJECT"));
    QVERIFY(QFileInfo(sub(entryByPrefix(root, pad3(prot[0][0].toInt())), p[15])).isDir());

    // Every name in the tree is valid on Windows as well.
    static const QRegularExpression bad(QStringLiteral("[<>:\"|?*\\\\]|[ .]$"));
    for (const QString& path : treeOf(root))
        for (const QString& part : path.split(u'/'))
            QVERIFY2(!bad.match(part).hasMatch(), qPrintable(path));
}

void TestAdmin::storeFilesAreValid() {
    QString pdfPath, tifPath;
    QDirIterator it(m_store, {QStringLiteral("*.pdf"), QStringLiteral("*.tif")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext() && (pdfPath.isEmpty() || tifPath.isEmpty())) {
        const QString f = it.next();
        (f.endsWith(QStringLiteral(".pdf")) ? pdfPath : tifPath) = f;
    }
    QVERIFY(!pdfPath.isEmpty());
    QVERIFY(!tifPath.isEmpty());

    QFile pdfFile(pdfPath);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    const QByteArray pdf = pdfFile.readAll();
    QVERIFY(pdf.startsWith("%PDF-1."));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    // startxref points at the table, and each entry at its object.
    const int sx = pdf.lastIndexOf("startxref");
    const int xref = pdf.mid(sx + 9).trimmed().split('\n').first().toInt();
    QVERIFY(pdf.mid(xref).startsWith("xref"));
    const QList<QByteArray> lines = pdf.mid(xref).split('\n');
    const int count = lines[1].split(' ')[1].toInt();
    QVERIFY(count >= 4);
    for (int i = 1; i < count; ++i) {
        QCOMPARE(lines[2 + i].size(), 19); // 20 bytes with the newline
        QVERIFY(
            pdf.mid(lines[2 + i].left(10).toInt()).startsWith(QByteArray(QByteArray::number(i) + " 0 obj")));
    }
    QVERIFY(pdf.contains("/Type /Page "));

    QFile tifFile(tifPath);
    QVERIFY(tifFile.open(QIODevice::ReadOnly));
    const QByteArray tif = tifFile.readAll();
    const uchar* t = reinterpret_cast<const uchar*>(tif.constData());
    QVERIFY(tif.startsWith("II"));
    QCOMPARE(qFromLittleEndian<quint16>(t + 2), quint16(42));
    const quint32 ifd = qFromLittleEndian<quint32>(t + 4);
    const int entries = qFromLittleEndian<quint16>(t + ifd);
    QMap<int, quint32> tags;
    int lastTag = 0;
    for (int i = 0; i < entries; ++i) {
        const uchar* e = t + ifd + 2 + 12 * i;
        const int tag = qFromLittleEndian<quint16>(e);
        QVERIFY(tag > lastTag); // ascending, as readers require
        lastTag = tag;
        const int type = qFromLittleEndian<quint16>(e + 2);
        tags[tag] = type == 3 ? qFromLittleEndian<quint16>(e + 8) : qFromLittleEndian<quint32>(e + 8);
    }
    for (int required : {256, 257, 259, 262, 273, 278, 279, 282, 283, 296})
        QVERIFY2(tags.contains(required), qPrintable(QString::number(required)));
    QCOMPARE(tags[259], quint32(1)); // uncompressed
    QCOMPARE(tags[279], tags[256] * tags[257]);
    QCOMPARE(quint32(tif.size()), tags[273] + tags[279]);
}

void TestAdmin::demoIsDeterministic() {
    QTemporaryDir dir;
    admin::CreateOptions o = optionsIn(dir.path());
    o.demo = true;
    admin::AdminCommand(m_programDir.path()).create(o);
    auto archive = attach(o.archive);
    auto sprav = attach(o.sprav);

    // DBPARAMS name the store, which differs between the two runs.
    const QStringList tables = kArchiveTables.mid(0, kArchiveTables.size() - 1);
    QCOMPARE(digestOf(*archive, tables), digestOf(*m_archive, tables));
    QCOMPARE(digestOf(*sprav, kReferenceTables), digestOf(*m_sprav, kReferenceTables));
    const QStringList tree = treeOf(o.store);
    QVERIFY(tree.size() > 100);
    QCOMPARE(tree, treeOf(m_store));
}

void TestAdmin::executableCreatesFromDir() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("demo"));
    const QString config = dir.filePath(QStringLiteral("archive.ini"));
    auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
        QProcess p;
        p.setProgram(QStringLiteral(ARCHIVE_ADMIN_EXE));
        p.setArguments(args);
        p.start();
        if (!p.waitForFinished(240000))
            return -1;
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    };
    const QStringList args = {QStringLiteral("create"),   QStringLiteral("--demo"),
                              QStringLiteral("--notes"),  QStringLiteral("40"),
                              QStringLiteral("--dir"),    target,
                              QStringLiteral("--config"), config};
    QByteArray err;
    QCOMPARE(run(args, &err), 0);
    QVERIFY2(err.isEmpty(), err.constData());
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/archive.fdb")));
    QVERIFY(QFileInfo::exists(target + QStringLiteral("/sprav.fdb")));
    QVERIFY(QFileInfo(target + QStringLiteral("/store")).isDir());
    QVERIFY(QDir(target + QStringLiteral("/store")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() >= 6);
    QVERIFY(QFileInfo::exists(config));

    QCOMPARE(run(args, &err), 1);
    QVERIFY2(QString::fromUtf8(err).contains(QStringLiteral("уже существует")), err.constData());
    // A repeated demo replaces the earlier one, store included.
    QVERIFY(QFile(target + QStringLiteral("/store/stale.txt")).open(QIODevice::WriteOnly));
    QCOMPARE(run(args + QStringList{QStringLiteral("--force")}, &err), 0);
    QVERIFY(!QFileInfo::exists(target + QStringLiteral("/store/stale.txt")));
    QVERIFY(QFileInfo(target + QStringLiteral("/store/Письма")).isDir());
    QCOMPARE(run({QStringLiteral("create")}, &err), 2);
    QVERIFY2(QString::fromUtf8(err).contains(QStringLiteral("Не заданы базы данных")), err.constData());
}

ARCHIVE_TEST_MAIN(TestAdmin)

#include "tst_admin.moc"
