#include "app/ArchiveCore.h"

#include "app/DocumentStore.h"
#include "data/DataMod.h"
#include "db/Query.h"
#include "desktop/Interaction.h"

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

namespace {

// The PARAM numbers of the archive parameters, in the order of m_params.
const int kArchiveParams[10] = {1, 2, 3, 4, 5, 6, 13, 14, 15, 16};

} // namespace

void TArchiveCore::SetArchiveParam(int param, const QString& value) {
    for (int i = 0; i < 10; ++i)
        if (kArchiveParams[i] == param)
            m_params[i] = value;
}

void TArchiveCore::ReadArchiveParams() {
    const int* params = kArchiveParams;
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

// ------------------------------------------------------------ document store

QString TArchiveCore::GetDocumentRoot() const {
    return StoreShare() + docstore::Separator() + StoreFolder() + docstore::Separator();
}

QString TArchiveCore::ProjectFolderPrefix(const QString& pkind, const QString& pkey) {
    return docstore::ProjectFolderPrefix(pkind, pkey);
}

QString TArchiveCore::FindDraftFolder(int bkey, const QString& pkey, int invnum, const QString& pkind,
                                      QString* errorText) const {
    using namespace docstore;
    const QString q(u'"');
    auto fail = [&](const QString& text) {
        if (errorText)
            *errorText = text;
        return QString();
    };
    if (errorText)
        errorText->clear();

    QString r = GetDocumentRoot();
    const QString b = Pad3(bkey);
    QString entry;
    if (!FindEntryByKey(r, b, &entry))
        return fail(QStringLiteral("Путь ") + q + r + b + u'*' + q + QStringLiteral(" не найден."));

    r += entry + Separator();
    const QString k = pkey.isEmpty() ? pkind : pkey + u'-' + pkind;
    // An empty key would take whatever project folder comes first.
    if (k.isEmpty() || (!FindEntryByPrefix(r, k + u'_', &entry) && !FindEntryByKey(r, k, &entry)))
        return fail(QStringLiteral("Путь ") + q + r + k + u'*' + q + QStringLiteral(" не найден."));

    r += entry + Separator() + DraftsFolder() + Separator();
    const QString inv = Pad3(invnum);
    const QString mask = QStringLiteral("*_") + inv + u'*';
    if (!FindFirstMatch(r, mask, &entry, EntryKinds::Any,
                        [&](const QString& name) { return HoldsKeyAfter(name, QStringLiteral("_"), inv); }))
        return fail(QStringLiteral("Путь ") + q + r + mask + q + QStringLiteral(" не найден"));
    return r + entry + Separator();
}

QString TArchiveCore::GetProtocolsPath(const QString& buildPrefix) const {
    const QString root = GetDocumentRoot();
    QString entry;
    if (!docstore::FindEntryByKey(root, buildPrefix, &entry))
        return root;
    return root + entry + docstore::Separator() + ProtocolsFolder() + docstore::Separator();
}

bool TArchiveCore::OpenProtocolDocument(const QString& relativeName) const {
    const QString root = GetDocumentRoot();
    if (!docstore::IsSearchableFolder(root)) {
        docstore::ShowMessage(QStringLiteral("Путь \"") + root + QStringLiteral("\" не найден."));
        return false;
    }
    // The stored name was written with the other system's separator as often
    // as not; it begins with a separator of its own.
    QString name = relativeName;
    name.replace(u'\\', u'/');
    name = QDir::toNativeSeparators(name);
    if (!name.startsWith(QDir::separator()))
        name.prepend(QDir::separator());
    platform::interaction().openPath(root + ProtocolsFolder() + name);
    return true;
}
