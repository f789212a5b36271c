#include "TestMain.h"

#include "ui/controls/MyEdit.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

const QChar kGroup(0x00A0); // the Russian group separator

QString ru(QString text) {
    return text.replace(u' ', kGroup);
}

// A form with a control between two plain edits, shown and active.
struct Form {
    QWidget window;
    QLineEdit* before;
    QLineEdit* after;
    QWidget* control = nullptr;

    Form() {
        before = new QLineEdit(&window);
        before->setGeometry(150, 10, 90, 25);
    }
    template <typename Edit>
    Edit* add() {
        auto* edit = new Edit(&window);
        edit->move(150, 60);
        control = edit;
        after = new QLineEdit(&window);
        after->setGeometry(150, 110, 90, 25);
        return edit;
    }
    bool show() {
        window.resize(400, 200);
        window.show();
        QApplication::setActiveWindow(&window);
        return QTest::qWaitForWindowActive(&window);
    }
};

double dateValue(int y, int m, int d) {
    return TDEdit::toValue(QDate(y, m, d));
}

} // namespace

class TestMyEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void numberIsShownThroughFormat_data();
    void numberIsShownThroughFormat();
    void numberEntryOnLeaving_data();
    void numberEntryOnLeaving();
    void numberTyping_data();
    void numberTyping();
    void numberEntryIsSelectedOnEntering();

    void dateEntryOnLeaving_data();
    void dateEntryOnLeaving();
    void dateMaskAndEmptyValue();
    void typedDateBecomesValue();

    void keysMoveFocus_data();
    void keysMoveFocus();

    void captionLabel_data();
    void captionLabel();

private:
    QLocale m_savedLocale;
};

void TestMyEdit::initTestCase() {
    m_savedLocale = QLocale();
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestMyEdit::cleanupTestCase() {
    QLocale::setDefault(m_savedLocale);
}

// ----------------------------------------------------------------- TFEdit

void TestMyEdit::numberIsShownThroughFormat_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const QString standard = QStringLiteral(",0.00;(,0.00)");
    QTest::newRow("default format") << 2500.75 << standard << ru("2 500,75");
    QTest::newRow("default format, negative") << -2500.75 << standard << ru("(2 500,75)");
    QTest::newRow("default format, millions") << 1234567.891 << standard << ru("1 234 567,89");
    QTest::newRow("default format, zero") << 0.0 << standard << QStringLiteral("0,00");
    QTest::newRow("a negative that rounds to zero") << -0.001 << standard << QStringLiteral("0,00");
    QTest::newRow("optional decimals") << 1.5 << QStringLiteral("0.##") << QStringLiteral("1,5");
    QTest::newRow("optional decimals, whole") << 2.0 << QStringLiteral("0.##") << QStringLiteral("2");
    QTest::newRow("one section, negative") << -3.0 << QStringLiteral("0") << QStringLiteral("-3");
    QTest::newRow("quoted text") << 5.0 << QStringLiteral("0.00 'руб.'") << QStringLiteral("5,00 руб.");
    QTest::newRow("zero section") << 0.0 << QStringLiteral("0.00;-0.00;'нет'") << QStringLiteral("нет");
}

void TestMyEdit::numberIsShownThroughFormat() {
    QFETCH(double, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    TFEdit edit;
    edit.setDisplayFormat(format);
    edit.setValue(value);
    QCOMPARE(edit.text(), expected);
}

void TestMyEdit::numberEntryOnLeaving_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<double>("expected");
    QTest::addColumn<bool>("rejected");

    const double previous = 3.25;
    QTest::newRow("point read as the decimal comma") << QStringLiteral("1.5") << 1.5 << false;
    QTest::newRow("decimal comma") << QStringLiteral("12,5") << 12.5 << false;
    QTest::newRow("in parentheses") << QStringLiteral("(12,5)") << -12.5 << false;
    QTest::newRow("minus") << QStringLiteral("-7") << -7.0 << false;
    QTest::newRow("several minus signs") << QStringLiteral("7--") << -7.0 << false;
    QTest::newRow("the control's own text") << ru("2 500,75") << 2500.75 << false;
    QTest::newRow("the control's own negative text") << ru("(2 500,75)") << -2500.75 << false;
    QTest::newRow("blanks between digits") << QStringLiteral("1 000") << 1000.0 << false;
    QTest::newRow("leading separator") << QStringLiteral(",5") << 0.5 << false;
    QTest::newRow("empty") << QString() << previous << true;
    QTest::newRow("two separators") << QStringLiteral("1,2.3") << previous << true;
    QTest::newRow("sign only") << QStringLiteral("-") << previous << true;
    QTest::newRow("letters") << QStringLiteral("abc") << previous << true;
}

