#include "app/RegistrySettings.h"
#include "app/Settings.h"

#include "TestMain.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {

enum class Kind { Bool, Integer, Float, String, DateTime };

// Reads `name` of `section` as `kind`, with `defaultValue` (of that kind).
QVariant readAs(const ISettings& settings, Kind kind, const QString& section, const QString& name,
                const QVariant& defaultValue) {
    switch (kind) {
    case Kind::Bool:
        return settings.ReadBool(section, name, defaultValue.toBool());
    case Kind::Integer:
        return settings.ReadInteger(section, name, defaultValue.toInt());
    case Kind::Float:
        return settings.ReadFloat(section, name, defaultValue.toDouble());
    case Kind::String:
        return settings.ReadString(section, name, defaultValue.toString());
    case Kind::DateTime:
        return settings.ReadDateTime(section, name, defaultValue.toDateTime());
    }
    return QVariant();
}

bool writeAs(ISettings& settings, Kind kind, const QString& section, const QString& name,
             const QVariant& value) {
    switch (kind) {
    case Kind::Bool:
        return settings.WriteBool(section, name, value.toBool());
    case Kind::Integer:
        return settings.WriteInteger(section, name, value.toInt());
    case Kind::Float:
        return settings.WriteFloat(section, name, value.toDouble());
    case Kind::String:
        return settings.WriteString(section, name, value.toString());
    case Kind::DateTime:
        return settings.WriteDateTime(section, name, value.toDateTime());
    }
    return false;
}

// "Section{key=value,key=value} Section{}" in tree order.
QString dump(const TNode& root) {
    QStringList sections;
    for (int i = 0; i < root.ChildCount(); ++i) {
        const TNode* node = root.Child(i);
        QStringList attributes;
        for (int j = 0; j < node->AttributeCount(); ++j)
            attributes << node->Attribute(j)->Name() + QLatin1Char('=') + node->Attribute(j)->Value();
        sections << node->Name() + QLatin1Char('{') + attributes.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    return sections.join(QLatin1Char(' '));
}

QDateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int msec = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec));
}

// Restores the default locale when a test ends, passed or failed.
struct DefaultLocaleGuard {
    QLocale saved;
    ~DefaultLocaleGuard() { QLocale::setDefault(saved); }
};

const QString kMain = QStringLiteral("\\Software\\Archive\\Main");
const QString kMainGroup = QStringLiteral("Software/Archive/Main");

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void typedReads_data();
    void typedReads();
    void writtenText_data();
    void writtenText();
    void textIgnoresLocale_data();
    void textIgnoresLocale();
    void unwritableDateTimeKeepsValue();
    void baseStoresNothing();
    void treeLookupsAreExact();

    void iniLoader_data();
    void iniLoader();
    void iniLoaderMissingFile();

    void groupOf_data();
    void groupOf();
    void registryStoresTypes();
    void registryTypedValues_data();
    void registryTypedValues();
    void registryReadsDoNotCreateKeys();
    void openNodeCreatesKey();
    void nodeBoolIsNumber_data();
    void nodeBoolIsNumber();
    void registryRejectsNamesItCannotHold_data();
    void registryRejectsNamesItCannotHold();
    void registryWriteFailureIsReported();
};

void TestSettings::cleanup() {
    auto store = TRegistrySettings::OpenStore();
    store->clear();
    store->sync();
}

// ---- Text formats through the in-memory store ---------------------------

