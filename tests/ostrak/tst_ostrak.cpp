#include "Ostrak.h"

#include "ScriptedInteraction.h"
#include "TestMain.h"

#include <QtTest>

class TestOstrak : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wordOf_data();
    void wordOf();
    void errorMessage_data();
    void errorMessage();
    void confirm_data();
    void confirm();
};

void TestOstrak::wordOf_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first") << "01.01.2020;31.12.2020" << 1 << "01.01.2020";
    QTest::newRow("second") << "01.01.2020;31.12.2020" << 2 << "31.12.2020";
    QTest::newRow("past the end") << "01.01.2020;31.12.2020" << 3 << "";
    QTest::newRow("zero") << "a;b" << 0 << "";
    QTest::newRow("negative") << "a;b" << -1 << "";
    QTest::newRow("no delimiter") << "alone" << 1 << "alone";
    QTest::newRow("no delimiter, second") << "alone" << 2 << "";
    QTest::newRow("empty word between") << "a;;b" << 2 << "";
    QTest::newRow("word after empty one") << "a;;b" << 3 << "b";
    QTest::newRow("empty first word") << ";b" << 1 << "";
    QTest::newRow("trailing empty word") << "a;" << 2 << "";
    QTest::newRow("blanks kept") << " a ; b " << 2 << " b ";
    QTest::newRow("empty text") << "" << 1 << "";
    QTest::newRow("cyrillic") << QStringLiteral("Иванов;Петров") << 2 << QStringLiteral("Петров");
}

void TestOstrak::wordOf() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QFETCH(QString, expected);
    const QString word = ostrak::WordOf(text, number, QLatin1Char(';'));
    QCOMPARE(word, expected);
}

void TestOstrak::errorMessage_data() {
    QTest::addColumn<QString>("headline");
    QTest::addColumn<QString>("detail");

    QTest::newRow("with detail") << QStringLiteral("Ошибка сохранения!")
                                 << QStringLiteral("violation of PRIMARY or UNIQUE KEY constraint");
    QTest::newRow("empty detail") << QStringLiteral("Ошибка открытия файла!") << QString();
}

void TestOstrak::errorMessage() {
    QFETCH(QString, headline);
    QFETCH(QString, detail);

    ScriptedInteractionScope ui;
    ui->expectError();
    ostrak::ErrorMessage(headline, detail);

    QCOMPARE(ui->calls().size(), 1);
    const ScriptedInteraction::Call& call = ui->last();
    QCOMPARE(call.kind, ScriptedInteraction::Kind::Error);
    QCOMPARE(call.caption, QStringLiteral("Ошибка"));
    QCOMPARE(call.text, headline);
    QCOMPARE(call.details, detail);
}

void TestOstrak::confirm_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("shownCaption");
    QTest::addColumn<bool>("defaultYes");

    const QString caption = QStringLiteral("ПОДТВЕРЖДЕНИЕ!");
    QTest::newRow("yes") << caption << 1 << true << 1 << caption << true;
    QTest::newRow("no") << caption << 1 << false << 0 << caption << true;
    QTest::newRow("no default yes") << caption << 0 << true << 1 << caption << false;
    QTest::newRow("unknown flags ignored") << caption << 0x100 << false << 0 << caption << false;
    QTest::newRow("empty caption") << QString() << 1 << true << 1 << QStringLiteral("Подтверждение") << true;
}

void TestOstrak::confirm() {
    QFETCH(QString, caption);
    QFETCH(int, flags);
    QFETCH(bool, yes);
    QFETCH(int, expected);
    QFETCH(QString, shownCaption);
    QFETCH(bool, defaultYes);

    const QString question = QStringLiteral("Убрать ссылку на документ?");
    ScriptedInteractionScope ui;
    ui->expectConfirm(yes);
    QCOMPARE(ostrak::Confirm(caption, question, flags), expected);

    QCOMPARE(ui->calls().size(), 1);
    const ScriptedInteraction::Call& call = ui->last();
    QCOMPARE(call.kind, ScriptedInteraction::Kind::Confirm);
    QCOMPARE(call.caption, shownCaption);
    QCOMPARE(call.text, question);
    QCOMPARE(call.defaultYes, defaultYes);
}

ARCHIVE_TEST_MAIN(TestOstrak)
#include "tst_ostrak.moc"
