#include "TempDatabase.h"
#include "TestMain.h"

#include "db/Database.h"
#include "db/FbStatement.h"
#include "db/Query.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

using namespace platform::db;

namespace {

std::unique_ptr<Database> connectTo(const TempDatabase& db) {
    auto conn = std::make_unique<Database>();
    conn->setParams({QString(QStringLiteral("SERVER NAME=") + db.path()), QStringLiteral("USER NAME=SYSDBA"),
                     QStringLiteral("PASSWORD=x")});
    conn->open();
    return conn;
}

QString decimalText(const Field* field) {
    return field->isNull() ? QString() : field->value().value<Decimal>().toString();
}

} // namespace

class TestQuery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void liveQueryWritesByKey();
    void tableWithoutPrimaryKey();
    void parameters_data();
    void parameters();
    void unknownParameterIsNamed();
    void cyrillicRoundTrip_data();
    void cyrillicRoundTrip();
    void systemTableCharIsTrimmed();
    void numericIsExact_data();
    void numericIsExact();
    void numericOverflowIsRefused_data();
    void numericOverflowIsRefused();
    void datesAndTimes();
    void textBlobRoundTrip_data();
    void textBlobRoundTrip();
    void lockedRowFailsWithinTimeout();
    void serverErrorsCarryServerMessage();
    void readOnlyQueryRefusesChanges_data();
    void readOnlyQueryRefusesChanges();
    void execSqlCommitsAtOnce();

private:
    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_conn;
    std::unique_ptr<Query> newQuery(const QString& sql, bool live = true);
};

void TestQuery::init() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QStringLiteral("create table doc (id integer not null primary key, name varchar(40), "
                                   "code char(12), amount numeric(15,2), rate numeric(18,4), "
                                   "made date, stamp timestamp, at_time time, notes blob sub_type text);\n"
                                   "create generator doc_gen;\n"
                                   "SET TERM ^ ;\n"
                                   "create trigger doc_bi for doc before insert as\n"
                                   "begin\n"
                                   "  if (new.id is null) then new.id = gen_id(doc_gen, 1);\n"
                                   "end^\n"
                                   "SET TERM ; ^\n"
                                   "commit;\n"));
    m_conn = connectTo(*m_db);
}

void TestQuery::cleanup() {
    m_conn.reset();
    m_db.reset();
}

std::unique_ptr<Query> TestQuery::newQuery(const QString& sql, bool live) {
    auto q = std::make_unique<Query>(m_conn.get());
    q->setRequestLive(live);
    q->setSql(sql);
    return q;
}

// ---------------------------------------------------------------- writing

void TestQuery::liveQueryWritesByKey() {
    auto q = newQuery(QStringLiteral("select id, name, code from doc order by id"));
    q->open();
    QVERIFY(q->canModify());
    QCOMPARE(q->updateTable(), QStringLiteral("DOC"));
    QCOMPARE(q->keyFields(), QStringList{"ID"});

    for (const QString& name : {QStringLiteral("Первый"), QStringLiteral("Второй")}) {
        q->append();
        q->fieldByName("NAME")->setValue(name);
        q->post();
    }
    QCOMPARE(m_db->select("select id, name from doc order by id"),
             (QVector<QStringList>{{"1", "Первый"}, {"2", "Второй"}}));

    // The key the trigger gave is there after reopening, and the rows can be changed by it.
    q->close();
    q->open();
    QCOMPARE(q->recordCount(), 2);
    QCOMPARE(q->fieldByName("ID")->asInteger(), 1);
    q->edit();
    q->fieldByName("CODE")->setValue(QStringLiteral("К-1"));
    q->post();
    q->next();
    q->edit();
    q->fieldByName("ID")->setValue(20); // the key itself changes: the old key finds the row
    q->fieldByName("NAME")->setValue(QStringLiteral("Двадцатый"));
    q->post();
    QCOMPARE(m_db->select("select id, name, trim(code) from doc order by id"),
             (QVector<QStringList>{{"1", "Первый", "К-1"}, {"20", "Двадцатый", QString()}}));

    q->first();
    q->deleteRecord();
    QCOMPARE(q->fieldByName("ID")->asInteger(), 20);
    QCOMPARE(m_db->scalar("select list(id) from doc"), QStringLiteral("20"));

    // A row that another user deleted meanwhile is not silently "updated".
    m_db->exec("delete from doc");
    q->edit();
    q->fieldByName("NAME")->setValue(QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q->post());
    QCOMPARE(q->state(), DataSetState::Edit);
    q->cancel();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q->deleteRecord());
}