void TestSettings::typedReads_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QVariant>("stored"); // text written first; an invalid QVariant writes nothing
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QVariant>("expected");

    const QVariant none;
    QTest::newRow("bool True") << Kind::Bool << QVariant("True") << QVariant(false) << QVariant(true);
    QTest::newRow("bool False") << Kind::Bool << QVariant("False") << QVariant(true) << QVariant(false);
    QTest::newRow("bool lower-case true")
        << Kind::Bool << QVariant("true") << QVariant(false) << QVariant(false);
    QTest::newRow("bool upper-case FALSE")
        << Kind::Bool << QVariant("FALSE") << QVariant(true) << QVariant(true);
    QTest::newRow("bool 1") << Kind::Bool << QVariant("1") << QVariant(false) << QVariant(false);
    QTest::newRow("bool empty") << Kind::Bool << QVariant("") << QVariant(true) << QVariant(true);
    QTest::newRow("bool missing") << Kind::Bool << none << QVariant(true) << QVariant(true);

    QTest::newRow("integer") << Kind::Integer << QVariant("42") << QVariant(-1) << QVariant(42);
    QTest::newRow("integer negative") << Kind::Integer << QVariant("-2147483648") << QVariant(0)
                                      << QVariant(std::numeric_limits<int>::min());
    QTest::newRow("integer over 32 bits")
        << Kind::Integer << QVariant("2147483648") << QVariant(-1) << QVariant(-1);
    QTest::newRow("integer float text") << Kind::Integer << QVariant("1.5") << QVariant(-1) << QVariant(-1);
    QTest::newRow("integer words") << Kind::Integer << QVariant("ten") << QVariant(-1) << QVariant(-1);
    QTest::newRow("integer grouped") << Kind::Integer << QVariant("1,000") << QVariant(-1) << QVariant(-1);
    QTest::newRow("integer missing") << Kind::Integer << none << QVariant(7) << QVariant(7);

    QTest::newRow("float point") << Kind::Float << QVariant("1.5") << QVariant(-1.0) << QVariant(1.5);
    QTest::newRow("float comma") << Kind::Float << QVariant("1,5") << QVariant(-1.0) << QVariant(-1.0);
    QTest::newRow("float comma, three digits")
        << Kind::Float << QVariant("1,500") << QVariant(-1.0) << QVariant(-1.0);
    QTest::newRow("float exponent") << Kind::Float << QVariant("2.5e-3") << QVariant(-1.0)
                                    << QVariant(0.0025);
    QTest::newRow("float integer text") << Kind::Float << QVariant("12") << QVariant(-1.0) << QVariant(12.0);
    QTest::newRow("float trailing junk")
        << Kind::Float << QVariant("1.5 mm") << QVariant(-1.0) << QVariant(-1.0);
    QTest::newRow("float empty") << Kind::Float << QVariant("") << QVariant(-1.0) << QVariant(-1.0);

    const QVariant someDay = QVariant(at(2000, 1, 1, 12));
    QTest::newRow("date alone is midnight")
        << Kind::DateTime << QVariant("05.03.2024") << someDay << QVariant(at(2024, 3, 5));
    QTest::newRow("date and time") << Kind::DateTime << QVariant("05.03.2024 9:07:02.250") << someDay
                                   << QVariant(at(2024, 3, 5, 9, 7, 2, 250));
    QTest::newRow("time without fraction")
        << Kind::DateTime << QVariant("05.03.2024 19:07:02") << someDay << QVariant(at(2024, 3, 5, 19, 7, 2));
    QTest::newRow("one-digit fraction") << Kind::DateTime << QVariant("05.03.2024 9:07:02.5") << someDay
                                        << QVariant(at(2024, 3, 5, 9, 7, 2, 500));
    QTest::newRow("four-digit fraction") << Kind::DateTime << QVariant("05.03.2024 9:07:02.0071") << someDay
                                         << QVariant(at(2024, 3, 5, 9, 7, 2, 7));
    QTest::newRow("short day and month")
        << Kind::DateTime << QVariant("5.3.2024 09:07:02") << someDay << QVariant(at(2024, 3, 5, 9, 7, 2));
    QTest::newRow("no such day") << Kind::DateTime << QVariant("30.02.2024") << someDay << someDay;
    QTest::newRow("no such hour") << Kind::DateTime << QVariant("05.03.2024 24:00:00") << someDay << someDay;
    QTest::newRow("ISO date") << Kind::DateTime << QVariant("2024-03-05") << someDay << someDay;
    QTest::newRow("month first") << Kind::DateTime << QVariant("03/05/2024") << someDay << someDay;
    QTest::newRow("two-digit year") << Kind::DateTime << QVariant("05.03.24") << someDay << someDay;
    QTest::newRow("date-time missing") << Kind::DateTime << none << someDay << someDay;

    QTest::newRow("string") << Kind::String << QVariant(QStringLiteral(" Иванов ")) << QVariant("x")
                            << QVariant(QStringLiteral(" Иванов "));
    QTest::newRow("string empty is a value") << Kind::String << QVariant("") << QVariant("x") << QVariant("");
    QTest::newRow("string missing") << Kind::String << none << QVariant("x") << QVariant("x");
}

