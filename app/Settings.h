#pragma once

// The program's settings: typed values addressed by a section and a name.
//
// Two stores sit behind one interface: the configuration tree read from the
// ini file beside the program (TArchiveSettings, filled by TIniSettingsLoader)
// and the per-user store of window and grid layouts (TRegistrySettings, see
// RegistrySettings.h).
//
// Every read takes a default and returns it when the value is missing or does
// not convert; every write reports whether it succeeded. Values other than
// strings and integers pass through fixed text formats that never depend on
// the user's regional settings:
//
//   boolean    "True" / "False" (read in exactly this case, anything else is
//              not a boolean)
//   integer    decimal text
//   float      the shortest text that reads back as the same double, with "."
//              ("1.5", "0.1", "1e+20"); "1,5" is not a number
//   date-time  "dd.MM.yyyy" at midnight, else "dd.MM.yyyy h:mm:ss.zzz"
//              ("05.03.2024 9:07:02.250"); reading also accepts one or two
//              digits for day, month and hour, no fraction, or a fraction of
//              one to four digits (a decimal fraction of the second, cut to
//              milliseconds)
//
// Failures are not hidden behind these results: anything thrown inside an
// operation (out of memory) reaches the caller unchanged.

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class TAbstractNode;

// The settings interface. Sections and names are compared as the store
// behind it compares them (exactly, for the in-memory tree).
class ISettings {
public:
    virtual ~ISettings() = default;

    virtual bool ReadBool(const QString& section, const QString& name, bool defaultValue) const = 0;
    virtual qint32 ReadInteger(const QString& section, const QString& name, qint32 defaultValue) const = 0;
    virtual double ReadFloat(const QString& section, const QString& name, double defaultValue) const = 0;
    virtual QString ReadString(const QString& section, const QString& name,
                               const QString& defaultValue) const = 0;
    virtual QDateTime ReadDateTime(const QString& section, const QString& name,
                                   const QDateTime& defaultValue) const = 0;

    virtual bool WriteBool(const QString& section, const QString& name, bool value) = 0;
    virtual bool WriteInteger(const QString& section, const QString& name, qint32 value) = 0;
    virtual bool WriteFloat(const QString& section, const QString& name, double value) = 0;
    virtual bool WriteString(const QString& section, const QString& name, const QString& value) = 0;
    virtual bool WriteDateTime(const QString& section, const QString& name, const QDateTime& value) = 0;
};

// The text conversions. Every typed operation is built on ReadString and
// WriteString, so a store that keeps strings gets all types; this base keeps
// nothing (ReadString gives the default, WriteString fails).
class TAbstractSettings : public ISettings {
public:
    bool ReadBool(const QString& section, const QString& name, bool defaultValue) const override;
    qint32 ReadInteger(const QString& section, const QString& name, qint32 defaultValue) const override;
    double ReadFloat(const QString& section, const QString& name, double defaultValue) const override;
    QString ReadString(const QString& section, const QString& name,
                       const QString& defaultValue) const override;
    QDateTime ReadDateTime(const QString& section, const QString& name,
                           const QDateTime& defaultValue) const override;

    bool WriteBool(const QString& section, const QString& name, bool value) override;
    bool WriteInteger(const QString& section, const QString& name, qint32 value) override;
    bool WriteFloat(const QString& section, const QString& name, double value) override;
    bool WriteString(const QString& section, const QString& name, const QString& value) override;
    bool WriteDateTime(const QString& section, const QString& name, const QDateTime& value) override;

    // A node object for one section, owned by the caller; none here.
    virtual std::unique_ptr<TAbstractNode> OpenNode(const QString& path);
    // Whether the section exists; false here.
    virtual bool NodeExists(const QString& path) const;

