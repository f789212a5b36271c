#include "TempDatabase.h"
#include "TestMain.h"

#include "db/DataSource.h"
#include "db/Database.h"
#include "db/Query.h"

#include <QtTest>

#include <memory>

using namespace platform::db;

Q_DECLARE_METATYPE(platform::db::DataSetState)

namespace {

const char* const kSchema = R"(
create table kind (id integer not null primary key, name varchar(20));
create table doc (id integer not null primary key, name varchar(40), code char(10),
                  kind_id integer, price numeric(15,2));
commit;
)";

void fillRows(TempDatabase& db) {
    db.runScript(QStringLiteral("insert into kind values (1, 'Чертёж');\n"
                                "insert into kind values (2, 'Схема');\n"
                                "insert into doc values (1, 'Альфа', 'A-1', 1, 10.50);\n"
                                "insert into doc values (2, 'бета', 'B-2', 2, 20.00);\n"
                                "insert into doc values (3, 'Бета-2', 'B-3', 1, null);\n"
                                "commit;\n"));
}

std::unique_ptr<Database> connectTo(const TempDatabase& db) {
    auto conn = std::make_unique<Database>();
    conn->setParams({QString(QStringLiteral("SERVER NAME=") + db.path()), QStringLiteral("USER NAME=SYSDBA"),
                     QStringLiteral("PASSWORD=x")});
    conn->open();
    return conn;
}

// Records the names of the dataset's events in the order they fire.
struct EventLog {
    QStringList names;

    void attach(DataSet& ds) {
        const std::pair<DataSet::Event DataSet::*, const char*> events[] = {
            {&DataSet::beforeOpen, "beforeOpen"},     {&DataSet::afterOpen, "afterOpen"},
            {&DataSet::beforeClose, "beforeClose"},   {&DataSet::afterClose, "afterClose"},
            {&DataSet::beforeInsert, "beforeInsert"}, {&DataSet::afterInsert, "afterInsert"},
            {&DataSet::beforeEdit, "beforeEdit"},     {&DataSet::afterEdit, "afterEdit"},
            {&DataSet::beforePost, "beforePost"},     {&DataSet::afterPost, "afterPost"},
            {&DataSet::beforeCancel, "beforeCancel"}, {&DataSet::afterCancel, "afterCancel"},
            {&DataSet::beforeDelete, "beforeDelete"}, {&DataSet::afterDelete, "afterDelete"},
            {&DataSet::beforeScroll, "beforeScroll"}, {&DataSet::afterScroll, "afterScroll"},
            {&DataSet::onNewRecord, "onNewRecord"},
        };
        for (const auto& [member, name] : events) {
            const QString n = QString::fromLatin1(name);
            ds.*member = [this, n](DataSet&) {
                names << n;
            };
        }
    }
};

DataSet::Event DataSet::*eventByName(const QString& name) {
    static const QHash<QString, DataSet::Event DataSet::*> events = {
        {"beforeOpen", &DataSet::beforeOpen},     {"beforeClose", &DataSet::beforeClose},
        {"beforeInsert", &DataSet::beforeInsert}, {"beforeEdit", &DataSet::beforeEdit},
        {"beforePost", &DataSet::beforePost},     {"beforeCancel", &DataSet::beforeCancel},
        {"beforeDelete", &DataSet::beforeDelete}, {"beforeScroll", &DataSet::beforeScroll},
        {"onNewRecord", &DataSet::onNewRecord},
    };
    return events.value(name);
}

// Runs a named sequence of dataset calls ("edit,set,post").
void run(Query& q, const QString& actions) {
    for (const QString& a : actions.split(u',', Qt::SkipEmptyParts)) {
        if (a == u"open")
            q.open();
        else if (a == u"close")
            q.close();
        else if (a == u"first")
            q.first();
        else if (a == u"next")
            q.next();
        else if (a == u"last")
            q.last();
        else if (a == u"edit")
            q.edit();
        else if (a == u"set")
            q.fieldByName(QStringLiteral("NAME"))->setValue(QStringLiteral("изменено"));
        else if (a == u"setId")
            q.fieldByName(QStringLiteral("ID"))->setValue(100);
        else if (a == u"post")
            q.post();
        else if (a == u"cancel")
            q.cancel();
        else if (a == u"insert")
            q.insert();
        else if (a == u"append")
            q.append();
        else if (a == u"delete")
            q.deleteRecord();
        else
            QTest::qFail(qPrintable(QStringLiteral("unknown action ") + a), __FILE__, __LINE__);
    }
}

} // namespace

