#include "ArchiveSetup.h"

#include "db/Errors.h"
#include "db/FbStatement.h"
#include "db/SqlScript.h"

#include <firebird/Interface.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

using namespace platform::db;

namespace admin {

const char* const kProgramUser = "ARCHOP";
const char* const kProgramPassword = "fadqeo";

bool isServerPath(const QString& database) {
    // "C:\db\archive.fdb" is a drive, "server:C:\db\archive.fdb" and
    // "server/3050:/db/archive.fdb" are servers.
    static const QRegularExpression server(QStringLiteral("^[^:/\\\\]{2,}(/[^:]*)?:.+$"));
    return server.match(database).hasMatch();
}

QString configDatabaseName(const QString& database) {
    if (isServerPath(database))
        return database;
    return QDir::toNativeSeparators(QFileInfo(database).absoluteFilePath());
}

ConnectParams connectParams(const QString& database, const QString& user, const QString& password) {
    ConnectParams p;
    p.database = isServerPath(database) ? database : QFileInfo(database).absoluteFilePath();
    p.user = user.isEmpty() ? QString::fromLatin1(kProgramUser) : user;
    if (!password.isEmpty())
        p.password = password;
    else if (isServerPath(database))
        p.password = QString::fromLatin1(kProgramPassword);
    return p;
}

QString schemaScriptsDir(const QString& programDir) {
    const QString beside = QDir(programDir).filePath(QStringLiteral("db"));
    if (QFileInfo::exists(QDir(beside).filePath(QStringLiteral("archive.sql"))))
        return beside;
    return QStringLiteral(ARCHIVE_ADMIN_SOURCE_DB_DIR);
}

bool databaseExists(const ConnectParams& params) {
    if (!isServerPath(params.database))
        return QFileInfo::exists(params.database);
    try {
        FbAttachment::attach(params);
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

void removeDatabase(const ConnectParams& params) {
    try {
        auto att = FbAttachment::attach(params);
        att->dropDatabase();
        return;
    } catch (const DatabaseError& e) {
        if (isServerPath(params.database))
            throw AdminError(
                QStringLiteral("Не удалось удалить базу данных %1: %2").arg(params.database, e.message()));
    }
    // A local file that the engine does not take for a database.
    if (QFileInfo::exists(params.database) && !QFile::remove(params.database))
        throw AdminError(QStringLiteral("Не удалось удалить файл %1").arg(params.database));
}

std::unique_ptr<FbAttachment> createDatabase(const ConnectParams& params, const QString& scriptFile,
                                             bool force, bool forcedWrites) {
    if (databaseExists(params)) {
        if (!force)
            throw AdminError(QStringLiteral("База данных %1 уже существует. Чтобы пересоздать её, "
                                            "укажите --force.")
                                 .arg(params.database));
        removeDatabase(params);
    }
    if (!isServerPath(params.database)) {
        const QFileInfo file(params.database);
        if (!QDir().mkpath(file.absolutePath()))
            throw AdminError(QStringLiteral("Не удалось создать папку %1").arg(file.absolutePath()));
    }
    QString script;
    try {
        script = readSqlScriptFile(scriptFile);
    } catch (const DatabaseError& e) {
        throw AdminError(QStringLiteral("Не удалось прочитать скрипт %1: %2").arg(scriptFile, e.message()));
    }

    CreateParams create;
    static_cast<ConnectParams&>(create) = params;
    create.defaultCharset = QStringLiteral("WIN1251");
    create.pageSize = 8192;
    create.dialect = 3;
    create.forcedWrites = forcedWrites;
    std::unique_ptr<FbAttachment> att;
    try {
        att = FbAttachment::create(create);
    } catch (const DatabaseError& e) {
        throw AdminError(
            QStringLiteral("Не удалось создать базу данных %1: %2").arg(params.database, e.message()));
    }
    try {
        runSqlScript(*att, script);
    } catch (const DatabaseError& e) {
        try {
            att->dropDatabase();
        } catch (const DatabaseError&) {
        }
        throw AdminError(QStringLiteral("Ошибка в скрипте %1 при создании базы %2: %3")
                             .arg(scriptFile, params.database, e.message()));
    }
    return att;
}

void setForcedWrites(const ConnectParams& params, bool on) {
    using namespace Firebird;
    IMaster* master = fb::master();
    IStatus* status = master->getStatus();
    CheckStatusWrapper st(status);
    IXpbBuilder* dpb = master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    IAttachment* att = nullptr;
    QString error;
    if (!(st.getState() & IStatus::STATE_ERRORS)) {
        dpb->insertTag(&st, isc_dpb_utf8_filename);
        dpb->insertString(&st, isc_dpb_user_name, params.user.toUtf8().constData());
        if (!params.password.isEmpty())
            dpb->insertString(&st, isc_dpb_password, params.password.toUtf8().constData());
        dpb->insertInt(&st, isc_dpb_force_write, on ? 1 : 0);
        if (!(st.getState() & IStatus::STATE_ERRORS)) {
            const QByteArray name = params.database.toUtf8();
            att = master->getDispatcher()->attachDatabase(&st, name.constData(), dpb->getBufferLength(&st),
                                                          dpb->getBuffer(&st));
        }
    }
    if (st.getState() & IStatus::STATE_ERRORS) {
        try {
            fb::check(&st);
        } catch (const DatabaseError& e) {
            error = e.message();
        }
    } else if (att) {
        att->detach(&st);
        if (st.getState() & IStatus::STATE_ERRORS)
            att->release();
    }
    if (dpb)
        dpb->dispose();
    status->dispose();
    if (!error.isEmpty())
        throw AdminError(QStringLiteral("Не удалось включить синхронную запись для базы %1: %2")
                             .arg(params.database, error));
}

void writeConfigFile(const QString& fileName, const QString& archiveDatabase, const QString& spravDatabase) {
    // Sections of an existing file other than "Main" stay (the alternative
    // database paths of the path dialog live there).
    QStringList kept;
    QFile old(fileName);
    if (old.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QStringList lines = QString::fromUtf8(old.readAll()).split(u'\n');
        bool inMain = false;
        for (QString line : lines) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            const QString t = line.trimmed();
            if (t.startsWith(u'[') && t.endsWith(u']'))
                inMain =
                    t.mid(1, t.size() - 2).trimmed().compare(QStringLiteral("Main"), Qt::CaseInsensitive) ==
                    0;
            if (!inMain)
                kept << line;
        }
        while (!kept.isEmpty() && kept.last().trimmed().isEmpty())
            kept.removeLast();
    }

    QString text = QStringLiteral("[Main]\n") + QStringLiteral("databasename_archive=") + archiveDatabase +
                   u'\n' + QStringLiteral("databasename_sprav=") + spravDatabase + u'\n';
    if (!kept.isEmpty())
        text += u'\n' + kept.join(u'\n') + u'\n';

    const QFileInfo info(fileName);
    if (!QDir().mkpath(info.absolutePath()))
        throw AdminError(QStringLiteral("Не удалось создать папку %1").arg(info.absolutePath()));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        throw AdminError(
            QStringLiteral("Не удалось записать файл конфигурации %1: %2").arg(fileName, file.errorString()));
    file.write(text.toUtf8());
    if (!file.commit())
        throw AdminError(
            QStringLiteral("Не удалось записать файл конфигурации %1: %2").arg(fileName, file.errorString()));
}

void execute(FbAttachment& attachment, const QString& sql, const QVector<QVariant>& params) {
    auto tra = attachment.startTransaction(TransactionKind::ReadWrite);
    FbStatement stmt(attachment.handle(), tra->handle(), sql);
    stmt.execute(tra->handle(), params);
    tra->commit();
}

namespace {

void setParam(FbAttachment& archive, int param, const QString& value, const QString& description) {
    auto tra = archive.startTransaction(TransactionKind::ReadWrite);
    FbStatement update(archive.handle(), tra->handle(),
                       QStringLiteral("UPDATE DBPARAMS SET NAME = ? WHERE PARAM = ?"));
    if (update.execute(tra->handle(), {value, param}) == 0) {
        FbStatement insert(
            archive.handle(), tra->handle(),
            QStringLiteral("INSERT INTO DBPARAMS (PARAM, NAME, DESCRIPTION) VALUES (?, ?, ?)"));
        insert.execute(tra->handle(), {param, value, description});
    }
    tra->commit();
}

} // namespace

void setStoreRoot(FbAttachment& archive, const QString& dir) {
    const QString root = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    const QFileInfo info(root);
    QString share = QDir::toNativeSeparators(info.absolutePath());
    const QString folder = info.fileName();
    if (folder.isEmpty())
        throw AdminError(
            QStringLiteral("Корень хранилища документов не может быть корнем диска: %1").arg(dir));
    // The root's parent may itself be a drive root ("/" or "C:\"): the
    // separator between the two parts is added by the program.
    if (share.endsWith(QDir::separator()))
        share.chop(1);
    if (!QDir().mkpath(root))
        throw AdminError(QStringLiteral("Не удалось создать папку хранилища %1").arg(root));
    const QString letters = QDir(root).filePath(QStringLiteral("Письма"));
    QDir().mkpath(letters);
    try {
        setParam(archive, 1, share,
                 QStringLiteral("Сетевой ресурс хранилища документов (первая часть корня)"));
        setParam(archive, 2, folder,
                 QStringLiteral("Папка хранилища на сетевом ресурсе (вторая часть корня)"));
        setParam(archive, 16, QDir::toNativeSeparators(letters),
                 QStringLiteral("Папка, с которой начинается выбор файла исходящего письма"));
    } catch (const platform::db::Error& e) {
        throw AdminError(QStringLiteral("Не удалось записать параметры хранилища: %1").arg(e.message()));
    }
}

QString StoreFolders::root() const {
    return share + QDir::separator() + folder;
}

StoreFolders readStoreFolders(FbAttachment& archive) {
    StoreFolders f;
    const auto rows = archive.selectText(QStringLiteral("SELECT PARAM, NAME FROM DBPARAMS"));
    for (const QStringList& r : rows) {
        const int param = r.value(0).toInt();
        const QString name = r.value(1).trimmed();
        switch (param) {
        case 1:
            f.share = name;
            break;
        case 2:
            f.folder = name;
            break;
        case 3:
            f.notes = name;
            break;
        case 4:
            f.smets = name;
            break;
        case 5:
            f.drafts = name;
            break;
        case 6:
            f.positions = name;
            break;
        case 13:
            f.outLetters = name;
            break;
        case 14:
            f.inLetters = name;
            break;
        case 15:
            f.protocols = name;
            break;
        case 16:
            f.letterDrafts = name;
            break;
        default:
            break;
        }
    }
    return f;
}

} // namespace admin
