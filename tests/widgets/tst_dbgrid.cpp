#include "TempDatabase.h"
#include "TestMain.h"

#include "db/DataSource.h"
#include "db/Database.h"
#include "db/Errors.h"
#include "db/Query.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

#include <memory>

using namespace platform::db;
using namespace platform::widgets;

Q_DECLARE_METATYPE(Qt::MouseButton)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class TestDBGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void columnsFromFieldsOrDefinitions();
    void gridFollowsCursor();
    void cursorFollowsSelection();
    void refusedMoveReturnsSelection_data();
    void refusedMoveReturnsSelection();
    void largeResultIsReadOnDemand();
    void titleClickCarriesButtonAndModifiers_data();
    void titleClickCarriesButtonAndModifiers();
    void titleReleasedElsewhereFiresNothing();
    void editingCellPostsThroughDataSet_data();
    void editingCellPostsThroughDataSet();
    void refusedEditLeavesValueSilently();
    void readOnlyGridAndDataSetDoNotEdit();
    void insertDeleteAndReopenKeepModelInStep();
    void columnOrderAndWidths();
    void ownerDrawnCells();

private:
    std::unique_ptr<Query> openQuery(const QString& sql, bool live = true);

    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_conn;
};

void TestDBGrid::init() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QStringLiteral("create table doc (id integer not null primary key, name varchar(40), "
                                   "amount numeric(15,2));\n"
                                   "insert into doc values (1, 'Первый', 10.5);\n"
                                   "insert into doc values (2, 'Второй', 20);\n"
                                   "insert into doc values (3, 'Третий', null);\n"
                                   "insert into doc values (4, 'Четвертый', 4);\n"
                                   "commit;\n"));
    m_conn = std::make_unique<Database>();
    m_conn->setParams({QStringLiteral("SERVER NAME=") + m_db->path(), QStringLiteral("USER NAME=SYSDBA")});
    m_conn->open();
}

void TestDBGrid::cleanup() {
    m_conn.reset();
    m_db.reset();
}

std::unique_ptr<Query> TestDBGrid::openQuery(const QString& sql, bool live) {
    auto q = std::make_unique<Query>(m_conn.get());
    q->setSql(sql);
    q->setRequestLive(live);
    q->open();
    return q;
}

// Shows a grid and lets the view take its first rows (it asks for them from a zero timer).
static bool showGrid(QWidget& grid, bool activate = false) {
    grid.show();
    if (activate) {
        grid.activateWindow();
        if (!QTest::qWaitForWindowActive(&grid))
            return false;
    } else if (!QTest::qWaitForWindowExposed(&grid)) {
        return false;
    }
    QTest::qWait(20);
    return true;
}

static QString docSql() {
    return QStringLiteral("select * from doc order by id");
}

void TestDBGrid::columnsFromFieldsOrDefinitions() {
    auto q = std::make_unique<Query>(m_conn.get());
    q->setSql(docSql());
    FieldDef hidden;
    hidden.name = QStringLiteral("ID");
    hidden.visible = false;
    q->addField(hidden);
    FieldDef labelled;
    labelled.name = QStringLiteral("NAME");
    labelled.displayLabel = QStringLiteral("Наименование");
    q->addField(labelled);
    q->open();
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);

    QCOMPARE(grid.columnCount(), 2);
    QCOMPARE(grid.dataModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Наименование"));
    QCOMPARE(grid.dataModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("AMOUNT"));
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(0, 0)).toString(), QStringLiteral("Первый"));
    QVERIFY(grid.dataModel()->data(grid.dataModel()->index(0, 1), Qt::TextAlignmentRole).toInt() &
            Qt::AlignRight);

    QFont symbol(QStringLiteral("Symbol"));
    GridColumn amount{QStringLiteral("amount"), QStringLiteral("Сумма"), 77, true, symbol, Qt::AlignCenter};
    GridColumn id{QStringLiteral("ID"), QStringLiteral("Код"), 0, false, std::nullopt, {}};
    GridColumn mark{QString(), QStringLiteral("#"), 20, true, std::nullopt, {}};
    grid.setColumns({amount, id, mark});
    QCOMPARE(grid.columnCount(), 3);
    QCOMPARE(grid.dataModel()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Сумма"));
    QCOMPARE(grid.columnWidth(0), 77);
    QVERIFY(grid.isColumnHidden(1));
    QVERIFY(grid.fieldAt(2) == nullptr);
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(0, 0), Qt::FontRole).value<QFont>().family(),
             symbol.family());
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(0, 0), Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignCenter));
    QCOMPARE(grid.columnOfField(QStringLiteral("Id")), 1);
}

