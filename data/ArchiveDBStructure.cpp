#include "data/ArchiveDBStructure.h"

#include "db/Database.h"
#include "db/Errors.h"
#include "db/Query.h"
#include "desktop/Interaction.h"

#include <exception>
#include <memory>

namespace archive {

using platform::db::FieldType;

namespace {

TFieldDescription field(unsigned char type, const QString& name, int size = 0, bool notNull = false,
                        const QString& caption = {}) {
    TFieldDescription f;
    f.type = type;
    f.name = name;
    f.size = size;
    f.notNull = notNull;
    f.caption = caption;
    return f;
}

TFieldDescription key(unsigned char type, const QString& name) {
    return field(type, name, 0, true);
}
TFieldDescription str(const QString& name, int size, const QString& caption = {}) {
    return field(ftcString, name, size, false, caption);
}
TFieldDescription integer(const QString& name, const QString& caption = {}) {
    return field(ftcInteger, name, 0, false, caption);
}
TFieldDescription date(const QString& name, const QString& caption = {}) {
    return field(ftcDate, name, 0, false, caption);
}

TTableDescription table(const QString& name, const QString& caption, QVector<TFieldDescription> fields) {
    TTableDescription t;
    t.name = name;
    t.kind = 2;
    t.caption = caption;
    t.fields = std::move(fields);
    return t;
}

TDatabaseDescription makeArchiveDescription() {
    TDatabaseDescription db;
    db << table(QStringLiteral("LETTERVH"), QStringLiteral("Входящие письма"),
                {key(ftcInteger, QStringLiteral("LETVHID")), integer(QStringLiteral("BUILDID")),
                 date(QStringLiteral("DATE_RECIVE"), QStringLiteral("Дата получения")),
                 integer(QStringLiteral("SHIFRNOM_VH"), QStringLiteral("Объект")),
                 integer(QStringLiteral("INVNUM"), QStringLiteral("Инв. номер")),
                 str(QStringLiteral("INDEX_DOC"), 100, QStringLiteral("Индекс док-та")),
                 str(QStringLiteral("DATE_SEND"), 100, QStringLiteral("Дата отправки")),
                 str(QStringLiteral("SENDER_VH"), 255, QStringLiteral("Отправитель")),
                 str(QStringLiteral("CONTENTS_VH"), 255, QStringLiteral("Содержание")),
                 str(QStringLiteral("WHOM_VH"), 255, QStringLiteral("Кому")),
                 str(QStringLiteral("MARK_VH"), 100, QStringLiteral("Отметка об исполнении")),
                 str(QStringLiteral("DIRECTORY"), 255), str(QStringLiteral("W_FILE"), 2),
                 integer(QStringLiteral("ORGANIZATION"))});
    db << table(
        QStringLiteral("LETTERISH"), QStringLiteral("Исходящие письма"),
        {key(ftcInteger, QStringLiteral("LETID")), integer(QStringLiteral("BUILDID")),
         integer(QStringLiteral("SHIFRPODR"), QStringLiteral("Отдел")),
         integer(QStringLiteral("SHIFRNOM"), QStringLiteral("Объект")),
         integer(QStringLiteral("INVNUM"), QStringLiteral("№№ п/п")),
         str(QStringLiteral("ISPOLNIT"), 255, QStringLiteral("Исполнитель")),
         str(QStringLiteral("NAME"), 255, QStringLiteral("Содержание")), str(QStringLiteral("CONTENTS"), 255),
         str(QStringLiteral("WHOM"), 255, QStringLiteral("Кому")),
         str(QStringLiteral("VIDOTPR"), 100, QStringLiteral("Вид отправки")),
         date(QStringLiteral("DATA"), QStringLiteral("Дата")), str(QStringLiteral("DIRECTORY"), 255),
         str(QStringLiteral("W_FILE"), 5), date(QStringLiteral("DATE_SEND"), QStringLiteral("Дата отправки")),
         integer(QStringLiteral("ORGANIZATION"))});
    db << table(QStringLiteral("LISTS"), QStringLiteral("Листы чертежей"),
                {key(ftcInteger, QStringLiteral("LISTID")), integer(QStringLiteral("DRAFTID")),
                 integer(QStringLiteral("LKEY"), QStringLiteral("Лист")), str(QStringLiteral("NAME"), 255),
                 str(QStringLiteral("FORMAT"), 20), str(QStringLiteral("DIRECTORY"), 255),
                 integer(QStringLiteral("STAT")),
                 str(QStringLiteral("INDICATION"), 100, QStringLiteral("Обозначение")),
                 integer(QStringLiteral("NUMLISTS"), QStringLiteral("Кол-во листов")),
                 str(QStringLiteral("MARK_TIF"), 1)});
    db << table(QStringLiteral("NOTES"), QStringLiteral("Пояснительные записки"),
                {key(ftcInteger, QStringLiteral("NOTEID")),
                 integer(QStringLiteral("PROJID")),
                 integer(QStringLiteral("INVNUM"), QStringLiteral("Инв.№")),
                 str(QStringLiteral("NKEY"), 8, QStringLiteral("Вид")),
                 str(QStringLiteral("NOTE"), 255, QStringLiteral("Наименование")),
                 integer(QStringLiteral("CUPBOARD")),
                 integer(QStringLiteral("SHELF")),
                 str(QStringLiteral("DIRECTORY"), 255),
                 str(QStringLiteral("NACLAD"), 20, QStringLiteral("Накладная")),
                 integer(QStringLiteral("STAT")),
                 integer(QStringLiteral("NEWINVNUM"), QStringLiteral("Новый инв. №")),
                 integer(QStringLiteral("OLDINVNUM"), QStringLiteral("Старый инв. №")),
                 date(QStringLiteral("DATA"), QStringLiteral("Дата")),
                 date(QStringLiteral("DATE_OTPR"), QStringLiteral("Дата отправки")),
                 date(QStringLiteral("DATE_VYD"), QStringLiteral("Дата выдачи")),
                 integer(QStringLiteral("LOCATION")),
                 str(QStringLiteral("LOC_FIO"), 100, QStringLiteral("Кому выдан")),
                 str(QStringLiteral("F_PDF"), 5),
                 field(ftcBoolean, QStringLiteral("W_FILE")),
                 integer(QStringLiteral("PAGESCOUNT"), QStringLiteral("Кол-во страниц"))});
    db << table(
        QStringLiteral("PRIKAZ"), QStringLiteral("Приказы"),
        {key(ftcAutoInc, QStringLiteral("ID")), integer(QStringLiteral("Num"), QStringLiteral("Номер")),
         date(QStringLiteral("DATE_CREATE"), QStringLiteral("Дата")),
         str(QStringLiteral("Name"), 255, QStringLiteral("Название")), str(QStringLiteral("Content"), 255)});
    db << table(QStringLiteral("USERS"), QStringLiteral("Пользователи"),
                {key(ftcAutoInc, QStringLiteral("ID"))});
    return db;
}

TDatabaseDescription makeReferenceDescription() {
    return {table(QStringLiteral("Customer"), QStringLiteral("Заказчики"), {})};
}

const QString kCaption = QStringLiteral("Kalmera");
const QString kBreak = QStringLiteral("\r\n");

void say(const QString& text, platform::MessageIcon icon) {
    platform::interaction().message(nullptr, kCaption, text, icon);
}

// The text of any failure the dataset layer or the client library throws.
QString errorText(const std::exception& e) {
    if (const auto* error = dynamic_cast<const platform::db::Error*>(&e))
        return error->message();
    return QString::fromLocal8Bit(e.what());
}

bool generatorExists(platform::db::Database& database, const QString& name) {
    platform::db::Query query(&database);
    query.setSql(QStringLiteral("SELECT 1 FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = :NAME"));
    query.paramByName(QStringLiteral("NAME")).setAsString(name);
    query.open();
    return !query.isEmpty();
}

// A table the check creates gets the same key filling as the tables of the
// schema scripts: a generator GEN_<table>_ID and a trigger <table>_BIU that
// fills a NULL key with the next generator value and moves the generator up
// past any larger key written explicitly. Without it the program, which
// never writes the key of a new row, would store rows without a key.
void createKeyFilling(platform::db::Database& database, const TTableDescription& table) {
    const QString keyField = keyFieldOf(table);
    if (keyField.isEmpty())
        return;
    const QString name = table.name.toUpper();
    const QString generator = QStringLiteral("GEN_") + name + QStringLiteral("_ID");
    if (!generatorExists(database, generator))
        database.execute(QStringLiteral("CREATE SEQUENCE ") + generator);
    database.execute(QStringLiteral("CREATE OR ALTER TRIGGER ") + name + QStringLiteral("_BIU FOR ") + name +
                     QStringLiteral(" ACTIVE BEFORE INSERT OR UPDATE POSITION 0 AS\n"
                                    "DECLARE VARIABLE CUR BIGINT;\n"
                                    "BEGIN\n"
                                    "  IF (NEW.") +
                     keyField + QStringLiteral(" IS NULL AND INSERTING) THEN\n    NEW.") + keyField +
                     QStringLiteral(" = GEN_ID(") + generator + QStringLiteral(", 1);\n  ELSE IF (NEW.") +
                     keyField + QStringLiteral(" IS NOT NULL AND (INSERTING OR NEW.") + keyField +
                     QStringLiteral(" IS DISTINCT FROM OLD.") + keyField +
                     QStringLiteral(")) THEN\n  BEGIN\n    CUR = GEN_ID(") + generator +
                     QStringLiteral(", 0);\n    IF (NEW.") + keyField +
                     QStringLiteral(" > CUR) THEN\n      CUR = GEN_ID(") + generator +
                     QStringLiteral(", NEW.") + keyField + QStringLiteral(" - CUR);\n  END\nEND"));
}

} // namespace

const TDatabaseDescription& archiveDatabaseDescription() {
    static const TDatabaseDescription description = makeArchiveDescription();
    return description;
}

const TDatabaseDescription& referenceDatabaseDescription() {
    static const TDatabaseDescription description = makeReferenceDescription();
    return description;
}

unsigned char typeCodeOf(FieldType type) {
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
        return ftcString;
    case FieldType::SmallInt:
    case FieldType::Integer:
        return ftcInteger;
    case FieldType::LargeInt:
        return ftcLargeInt;
    case FieldType::Boolean:
        return ftcBoolean;
    case FieldType::Float:
        return ftcFloat;
    case FieldType::Numeric:
        return ftcCurrency;
    case FieldType::Date:
        return ftcDate;
    case FieldType::Time:
        return ftcTime;
    case FieldType::DateTime:
        return ftcDateTime;
    case FieldType::Blob:
        return ftcBlob;
    case FieldType::Memo:
        return ftcMemo;
    case FieldType::Unknown:
        break;
    }
    return ftcUnknown;
}