class TestDataSet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void eventOrder_data();
    void eventOrder();
    void destroyingAnOpenQueryFiresNoEvents();
    void abortInBeforeStepLeavesStateUnchanged_data();
    void abortInBeforeStepLeavesStateUnchanged();
    void defaultsFromNewRecordLeaveRecordUntouched();
    void walkingWithEofAndBof_data();
    void walkingWithEofAndBof();
    void moveBySemantics();
    void disabledControlsHearOnceWhenEnabled();
    void locate_data();
    void locate();
    void bookmarksFollowTheirRow();
    void calculatedAndLookupFields();
    void rowsAreReadOnDemand();
    void fieldsDescribeColumns();

private:
    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_conn;
    std::unique_ptr<Query> newQuery(const QString& sql = QStringLiteral("select * from doc order by id"));
    QStringList names();
};

void TestDataSet::init() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QString::fromUtf8(kSchema));
    m_conn = connectTo(*m_db);
}

void TestDataSet::cleanup() {
    m_conn.reset();
    m_db.reset();
}

std::unique_ptr<Query> TestDataSet::newQuery(const QString& sql) {
    auto q = std::make_unique<Query>(m_conn.get());
    q->setRequestLive(true);
    q->setSql(sql);
    return q;
}

QStringList TestDataSet::names() {
    QStringList list;
    for (const QStringList& row : m_db->select(QStringLiteral("select id, name from doc order by id")))
        list << row.join(u':');
    return list;
}

// ------------------------------------------------------------- event order

void TestDataSet::eventOrder_data() {
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<QString>("before"); // run before the events are recorded
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<DataSetState>("state");

    const DataSetState browse = DataSetState::Browse;
    QTest::newRow("open") << true << ""
                          << "open" << QStringList{"beforeOpen", "afterOpen", "afterScroll"} << browse;
    QTest::newRow("open empty: no scroll") << false << ""
                                           << "open" << QStringList{"beforeOpen", "afterOpen"} << browse;
    QTest::newRow("close") << true << "open"
                           << "close" << QStringList{"beforeClose", "afterClose"} << DataSetState::Inactive;
    QTest::newRow("next") << true << "open"
                          << "next" << QStringList{"beforeScroll", "afterScroll"} << browse;
    QTest::newRow("edit and post") << true << "open"
                                   << "edit,set,post"
                                   << QStringList{"beforeEdit", "afterEdit", "beforePost", "afterPost"}
                                   << browse;
    QTest::newRow("moving posts a modified record")
        << true << "open"
        << "edit,set,next"
        << QStringList{"beforeEdit", "afterEdit", "beforePost", "afterPost", "beforeScroll", "afterScroll"}
        << browse;
    QTest::newRow("moving cancels an untouched record")
        << true << "open"
        << "edit,next" << QStringList{"beforeEdit",  "afterEdit",    "beforeCancel",
                                      "afterCancel", "beforeScroll", "afterScroll"}
        << browse;
    QTest::newRow("insert and cancel")
        << true << "open"
        << "insert,cancel" << QStringList{"beforeInsert", "beforeScroll", "onNewRecord", "afterInsert",
                                          "afterScroll",  "beforeCancel", "afterCancel"}
        << browse;
    QTest::newRow("append and post") << true << "open"
                                     << "append,setId,set,post"
                                     << QStringList{"beforeInsert", "beforeScroll", "onNewRecord",
                                                    "afterInsert",  "afterScroll",  "beforePost",
                                                    "afterPost"}
                                     << browse;
    QTest::newRow("edit on an empty dataset appends")
        << false << "open"
        << "edit" << QStringList{"beforeInsert", "beforeScroll", "onNewRecord", "afterInsert", "afterScroll"}
        << DataSetState::Insert;
    QTest::newRow("delete") << true << "open"
                            << "delete"
                            << QStringList{"beforeDelete", "beforeScroll", "afterDelete", "afterScroll"}
                            << browse;
    QTest::newRow("delete while inserting cancels")
        << true << "open,insert"
        << "delete" << QStringList{"beforeCancel", "afterCancel"} << browse;
    QTest::newRow("edit while editing does nothing") << true << "open,edit"
                                                     << "edit" << QStringList{} << DataSetState::Edit;
}

