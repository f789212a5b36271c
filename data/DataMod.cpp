#include "data/DataMod.h"

#include "data/ArchiveDBStructure.h"

#include <initializer_list>

using platform::db::DataSet;
using platform::db::FieldDef;
using platform::db::FieldKind;
using platform::db::FieldType;
using platform::db::Query;

namespace {

QStringList connectionParams(const QString& path, const QString& user, const QString& password) {
    return {QStringLiteral("SERVER NAME=") + path, QStringLiteral("USER NAME=") + user,
            QStringLiteral("PASSWORD=") + password, QStringLiteral("LANGDRIVER=ANCYRR")};
}

// Masks of the date editors.
const QString kDateMask = QStringLiteral("90/90/00;1;_");
const QString kStrictDateMask = QStringLiteral("!99/99/00;1;_");

// Display settings of one column of a dataset.
struct ColumnSettings {
    ColumnSettings(const char* name, const QString& label = QString(), bool visible = true,
                   const QString& editMask = QString(), int size = 0, bool required = false)
        : name(name)
        , label(label)
        , visible(visible)
        , editMask(editMask)
        , size(size)
        , required(required) {}
    const char* name;
    QString label;
    bool visible;
    QString editMask;
    int size;
    bool required;
};

void declareColumns(DataSet* ds, std::initializer_list<ColumnSettings> columns) {
    for (const ColumnSettings& c : columns) {
        FieldDef def;
        def.name = QLatin1String(c.name);
        def.displayLabel = c.label;
        def.visible = c.visible;
        def.editMask = c.editMask;
        def.size = c.size;
        def.required = c.required;
        ds->addField(def);
    }
}

void declareCalculated(DataSet* ds, const QString& name, FieldType type, int size = 0,
                       const QString& label = QString()) {
    FieldDef def;
    def.name = name;
    def.kind = FieldKind::Calculated;
    def.type = type;
    def.size = size;
    def.displayLabel = label;
    ds->addField(def);
}

// The value of a column in the current row of another dataset; null when
// that dataset is closed or has no current row (a calculation or a copied
// key then sees "nothing", instead of failing the whole operation).
QVariant currentValue(const DataSet* ds, const QString& name) {
    if (!ds || !ds->isActive() || (ds->currentRow() < 0 && !ds->isEditing()))
        return QVariant();
    return ds->fieldByName(name)->value();
}

QString currentText(const DataSet* ds, const QString& name) {
    if (!ds || !ds->isActive() || (ds->currentRow() < 0 && !ds->isEditing()))
        return QString();
    return ds->fieldByName(name)->asString();
}

void setCalc(DataSet& ds, const QString& name, const QString& value) {
    ds.fieldByName(name)->setValue(value);
}

QString markWhen(bool set) {
    return set ? TDM::FileMark() : QString();
}

// Reads a dataset that lists rows of another dataset again, keeping its
// current row. A closed list is left closed: it reads fresh rows when it
// opens.
void refreshIfOpen(DataSet* ds, const QString& keyName) {
    if (ds && ds->isActive())
        RefreshAndLocate(ds, keyName);
}

} // namespace

QString TDM::FileMark() {
    return QString(QChar(0x221A));
}

TDM::TDM(QObject* parent)
    : QObject(parent)
    , m_base(std::make_unique<platform::db::Database>())
    , m_sprBase(std::make_unique<platform::db::Database>()) {
    m_base->setObjectName(QStringLiteral("Base"));
    m_sprBase->setObjectName(QStringLiteral("SprBase"));
    CreateDataSets();
    DeclareFields();
    ConnectEvents();
}

TDM::~TDM() = default;

