// Measures the dataset layer against a bare fetch loop of the client library
// on the same statement, in the same process and on the same database.
//
// A temporary embedded database gets a table shaped like an archive list
// (key, inventory number, Cyrillic name, code, date, amount, mark, folder),
// filled by a few EXECUTE BLOCK statements. Each measurement runs several
// times; the median is compared with the median of the bare loop.
//
//   bench_dataset [--rows N] [--repeat N]

#include "db/Database.h"
#include "db/FbClient.h"
#include "db/Query.h"

#include <firebird/Interface.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace platform::db;

namespace {

const QString kTable = QStringLiteral("NOTES_BENCH");
const QString kSelect = QStringLiteral("SELECT * FROM NOTES_BENCH ORDER BY ID");

// Results are folded into this, so that no loop can be optimised away.
volatile quint64 g_sink = 0;

// A status object of the client library that throws on an error.
class Status {
public:
    Status()
        : m_status(fb::master()->getStatus())
        , m_wrapper(m_status) {}
    ~Status() { m_status->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;
    Firebird::CheckStatusWrapper* operator&() { return &m_wrapper; }
    void ok() { fb::check(&m_wrapper); }

private:
    Firebird::IStatus* m_status;
    Firebird::CheckStatusWrapper m_wrapper;
};

// A fresh embedded database in a temporary folder, dropped at the end.
class ScratchDatabase {
public:
    ScratchDatabase()
        : m_dir(QDir::tempPath() + QStringLiteral("/archive-bench-XXXXXX")) {
        if (!m_dir.isValid())
            throw DatabaseError(QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString());
        CreateParams params;
        params.database = QDir(m_dir.path()).filePath(QStringLiteral("bench.fdb"));
        params.forcedWrites = false;
        m_attachment = FbAttachment::create(params);
    }
    ~ScratchDatabase() {
        try {
            if (m_attachment)
                m_attachment->dropDatabase();
        } catch (const DatabaseError&) {
            // The folder goes with the file anyway.
        }
    }
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    FbAttachment& attachment() { return *m_attachment; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<FbAttachment> m_attachment;
};

double elapsedMs(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void createSchema(FbAttachment& att) {
    att.execute(QStringLiteral("CREATE TABLE FOLDERS_BENCH (ID INTEGER NOT NULL PRIMARY KEY, "
                               "NAME VARCHAR(100))"));
    att.execute(QStringLiteral("CREATE TABLE NOTES_BENCH ("
                               "ID INTEGER NOT NULL PRIMARY KEY, "
                               "INVNUM INTEGER NOT NULL, "
                               "NAME VARCHAR(255), "
                               "CODE CHAR(20), "
                               "DOCDATE DATE, "
                               "AMOUNT NUMERIC(15,2), "
                               "MARK CHAR(1), "
                               "FOLDER_ID INTEGER REFERENCES FOLDERS_BENCH (ID))"));
    att.execute(QStringLiteral("CREATE UNIQUE INDEX NOTES_BENCH_INVNUM ON NOTES_BENCH (INVNUM)"));
}

// Rows 1..rows in batches of one EXECUTE BLOCK each (one statement, one
// transaction): names of 30 to 70 Cyrillic characters, every seventh mark
// and every eleventh amount null.
void fillTable(FbAttachment& att, int rows) {
    att.execute(QStringLiteral("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN "
                               "WHILE (I <= 50) DO BEGIN "
                               "INSERT INTO FOLDERS_BENCH (ID, NAME) VALUES (:I, 'Папка ' || :I); I = I + 1; "
                               "END END"));
    const int batch = 50000;
    for (int from = 1; from <= rows; from += batch) {
        const int to = std::min(rows, from + batch - 1);
        att.execute(QStringLiteral(
                        "EXECUTE BLOCK AS DECLARE I INTEGER = %1; BEGIN "
                        "WHILE (I <= %2) DO BEGIN "
                        "INSERT INTO NOTES_BENCH (ID, INVNUM, NAME, CODE, DOCDATE, AMOUNT, MARK, FOLDER_ID) "
                        "VALUES (:I, 100000 + :I * 3, "
                        "DECODE(MOD(:I, 4), 0, 'Чертёж общего вида корпуса редуктора, лист ', "
                        "1, 'Пояснительная записка к проекту насосной станции, том ', "
                        "2, 'Схема электрическая принципиальная щита управления № ', "
                        "'Спецификация ') || :I, "
                        "'АБВГ.' || LPAD(:I, 6, '0') || '.СБ', "
                        "DATEADD(-MOD(:I, 9000) DAY TO DATE '2020-01-01'), "
                        "IIF(MOD(:I, 11) = 0, NULL, :I * 1.25), "
                        "IIF(MOD(:I, 7) = 0, NULL, IIF(MOD(:I, 2) = 0, 'Х', 'А')), "
                        "MOD(:I, 50) + 1); "
                        "I = I + 1; END END")
                        .arg(from)
                        .arg(to));
    }
}

// The measurements are kept out of line, so that a profile of this program
// shows each one on its own.

// The reference: the client library alone, in a read-committed read-only
// transaction, fetching into the message buffer and touching each column's
// bytes (the text of a VARCHAR up to its length).
Q_NEVER_INLINE double bareFetch(FbAttachment& att, qint64* rowCount) {
    QElapsedTimer timer;
    timer.start();
    auto tra = att.startTransaction(TransactionKind::ReadOnly);
    Status st;
    const QByteArray text = kSelect.toUtf8();
    fb::Ref<Firebird::IStatement> stmt(
        att.handle()->prepare(&st, tra->handle(), unsigned(text.size()), text.constData(), 3,
                              Firebird::IStatement::PREPARE_PREFETCH_METADATA));
    st.ok();
    fb::Ref<Firebird::IMessageMetadata> meta(stmt->getOutputMetadata(&st));
    st.ok();
    struct Col {
        unsigned type, offset, nullOffset, length;
    };
    std::vector<Col> cols;
    const unsigned count = meta->getCount(&st);
    for (unsigned i = 0; i < count; ++i)
        cols.push_back({meta->getType(&st, i) & ~1u, meta->getOffset(&st, i), meta->getNullOffset(&st, i),
                        meta->getLength(&st, i)});
    std::vector<unsigned char> buffer(meta->getMessageLength(&st));
    st.ok();
    fb::Ref<Firebird::IResultSet> rs(stmt->openCursor(&st, tra->handle(), nullptr, nullptr, meta.get(), 0));
    st.ok();
    quint64 sum = 0;
    qint64 rows = 0;
    while (rs->fetchNext(&st, buffer.data()) == Firebird::IStatus::RESULT_OK) {
        const unsigned char* msg = buffer.data();
        for (const Col& c : cols) {
            if (*reinterpret_cast<const short*>(msg + c.nullOffset))
                continue;
            const unsigned char* data = msg + c.offset;
            unsigned n = c.length;
            if (c.type == SQL_VARYING) {
                n = *reinterpret_cast<const unsigned short*>(data);
                data += 2;
            }
            for (unsigned k = 0; k < n; ++k)
                sum += data[k];
        }
        ++rows;
    }
    st.ok();
    rs->close(&st);
    st.ok();
    (void)rs.release(); // close released the cursor
    tra->commit();
    const double ms = elapsedMs(timer);
    g_sink = g_sink + sum;
    *rowCount = rows;
    return ms;
}

void touch(const QVariant& v) {
    g_sink = g_sink + quint64(v.typeId()) + (v.isNull() ? 1 : 0);
}

void readAllFields(Query& q) {
    for (int i = 0, n = q.fieldCount(); i < n; ++i)
        touch(q.field(i)->value());
}

Q_NEVER_INLINE double openAndFirst(Database& db) {
    Query q(&db);
    q.setSql(kSelect);
    QElapsedTimer timer;
    timer.start();
    q.open();
    readAllFields(q);
    const double ms = elapsedMs(timer);
    q.close();
    return ms;
}

Q_NEVER_INLINE double fullScan(Database& db, qint64* rowCount, double* closeMs) {
    Query q(&db);
    q.setSql(kSelect);
    QElapsedTimer timer;
    timer.start();
    q.open();
    qint64 rows = 0;
    while (!q.eof()) {
        readAllFields(q);
        q.next();
        ++rows;
    }
    const double ms = elapsedMs(timer);
    timer.restart();
    q.close();
    *closeMs = elapsedMs(timer);
    *rowCount = rows;
    return ms;
}

Q_NEVER_INLINE double locateNearEnd(Database& db, int rows) {
    // The row 1% before the end of the result (ordered by the key).
    const int target = std::max(1, rows - rows / 100);
    const int invnum = 100000 + target * 3;
    Query q(&db);
    q.setSql(kSelect);
    QElapsedTimer timer;
    timer.start();
    q.open();
    const bool found = q.locate(QStringLiteral("INVNUM"), QVariant(invnum));
    const double ms = elapsedMs(timer);
    if (!found || q.fieldByName(QStringLiteral("ID"))->asInteger() != target)
        throw DataSetError(QStringLiteral("locate did not find INVNUM %1").arg(invnum));
    q.close();
    return ms;
}

double createAndDrop() {
    QElapsedTimer timer;
    timer.start();
    { ScratchDatabase scratch; }
    return elapsedMs(timer);
}

QString planOf(FbAttachment& att) {
    auto tra = att.startTransaction(TransactionKind::ReadOnly);
    Status st;
    const QByteArray text = kSelect.toUtf8();
    fb::Ref<Firebird::IStatement> stmt(
        att.handle()->prepare(&st, tra->handle(), unsigned(text.size()), text.constData(), 3, 0));
    st.ok();
    const char* plan = stmt->getPlan(&st, false);
    st.ok();
    const QString result = QString::fromUtf8(plan).simplified();
    stmt.reset();
    tra->commit();
    return result;
}

int run(int rows, int repeat) {
    ScratchDatabase scratch;
    FbAttachment& att = scratch.attachment();

    QElapsedTimer timer;
    timer.start();
    createSchema(att);
    fillTable(att, rows);
    std::printf("fill %d rows ms: %.0f\n", rows, elapsedMs(timer));
    std::printf("plan: %s\n", qPrintable(planOf(att)));

    Database db;
    db.adoptHandle(att.handle());

    // Warm the page cache and the client library before measuring.
    qint64 refRows = 0;
    bareFetch(att, &refRows);
    if (refRows != rows)
        throw DataSetError(QStringLiteral("the table has %1 rows, expected %2").arg(refRows).arg(rows));

    std::vector<double> reference, first, scan, scanClose, locate;
    for (int i = 0; i < repeat; ++i) {
        reference.push_back(bareFetch(att, &refRows));
        qint64 scanned = 0;
        double closeMs = 0;
        scan.push_back(fullScan(db, &scanned, &closeMs));
        scanClose.push_back(closeMs);
        if (scanned != rows)
            throw DataSetError(QStringLiteral("the query read %1 rows, expected %2").arg(scanned).arg(rows));
        locate.push_back(locateNearEnd(db, rows));
        // Opening is quick: several tries per round.
        for (int k = 0; k < 5; ++k)
            first.push_back(openAndFirst(db));
    }

    const double ref = median(reference);
    const double firstMs = median(first);
    const double scanMs = median(scan);
    const double locateMs = median(locate);
    std::printf("reference bare fetch ms: %.1f\n", ref);
    std::printf("open and first row ms: %.3f\n", firstMs);
    std::printf("full scan ms: %.1f\n", scanMs);
    std::printf("full scan close ms: %.1f\n", median(scanClose));
    std::printf("locate near end ms: %.1f\n", locateMs);
    std::printf("open and first row: %.4f\n", firstMs / ref);
    std::printf("full scan: %.2f\n", scanMs / ref);
    std::printf("locate near end: %.2f\n", locateMs / ref);
    std::printf("open and first row vs full scan: %.4f\n", firstMs / scanMs);

    db.close();

    std::vector<double> create;
    for (int i = 0; i < std::max(3, repeat); ++i)
        create.push_back(createAndDrop());
    std::printf("create database ms: %.0f\n", median(create));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rows = 200000;
    int repeat = 5;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size())
            rows = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = args[++i].toInt(&ok);
        else
            ok = false;
        if (!ok || rows < 1 || repeat < 1) {
            std::fprintf(stderr, "usage: bench_dataset [--rows N] [--repeat N]\n");
            return 2;
        }
    }
    try {
        return run(rows, repeat);
    } catch (const Error& e) {
        std::fprintf(stderr, "bench_dataset: %s\n", qPrintable(e.message()));
    }
    return 1;
}