void TestDataSet::eventOrder() {
    QFETCH(bool, withRows);
    QFETCH(QString, before);
    QFETCH(QString, actions);
    QFETCH(QStringList, events);
    QFETCH(DataSetState, state);

    if (withRows)
        fillRows(*m_db);
    EventLog log;
    auto q = newQuery();
    log.attach(*q);
    run(*q, before);
    log.names.clear();
    run(*q, actions);
    QCOMPARE(log.names, events);
    QCOMPARE(q->state(), state);
}

void TestDataSet::destroyingAnOpenQueryFiresNoEvents() {
    fillRows(*m_db);
    // The handlers belong to an owner that may be half torn down already.
    int fired = 0;
    auto q = newQuery();
    q->open();
    q->beforeClose = [&fired](DataSet&) {
        ++fired;
    };
    q->afterClose = [&fired](DataSet&) {
        ++fired;
    };
    q.reset();
    QCOMPARE(fired, 0);

    // Closing by disconnecting is a close like any other.
    EventLog closed;
    q = newQuery();
    q->open();
    closed.attach(*q);
    m_conn->close();
    QCOMPARE(closed.names, (QStringList{"beforeClose", "afterClose"}));
    QVERIFY(!q->isActive());
}

// ------------------------------------------------------------- silent abort

void TestDataSet::abortInBeforeStepLeavesStateUnchanged_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("action");
    QTest::addColumn<DataSetState>("state");

    QTest::newRow("open") << ""
                          << "beforeOpen"
                          << "open" << DataSetState::Inactive;
    QTest::newRow("close") << "open"
                           << "beforeClose"
                           << "close" << DataSetState::Browse;
    QTest::newRow("edit") << "open"
                          << "beforeEdit"
                          << "edit" << DataSetState::Browse;
    QTest::newRow("insert") << "open"
                            << "beforeInsert"
                            << "insert" << DataSetState::Browse;
    QTest::newRow("append in new record") << "open"
                                          << "onNewRecord"
                                          << "append" << DataSetState::Browse;
    QTest::newRow("post") << "open,edit,set"
                          << "beforePost"
                          << "post" << DataSetState::Edit;
    QTest::newRow("post on move") << "open,edit,set"
                                  << "beforePost"
                                  << "next" << DataSetState::Edit;
    QTest::newRow("cancel") << "open,edit,set"
                            << "beforeCancel"
                            << "cancel" << DataSetState::Edit;
    QTest::newRow("delete") << "open"
                            << "beforeDelete"
                            << "delete" << DataSetState::Browse;
    QTest::newRow("scroll") << "open,next"
                            << "beforeScroll"
                            << "next" << DataSetState::Browse;
    QTest::newRow("scroll to first") << "open,next"
                                     << "beforeScroll"
                                     << "first" << DataSetState::Browse;
}

void TestDataSet::abortInBeforeStepLeavesStateUnchanged() {
    QFETCH(QString, before);
    QFETCH(QString, handler);
    QFETCH(QString, action);
    QFETCH(DataSetState, state);

    fillRows(*m_db);
    const QStringList stored = names();
    auto q = newQuery();
    run(*q, before);
    const int row = q->currentRow();
    const int rows = q->isActive() ? q->recordCount() : 0;
    const QVariant name = q->isActive() ? q->fieldByName("NAME")->value() : QVariant();

    q.get()->*eventByName(handler) = [](DataSet&) {
        platform::db::abort();
    };
    QVERIFY_THROWS_EXCEPTION(Abort, run(*q, action));

    QCOMPARE(q->state(), state);
    QCOMPARE(q->currentRow(), row);
    QCOMPARE(q->isActive() ? q->recordCount() : 0, rows);
    if (q->isActive())
        QCOMPARE(q->fieldByName("NAME")->value(), name);
    QCOMPARE(names(), stored);

    // The refusal is not sticky: without the handler the operation goes through.
    q.get()->*eventByName(handler) = nullptr;
    run(*q, action);
}

