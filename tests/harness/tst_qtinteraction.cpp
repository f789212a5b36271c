// The production interaction service: how its message boxes are set up, and
// how it runs external programs and hands paths to the desktop.

#include "ModalWatchdog.h"
#include "ScriptedInteraction.h"
#include "TestMain.h"

#include "desktop/ErrorForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using platform::Answer;
using platform::QtInteraction;

Q_DECLARE_METATYPE(platform::Answer)

namespace {

// Acts on the next modal window as the user would, as soon as it shows.
// The window is exempted from the watchdog; if it never shows, the
// watchdog is what ends the wait.
void onNextModal(QObject* context, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, context, [timer, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        ModalWatchdog::allow(modal);
        act(modal);
    });
    timer->start();
}

} // namespace

class TestQtInteraction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serviceSwap();

    void confirmDefaultButton_data();
    void confirmDefaultButton();
    void askAnswers_data();
    void askAnswers();
    void errorShowsDetails();
    void chooserCancelled();

    void openPathRefusesMissing_data();
    void openPathRefusesMissing();

    void runProgram_data();
    void runProgram();
    void runProgramKeepsEventsFlowing();
};

void TestQtInteraction::serviceSwap() {
    platform::IInteraction* before = &platform::interaction();
    auto mine = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* raw = mine.get();

    std::unique_ptr<platform::IInteraction> previous = platform::setInteraction(std::move(mine));
    QCOMPARE(previous.get(), before);
    QCOMPARE(&platform::interaction(), static_cast<platform::IInteraction*>(raw));

    std::unique_ptr<platform::IInteraction> back = platform::setInteraction(std::move(previous));
    QCOMPARE(back.get(), static_cast<platform::IInteraction*>(raw));
    QCOMPARE(&platform::interaction(), before);
}

void TestQtInteraction::confirmDefaultButton_data() {
    QTest::addColumn<bool>("defaultYes");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("answer");
    QTest::newRow("enter, default yes") << true << int(Qt::Key_Return) << true;
    QTest::newRow("enter, default no") << false << int(Qt::Key_Return) << false;
    QTest::newRow("escape, default yes") << true << int(Qt::Key_Escape) << false;
}

void TestQtInteraction::confirmDefaultButton() {
    QFETCH(bool, defaultYes);
    QFETCH(int, key);
    QFETCH(bool, answer);

    QString caption, text;
    QMessageBox::StandardButtons buttons;
    onNextModal(this, [&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        QVERIFY(box);
        caption = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        QTest::keyClick(box, Qt::Key(key));
    });
    QtInteraction service;
    QCOMPARE(
        service.confirm(nullptr, QStringLiteral("Удаление"), QStringLiteral("Удалить чертёж?"), defaultYes),
        answer);
    QCOMPARE(caption, QStringLiteral("Удаление"));
    QCOMPARE(text, QStringLiteral("Удалить чертёж?"));
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
}

void TestQtInteraction::askAnswers_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<Answer>("answer");
    QTest::newRow("yes") << int(QMessageBox::Yes) << Answer::Yes;
    QTest::newRow("no") << int(QMessageBox::No) << Answer::No;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << Answer::Cancel;
    QTest::newRow("escape") << -1 << Answer::Cancel;
}

void TestQtInteraction::askAnswers() {
    QFETCH(int, button);
    QFETCH(Answer, answer);

    onNextModal(this, [&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        QVERIFY(box);
        if (button < 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(QMessageBox::StandardButton(button))->click();
    });
    QtInteraction service;
    QCOMPARE(service.ask(nullptr, QStringLiteral("Save"), QStringLiteral("Save changes?")), answer);
}

void TestQtInteraction::errorShowsDetails() {
    QString caption, shown, detailsShown;
    bool detailsEnabled = false;
    onNextModal(this, [&](QWidget* window) {
        auto* form = qobject_cast<TErrorForm*>(window);
        QVERIFY(form);
        caption = form->windowTitle();
        shown = form->shownText();
        detailsEnabled = form->detailsButton()->isEnabled();
        form->detailsButton()->click();
        detailsShown = form->shownText();
        form->okButton()->click();
    });
    QtInteraction service;
    service.showError(nullptr,
                      {QStringLiteral("Archive"), QStringLiteral("Cannot save"), QStringLiteral("disk full")});
    QCOMPARE(caption, QStringLiteral("Archive"));
    QCOMPARE(shown, QStringLiteral("Cannot save"));
    QVERIFY(detailsEnabled);
    QCOMPARE(detailsShown, QStringLiteral("disk full"));
}

void TestQtInteraction::chooserCancelled() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString title;
    onNextModal(this, [&](QWidget* window) {
        title = window->windowTitle();
        auto* dialog = qobject_cast<QFileDialog*>(window);
        QVERIFY(dialog);
        dialog->reject();
    });
    QtInteraction service;
    QCOMPARE(
        service.chooseSaveFile(nullptr, QStringLiteral("Export to"), dir.path(), QStringLiteral("*.xlsx")),
        QString());
    QCOMPARE(title, QStringLiteral("Export to"));
}

void TestQtInteraction::openPathRefusesMissing_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << QString();
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/drawing.pdf");
}

void TestQtInteraction::openPathRefusesMissing() {
    QFETCH(QString, path);
    QtInteraction service;
    QVERIFY(!service.openPath(path));
}

void TestQtInteraction::runProgram_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("exitCode");

    const QString sh = QStringLiteral("/bin/sh");
    QTest::newRow("exit code") << sh << QStringList{QStringLiteral("-c"), QStringLiteral("exit 3")} << true
                               << 3;
    QTest::newRow("success") << sh << QStringList{QStringLiteral("-c"), QStringLiteral("true")} << true << 0;
    // Input comes from nowhere, so a program that reads it ends at once.
    QTest::newRow("reads input") << sh << QStringList{QStringLiteral("-c"), QStringLiteral("cat")} << true
                                 << 0;
    QTest::newRow("crashes") << sh << QStringList{QStringLiteral("-c"), QStringLiteral("kill -SEGV $$")}
                             << true << -1;
    QTest::newRow("missing program") << QStringLiteral("/nonexistent/viewer") << QStringList() << false << -1;
    QTest::newRow("empty program") << QString() << QStringList() << false << -1;
}

void TestQtInteraction::runProgram() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, started);
    QFETCH(int, exitCode);

    QtInteraction service;
    QElapsedTimer clock;
    clock.start();
    const platform::ProgramResult result = service.runProgram(program, arguments, QString());
    QCOMPARE(result.started, started);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(clock.elapsed() < 10000);
}

void TestQtInteraction::runProgramKeepsEventsFlowing() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    bool tickedWhileRunning = false;
    QTimer::singleShot(50, this, [&] { tickedWhileRunning = true; });

    QtInteraction service;
    const auto result =
        service.runProgram(QStringLiteral("/bin/sh"),
                           {QStringLiteral("-c"), QStringLiteral("sleep 0.4; pwd > where.txt")}, dir.path());
    QVERIFY(result.started);
    QCOMPARE(result.exitCode, 0);
    // Checked before anything else gets to run the event loop.
    QVERIFY(tickedWhileRunning);

    QFile where(dir.filePath(QStringLiteral("where.txt")));
    QVERIFY(where.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(where.readAll()).trimmed(), QDir(dir.path()).canonicalPath());
}

ARCHIVE_TEST_MAIN(TestQtInteraction)
#include "tst_qtinteraction.moc"