void TestDBGrid::gridFollowsCursor() {
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    QVERIFY(showGrid(grid));
    auto* model = grid.dataModel();
    QCOMPARE(grid.currentIndex().row(), 0);
    QCOMPARE(model->headerData(0, Qt::Vertical).toString(), DataSetModel::browseMarker());

    q->next();
    q->next();
    QCOMPARE(grid.currentIndex().row(), 2);
    QCOMPARE(model->headerData(2, Qt::Vertical).toString(), DataSetModel::browseMarker());
    QVERIFY(model->headerData(0, Qt::Vertical).toString().isEmpty());
    QVERIFY(grid.selectionModel()->isSelected(grid.currentIndex()));

    q->edit();
    QCOMPARE(model->headerData(2, Qt::Vertical).toString(), DataSetModel::editMarker());
    q->cancel();
    QVERIFY(q->locate(QStringLiteral("ID"), 4));
    QCOMPARE(grid.currentIndex().row(), 3);

    grid.setShowIndicator(false);
    QVERIFY(!grid.verticalHeader()->isVisible());
    grid.setRowSelect(true);
    q->first();
    QCOMPARE(grid.currentIndex().row(), 0);
    QVERIFY(grid.selectionModel()->isRowSelected(0, {}));
}

void TestDBGrid::cursorFollowsSelection() {
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    grid.resize(500, 300);
    QVERIFY(showGrid(grid));

    grid.setCurrentIndex(grid.dataModel()->index(2, 1));
    QCOMPARE(q->currentRow(), 2);
    QCOMPARE(q->fieldByName(QStringLiteral("ID"))->asInteger(), 3);

    const QRect cell = grid.visualRect(grid.dataModel()->index(1, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(q->currentRow(), 1);

    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(q->currentRow(), 2);
    QCOMPARE(grid.dataModel()->headerData(2, Qt::Vertical).toString(), DataSetModel::browseMarker());
}

void TestDBGrid::refusedMoveReturnsSelection_data() {
    QTest::addColumn<bool>("abortSilently");
    QTest::newRow("silent abort") << true;
    QTest::newRow("error") << false;
}

void TestDBGrid::refusedMoveReturnsSelection() {
    QFETCH(bool, abortSilently);
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    QSignalSpy failures(&grid, &DBGrid::operationFailed);
    grid.setDataSource(&source);
    grid.resize(500, 300);
    QVERIFY(showGrid(grid));
    q->beforeScroll = [&](DataSet&) {
        if (abortSilently)
            platform::db::abort();
        throw DataSetError(QStringLiteral("Нельзя уйти с записи"));
    };

    const QRect cell = grid.visualRect(grid.dataModel()->index(2, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClick(&grid, Qt::Key_Down);
    QCoreApplication::processEvents();
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(grid.currentIndex().row(), 0);
    QVERIFY(grid.selectionModel()->isSelected(grid.dataModel()->index(0, 0)));
    QVERIFY(!grid.selectionModel()->isSelected(grid.dataModel()->index(2, 0)));
    // An error is handed to the program to show; the silent abort is not.
    QCOMPARE(failures.isEmpty(), abortSilently);
}

void TestDBGrid::largeResultIsReadOnDemand() {
    m_db->exec(QStringLiteral("create table big (id integer not null primary key, name varchar(30))"));
    m_db->exec(QStringLiteral("execute block as declare i integer = 0; begin "
                              "while (i < 50000) do begin "
                              "insert into big values (:i, 'строка ' || :i); i = i + 1; end end"));
    auto q = openQuery(QStringLiteral("select * from big order by id"));
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    grid.resize(600, 400);
    QVERIFY(showGrid(grid));
    grid.grab();
    QCoreApplication::processEvents();
    QVERIFY(!q->allRowsFetched());
    QVERIFY2(q->rowCount() <= 2 * grid.dataModel()->fetchBatch() + 1,
             qPrintable(QString::number(q->rowCount())));
    QCOMPARE(grid.dataModel()->rowCount(), q->rowCount());
    QCOMPARE(grid.dataModel()->data(grid.dataModel()->index(0, 1)).toString(), QStringLiteral("строка 0"));

    // Scrolling to the end reads the next part, still not all of it.
    const int before = q->rowCount();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    QCoreApplication::processEvents();
    QVERIFY(q->rowCount() > before);
    QVERIFY(!q->allRowsFetched());
    QCOMPARE(grid.dataModel()->rowCount(), q->rowCount());

    // A move of the cursor far ahead reads up to it; the grid follows.
    q->moveBy(3000);
    QCOMPARE(grid.dataModel()->rowCount(), q->rowCount());
    QCOMPARE(grid.currentIndex().row(), q->currentRow());
    QCOMPARE(grid.dataModel()->data(grid.currentIndex().siblingAtColumn(0)).toString(),
             QString::number(q->currentRow()));
}

void TestDBGrid::titleClickCarriesButtonAndModifiers_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("left") << 0 << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("second column") << 1 << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("right, shift") << 1 << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("middle, ctrl+alt")
        << 2 << Qt::MiddleButton << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier);
}

void TestDBGrid::titleClickCarriesButtonAndModifiers() {
    QFETCH(int, column);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    grid.resize(600, 300);
    QVERIFY(showGrid(grid));
    // A moved column keeps its index: the click names the column, not the place.
    grid.moveColumn(2, 0);
    QSignalSpy clicks(&grid, &DBGrid::titleClicked);
    QHeaderView* header = grid.horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), button, modifiers, at);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks[0][0].toInt(), column);
    QCOMPARE(clicks[0][1].value<Qt::MouseButton>(), button);
    QCOMPARE(clicks[0][2].value<Qt::KeyboardModifiers>(), modifiers);
}