void TestDataSet::defaultsFromNewRecordLeaveRecordUntouched() {
    fillRows(*m_db);
    auto q = newQuery();
    q->onNewRecord = [](DataSet& ds) {
        ds.fieldByName("NAME")->setValue(QStringLiteral("по умолчанию"));
    };
    q->open();
    q->append();
    QCOMPARE(q->fieldByName("NAME")->asString(), QStringLiteral("по умолчанию"));
    QVERIFY(!q->isModified());
    // Moving away from a record nobody typed into drops it instead of posting it.
    q->first();
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(q->recordCount(), 3);
    QCOMPARE(m_db->scalar("select count(*) from doc"), QStringLiteral("3"));

    // A value typed after the defaults makes it a record to post.
    q->append();
    q->fieldByName("ID")->setValue(4);
    QVERIFY(q->isModified());
    q->first();
    QCOMPARE(m_db->scalar("select name from doc where id = 4"), QStringLiteral("по умолчанию"));
}

// ---------------------------------------------------------------- moving

void TestDataSet::walkingWithEofAndBof_data() {
    QTest::addColumn<int>("rows");
    QTest::newRow("empty") << 0;
    QTest::newRow("one row") << 1;
    QTest::newRow("three rows") << 3;
}

void TestDataSet::walkingWithEofAndBof() {
    QFETCH(int, rows);
    QList<int> ids;
    for (int i = 1; i <= rows; ++i) {
        m_db->exec(QStringLiteral("insert into doc (id, name) values (%1, 'r%1')").arg(i));
        ids << i;
    }
    auto q = newQuery();
    q->open();
    QVERIFY(q->bof());
    QCOMPARE(q->eof(), rows == 0);
    QCOMPARE(q->isEmpty(), rows == 0);

    QList<int> forward;
    for (q->first(); !q->eof(); q->next())
        forward << int(q->fieldByName("ID")->asInteger());
    QCOMPARE(forward, ids);
    // Eof: the cursor stays on the last row.
    QCOMPARE(q->currentRow(), rows - 1);
    QCOMPARE(q->bof(), rows == 0);

    QList<int> backward;
    for (q->last(); !q->bof(); q->prior())
        backward.prepend(int(q->fieldByName("ID")->asInteger()));
    QCOMPARE(backward, ids);
    QCOMPARE(q->currentRow(), rows == 0 ? -1 : 0);
    QCOMPARE(q->eof(), rows == 0);
}

void TestDataSet::moveBySemantics() {
    fillRows(*m_db);
    auto q = newQuery();
    q->open();
    QCOMPARE(q->moveBy(10), 2);
    QVERIFY(q->eof());
    QVERIFY(!q->bof());
    QCOMPARE(q->fieldByName("ID")->asInteger(), 3);
    QCOMPARE(q->moveBy(1), 0); // already at the end
    QCOMPARE(q->moveBy(-1), -1);
    QVERIFY(!q->eof());
    QCOMPARE(q->moveBy(-10), -1);
    QVERIFY(q->bof());
    QCOMPARE(q->fieldByName("ID")->asInteger(), 1);

    q->last();
    QVERIFY(q->eof());
    QVERIFY(!q->bof());
    q->first();
    QVERIFY(q->bof());
    QVERIFY(!q->eof());
    q->setCurrentRow(1);
    QVERIFY(!q->bof() && !q->eof());
    QCOMPARE(q->fieldByName("ID")->asInteger(), 2);
}

// ---------------------------------------------------------------- controls

