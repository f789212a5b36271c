// Test functions that go wrong on purpose, one at a time: tst_harness runs
// each in its own process and checks that the harness fails it promptly and
// says why. Not registered as a test of its own.

#include "ScriptedInteraction.h"
#include "TestMain.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QTest>

class HarnessUnscripted : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void unscriptedConfirm() {
        const bool yes = platform::interaction().confirm(nullptr, QStringLiteral("Удаление записи"),
                                                         QStringLiteral("Удалить запись?"), true);
        QVERIFY(!yes);
        qInfo("went on after the unscripted confirm");
    }

    void wrongKind() {
        ScriptedInteractionScope ui;
        ui->expectMessage();
        platform::interaction().ask(nullptr, QStringLiteral("Export"), QStringLiteral("Overwrite the file?"));
        // Consume the message so only the mismatch is reported.
        platform::interaction().message(nullptr, QStringLiteral("Export"), QStringLiteral("Done"),
                                        platform::MessageIcon::Information);
    }

    void directMessageBox() {
        QMessageBox::information(nullptr, QStringLiteral("Direct caption"),
                                 QStringLiteral("Shown behind the service's back"));
        qInfo("went on after the message box");
    }

    void directFileDialog() {
        const QString chosen = QFileDialog::getOpenFileName(nullptr, QStringLiteral("Direct chooser"));
        QVERIFY(chosen.isEmpty());
        qInfo("went on after the file dialog");
    }

    void leftoverAnswer() {
        ScriptedInteractionScope ui;
        ui->expectConfirm(true).expectSaveFile(QStringLiteral("/tmp/never-asked.xlsx"));
        QVERIFY(
            platform::interaction().confirm(nullptr, QStringLiteral("Export"), QStringLiteral("Go?"), true));
    }

    void scriptedConfirm() {
        ScriptedInteractionScope ui;
        ui->expectConfirm(true);
        QVERIFY(platform::interaction().confirm(nullptr, QStringLiteral("Удаление записи"),
                                                QStringLiteral("Удалить запись?"), false));
        QCOMPARE(ui->calls().size(), 1);
    }
};

ARCHIVE_TEST_MAIN(HarnessUnscripted)
#include "harness_unscripted.moc"
