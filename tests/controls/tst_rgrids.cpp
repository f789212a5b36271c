#include "TempDatabase.h"
#include "TestMain.h"

#include "app/RegistrySettings.h"
#include "db/DataSource.h"
#include "db/Database.h"
#include "db/Query.h"
#include "ui/controls/RGrids.h"

#include <QApplication>
#include <QHeaderView>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace platform::db;
using platform::widgets::GridColumn;

Q_DECLARE_METATYPE(Qt::MouseButton)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

namespace {

const QString kPath = QStringLiteral("\\Software\\Archive\\Main");

// A grid over a query of DOC, destroyed grid first.
struct GridFixture {
    std::unique_ptr<Query> query;
    std::unique_ptr<DataSource> source;
    std::unique_ptr<TrDBGrid> grid;
};

QStringList displayedFields(const TrDBGrid& grid) {
    QStringList fields;
    for (int column : grid.columnOrder())
        fields << grid.column(column).fieldName;
    return fields;
}

QString keyOf(const QString& field) {
    return kPath + QStringLiteral("\\Grid\\") + field;
}

} // namespace

class TestRGrids : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void restoreOrder_data();
    void restoreOrder();
    void savedOrderComesBackForEveryPermutation();
    void restoreWidths();
    void saveWritesOneKeyPerField();
    void columnsOnOneFieldRestoreTheirLayout();

    void titleClickReportsColumnIndex_data();
    void titleClickReportsColumnIndex();
    void titleReleasedOnAnotherTitleFiresNothing();

    void tabStaysInRow_data();
    void tabStaysInRow();
    void tabFromCellEditorStaysInRow();

private:
    GridFixture makeGrid(const QStringList& fields, bool designed, bool live = false);
    void writeLayout(const QStringList& fields, const QVector<int>& indexes);

    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_conn;
};

void TestRGrids::initTestCase() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QStringLiteral("create table doc (a integer not null primary key, b varchar(20), "
                                   "c varchar(20), d integer, y varchar(10));\n"
                                   "insert into doc values (1, 'Первый', 'x', 10, 'y');\n"
                                   "insert into doc values (2, 'Второй', 'y', 20, 'y');\n"
                                   "insert into doc values (3, 'Третий', 'z', 30, 'y');\n"
                                   "commit;\n"));
    m_conn = std::make_unique<Database>();
    m_conn->setParams({QStringLiteral("SERVER NAME=") + m_db->path(), QStringLiteral("USER NAME=SYSDBA")});
    m_conn->open();
}

void TestRGrids::cleanupTestCase() {
    m_conn.reset();
    m_db.reset();
}

void TestRGrids::init() {
    auto store = TRegistrySettings::OpenStore();
    store->clear();
    store->sync();
}

GridFixture TestRGrids::makeGrid(const QStringList& fields, bool designed, bool live) {
    GridFixture f;
    f.query = std::make_unique<Query>(m_conn.get());
    f.query->setSql(designed ? QStringLiteral("SELECT * FROM DOC ORDER BY A")
                             : QStringLiteral("SELECT ") + fields.join(QStringLiteral(", ")) +
                                   QStringLiteral(" FROM DOC ORDER BY A"));
    f.query->setRequestLive(live);
    f.source = std::make_unique<DataSource>(f.query.get());
    f.grid = std::make_unique<TrDBGrid>();
    f.grid->setObjectName(QStringLiteral("Grid"));
    if (designed) {
        QVector<GridColumn> columns;
        int width = 50;
        for (const QString& field : fields) {
            GridColumn c;
            c.fieldName = field;
            c.width = width;
            width += 10;
            columns << c;
        }
        f.grid->setColumns(columns);
    }
    f.grid->setDataSource(f.source.get());
    f.query->open();
    return f;
}

void TestRGrids::writeLayout(const QStringList& fields, const QVector<int>& indexes) {
    TRegistrySettings settings;
    for (int i = 0; i < fields.size(); ++i)
        if (indexes[i] != -1)
            QVERIFY(settings.WriteInteger(keyOf(fields[i]), QStringLiteral("Index"), indexes[i]));
}

// --------------------------------------------------------------- layout

