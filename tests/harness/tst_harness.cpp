// The test harness itself: the scripted interaction service, the modal
// watchdog, and how both fail a test that meets an unexpected question.

#include "ModalWatchdog.h"
#include "ScriptedInteraction.h"
#include "TestMain.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

using platform::Answer;
using platform::interaction;
using Kind = ScriptedInteraction::Kind;

Q_DECLARE_METATYPE(ScriptedInteraction::Kind)

namespace {

// Makes one call of the given kind and returns what it answered, as text.
QString callOf(Kind kind) {
    switch (kind) {
    case Kind::Message:
        interaction().message(nullptr, QStringLiteral("c"), QStringLiteral("t"),
                              platform::MessageIcon::Information);
        return QStringLiteral("-");
    case Kind::Confirm:
        return interaction().confirm(nullptr, QStringLiteral("c"), QStringLiteral("t"), true)
                   ? QStringLiteral("yes")
                   : QStringLiteral("no");
    case Kind::Ask:
        switch (interaction().ask(nullptr, QStringLiteral("c"), QStringLiteral("t"))) {
        case Answer::Yes:
            return QStringLiteral("yes");
        case Answer::No:
            return QStringLiteral("no");
        case Answer::Cancel:
            return QStringLiteral("cancel");
        }
        return {};
    case Kind::Error:
        interaction().showError(nullptr, {QStringLiteral("c"), QStringLiteral("t"), QStringLiteral("d")});
        return QStringLiteral("-");
    case Kind::OpenFile:
        return interaction().chooseOpenFile(nullptr, QStringLiteral("c"), QStringLiteral("/d"),
                                            QStringLiteral("*"));
    case Kind::SaveFile:
        return interaction().chooseSaveFile(nullptr, QStringLiteral("c"), QStringLiteral("/d"),
                                            QStringLiteral("*"));
    case Kind::Folder:
        return interaction().chooseFolder(nullptr, QStringLiteral("c"), QStringLiteral("/d"));
    case Kind::OpenPath:
        return interaction().openPath(QStringLiteral("/d/f")) ? QStringLiteral("opened")
                                                              : QStringLiteral("not opened");
    case Kind::RunProgram: {
        const auto result = interaction().runProgram(QStringLiteral("p"), {}, {});
        return result.started ? QString::number(result.exitCode) : QStringLiteral("not started");
    }
    }
    return {};
}

} // namespace

class TestHarness : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void environmentIsIsolated();

    void answersInOrderAndCallsRecorded();
    void unscriptedCallGetsSafeAnswer_data();
    void unscriptedCallGetsSafeAnswer();
    void wrongKindKeepsTheScript();
    void scopeFailsOnLeftoversAndRestores();
    void leftoverFromEarlierRowFailsLaterCall_data();
    void leftoverFromEarlierRowFailsLaterCall();

    void watchdog_data();
    void watchdog();

    void harnessProgram_data();
    void harnessProgram();
};

void TestHarness::environmentIsIsolated() {
    QVERIFY(QStandardPaths::isTestModeEnabled());
    QVERIFY(ScriptedInteraction::current());

    const QString home = QDir::homePath();
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings settings(format, scope, QStringLiteral("archive-tests"), QStringLiteral("harness"));
            const QString file = settings.fileName();
            QVERIFY2(file.startsWith(QDir::tempPath()) && !file.startsWith(home + QLatin1Char('/')),
                     qPrintable(file));
        }
    }
}

