#include "TempDatabase.h"

#include "db/SqlScript.h"

#include <QDir>
#include <QFileInfo>

using namespace platform::db;

TempDatabase::TempDatabase(const QString& fileName)
    : m_dir(QDir::tempPath() + QStringLiteral("/archive-test-XXXXXX")) {
    create(fileName);
}

TempDatabase::TempDatabase(const QString& fileName, const QString& server)
    : m_dir(QDir::tempPath() + QStringLiteral("/archive-test-XXXXXX"))
    , m_server(server) {
    create(fileName);
}

QString TempDatabase::testServer() {
    return qEnvironmentVariable("ARCHIVE_TEST_SERVER");
}

void TempDatabase::create(const QString& fileName) {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
        return;
    }
    m_path = QDir(m_dir.path()).filePath(fileName);
    CreateParams params;
    params.database = path();
    params.forcedWrites = false;
    // The program's own account owns the database, as on a real archive.
    params.user = QStringLiteral("ARCHOP");
    if (!m_server.isEmpty())
        params.password = QStringLiteral("fadqeo");
    try {
        m_attachment = FbAttachment::create(params);
    } catch (const DatabaseError& e) {
        m_error = e.message();
    }
}

TempDatabase::~TempDatabase() {
    if (!m_attachment)
        return;
    try {
        m_attachment->dropDatabase();
    } catch (const DatabaseError&) {
        // Another attachment is still open: the folder goes with the file anyway.
        m_attachment.reset();
    }
}

ConnectParams TempDatabase::connectParams() const {
    ConnectParams p;
    p.database = path();
    p.user = QStringLiteral("ARCHOP");
    if (!m_server.isEmpty())
        p.password = QStringLiteral("fadqeo");
    return p;
}

void TempDatabase::exec(const QString& sql) {
    m_attachment->execute(sql);
}

void TempDatabase::runScript(const QString& script) {
    runSqlScript(*m_attachment, script);
}

void TempDatabase::runScriptFile(const QString& path) {
    const QString full =
        QFileInfo(path).isRelative() ? QDir(QStringLiteral(ARCHIVE_DB_SCRIPTS_DIR)).filePath(path) : path;
    runScript(readSqlScriptFile(full));
}

QVector<QStringList> TempDatabase::select(const QString& sql) {
    return m_attachment->selectText(sql);
}

QString TempDatabase::scalar(const QString& sql) {
    const auto rows = select(sql);
    return rows.isEmpty() || rows.first().isEmpty() ? QString() : rows.first().first();
}

void TempDatabase::detach() {
    if (m_attachment)
        m_attachment->detach();
    m_attachment.reset();
}