bool typeMatches(unsigned char described, unsigned char actual) {
    if (described == actual)
        return true;
    switch (described) {
    case ftcBoolean:
        return actual == ftcString;
    case ftcDate:
    case ftcDateTime:
        return actual == ftcDate || actual == ftcDateTime;
    case ftcAutoInc:
        return actual == ftcInteger;
    default:
        return false;
    }
}

QString sqlTypeText(const TFieldDescription& field) {
    switch (field.type) {
    case ftcString:
        return QStringLiteral("CHAR(") + QString::number(field.size) + QStringLiteral(")");
    case ftcInteger:
    case ftcAutoInc:
        return QStringLiteral("INTEGER");
    case ftcLargeInt:
        return QStringLiteral("BIGINT");
    case ftcBoolean:
        return QStringLiteral("CHAR");
    case ftcFloat:
    case ftcCurrency:
        return QStringLiteral("FLOAT");
    case ftcDate:
        return QStringLiteral("DATE");
    case ftcTime:
        return QStringLiteral("TIME");
    case ftcDateTime:
        return QStringLiteral("TIMESTAMP");
    case ftcBlob:
        return QStringLiteral("BLOB");
    case ftcMemo:
        return QStringLiteral("BLOB SUB_TYPE TEXT");
    default:
        return QString();
    }
}

