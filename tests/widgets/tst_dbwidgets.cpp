#include "TempDatabase.h"
#include "TestMain.h"

#include "db/DataSource.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "db/Query.h"
#include "widgets/DBWidgets.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace platform::db;
using namespace platform::widgets;

// Types text key by key into the focus widget (QTest::keyClicks knows only ASCII).
static void typeText(const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c),
                            Qt::NoModifier);
}

// A form with the controls under test and one plain edit to take the focus away.
struct Form {
    QWidget window;
    QLineEdit* other = nullptr;
    Form() {
        window.resize(400, 400);
        auto* layout = new QVBoxLayout(&window);
        other = new QLineEdit(&window);
        layout->addWidget(other);
    }
    template <typename W>
    W* add() {
        auto* w = new W(&window);
        window.layout()->addWidget(w);
        return w;
    }
    bool show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

class TestDBWidgets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void showsCurrentRecordAndFollowsScrolling();
    void typingWritesBack_data();
    void typingWritesBack();
    void readOnlyDataSetRefusesTyping();
    void refusedEditRevertsSilently_data();
    void refusedEditRevertsSilently();
    void valueComboBox_data();
    void valueComboBox();
    void valueComboBoxChoiceStoresValue();
    void checkBoxValues_data();
    void checkBoxValues();
    void checkBoxClickWritesValue();
    void dateEditShowsNullAsEmpty();
    void disabledSourceAndClosedDataSetShowNothing();
    void memoKeepsMaximumLength();
    void labelFollowsEdit();

private:
    std::unique_ptr<Query> openQuery(bool live);
    QString dbValue(const QString& column, int id);

    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_conn;
};

void TestDBWidgets::init() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QStringLiteral(
        "create table doc (id integer not null primary key, name varchar(40), flag char(1), stat integer, "
        "made date, notes varchar(300));\n"
        "insert into doc values (1, 'Первый', 'T', 0, '2024-03-05', 'записка один');\n"
        "insert into doc values (2, 'Второй', 'F', 1, '2023-12-31', 'записка два');\n"
        "insert into doc values (3, 'Третий', null, 5, null, null);\n"
        "commit;\n"));
    m_conn = std::make_unique<Database>();
    m_conn->setParams({QStringLiteral("SERVER NAME=") + m_db->path(), QStringLiteral("USER NAME=SYSDBA")});
    m_conn->open();
}

void TestDBWidgets::cleanup() {
    m_conn.reset();
    m_db.reset();
}

std::unique_ptr<Query> TestDBWidgets::openQuery(bool live) {
    auto q = std::make_unique<Query>(m_conn.get());
    q->setSql(QStringLiteral("select * from doc order by id"));
    q->setRequestLive(live);
    q->open();
    return q;
}

QString TestDBWidgets::dbValue(const QString& column, int id) {
    return m_db->scalar(QStringLiteral("select %1 from doc where id = %2").arg(column).arg(id));
}

