#include "AdminCommand.h"

#include "ArchiveSetup.h"
#include "DemoArchive.h"
#include "DemoStore.h"

#include "db/Errors.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

using namespace platform::db;

namespace admin {

AdminCommand::AdminCommand(QString programDir)
    : m_programDir(std::move(programDir)) {}

void AdminCommand::say(const QString& line) const {
    if (m_out)
        m_out(line);
}

int AdminCommand::run(const QStringList& arguments) {
    auto fail = [&](const QString& message, int code) {
        if (m_err)
            m_err(message);
        return code;
    };

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Администрирование архива: создание баз данных и демо-архива."));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("Команда: create"));
    const QCommandLineOption archive(QStringLiteral("archive"),
                                     QStringLiteral("База архива: файл или сервер:путь."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption sprav(QStringLiteral("sprav"),
                                   QStringLiteral("База справочников: файл или сервер:путь."),
                                   QStringLiteral("PATH"));
    const QCommandLineOption dir(
        QStringLiteral("dir"), QStringLiteral("Папка: DIR/archive.fdb, DIR/sprav.fdb и хранилище DIR/store."),
        QStringLiteral("DIR"));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("Файл конфигурации программы (по умолчанию archive.ini рядом с программой)."),
        QStringLiteral("FILE"));
    const QCommandLineOption store(QStringLiteral("store"), QStringLiteral("Корень хранилища документов."),
                                   QStringLiteral("DIR"));
    const QCommandLineOption user(
        QStringLiteral("user"), QStringLiteral("Учётная запись (по умолчанию ARCHOP)."), QStringLiteral("U"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Пароль учётной записи."),
                                      QStringLiteral("P"));
    const QCommandLineOption force(QStringLiteral("force"), QStringLiteral("Пересоздать существующие базы."));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Заполнить демонстрационный архив."));
    const QCommandLineOption notes(QStringLiteral("notes"),
                                   QStringLiteral("Размер демо-архива: число пояснительных записок."),
                                   QStringLiteral("N"));
    const QCommandLineOption noStore(QStringLiteral("no-store"),
                                     QStringLiteral("Не создавать файлы хранилища."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Показать справку."));
    parser.addOptions(
        {archive, sprav, dir, config, store, user, password, force, demo, notes, noStore, help});

    if (!parser.parse(arguments))
        return fail(QStringLiteral("Ошибка в командной строке: %1").arg(parser.errorText()), 2);
    if (parser.isSet(help)) {
        say(parser.helpText());
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(
            QStringLiteral("Не указана команда. Использование: archive-admin create --dir DIR [--demo]"), 2);
    if (positional.size() > 1)
        return fail(QStringLiteral("Лишние аргументы: %1").arg(positional.mid(1).join(u' ')), 2);
    if (positional[0] != QStringLiteral("create"))
        return fail(QStringLiteral("Неизвестная команда: %1. Доступна команда create.").arg(positional[0]),
                    2);

    CreateOptions o;
    if (parser.isSet(dir)) {
        const QDir d(parser.value(dir));
        o.archive = d.filePath(QStringLiteral("archive.fdb"));
        o.sprav = d.filePath(QStringLiteral("sprav.fdb"));
        o.store = d.filePath(QStringLiteral("store"));
    }
    if (parser.isSet(archive))
        o.archive = parser.value(archive);
    if (parser.isSet(sprav))
        o.sprav = parser.value(sprav);
    if (parser.isSet(store))
        o.store = parser.value(store);
    if (o.archive.isEmpty() || o.sprav.isEmpty())
        return fail(
            QStringLiteral("Не заданы базы данных: укажите --dir или оба параметра --archive и --sprav."), 2);
    if (o.archive == o.sprav)
        return fail(QStringLiteral("База архива и база справочников должны быть разными."), 2);
    o.config = parser.isSet(config) ? parser.value(config)
                                    : QDir(m_programDir).filePath(QStringLiteral("archive.ini"));
    o.user = parser.value(user);
    o.password = parser.value(password);
    o.force = parser.isSet(force);
    o.demo = parser.isSet(demo) || parser.isSet(notes);
    if (parser.isSet(notes)) {
        bool ok = false;
        o.notes = parser.value(notes).toInt(&ok);
        if (!ok || o.notes <= 0)
            return fail(
                QStringLiteral("Число записок должно быть положительным целым: %1").arg(parser.value(notes)),
                2);
    }
    o.writeStore = !parser.isSet(noStore);

    try {
        create(o);
    } catch (const AdminError& e) {
        return fail(e.message(), 1);
    } catch (const platform::db::Error& e) {
        return fail(QStringLiteral("Ошибка базы данных: %1").arg(e.message()), 1);
    }
    return 0;
}

void AdminCommand::create(const CreateOptions& o) {
    const QString scripts = schemaScriptsDir(m_programDir);
    const ConnectParams archiveParams = connectParams(o.archive, o.user, o.password);
    const ConnectParams spravParams = connectParams(o.sprav, o.user, o.password);

    // Both are checked before either is made, so a refusal leaves nothing behind.
    for (const ConnectParams* p : {&archiveParams, &spravParams})
        if (!o.force && databaseExists(*p))
            throw AdminError(
                QStringLiteral("База данных %1 уже существует. Чтобы пересоздать её, укажите --force.")
                    .arg(p->database));

    const bool demoStore = o.demo && o.writeStore && !o.store.isEmpty();
    if (demoStore)
        DemoStore::checkRoot(o.store, o.force);

    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<FbAttachment> archiveDb;
    std::unique_ptr<FbAttachment> spravDb;
    // A failure half-way removes what this run has made, so the command can
    // simply be repeated.
    auto cleanUp = [&]() {
        for (auto* att : {&archiveDb, &spravDb}) {
            if (*att) {
                try {
                    (*att)->dropDatabase();
                } catch (const platform::db::Error&) {
                }
                att->reset();
            }
        }
    };
    try {
        archiveDb = createDatabase(archiveParams, QDir(scripts).filePath(QStringLiteral("archive.sql")),
                                   o.force, false);
        say(QStringLiteral("Создана база архива: %1").arg(archiveParams.database));
        spravDb =
            createDatabase(spravParams, QDir(scripts).filePath(QStringLiteral("sprav.sql")), o.force, false);
        say(QStringLiteral("Создана база справочников: %1").arg(spravParams.database));

        if (!o.store.isEmpty()) {
            if (demoStore)
                DemoStore::clearEarlierDemo(o.store);
            setStoreRoot(*archiveDb, o.store);
            say(QStringLiteral("Хранилище документов: %1")
                    .arg(QDir::toNativeSeparators(QFileInfo(o.store).absoluteFilePath())));
        }

        if (o.demo) {
            QElapsedTimer step;
            step.start();
            const DemoArchive demo(o.notes > 0 ? o.notes : DemoArchive::kDefaultNotes);
            auto progress = [this](const QString& line) {
                say(QStringLiteral("  ") + line);
            };
            demo.writeReference(*spravDb, progress);
            demo.writeArchive(*archiveDb, progress);
            say(QStringLiteral("Демо-архив записан за %1 с").arg(double(step.elapsed()) / 1000.0, 0, 'f', 1));
            if (o.writeStore && !o.store.isEmpty()) {
                step.restart();
                const StoreFolders folders = readStoreFolders(*archiveDb);
                const DemoStore::Result r = DemoStore::write(demo.model(), folders, o.store);
                say(QStringLiteral("Хранилище: папок %1, файлов %2 (%3 КБ) за %4 с")
                        .arg(r.folders)
                        .arg(r.files)
                        .arg((r.bytes + 1023) / 1024)
                        .arg(double(step.elapsed()) / 1000.0, 0, 'f', 1));
            } else if (o.writeStore) {
                say(QStringLiteral(
                    "Файлы хранилища не созданы: не указан корень хранилища (--store или --dir)."));
            }
        }

        writeConfigFile(o.config, configDatabaseName(o.archive), configDatabaseName(o.sprav));
        say(QStringLiteral("Файл конфигурации: %1")
                .arg(QDir::toNativeSeparators(QFileInfo(o.config).absoluteFilePath())));
    } catch (...) {
        cleanUp();
        throw;
    }
    archiveDb->detach();
    spravDb->detach();
    // Loaded without them; the archive in use runs with forced writes.
    setForcedWrites(archiveParams, true);
    setForcedWrites(spravParams, true);
    say(QStringLiteral("Готово за %1 с").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
}

} // namespace admin
