// The error window's two texts and its details button, and the way the
// program's error calls reach the interaction service.

#include "ScriptedInteraction.h"
#include "TestMain.h"

#include "db/RTables.h"
#include "desktop/ErrorForm.h"

#include <QPushButton>
#include <QTest>

class TestErrorForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void togglesBetweenTexts();
    void detailsDisabledWithoutDetails();
    void errorCallsGoThroughTheService();
};

void TestErrorForm::togglesBetweenTexts() {
    TErrorForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("ВНИМАНИЕ!"));
    form.setTexts(QStringLiteral("Ошибка изменения!"),
                  QStringLiteral("lock conflict on no wait transaction"));
    QCOMPARE(form.shownText(), QStringLiteral("Ошибка изменения!"));
    QVERIFY(form.shortButton()->isChecked());
    QVERIFY(form.detailsButton()->isEnabled());
    form.detailsButton()->click();
    QCOMPARE(form.shownText(), QStringLiteral("lock conflict on no wait transaction"));
    QVERIFY(!form.shortButton()->isChecked());
    form.shortButton()->click();
    QCOMPARE(form.shownText(), QStringLiteral("Ошибка изменения!"));
}

void TestErrorForm::detailsDisabledWithoutDetails() {
    TErrorForm form;
    form.setTexts(QStringLiteral("Ошибка отмены!"), QString());
    QVERIFY(!form.detailsButton()->isEnabled());
    QVERIFY(form.shortButton()->isChecked());
}

void TestErrorForm::errorCallsGoThroughTheService() {
    ScriptedInteractionScope ui;
    ui->expectError().expectError();
    ShowErrorWindow(QStringLiteral("Archive"), QStringLiteral("Ошибка подключения к базе данных приложения!"),
                    QStringLiteral("I/O error\r\nArchiveDBName="));
    ShowDataError(QStringLiteral("Ошибка добавления!"), QString());
    QCOMPARE(ui->calls().size(), 2);
    QCOMPARE(ui->calls().at(0).caption, QStringLiteral("Archive"));
    QCOMPARE(ui->calls().at(0).details, QStringLiteral("I/O error\r\nArchiveDBName="));
    QCOMPARE(ui->calls().at(1).caption, QStringLiteral("Orbanel"));
    QCOMPARE(ui->calls().at(1).text, QStringLiteral("Ошибка добавления!"));
}

ARCHIVE_TEST_MAIN(TestErrorForm)
#include "tst_errorform.moc"
