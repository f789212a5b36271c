#include "app/RegistrySettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <limits>
#include <optional>

namespace {

// Stored in every key created empty, so that the key survives in a store
// that keeps no empty groups.
const QString& keyMarker() {
    static const QString name = QStringLiteral(".");
    return name;
}

constexpr Qt::CaseSensitivity keyCase =
#ifdef Q_OS_WIN
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

// The QSettings key of value `name` in `group`; none for a name the store
// cannot hold as one value of the key.
std::optional<QString> valueKey(const QString& group, const QString& name) {
    if (name.isEmpty() || name == keyMarker() || name.contains(QLatin1Char('/')) ||
        name.contains(QLatin1Char('\\')))
        return std::nullopt;
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

std::optional<QVariant> readValue(const QSettings& store, const QString& group, const QString& name) {
    const std::optional<QString> key = valueKey(group, name);
    if (!key || !store.contains(*key))
        return std::nullopt;
    return store.value(*key);
}

bool writeValue(QSettings& store, const QString& group, const QString& name, const QVariant& value) {
    const std::optional<QString> key = valueKey(group, name);
    if (!key || !store.isWritable())
        return false;
    store.setValue(*key, value);
    return store.status() == QSettings::NoError;
}

std::optional<qint32> variantToInteger(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::UInt: // a 32-bit value read back without its sign
        return qint32(value.toUInt());
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong number = value.toLongLong(&ok);
        if (!ok || number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
            return std::nullopt;
        return qint32(number);
    }
    case QMetaType::QString:
        return TAbstractSettings::TextToInteger(value.toString());
    default:
        return std::nullopt;
    }
}

std::optional<QString> variantToString(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toString();
    default: // lists, binary data: not a string value
        return std::nullopt;
    }
}

bool keyExists(QSettings& store, const QString& group) {
    if (group.isEmpty())
        return true; // the root
    const qsizetype slash = group.lastIndexOf(QLatin1Char('/'));
    const QString parent = slash < 0 ? QString() : group.left(slash);
    const QString child = group.mid(slash + 1);
    store.beginGroup(parent);
    const QStringList children = store.childGroups();
    store.endGroup();
    return children.contains(child, keyCase);
}

bool createKey(QSettings& store, const QString& group) {
    if (keyExists(store, group))
        return true;
    if (!store.isWritable())
        return false;
    store.setValue(group + QLatin1Char('/') + keyMarker(), QString());
    return store.status() == QSettings::NoError;
}

} // namespace

// ---- TRegistrySettings ---------------------------------------------------

TRegistrySettings::TRegistrySettings()
    : m_store(OpenStore()) {}

TRegistrySettings::~TRegistrySettings() = default;

std::unique_ptr<QSettings> TRegistrySettings::OpenStore() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER"), QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Archive"), QStringLiteral("Registry"));
#endif
}

QString TRegistrySettings::GroupOf(const QString& keyPath) {
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    return keyPath.split(separators, Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

qint32 TRegistrySettings::ReadInteger(const QString& keyPath, const QString& name,
                                      qint32 defaultValue) const {
    const std::optional<QVariant> value = readValue(*m_store, GroupOf(keyPath), name);
    if (!value)
        return defaultValue;
    return variantToInteger(*value).value_or(defaultValue);
}

QString TRegistrySettings::ReadString(const QString& keyPath, const QString& name,
                                      const QString& defaultValue) const {
    const std::optional<QVariant> value = readValue(*m_store, GroupOf(keyPath), name);
    if (!value)
        return defaultValue;
    return variantToString(*value).value_or(defaultValue);
}

bool TRegistrySettings::WriteInteger(const QString& keyPath, const QString& name, qint32 value) {
    return writeValue(*m_store, GroupOf(keyPath), name, QVariant(int(value)));
}

bool TRegistrySettings::WriteString(const QString& keyPath, const QString& name, const QString& value) {
    return writeValue(*m_store, GroupOf(keyPath), name, QVariant(value));
}

std::unique_ptr<TAbstractNode> TRegistrySettings::OpenNode(const QString& keyPath) {
    return std::make_unique<TRegistryNode>(keyPath);
}

bool TRegistrySettings::NodeExists(const QString& keyPath) const {
    return keyExists(*m_store, GroupOf(keyPath));
}

// ---- TRegistryNode -------------------------------------------------------

TRegistryNode::TRegistryNode(const QString& keyPath)
    : m_keyPath(keyPath)
    , m_group(TRegistrySettings::GroupOf(keyPath))
    , m_store(TRegistrySettings::OpenStore()) {
    // A key that cannot be created still reads (as missing); its writes fail.
    createKey(*m_store, m_group);
}

TRegistryNode::~TRegistryNode() = default; // QSettings writes back what is pending

bool TRegistryNode::ReadBool(const QString& name, bool defaultValue) const {
    const std::optional<QVariant> value = readValue(*m_store, m_group, name);
    if (!value)
        return defaultValue;
    const std::optional<qint32> number = variantToInteger(*value);
    return number ? *number != 0 : defaultValue;
}

qint32 TRegistryNode::ReadInteger(const QString& name, qint32 defaultValue) const {
    const std::optional<QVariant> value = readValue(*m_store, m_group, name);
    if (!value)
        return defaultValue;
    return variantToInteger(*value).value_or(defaultValue);
}

QString TRegistryNode::ReadString(const QString& name, const QString& defaultValue) const {
    const std::optional<QVariant> value = readValue(*m_store, m_group, name);
    if (!value)
        return defaultValue;
    return variantToString(*value).value_or(defaultValue);
}

bool TRegistryNode::WriteBool(const QString& name, bool value) {
    return writeValue(*m_store, m_group, name, QVariant(value ? 1 : 0));
}

bool TRegistryNode::WriteInteger(const QString& name, qint32 value) {
    return writeValue(*m_store, m_group, name, QVariant(int(value)));
}

bool TRegistryNode::WriteString(const QString& name, const QString& value) {
    return writeValue(*m_store, m_group, name, QVariant(value));
}