void TestDBGrid::titleReleasedElsewhereFiresNothing() {
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    grid.resize(600, 300);
    QVERIFY(showGrid(grid));
    QSignalSpy clicks(&grid, &DBGrid::titleClicked);
    QHeaderView* header = grid.horizontalHeader();
    auto centre = [&](int c) {
        return QPoint(header->sectionViewportPosition(c) + header->sectionSize(c) / 2, header->height() / 2);
    };
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, centre(0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, centre(1));
    QCOMPARE(clicks.size(), 0);
    // A press in the cells is no title press.
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {},
                      grid.visualRect(grid.dataModel()->index(0, 1)).center());
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, centre(1));
    QCOMPARE(clicks.size(), 0);
}

void TestDBGrid::editingCellPostsThroughDataSet_data() {
    QTest::addColumn<bool>("byEnter"); // otherwise by moving to another row
    QTest::newRow("enter") << true;
    QTest::newRow("row change") << false;
}

void TestDBGrid::editingCellPostsThroughDataSet() {
    QFETCH(bool, byEnter);
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    grid.resize(600, 300);
    QVERIFY(showGrid(grid, true));
    const QModelIndex cell = grid.dataModel()->index(1, 1);
    grid.setCurrentIndex(cell);
    grid.edit(cell);
    QCOMPARE(q->state(), DataSetState::Edit);
    QCOMPARE(grid.dataModel()->headerData(1, Qt::Vertical).toString(), DataSetModel::editMarker());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("Второй"));
    editor->selectAll();
    for (const QChar c : QStringLiteral("Изменено"))
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
    if (byEnter) {
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::qWait(0); // the delegate commits Enter through a queued call
    } else {
        QTest::keyClick(editor, Qt::Key_Tab); // the value goes to the dataset, the row stays
        QCOMPARE(q->state(), DataSetState::Edit);
        grid.setCurrentIndex(grid.dataModel()->index(3, 1));
    }
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(m_db->scalar(QStringLiteral("select name from doc where id = 2")), QStringLiteral("Изменено"));
    QCOMPARE(grid.dataModel()->data(cell).toString(), QStringLiteral("Изменено"));

    // Typing on a cell opens its editor through the dataset as well.
    const QModelIndex amount = grid.dataModel()->index(0, 2);
    grid.setCurrentIndex(amount);
    QTest::keyClicks(&grid, QStringLiteral("7"));
    editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(q->state(), DataSetState::Edit);
    QTest::keyClicks(editor, QStringLiteral(",25"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(0);
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(m_db->scalar(QStringLiteral("select amount from doc where id = 1")), QStringLiteral("7.25"));
}

void TestDBGrid::refusedEditLeavesValueSilently() {
    auto q = openQuery(docSql());
    int refusals = 0;
    q->beforeEdit = [&](DataSet&) {
        ++refusals;
        platform::db::abort();
    };
    DataSource source(q.get());
    DBGrid grid;
    QSignalSpy failures(&grid, &DBGrid::operationFailed);
    grid.setDataSource(&source);
    grid.resize(600, 300);
    QVERIFY(showGrid(grid, true));
    const QModelIndex cell = grid.dataModel()->index(0, 1);
    grid.setCurrentIndex(cell);
    grid.edit(cell);
    QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget())); // no editor opened
    QTest::keyClicks(&grid, QStringLiteral("zz"));
    QTest::keyClick(&grid, Qt::Key_Return);
    QVERIFY(!grid.dataModel()->setData(cell, QStringLiteral("Другое")));
    QVERIFY(refusals >= 3);
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(grid.dataModel()->data(cell).toString(), QStringLiteral("Первый"));
    QCOMPARE(m_db->scalar(QStringLiteral("select name from doc where id = 1")), QStringLiteral("Первый"));
    QVERIFY(failures.isEmpty());
}