void TestDataSet::disabledControlsHearOnceWhenEnabled() {
    fillRows(*m_db);
    auto q = newQuery();
    DataSource source(q.get());
    QMap<QString, int> heard;
    connect(&source, &DataSource::dataChanged, this, [&] { ++heard["dataChanged"]; });
    connect(&source, &DataSource::dataSetChanged, this, [&] { ++heard["dataSetChanged"]; });
    connect(&source, &DataSource::stateChanged, this, [&] { ++heard["stateChanged"]; });
    connect(&source, &DataSource::scrolled, this, [&] { ++heard["scrolled"]; });
    connect(&source, &DataSource::rowsFetched, this, [&] { ++heard["rowsFetched"]; });
    q->open();
    QVERIFY(heard.value("dataSetChanged") > 0);
    QVERIFY(heard.value("stateChanged") > 0);

    heard.clear();
    q->next();
    QVERIFY(heard.value("scrolled") == 1);

    heard.clear();
    q->disableControls();
    q->disableControls(); // the calls nest
    for (q->first(); !q->eof(); q->next())
        ;
    q->edit();
    q->fieldByName("NAME")->setValue(QStringLiteral("x"));
    q->post();
    q->enableControls();
    QVERIFY(q->controlsDisabled());
    QVERIFY2(heard.isEmpty(), qPrintable(heard.keys().join(u',')));
    q->enableControls();
    QVERIFY(!q->controlsDisabled());
    QCOMPARE(heard.value("dataSetChanged"), 1);
    QCOMPARE(heard.value("scrolled"), 0);
    QCOMPARE(heard.value("stateChanged"), 0); // browse before, browse after

    // A state that changed behind disabled controls is told as well
    // (a navigator enables its buttons by it).
    heard.clear();
    q->disableControls();
    q->edit();
    q->enableControls();
    QCOMPARE(heard.value("dataSetChanged"), 1);
    QCOMPARE(heard.value("stateChanged"), 1);
    QCOMPARE(source.state(), DataSetState::Edit);
    q->cancel();

    // Nothing happened while disabled: nothing to tell.
    heard.clear();
    q->disableControls();
    q->enableControls();
    QVERIFY(heard.isEmpty());
}

// ----------------------------------------------------------------- finding

void TestDataSet::locate_data() {
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("id"); // 0: not found

    const int ci = int(LocateOption::CaseInsensitive);
    const int partial = int(LocateOption::PartialKey);
    QTest::newRow("exact") << "NAME" << QVariantList{QStringLiteral("бета")} << 0 << 2;
    QTest::newRow("exact is case-sensitive") << "NAME" << QVariantList{QStringLiteral("Бета")} << 0 << 0;
    QTest::newRow("case-insensitive Cyrillic") << "name" << QVariantList{QStringLiteral("БЕТА-2")} << ci << 3;
    QTest::newRow("partial") << "NAME" << QVariantList{QStringLiteral("Бе")} << partial << 3;
    QTest::newRow("partial, case-insensitive")
        << "NAME" << QVariantList{QStringLiteral("бе")} << (ci | partial) << 2;
    QTest::newRow("several fields") << "KIND_ID;NAME" << QVariantList{1, QStringLiteral("бета-2")} << ci << 3;
    QTest::newRow("several fields, no row has both")
        << "KIND_ID;NAME" << QVariantList{2, QStringLiteral("Альфа")} << 0 << 0;
    QTest::newRow("number given as text") << "ID" << QVariantList{QStringLiteral("2")} << 0 << 2;
    QTest::newRow("char column, trimmed") << "CODE" << QVariantList{QStringLiteral("B-3")} << 0 << 3;
    QTest::newRow("numeric") << "PRICE" << QVariantList{20} << 0 << 2;
    QTest::newRow("null") << "PRICE" << QVariantList{QVariant()} << 0 << 3;
}

void TestDataSet::locate() {
    QFETCH(QString, fields);
    QFETCH(QVariantList, values);
    QFETCH(int, options);
    QFETCH(int, id);

    fillRows(*m_db);
    auto q = newQuery();
    q->open();
    q->next();
    const bool found = q->locate(fields, values, LocateOptions(options));
    QCOMPARE(found, id != 0);
    // Not found: the cursor stays where it was.
    QCOMPARE(q->fieldByName("ID")->asInteger(), found ? id : 2);
    if (!found)
        return;
    // Lookup finds the same row without moving.
    q->first();
    if (options == 0)
        QCOMPARE(q->lookup(fields, values, "ID").toInt(), id);
    QCOMPARE(q->fieldByName("ID")->asInteger(), 1);
}

