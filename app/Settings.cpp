#include "app/Settings.h"

#include <QByteArrayView>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cmath>

// ---- TAbstractSettings: text formats ------------------------------------

QString TAbstractSettings::BoolToText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> TAbstractSettings::TextToBool(const QString& text) {
    if (text == QLatin1String("True"))
        return true;
    if (text == QLatin1String("False"))
        return false;
    return std::nullopt;
}

QString TAbstractSettings::IntegerToText(qint32 value) {
    return QString::number(value);
}

std::optional<qint32> TAbstractSettings::TextToInteger(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10); // always the C locale, no group separators
    if (!ok)
        return std::nullopt;
    return value;
}

QString TAbstractSettings::FloatToText(double value) {
    if (value == 0 && std::signbit(value))
        return QStringLiteral("-0");
    // QString::number ignores the default locale; the "shortest" precision
    // gives the fewest digits that read back as the same double.
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

std::optional<double> TAbstractSettings::TextToFloat(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok); // always the C locale: "." only
    if (!ok)
        return std::nullopt;
    return value;
}

namespace {

const QString& dateFormat() {
    static const QString format = QStringLiteral("dd.MM.yyyy");
    return format;
}

const QString& longTimeFormat() {
    static const QString format = QStringLiteral("h:mm:ss.zzz");
    return format;
}

} // namespace

QString TAbstractSettings::DateTimeToText(const QDateTime& value) {
    if (!value.isValid())
        return QString();
    const QDate date = value.date();
    const QTime time = value.time();
    if (date.year() < 1 || date.year() > 9999)
        return QString();
    const QLocale c = QLocale::c();
    QString text = c.toString(date, dateFormat());
    if (time != QTime(0, 0))
        text += QLatin1Char(' ') + c.toString(time, longTimeFormat());
    return text;
}

std::optional<QDateTime> TAbstractSettings::TextToDateTime(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})"
                       "(?: (\\d{1,2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,4}))?)?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(3).toInt(), match.captured(2).toInt(), match.captured(1).toInt());
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0);
    if (match.hasCaptured(4)) {
        // The fraction is a decimal fraction of the second: ".5" is 500 ms,
        // ".0071" is 7 ms.
        const QString fraction = match.captured(7);
        const int msec = fraction.isEmpty() ? 0 : fraction.left(3).leftJustified(3, QLatin1Char('0')).toInt();
        time = QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt(), msec);
        if (!time.isValid())
            return std::nullopt;
    }
    return QDateTime(date, time);
}

// ---- TAbstractSettings: typed operations ---------------------------------

bool TAbstractSettings::ReadBool(const QString& section, const QString& name, bool defaultValue) const {
    return TextToBool(ReadString(section, name, QString())).value_or(defaultValue);
}

qint32 TAbstractSettings::ReadInteger(const QString& section, const QString& name,
                                      qint32 defaultValue) const {
    return TextToInteger(ReadString(section, name, QString())).value_or(defaultValue);
}

double TAbstractSettings::ReadFloat(const QString& section, const QString& name, double defaultValue) const {
    return TextToFloat(ReadString(section, name, QString())).value_or(defaultValue);
}

QString TAbstractSettings::ReadString(const QString&, const QString&, const QString& defaultValue) const {
    return defaultValue;
}

QDateTime TAbstractSettings::ReadDateTime(const QString& section, const QString& name,
                                          const QDateTime& defaultValue) const {
    return TextToDateTime(ReadString(section, name, QString())).value_or(defaultValue);
}

bool TAbstractSettings::WriteBool(const QString& section, const QString& name, bool value) {
    return WriteString(section, name, BoolToText(value));
}

bool TAbstractSettings::WriteInteger(const QString& section, const QString& name, qint32 value) {
    return WriteString(section, name, IntegerToText(value));
}

bool TAbstractSettings::WriteFloat(const QString& section, const QString& name, double value) {
    return WriteString(section, name, FloatToText(value));
}

bool TAbstractSettings::WriteString(const QString&, const QString&, const QString&) {
    return false;
}

bool TAbstractSettings::WriteDateTime(const QString& section, const QString& name, const QDateTime& value) {
    const QString text = DateTimeToText(value);
    if (text.isEmpty())
        return false; // nothing the text format can hold; the stored value stays
    return WriteString(section, name, text);
}

