// Keyed datasets refuse what was not armed, find a posted row again, and the
// safe operations report failures the way the program expects.

#include "ScriptedInteraction.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "db/Database.h"
#include "db/RTables.h"

#include <QTest>

using namespace platform::db;

namespace {

const char* kSchema = R"(
create table docs (id integer not null primary key, name varchar(40) not null, kind integer);
create generator docs_gen;
set term ^ ;
create trigger docs_bi for docs before insert as
begin
  if (new.id is null) then new.id = gen_id(docs_gen, 1);
end^
set term ; ^
insert into docs (name, kind) values ('Бета', 1);
insert into docs (name, kind) values ('Гамма', 1);
insert into docs (name, kind) values ('Альфа', 2);
)";

} // namespace

class TestRTables : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void unarmedOperationsAreRefusedSilently();
    void oneArmingAllowsOneOperation();
    void serverKeyedInsertFindsTheNewRow_data();
    void serverKeyedInsertFindsTheNewRow();
    void editedRowIsFoundAfterItMoved();
    void missingUniqueFieldFailsButStillFiresAfterPost();
    void refusedDeleteIsSilent();
    void serverErrorOnPostLeavesTheRowEditing();
    void failuresAreReported();
    void safeReopenKeepsTheRow();
    void reopenDetailFollowsTheMaster();
    void fitColumnWidth_data();
    void fitColumnWidth();
    void smallHelpers();

private:
    std::unique_ptr<TempDatabase> m_db;
    std::unique_ptr<Database> m_base;
    std::unique_ptr<TRQuery> m_docs;
};

void TestRTables::init() {
    m_db = std::make_unique<TempDatabase>();
    QVERIFY2(m_db->isValid(), qPrintable(m_db->errorString()));
    m_db->runScript(QString::fromUtf8(kSchema));
    m_base = std::make_unique<Database>();
    m_base->setParams({QStringLiteral("SERVER NAME=") + m_db->path(), QStringLiteral("USER NAME=SYSDBA")});
    m_base->open();
    m_docs = std::make_unique<TRQuery>(m_base.get());
    m_docs->setSql(QStringLiteral("SELECT * FROM DOCS ORDER BY NAME"));
    m_docs->setRequestLive(true);
    m_docs->UniqueField = QStringLiteral("ID");
    m_docs->UniqueFieldTable = QStringLiteral("DOCS");
    m_docs->AfterPostMetod = apmMaxUniqueValue;
    m_docs->open();
}

void TestRTables::cleanup() {
    m_docs.reset();
    m_base.reset();
    m_db.reset();
}

void TestRTables::unarmedOperationsAreRefusedSilently() {
    ScriptedInteractionScope ui;
    TRQuery& q = *m_docs;
    QVERIFY_THROWS_EXCEPTION(Abort, q.edit());
    QVERIFY_THROWS_EXCEPTION(Abort, q.insert());
    QVERIFY_THROWS_EXCEPTION(Abort, q.deleteRecord());
    QCOMPARE(q.state(), DataSetState::Browse);

    // Armed edit, then an unarmed post: the row stays in edit, nothing is written or shown.
    QVERIFY(SafeEdit(&q));
    q.fieldByName("NAME")->setValue(QStringLiteral("Изменено"));
    QVERIFY_THROWS_EXCEPTION(Abort, q.post());
    QCOMPARE(q.state(), DataSetState::Edit);
    // A move tries to post the change: refused as well, the cursor stays.
    const int row = q.currentRow();
    QVERIFY_THROWS_EXCEPTION(Abort, q.next());
    QCOMPARE(q.currentRow(), row);
    QCOMPARE(m_db->scalar("select count(*) from docs where name = 'Изменено'"), QStringLiteral("0"));
    QVERIFY(ui->calls().isEmpty());
    QVERIFY(SafeCancel(&q));
    QCOMPARE(q.state(), DataSetState::Browse);
}

void TestRTables::oneArmingAllowsOneOperation() {
    TRQuery& q = *m_docs;
    q.ToDo = tsEdit;
    q.edit();
    QCOMPARE(q.ToDo, tsNothing);
    q.ToDo = tsCancel;
    q.cancel();
    QVERIFY_THROWS_EXCEPTION(Abort, q.edit());
    // A refused operation leaves the arming as it was.
    q.ToDo = tsDelete;
    QVERIFY_THROWS_EXCEPTION(Abort, q.edit());
    QCOMPARE(q.ToDo, tsDelete);
}

void TestRTables::serverKeyedInsertFindsTheNewRow_data() {
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("largest key") << int(apmMaxUniqueValue) << QStringLiteral("Бета-2");
    QTest::newRow("first row") << int(apmFirst) << QStringLiteral("Альфа");
}