void TestDataSet::bookmarksFollowTheirRow() {
    fillRows(*m_db);
    auto q = newQuery();
    q->open();
    q->next();
    const Bookmark second = q->bookmark();
    q->next();
    const Bookmark third = q->bookmark();
    QVERIFY(second != 0 && third != 0 && second != third);

    // A row inserted before it does not change what the bookmark points at.
    q->first();
    q->insert();
    q->fieldByName("ID")->setValue(10);
    q->post();
    q->gotoBookmark(second);
    QCOMPARE(q->fieldByName("ID")->asInteger(), 2);
    QCOMPARE(q->currentRow(), 2);

    q->deleteRecord();
    QVERIFY(!q->bookmarkValid(second));
    QVERIFY(q->bookmarkValid(third));
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->gotoBookmark(second));
    q->gotoBookmark(third);
    QCOMPARE(q->fieldByName("ID")->asInteger(), 3);

    // Bookmarks belong to one opening.
    q->close();
    q->open();
    QVERIFY(!q->bookmarkValid(third));
}

// ------------------------------------------------------ calculated fields

void TestDataSet::calculatedAndLookupFields() {
    fillRows(*m_db);
    auto kinds = newQuery(QStringLiteral("select id, name from kind"));
    kinds->open();
    auto q = newQuery();

    FieldDef lookup;
    lookup.name = QStringLiteral("KIND_NAME");
    lookup.kind = FieldKind::Lookup;
    lookup.type = FieldType::String;
    lookup.lookupDataSet = kinds.get();
    lookup.lookupKeyFields = QStringLiteral("ID");
    lookup.lookupResultField = QStringLiteral("NAME");
    lookup.keyFields = QStringLiteral("KIND_ID");
    Field* kindName = q->addField(lookup);

    FieldDef calc;
    calc.name = QStringLiteral("TITLE");
    calc.kind = FieldKind::Calculated;
    calc.type = FieldType::String;
    Field* title = q->addField(calc);
    int calls = 0;
    q->onCalcFields = [&](DataSet& ds) {
        ++calls;
        ds.fieldByName("TITLE")->setValue(QString(ds.fieldByName("NAME")->asString() + QStringLiteral(" (") +
                                                  ds.fieldByName("KIND_NAME")->asString() + u')'));
    };

    q->open();
    // Calculated fields come after the columns.
    QCOMPARE(q->fieldNames().mid(5), (QStringList{"KIND_NAME", "TITLE"}));
    QStringList titles;
    for (; !q->eof(); q->next())
        titles << title->asString();
    QCOMPARE(titles, (QStringList{"Альфа (Чертёж)", "бета (Схема)", "Бета-2 (Чертёж)"}));
    // A grid reads them by row without moving the cursor.
    QCOMPARE(q->valueAt(1, kindName).toString(), QStringLiteral("Схема"));
    QCOMPARE(q->currentRow(), 2);
    // Worked out once a row, not again on every read.
    const int before = calls;
    q->first();
    title->asString();
    kindName->asString();
    QCOMPARE(calls, before);

    // Worked out again while editing, and kept by post or dropped by cancel.
    q->edit();
    q->fieldByName("KIND_ID")->setValue(2);
    QCOMPARE(kindName->asString(), QStringLiteral("Схема"));
    QCOMPARE(title->asString(), QStringLiteral("Альфа (Схема)"));
    q->cancel();
    QCOMPARE(title->asString(), QStringLiteral("Альфа (Чертёж)"));
    q->edit();
    q->fieldByName("NAME")->setValue(QStringLiteral("Гамма"));
    q->post();
    QCOMPARE(title->asString(), QStringLiteral("Гамма (Чертёж)"));

    // Only onCalcFields writes them.
    q->edit();
    QVERIFY_THROWS_EXCEPTION(DataSetError, title->setValue(QStringLiteral("x")));
    q->cancel();

    // A key with no row in the lookup dataset gives null.
    m_db->exec("insert into doc (id, name, kind_id) values (4, 'Дельта', 99)");
    q->close();
    q->open();
    q->last();
    QVERIFY(kindName->isNull());
    QCOMPARE(title->asString(), QStringLiteral("Дельта ()"));

    // Declared fields survive reopening.
    QCOMPARE(q->fieldByName("TITLE"), title);
}