void TestMyEdit::numberEntryOnLeaving() {
    QFETCH(QString, entry);
    QFETCH(double, expected);
    QFETCH(bool, rejected);

    Form form;
    TFEdit* edit = form.add<TFEdit>();
    edit->setValue(3.25);
    QVERIFY(form.show());
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    QSignalSpy rejections(edit, &TFEdit::entryRejected);
    edit->setText(entry);
    form.after->setFocus();

    QCOMPARE(edit->value(), expected);
    QCOMPARE(rejections.count(), rejected ? 1 : 0);
    QCOMPARE(edit->text(), TFEdit::formatFloat(edit->displayFormat(), expected));
}

void TestMyEdit::numberTyping_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("digits and a point") << QString() << QStringLiteral("1.5") << QStringLiteral("1.5");
    QTest::newRow("a second point") << QString() << QStringLiteral("1.5.") << QStringLiteral("1.5");
    QTest::newRow("a comma after a point") << QString() << QStringLiteral("1.5,") << QStringLiteral("1.5");
    QTest::newRow("a point after a comma")
        << QStringLiteral("1,5") << QStringLiteral(".") << QStringLiteral("1,5");
    QTest::newRow("letters and blanks") << QString() << QStringLiteral("1a 2") << QStringLiteral("12");
    QTest::newRow("parentheses") << QString() << QStringLiteral("(3)") << QStringLiteral("3");
    QTest::newRow("several minus signs") << QString() << QStringLiteral("--3") << QStringLiteral("--3");
}

void TestMyEdit::numberTyping() {
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    Form form;
    TFEdit* edit = form.add<TFEdit>();
    QVERIFY(form.show());
    edit->setFocus();
    edit->setText(start);
    edit->end(false);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), expected);

    // Backspace erases nothing; Delete does.
    edit->setText(QStringLiteral("12"));
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QStringLiteral("12"));
    edit->home(false);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("2"));
}

void TestMyEdit::numberEntryIsSelectedOnEntering() {
    Form form;
    TFEdit* edit = form.add<TFEdit>();
    edit->setValue(42);
    QVERIFY(form.show());
    form.before->setFocus();
    QTest::keyClick(form.before, Qt::Key_Tab);
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->selectedText(), edit->text());
    // Typing replaces the whole entry.
    QTest::keyClicks(edit, QStringLiteral("7"));
    QCOMPARE(edit->text(), QStringLiteral("7"));
}

// ----------------------------------------------------------------- TDEdit

void TestMyEdit::dateEntryOnLeaving_data() {
    QTest::addColumn<double>("initial");
    QTest::addColumn<QString>("entry"); // null: left as shown
    QTest::addColumn<double>("expected");
    QTest::addColumn<QString>("shown");

    const double march5 = dateValue(2024, 3, 5);
    QTest::newRow("digits erased") << march5 << QStringLiteral("") << 0.0 << QStringLiteral("__.__.__");
    QTest::newRow("impossible date") << march5 << QStringLiteral("31.02.24") << march5
                                     << QStringLiteral("05.03.24");
    QTest::newRow("incomplete year") << march5 << QStringLiteral("17.11.2") << march5
                                     << QStringLiteral("05.03.24");
    QTest::newRow("impossible date, no previous")
        << 0.0 << QStringLiteral("31.02.24") << 0.0 << QStringLiteral("__.__.__");
    QTest::newRow("new date") << march5 << QStringLiteral("17.11.23") << dateValue(2023, 11, 17)
                              << QStringLiteral("17.11.23");
    QTest::newRow("one-digit day") << march5 << QStringLiteral("7.11.23") << dateValue(2023, 11, 7)
                                   << QStringLiteral("07.11.23");
    QTest::newRow("year 49 in this century")
        << 0.0 << QStringLiteral("01.01.49") << dateValue(2049, 1, 1) << QStringLiteral("01.01.49");
    QTest::newRow("year 50 in the last one")
        << 0.0 << QStringLiteral("01.01.50") << dateValue(1950, 1, 1) << QStringLiteral("01.01.50");
    // Leaving a date as it was shown never changes it.
    const double withTime = TDEdit::toValue(QDateTime(QDate(2024, 3, 5), QTime(14, 30)));
    QTest::newRow("untouched date with a time")
        << withTime << QString() << withTime << QStringLiteral("05.03.24");
    QTest::newRow("untouched date outside the window")
        << dateValue(1949, 5, 5) << QString() << dateValue(1949, 5, 5) << QStringLiteral("05.05.49");
}

void TestMyEdit::dateEntryOnLeaving() {
    QFETCH(double, initial);
    QFETCH(QString, entry);
    QFETCH(double, expected);
    QFETCH(QString, shown);

    Form form;
    TDEdit* edit = form.add<TDEdit>();
    edit->setValue(initial);
    QVERIFY(form.show());
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    if (!entry.isNull())
        edit->setText(entry);
    form.after->setFocus();
    QCOMPARE(edit->value(), expected);
    QCOMPARE(edit->displayText(), shown);
}