void TestQuery::tableWithoutPrimaryKey() {
    m_db->runScript(QStringLiteral("create table loose (name varchar(20), code char(5), n integer);\n"
                                   "insert into loose values ('Дубль', 'А', 1);\n"
                                   "insert into loose values ('Дубль', 'А', 1);\n"
                                   "insert into loose values (null, null, 2);\n"
                                   "commit;\n"));
    auto q = newQuery(QStringLiteral("select * from loose order by n"));
    q->open();
    QVERIFY(q->canModify());
    QVERIFY(q->keyFields().isEmpty());

    // Of two equal rows only one changes.
    q->edit();
    q->fieldByName("N")->setValue(3);
    q->post();
    QCOMPARE(m_db->scalar("select list(n) from (select n from loose order by n)"), QStringLiteral("1,2,3"));

    // Nulls and a trimmed CHAR still find their row.
    q->next();
    q->next();
    QVERIFY(q->fieldByName("NAME")->isNull());
    q->edit();
    q->fieldByName("NAME")->setValue(QStringLiteral("Новый"));
    q->post();
    QCOMPARE(m_db->scalar("select name from loose where n = 2"), QStringLiteral("Новый"));

    q->first();
    QCOMPARE(q->fieldByName("CODE")->asString(), QStringLiteral("А"));
    q->deleteRecord();
    QCOMPARE(m_db->scalar("select count(*) from loose"), QStringLiteral("2"));
}

// ------------------------------------------------------------- parameters

void TestQuery::parameters_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("set"); // the name given to paramByName
    QTest::addColumn<QStringList>("result");

    QTest::newRow("one name in two cases")
        << "select name from doc where id = :ID or id = :id + 1 order by id" << QStringList{"ID"} << "Id"
        << QStringList{"один", "два"};
    QTest::newRow("name in a literal and a comment")
        << "select name || ':id' from doc /* where id = :x */ -- and :y\n where id = :id" << QStringList{"ID"}
        << "id" << QStringList{"один:id"};
    QTest::newRow("quoted name keeps its case") << "select name from doc where id = :\"Mixed\""
                                                << QStringList{"Mixed"} << "\"Mixed\"" << QStringList{"один"};
    QTest::newRow("inside a cast") << "select name from doc where id = cast(:k as integer)"
                                   << QStringList{"K"} << "k" << QStringList{"один"};
}

void TestQuery::parameters() {
    QFETCH(QString, sql);
    QFETCH(QStringList, names);
    QFETCH(QString, set);
    QFETCH(QStringList, result);

    m_db->exec(QStringLiteral("insert into doc (id, name) values (1, 'один')"));
    m_db->exec(QStringLiteral("insert into doc (id, name) values (2, 'два')"));
    auto q = newQuery(sql, false);
    QStringList found;
    for (int i = 0; i < q->paramCount(); ++i)
        found << q->param(i).name();
    QCOMPARE(found, names);
    q->paramByName(set).setAsInteger(1);
    q->open();
    QStringList rows;
    for (; !q->eof(); q->next())
        rows << q->field(0)->asString();
    QCOMPARE(rows, result);

    // A new value is used on the next opening; the text is kept when the statement changes.
    q->close();
    q->paramByName(set).setAsInteger(2);
    q->open();
    QCOMPARE(q->field(0)->asString().left(3), QStringLiteral("два"));
    const QVariant kept = q->paramByName(set).value();
    q->setSql(sql + QStringLiteral(" "));
    QCOMPARE(q->paramByName(set).value(), kept);
}

void TestQuery::unknownParameterIsNamed() {
    auto q = newQuery(QStringLiteral("select * from doc where id = :id"), false);
    QVERIFY(!q->findParam("ident"));
    try {
        q->paramByName("ident");
        QFAIL("an unknown parameter should be refused");
    } catch (const DataSetError& e) {
        QVERIFY2(e.message().contains("ident"), qPrintable(e.message()));
    }
    // A parameter with no value is null, not an error.
    q->open();
    QVERIFY(q->isEmpty());
}

// ---------------------------------------------------------------- values