QString engineTypeName(FieldType type) {
    // CHAR columns have always been reported as plain strings.
    if (type == FieldType::FixedChar)
        return platform::db::fieldTypeName(FieldType::String);
    return platform::db::fieldTypeName(type);
}

QString createTableStatement(const TTableDescription& table) {
    QStringList columns;
    for (const TFieldDescription& f : table.fields)
        columns << f.name + QLatin1Char(' ') + sqlTypeText(f);
    return QStringLiteral("CREATE TABLE ") + table.name + QLatin1Char('(') +
           columns.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString addFieldStatement(const TTableDescription& table, const TFieldDescription& field) {
    QString sql = QStringLiteral("ALTER TABLE ") + table.name + QStringLiteral(" ADD ") + field.name +
                  QLatin1Char(' ') + sqlTypeText(field);
    if (field.notNull)
        sql += QStringLiteral(" NOT NULL");
    return sql;
}

QString keyFieldOf(const TTableDescription& table) {
    if (table.fields.isEmpty())
        return QString();
    const TFieldDescription& first = table.fields.first();
    if (!first.notNull || (first.type != ftcInteger && first.type != ftcAutoInc))
        return QString();
    return first.name.toUpper();
}

bool CheckDatabaseStructure(platform::db::Database& database, const TDatabaseDescription& description) {
    QStringList existing;
    try {
        existing = database.tableNames();
    } catch (const std::exception& e) {
        say(QStringLiteral("Ошибка при проверке структуры базы данных") + kBreak + errorText(e),
            platform::MessageIcon::Critical);
        return false;
    }

    for (const TTableDescription& table : description) {
        if (existing.contains(table.name, Qt::CaseInsensitive)) {
            CheckTable(database, table);
            continue;
        }
        say(QStringLiteral("Создаем таблицу ") + table.name, platform::MessageIcon::Information);
        try {
            database.execute(createTableStatement(table));
            createKeyFilling(database, table);
        } catch (const std::exception& e) {
            say(QStringLiteral("Ошибка при создании таблицы ") + table.name + kBreak + errorText(e),
                platform::MessageIcon::Critical);
            return false;
        }
    }
    return true;
}

bool CheckTable(platform::db::Database& database, const TTableDescription& table) {
    const QString sql = QStringLiteral("SELECT * FROM ") + table.name;
    auto query = std::make_unique<platform::db::Query>(&database);
    query->setSql(sql);

    const auto openOrReport = [&]() {
        try {
            query->open();
            return true;
        } catch (const std::exception& e) {
            say(QStringLiteral("Ошибка при проверке таблицы ") + table.name + kBreak +
                    QStringLiteral("SQL=\"") + sql + QLatin1Char('"') + kBreak + errorText(e),
                platform::MessageIcon::Critical);
            return false;
        }
    };
    if (!openOrReport())
        return false;

    for (const TFieldDescription& f : table.fields) {
        if (const platform::db::Field* column = query->findField(f.name)) {
            if (!typeMatches(f.type, typeCodeOf(column->dataType()))) {
                say(QStringLiteral("Не соответствие типов в ") + table.name + QLatin1Char('.') + f.name +
                        QStringLiteral(".") + kBreak + sqlTypeText(f) + QStringLiteral("<>") +
                        engineTypeName(column->dataType()),
                    platform::MessageIcon::Warning);
            }
            continue;
        }

        say(QStringLiteral("Добавляем поле ") + f.name + QStringLiteral(" в таблицу ") + table.name,
            platform::MessageIcon::Information);
        query->close();
        try {
            database.execute(addFieldStatement(table, f));
        } catch (const std::exception&) {
            say(QStringLiteral("Ошибка при добавлении поля ") + f.name + QLatin1Char(' ') + sqlTypeText(f) +
                    QStringLiteral(" в таблицу ") + table.name,
                platform::MessageIcon::Critical);
        }
        // The next field is tested against the columns as they are now.
        if (!openOrReport())
            return false;
    }
    return true;
}

} // namespace archive