std::unique_ptr<TAbstractNode> TAbstractSettings::OpenNode(const QString&) {
    return nullptr;
}

bool TAbstractSettings::NodeExists(const QString&) const {
    return false;
}

// ---- The in-memory tree --------------------------------------------------

TAttribute::TAttribute(const QString& name, const QString& value)
    : m_name(name)
    , m_value(value) {}

TNode::TNode(const QString& name)
    : m_name(name) {}

TNode::~TNode() = default;

int TNode::ChildCount() const {
    return int(m_children.size());
}

TNode* TNode::Child(int index) const {
    if (index < 0 || index >= ChildCount())
        return nullptr;
    return m_children[size_t(index)].get();
}

TNode* TNode::FindChild(const QString& name) const {
    for (const auto& child : m_children)
        if (child->Name() == name)
            return child.get();
    return nullptr;
}

TNode* TNode::AddChild(const QString& name) {
    m_children.push_back(std::make_unique<TNode>(name));
    return m_children.back().get();
}

TNode* TNode::FindOrAddChild(const QString& name) {
    if (TNode* child = FindChild(name))
        return child;
    return AddChild(name);
}

int TNode::AttributeCount() const {
    return int(m_attributes.size());
}

TAttribute* TNode::Attribute(int index) const {
    if (index < 0 || index >= AttributeCount())
        return nullptr;
    return m_attributes[size_t(index)].get();
}

TAttribute* TNode::FindAttribute(const QString& name) const {
    for (const auto& attribute : m_attributes)
        if (attribute->Name() == name)
            return attribute.get();
    return nullptr;
}

TAttribute* TNode::FindOrAddAttribute(const QString& name) {
    if (TAttribute* attribute = FindAttribute(name))
        return attribute;
    m_attributes.push_back(std::make_unique<TAttribute>(name, QString()));
    return m_attributes.back().get();
}

TSettings::TSettings() = default;
TSettings::~TSettings() = default;

QString TSettings::ReadString(const QString& section, const QString& name,
                              const QString& defaultValue) const {
    const TNode* node = m_root.FindChild(section);
    if (!node)
        return defaultValue;
    const TAttribute* attribute = node->FindAttribute(name);
    return attribute ? attribute->Value() : defaultValue;
}

bool TSettings::WriteString(const QString& section, const QString& name, const QString& value) {
    m_root.FindOrAddChild(section)->FindOrAddAttribute(name)->SetValue(value);
    return true;
}

// ---- TIniSettingsLoader --------------------------------------------------

namespace {

QString decodeLine(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder ansi("windows-1251", QStringDecoder::Flag::Stateless);
    if (ansi.isValid())
        return ansi.decode(bytes);
    return QString::fromLatin1(bytes.data(), bytes.size());
}

} // namespace

int TIniSettingsLoader::Load(TSettings& settings, const QString& fileName) {
    TNode& root = settings.Root();
    root.SetName(fileName);

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QByteArray data = file.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);

    TNode* section = nullptr;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        QByteArrayView bytes(data.constData() + start, end - start);
        start = end + 1;
        if (bytes.endsWith('\r'))
            bytes.chop(1);

        const QString line = decodeLine(bytes).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = root.FindOrAddChild(line.mid(1, line.size() - 2).trimmed());
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!section || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (key.isEmpty())
            continue;
        section->FindOrAddAttribute(key)->SetValue(line.mid(equals + 1).trimmed());
    }
    return 0;
}

// ---- TAbstractNode -------------------------------------------------------

bool TAbstractNode::ReadBool(const QString&, bool defaultValue) const {
    return defaultValue;
}

qint32 TAbstractNode::ReadInteger(const QString&, qint32 defaultValue) const {
    return defaultValue;
}

QString TAbstractNode::ReadString(const QString&, const QString& defaultValue) const {
    return defaultValue;
}

bool TAbstractNode::WriteBool(const QString&, bool) {
    return false;
}

bool TAbstractNode::WriteInteger(const QString&, qint32) {
    return false;
}

bool TAbstractNode::WriteString(const QString&, const QString&) {
    return false;
}
