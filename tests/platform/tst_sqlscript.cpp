#include "TempDatabase.h"
#include "TestMain.h"

#include "db/SqlScript.h"

#include <QtTest>

using namespace platform::db;

class TestSqlScript : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void split_data();
    void split();
    void scriptRunsOnFreshDatabase();
    void cyrillicArrivesAsWin1251();
    void failingStatementIsNamed();
};

void TestSqlScript::split_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("statements");

    QTest::newRow("plain") << "select 1 from a; select 2 from b;"
                           << QStringList{"select 1 from a", "select 2 from b"};
    QTest::newRow("last without terminator") << "select 1 from a;\nselect 2 from b\n"
                                             << QStringList{"select 1 from a", "select 2 from b"};
    QTest::newRow("terminator in literal") << "insert into t values ('a;b', 'it''s; ok');"
                                           << QStringList{"insert into t values ('a;b', 'it''s; ok')"};
    QTest::newRow("terminator in q-literal")
        << "insert into t values (q'{a;'b}');" << QStringList{"insert into t values (q'{a;'b}')"};
    QTest::newRow("terminator in comments")
        << "select 1 -- no; end\nfrom a /* ; */;" << QStringList{"select 1 -- no; end\nfrom a /* ; */"};
    QTest::newRow("terminator in quoted name")
        << "create table \"A;B\" (x int);" << QStringList{"create table \"A;B\" (x int)"};
    QTest::newRow("set term") << "SET TERM ^ ;\n"
                                 "create procedure p as begin x = 1; y = 2; end^\n"
                                 "SET TERM ; ^\n"
                                 "select 1 from a;"
                              << QStringList{"create procedure p as begin x = 1; y = 2; end",
                                             "select 1 from a"};
    QTest::newRow("set term after a comment, lower case, long terminator")
        << "/* procedures */ set term !! ;\nexecute block as begin x = 1; end !!\nset term ; !!"
        << QStringList{"execute block as begin x = 1; end"};
    QTest::newRow("isql commands left out")
        << "SET SQL DIALECT 3;\nSET NAMES UTF8;\nCOMMIT WORK;\ncreate table t (x int);\nCOMMIT;\n-- the end\n"
        << QStringList{"create table t (x int)"};
    QTest::newRow("empty statements") << ";;  ;\n" << QStringList{};
}

void TestSqlScript::split() {
    QFETCH(QString, script);
    QFETCH(QStringList, statements);
    QCOMPARE(splitSqlScript(script), statements);
}

void TestSqlScript::scriptRunsOnFreshDatabase() {
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    QCOMPARE(db.scalar("select mon$sql_dialect from mon$database"), QStringLiteral("3"));
    QCOMPARE(db.scalar("select trim(rdb$character_set_name) from rdb$database"), QStringLiteral("WIN1251"));

    db.runScript(QStringLiteral("create table t (id integer not null primary key, name varchar(40));\n"
                                "create generator t_gen;\n"
                                "SET TERM ^ ;\n"
                                "create trigger t_bi for t before insert as\n"
                                "begin\n"
                                "  if (new.id is null) then new.id = gen_id(t_gen, 1);\n"
                                "end^\n"
                                "SET TERM ; ^\n"
                                "insert into t (name) values ('one;');\n"
                                "insert into t (name) values ('two');\n"
                                "commit;\n"));
    const auto rows = db.select("select id, name from t order by id");
    QCOMPARE(rows, (QVector<QStringList>{{"1", "one;"}, {"2", "two"}}));
}

void TestSqlScript::cyrillicArrivesAsWin1251() {
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    const QString text = QStringLiteral("Пояснительная записка «Ёлка»");
    db.runScript(QStringLiteral("create table t (v varchar(60), c char(40));\n"
                                "insert into t values ('%1', '%1');\n")
                     .arg(text));
    const auto rows = db.select("select v, c, octet_length(v) from t");
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0], text);
    QCOMPARE(rows[0][1].trimmed(), text);
    // One byte a character: the text is stored in the database's own code page.
    QCOMPARE(rows[0][2].toInt(), text.size());
}

void TestSqlScript::failingStatementIsNamed() {
    TempDatabase db;
    QVERIFY2(db.isValid(), qPrintable(db.errorString()));
    try {
        db.runScript(QStringLiteral("create table t (x int);\ninsert into nowhere values (1);\n"));
        QFAIL("the script should have failed");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.message().contains("NOWHERE"), qPrintable(e.message()));
        QVERIFY2(e.message().contains("insert into nowhere values (1)"), qPrintable(e.message()));
    }
    // What ran before the failure stays.
    QCOMPARE(db.scalar("select count(*) from rdb$relations where rdb$relation_name = 'T'"),
             QStringLiteral("1"));
}

ARCHIVE_TEST_MAIN(TestSqlScript)
#include "tst_sqlscript.moc"