void TestRGrids::restoreOrder_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("designed");
    QTest::addColumn<QStringList>("savedFields");
    QTest::addColumn<QVector<int>>("savedIndexes"); // -1: no key
    QTest::addColumn<QStringList>("expected");

    const QStringList abc{"A", "B", "C"};
    const QStringList abcd{"A", "B", "C", "D"};
    for (bool designed : {false, true}) {
        const char* kind = designed ? "designed" : "from fields";
        auto row = [&](const char* name) {
            return &QTest::addRow("%s, %s", name, kind);
        };
        *row("no keys keep the order") << abc << designed << abc << QVector<int>{-1, -1, -1} << abc;
        *row("C A B") << abc << designed << abc << QVector<int>{1, 2, 0} << QStringList{"C", "A", "B"};
        *row("four each one place right")
            << abcd << designed << abcd << QVector<int>{1, 2, 3, 0} << QStringList{"D", "A", "B", "C"};
        *row("four each one place left")
            << abcd << designed << abcd << QVector<int>{3, 0, 1, 2} << QStringList{"B", "C", "D", "A"};
        *row("four reversed") << abcd << designed << abcd << QVector<int>{3, 2, 1, 0}
                              << QStringList{"D", "C", "B", "A"};
    }
    // A position beyond the columns is ignored: that column is not moved.
    QTest::newRow("index 7 of three, first column") << abc << true << abc << QVector<int>{7, 1, 2} << abc;
    QTest::newRow("index 7 of three, middle column")
        << abc << true << abc << QVector<int>{0, 7, 1} << QStringList{"A", "C", "B"};
    // Only the first column claiming a position moves there.
    QTest::newRow("two claims on one position")
        << abc << true << abc << QVector<int>{1, 1, 0} << QStringList{"C", "A", "B"};
    QTest::newRow("a column without key")
        << abc << true << abc << QVector<int>{-1, 1, 0} << QStringList{"C", "B", "A"};
    // A field shown no more: its key is not read, positions are filled up to the columns found.
    QTest::newRow("a saved column gone") << QStringList{"A", "B"} << true << QStringList{"X", "A", "B"}
                                         << QVector<int>{0, 1, 2} << QStringList{"B", "A"};
    // A renamed field: the new name has no key and stays where it is.
    QTest::newRow("a renamed column") << QStringList{"A", "Y", "C"} << true << QStringList{"A", "X", "C"}
                                      << QVector<int>{0, 1, 2} << QStringList{"A", "Y", "C"};
}

void TestRGrids::restoreOrder() {
    QFETCH(QStringList, fields);
    QFETCH(bool, designed);
    QFETCH(QStringList, savedFields);
    QFETCH(QVector<int>, savedIndexes);
    QFETCH(QStringList, expected);

    writeLayout(savedFields, savedIndexes);
    GridFixture f = makeGrid(fields, designed);
    QCOMPARE(displayedFields(*f.grid), fields);
    TRegistrySettings settings;
    f.grid->LoadColumnLayout(settings, kPath);
    QCOMPARE(displayedFields(*f.grid), expected);
}

void TestRGrids::savedOrderComesBackForEveryPermutation() {
    const QStringList fields{"A", "B", "C", "D"};
    QVector<int> order{0, 1, 2, 3};
    do {
        init();
        QVector<int> widths;
        {
            GridFixture f = makeGrid(fields, true);
            f.grid->setColumnOrder(order);
            for (int c = 0; c < 4; ++c)
                f.grid->setColumnWidth(c, 70 + 11 * order[c]);
            widths = f.grid->columnWidths();
            TRegistrySettings settings;
            f.grid->SaveColumnLayout(settings, kPath);
        }
        GridFixture f = makeGrid(fields, true);
        TRegistrySettings settings;
        f.grid->LoadColumnLayout(settings, kPath);
        QCOMPARE(f.grid->columnOrder(), order);
        QCOMPARE(f.grid->columnWidths(), widths);
    } while (std::next_permutation(order.begin(), order.end()));
}