void TestQuery::cyrillicRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("codeRead");

    QTest::newRow("plain") << QStringLiteral("Пояснительная записка") << QStringLiteral("ПЗ-01")
                           << QStringLiteral("ПЗ-01");
    QTest::newRow("ё, quotes, dash") << QStringLiteral("«Ёлка» — это ёж's") << QStringLiteral("Ёё")
                                     << QStringLiteral("Ёё");
    QTest::newRow("blanks: varchar keeps them, char loses the trailing ones")
        << QStringLiteral(" отступ  ") << QStringLiteral("  Щ  ") << QStringLiteral("  Щ");
    QTest::newRow("full char width") << QStringLiteral("Я") << QStringLiteral("ЖЖЖЖЖЖЖЖЖЖЖЖ")
                                     << QStringLiteral("ЖЖЖЖЖЖЖЖЖЖЖЖ");
    QTest::newRow("empty") << QString("") << QString("") << QString("");
}

void TestQuery::cyrillicRoundTrip() {
    QFETCH(QString, name);
    QFETCH(QString, code);
    QFETCH(QString, codeRead);

    // Written through a live query ...
    auto q = newQuery(QStringLiteral("select id, name, code from doc"));
    q->open();
    q->append();
    q->fieldByName("ID")->setValue(1);
    q->fieldByName("NAME")->setValue(name);
    q->fieldByName("CODE")->setValue(code);
    q->post();
    // ... and through parameters.
    m_conn->execute(QStringLiteral("insert into doc (id, name, code) values (2, ?, ?)"), {name, code});

    // Stored in the database's code page, one byte a character.
    QCOMPARE(m_db->scalar("select octet_length(name) from doc where id = 1").toInt(), name.size());

    auto r = newQuery(QStringLiteral("select name, code from doc where name = :n and code = :c order by id"),
                      false);
    r->paramByName("n").setAsString(name);
    r->paramByName("c").setAsString(code);
    r->open();
    QCOMPARE(r->recordCount(), 2);
    for (; !r->eof(); r->next()) {
        QCOMPARE(r->fieldByName("NAME")->asString(), name);
        QCOMPARE(r->fieldByName("CODE")->asString(), codeRead);
    }
}

void TestQuery::systemTableCharIsTrimmed() {
    auto q = newQuery(QStringLiteral("select rdb$privilege, rdb$relation_name from rdb$user_privileges "
                                     "where rdb$relation_name = 'DOC'"),
                      false);
    q->open();
    QVERIFY(!q->isEmpty());
    QSet<QString> privileges;
    for (; !q->eof(); q->next()) {
        privileges << q->field(0)->asString();
        QCOMPARE(q->field(1)->asString(), QStringLiteral("DOC"));
    }
    QVERIFY(privileges.contains("S"));
    QVERIFY(privileges.contains("I"));
}

void TestQuery::numericIsExact_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("stored");

    QTest::newRow("15,2 from 0.1 + 0.2") << "AMOUNT" << QVariant(0.1 + 0.2) << "0.30";
    QTest::newRow("15,2 from text") << "AMOUNT" << QVariant("1234567890123.45") << "1234567890123.45";
    QTest::newRow("15,2 largest") << "AMOUNT" << QVariant("9999999999999.99") << "9999999999999.99";
    QTest::newRow("15,2 negative") << "AMOUNT" << QVariant("-0.07") << "-0.07";
    QTest::newRow("15,2 comma, rounded half away") << "AMOUNT" << QVariant("-2,345") << "-2.35";
    QTest::newRow("15,2 integer") << "AMOUNT" << QVariant(42) << "42.00";
    QTest::newRow("15,2 decimal") << "AMOUNT" << QVariant::fromValue(Decimal{-1001, 3}) << "-1.00";
    QTest::newRow("18,4 large") << "RATE" << QVariant("12345678901234.5678") << "12345678901234.5678";
    QTest::newRow("18,4 negative small") << "RATE" << QVariant("-0.0001") << "-0.0001";
    QTest::newRow("18,4 from double") << "RATE" << QVariant(1.1 * 3) << "3.3000";
}

void TestQuery::numericIsExact() {
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QString, stored);

    auto q = newQuery(QStringLiteral("select id, amount, rate from doc"));
    q->open();
    q->append();
    q->fieldByName("ID")->setValue(1);
    q->fieldByName(column)->setValue(value);
    QCOMPARE(decimalText(q->fieldByName(column)), stored);
    q->post();
    QCOMPARE(m_db->scalar(QStringLiteral("select %1 from doc").arg(column)), stored);

    // Read back exactly, and found again through a parameter of the same type.
    auto r = newQuery(QStringLiteral("select %1, %1 * 2 as twice from doc where %1 = :v").arg(column), false);
    r->paramByName("v").setValue(value);
    r->open();
    QVERIFY(!r->isEmpty());
    QCOMPARE(decimalText(r->field(0)), stored);
    Decimal twice;
    QVERIFY(Decimal::parse(stored, &twice));
    twice.units *= 2;
    QCOMPARE(r->field(1)->value().value<Decimal>(), twice);
}