void TDM::CreateDataSets() {
    // A live keyed query finds a row the server gave its key by the largest key.
    auto live = [](platform::db::Database* db, const QString& name, const QString& sql,
                   const QString& uniqueField, const QString& uniqueTable) {
        auto q = std::make_unique<TRQuery>(db);
        q->setObjectName(name);
        q->setSql(sql);
        q->setRequestLive(true);
        q->UniqueField = uniqueField;
        q->UniqueFieldTable = uniqueTable;
        q->AfterPostMetod = apmMaxUniqueValue;
        return q;
    };
    auto readOnly = [](platform::db::Database* db, const QString& name, const QString& sql) {
        auto q = std::make_unique<TRQuery>(db);
        q->setObjectName(name);
        q->setSql(sql);
        return q;
    };
    auto plain = [](platform::db::Database* db, const QString& name, const QString& sql) {
        auto q = std::make_unique<Query>(db);
        q->setObjectName(name);
        q->setSql(sql);
        q->setRequestLive(true);
        return q;
    };
    auto* base = m_base.get();

    m_qBuilds = live(base, QStringLiteral("qBuilds"), QStringLiteral("SELECT * FROM BUILDS ORDER BY BKEY"),
                     QStringLiteral("BUILDID"), QStringLiteral("BUILDS"));
    m_qProjects = live(base, QStringLiteral("qProjects"),
                       QStringLiteral("SELECT * FROM PROJECTS WHERE BUILDID= :ID ORDER BY PKEY"),
                       QStringLiteral("PROJID"), QStringLiteral("PROJECTS"));
    m_qNotes = live(base, QStringLiteral("qNotes"),
                    QStringLiteral("SELECT * FROM NOTES WHERE PROJID=:ID ORDER BY INVNUM"),
                    QStringLiteral("NOTEID"), QStringLiteral("NOTES"));
    m_qSmets = live(base, QStringLiteral("qSmets"),
                    QStringLiteral("SELECT * FROM SMETS2 WHERE PROJID=:ID ORDER BY INVNUM"),
                    QStringLiteral("SMETID"), QStringLiteral("SMETS2"));
    m_qDrafts = live(base, QStringLiteral("qDrafts"),
                     QStringLiteral("SELECT * FROM DRAFTS WHERE PROJID=:ID ORDER BY INVNUM"),
                     QStringLiteral("DRAFTID"), QStringLiteral("DRAFTS"));
    m_qPos = live(base, QStringLiteral("qPos"),
                  QStringLiteral("SELECT * FROM D2POSIT WHERE PROJID=:ID ORDER BY INVNUM"),
                  QStringLiteral("POSITID"), QStringLiteral("D2POSIT"));
    m_qDraft2 = live(base, QStringLiteral("qDraft2"),
                     QStringLiteral("SELECT * FROM DRAFTS2 WHERE POSITID=:ID ORDER BY NUM, OBOZN1"),
                     QStringLiteral("DRAFT2ID"), QStringLiteral("DRAFTS2"));
    m_qLists2 = live(base, QStringLiteral("qLists2"),
                     QStringLiteral("SELECT * FROM LISTS2 WHERE DRAFTID = :ID ORDER BY LKEY"),
                     QStringLiteral("LISTID"), QStringLiteral("LISTS2"));
    m_qDraftsAll =
        live(base, QStringLiteral("qDraftsAll"), QStringLiteral("SELECT * FROM DRAFTS ORDER BY INVNUM"),
             QStringLiteral("DRAFTID"), QStringLiteral("DRAFTS"));

    m_qNotesAll =
        readOnly(base, QStringLiteral("qNotesAll"),
                 QStringLiteral("SELECT a.*, b.PROJID, b.BUILDID, b.PKEY, b.PKIND, c.BUILDID, c.BKEY\n"
                                "FROM NOTES a, PROJECTS b, BUILDS c\n"
                                "WHERE (a.PROJID = b.PROJID) and (b.BUILDID = c.BUILDID)\n"
                                "ORDER BY a.INVNUM"));
    m_qNotesAll->UniqueField = QStringLiteral("NOTEID");
    m_qNotesAll->UniqueFieldTable = QStringLiteral("NOTES");
    m_qInvNotes = readOnly(base, QStringLiteral("qInvNotes"),
                           QStringLiteral("SELECT INVNUM,NOTEID,NOTE,PROJID FROM NOTES ORDER BY INVNUM"));
    m_qInvSmets = readOnly(base, QStringLiteral("qInvSmets"),
                           QStringLiteral("SELECT INVNUM,SMETID,SMETA,PROJID FROM SMETS2 ORDER BY INVNUM"));
    m_qInvDrafts = readOnly(base, QStringLiteral("qInvDrafts"),
                            QStringLiteral("SELECT INVNUM,DRAFTID,DRAFT,PROJID FROM DRAFTS ORDER BY INVNUM"));
    m_qInvDrafts2 =
        readOnly(base, QStringLiteral("qInvDrafts2"),
                 QStringLiteral("SELECT INVNUM,Draft2ID,Name,POSITID from Drafts2 order by invnum"));
    m_qInvPosit = readOnly(base, QStringLiteral("qInvPosit"),
                           QStringLiteral("SELECT POSITID,projid, InvNum,Name FROM d2Posit ORDER BY invnum"));
    m_qPosAll = readOnly(base, QStringLiteral("qPosAll"), QStringLiteral("SELECT * FROM D2POSIT"));

    m_qGIP = live(m_sprBase.get(), QStringLiteral("qGIP"), QStringLiteral("SELECT * FROM GIP ORDER BY NAME"),
                  QStringLiteral("GIPID"), QStringLiteral("GIP"));

    m_QProtocols = plain(base, QStringLiteral("QProtocols"), QStringLiteral("SELECT * FROM PROTOCOLS"));
    // The incoming letters of the current build and period.
    m_qLetterIn = plain(base, QStringLiteral("qLetterIn"),
                        QStringLiteral("SELECT * FROM LETTERVH WHERE BUILDID=:ID AND (DATE_RECIVE >= :data1) "
                                       "AND (DATE_RECIVE <= :data2) ORDER BY INVNUM"));
    m_qLetterOutAll = plain(base, QStringLiteral("qLetterOutAll"),
                            QStringLiteral("SELECT * FROM LETTERISH WHERE (DATA>=:Data1) AND (DATA<=:Data2) "
                                           "ORDER BY INVNUM"));
    m_qLetterInAll = plain(base, QStringLiteral("qLetterInAll"),
                           QStringLiteral("SELECT * FROM LETTERVH WHERE (DATE_RECIVE >= :data1) AND "
                                          "(DATE_RECIVE <= :data2) ORDER BY INVNUM"));
}