void TestDBWidgets::showsCurrentRecordAndFollowsScrolling() {
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    auto* edit = form.add<DBEdit>();
    auto* text = form.add<DBText>();
    auto* check = form.add<DBCheckBox>();
    auto* status = form.add<DBValueComboBox>();
    auto* date = form.add<DBDateEdit>();
    auto* memo = form.add<DBMemo>();
    edit->setDataField(QStringLiteral("NAME"));
    text->setDataField(QStringLiteral("ID"));
    check->setDataField(QStringLiteral("FLAG"));
    check->setValueChecked(QStringLiteral("T"));
    check->setValueUnchecked(QStringLiteral("F"));
    status->setItems(
        {QStringLiteral("Действующий "), QStringLiteral("Изменен"), QStringLiteral("Анулирован")});
    status->setValues({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")});
    status->setDataField(QStringLiteral("STAT"));
    date->setDataField(QStringLiteral("MADE"));
    memo->setDataField(QStringLiteral("NOTES"));
    for (DataAware* w : std::initializer_list<DataAware*>{edit, text, check, status, date, memo})
        w->setDataSource(&source);

    QCOMPARE(edit->text(), QStringLiteral("Первый"));
    QCOMPARE(text->text(), QStringLiteral("1"));
    QVERIFY(check->isChecked());
    QCOMPARE(status->currentText(), QStringLiteral("Действующий "));
    QCOMPARE(date->date(), QDate(2024, 3, 5));
    QCOMPARE(memo->toPlainText(), QStringLiteral("записка один"));

    q->next();
    QCOMPARE(edit->text(), QStringLiteral("Второй"));
    QCOMPARE(text->text(), QStringLiteral("2"));
    QVERIFY(!check->isChecked());
    QCOMPARE(status->currentText(), QStringLiteral("Изменен"));
    QCOMPARE(date->date(), QDate(2023, 12, 31));
    QCOMPARE(memo->toPlainText(), QStringLiteral("записка два"));

    q->last();
    QCOMPARE(edit->text(), QStringLiteral("Третий"));
    QVERIFY(date->isNull());
    QVERIFY(memo->toPlainText().isEmpty());
}

void TestDBWidgets::typingWritesBack_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("leave"); // leave the control; otherwise post while it has the focus
    QTest::newRow("edit, leave") << "edit"
                                 << "NAME" << true;
    QTest::newRow("edit, post") << "edit"
                                << "NAME" << false;
    QTest::newRow("labeled edit") << "labeled"
                                  << "NAME" << true;
    QTest::newRow("memo, leave") << "memo"
                                 << "NOTES" << true;
    QTest::newRow("memo, post") << "memo"
                                << "NOTES" << false;
    QTest::newRow("rich edit") << "rich"
                               << "NOTES" << false;
    QTest::newRow("editable combo") << "combo"
                                    << "NAME" << true;
}

void TestDBWidgets::typingWritesBack() {
    QFETCH(QString, kind);
    QFETCH(QString, field);
    QFETCH(bool, leave);
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    QWidget* widget = nullptr;
    DataAware* aware = nullptr;
    std::function<void()> clearText;
    if (kind == QLatin1String("edit") || kind == QLatin1String("labeled")) {
        auto* w = kind == QLatin1String("edit") ? form.add<DBEdit>() : form.add<DBLabeledEdit>();
        widget = w;
        aware = w;
        clearText = [w] {
            w->selectAll();
        };
    } else if (kind == QLatin1String("memo")) {
        auto* w = form.add<DBMemo>();
        widget = w;
        aware = w;
        clearText = [w] {
            w->selectAll();
        };
    } else if (kind == QLatin1String("rich")) {
        auto* w = form.add<DBRichEdit>();
        widget = w;
        aware = w;
        clearText = [w] {
            w->selectAll();
        };
    } else {
        auto* w = form.add<DBComboBox>();
        w->setEditable(true);
        w->addItems({QStringLiteral("Первый"), QStringLiteral("Другой")});
        widget = w;
        aware = w;
        clearText = [w] {
            w->lineEdit()->selectAll();
        };
    }
    aware->setDataField(field);
    aware->setDataSource(&source);
    q->next(); // the second record
    QVERIFY(form.show());
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus());
    clearText();
    typeText(QStringLiteral("Новое"));
    QCOMPARE(q->state(), DataSetState::Edit);
    if (leave) {
        form.other->setFocus();
        QTRY_VERIFY(form.other->hasFocus());
        QCOMPARE(q->fieldByName(field)->asString(), QStringLiteral("Новое"));
    }
    q->post();
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(dbValue(field, 2), QStringLiteral("Новое"));
    QCOMPARE(dbValue(field, 1),
             field == QLatin1String("NAME") ? QStringLiteral("Первый") : QStringLiteral("записка один"));
}

void TestDBWidgets::readOnlyDataSetRefusesTyping() {
    auto q = openQuery(false);
    DataSource source(q.get());
    Form form;
    auto* edit = form.add<DBEdit>();
    edit->setDataField(QStringLiteral("NAME"));
    edit->setDataSource(&source);
    QVERIFY(form.show());
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QVERIFY(edit->QLineEdit::isReadOnly());
    QTest::keyClicks(edit, QStringLiteral("xyz"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QStringLiteral("Первый"));
    QCOMPARE(q->state(), DataSetState::Browse);

    // The control's own read-only option works on a live dataset as well.
    auto live = openQuery(true);
    DataSource liveSource(live.get());
    edit->setDataSource(&liveSource);
    QVERIFY(!edit->QLineEdit::isReadOnly());
    edit->setReadOnly(true);
    QVERIFY(edit->QLineEdit::isReadOnly());
    QTest::keyClicks(edit, QStringLiteral("xyz"));
    QCOMPARE(live->state(), DataSetState::Browse);
}

void TestDBWidgets::refusedEditRevertsSilently_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("abortSilently"); // the silent abort; otherwise an error of the dataset
    QTest::newRow("edit, abort") << "edit" << true;
    QTest::newRow("edit, error") << "edit" << false;
    QTest::newRow("memo, abort") << "memo" << true;
    QTest::newRow("check box") << "check" << true;
    QTest::newRow("value combo box") << "value" << true;
    QTest::newRow("date edit") << "date" << true;
}

