#pragma once

// What the benchmarks share: a scratch embedded database with a table shaped
// like an archive list, and the small statistics they report.

#include "db/FbClient.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace bench {

// The table every dataset benchmark reads, and its usual statement.
extern const QString kTable;
extern const QString kSelect;

// A fresh embedded database in a temporary folder, dropped at the end.
class ScratchDatabase {
public:
    ScratchDatabase();
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    platform::db::FbAttachment& attachment() { return *m_attachment; }
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<platform::db::FbAttachment> m_attachment;
};

double elapsedMs(const QElapsedTimer& t);
double median(std::vector<double> v);

// NOTES_BENCH (key, unique inventory number, Cyrillic name, code, date,
// amount, mark, folder) and FOLDERS_BENCH.
void createSchema(platform::db::FbAttachment& att);
// Rows 1..rows in batches of one EXECUTE BLOCK each: names of 30 to 70
// Cyrillic characters, every seventh mark and every eleventh amount null.
void fillTable(platform::db::FbAttachment& att, int rows);

// The common command line of the benchmarks ([--rows N] [--repeat N]):
// parses it, runs `run(rows, repeat)` and reports a database error; returns
// the process's exit code.
int benchMain(const char* name, const QStringList& arguments, int defaultRepeat,
              const std::function<int(int rows, int repeat)>& run);

} // namespace bench
