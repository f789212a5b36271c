// The demo archive as the program sees it: the data module opens it without
// a word from the schema check, and the document-store lookups find the demo
// store's files, except where the demo left gaps on purpose.

#include "TestMain.h"

#include "AdminCommand.h"

#include "app/ArchiveApplication.h"
#include "app/ArchiveCore.h"
#include "data/DataMod.h"
#include "db/Query.h"
#include "desktop/Interaction.h"

#include <QDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Answers like a user who closes every message and lets the desktop open
// any file; remembers what it was asked.
class RecordingUser : public platform::IInteraction {
public:
    QStringList messages;
    QStringList opened;
    QStringList missingOpened; // asked to open a path that is not there

    void message(QWidget*, const QString&, const QString& text, platform::MessageIcon) override {
        messages << text;
    }
    bool confirm(QWidget*, const QString&, const QString& text, bool) override {
        messages << text;
        return false;
    }
    platform::Answer ask(QWidget*, const QString&, const QString& text) override {
        messages << text;
        return platform::Answer::Cancel;
    }
    void showError(QWidget*, const platform::ErrorReport& report) override { messages << report.text; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString chooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
    int execDialog(QDialog*) override { return QDialog::Rejected; }
    bool openPath(const QString& path) override {
        (QFileInfo::exists(path) ? opened : missingOpened) << path;
        return true;
    }
    platform::ProgramResult runProgram(const QString&, const QStringList&, const QString&) override {
        return {};
    }
};

} // namespace

class TestDemoLookups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programOpensTheDemoAndFindsItsFiles();
};

void TestDemoLookups::programOpensTheDemoAndFindsItsFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    admin::AdminCommand command(dir.path());
    QString errors;
    command.setOutput([](const QString&) {});
    command.setErrors([&errors](const QString& line) { errors += line; });
    const int exitCode =
        command.run({QStringLiteral("archive-admin"), QStringLiteral("create"), QStringLiteral("--demo"),
                     QStringLiteral("--dir"), dir.path(), QStringLiteral("--config"),
                     dir.filePath(QStringLiteral("archive.ini"))});
    QVERIFY2(exitCode == 0 && errors.isEmpty(), qPrintable(errors));

    auto user = std::make_unique<RecordingUser>();
    RecordingUser* answers = user.get();
    auto previous = platform::setInteraction(std::move(user));

    TArchiveCore& core = TArchiveCore::Instance();
    core.Initialize(dir.filePath(QStringLiteral("archive")), {});
    TDM dm;
    core.SetDataModule(&dm);
    QVERIFY(core.Connect());
    QVERIFY2(answers->messages.isEmpty(), qPrintable(answers->messages.join(u'\n')));
    QVERIFY(!core.StoreShare().isEmpty());

    // Every note of every project, through the shared datasets as the main window binds them.
    int found = 0, failed = 0;
    dm.qBuilds()->open();
    for (dm.qBuilds()->first(); !dm.qBuilds()->eof(); dm.qBuilds()->next()) {
        ReopenDetail(dm.qBuilds(), dm.qProjects(), QStringLiteral("BUILDID"));
        for (dm.qProjects()->first(); !dm.qProjects()->eof(); dm.qProjects()->next()) {
            ReopenDetail(dm.qProjects(), dm.qNotes(), QStringLiteral("PROJID"));
            for (dm.qNotes()->first(); !dm.qNotes()->eof(); dm.qNotes()->next()) {
                const int result = TArchiveApplication::Instance().OpenNotePdf(dm.qNotes());
                (result == TArchiveApplication::NotePdfOpened ? found : failed)++;
            }
        }
    }
    QVERIFY2(found > 0, "no note's PDF was found in the demo store");
    QVERIFY2(failed > 0, "the demo store has no gaps for the checks to find");
    QCOMPARE(answers->opened.size(), found);
    QVERIFY2(answers->missingOpened.isEmpty(), qPrintable(answers->missingOpened.join(u'\n')));

    // The marks now tell exactly which notes have their PDF.
    platform::db::Query marks(dm.Base());
    marks.setSql(QStringLiteral("SELECT COUNT(*) FROM NOTES WHERE F_PDF = '+'"));
    marks.open();
    QCOMPARE(int(marks.field(0)->asInteger()), found);
    marks.close();

    // Sheets: drawings and scans of the first sheets of every drawing set.
    platform::db::Query sheets(dm.Base());
    sheets.setSql(QStringLiteral("SELECT LISTID FROM LISTS ORDER BY LISTID ROWS 60"));
    sheets.open();
    int drawings = 0, scans = 0;
    for (; !sheets.eof(); sheets.next()) {
        const int listId = int(sheets.field(0)->asInteger());
        drawings += TArchiveApplication::Instance().OpenSheetDrawing(listId) ? 1 : 0;
        scans += TArchiveApplication::Instance().OpenSheetScan(listId) ? 1 : 0;
    }
    QVERIFY2(drawings > 0 && scans > 0,
             qPrintable(QStringLiteral("%1 drawings, %2 scans").arg(drawings).arg(scans)));
    QVERIFY2(answers->missingOpened.isEmpty(), qPrintable(answers->missingOpened.join(u'\n')));

    core.SetDataModule(nullptr);
    platform::setInteraction(std::move(previous));
}

ARCHIVE_TEST_MAIN(TestDemoLookups)
#include "tst_demolookups.moc"