void TestSettings::typedReads() {
    QFETCH(Kind, kind);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, defaultValue);
    QFETCH(QVariant, expected);

    TSettings settings;
    settings.WriteString(QStringLiteral("Other"), QStringLiteral("Value"), QStringLiteral("True"));
    if (stored.isValid())
        QVERIFY(settings.WriteString(QStringLiteral("Main"), QStringLiteral("Value"), stored.toString()));
    QCOMPARE(readAs(settings, kind, QStringLiteral("Main"), QStringLiteral("Value"), defaultValue), expected);
}

void TestSettings::writtenText_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("true") << Kind::Bool << QVariant(true) << "True";
    QTest::newRow("false") << Kind::Bool << QVariant(false) << "False";
    QTest::newRow("integer") << Kind::Integer << QVariant(-12) << "-12";
    QTest::newRow("integer max") << Kind::Integer << QVariant(std::numeric_limits<int>::max())
                                 << "2147483647";

    QTest::newRow("float 1.5") << Kind::Float << QVariant(1.5) << "1.5";
    QTest::newRow("float 0.1") << Kind::Float << QVariant(0.1) << "0.1";
    QTest::newRow("float sum not exact") << Kind::Float << QVariant(0.1 + 0.2) << "0.30000000000000004";
    QTest::newRow("float third") << Kind::Float << QVariant(1.0 / 3) << "0.3333333333333333";
    QTest::newRow("float whole") << Kind::Float << QVariant(100.0) << "100";
    QTest::newRow("float large") << Kind::Float << QVariant(1e20) << "1e+20";
    QTest::newRow("float largest") << Kind::Float << QVariant(std::numeric_limits<double>::max())
                                   << "1.7976931348623157e+308";
    QTest::newRow("float smallest subnormal")
        << Kind::Float << QVariant(std::numeric_limits<double>::denorm_min()) << "5e-324";
    QTest::newRow("float negative") << Kind::Float << QVariant(-1234567.125) << "-1234567.125";

    QTest::newRow("midnight is the date alone") << Kind::DateTime << QVariant(at(2024, 3, 5)) << "05.03.2024";
    QTest::newRow("one millisecond past midnight")
        << Kind::DateTime << QVariant(at(2024, 3, 5, 0, 0, 0, 1)) << "05.03.2024 0:00:00.001";
    QTest::newRow("morning") << Kind::DateTime << QVariant(at(2024, 3, 5, 9, 7, 2, 250))
                             << "05.03.2024 9:07:02.250";
    QTest::newRow("last millisecond")
        << Kind::DateTime << QVariant(at(1999, 12, 31, 23, 59, 59, 999)) << "31.12.1999 23:59:59.999";
    QTest::newRow("early year") << Kind::DateTime << QVariant(at(812, 1, 9)) << "09.01.0812";
}

// Writes through the interface give the fixed text, and reading that text
// back gives the value written.
void TestSettings::writtenText() {
    QFETCH(Kind, kind);
    QFETCH(QVariant, value);
    QFETCH(QString, text);

    TSettings settings;
    QVERIFY(writeAs(settings, kind, QStringLiteral("S"), QStringLiteral("N"), value));
    QCOMPARE(settings.ReadString(QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("<missing>")),
             text);

    QVariant defaultValue = value;
    if (kind == Kind::Bool)
        defaultValue = !value.toBool();
    else if (kind == Kind::DateTime)
        defaultValue = QDateTime();
    else
        defaultValue = -1;
    QCOMPARE(readAs(settings, kind, QStringLiteral("S"), QStringLiteral("N"), defaultValue), value);
}