void TDM::DeclareFields() {
    const QString kod = QStringLiteral("kod");
    const QString order = QStringLiteral("Заказ");
    const QString hash = QStringLiteral("#");
    const QString newInv = QStringLiteral("Новый инв. №");
    const QString oldInv = QStringLiteral("Старый инв. №");

    declareColumns(m_qProjects.get(), {{"PKEY", QStringLiteral("№")},
                                       {"PKIND", QStringLiteral("Стадия")},
                                       {"PNAME", QStringLiteral("Наименование")},
                                       {"GIP", QStringLiteral("ГИП")},
                                       {"ISOLD", QString(), true, QString(), 1}});
    declareCalculated(m_qProjects.get(), kod, FieldType::String, 20, order);

    // Notes: the per-project list and the list of all notes look alike.
    for (DataSet* notes : {static_cast<DataSet*>(m_qNotes.get()), static_cast<DataSet*>(m_qNotesAll.get())}) {
        declareColumns(notes, {{"INVNUM", QStringLiteral("Инв.№")},
                               {"NKEY", QStringLiteral("Вид")},
                               {"NOTE", QStringLiteral("Наименование")},
                               {"NACLAD", QStringLiteral("Накладная")},
                               {"STAT", QString(), false},
                               {"NEWINVNUM", newInv},
                               {"OLDINVNUM", oldInv},
                               {"DATA", QStringLiteral("Дата"), true, kDateMask},
                               {"DATE_OTPR", QStringLiteral("Дата отправки"), true, kDateMask},
                               {"DATE_VYD", QStringLiteral("Дата выдачи"), true, kStrictDateMask},
                               {"LOC_FIO", QStringLiteral("Кому выдан")},
                               {"PAGESCOUNT", QStringLiteral("Кол-во страниц")}});
        declareCalculated(notes, kod, FieldType::String, 20, order);
        declareCalculated(notes, QStringLiteral("MARK"), FieldType::String, 2, hash);
        declareCalculated(notes, QStringLiteral("MARK_PDF"), FieldType::String, 1);
        declareCalculated(notes, QStringLiteral("MARK2"), FieldType::String, 1);
    }

    declareColumns(m_qSmets.get(), {{"SNOMER", QStringLiteral("№ сметы")},
                                    {"ABCNOMER", QStringLiteral("№ по АВС")},
                                    {"SMETA", QStringLiteral("Наименование")},
                                    {"NOTE", QStringLiteral("Примечание"), false},
                                    {"STAT", QString(), false},
                                    {"NEWINVNUM", newInv},
                                    {"OLDINVNUM", oldInv},
                                    {"DATA", QString(), true, kStrictDateMask},
                                    {"DATE_OTPR", QString(), true, kDateMask}});
    declareCalculated(m_qSmets.get(), kod, FieldType::String, 20, order);
    declareCalculated(m_qSmets.get(), QStringLiteral("MARK"), FieldType::String, 2, hash);
    declareCalculated(m_qSmets.get(), QStringLiteral("MARK2"), FieldType::String, 2, hash);

    for (DataSet* drafts :
         {static_cast<DataSet*>(m_qDrafts.get()), static_cast<DataSet*>(m_qDraftsAll.get())}) {
        declareColumns(drafts, {{"MARKA", QStringLiteral("Марка")},
                                {"NOMER", QStringLiteral("Номер")},
                                {"NOMENCLATURA", QStringLiteral("Вид")},
                                {"SPEC", QStringLiteral("Спец.")},
                                {"DATA", QStringLiteral("Поступил"), true, kDateMask},
                                {"CUPBOARD", QStringLiteral("Шкаф")},
                                {"SHELF", QStringLiteral("Полка")},
                                {"FOLDER", QStringLiteral("Папка")},
                                {"FORMAT", QStringLiteral("Формат")},
                                {"DATE_OTPR", QStringLiteral("Отправлен"), true, kDateMask}});
        declareCalculated(drafts, kod, FieldType::String, 30, order);
    }

    declareColumns(m_qPos.get(), {{"NAZNACH", QStringLiteral("Назн")},
                                  {"POSIT", QStringLiteral("Поз")},
                                  {"data", QString(), true, kStrictDateMask},
                                  {"data_otpr", QString(), true, kStrictDateMask}});
    declareCalculated(m_qPos.get(), kod, FieldType::String, 30, order);

    declareColumns(m_qDraft2.get(), {{"OBOZN1", QStringLiteral("Обозн")},
                                     {"NUM", QStringLiteral("№п/п")},
                                     {"NUMLIST", QStringLiteral("Кол-во листов")},
                                     {"DATA", QString(), true, kDateMask},
                                     {"DATA_OTPR", QString(), true, kDateMask},
                                     {"STAT", QString(), false}});

    // Declared for the sheet panel; nothing calculates them.
    declareCalculated(m_qLists2.get(), kod, FieldType::String, 30, order);
    declareCalculated(m_qLists2.get(), QStringLiteral("All"), FieldType::Integer);

    declareColumns(m_QProtocols.get(), {{"id", QString(), true, QString(), 0, true},
                                        {"object", QStringLiteral("Объект"), true, QString(), 0, true},
                                        {"data", QStringLiteral("Дата"), true, QString(), 0, true},
                                        {"type", QStringLiteral("Инв.№ ПЗ"), true, QString(), 0, true},
                                        {"contents", QStringLiteral("Содержание"), true, QString(), 0, true},
                                        {"invnum", QStringLiteral("№№ п/п")}});
    declareCalculated(m_QProtocols.get(), QStringLiteral("mark"), FieldType::String, 1, hash);
    FieldDef bkey;
    bkey.name = QStringLiteral("BKEY");
    bkey.kind = FieldKind::Lookup;
    bkey.type = FieldType::Integer;
    bkey.displayLabel = QStringLiteral("Объект");
    bkey.lookupDataSet = m_qBuilds.get();
    bkey.lookupKeyFields = QStringLiteral("BUILDID");
    bkey.lookupResultField = QStringLiteral("BKEY");
    bkey.keyFields = QStringLiteral("OBJECT");
    m_QProtocols->addField(bkey);
}