void TestDBWidgets::refusedEditRevertsSilently() {
    QFETCH(QString, kind);
    QFETCH(bool, abortSilently);
    auto q = openQuery(true);
    int refusals = 0;
    q->beforeEdit = [&](DataSet&) {
        ++refusals;
        if (abortSilently)
            platform::db::abort();
        throw DataSetError(QStringLiteral("Запись занята"));
    };
    DataSource source(q.get());
    Form form;
    QWidget* widget = nullptr;
    std::function<void()> userChange;
    std::function<QString()> shown;
    DataAware* aware = nullptr;
    if (kind == QLatin1String("edit")) {
        auto* w = form.add<DBEdit>();
        w->setDataField(QStringLiteral("NAME"));
        userChange = [w] {
            QTest::keyClicks(w, QStringLiteral("xy"));
        };
        shown = [w] {
            return w->text();
        };
        widget = w;
        aware = w;
    } else if (kind == QLatin1String("memo")) {
        auto* w = form.add<DBMemo>();
        w->setDataField(QStringLiteral("NOTES"));
        userChange = [w] {
            QTest::keyClicks(w, QStringLiteral("xy"));
            QTest::keyClick(w, Qt::Key_Return);
        };
        shown = [w] {
            return w->toPlainText();
        };
        widget = w;
        aware = w;
    } else if (kind == QLatin1String("check")) {
        auto* w = form.add<DBCheckBox>();
        w->setDataField(QStringLiteral("FLAG"));
        w->setValueChecked(QStringLiteral("T"));
        w->setValueUnchecked(QStringLiteral("F"));
        w->setText(QStringLiteral("Флаг"));
        userChange = [w] {
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
            QTest::keyClick(w, Qt::Key_Space);
        };
        shown = [w] {
            return QString::number(w->checkState());
        };
        widget = w;
        aware = w;
    } else if (kind == QLatin1String("value")) {
        auto* w = form.add<DBValueComboBox>();
        w->setItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        w->setValues({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")});
        w->setDataField(QStringLiteral("STAT"));
        userChange = [w] {
            QTest::keyClick(w, Qt::Key_Down);
        };
        shown = [w] {
            return w->currentText();
        };
        widget = w;
        aware = w;
    } else {
        auto* w = form.add<DBDateEdit>();
        w->setDataField(QStringLiteral("MADE"));
        userChange = [w] {
            QTest::keyClick(w, Qt::Key_Up);
            QTest::keyClicks(w, QStringLiteral("7"));
        };
        shown = [w] {
            return w->date().toString(Qt::ISODate);
        };
        widget = w;
        aware = w;
    }
    aware->setDataSource(&source);
    QVERIFY(form.show());
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus());
    const QString before = shown();
    QVERIFY(!before.isEmpty());

    userChange();
    QVERIFY(refusals > 0);
    QCOMPARE(shown(), before);
    QCOMPARE(q->state(), DataSetState::Browse);
    form.other->setFocus();
    QTRY_VERIFY(form.other->hasFocus());
    QCOMPARE(shown(), before);
    QCOMPARE(q->state(), DataSetState::Browse);
    // No message: the scripted interaction service fails the test on any question.
}

void TestDBWidgets::valueComboBox_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << "0" << 0;
    QTest::newRow("last") << "2" << 2;
    QTest::newRow("not listed") << "5" << -1;
    QTest::newRow("null") << QString() << -1;
}

