// Measures the document store's note lookup on a large store against plain
// listings of single folders, in the same process and on the same disk.
//
// The store has 5,000 build folders with 20 project folders each (100,000
// project folders, empty but for the note of the last build). The lookup is
// the name-based chain the note PDF command walks (build, project, notes
// folder, note folder, PDF), without the database. It must list only the
// folders on its way, so it costs about one listing of the root (the one
// large folder on its way) and nowhere near a walk of the tree.
//
//   bench_store [--builds N] [--projects N] [--repeat N] [--dir FOLDER]
//
// The store is made in FOLDER (default: the temporary folder); a folder on
// tmpfs (/dev/shm) makes and removes the 100,000 folders much faster.

#include "app/DocumentStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace docstore;

namespace {

volatile qint64 g_sink = 0;

// Median time of `repeat` runs, in nanoseconds.
qint64 median(int repeat, const std::function<void()>& run) {
    std::vector<qint64> times;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int option(const QStringList& args, const QString& name, int fallback) {
    const int at = int(args.indexOf(name));
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int builds = option(args, QStringLiteral("--builds"), 5000);
    const int projects = option(args, QStringLiteral("--projects"), 20);
    const int repeat = option(args, QStringLiteral("--repeat"), 21);

    const int dirAt = int(args.indexOf(QStringLiteral("--dir")));
    const QString base = dirAt >= 0 && dirAt + 1 < args.size() ? args.at(dirAt + 1) : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/archive-store-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString root = WithSeparator(QDir::toNativeSeparators(dir.path() + QStringLiteral("/store")));
    const QString notes = QStringLiteral("ПЗ");
    const int inv = 5678;

    QElapsedTimer made;
    made.start();
    QDir().mkpath(root);
    for (int b = 1; b <= builds; ++b) {
        const QString build = root + Pad3(b) + QStringLiteral("_Стройка ") + QString::number(b);
        QDir().mkdir(build);
        for (int p = 1; p <= projects; ++p)
            QDir().mkdir(build + Separator() + QString::number(p) + QStringLiteral("-Р_Проект ") +
                         QString::number(p));
    }
    const QString noteFolder = root + Pad3(builds) + QStringLiteral("_Стройка ") + QString::number(builds) +
                               Separator() + QString::number(projects) + QStringLiteral("-Р_Проект ") +
                               QString::number(projects) + Separator() + notes + Separator() +
                               QString::number(inv) + QStringLiteral("_Записка");
    QDir().mkpath(noteFolder);
    for (const char* name : {"Пояснительная_5678.pdf", "5678.pdf", "Титул.doc"}) {
        QFile file(noteFolder + Separator() + QString::fromUtf8(name));
        file.open(QIODevice::WriteOnly);
    }
    std::printf("store: %d build folders, %d project folders, made in %lld ms\n", builds, builds * projects,
                made.elapsed());

    const QString expected = noteFolder + Separator() + QStringLiteral("Пояснительная_5678.pdf");
    bool ok = true;
    auto lookup = [&] {
        QString r = root, entry;
        ok = FindEntryByKey(r, Pad3(builds), &entry);
        r += entry + Separator();
        ok = ok && FindEntryByPrefix(r, ProjectFolderPrefix(QStringLiteral("Р"), QString::number(projects)),
                                     &entry);
        r += entry + Separator() + notes + Separator();
        const QString invText = QString::number(inv);
        ok = ok && (FindEntryByPrefix(r, invText + u'_', &entry) || FindEntryByKey(r, invText, &entry));
        r += entry + Separator();
        ok = ok && FindFirstMatch(r, QStringLiteral("*_") + invText + QStringLiteral(".pdf"), &entry);
        ok = ok && r + entry == expected;
        g_sink += entry.size();
    };
    lookup();
    if (!ok) {
        std::fprintf(stderr, "the lookup did not find the note\n");
        return 1;
    }

    auto list = [](const QString& folder) {
        return [folder] {
            g_sink += QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
        };
    };
    // Warm the directory cache before measuring anything.
    list(root)();
    const qint64 tLookup = median(repeat, lookup);
    const qint64 tDeepest = median(repeat, list(noteFolder));
    const qint64 tRoot = median(repeat, list(root));
    QElapsedTimer walk;
    walk.start();
    qint64 walked = 0;
    for (QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++walked;
    const qint64 tWalk = walk.nsecsElapsed();
    g_sink += walked;

    std::printf("note lookup median: %.3f ms; deepest folder listing: %.3f ms; root listing: %.3f ms; "
                "tree walk (%lld entries, once): %.1f ms\n",
                tLookup / 1e6, tDeepest / 1e6, tRoot / 1e6, walked, tWalk / 1e6);
    std::printf("note_lookup_vs_deepest_listing: %.1f\n", double(tLookup) / double(tDeepest));
    std::printf("note_lookup_vs_root_listing: %.2f\n", double(tLookup) / double(tRoot));
    std::printf("tree_walk_vs_note_lookup: %.1f\n", double(tWalk) / double(tLookup));
    return 0;
}
