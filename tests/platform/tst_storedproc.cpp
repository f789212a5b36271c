#include "TempDatabase.h"
#include "TestMain.h"

#include "db/Database.h"
#include "db/Query.h"
#include "db/StoredProc.h"

#include <QtTest>

#include <memory>

using namespace platform::db;

Q_DECLARE_METATYPE(platform::db::ParamDirection)
Q_DECLARE_METATYPE(platform::db::FieldType)

namespace {

const char* const kSchema = R"(
create table doc (id integer not null primary key, name varchar(40), amount numeric(15,2));
create generator doc_gen;
SET TERM ^ ;
create procedure add_doc (name varchar(40), amount numeric(15,2), made date)
returns (new_id integer, title varchar(60), doubled numeric(15,2))
as
begin
  new_id = gen_id(doc_gen, 1);
  insert into doc (id, name, amount) values (:new_id, :name, :amount);
  title = 'Документ ' || name;
  doubled = amount * 2;
end^
create procedure no_params
as
begin
  insert into doc (id, name) values (100, 'без параметров');
end^
create procedure docs_from (first_id integer)
returns (id integer, name varchar(40))
as
begin
  for select id, name from doc where id >= :first_id order by id into :id, :name do
    suspend;
end^
SET TERM ; ^
commit;
)";

std::unique_ptr<Database> connectTo(const TempDatabase& db) {
    auto conn = std::make_unique<Database>();
    conn->setParams({QString(QStringLiteral("SERVER NAME=") + db.path()), QStringLiteral("USER NAME=SYSDBA"),
                     QStringLiteral("PASSWORD=x")});
    conn->open();
    return conn;
}

} // namespace

class TestStoredProc : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void parametersFromMetadata_data();
    void parametersFromMetadata();
    void executeFillsOutputs();
    void procedureWithoutParameters();
    void unknownProcedureIsNamed();
    void serverErrorInProcedure();
    void selectableProcedureThroughQuery();

private:
    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_conn;
};

void TestStoredProc::init() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QString::fromUtf8(kSchema));
    m_conn = connectTo(*m_db);
}

void TestStoredProc::cleanup() {
    m_conn.reset();
    m_db.reset();
}

void TestStoredProc::parametersFromMetadata_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<ParamDirection>("direction");
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("position");

    const auto in = ParamDirection::Input;
    const auto out = ParamDirection::Output;
    QTest::newRow("0") << 0 << "NAME" << in << FieldType::String << 0 << 0;
    QTest::newRow("1") << 1 << "AMOUNT" << in << FieldType::Numeric << 2 << 1;
    QTest::newRow("2") << 2 << "MADE" << in << FieldType::Date << 0 << 2;
    QTest::newRow("3") << 3 << "NEW_ID" << out << FieldType::Integer << 0 << 0;
    QTest::newRow("4") << 4 << "TITLE" << out << FieldType::String << 0 << 1;
    QTest::newRow("5") << 5 << "DOUBLED" << out << FieldType::Numeric << 2 << 2;
}

void TestStoredProc::parametersFromMetadata() {
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(ParamDirection, direction);
    QFETCH(FieldType, type);
    QFETCH(int, scale);
    QFETCH(int, position);

    StoredProc proc(m_conn.get(), QStringLiteral("add_doc"));
    QVERIFY(!proc.isPrepared());
    proc.prepare();
    QCOMPARE(proc.paramCount(), 6);
    const ProcParam& p = proc.param(index);
    QCOMPARE(p.name, name);
    QCOMPARE(p.direction, direction);
    QCOMPARE(p.type, type);
    QCOMPARE(p.scale, scale);
    QCOMPARE(p.position, position);
    QCOMPARE(&proc.paramByName(name.toLower()), &proc.param(index));
}

void TestStoredProc::executeFillsOutputs() {
    StoredProc proc(m_conn.get(), QStringLiteral("ADD_DOC"));
    // Parameters can be given before an explicit prepare.
    proc.paramByName("name").value = QStringLiteral("Схема «А»");
    proc.paramByName("amount").value = QStringLiteral("10.25");
    proc.paramByName("made").value = QDate(2024, 5, 1);
    proc.execProc();
    QCOMPARE(proc.paramByName("new_id").value.toInt(), 1);
    QCOMPARE(proc.paramByName("title").value.toString(), QStringLiteral("Документ Схема «А»"));
    QCOMPARE(proc.paramByName("doubled").value.value<Decimal>().toString(), QStringLiteral("20.50"));

    // Committed at once; a second call gets fresh outputs.
    QCOMPARE(m_db->select("select id, name, amount from doc"),
             (QVector<QStringList>{{"1", "Схема «А»", "10.25"}}));
    proc.paramByName("name").value = QVariant();
    proc.execProc();
    QCOMPARE(proc.paramByName("new_id").value.toInt(), 2);
    QVERIFY(proc.paramByName("title").value.isNull());

    QVERIFY_THROWS_EXCEPTION(DataSetError, proc.paramByName("nothing"));
}

void TestStoredProc::procedureWithoutParameters() {
    StoredProc proc(m_conn.get(), QStringLiteral("no_params"));
    proc.execProc();
    QCOMPARE(proc.paramCount(), 0);
    QCOMPARE(m_db->scalar("select name from doc where id = 100"), QStringLiteral("без параметров"));
}

void TestStoredProc::unknownProcedureIsNamed() {
    StoredProc proc(m_conn.get(), QStringLiteral("no_such_proc"));
    try {
        proc.execProc();
        QFAIL("an unknown procedure should be refused");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains("no_such_proc", Qt::CaseInsensitive), qPrintable(e.message()));
    }
    QVERIFY(!proc.isPrepared());

    // Renaming it to a procedure that exists prepares anew.
    proc.setProcedureName(QStringLiteral("add_doc"));
    proc.prepare();
    QCOMPARE(proc.paramCount(), 6);
}

void TestStoredProc::serverErrorInProcedure() {
    m_db->exec("insert into doc (id, name) values (100, 'занято')");
    StoredProc proc(m_conn.get(), QStringLiteral("no_params"));
    try {
        proc.execProc();
        QFAIL("a duplicate key should be refused");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains("PRIMARY", Qt::CaseInsensitive) ||
                     e.message().contains("unique", Qt::CaseInsensitive),
                 qPrintable(e.message()));
    }
    QCOMPARE(m_db->scalar("select name from doc where id = 100"), QStringLiteral("занято"));
}

void TestStoredProc::selectableProcedureThroughQuery() {
    for (int i = 1; i <= 4; ++i)
        m_db->exec(QStringLiteral("insert into doc (id, name) values (%1, 'Документ %1')").arg(i));
    Query q(m_conn.get());
    q.setSql(QStringLiteral("select id, name from docs_from(:first_id)"));
    q.paramByName("FIRST_ID").setAsInteger(3);
    q.open();
    QCOMPARE(q.fieldNames(), (QStringList{"ID", "NAME"}));
    QStringList names;
    for (; !q.eof(); q.next())
        names << q.fieldByName("NAME")->asString();
    QCOMPARE(names, (QStringList{"Документ 3", "Документ 4"}));
    QVERIFY(!q.canModify());
}

ARCHIVE_TEST_MAIN(TestStoredProc)
#include "tst_storedproc.moc"