void TestSettings::textIgnoresLocale_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("English (US)") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("Arabic (Egypt)") << QLocale(QLocale::Arabic, QLocale::Egypt);
}

void TestSettings::textIgnoresLocale() {
    QFETCH(QLocale, locale);
    DefaultLocaleGuard guard{QLocale()};
    QLocale::setDefault(locale);

    TSettings settings;
    settings.WriteFloat(QStringLiteral("S"), QStringLiteral("float"), 1234567.25);
    settings.WriteDateTime(QStringLiteral("S"), QStringLiteral("when"), at(2024, 3, 5, 14, 30, 0, 5));
    settings.WriteInteger(QStringLiteral("S"), QStringLiteral("int"), -1234567);
    QCOMPARE(settings.ReadString(QStringLiteral("S"), QStringLiteral("float"), QString()),
             QStringLiteral("1234567.25"));
    QCOMPARE(settings.ReadString(QStringLiteral("S"), QStringLiteral("when"), QString()),
             QStringLiteral("05.03.2024 14:30:00.005"));
    QCOMPARE(settings.ReadString(QStringLiteral("S"), QStringLiteral("int"), QString()),
             QStringLiteral("-1234567"));

    settings.WriteString(QStringLiteral("S"), QStringLiteral("point"), QStringLiteral("1.5"));
    settings.WriteString(QStringLiteral("S"), QStringLiteral("comma"), QStringLiteral("1,5"));
    QCOMPARE(settings.ReadFloat(QStringLiteral("S"), QStringLiteral("point"), -1), 1.5);
    QCOMPARE(settings.ReadFloat(QStringLiteral("S"), QStringLiteral("comma"), -1), -1.0);
}

void TestSettings::unwritableDateTimeKeepsValue() {
    TSettings settings;
    settings.WriteString(QStringLiteral("S"), QStringLiteral("when"), QStringLiteral("01.02.2003"));
    QVERIFY(!settings.WriteDateTime(QStringLiteral("S"), QStringLiteral("when"), QDateTime()));
    QVERIFY(!settings.WriteDateTime(QStringLiteral("S"), QStringLiteral("when"), at(12000, 1, 1)));
    QCOMPARE(settings.ReadString(QStringLiteral("S"), QStringLiteral("when"), QString()),
             QStringLiteral("01.02.2003"));
}

void TestSettings::baseStoresNothing() {
    TAbstractSettings settings;
    QVERIFY(!settings.WriteString(QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("x")));
    QVERIFY(!settings.WriteBool(QStringLiteral("S"), QStringLiteral("N"), true));
    QVERIFY(!settings.WriteFloat(QStringLiteral("S"), QStringLiteral("N"), 1.5));
    QCOMPARE(settings.ReadInteger(QStringLiteral("S"), QStringLiteral("N"), 7), 7);
    QCOMPARE(settings.ReadString(QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("d")),
             QStringLiteral("d"));
    QVERIFY(!settings.OpenNode(QStringLiteral("S")));
    QVERIFY(!settings.NodeExists(QStringLiteral("S")));

    TAbstractNode node;
    QVERIFY(!node.WriteBool(QStringLiteral("N"), true));
    QVERIFY(!node.WriteInteger(QStringLiteral("N"), 1));
    QVERIFY(!node.WriteString(QStringLiteral("N"), QStringLiteral("x")));
    QCOMPARE(node.ReadBool(QStringLiteral("N"), true), true);
    QCOMPARE(node.ReadInteger(QStringLiteral("N"), 7), 7);
    QCOMPARE(node.ReadString(QStringLiteral("N"), QStringLiteral("d")), QStringLiteral("d"));
}