void TDM::ConnectEvents() {
    auto bind = [this](void (TDM::*handler)(DataSet&)) {
        return [this, handler](DataSet& ds) {
            (this->*handler)(ds);
        };
    };
    m_qProjects->beforePost = bind(&TDM::qProjectsBeforePost);
    m_qProjects->onCalcFields = bind(&TDM::qProjectsCalcFields);
    m_qNotes->afterInsert = bind(&TDM::qNotesAfterInsert);
    m_qNotes->afterPost = bind(&TDM::qNotesAfterPost);
    m_qNotes->onCalcFields = bind(&TDM::qNotesCalcFields);
    m_qSmets->afterInsert = bind(&TDM::qSmetsAfterInsert);
    m_qSmets->onCalcFields = bind(&TDM::qSmetsCalcFields);
    m_qDrafts->afterInsert = bind(&TDM::qDraftsAfterInsert);
    m_qDrafts->afterPost = bind(&TDM::qDraftsAfterPost);
    m_qDrafts->onCalcFields = bind(&TDM::qDraftsCalcFields);
    m_qPos->afterInsert = bind(&TDM::qPosAfterInsert);
    m_qPos->onCalcFields = bind(&TDM::qDraftsCalcFields);
    m_qDraft2->afterInsert = bind(&TDM::qDraft2AfterInsert);
    m_qDraft2->beforePost = bind(&TDM::qDraft2BeforePost);
    m_qDraft2->afterPost = bind(&TDM::qDraft2AfterPost);
    m_qLists2->afterInsert = bind(&TDM::qLists2AfterInsert);
    m_qLists2->afterPost = bind(&TDM::qLists2AfterPost);
    m_qDraftsAll->afterInsert = bind(&TDM::qDraftsAllAfterInsert);
    m_qDraftsAll->beforePost = bind(&TDM::qDraftsAllBeforePost);
    m_qDraftsAll->afterPost = bind(&TDM::qDraftsAllAfterPost);
    m_qNotesAll->onCalcFields = bind(&TDM::qNotesAllCalcFields);
    m_QProtocols->afterInsert = bind(&TDM::QProtocolsAfterInsert);
    m_QProtocols->afterPost = bind(&TDM::QProtocolsAfterPost);
    m_QProtocols->onCalcFields = bind(&TDM::QProtocolsCalcFields);
}

