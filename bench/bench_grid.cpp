// Measures the data grid over a large query against the dataset's own full
// scan of the same query, in the same process and on the same database.
//
// The table is the one of bench_dataset (200,000 rows shaped like an archive
// list). Each round measures
//   open to first paint   the query opens under a shown grid, which paints
//                         its first screen (grab() forces the paint);
//   last row via dataset  the dataset goes to its last row, the grid follows
//                         and paints it;
//   last row via scroll   the grid scrolls to its bottom again and again,
//                         reading batch after batch, until the last row shows;
// and the reference: open, then next until eof reading every field.
//
//   bench_grid [--rows N] [--repeat N]     (QT_QPA_PLATFORM=offscreen by default)

#include "BenchDatabase.h"

#include "db/DataSource.h"
#include "db/Database.h"
#include "db/FbClient.h"
#include "db/Query.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace platform::db;
using namespace bench;
using platform::widgets::DBGrid;

namespace {

volatile quint64 g_sink = 0;

void touch(const QVariant& v) {
    g_sink = g_sink + quint64(v.typeId()) + (v.isNull() ? 1 : 0);
}

// The reference: the dataset alone, every field of every row.
Q_NEVER_INLINE double fullScan(Database& db, int* rowCount) {
    Query q(&db);
    q.setSql(kSelect);
    QElapsedTimer timer;
    timer.start();
    q.open();
    int rows = 0;
    while (!q.eof()) {
        for (int i = 0, n = q.fieldCount(); i < n; ++i)
            touch(q.field(i)->value());
        q.next();
        ++rows;
    }
    const double ms = elapsedMs(timer);
    q.close();
    *rowCount = rows;
    return ms;
}

// A shown grid over a closed query.
struct Screen {
    explicit Screen(Database& db)
        : query(&db)
        , source(&query) {
        query.setSql(kSelect);
        grid.setDataSource(&source);
        grid.resize(1200, 800);
        grid.show();
        QApplication::processEvents();
    }
    ~Screen() { grid.setDataSource(nullptr); }
    void paint() {
        QApplication::processEvents();
        const QPixmap shot = grid.grab();
        g_sink = g_sink + quint64(shot.width());
    }
    int lastShownRow() const {
        const QModelIndex bottom = grid.indexAt(QPoint(2, grid.viewport()->height() - 2));
        return bottom.isValid() ? bottom.row() : grid.model()->rowCount() - 1;
    }

    Query query;
    DataSource source;
    DBGrid grid;
};

Q_NEVER_INLINE double openToFirstPaint(Database& db) {
    Screen s(db);
    QElapsedTimer timer;
    timer.start();
    s.query.open();
    s.paint();
    return elapsedMs(timer);
}

Q_NEVER_INLINE double lastRowViaDataSet(Database& db, int rows) {
    Screen s(db);
    s.query.open();
    s.paint();
    QElapsedTimer timer;
    timer.start();
    s.query.last();
    s.paint();
    const double ms = elapsedMs(timer);
    if (s.grid.currentIndex().row() != rows - 1 || s.lastShownRow() != rows - 1)
        throw DataSetError(QStringLiteral("the grid shows row %1 as the last, expected %2")
                               .arg(s.lastShownRow())
                               .arg(rows - 1));
    return ms;
}

Q_NEVER_INLINE double lastRowViaScrolling(Database& db, int rows, int* steps) {
    Screen s(db);
    s.query.open();
    s.paint();
    QElapsedTimer timer;
    timer.start();
    int n = 0;
    // The view reads the next batch whenever its scroll bar reaches the end.
    while (s.grid.model()->rowCount() < rows || s.lastShownRow() != rows - 1) {
        s.grid.scrollToBottom();
        QApplication::processEvents();
        if (++n > rows)
            throw DataSetError(QStringLiteral("scrolling does not reach the last row"));
    }
    s.paint();
    const double ms = elapsedMs(timer);
    *steps = n;
    return ms;
}

int run(int rows, int repeat) {
    ScratchDatabase scratch;
    FbAttachment& att = scratch.attachment();
    QElapsedTimer timer;
    timer.start();
    createSchema(att);
    fillTable(att, rows);
    std::printf("fill %d rows ms: %.0f\n", rows, elapsedMs(timer));

    Database db;
    db.adoptHandle(att.handle());

    int scanned = 0;
    fullScan(db, &scanned); // warm the page cache and the client library
    if (scanned != rows)
        throw DataSetError(QStringLiteral("the query read %1 rows, expected %2").arg(scanned).arg(rows));

    std::vector<double> scan, first, viaDataSet, viaScroll;
    int steps = 0;
    for (int i = 0; i < repeat; ++i) {
        scan.push_back(fullScan(db, &scanned));
        for (int k = 0; k < 5; ++k)
            first.push_back(openToFirstPaint(db));
        viaDataSet.push_back(lastRowViaDataSet(db, rows));
        viaScroll.push_back(lastRowViaScrolling(db, rows, &steps));
    }

    const double ref = median(scan);
    std::printf("reference full scan ms: %.1f\n", ref);
    std::printf("open to first paint ms: %.2f\n", median(first));
    std::printf("last row via dataset ms: %.1f\n", median(viaDataSet));
    std::printf("last row via scrolling ms: %.1f (%d scroll steps)\n", median(viaScroll), steps);
    std::printf("open to first paint: %.4f\n", median(first) / ref);
    std::printf("last row via dataset: %.2f\n", median(viaDataSet) / ref);
    std::printf("last row via scrolling: %.2f\n", median(viaScroll) / ref);
    db.close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return benchMain("bench_grid", app.arguments(), 3, run);
}
