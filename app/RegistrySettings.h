#pragma once

// The per-user store of window and grid layouts.
//
// Sections are registry-style key paths under the current user's root, such
// as "\Software\Archive\Main"; names are values of that key. A key path maps
// onto a QSettings group by splitting it at "\" (and "/") and dropping empty
// parts: "\Software\Archive\Main" is the group "Software/Archive/Main".
//
// Where the values live (OpenStore):
//   Windows     the registry itself, HKEY_CURRENT_USER, so the key paths
//               are real keys (HKCU\Software\Archive\Main);
//   elsewhere   QSettings' native user-scope file for organization "Archive",
//               application "Registry" (~/.config/Archive/Registry.conf on
//               Linux).
// Key and value names compare as the platform store compares them: without
// regard to letter case on Windows, exactly elsewhere.
//
// Integers are stored as numbers and strings as strings; booleans, floats and
// date-times written through the settings interface are strings in the text
// formats of TAbstractSettings, while a TRegistryNode writes booleans as the
// numbers 0 and 1. On reading, a number stored as text is accepted where an
// integer is asked for (the file store keeps no types once reloaded) and a
// number reads as its decimal text where a string is asked for.
//
// A key exists once it has been created by OpenNode or has a value. Since
// QSettings keeps no empty groups, creating a key stores an empty string under
// the value name "." (on Windows that is the key's default value); "." is
// therefore not a usable value name, nor is an empty name or one holding "/"
// or "\": reads of such names give the default and writes fail.

#include "app/Settings.h"

#include <memory>

class QSettings;

class TRegistrySettings : public TAbstractSettings {
public:
    TRegistrySettings();
    ~TRegistrySettings() override;
    TRegistrySettings(const TRegistrySettings&) = delete;
    TRegistrySettings& operator=(const TRegistrySettings&) = delete;

    // The key is opened without being created; a missing key or value, or a
    // value that does not read as the asked type, gives the default.
    qint32 ReadInteger(const QString& keyPath, const QString& name, qint32 defaultValue) const override;
    QString ReadString(const QString& keyPath, const QString& name,
                       const QString& defaultValue) const override;
    // The key is created when missing; false when the store refuses the value.
    bool WriteInteger(const QString& keyPath, const QString& name, qint32 value) override;
    bool WriteString(const QString& keyPath, const QString& name, const QString& value) override;

    // A TRegistryNode on the key, which is created when missing.
    std::unique_ptr<TAbstractNode> OpenNode(const QString& keyPath) override;
    bool NodeExists(const QString& keyPath) const override;

    // The QSettings object every settings object and node works on.
    static std::unique_ptr<QSettings> OpenStore();
    // The QSettings group of a key path ("\Software\Archive\Main" →
    // "Software/Archive/Main"); empty for the root.
    static QString GroupOf(const QString& keyPath);

private:
    std::unique_ptr<QSettings> m_store;
};

// One key of the per-user store, opened (and created when missing) for the
// node's lifetime. Reads give the default when the value is missing or does
// not read as the asked type; writes report false when the store refuses.
class TRegistryNode : public TAbstractNode {
public:
    explicit TRegistryNode(const QString& keyPath);
    ~TRegistryNode() override;
    TRegistryNode(const TRegistryNode&) = delete;
    TRegistryNode& operator=(const TRegistryNode&) = delete;

    const QString& KeyPath() const { return m_keyPath; }

    // Booleans are the numbers 0 (false) and 1 (true); any other number reads
    // as true, a value that is not a number gives the default.
    bool ReadBool(const QString& name, bool defaultValue) const override;
    qint32 ReadInteger(const QString& name, qint32 defaultValue) const override;
    QString ReadString(const QString& name, const QString& defaultValue) const override;
    bool WriteBool(const QString& name, bool value) override;
    bool WriteInteger(const QString& name, qint32 value) override;
    bool WriteString(const QString& name, const QString& value) override;

private:
    QString m_keyPath;
    QString m_group;
    std::unique_ptr<QSettings> m_store;
};