bool TDM::OldProjectChecked() const {
    return m_windowState && m_windowState->OldProjectChecked();
}

TEditMode TDM::EditMode() const {
    return m_windowState ? m_windowState->EditMode() : emBrowse;
}

// ------------------------------------------------------------ event handlers

void TDM::qProjectsBeforePost(DataSet& ds) {
    ds.fieldByName(QStringLiteral("ISOLD"))
        ->setValue(OldProjectChecked() ? QStringLiteral("T") : QStringLiteral("F"));
}

void TDM::qProjectsCalcFields(DataSet& ds) {
    const QString pkey = ds.fieldByName(QStringLiteral("PKEY"))->asString();
    if (ds.fieldByName(QStringLiteral("ISOLD"))->asString() != QLatin1String("F"))
        setCalc(ds, QStringLiteral("kod"), pkey);
    else
        setCalc(ds, QStringLiteral("kod"),
                currentText(m_qBuilds.get(), QStringLiteral("BKEY")) + u'.' + pkey);
}

void TDM::qNotesAfterInsert(DataSet& ds) {
    CopyMasterKey(m_qProjects.get(), &ds, QStringLiteral("PROJID"));
    ds.fieldByName(QStringLiteral("INVNUM"))
        ->setAsInteger(NextNumber(QStringLiteral("NOTES"), QStringLiteral("INVNUM")));
}

void TDM::qNotesAfterPost(DataSet&) {
    refreshIfOpen(m_qInvNotes.get(), QStringLiteral("NOTEID"));
}