void TestRGrids::restoreWidths() {
    TRegistrySettings settings;
    settings.WriteInteger(keyOf("A"), QStringLiteral("Width"), 120);
    settings.WriteInteger(keyOf("B"), QStringLiteral("Width"), 0);
    settings.WriteInteger(keyOf("C"), QStringLiteral("Width"), -3);
    // D has no key at all.
    GridFixture f = makeGrid({"A", "B", "C", "D"}, true);
    const QVector<int> designed = f.grid->columnWidths();
    f.grid->LoadColumnLayout(settings, kPath);
    QCOMPARE(f.grid->columnWidths(), (QVector<int>{120, designed[1], designed[2], designed[3]}));
    QCOMPARE(displayedFields(*f.grid), (QStringList{"A", "B", "C", "D"}));
    QVERIFY2(!settings.NodeExists(keyOf("D")), "restoring created a key");
}

void TestRGrids::saveWritesOneKeyPerField() {
    GridFixture f = makeGrid({"A", "B", "C"}, true);
    f.grid->setColumnOrder({2, 0, 1});
    f.grid->setColumnWidth(0, 77);
    TRegistrySettings settings;
    f.grid->SaveColumnLayout(settings, kPath);
    const QString root = QStringLiteral("\\Software\\Archive\\Main\\Grid\\");
    QCOMPARE(settings.ReadInteger(root + "C", QStringLiteral("Index"), -1), 0);
    QCOMPARE(settings.ReadInteger(root + "A", QStringLiteral("Index"), -1), 1);
    QCOMPARE(settings.ReadInteger(root + "B", QStringLiteral("Index"), -1), 2);
    QCOMPARE(settings.ReadInteger(root + "A", QStringLiteral("Width"), -1), 77);
    QCOMPARE(settings.ReadInteger(root + "B", QStringLiteral("Width"), -1), f.grid->columnWidth(1));
}

// Two columns on one field share one key: only the first column uses it, so
// a grid's own layout still comes back (sharing it used to put the columns in
// the wrong order and give both the same width).
void TestRGrids::columnsOnOneFieldRestoreTheirLayout() {
    const QStringList fields{"A", "B", "A"};
    QVector<int> widths;
    {
        GridFixture f = makeGrid(fields, true);
        f.grid->setColumnOrder({1, 0, 2});
        f.grid->setColumnWidth(0, 150);
        f.grid->setColumnWidth(2, 40);
        widths = f.grid->columnWidths();
        TRegistrySettings settings;
        f.grid->SaveColumnLayout(settings, kPath);
    }
    GridFixture f = makeGrid(fields, true);
    const int designedThird = f.grid->columnWidth(2);
    TRegistrySettings settings;
    f.grid->LoadColumnLayout(settings, kPath);
    QCOMPARE(f.grid->columnOrder(), (QVector<int>{1, 0, 2}));
    QCOMPARE(f.grid->columnWidth(0), 150);
    QCOMPARE(f.grid->columnWidth(1), widths[1]);
    QCOMPARE(f.grid->columnWidth(2), designedThird);
}

// ---------------------------------------------------------- title clicks

void TestRGrids::titleClickReportsColumnIndex_data() {
    QTest::addColumn<bool>("indicator");
    QTest::addColumn<QVector<int>>("order");
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::newRow("second column, indicator shown")
        << true << QVector<int>{} << 1 << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("second column, no indicator")
        << false << QVector<int>{} << 1 << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("first column, indicator shown")
        << true << QVector<int>{} << 0 << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("right button with Ctrl")
        << true << QVector<int>{} << 2 << Qt::RightButton << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("middle button with Shift")
        << false << QVector<int>{} << 0 << Qt::MiddleButton << Qt::KeyboardModifiers(Qt::ShiftModifier);
    // The column, not its place: the last column moved to the front is still 2.
    QTest::newRow("moved column") << true << QVector<int>{2, 0, 1} << 2 << Qt::LeftButton
                                  << Qt::KeyboardModifiers();
}