void TestSettings::treeLookupsAreExact() {
    TSettings settings;
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("Key"), QStringLiteral("1"));
    settings.WriteString(QStringLiteral("MAIN"), QStringLiteral("Key"), QStringLiteral("2"));
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("key"), QStringLiteral("3"));
    settings.WriteString(QStringLiteral("Main"), QStringLiteral("Key"), QStringLiteral("4"));

    QCOMPARE(dump(settings.Root()), QStringLiteral("Main{Key=4,key=3} MAIN{Key=2}"));
    QCOMPARE(settings.ReadString(QStringLiteral("main"), QStringLiteral("Key"), QStringLiteral("d")),
             QStringLiteral("d"));
    QCOMPARE(settings.ReadString(QStringLiteral("Main"), QStringLiteral("KEY"), QStringLiteral("d")),
             QStringLiteral("d"));
    QVERIFY(!settings.Root().Child(-1));
    QVERIFY(!settings.Root().Child(2));
    QVERIFY(!settings.Root().Child(0)->Attribute(2));
}

// ---- The ini loader -------------------------------------------------------

void TestSettings::iniLoader_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("tree");

    QTest::newRow("sections differing in case")
        << QByteArray("[Main]\ndatabasename_archive=srv:/a.fdb\n[MAIN]\ndatabasename_archive=other\n")
        << "Main{databasename_archive=srv:/a.fdb} MAIN{databasename_archive=other}";
    QTest::newRow("file order, not sorted")
        << QByteArray("[Zeta]\nz=1\nb=2\nA=3\n[DB2]\nSprav=s\nArchive=a\n[Alpha]\n")
        << "Zeta{z=1,b=2,A=3} DB2{Sprav=s,Archive=a} Alpha{}";
    QTest::newRow("keys differing in case") << QByteArray("[Main]\nKey=1\nkey=2\n") << "Main{Key=1,key=2}";
    QTest::newRow("repeated section and key")
        << QByteArray("[A]\nx=1\ny=2\n[B]\nz=3\n[A]\nx=4\nw=5\n") << "A{x=4,y=2,w=5} B{z=3}";
    QTest::newRow("blanks, comments, stray lines")
        << QByteArray("top=ignored\n\n  [ Main ]  \n ; a=comment\n  key  =  value with blanks  \nno equals\n"
                      "=no key\nempty=\nformula=a=b\n")
        << "Main{key=value with blanks,empty=,formula=a=b}";
    QTest::newRow("CRLF and byte order mark")
        << QByteArray("\xEF\xBB\xBF[Main]\r\na=1\r\nb=2\r\n") << "Main{a=1,b=2}";
    QTest::newRow("no final line break") << QByteArray("[Main]\na=1") << "Main{a=1}";
    QTest::newRow("UTF-8") << QStringLiteral("[Архив]\nпуть=сервер:/архив.fdb\n").toUtf8()
                           << QStringLiteral("Архив{путь=сервер:/архив.fdb}");
    // "Архив" in Windows-1251.
    QTest::newRow("Windows-1251 line")
        << QByteArray("[Main]\nname=\xC0\xF0\xF5\xE8\xE2\n") << QStringLiteral("Main{name=Архив}");
    QTest::newRow("unclosed bracket is no section")
        << QByteArray("[Main]\na=1\n[Broken\nb=2\n") << "Main{a=1,b=2}";
    QTest::newRow("empty file") << QByteArray() << "";
}

void TestSettings::iniLoader() {
    QFETCH(QByteArray, content);
    QFETCH(QString, tree);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("archive.ini"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    TArchiveSettings settings;
    QCOMPARE(TIniSettingsLoader::Load(settings, fileName), 0);
    QCOMPARE(settings.Root().Name(), fileName);
    QCOMPARE(dump(settings.Root()), tree);
}

void TestSettings::iniLoaderMissingFile() {
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("absent.ini"));
    TArchiveSettings settings;
    QCOMPARE(TIniSettingsLoader::Load(settings, fileName), 0);
    QCOMPARE(settings.Root().Name(), fileName);
    QCOMPARE(settings.Root().ChildCount(), 0);
    QCOMPARE(settings.ReadString(QStringLiteral("Main"), QStringLiteral("databasename_archive"), QString()),
             QString());
}