void TestDBGrid::readOnlyGridAndDataSetDoNotEdit() {
    auto readOnly = openQuery(docSql(), false);
    DataSource source(readOnly.get());
    DBGrid grid;
    grid.setDataSource(&source);
    const QModelIndex cell = grid.dataModel()->index(0, 1);
    QVERIFY(!(grid.dataModel()->flags(cell) & Qt::ItemIsEditable));
    QVERIFY(!grid.dataModel()->setData(cell, QStringLiteral("x")));

    auto live = openQuery(docSql());
    DataSource liveSource(live.get());
    grid.setDataSource(&liveSource);
    QVERIFY(grid.dataModel()->flags(cell) & Qt::ItemIsEditable);
    grid.setReadOnly(true);
    QVERIFY(!(grid.dataModel()->flags(cell) & Qt::ItemIsEditable));
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(live->state(), DataSetState::Browse);
}

void TestDBGrid::insertDeleteAndReopenKeepModelInStep() {
    auto q = openQuery(docSql());
    q->fetchMore(100);
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    QVERIFY(showGrid(grid));
    auto* model = grid.dataModel();
    QCOMPARE(model->rowCount(), 4);

    q->setCurrentRow(1);
    q->insert();
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(model->headerData(1, Qt::Vertical).toString(), DataSetModel::insertMarker());
    QVERIFY(model->data(model->index(1, 1)).toString().isEmpty());
    QCOMPARE(model->data(model->index(2, 1)).toString(), QStringLiteral("Второй"));
    q->cancel();
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->data(model->index(1, 1)).toString(), QStringLiteral("Второй"));

    q->append();
    q->fieldByName(QStringLiteral("ID"))->setAsInteger(9);
    q->fieldByName(QStringLiteral("NAME"))->setAsString(QStringLiteral("Новый"));
    QCOMPARE(model->data(model->index(4, 1)).toString(), QStringLiteral("Новый"));
    q->post();
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(grid.currentIndex().row(), 4);

    q->setCurrentRow(0);
    q->deleteRecord();
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->data(model->index(0, 1)).toString(), QStringLiteral("Второй"));
    QCOMPARE(grid.currentIndex().row(), 0);

    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    q->close();
    QCOMPARE(model->rowCount(), 0);
    q->open();
    QVERIFY(resets.size() >= 2);
    QCOMPARE(model->rowCount(), q->rowCount());
    QCOMPARE(model->data(model->index(0, 1)).toString(), QStringLiteral("Второй"));
    QCOMPARE(grid.currentIndex().row(), 0);

    source.setEnabled(false);
    QCOMPARE(model->rowCount(), 0);
    source.setEnabled(true);
    QCOMPARE(model->rowCount(), q->rowCount());
}

