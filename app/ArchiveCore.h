#pragma once

// The application core: the program's path and switches, the configuration
// tree loaded from the file beside the program, the database names, the
// user and his rights, and the archive parameters read from DBPARAMS.

#include "app/Settings.h"

#include <QString>
#include <QStringList>

#include <memory>

class TDM;

enum TUserRole : qint16 { urNoAccess, urGuest, urReadOnly, urFull };

// Window layout values; carries no behaviour of its own.
class TArchiveLayout {};

// What the main window remembers for the user between runs.
class TArchiveUserSettings {
public:
    bool AutoLogin = false;
    int LastBuild = 0; // the build last chosen in the builds dialog
};

class TArchiveCore {
public:
    // The fixed server account every connection uses.
    static const QString ServerUser;
    static const QString ServerPassword;
    // The built-in password of the user GUEST.
    static const QString GuestPassword;

    static TArchiveCore& Instance();
    // Sets the core up again for a program path and command line (the
    // program does this once at start; tests do it for each case).
    void Initialize(const QString& programPath, const QStringList& arguments);

    QString ExePath() const { return m_exePath; }
    QString ExeName() const { return m_exeName; }
    QString BaseName() const { return m_baseName; }
    QString ConfigFileName() const { return m_exePath + m_baseName + QStringLiteral(".ini"); }
    bool DebugMode() const { return m_debugMode; }
    static bool IsDebugSwitch(const QString& argument);

    TArchiveLayout& Layout() { return *m_layout; }
    TArchiveSettings& Settings() { return *m_settings; }
    TArchiveUserSettings& UserSettings() { return *m_userSettings; }

    QString ArchiveDatabaseName() const { return m_archiveDatabaseName; }
    QString ReferenceDatabaseName() const { return m_referenceDatabaseName; }
    QString UserName() const { return m_userName; }
    QString LastUser() const { return m_lastUser; }
    void SetLastUser(const QString& user) { m_lastUser = user; }
    TUserRole UserRole() const { return m_userRole; }
    void SetUserRole(TUserRole role) { m_userRole = role; }

    // The data module the core connects through; set by the main window.
    void SetDataModule(TDM* dm) { m_dm = dm; }
    TDM* DataModule() const { return m_dm; }

    // Reads the two database names from the configuration and opens both
    // databases; true when both are open (the archive parameters are then read).
    bool Connect();
    void ReadArchiveParams();
    TUserRole DetermineRole(const QString& userName, const QString& password);
    // The role that a user's privilege codes on BUILDS give: full rights for
    // the complete set S, I, U, D, R in any order, read-only for S alone,
    // guest rights for anything else.
    static TUserRole RoleFromPrivileges(const QString& privileges);

    // The archive parameters (DBPARAMS).
    QString StoreShare() const { return m_params[0]; }
    QString StoreFolder() const { return m_params[1]; }
    QString NotesFolder() const { return m_params[2]; }
    QString SmetsFolder() const { return m_params[3]; }
    QString DraftsFolder() const { return m_params[4]; }
    QString PositionsFolder() const { return m_params[5]; }
    QString OutLettersFolder() const { return m_params[6]; }
    QString InLettersFolder() const { return m_params[7]; }
    QString ProtocolsFolder() const { return m_params[8]; }
    QString LetterDraftsDir() const { return m_params[9]; }

    // Configuration sections whose names begin with "DB" (the path dialog lists them).
    QStringList DatabaseSections() const;

    // Sets one archive parameter by its PARAM number (1 to 6, 13 to 16);
    // other numbers are ignored. ReadArchiveParams does this from DBPARAMS.
    void SetArchiveParam(int param, const QString& value);

    // ------------------------------------------------------ document store
    // (names and searches: app/DocumentStore.h)

    // StoreShare + separator + StoreFolder + separator.
    QString GetDocumentRoot() const;
    static QString ProjectFolderPrefix(const QString& pkind, const QString& pkey);
    // The folder of a drawing set, with a separator at its end; empty when a
    // step fails, and `errorText` (when given) then holds the message to show.
    QString FindDraftFolder(int bkey, const QString& pkey, int invnum, const QString& pkind,
                            QString* errorText = nullptr) const;
    // The protocols folder of the build whose folder name begins with the key
    // `buildPrefix` (Pad3 of BKEY), with a separator at its end; the root when
    // there is no such build folder.
    QString GetProtocolsPath(const QString& buildPrefix) const;
    // Opens root + ProtocolsFolder + relativeName in the desktop. False (after
    // a message) when the root is made of empty parameters.
    bool OpenProtocolDocument(const QString& relativeName) const;

private:
    TArchiveCore();

    QString m_exePath;
    QString m_exeName;
    QString m_baseName;
    bool m_debugMode = false;
    std::unique_ptr<TArchiveLayout> m_layout;
    std::unique_ptr<TArchiveSettings> m_settings;
    std::unique_ptr<TArchiveUserSettings> m_userSettings;
    QString m_archiveDatabaseName;
    QString m_referenceDatabaseName;
    QString m_userName;
    QString m_lastUser;
    TUserRole m_userRole = urNoAccess;
    QString m_params[10];
    TDM* m_dm = nullptr;
};