void TDM::qNotesCalcFields(DataSet& ds) {
    setCalc(ds, QStringLiteral("kod"), currentText(m_qProjects.get(), QStringLiteral("kod")));
    setCalc(ds, QStringLiteral("MARK"),
            markWhen(!ds.fieldByName(QStringLiteral("DIRECTORY"))->asString().isEmpty()));
    setCalc(ds, QStringLiteral("MARK_PDF"),
            markWhen(ds.fieldByName(QStringLiteral("F_PDF"))->asString() == u'+'));
    setCalc(ds, QStringLiteral("MARK2"),
            markWhen(!ds.fieldByName(QStringLiteral("W_FILE"))->asString().isEmpty()));
}

void TDM::qSmetsAfterInsert(DataSet& ds) {
    CopyMasterKey(m_qProjects.get(), &ds, QStringLiteral("PROJID"));
    ds.fieldByName(QStringLiteral("InvNum"))
        ->setAsInteger(NextNumber(QStringLiteral("SMETS2"), QStringLiteral("InvNum")));
}

void TDM::qSmetsCalcFields(DataSet& ds) {
    setCalc(ds, QStringLiteral("Kod"), currentText(m_qProjects.get(), QStringLiteral("kod")));
    setCalc(ds, QStringLiteral("Mark"),
            markWhen(!ds.fieldByName(QStringLiteral("Directory"))->asString().isEmpty()));
    setCalc(ds, QStringLiteral("Mark2"),
            markWhen(!ds.fieldByName(QStringLiteral("W_File"))->asString().isEmpty()));
}

void TDM::qDraftsAfterInsert(DataSet& ds) {
    CopyMasterKey(m_qProjects.get(), &ds, QStringLiteral("PROJID"));
    ds.fieldByName(QStringLiteral("INVNUM"))
        ->setAsInteger(NextNumber(QStringLiteral("DRAFTS"), QStringLiteral("INVNUM")));
}

void TDM::qDraftsAfterPost(DataSet&) {
    refreshIfOpen(m_qInvDrafts.get(), QStringLiteral("DRAFTID"));
}

void TDM::qDraftsCalcFields(DataSet& ds) {
    setCalc(ds, QStringLiteral("KOD"),
            currentText(m_qProjects.get(), QStringLiteral("PKIND")) +
                currentText(m_qProjects.get(), QStringLiteral("kod")));
}

void TDM::qPosAfterInsert(DataSet& ds) {
    CopyMasterKey(m_qProjects.get(), &ds, QStringLiteral("PROJID"));
    ds.fieldByName(QStringLiteral("InvNum"))
        ->setAsInteger(NextNumber(QStringLiteral("D2POSIT"), QStringLiteral("InvNum")));
}

void TDM::qDraft2AfterInsert(DataSet& ds) {
    CopyMasterKey(m_qPos.get(), &ds, QStringLiteral("PositID"));
}

void TDM::qDraft2BeforePost(DataSet& ds) {
    // Without a current position there is nothing to copy.
    if (!m_qPos->isActive() || m_qPos->currentRow() < 0)
        return;
    ds.fieldByName(QStringLiteral("Posit"))->setValue(m_qPos->fieldByName(QStringLiteral("Posit"))->value());
    ds.fieldByName(QStringLiteral("Naznach"))
        ->setValue(m_qPos->fieldByName(QStringLiteral("Naznach"))->value());
}

void TDM::qDraft2AfterPost(DataSet&) {
    refreshIfOpen(m_qInvDrafts2.get(), QStringLiteral("Draft2ID"));
}

void TDM::qLists2AfterInsert(DataSet& ds) {
    ds.fieldByName(QStringLiteral("DRAFTID"))
        ->setAsInteger(currentValue(m_qDraft2.get(), QStringLiteral("Draft2ID")).toLongLong());
}

void TDM::qLists2AfterPost(DataSet& ds) {
    refreshIfOpen(&ds, QStringLiteral("LISTID"));
}

void TDM::qDraftsAllAfterInsert(DataSet& ds) {
    CopyMasterKey(m_qProjects.get(), &ds, QStringLiteral("PROJID"));
    ds.fieldByName(QStringLiteral("INVNUM"))
        ->setAsInteger(NextNumber(QStringLiteral("DRAFTS"), QStringLiteral("INVNUM")));
}