void TestRTables::serverKeyedInsertFindsTheNewRow() {
    QFETCH(int, method);
    QFETCH(QString, expectedName);
    ScriptedInteractionScope ui;
    TRQuery& q = *m_docs;
    q.AfterPostMetod = TRAfterPostMetod(method);
    q.last();
    QVERIFY(SafeInsert(&q));
    q.fieldByName("NAME")->setValue(QStringLiteral("Бета-2")); // sorts between the others
    q.fieldByName("KIND")->setValue(3);
    QVERIFY(PostAndLocate(&q, QStringLiteral("ID")));
    QCOMPARE(q.state(), DataSetState::Browse);
    QCOMPARE(q.fieldByName("NAME")->asString(), expectedName);
    QCOMPARE(q.recordCount(), 4);
    QCOMPARE(m_db->scalar("select id from docs where name = 'Бета-2'"), QStringLiteral("4"));
    QVERIFY(ui->calls().isEmpty());
}

void TestRTables::editedRowIsFoundAfterItMoved() {
    TRQuery& q = *m_docs;
    QVERIFY(q.locate("NAME", QStringLiteral("Альфа")));
    const qint64 id = q.fieldByName("ID")->asInteger();
    QVERIFY(SafeEdit(&q));
    q.fieldByName("NAME")->setValue(QStringLiteral("Яблоко")); // now sorts last
    QVERIFY(PostAndLocate(&q, QStringLiteral("ID")));
    QCOMPARE(q.fieldByName("ID")->asInteger(), id);
    QCOMPARE(q.fieldByName("NAME")->asString(), QStringLiteral("Яблоко"));
    QCOMPARE(q.currentRow(), 2);
}

void TestRTables::missingUniqueFieldFailsButStillFiresAfterPost() {
    TRQuery& q = *m_docs;
    q.UniqueField = QStringLiteral("NO_SUCH_COLUMN");
    int afterPosts = 0;
    q.afterPost = [&](DataSet&) {
        ++afterPosts;
    };
    q.ToDo = tsEdit;
    q.edit();
    q.fieldByName("KIND")->setValue(7);
    q.ToDo = tsPost;
    try {
        q.post();
        QFAIL("the missing key column should have been reported");
    } catch (const DataSetError& e) {
        QVERIFY2(e.message().contains("NO_SUCH_COLUMN"), qPrintable(e.message()));
    }
    QCOMPARE(afterPosts, 1);
    QVERIFY(!q.controlsDisabled());
    // The row itself was written.
    QCOMPARE(m_db->scalar("select count(*) from docs where kind = 7"), QStringLiteral("1"));
}

void TestRTables::refusedDeleteIsSilent() {
    ScriptedInteractionScope ui;
    TRQuery& q = *m_docs;
    q.beforeDelete = [](DataSet&) {
        platform::db::abort();
    };
    QVERIFY(!SafeDelete(&q));
    QCOMPARE(q.recordCount(), 3);
    QVERIFY(ui->calls().isEmpty());

    q.beforeDelete = nullptr;
    QVERIFY(SafeDelete(&q));
    QCOMPARE(m_db->scalar("select count(*) from docs"), QStringLiteral("2"));
}

void TestRTables::serverErrorOnPostLeavesTheRowEditing() {
    ScriptedInteractionScope ui;
    TRQuery& q = *m_docs;
    QVERIFY(SafeInsert(&q));
    q.fieldByName("KIND")->setValue(1); // NAME is NOT NULL on the server
    QVERIFY(!PostAndLocate(&q, QStringLiteral("ID")));
    QCOMPARE(q.state(), DataSetState::Insert);
    QVERIFY(ui->calls().isEmpty());
    q.fieldByName("NAME")->setValue(QStringLiteral("Дельта"));
    QVERIFY(PostAndLocate(&q, QStringLiteral("ID")));
    QCOMPARE(q.fieldByName("NAME")->asString(), QStringLiteral("Дельта"));
}