void TestQuery::numericOverflowIsRefused_data() {
    QTest::addColumn<QVariant>("value");
    QTest::newRow("integer") << QVariant(qlonglong(1000000000000000));
    QTest::newRow("text") << QVariant("99999999999999999");
    QTest::newRow("double") << QVariant(1e16);
    QTest::newRow("decimal") << QVariant::fromValue(Decimal{1000000000000000, 0});
}

void TestQuery::numericOverflowIsRefused() {
    QFETCH(QVariant, value);
    auto q = newQuery(QStringLiteral("select id, rate from doc"));
    q->open();
    q->append();
    // Four digits after the point leave no room for these: refused, not wrapped around.
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->fieldByName("RATE")->setValue(value));
    QVERIFY(q->fieldByName("RATE")->isNull());
    q->cancel();
}

void TestQuery::datesAndTimes() {
    const QDate made(1899, 12, 30);
    const QDateTime stamp(QDate(2024, 2, 29), QTime(23, 59, 58, 123));
    const QTime atTime(7, 5, 3);
    auto q = newQuery(QStringLiteral("select id, made, stamp, at_time from doc"));
    q->open();
    q->append();
    q->fieldByName("ID")->setValue(1);
    q->fieldByName("MADE")->setValue(made);
    q->fieldByName("STAMP")->setValue(stamp);
    q->fieldByName("AT_TIME")->setValue(atTime);
    q->post();
    q->append();
    q->fieldByName("ID")->setValue(2);
    q->fieldByName("MADE")->setAsString(QStringLiteral("01.03.2024"));
    q->post();

    QCOMPARE(m_db->select("select made, cast(stamp as varchar(30)), at_time from doc where id = 1"),
             (QVector<QStringList>{{"1899-12-30", "2024-02-29 23:59:58.1230", "07:05:03.0000"}}));
    QCOMPARE(m_db->scalar("select made from doc where id = 2"), QStringLiteral("2024-03-01"));

    auto r = newQuery(QStringLiteral("select made, stamp, at_time from doc where made < :d"), false);
    r->paramByName("d").setAsDate(QDate(1900, 1, 1));
    r->open();
    QCOMPARE(r->recordCount(), 1);
    QCOMPARE(r->field(0)->asDate(), made);
    QCOMPARE(r->field(1)->asDateTime(), stamp);
    QCOMPARE(r->field(2)->value().toTime(), atTime);
}

void TestQuery::textBlobRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("short") << QStringLiteral("Примечание: «чертёж» №5\nвторая строка");
    QString longText;
    while (longText.size() < 40000)
        longText += QStringLiteral("Строка текста примечания %1.\n").arg(longText.size());
    QTest::newRow("longer than a string parameter") << longText;
    QTest::newRow("empty") << QString("");
}

void TestQuery::textBlobRoundTrip() {
    QFETCH(QString, text);

    auto q = newQuery(QStringLiteral("select id, notes from doc"));
    q->open();
    q->append();
    q->fieldByName("ID")->setValue(1);
    q->fieldByName("NOTES")->setValue(text);
    q->post();
    m_conn->execute(QStringLiteral("insert into doc (id, notes) values (2, ?)"), {text});

    // Stored in the database's code page.
    QCOMPARE(m_db->scalar("select octet_length(notes) from doc where id = 1").toInt(), text.size());
    auto r = newQuery(QStringLiteral("select notes from doc order by id"), false);
    r->open();
    QCOMPARE(r->field(0)->dataType(), FieldType::Memo);
    QCOMPARE(r->recordCount(), 2);
    QCOMPARE(r->field(0)->asString(), text);
    r->next();
    QCOMPARE(r->field(0)->asString(), text);

    // Editing another column keeps the blob.
    q->close();
    q->open();
    q->edit();
    q->fieldByName("ID")->setValue(3);
    q->post();
    QCOMPARE(m_db->scalar("select octet_length(notes) from doc where id = 3").toInt(), text.size());
}

// ----------------------------------------------------------------- errors