// ---- The per-user store ---------------------------------------------------

void TestSettings::groupOf_data() {
    QTest::addColumn<QString>("keyPath");
    QTest::addColumn<QString>("group");
    QTest::newRow("rooted") << "\\Software\\Archive\\Main"
                            << "Software/Archive/Main";
    QTest::newRow("relative, trailing separator") << "Software\\Archive\\"
                                                  << "Software/Archive";
    QTest::newRow("doubled separators") << "\\Software\\\\Archive"
                                        << "Software/Archive";
    QTest::newRow("forward slashes") << "Software/Archive"
                                     << "Software/Archive";
    QTest::newRow("root") << "\\"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSettings::groupOf() {
    QFETCH(QString, keyPath);
    QFETCH(QString, group);
    QCOMPARE(TRegistrySettings::GroupOf(keyPath), group);
}

// Integers reach the store as numbers, everything else as text.
void TestSettings::registryStoresTypes() {
    {
        TRegistrySettings settings;
        QVERIFY(settings.WriteInteger(kMain, QStringLiteral("Width"), 640));
        QVERIFY(settings.WriteString(kMain, QStringLiteral("Name"), QStringLiteral("640")));
        QVERIFY(settings.WriteBool(kMain, QStringLiteral("AutoLogin"), true));
        QVERIFY(settings.WriteFloat(kMain, QStringLiteral("Ratio"), 0.25));
        QVERIFY(settings.WriteDateTime(kMain, QStringLiteral("Saved"), at(2024, 3, 5)));
    }
    auto store = TRegistrySettings::OpenStore();
    const auto raw = [&](const char* name) {
        return store->value(kMainGroup + u'/' + QLatin1String(name));
    };
    QCOMPARE(raw("Width").typeId(), int(QMetaType::Int));
    QCOMPARE(raw("Width").toInt(), 640);
    QCOMPARE(raw("Name").typeId(), int(QMetaType::QString));
    QCOMPARE(raw("AutoLogin"), QVariant(QStringLiteral("True")));
    QCOMPARE(raw("Ratio"), QVariant(QStringLiteral("0.25")));
    QCOMPARE(raw("Saved"), QVariant(QStringLiteral("05.03.2024")));

#ifndef Q_OS_WIN
    // The values outlive the objects that wrote them.
    store.reset();
    QFile file(TRegistrySettings::OpenStore()->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("Width=640") && text.contains("AutoLogin=True"), text.constData());
#endif
}

void TestSettings::registryTypedValues_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QVariant>("stored"); // put into the store as it is
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("integer from number") << Kind::Integer << QVariant(-5) << QVariant(0) << QVariant(-5);
    QTest::newRow("integer from numeric text")
        << Kind::Integer << QVariant("12") << QVariant(0) << QVariant(12);
    QTest::newRow("integer from other text")
        << Kind::Integer << QVariant("12px") << QVariant(3) << QVariant(3);
    QTest::newRow("integer from 64-bit number")
        << Kind::Integer << QVariant(qlonglong(1) << 40) << QVariant(3) << QVariant(3);
    QTest::newRow("integer from list")
        << Kind::Integer << QVariant(QStringList{"1", "2"}) << QVariant(3) << QVariant(3);
    QTest::newRow("string from text") << Kind::String << QVariant(QStringLiteral("Петров")) << QVariant("d")
                                      << QVariant(QStringLiteral("Петров"));
    QTest::newRow("string from number") << Kind::String << QVariant(42) << QVariant("d") << QVariant("42");
    QTest::newRow("string from list")
        << Kind::String << QVariant(QStringList{"a", "b"}) << QVariant("d") << QVariant("d");
    QTest::newRow("bool from text") << Kind::Bool << QVariant("False") << QVariant(true) << QVariant(false);
    QTest::newRow("bool from number") << Kind::Bool << QVariant(1) << QVariant(false) << QVariant(false);
    QTest::newRow("float from text") << Kind::Float << QVariant("0.5") << QVariant(1.0) << QVariant(0.5);
    QTest::newRow("date-time from text") << Kind::DateTime << QVariant("05.03.2024 1:02:03.000")
                                         << QVariant(QDateTime()) << QVariant(at(2024, 3, 5, 1, 2, 3));
}