void TestRTables::failuresAreReported() {
    ScriptedInteractionScope ui;
    Query readOnly(m_base.get());
    readOnly.setSql(QStringLiteral("SELECT * FROM DOCS"));
    readOnly.open();

    ui->expectMessage();
    QVERIFY(!SafeEdit(&readOnly));
    QCOMPARE(ui->last().text, QStringLiteral("Ошибка изменения!"));

    ui->expectMessage();
    QVERIFY(!SafeAppend(&readOnly));
    QCOMPARE(ui->last().text, QStringLiteral("Ошибка добавления!"));

    ui->expectMessage();
    QVERIFY(!SafeDelete(&readOnly));
    QCOMPARE(ui->last().text, QStringLiteral("Ошибка удаления!"));

    ui->expectError();
    QVERIFY(!SafeInsert(&readOnly));
    QCOMPARE(ui->last().caption, QStringLiteral("Orbanel"));
    QCOMPARE(ui->last().text, QStringLiteral("Ошибка добавления!"));
    QVERIFY(!ui->last().details.isEmpty());

    // A keyed dataset whose before-insert handler refuses after arming: the
    // edit window reports it and nothing is left inserting.
    m_docs->beforeEdit = [](DataSet&) {
        throw DataSetError(QStringLiteral("Нельзя"));
    };
    ui->expectError();
    QVERIFY(!SafeEditWithDetails(m_docs.get()));
    QCOMPARE(ui->last().text, QStringLiteral("Ошибка изменения!"));
    QCOMPARE(ui->last().details, QStringLiteral("Нельзя"));
    QCOMPARE(m_docs->state(), DataSetState::Browse);
}

void TestRTables::safeReopenKeepsTheRow() {
    ScriptedInteractionScope ui;
    TRQuery& q = *m_docs;
    QVERIFY(q.locate("NAME", QStringLiteral("Гамма")));
    m_db->exec(QStringLiteral("update docs set name = 'Гамма!' where name = 'Гамма'"));
    q.ToDo = tsDelete; // a stale arming is cleared
    QVERIFY(SafeReopen(&q));
    QCOMPARE(q.fieldByName("NAME")->asString(), QStringLiteral("Гамма!"));
    QCOMPARE(q.ToDo, tsNothing);

    // The row is gone: reopened, but not found.
    m_db->exec(QStringLiteral("delete from docs where name = 'Гамма!'"));
    QVERIFY(!SafeReopen(&q));
    QVERIFY(q.isActive());

    // Its row gone again; then an empty result is reopened without complaint.
    m_db->exec(QStringLiteral("delete from docs"));
    QVERIFY(!SafeReopen(&q));
    QVERIFY(q.isEmpty());
    QVERIFY(SafeReopen(&q));

    m_db->exec(QStringLiteral("drop table docs"));
    ui->expectError();
    QVERIFY(!SafeReopen(&q));
    QCOMPARE(ui->last().text, QStringLiteral("Ошибка открытия таблицы!"));
    QVERIFY2(ui->last().details.contains("DOCS"), qPrintable(ui->last().details));
}

void TestRTables::reopenDetailFollowsTheMaster() {
    Query master(m_base.get());
    master.setSql(QStringLiteral("SELECT DISTINCT KIND FROM DOCS ORDER BY KIND"));
    master.open();
    Query detail(m_base.get());
    detail.setSql(QStringLiteral("SELECT NAME FROM DOCS WHERE KIND = :ID ORDER BY NAME"));
    ReopenDetail(&master, &detail, QStringLiteral("KIND"));
    QCOMPARE(detail.recordCount(), 2);
    master.next();
    ReopenDetail(&master, &detail, QStringLiteral("KIND"));
    QCOMPARE(detail.recordCount(), 1);
    QCOMPARE(detail.fieldByName("NAME")->asString(), QStringLiteral("Альфа"));
}

void TestRTables::fitColumnWidth_data() {
    QTest::addColumn<int>("available");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<double>("share");
    QTest::addColumn<int>("width");
    QTest::newRow("below the minimum") << 530 << 50 << 100 << 0.1 << 50;
    QTest::newRow("within the bounds") << 530 << 150 << 1000 << 0.8 << 396;
    QTest::newRow("above the maximum") << 1030 << 10 << 300 << 0.5 << 300;
    QTest::newRow("minimum over maximum") << 530 << 200 << 100 << 0.1 << 200;
    QTest::newRow("half rounds down to even") << 135 << 0 << 100 << 0.5 << 48; // 52.5 -> 52
    QTest::newRow("half rounds up to even") << 137 << 0 << 100 << 0.5 << 50;   // 53.5 -> 54
}

void TestRTables::fitColumnWidth() {
    QFETCH(int, available);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(double, share);
    QFETCH(int, width);
    QCOMPARE(FitColumnWidth(available, minimum, maximum, share), width);
}

void TestRTables::smallHelpers() {
    QCOMPARE(DateToDMY(QDate(2007, 3, 5)), QStringLiteral("05.03.2007"));
    QCOMPARE(DateYear(QDate(1999, 12, 31)), 1999);
    QCOMPARE(TrimTrailingBlanks(QStringLiteral("  Записка  \t  ")), QStringLiteral("  Записка  \t"));
}

ARCHIVE_TEST_MAIN(TestRTables)
#include "tst_rtables.moc"