void TestDBGrid::columnOrderAndWidths() {
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    QCOMPARE(grid.columnOrder(), (QVector<int>{0, 1, 2}));
    grid.setColumnOrder({2, 0, 1});
    QCOMPARE(grid.columnOrder(), (QVector<int>{2, 0, 1}));
    QCOMPARE(grid.columnPosition(2), 0);
    grid.setColumnWidths({50, 0, 120});
    const QVector<int> widths = grid.columnWidths();
    QCOMPARE(widths[0], 50);
    QVERIFY(widths[1] > 0);
    QCOMPARE(widths[2], 120);

    // Positions out of range and repeated entries are left out.
    grid.setColumnOrder({1, 1, 7, 0});
    QCOMPARE(grid.columnOrder(), (QVector<int>{1, 0, 2}));

    // Reopening the dataset keeps the user's layout.
    q->close();
    q->open();
    QCOMPARE(grid.columnOrder(), (QVector<int>{1, 0, 2}));
    QCOMPARE(grid.columnWidths()[2], 120);
}

void TestDBGrid::ownerDrawnCells() {
    auto q = openQuery(docSql());
    DataSource source(q.get());
    DBGrid grid;
    grid.setDataSource(&source);
    GridColumn mark{QString(), QStringLiteral("#"), 24, true, std::nullopt, {}};
    GridColumn name{QStringLiteral("NAME"), QString(), 0, true, std::nullopt, {}};
    GridColumn amount{QStringLiteral("AMOUNT"), QString(), 0, true, std::nullopt, {}};
    grid.setColumns({mark, name, amount});
    QMap<int, QVariant> amounts;
    int unbound = 0;
    bool currentSeenSelected = false;
    grid.setDrawCellHandler([&](const DrawCellArgs& a) {
        if (!a.field) {
            ++unbound;
            a.painter->fillRect(a.rect, Qt::yellow);
            return true;
        }
        if (a.field->fieldName() == QLatin1String("AMOUNT"))
            amounts[a.row] = a.value;
        if (a.current && a.selected)
            currentSeenSelected = true;
        return false;
    });
    grid.resize(500, 300);
    QVERIFY(showGrid(grid));
    grid.setCurrentIndex(grid.dataModel()->index(1, 2));
    const QImage image = grid.grab().toImage();
    QVERIFY(unbound >= 4);
    QCOMPARE(amounts.value(1).value<Decimal>(), (Decimal{2000, 2}));
    QVERIFY(amounts.value(2).isNull());
    QVERIFY(currentSeenSelected);
    const QRect cell = grid.visualRect(grid.dataModel()->index(0, 0));
    const QPoint inImage = grid.viewport()->mapTo(&grid, cell.center());
    QCOMPARE(QColor(image.pixel(inImage)), QColor(Qt::yellow));
}

ARCHIVE_TEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"
