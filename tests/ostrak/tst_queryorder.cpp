#include "QueryOrder.h"

#include "TestMain.h"

#include <QtTest>

class TestQueryOrder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void order_data();
    void order();
    void clicksCycleThroughDirections();
    void prepare_data();
    void prepare();
    void longTextIsNotCut();
};

// One column click: prepare, then order.
static QString clicked(QString sql, const QString& field) {
    ostrak::PrepareQueryForOrdering(sql);
    ostrak::OrderQueryByField(sql, field);
    return sql;
}

void TestQueryOrder::order_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    // Where the clause goes when there is none yet.
    QTest::newRow("no order by") << "select * from NOTES where PRJ_ID = :ID"
                                 << "INVNUM"
                                 << "select * from NOTES where PRJ_ID = :ID ORDER BY INVNUM";
    QTest::newRow("terminator and comment dropped") << "select * from NOTES ; -- all notes\n"
                                                    << "NAME"
                                                    << "select * from NOTES ORDER BY NAME";
    QTest::newRow("after group by and plan")
        << "select DEPT, count(*) from EMP group by DEPT having count(*) > 1 plan (EMP natural)"
        << "DEPT"
        << "select DEPT, count(*) from EMP group by DEPT having count(*) > 1 plan (EMP natural) ORDER BY "
           "DEPT";

    // An existing top-level ORDER BY is replaced, everything else kept.
    QTest::newRow("replace") << "select * from NOTES n where n.PRJ_ID = :ID order by n.INVNUM desc, n.NAME"
                             << "n.NAME"
                             << "select * from NOTES n where n.PRJ_ID = :ID ORDER BY n.NAME";
    QTest::newRow("replace multi-line")
        << "SELECT N.*\nFROM NOTES N\nWHERE N.PRJ_ID = :ID\nORDER BY\n  N.INVNUM /* by number */\n"
        << "N.DATEIN"
        << "SELECT N.*\nFROM NOTES N\nWHERE N.PRJ_ID = :ID\nORDER BY N.DATEIN";
    QTest::newRow("parameters kept") << "select * from LETTERISH where BUILD_ID = :ID and extract(year from "
                                        "DATEL) = :\"Year\" order by NUM"
                                     << "DATEL"
                                     << "select * from LETTERISH where BUILD_ID = :ID and extract(year from "
                                        "DATEL) = :\"Year\" ORDER BY DATEL";

    // Nested ORDER BYs belong to their own query.
    QTest::newRow("sub-select left alone")
        << "select * from PROJECTS p where p.ID in (select first 5 PRJ_ID from NOTES order by DATEIN desc)"
        << "CODE"
        << "select * from PROJECTS p where p.ID in (select first 5 PRJ_ID from NOTES order by DATEIN desc) "
           "ORDER BY CODE";
    QTest::newRow("derived table left alone")
        << "select d.* from (select * from NOTES order by NAME) d order by d.ID"
        << "d.NAME"
        << "select d.* from (select * from NOTES order by NAME) d ORDER BY d.NAME";
    QTest::newRow("window function left alone")
        << "select ID, row_number() over (order by INVNUM) RN from NOTES"
        << "RN"
        << "select ID, row_number() over (order by INVNUM) RN from NOTES ORDER BY RN";
    QTest::newRow("cte")
        << "with recursive t as (select ID from BUILDS order by ID) select * from t order by ID"
        << "NAME"
        << "with recursive t as (select ID from BUILDS order by ID) select * from t ORDER BY NAME";

    // Literals and comments are not code.
    QTest::newRow("order by in a literal")
        << "select * from NOTES where NAME <> 'x order by y' and NOTE = q'{it's order by}'"
        << "NAME"
        << "select * from NOTES where NAME <> 'x order by y' and NOTE = q'{it's order by}' ORDER BY NAME";
    QTest::newRow("order by in a double-quoted literal")
        << "select * from NOTES where NAME = \"a order by b\""
        << "ID"
        << "select * from NOTES where NAME = \"a order by b\" ORDER BY ID";
    QTest::newRow("order by in comments")
        << "select * /* order by ID */ from NOTES -- order by NAME\nwhere ID > 0"
        << "INVNUM"
        << "select * /* order by ID */ from NOTES -- order by NAME\nwhere ID > 0 ORDER BY INVNUM";

    // Clauses Firebird wants after ORDER BY stay after it.
    QTest::newRow("rows kept after") << "select * from NOTES order by ID rows 1 to 10"
                                     << "NAME"
                                     << "select * from NOTES ORDER BY NAME rows 1 to 10";
    QTest::newRow("rows, no order by yet") << "select * from NOTES rows :N"
                                           << "NAME"
                                           << "select * from NOTES ORDER BY NAME rows :N";
    QTest::newRow("offset fetch")
        << "select * from NOTES order by ID offset 5 rows fetch next 10 rows only"
        << "NAME"
        << "select * from NOTES ORDER BY NAME offset 5 rows fetch next 10 rows only";
    QTest::newRow("for update with lock")
        << "select * from NOTES where ID = :ID for update of NAME with lock"
        << "NAME"
        << "select * from NOTES where ID = :ID ORDER BY NAME for update of NAME with lock";
    QTest::newRow("with lock, ordered") << "select * from NOTES order by ID with lock;"
                                        << "NAME"
                                        << "select * from NOTES ORDER BY NAME with lock";

    // UNION: the ORDER BY of the whole goes after the last member.
    QTest::newRow("union")
        << "select ID, NAME from NOTES union all select ID, NAME from SMETS2"
        << "NAME"
        << "select ID, NAME from NOTES union all select ID, NAME from SMETS2 ORDER BY NAME";
    QTest::newRow("union ordered") << "select ID, NAME from NOTES union select ID, NAME from (select * from "
                                      "SMETS2 order by ID) order by 1"
                                   << "NAME"
                                   << "select ID, NAME from NOTES union select ID, NAME from (select * from "
                                      "SMETS2 order by ID) ORDER BY NAME";

    // Repeated clicks on the same field reverse the order, another field starts ascending.
    QTest::newRow("same field reverses") << "select * from NOTES order by NAME"
                                         << "NAME"
                                         << "select * from NOTES ORDER BY NAME DESC";
    QTest::newRow("same field, explicit asc") << "select * from NOTES order by NAME ascending rows 5"
                                              << "NAME"
                                              << "select * from NOTES ORDER BY NAME DESC rows 5";
    QTest::newRow("descending back to ascending") << "select * from NOTES order by NAME desc"
                                                  << "NAME"
                                                  << "select * from NOTES ORDER BY NAME";
    QTest::newRow("plain names ignore case") << "select * from NOTES order by name"
                                             << "NAME"
                                             << "select * from NOTES ORDER BY NAME DESC";
    QTest::newRow("same name, alias on one side") << "select * from NOTES n order by n.NAME"
                                                  << "NAME"
                                                  << "select * from NOTES n ORDER BY NAME DESC";
    QTest::newRow("different alias is another field") << "select * from A a join B b on 1=1 order by a.ID"
                                                      << "b.ID"
                                                      << "select * from A a join B b on 1=1 ORDER BY b.ID";
    QTest::newRow("quoted names keep case") << "select * from T order by \"Name\""
                                            << "\"NAME\""
                                            << "select * from T ORDER BY \"NAME\"";
    QTest::newRow("quoted equals plain upper") << "select * from T order by \"NAME\""
                                               << "name"
                                               << "select * from T ORDER BY name DESC";
    QTest::newRow("different field resets") << "select * from NOTES order by NAME desc"
                                            << "INVNUM"
                                            << "select * from NOTES ORDER BY INVNUM";
    QTest::newRow("field among several items") << "select * from NOTES order by NAME, ID"
                                               << "NAME"
                                               << "select * from NOTES ORDER BY NAME";
    QTest::newRow("expression starting with the field") << "select * from NOTES order by NAME || ID"
                                                        << "NAME"
                                                        << "select * from NOTES ORDER BY NAME";

    // Nothing but a plain or quoted name is ever put into the statement.
    const QString plain = QStringLiteral("select * from NOTES order by ID");
    QTest::newRow("empty field") << plain << "" << plain;
    QTest::newRow("blank field") << plain << "   " << plain;
    QTest::newRow("injection") << plain << "ID; delete from NOTES" << plain;
    QTest::newRow("expression") << plain << "ID desc" << plain;
    QTest::newRow("comment in field") << plain << "ID --" << plain;
    QTest::newRow("literal as field") << plain << "'ID'" << plain;
    QTest::newRow("unterminated quoted field") << plain << "\"ID" << plain;
    QTest::newRow("empty quoted field") << plain << "\"\"" << plain;
    QTest::newRow("three parts") << plain << "a.b.c" << plain;
    QTest::newRow("number") << plain << "2" << plain;
    QTest::newRow("clause word") << plain << "desc" << plain;
    QTest::newRow("parameter") << plain << ":ID" << plain;

    // Only a single SELECT is rewritten.
    for (const char* other :
         {"update NOTES set NAME = 'x' order by ID", "delete from NOTES", "execute procedure P(:ID)",
          "select * from NOTES; delete from NOTES", "select * from NOTES where (ID = 1",
          "select A from T order by A union select B from U", "select * from T rows 5 order by A",
          "select * from T order by A order by B", "select * from NOTES where NAME = 'open",
          "select * from NOTES /* open comment", "with t as (delete from X) update Y set Z=1", "",
          "  -- nothing\n"}) {
        QTest::newRow(qPrintable(QStringLiteral("unchanged: ") + QString::fromUtf8(other)))
            << QString::fromUtf8(other) << "NAME" << QString::fromUtf8(other);
    }
}