void TestSettings::registryTypedValues() {
    QFETCH(Kind, kind);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, defaultValue);
    QFETCH(QVariant, expected);

    TRegistrySettings::OpenStore()->setValue(kMainGroup + QStringLiteral("/Value"), stored);
    TRegistrySettings settings;
    QCOMPARE(readAs(settings, kind, kMain, QStringLiteral("Value"), defaultValue), expected);
    QCOMPARE(readAs(settings, kind, kMain, QStringLiteral("Other"), defaultValue), defaultValue);
}

void TestSettings::registryReadsDoNotCreateKeys() {
    TRegistrySettings settings;
    const QString key = QStringLiteral("\\Software\\Archive\\Grid");
    QCOMPARE(settings.ReadInteger(key, QStringLiteral("Width"), 9), 9);
    QCOMPARE(settings.ReadString(key, QStringLiteral("Name"), QStringLiteral("d")), QStringLiteral("d"));
    QCOMPARE(settings.ReadBool(key, QStringLiteral("Flag"), true), true);
    QVERIFY(!settings.NodeExists(key));
    QVERIFY(!settings.NodeExists(QStringLiteral("\\Software")));
    QVERIFY(TRegistrySettings::OpenStore()->allKeys().isEmpty());

    QVERIFY(settings.WriteString(key, QStringLiteral("Name"), QStringLiteral("x")));
    QVERIFY(settings.NodeExists(key));
    QVERIFY(settings.NodeExists(QStringLiteral("\\Software\\Archive")));
    QVERIFY(settings.NodeExists(QStringLiteral("\\")));
    QVERIFY(!settings.NodeExists(QStringLiteral("\\Software\\Archive\\Gri")));
}

void TestSettings::openNodeCreatesKey() {
    const QString key = QStringLiteral("\\Software\\Archive\\Main\\Grid1");
    {
        TRegistrySettings settings;
        QVERIFY(!settings.NodeExists(key));
        std::unique_ptr<TAbstractNode> node = settings.OpenNode(key);
        QVERIFY(node);
        QCOMPARE(static_cast<TRegistryNode*>(node.get())->KeyPath(), key);
        QVERIFY(settings.NodeExists(key));
        QCOMPARE(node->ReadInteger(QStringLiteral("Width"), 80), 80);
        QCOMPARE(node->ReadString(QStringLiteral("."), QStringLiteral("d")), QStringLiteral("d"));
    }
    // Still there for the next settings object: the empty key was stored.
    TRegistrySettings later;
    QVERIFY(later.NodeExists(key));
    QVERIFY(later.NodeExists(kMain));

    // Opening an existing key leaves its values alone.
    QVERIFY(later.WriteInteger(key, QStringLiteral("Width"), 120));
    auto node = later.OpenNode(key);
    QCOMPARE(node->ReadInteger(QStringLiteral("Width"), 80), 120);
    QVERIFY(node->WriteInteger(QStringLiteral("Width"), 130));
    QCOMPARE(later.ReadInteger(key, QStringLiteral("Width"), 80), 130);
}

void TestSettings::nodeBoolIsNumber_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QVariant(1) << false << true;
    QTest::newRow("0") << QVariant(0) << true << false;
    QTest::newRow("other number") << QVariant(-3) << false << true;
    QTest::newRow("number as text") << QVariant("1") << false << true;
    QTest::newRow("text True") << QVariant("True") << false << false;
    QTest::newRow("text False") << QVariant("False") << true << true;
}

