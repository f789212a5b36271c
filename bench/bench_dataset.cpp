// Measures the dataset layer against a bare fetch loop of the client library
// on the same statement, in the same process and on the same database.
//
// A temporary embedded database gets a table shaped like an archive list
// (key, inventory number, Cyrillic name, code, date, amount, mark, folder),
// filled by a few EXECUTE BLOCK statements. Each measurement runs several
// times; the median is compared with the median of the bare loop.
//
//   bench_dataset [--rows N] [--repeat N]

#include "BenchDatabase.h"

#include "db/Database.h"
#include "db/FbClient.h"
#include "db/FbStatus.h"
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
using namespace bench;
using platform::db::fb::Status;

namespace {

// Results are folded into this, so that no loop can be optimised away.
volatile quint64 g_sink = 0;

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
    return benchMain("bench_dataset", app.arguments(), 5, run);
}
