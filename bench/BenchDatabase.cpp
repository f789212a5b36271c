#include "BenchDatabase.h"

#include <QDir>

#include <algorithm>
#include <cstdio>

using namespace platform::db;

namespace bench {

const QString kTable = QStringLiteral("NOTES_BENCH");
const QString kSelect = QStringLiteral("SELECT * FROM NOTES_BENCH ORDER BY ID");

ScratchDatabase::ScratchDatabase()
    : m_dir(QDir::tempPath() + QStringLiteral("/archive-bench-XXXXXX")) {
    if (!m_dir.isValid())
        throw DatabaseError(QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString());
    CreateParams params;
    m_path = QDir(m_dir.path()).filePath(QStringLiteral("bench.fdb"));
    params.database = m_path;
    params.forcedWrites = false;
    m_attachment = FbAttachment::create(params);
}

ScratchDatabase::~ScratchDatabase() {
    try {
        if (m_attachment)
            m_attachment->dropDatabase();
    } catch (const DatabaseError&) {
        // The folder goes with the file anyway.
    }
}

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

int benchMain(const char* name, const QStringList& arguments, int defaultRepeat,
              const std::function<int(int rows, int repeat)>& run) {
    int rows = 200000;
    int repeat = defaultRepeat;
    for (int i = 1; i < arguments.size(); ++i) {
        bool ok = true;
        if (arguments[i] == QLatin1String("--rows") && i + 1 < arguments.size())
            rows = arguments[++i].toInt(&ok);
        else if (arguments[i] == QLatin1String("--repeat") && i + 1 < arguments.size())
            repeat = arguments[++i].toInt(&ok);
        else
            ok = false;
        if (!ok || rows < 1 || repeat < 1) {
            std::fprintf(stderr, "usage: %s [--rows N] [--repeat N]\n", name);
            return 2;
        }
    }
    try {
        return run(rows, repeat);
    } catch (const Error& e) {
        std::fprintf(stderr, "%s: %s\n", name, qPrintable(e.message()));
    }
    return 1;
}

} // namespace bench