// ------------------------------------------------------------ fetching

void TestDataSet::rowsAreReadOnDemand() {
    const int total = 200000;
    auto q = newQuery(QStringLiteral("select first %1 a.rdb$type as t, b.rdb$type_name as n "
                                     "from rdb$types a cross join rdb$types b cross join rdb$types c")
                          .arg(total));
    q->setRequestLive(false);
    DataSource source(q.get());
    int fetched = 0;
    connect(&source, &DataSource::rowsFetched, this, [&](int, int count) { fetched += count; });

    q->open();
    QVERIFY(!q->isEmpty());
    QVERIFY2(q->rowCount() < 1000, qPrintable(QString::number(q->rowCount())));
    QVERIFY(!q->allRowsFetched());
    for (int i = 0; i < 10; ++i)
        q->next();
    QVERIFY(q->rowCount() < 1000);
    QCOMPARE(q->currentRow(), 10);

    QCOMPARE(q->fetchMore(50), 50);
    QCOMPARE(q->currentRow(), 10);

    QCOMPARE(q->recordCount(), total);
    QVERIFY(q->allRowsFetched());
    QCOMPARE(fetched + 1, total); // the first row came with the opening
    q->last();
    QCOMPARE(q->currentRow(), total - 1);

    // Reopening starts over.
    q->close();
    q->open();
    QVERIFY(q->rowCount() < 1000);
}

void TestDataSet::fieldsDescribeColumns() {
    fillRows(*m_db);
    auto q = newQuery(QStringLiteral("select d.id, d.name, d.code, d.price, k.name, d.id + 1 as next_id "
                                     "from doc d join kind k on k.id = d.kind_id order by d.id"));
    FieldDef label;
    label.name = QStringLiteral("NAME");
    label.displayLabel = QStringLiteral("Наименование");
    label.displayWidth = 30;
    q->addField(label);
    q->open();

    QCOMPARE(q->fieldNames(), (QStringList{"ID", "NAME", "CODE", "PRICE", "NAME_1", "NEXT_ID"}));
    Field* name = q->fieldByName("name");
    QCOMPARE(name->displayLabel(), QStringLiteral("Наименование"));
    QCOMPARE(name->displayWidth(), 30);
    QCOMPARE(name->dataType(), FieldType::String);
    QCOMPARE(name->size(), 40);
    QCOMPARE(name->origin(), QStringLiteral("DOC"));
    QCOMPARE(q->fieldByName("CODE")->dataType(), FieldType::FixedChar);
    QCOMPARE(q->fieldByName("PRICE")->dataType(), FieldType::Numeric);
    QCOMPARE(q->fieldByName("PRICE")->scale(), 2);
    QCOMPARE(q->fieldByName("NAME_1")->origin(), QStringLiteral("KIND"));
    QVERIFY(q->fieldByName("NEXT_ID")->origin().isEmpty());
    QCOMPARE(q->fieldByName("NAME_1")->asString(), QStringLiteral("Чертёж"));

    try {
        q->fieldByName("NOPE");
        QFAIL("an unknown field should be refused");
    } catch (const DataSetError& e) {
        QVERIFY2(e.message().contains("NOPE"), qPrintable(e.message()));
    }
    QVERIFY(!q->findField("NOPE"));

    // A declared data field whose column went is an error, not a silent loss.
    FieldDef gone;
    gone.name = QStringLiteral("GONE");
    q->close();
    q->addField(gone);
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->open());
    QVERIFY(!q->isActive());
}

ARCHIVE_TEST_MAIN(TestDataSet)
#include "tst_dataset.moc"
