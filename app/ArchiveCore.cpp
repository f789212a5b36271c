#include "app/ArchiveCore.h"

#include "data/DataMod.h"
#include "db/Query.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

const QString TArchiveCore::ServerUser = QStringLiteral("ARCHOP");
const QString TArchiveCore::ServerPassword = QStringLiteral("fadqeo");
const QString TArchiveCore::GuestPassword = QStringLiteral("735");

TArchiveCore::TArchiveCore() {
    const QStringList args = QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
    Initialize(QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString(),
               args.mid(1));
}

TArchiveCore& TArchiveCore::Instance() {
    static TArchiveCore core;
    return core;
}

bool TArchiveCore::IsDebugSwitch(const QString& argument) {
    return (argument.startsWith(u'-') || argument.startsWith(u'/')) &&
           argument.mid(1).compare(QStringLiteral("DEBUG"), Qt::CaseInsensitive) == 0;
}

void TArchiveCore::Initialize(const QString& programPath, const QStringList& arguments) {
    const QFileInfo program(programPath);
    m_exePath = QDir::toNativeSeparators(program.absolutePath() + u'/');
    m_exeName = program.fileName();
    m_baseName = program.completeBaseName();
    m_debugMode = std::any_of(arguments.begin(), arguments.end(), &TArchiveCore::IsDebugSwitch);
    m_settings = std::make_unique<TArchiveSettings>();
    TIniSettingsLoader::Load(*m_settings, ConfigFileName());
    m_layout = std::make_unique<TArchiveLayout>();
    m_userSettings = std::make_unique<TArchiveUserSettings>();
    m_archiveDatabaseName.clear();
    m_referenceDatabaseName.clear();
    m_userName.clear();
    m_userRole = urNoAccess;
    for (QString& p : m_params)
        p.clear();
}

bool TArchiveCore::Connect() {
    m_archiveDatabaseName =
        m_settings->ReadString(QStringLiteral("Main"), QStringLiteral("databasename_archive"), {});
    m_referenceDatabaseName =
        m_settings->ReadString(QStringLiteral("Main"), QStringLiteral("databasename_sprav"), {});
    if (!m_dm)
        return false;
    const int result =
        m_dm->OpenDatabases(m_archiveDatabaseName, m_referenceDatabaseName, ServerUser, ServerPassword);
    if (result == TDM::OpenOk)
        ReadArchiveParams();
    return result == TDM::OpenOk;
}

void TArchiveCore::ReadArchiveParams() {
    static const int params[10] = {1, 2, 3, 4, 5, 6, 13, 14, 15, 16};
    platform::db::Query q(m_dm->Base());
    q.setSql(QStringLiteral("SELECT * FROM DBPARAMS"));
    q.open();
    for (int i = 0; i < 10; ++i)
        if (q.locate(QStringLiteral("Param"), QVariant(params[i])))
            m_params[i] = q.fieldByName(QStringLiteral("Name"))->asString();
    q.close();
}

TUserRole TArchiveCore::DetermineRole(const QString& userName, const QString& password) {
    const QString upper = QLocale().toUpper(userName);
    TUserRole role;
    if (upper == u"GUEST" && password == GuestPassword) {
        role = urGuest;
    } else if (upper == ServerUser && password == ServerPassword) {
        role = urFull;
    } else {
        role =
            RoleFromPrivileges(m_dm ? m_dm->ReadTablePrivileges(upper, QStringLiteral("BUILDS")) : QString());
    }
    m_userName = userName;
    m_userRole = role;
    return role;
}

TUserRole TArchiveCore::RoleFromPrivileges(const QString& privileges) {
    // The server returns the codes in no fixed order, blank-padded.
    QSet<QChar> letters;
    for (QChar c : privileges)
        if (!c.isSpace())
            letters.insert(c.toUpper());
    static const QSet<QChar> full = {u'S', u'I', u'U', u'D', u'R'};
    if (letters == QSet<QChar>{u'S'})
        return urReadOnly;
    if (letters.contains(full))
        return urFull;
    return urGuest;
}

QStringList TArchiveCore::DatabaseSections() const {
    QStringList sections;
    const TNode& root = m_settings->Root();
    for (int i = 0; i < root.ChildCount(); ++i) {
        const QString name = root.Child(i)->Name();
        if (name.size() > 2 && name.startsWith(QStringLiteral("DB")))
            sections << name;
    }
    return sections;
}