    // The fixed text formats (see the top of this file). The parsers give
    // nothing when the text does not convert.
    static QString BoolToText(bool value);
    static std::optional<bool> TextToBool(const QString& text);
    static QString IntegerToText(qint32 value);
    static std::optional<qint32> TextToInteger(const QString& text);
    static QString FloatToText(double value);
    static std::optional<double> TextToFloat(const QString& text);
    // Empty for an invalid date-time or a year outside 1..9999.
    static QString DateTimeToText(const QDateTime& value);
    static std::optional<QDateTime> TextToDateTime(const QString& text);
};

// One named value of a node.
class TAttribute {
public:
    TAttribute(const QString& name, const QString& value);

    const QString& Name() const { return m_name; }
    const QString& Value() const { return m_value; }
    void SetValue(const QString& value) { m_value = value; }

private:
    QString m_name;
    QString m_value;
};

// One section of the in-memory tree: a name, child nodes and attributes, each
// list in the order of creation. Lookups by name compare exactly (letter case
// matters) and give the first match. A node owns its children and attributes.
class TNode {
public:
    explicit TNode(const QString& name = QString());
    ~TNode();
    TNode(const TNode&) = delete;
    TNode& operator=(const TNode&) = delete;

    const QString& Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    int ChildCount() const;
    TNode* Child(int index) const; // none when the index is out of range
    TNode* FindChild(const QString& name) const;
    TNode* AddChild(const QString& name);
    TNode* FindOrAddChild(const QString& name);

    int AttributeCount() const;
    TAttribute* Attribute(int index) const; // none when the index is out of range
    TAttribute* FindAttribute(const QString& name) const;
    TAttribute* FindOrAddAttribute(const QString& name);

private:
    QString m_name;
    std::vector<std::unique_ptr<TNode>> m_children;
    std::vector<std::unique_ptr<TAttribute>> m_attributes;
};

// Settings kept in an in-memory tree: a section is a child of the root, a
// name an attribute of that child. Nothing is written to any file.
class TSettings : public TAbstractSettings {
public:
    TSettings();
    ~TSettings() override;

    QString ReadString(const QString& section, const QString& name,
                       const QString& defaultValue) const override;
    bool WriteString(const QString& section, const QString& name, const QString& value) override;

    TNode& Root() { return m_root; }
    const TNode& Root() const { return m_root; }

private:
    TNode m_root;
};

// The program's configuration tree, loaded once at start from the ini file
// beside the program.
class TArchiveSettings : public TSettings {
public:
    // The documents folder's name; kept with the configuration, read by nothing yet.
    QString DocsFolderName() const { return m_docsFolderName; }

private:
    QString m_docsFolderName = QStringLiteral("docs");
};

// Fills a TSettings tree from a sections-and-keys file.
class TIniSettingsLoader {
public:
    // Names the root after `fileName`; then every section of the file, in file
    // order, becomes the child of that name (found or created, names compared
    // exactly) and every key of it, in file order, the attribute of that name
    // with the key's text as its value (a repeated key keeps its place and
    // takes the later value). A missing or unreadable file leaves the tree as
    // it is. Returns 0.
    //
    // The file is read as UTF-8 (a byte order mark is skipped); a line that is
    // not valid UTF-8 is read as Windows-1251. Lines beginning with ";" are
    // comments; blanks around section names, keys and values are dropped;
    // lines before the first section and lines without "=" are ignored.
    static int Load(TSettings& settings, const QString& fileName);
};

// A node object for one section or key: typed reads with defaults and writes
// with a success flag. This base stores nothing: reads give the default,
// writes fail.
class TAbstractNode {
public:
    virtual ~TAbstractNode() = default;

    virtual bool ReadBool(const QString& name, bool defaultValue) const;
    virtual qint32 ReadInteger(const QString& name, qint32 defaultValue) const;
    virtual QString ReadString(const QString& name, const QString& defaultValue) const;
    virtual bool WriteBool(const QString& name, bool value);
    virtual bool WriteInteger(const QString& name, qint32 value);
    virtual bool WriteString(const QString& name, const QString& value);
};