void TestDBWidgets::valueComboBox() {
    QFETCH(QString, stored);
    QFETCH(int, index);
    m_db->exec(
        QStringLiteral("update doc set stat = %1 where id = 1").arg(stored.isNull() ? "null" : stored));
    auto q = openQuery(true);
    DataSource source(q.get());
    DBValueComboBox box;
    box.setItems({QStringLiteral("Действующий "), QStringLiteral("Изменен"), QStringLiteral("Анулирован")});
    box.setValues({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")});
    box.setDataField(QStringLiteral("STAT"));
    box.setDataSource(&source);
    QCOMPARE(box.currentIndex(), index);
    if (index < 0)
        QVERIFY(box.currentText().isEmpty());
    else
        QCOMPARE(box.currentText(), box.items().at(index));
}

void TestDBWidgets::valueComboBoxChoiceStoresValue() {
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    auto* box = form.add<DBValueComboBox>();
    box->setItems({QStringLiteral("Действующий "), QStringLiteral("Изменен"), QStringLiteral("Анулирован")});
    box->setValues({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")});
    box->setDataField(QStringLiteral("STAT"));
    box->setDataSource(&source);
    q->last(); // STAT 5: nothing shown
    QCOMPARE(box->currentIndex(), -1);
    QVERIFY(form.show());
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->currentIndex(), 0);
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(q->fieldByName(QStringLiteral("STAT"))->asInteger(), 1);
    q->post();
    QCOMPARE(dbValue(QStringLiteral("STAT"), 3), QStringLiteral("1"));
}

void TestDBWidgets::checkBoxValues_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("T") << "'T'" << true;
    QTest::newRow("t, any case") << "'t'" << true;
    QTest::newRow("F") << "'F'" << false;
    QTest::newRow("null") << "null" << false;
    QTest::newRow("other") << "'X'" << false;
    QTest::newRow("second checked value") << "'Y'" << true;
}

void TestDBWidgets::checkBoxValues() {
    QFETCH(QString, stored);
    QFETCH(bool, checked);
    m_db->exec(QStringLiteral("update doc set flag = %1 where id = 1").arg(stored));
    auto q = openQuery(true);
    DataSource source(q.get());
    DBCheckBox box;
    box.setValueChecked(QStringLiteral("T;Y"));
    box.setValueUnchecked(QStringLiteral("F;N"));
    box.setDataField(QStringLiteral("FLAG"));
    box.setDataSource(&source);
    QCOMPARE(box.isChecked(), checked);
}

void TestDBWidgets::checkBoxClickWritesValue() {
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    auto* box = form.add<DBCheckBox>();
    box->setValueChecked(QStringLiteral("T"));
    box->setValueUnchecked(QStringLiteral("F"));
    box->setDataField(QStringLiteral("FLAG"));
    box->setText(QStringLiteral("Флаг"));
    box->setDataSource(&source);
    QVERIFY(form.show());
    q->last(); // FLAG null: unchecked
    QVERIFY(!box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QVERIFY(box->isChecked());
    QCOMPARE(q->fieldByName(QStringLiteral("FLAG"))->asString(), QStringLiteral("T"));
    q->post();
    QCOMPARE(dbValue(QStringLiteral("FLAG"), 3), QStringLiteral("T"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    q->post();
    QCOMPARE(dbValue(QStringLiteral("FLAG"), 3), QStringLiteral("F"));
}

void TestDBWidgets::dateEditShowsNullAsEmpty() {
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    auto* date = form.add<DBDateEdit>();
    date->setDataField(QStringLiteral("MADE"));
    date->setDataSource(&source);
    QVERIFY(form.show());
    QVERIFY(!date->isNull());
    QVERIFY(date->text().trimmed().size() > 0);
    q->last();
    QVERIFY(date->isNull());
    QVERIFY(date->text().trimmed().isEmpty());

    // Clearing a date writes null.
    q->first();
    date->setFocus();
    QTRY_VERIFY(date->hasFocus());
    date->clearValue();
    QVERIFY(q->fieldByName(QStringLiteral("MADE"))->isNull());
    q->post();
    QVERIFY(dbValue(QStringLiteral("MADE"), 1).isNull());
}

void TestDBWidgets::disabledSourceAndClosedDataSetShowNothing() {
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    auto* edit = form.add<DBEdit>();
    auto* check = form.add<DBCheckBox>();
    auto* text = form.add<DBText>();
    edit->setDataField(QStringLiteral("NAME"));
    check->setDataField(QStringLiteral("FLAG"));
    check->setValueChecked(QStringLiteral("T"));
    text->setDataField(QStringLiteral("NAME"));
    for (DataAware* w : std::initializer_list<DataAware*>{edit, check, text})
        w->setDataSource(&source);
    auto showsRecord = [&] {
        return edit->text() == QStringLiteral("Первый") && text->text() == QStringLiteral("Первый") &&
               check->isChecked() && check->isEnabled() && !edit->QLineEdit::isReadOnly();
    };
    auto showsNothing = [&] {
        return edit->text().isEmpty() && text->text().isEmpty() && !check->isChecked() &&
               !check->isEnabled() && edit->QLineEdit::isReadOnly();
    };
    QVERIFY(showsRecord());
    source.setEnabled(false);
    QVERIFY(showsNothing());
    source.setEnabled(true);
    QVERIFY(showsRecord());
    q->close();
    QVERIFY(showsNothing());
    q->open();
    QVERIFY(showsRecord());

    // Controls disabled on the dataset during a scan catch up once enabled again.
    q->disableControls();
    q->next();
    QCOMPARE(edit->text(), QStringLiteral("Первый"));
    q->enableControls();
    QCOMPARE(edit->text(), QStringLiteral("Второй"));

    // A field the dataset does not have shows nothing and cannot be changed.
    edit->setDataField(QStringLiteral("NO_SUCH_FIELD"));
    QVERIFY(edit->text().isEmpty());
    QVERIFY(edit->QLineEdit::isReadOnly());
}

void TestDBWidgets::memoKeepsMaximumLength() {
    auto q = openQuery(true);
    DataSource source(q.get());
    Form form;
    auto* memo = form.add<DBMemo>();
    auto* rich = form.add<DBRichEdit>();
    memo->setDataField(QStringLiteral("NOTES"));
    rich->setDataField(QStringLiteral("NAME"));
    memo->setMaxLength(14);
    memo->setDataSource(&source);
    rich->setDataSource(&source);
    QCOMPARE(rich->effectiveMaxLength(), 40); // the field's size
    QVERIFY(form.show());
    memo->setFocus();
    QTRY_VERIFY(memo->hasFocus());
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QStringLiteral("abcdef"));
    QCOMPARE(memo->toPlainText(), QStringLiteral("записка одинab"));
    rich->setFocus();
    QTRY_VERIFY(rich->hasFocus());
    rich->moveCursor(QTextCursor::End);
    QTest::keyClicks(rich, QString(50, u'x'));
    QCOMPARE(rich->toPlainText().size(), 40);
    q->post();
    QCOMPARE(dbValue(QStringLiteral("NOTES"), 1), QStringLiteral("записка одинab"));
    QCOMPARE(dbValue(QStringLiteral("NAME"), 1).size(), 40);
}

void TestDBWidgets::labelFollowsEdit() {
    QWidget window;
    window.resize(400, 300);
    auto* edit = new DBLabeledEdit(&window);
    QCOMPARE(edit->label()->parentWidget(), &window);
    QCOMPARE(edit->label()->buddy(), edit);
    edit->setLabelCaption(QStringLiteral("Новый инв. №:"));
    edit->setLabelSpacing(6);
    edit->setGeometry(150, 100, 120, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLabel* label = edit->label();
    QVERIFY(label->isVisible());
    QCOMPARE(label->geometry().right() + 1, 150 - 6);
    QCOMPARE(label->y(), 100 + (24 - label->height()) / 2);

    edit->move(200, 50);
    QCOMPARE(label->geometry().right() + 1, 200 - 6);
    edit->setLabelPosition(LabelPosition::Above);
    QCOMPARE(label->x(), 200);
    QCOMPARE(label->geometry().bottom() + 1, 50 - 6);
    edit->hide();
    QVERIFY(!label->isVisible());
    edit->show();
    QVERIFY(label->isVisible());

    QPointer<QLabel> guard(label);
    delete edit;
    QVERIFY(guard.isNull());
}

ARCHIVE_TEST_MAIN(TestDBWidgets)
#include "tst_dbwidgets.moc"