void TestHarness::answersInOrderAndCallsRecorded() {
    ScriptedInteractionScope ui;
    QVERIFY(ScriptedInteraction::current() == &ui.service());

    platform::ProgramResult finished;
    finished.started = true;
    finished.exitCode = 3;
    ui->expectConfirm(true)
        .expectAsk(Answer::No)
        .expectOpenFile(QStringLiteral("/data/in.xlsx"))
        .expectMessage()
        .expectError()
        .expectConfirm(false)
        .expectRunProgram(finished)
        .expectOpenPath(true);

    QWidget window;
    QVERIFY(
        interaction().confirm(&window, QStringLiteral("Удаление"), QStringLiteral("Удалить чертёж?"), false));
    QCOMPARE(interaction().ask(nullptr, QStringLiteral("Save"), QStringLiteral("Save changes?")), Answer::No);
    QCOMPARE(interaction().chooseOpenFile(nullptr, QStringLiteral("Import"), QStringLiteral("/data"),
                                          QStringLiteral("Excel (*.xlsx)")),
             QStringLiteral("/data/in.xlsx"));
    interaction().message(nullptr, QStringLiteral("Import"), QStringLiteral("12 rows"),
                          platform::MessageIcon::Warning);
    interaction().showError(nullptr,
                            {QStringLiteral("Error"), QStringLiteral("Failed"), QStringLiteral("trace")});
    QVERIFY(!interaction().confirm(nullptr, QStringLiteral("Again"), QStringLiteral("Retry?"), true));
    const auto run = interaction().runProgram(
        QStringLiteral("viewer"), {QStringLiteral("-p"), QStringLiteral("a b.pdf")}, QStringLiteral("/work"));
    QVERIFY(run.started);
    QCOMPARE(run.exitCode, 3);
    QVERIFY(interaction().openPath(QStringLiteral("/data/out.pdf")));

    QCOMPARE(ui->pendingCount(), 0);
    const auto& calls = ui->calls();
    QCOMPARE(calls.size(), 8);
    for (const auto& call : calls)
        QVERIFY(call.scripted);

    QCOMPARE(calls[0].kind, Kind::Confirm);
    QCOMPARE(calls[0].parent, &window);
    QCOMPARE(calls[0].caption, QStringLiteral("Удаление"));
    QCOMPARE(calls[0].text, QStringLiteral("Удалить чертёж?"));
    QCOMPARE(calls[0].defaultYes, false);
    QCOMPARE(calls[5].defaultYes, true);

    QCOMPARE(calls[1].kind, Kind::Ask);
    QCOMPARE(calls[1].text, QStringLiteral("Save changes?"));

    QCOMPARE(calls[2].kind, Kind::OpenFile);
    QCOMPARE(calls[2].dir, QStringLiteral("/data"));
    QCOMPARE(calls[2].filter, QStringLiteral("Excel (*.xlsx)"));
    QCOMPARE(calls[2].path, QStringLiteral("/data/in.xlsx"));

    QCOMPARE(calls[3].icon, platform::MessageIcon::Warning);
    QCOMPARE(calls[4].kind, Kind::Error);
    QCOMPARE(calls[4].details, QStringLiteral("trace"));

    QCOMPARE(calls[6].program, QStringLiteral("viewer"));
    QCOMPARE(calls[6].arguments, QStringList({QStringLiteral("-p"), QStringLiteral("a b.pdf")}));
    QCOMPARE(calls[6].workingDir, QStringLiteral("/work"));

    QCOMPARE(ui->last().kind, Kind::OpenPath);
    QCOMPARE(ui->last().path, QStringLiteral("/data/out.pdf"));

    ui->clear();
    QVERIFY(ui->calls().isEmpty());
}

void TestHarness::unscriptedCallGetsSafeAnswer_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("answer");
    QTest::newRow("message") << Kind::Message << "-";
    QTest::newRow("confirm") << Kind::Confirm << "no";
    QTest::newRow("ask") << Kind::Ask << "cancel";
    QTest::newRow("error") << Kind::Error << "-";
    QTest::newRow("open file") << Kind::OpenFile << "";
    QTest::newRow("save file") << Kind::SaveFile << "";
    QTest::newRow("folder") << Kind::Folder << "";
    QTest::newRow("open path") << Kind::OpenPath << "not opened";
    QTest::newRow("run program") << Kind::RunProgram << "not started";
}