void TestRGrids::titleClickReportsColumnIndex() {
    QFETCH(bool, indicator);
    QFETCH(QVector<int>, order);
    QFETCH(int, column);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);

    GridFixture f = makeGrid({"A", "B", "C"}, true);
    TrDBGrid& grid = *f.grid;
    grid.setShowIndicator(indicator);
    grid.setColumnOrder(order);
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    QSignalSpy clicks(&grid, &TrDBGrid::columnClick);
    QSignalSpy downs(&grid, &TrDBGrid::mouseDown);
    QHeaderView* header = grid.horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), button, modifiers, at);

    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks[0][0].toInt(), column);
    QCOMPARE(clicks[0][1].value<Qt::MouseButton>(), button);
    QCOMPARE(clicks[0][2].value<Qt::KeyboardModifiers>(), modifiers);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(downs[0][0].value<Qt::MouseButton>(), button);
    QCOMPARE(downs[0][2].toPoint(), header->viewport()->mapTo(&grid, at));
}

void TestRGrids::titleReleasedOnAnotherTitleFiresNothing() {
    GridFixture f = makeGrid({"A", "B", "C"}, true);
    TrDBGrid& grid = *f.grid;
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy clicks(&grid, &TrDBGrid::columnClick);
    QHeaderView* header = grid.horizontalHeader();
    auto centre = [&](int c) {
        return QPoint(header->sectionViewportPosition(c) + header->sectionSize(c) / 2, header->height() / 2);
    };
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, centre(0));
    QTest::mouseMove(header->viewport(), centre(1));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, centre(1));
    QCOMPARE(clicks.count(), 0);
    // A later click on one title is reported alone.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre(1));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks[0][0].toInt(), 1);
}

// --------------------------------------------------------------- Tab key

void TestRGrids::tabStaysInRow_data() {
    QTest::addColumn<QVector<int>>("order");
    QTest::addColumn<int>("hidden"); // -1: none
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<int>("expected");

    QTest::newRow("Tab on the last column") << QVector<int>{} << -1 << 2 << false << 0;
    QTest::newRow("Shift+Tab on the first column") << QVector<int>{} << -1 << 0 << true << 2;
    QTest::newRow("Tab in the middle") << QVector<int>{} << -1 << 0 << false << 1;
    QTest::newRow("Shift+Tab in the middle") << QVector<int>{} << -1 << 1 << true << 0;
    QTest::newRow("Tab on the last moved column") << QVector<int>{2, 0, 1} << -1 << 1 << false << 2;
    QTest::newRow("Shift+Tab on the first moved column") << QVector<int>{2, 0, 1} << -1 << 2 << true << 1;
    QTest::newRow("Tab before a hidden last column") << QVector<int>{} << 2 << 1 << false << 0;
}

void TestRGrids::tabStaysInRow() {
    QFETCH(QVector<int>, order);
    QFETCH(int, hidden);
    QFETCH(int, start);
    QFETCH(bool, backwards);
    QFETCH(int, expected);

    GridFixture f = makeGrid({"A", "B", "C"}, true);
    TrDBGrid& grid = *f.grid;
    grid.setColumnOrder(order);
    if (hidden >= 0)
        grid.setColumnHidden(hidden, true);
    grid.resize(600, 300);
    grid.show();
    QApplication::setActiveWindow(&grid);
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    QTRY_VERIFY(grid.model()->rowCount() >= 2);
    grid.setCurrentIndex(grid.model()->index(1, start));
    QCOMPARE(f.query->currentRow(), 1);

    if (backwards)
        QTest::keyClick(&grid, Qt::Key_Backtab, Qt::ShiftModifier);
    else
        QTest::keyClick(&grid, Qt::Key_Tab);
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(grid.currentIndex().column(), expected);
    QCOMPARE(f.query->currentRow(), 1);
    QVERIFY(grid.hasFocus());
}

void TestRGrids::tabFromCellEditorStaysInRow() {
    GridFixture f = makeGrid({"A", "B", "C"}, true, true);
    TrDBGrid& grid = *f.grid;
    grid.resize(600, 300);
    grid.show();
    QApplication::setActiveWindow(&grid);
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    QTRY_VERIFY(grid.model()->rowCount() >= 2);
    const QModelIndex last = grid.model()->index(1, 2);
    grid.setCurrentIndex(last);
    grid.edit(last);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != &grid);
    QTest::keyClick(editor, Qt::Key_Tab);
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(grid.currentIndex().column(), 0);
    QCOMPARE(f.query->currentRow(), 1);
    f.query->cancel();
}

ARCHIVE_TEST_MAIN(TestRGrids)
#include "tst_rgrids.moc"