void TestQuery::lockedRowFailsWithinTimeout() {
    m_db->exec("insert into doc (id, name) values (1, 'один')");
    // The server counts the timeout in whole seconds of the clock: two
    // seconds wait more than one and less than two.
    m_conn->setLockTimeout(2);
    auto q = newQuery(QStringLiteral("select id, name from doc"));
    q->open();

    // Another user changed the row and has not committed yet.
    auto other = FbAttachment::attach(m_db->connectParams());
    auto tra = other->startTransaction(TransactionKind::ReadWrite);
    FbStatement(other->handle(), tra->handle(), QStringLiteral("update doc set name = 'чужое' where id = 1"))
        .execute(tra->handle(), {});

    q->edit();
    q->fieldByName("NAME")->setValue(QStringLiteral("моё"));
    QElapsedTimer timer;
    timer.start();
    try {
        q->post();
        QFAIL("posting a locked row should fail");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains("conflict", Qt::CaseInsensitive) ||
                     e.message().contains("deadlock", Qt::CaseInsensitive),
                 qPrintable(e.message()));
    }
    QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY2(timer.elapsed() >= 900, "the post should wait for the lock a while");
    QCOMPARE(q->state(), DataSetState::Edit);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, m_conn->execute("delete from doc where id = 1"));

    // Once the other user is done, the same post goes through.
    tra->rollback();
    q->post();
    QCOMPARE(m_db->scalar("select name from doc where id = 1"), QStringLiteral("моё"));
}

void TestQuery::serverErrorsCarryServerMessage() {
    m_db->runScript(QStringLiteral("alter table doc add constraint doc_code_uq unique (code);\n"
                                   "insert into doc (id, code) values (100, 'A');\ncommit;\n"));
    auto q = newQuery(QStringLiteral("select id, code from doc"));
    q->open();
    q->append();
    q->fieldByName("CODE")->setValue(QStringLiteral("A"));
    try {
        q->post();
        QFAIL("a duplicate should be refused");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains("DOC_CODE_UQ"), qPrintable(e.message()));
    }
    QCOMPARE(q->state(), DataSetState::Insert);
    q->cancel();

    auto bad = newQuery(QStringLiteral("select * from nowhere"), false);
    try {
        bad->open();
        QFAIL("an unknown table should be refused");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains("NOWHERE"), qPrintable(e.message()));
    }
    QVERIFY(!bad->isActive());

    // A value the column cannot hold: the server's own words, the row stays in the buffer.
    q->edit();
    q->fieldByName("CODE")->setValue(QStringLiteral("слишком длинный код"));
    try {
        q->post();
        QFAIL("a too long value should be refused");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains("truncation", Qt::CaseInsensitive), qPrintable(e.message()));
    }
    QCOMPARE(q->state(), DataSetState::Edit);
}

void TestQuery::readOnlyQueryRefusesChanges_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("live");
    QTest::newRow("not live") << "select id, name from doc" << false;
    QTest::newRow("live over expressions") << "select id + 0 as id, upper(name) as name from doc" << true;
}

void TestQuery::readOnlyQueryRefusesChanges() {
    QFETCH(QString, sql);
    QFETCH(bool, live);
    m_db->exec("insert into doc (id, name) values (1, 'один')");
    auto q = newQuery(sql, live);
    q->open();
    QVERIFY(!q->canModify());
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->edit());
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->append());
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->deleteRecord());
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(m_db->scalar("select count(*) from doc"), QStringLiteral("1"));
}

void TestQuery::execSqlCommitsAtOnce() {
    auto q = newQuery(QStringLiteral("insert into doc (name) values (:name)"), false);
    q->paramByName("name").setAsString(QStringLiteral("Запись"));
    QCOMPARE(q->execSql(), 1);
    q->setSql(QStringLiteral("update doc set name = name || '!' where name starting with :p"));
    q->paramByName("p").setAsString(QStringLiteral("Зап"));
    QCOMPARE(q->execSql(), 1);
    QCOMPARE(q->rowsAffected(), 1);
    // Seen by another attachment at once: nothing is left uncommitted.
    QCOMPARE(m_db->scalar("select name from doc"), QStringLiteral("Запись!"));
    // A statement that returns no rows is no dataset: opening it runs nothing.
    q->setSql(QStringLiteral("delete from doc"));
    QVERIFY_THROWS_EXCEPTION(DataSetError, q->open());
    QCOMPARE(m_db->scalar("select count(*) from doc"), QStringLiteral("1"));
}

ARCHIVE_TEST_MAIN(TestQuery)
#include "tst_query.moc"