void TestHarness::unscriptedCallGetsSafeAnswer() {
    QFETCH(Kind, kind);
    QFETCH(QString, answer);
    ScriptedInteractionScope ui;

    QEXPECT_FAIL("", "an unscripted call fails the test", Continue);
    const QString given = callOf(kind);
    QCOMPARE(given, answer);
    QCOMPARE(ui->calls().size(), 1);
    QCOMPARE(ui->last().kind, kind);
    QVERIFY(!ui->last().scripted);

    // The same call is answered from the script once there is an answer.
    ui->clear();
    switch (kind) {
    case Kind::Message:
        ui->expectMessage();
        break;
    case Kind::Confirm:
        ui->expectConfirm(true);
        break;
    case Kind::Ask:
        ui->expectAsk(Answer::Yes);
        break;
    case Kind::Error:
        ui->expectError();
        break;
    case Kind::OpenFile:
        ui->expectOpenFile(QStringLiteral("/x"));
        break;
    case Kind::SaveFile:
        ui->expectSaveFile(QStringLiteral("/x"));
        break;
    case Kind::Folder:
        ui->expectFolder(QStringLiteral("/x"));
        break;
    case Kind::OpenPath:
        ui->expectOpenPath(true);
        break;
    case Kind::RunProgram:
        ui->expectRunProgram({true, 0});
        break;
    }
    QVERIFY(callOf(kind) != answer || answer == QLatin1String("-"));
    QVERIFY(ui->last().scripted);
}

void TestHarness::wrongKindKeepsTheScript() {
    ScriptedInteractionScope ui;
    ui->expectMessage().expectConfirm(true);

    QEXPECT_FAIL("", "a confirm while a message is scripted fails the test", Continue);
    QVERIFY(!interaction().confirm(nullptr, QStringLiteral("Delete"), QStringLiteral("Sure?"), true));
    QVERIFY(!ui->last().scripted);
    QCOMPARE(ui->pendingCount(), 2);

    // The script is still there for the calls that match it.
    interaction().message(nullptr, QStringLiteral("Done"), QStringLiteral("Deleted"),
                          platform::MessageIcon::Information);
    QVERIFY(interaction().confirm(nullptr, QStringLiteral("Delete"), QStringLiteral("Sure?"), true));
    QVERIFY(ui->last().scripted);
}

void TestHarness::scopeFailsOnLeftoversAndRestores() {
    ScriptedInteraction* outer = ScriptedInteraction::current();
    QVERIFY(outer);
    {
        ScriptedInteractionScope ui;
        QVERIFY(ScriptedInteraction::current() == &ui.service());
        ui->expectConfirm(true).expectFolder(QStringLiteral("/out"));
        QVERIFY(interaction().confirm(nullptr, QStringLiteral("c"), QStringLiteral("t"), true));
        QEXPECT_FAIL("", "the chooser answer is never used", Continue);
    }
    QVERIFY(ScriptedInteraction::current() == outer);
    QCOMPARE(outer->pendingCount(), 0);
}

void TestHarness::leftoverFromEarlierRowFailsLaterCall_data() {
    QTest::addColumn<bool>("leaveOne");
    QTest::newRow("scripted and left") << true;
    QTest::newRow("called later") << false;
}

void TestHarness::leftoverFromEarlierRowFailsLaterCall() {
    // The service installed by the test main lives across tests; an answer one
    // row leaves behind must not be handed to the next.
    QFETCH(bool, leaveOne);
    ScriptedInteraction* ui = ScriptedInteraction::current();
    QVERIFY(ui);
    if (leaveOne) {
        ui->expectConfirm(true);
        return;
    }
    if (ui->pendingCount() == 0)
        QSKIP("runs after the row that leaves an answer behind");

    ui->expectConfirm(false);
    QEXPECT_FAIL("", "the answer left by the previous row is reported", Continue);
    const bool yes = interaction().confirm(nullptr, QStringLiteral("c"), QStringLiteral("t"), true);
    QCOMPARE(yes, false); // this row's answer, not the stale Yes
    QVERIFY(ui->last().scripted);
    QCOMPARE(ui->pendingCount(), 0);
}

void TestHarness::watchdog_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("caught");
    QTest::newRow("modal dialog") << "modal" << true;
    QTest::newRow("allowed modal dialog") << "allowed" << false;
    QTest::newRow("modal progress dialog") << "progress" << false;
    QTest::newRow("non-modal dialog") << "plain" << false;
}