void TestMyEdit::dateMaskAndEmptyValue() {
    Form form;
    TDEdit* edit = form.add<TDEdit>();
    QCOMPARE(edit->value(), 0.0);
    QCOMPARE(edit->displayText(), QStringLiteral("__.__.__"));
    QCOMPARE(edit->width(), 90);
    edit->setValue(dateValue(2024, 3, 5));
    QCOMPARE(edit->displayText(), QStringLiteral("05.03.24"));
    // No date shows the empty mask, and leaving it keeps no date (the day-zero
    // date shown as 30.12.99 would come back as a real date).
    edit->setValue(0);
    QCOMPARE(edit->displayText(), QStringLiteral("__.__.__"));
    QVERIFY(form.show());
    edit->setFocus();
    form.after->setFocus();
    QCOMPARE(edit->value(), 0.0);
}

void TestMyEdit::typedDateBecomesValue() {
    Form form;
    TDEdit* edit = form.add<TDEdit>();
    QSignalSpy changes(edit, &TDEdit::valueChanged);
    QVERIFY(form.show());
    edit->setFocus();
    edit->home(false);
    QTest::keyClicks(edit, QStringLiteral("170323"));
    QCOMPARE(edit->displayText(), QStringLiteral("17.03.23"));
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(form.after->hasFocus());
    QCOMPARE(edit->value(), dateValue(2023, 3, 17));
    QCOMPARE(changes.count(), 1);
}

// --------------------------------------------------------- both controls

void TestMyEdit::keysMoveFocus_data() {
    QTest::addColumn<bool>("dateEdit");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("forward");

    for (bool dateEdit : {false, true}) {
        const char* kind = dateEdit ? "TDEdit" : "TFEdit";
        QTest::addRow("%s, Enter", kind) << dateEdit << int(Qt::Key_Return) << true;
        QTest::addRow("%s, Down", kind) << dateEdit << int(Qt::Key_Down) << true;
        QTest::addRow("%s, Up", kind) << dateEdit << int(Qt::Key_Up) << false;
    }
}

void TestMyEdit::keysMoveFocus() {
    QFETCH(bool, dateEdit);
    QFETCH(int, key);
    QFETCH(bool, forward);

    Form form;
    TFEdit* number = nullptr;
    TDEdit* date = nullptr;
    if (dateEdit) {
        date = form.add<TDEdit>();
        date->setValue(dateValue(2024, 3, 5));
    } else {
        number = form.add<TFEdit>();
        number->setValue(2500.75);
    }
    QVERIFY(form.show());
    form.control->setFocus();
    QVERIFY(form.control->hasFocus());
    QTest::keyClick(form.control, Qt::Key(key));
    QVERIFY((forward ? form.after : form.before)->hasFocus());
    if (date)
        QCOMPARE(date->value(), dateValue(2024, 3, 5));
    else
        QCOMPARE(number->value(), 2500.75);
}

void TestMyEdit::captionLabel_data() {
    QTest::addColumn<bool>("dateEdit");
    QTest::newRow("TFEdit") << false;
    QTest::newRow("TDEdit") << true;
}

void TestMyEdit::captionLabel() {
    QFETCH(bool, dateEdit);

    Form form;
    QLineEdit* edit = nullptr;
    TEditCaption* caption = nullptr;
    if (dateEdit) {
        auto* e = form.add<TDEdit>();
        edit = e;
        caption = e;
    } else {
        auto* e = form.add<TFEdit>();
        edit = e;
        caption = e;
    }
    QVERIFY(form.show());
    QPointer<QLabel> label = caption->label();
    QCOMPARE(caption->gap(), 6);
    QCOMPARE(label->buddy(), edit);
    QCOMPARE(label->parentWidget(), &form.window);

    caption->setLabelCaption(QStringLiteral("&Дата отбора:"));
    QVERIFY(label->isVisible());
    const QRect r = edit->geometry();
    QCOMPARE(label->geometry().right() + 1, r.left() - 6);
    QCOMPARE(label->y(), r.top() + (r.height() - label->height()) / 2);

    caption->setLabelAlignment(laTop);
    QCOMPARE(label->pos(), QPoint(r.left(), r.top() - 6 - label->height()));

    caption->setGap(0);
    QCOMPARE(label->pos(), QPoint(r.left(), r.top() - label->height()));
    try {
        caption->setGap(-1);
        QFAIL("a negative gap was taken");
    } catch (const std::invalid_argument& e) {
        QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("Displayment must be positive."));
    }
    QCOMPARE(caption->gap(), 0);

    // The label follows the edit when it moves, is hidden or changes parent.
    edit->move(200, 150);
    QCOMPARE(label->pos(), QPoint(200, 150 - label->height()));
    edit->hide();
    QVERIFY(!label->isVisible());
    edit->show();
    QWidget other(&form.window);
    other.setGeometry(0, 0, 400, 200);
    other.show();
    edit->setParent(&other);
    edit->show();
    QCOMPARE(label->parentWidget(), &other);
    QVERIFY(label->isVisible());

    // It goes with the edit, though its parent stays.
    delete edit;
    QVERIFY(label.isNull());
}

ARCHIVE_TEST_MAIN(TestMyEdit)
#include "tst_myedit.moc"