void TDM::qDraftsAllBeforePost(DataSet& ds) {
    // A changed row keeps its project; a new one belongs to the current project.
    if (EditMode() != emChange)
        CopyMasterKey(m_qProjects.get(), &ds, QStringLiteral("PROJID"));
}

void TDM::qDraftsAllAfterPost(DataSet&) {
    refreshIfOpen(m_qInvDrafts.get(), QStringLiteral("DRAFTID"));
    refreshIfOpen(m_qDrafts.get(), QStringLiteral("DRAFTID"));
}

void TDM::qNotesAllCalcFields(DataSet& ds) {
    setCalc(ds, QStringLiteral("MARK"),
            markWhen(!ds.fieldByName(QStringLiteral("DIRECTORY"))->asString().isEmpty()));
    setCalc(ds, QStringLiteral("MARK_PDF"),
            markWhen(ds.fieldByName(QStringLiteral("F_PDF"))->asString() == u'+'));
    setCalc(ds, QStringLiteral("MARK2"),
            markWhen(ds.fieldByName(QStringLiteral("W_FILE"))->asString() == u'+'));
}

void TDM::QProtocolsAfterInsert(DataSet& ds) {
    ds.fieldByName(QStringLiteral("INVNUM"))
        ->setAsInteger(NextNumber(QStringLiteral("PROTOCOLS"), QStringLiteral("INVNUM")));
    platform::db::Field* id = ds.fieldByName(QStringLiteral("ID"));
    if (id->isNull() || id->asInteger() == 0) {
        Query gen(m_base.get());
        gen.setSql(QStringLiteral("SELECT GEN_ID(protocols_id_gen, 1) as id1 FROM RDB$DATABASE"));
        gen.open();
        id->setAsInteger(gen.fieldByName(QStringLiteral("id1"))->asInteger());
        gen.close();
    }
}

void TDM::QProtocolsAfterPost(DataSet& ds) {
    refreshIfOpen(&ds, QStringLiteral("ID"));
}

void TDM::QProtocolsCalcFields(DataSet& ds) {
    setCalc(ds, QStringLiteral("mark"),
            markWhen(!ds.fieldByName(QStringLiteral("W_FILE"))->asString().isEmpty()));
}

// ------------------------------------------------------------- connections

int TDM::OpenDatabases(const QString& archivePath, const QString& referencePath, const QString& userName,
                       const QString& password) {
    m_base->close();
    m_base->setParams(connectionParams(archivePath, userName, password));
    try {
        m_base->open();
    } catch (const platform::db::Error& e) {
        ShowErrorWindow(QStringLiteral("Archive"),
                        QStringLiteral("Ошибка подключения к базе данных приложения!"),
                        e.message() + QStringLiteral("\r\nArchiveDBName=") + archivePath);
        return ArchiveFailed;
    }
    archive::CheckDatabaseStructure(*m_base, archive::archiveDatabaseDescription());

    m_sprBase->close();
    m_sprBase->setParams(connectionParams(referencePath, userName, password));
    try {
        m_sprBase->open();
    } catch (const platform::db::Error& e) {
        ShowErrorWindow(QStringLiteral("Archive"),
                        QStringLiteral("Ошибка подключения к базе данных справочников!"),
                        e.message() + QStringLiteral("\r\nSpravDBName=") + referencePath);
        return ReferenceFailed;
    }
    archive::CheckDatabaseStructure(*m_sprBase, archive::referenceDatabaseDescription());
    return OpenOk;
}

QString TDM::ReadTablePrivileges(const QString& userName, const QString& tableName) {
    platform::db::Query q(m_base.get());
    q.setSql(QStringLiteral("select * from RDB$User_Privileges t where t.RDB$USER = :USER_NAME "
                            "and RDB$Relation_Name = :TABLE_NAME"));
    q.paramByName(QStringLiteral("USER_NAME")).setValue(userName);
    q.paramByName(QStringLiteral("TABLE_NAME")).setValue(tableName);
    q.open();
    QString privileges;
    for (q.first(); !q.eof(); q.next())
        privileges += q.fieldByName(QStringLiteral("RDB$PRIVILEGE"))->asString();
    q.close();
    return privileges;
}