void TestHarness::watchdog() {
    QFETCH(QString, window);
    QFETCH(bool, caught);

    std::unique_ptr<QDialog> dialog;
    if (window == QLatin1String("progress")) {
        auto progress = std::make_unique<QProgressDialog>();
        progress->setMinimumDuration(0);
        dialog = std::move(progress);
    } else {
        dialog = std::make_unique<QDialog>();
    }
    dialog->setWindowTitle(QStringLiteral("Own dialog"));
    dialog->setModal(window != QLatin1String("plain"));
    if (window == QLatin1String("allowed"))
        ModalWatchdog::allow(dialog.get());
    dialog->show();
    QVERIFY(dialog->isVisible());

    if (caught) {
        QEXPECT_FAIL("", "a modal dialog outside the service fails the test", Continue);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 5000);
        // Had the watchdog only failed the test, the wait above would have
        // taken the expected failure; the window must be gone as well.
        QVERIFY(!dialog->isVisible());
    } else {
        // Long enough for a few looks of the watchdog.
        QTest::qWait(5 * ModalWatchdog::defaultIntervalMs);
        QVERIFY(dialog->isVisible());
    }
}

void TestHarness::harnessProgram_data() {
    QTest::addColumn<QString>("function");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QStringList>("output");

    QTest::newRow("unscripted confirm")
        << "unscriptedConfirm" << false
        << QStringList{QStringLiteral("Unscripted interaction: confirm"), QStringLiteral("Удаление записи"),
                       QStringLiteral("Удалить запись?"),
                       QStringLiteral("went on after the unscripted confirm")};
    QTest::newRow("wrong kind") << "wrongKind" << false
                                << QStringList{QStringLiteral("Unexpected interaction: ask"),
                                               QStringLiteral("Overwrite the file?"),
                                               QStringLiteral("scripted answer is for message")};
    QTest::newRow("direct message box")
        << "directMessageBox" << false
        << QStringList{QStringLiteral("outside the interaction service"), QStringLiteral("QMessageBox"),
                       QStringLiteral("Direct caption"), QStringLiteral("Shown behind the service's back"),
                       QStringLiteral("went on after the message box")};
    QTest::newRow("direct file dialog")
        << "directFileDialog" << false
        << QStringList{QStringLiteral("outside the interaction service"), QStringLiteral("QFileDialog"),
                       QStringLiteral("Direct chooser"), QStringLiteral("went on after the file dialog")};
    QTest::newRow("leftover answer") << "leftoverAnswer" << false
                                     << QStringList{
                                            QStringLiteral("answers were not used"),
                                            QStringLiteral("chooseSaveFile -> \"/tmp/never-asked.xlsx\"")};
    QTest::newRow("scripted confirm")
        << "scriptedConfirm" << true << QStringList{QStringLiteral("PASS   : ")};
}

void TestHarness::harnessProgram() {
    QFETCH(QString, function);
    QFETCH(bool, passes);
    QFETCH(QStringList, output);

    QProcess process;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(HARNESS_UNSCRIPTED_PATH), {function});
    QVERIFY2(process.waitForStarted(5000), qPrintable(process.errorString()));
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        QFAIL(qPrintable(QStringLiteral("%1 hung:\n").arg(function) + QString::fromUtf8(process.readAll())));
    }
    const QString text = QString::fromUtf8(process.readAll());

    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2((process.exitCode() == 0) == passes, qPrintable(text));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    for (const QString& fragment : output)
        QVERIFY2(text.contains(fragment),
                 qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(fragment, text)));
    // The function ran on its own, and it is the one that failed.
    QVERIFY2(text.contains(QStringLiteral("::%1()").arg(function)), qPrintable(text));
    if (!passes)
        QVERIFY2(text.contains(QStringLiteral("FAIL!  : HarnessUnscripted::%1()").arg(function)),
                 qPrintable(text));
}

ARCHIVE_TEST_MAIN(TestHarness)
#include "tst_harness.moc"