void TestQueryOrder::order() {
    QFETCH(QString, sql);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QCOMPARE(clicked(sql, field), expected);
}

// The grid feeds the previous result back in on every click.
void TestQueryOrder::clicksCycleThroughDirections() {
    const QString head = QStringLiteral("select n.*, 'Действующий' S from NOTES n where n.PRJ_ID = :ID ");
    QString sql = head + QStringLiteral("rows 100;");
    sql = clicked(sql, QStringLiteral("n.NAME"));
    QCOMPARE(sql, head + QStringLiteral("ORDER BY n.NAME rows 100"));
    sql = clicked(sql, QStringLiteral("n.NAME"));
    QCOMPARE(sql, head + QStringLiteral("ORDER BY n.NAME DESC rows 100"));
    sql = clicked(sql, QStringLiteral("n.NAME"));
    QCOMPARE(sql, head + QStringLiteral("ORDER BY n.NAME rows 100"));
    sql = clicked(sql, QStringLiteral("n.NAME"));
    sql = clicked(sql, QStringLiteral("n.INVNUM"));
    QCOMPARE(sql, head + QStringLiteral("ORDER BY n.INVNUM rows 100"));
}

void TestQueryOrder::prepare_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    QTest::newRow("already prepared") << "select * from NOTES"
                                      << "select * from NOTES";
    QTest::newRow("terminators and blanks") << "select * from NOTES ;; \r\n\t"
                                            << "select * from NOTES";
    QTest::newRow("trailing comments") << "select * from NOTES -- the notes\n/* end */ ;  -- really\n"
                                       << "select * from NOTES";
    QTest::newRow("inner text kept") << "  /* head */ select * from NOTES where NAME = ';'  order  by  ID ;"
                                     << "  /* head */ select * from NOTES where NAME = ';'  order  by  ID";
    QTest::newRow("not a select") << "delete from NOTES; "
                                  << "delete from NOTES; ";
    QTest::newRow("two statements") << "select 1 from A; select 2 from B;"
                                    << "select 1 from A; select 2 from B;";
}

void TestQueryOrder::prepare() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QString once = sql;
    ostrak::PrepareQueryForOrdering(once);
    QCOMPARE(once, expected);
    QString twice = once;
    ostrak::PrepareQueryForOrdering(twice);
    QCOMPARE(twice, once);
}

void TestQueryOrder::longTextIsNotCut() {
    QString sql = QStringLiteral("select ID");
    for (int i = 0; i < 60; ++i)
        sql += QStringLiteral(", FIELD_%1").arg(i);
    sql += QStringLiteral(" from WIDE_TABLE where ID = :ID order by ID");
    QVERIFY(sql.size() > 600);
    const QString expected = sql.left(sql.size() - 11) + QStringLiteral("ORDER BY FIELD_59");
    QCOMPARE(clicked(sql, QStringLiteral("FIELD_59")), expected);
}

ARCHIVE_TEST_MAIN(TestQueryOrder)
#include "tst_queryorder.moc"