void TestSettings::nodeBoolIsNumber() {
    QFETCH(QVariant, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);

    TRegistryNode node(kMain);
    auto store = TRegistrySettings::OpenStore();
    store->setValue(kMainGroup + QStringLiteral("/Flag"), stored);
    QCOMPARE(node.ReadBool(QStringLiteral("Flag"), defaultValue), expected);

    // A node writes booleans as the numbers 0 and 1, which the settings
    // interface (reading "True"/"False") does not take for booleans.
    QVERIFY(node.WriteBool(QStringLiteral("Written"), !defaultValue));
    const QVariant raw = store->value(kMainGroup + QStringLiteral("/Written"));
    QCOMPARE(raw.typeId(), int(QMetaType::Int));
    QCOMPARE(raw.toInt(), defaultValue ? 0 : 1);
    QCOMPARE(node.ReadBool(QStringLiteral("Written"), defaultValue), !defaultValue);
    TRegistrySettings settings;
    QCOMPARE(settings.ReadBool(kMain, QStringLiteral("Written"), defaultValue), defaultValue);
    QCOMPARE(settings.ReadInteger(kMain, QStringLiteral("Written"), -1), defaultValue ? 0 : 1);
}

void TestSettings::registryRejectsNamesItCannotHold_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("slash") << "Grid/Width";
    QTest::newRow("backslash") << "Grid\\Width";
    QTest::newRow("key marker") << ".";
}

void TestSettings::registryRejectsNamesItCannotHold() {
    QFETCH(QString, name);
    {
        TRegistrySettings settings;
        QVERIFY(!settings.WriteString(kMain, name, QStringLiteral("x")));
        QVERIFY(!settings.WriteInteger(kMain, name, 1));
        QVERIFY(!settings.WriteBool(kMain, name, true));
        TRegistryNode node(QStringLiteral("\\Software\\Archive\\Other"));
        QVERIFY(!node.WriteString(name, QStringLiteral("x")));
        QVERIFY(!node.WriteInteger(name, 1));
        QVERIFY(!node.WriteBool(name, true));
        QCOMPARE(node.ReadString(name, QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(!settings.NodeExists(kMain + QStringLiteral("\\Grid")));
    }
    const QStringList keys = TRegistrySettings::OpenStore()->allKeys();
    QCOMPARE(keys, QStringList{QStringLiteral("Software/Archive/Other/.")});
}

// When the store cannot be written, writes say so instead of pretending.
void TestSettings::registryWriteFailureIsReported() {
#ifdef Q_OS_WIN
    QSKIP("The registry cannot be made unwritable from here");
#endif
    const QString storeFile = TRegistrySettings::OpenStore()->fileName();
    // <user path>/Archive/Registry.conf
    const QString userPath = QFileInfo(QFileInfo(storeFile).absolutePath()).absolutePath();
    QTemporaryDir blocked;
    QVERIFY(blocked.isValid());
    // A plain file where the store's folder should be: no file can be created
    // below it, whoever runs the test.
    QFile blocker(blocked.filePath(QStringLiteral("Archive")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocked.path());
    struct Restore {
        QString path;
        ~Restore() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path); }
    } restore{userPath};

    TRegistrySettings settings;
    QVERIFY(!settings.WriteInteger(kMain, QStringLiteral("Width"), 1));
    QVERIFY(!settings.WriteString(kMain, QStringLiteral("Name"), QStringLiteral("x")));
    QVERIFY(!settings.WriteBool(kMain, QStringLiteral("Flag"), true));
    QVERIFY(!settings.WriteDateTime(kMain, QStringLiteral("When"), at(2024, 1, 1)));
    auto node = settings.OpenNode(kMain);
    QVERIFY(node);
    QVERIFY(!settings.NodeExists(kMain));
    QVERIFY(!node->WriteBool(QStringLiteral("Flag"), true));
    QCOMPARE(node->ReadInteger(QStringLiteral("Width"), 5), 5);
}

ARCHIVE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
