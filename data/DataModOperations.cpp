// The data module's database operations: ad-hoc queries, next numbers,
// lookups by key, statistics, uniqueness tests, file marks and orders.

#include "data/DataMod.h"

#include "desktop/Interaction.h"

#include <QGuiApplication>
#include <QRegularExpression>

#include <algorithm>

#include <utility>

using platform::db::Database;
using platform::db::DataSet;
using platform::db::DataSetError;
using platform::db::Query;

namespace {

using Params = std::initializer_list<std::pair<const char*, QVariant>>;

// A read-only query on `db` with its parameters set, opened.
std::unique_ptr<Query> openQuery(Database* db, const QString& sql, Params params) {
    auto q = std::make_unique<Query>(db);
    q->setSql(sql);
    for (const auto& p : params)
        q->paramByName(QLatin1String(p.first)).setValue(p.second);
    q->open();
    return q;
}

// The first row's value of `column` (the first column when empty); null
// when there is no row. `found` tells whether there was one.
QVariant scalar(Database* db, const QString& sql, Params params, const QString& column = QString(),
                bool* found = nullptr) {
    auto q = openQuery(db, sql, params);
    const bool any = !q->isEmpty();
    if (found)
        *found = any;
    const QVariant value =
        any ? (column.isEmpty() ? q->field(0)->value() : q->fieldByName(column)->value()) : QVariant();
    q->close();
    return value;
}

int toInt(const QVariant& value) {
    return value.isNull() ? 0 : int(value.toLongLong());
}

QString toText(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

// A name that may stand in a statement as an unquoted identifier.
void checkIdentifier(const QString& name, const char* what) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z][A-Za-z0-9_$]*$"));
    if (!plain.match(name).hasMatch())
        throw DataSetError(QStringLiteral("Недопустимое имя %1: \"%2\"").arg(QLatin1String(what), name));
}

} // namespace

// ------------------------------------------------------------ ad-hoc queries

std::unique_ptr<Query> TDM::NewArchiveQuery(const QString& sql) {
    auto q = std::make_unique<Query>(m_base.get());
    q->setSql(sql);
    return q;
}

std::unique_ptr<Query> TDM::NewReferenceQuery(const QString& sql) {
    auto q = std::make_unique<Query>(m_sprBase.get());
    q->setSql(sql);
    return q;
}

std::unique_ptr<Query> TDM::CreateQuery(const QString& sql, bool readOnly) {
    auto q = NewArchiveQuery(sql);
    q->setRequestLive(!readOnly);
    return q;
}

int TDM::ExecArchiveSQL(const QString& sql, const QVector<QVariant>& params) {
    return m_base->execute(sql, params);
}

// ----------------------------------------------------------- numbers, keys

int TDM::NextNumber(const QString& table, const QString& column) {
    checkIdentifier(table, "таблицы");
    checkIdentifier(column, "столбца");
    const QVariant largest =
        scalar(m_base.get(), QStringLiteral("SELECT MAX(") + column + QStringLiteral(") FROM ") + table, {});
    return largest.isNull() ? 1 : toInt(largest) + 1;
}

int TDM::NextLetterNumber(TLetterBook book, int year) {
    if (year < 1000 || year > 9999)
        throw DataSetError(QStringLiteral("Недопустимый год письма: %1").arg(year));
    return NextLetterNumber(book, QDate(year, 1, 1), QDate(year, 12, 31));
}

int TDM::NextLetterNumber(TLetterBook book, const QDate& first, const QDate& last) {
    if (!first.isValid() || !last.isValid())
        throw DataSetError(QStringLiteral("Не задан период нумерации писем"));
    // "Before the day after the last" also takes a last day that carries a time.
    const QString sql =
        book == TLetterBook::Outgoing
            ? QStringLiteral("SELECT MAX(INVNUM) FROM LETTERISH WHERE DATA >= :D1 AND DATA < :D2")
            : QStringLiteral("SELECT MAX(INVNUM) FROM LETTERVH "
                             "WHERE DATE_RECIVE >= :D1 AND DATE_RECIVE < :D2");
    const QVariant largest = scalar(m_base.get(), sql, {{"D1", first}, {"D2", last.addDays(1)}});
    return largest.isNull() ? 1 : toInt(largest) + 1;
}

void TDM::CopyMasterKey(DataSet* master, DataSet* detail, const QString& column,
                        const QString& detailColumn) {
    qint64 key = 0;
    if (master && master->isActive() && (master->currentRow() >= 0 || master->isEditing()))
        key = master->fieldByName(column)->asInteger();
    detail->fieldByName(detailColumn.isEmpty() ? column : detailColumn)->setAsInteger(key);
    if (key == 0)
        platform::interaction().message(nullptr, QGuiApplication::applicationDisplayName(),
                                        QStringLiteral("Неверно установлена связь!"),
                                        platform::MessageIcon::Warning);
}

// ------------------------------------------------------------------ lookups

int TDM::BuildIdByKey(const QString& bkeyText) {
    bool ok = false;
    const int bkey = bkeyText.trimmed().toInt(&ok);
    // Text that is no number names no build.
    return ok ? BuildIdByKey(bkey) : 0;
}

int TDM::BuildIdByKey(int bkey) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT BUILDID FROM BUILDS WHERE BKEY = :BKEY"),
                        {{"BKEY", bkey}}));
}

int TDM::BuildKey(int buildId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT BKEY FROM BUILDS WHERE BUILDID = :ID"),
                        {{"ID", buildId}}));
}

QString TDM::BuildName(int buildId) {
    return toText(scalar(m_base.get(), QStringLiteral("SELECT BNAME FROM BUILDS WHERE BUILDID = :ID"),
                         {{"ID", buildId}}));
}

QString TDM::ProjectName(int projId) {
    return toText(scalar(m_base.get(), QStringLiteral("SELECT PNAME FROM PROJECTS WHERE PROJID = :ID"),
                         {{"ID", projId}}));
}

TArchiveProjectRec TDM::ReadProject(int projId) {
    auto q = openQuery(m_base.get(),
                       QStringLiteral("SELECT BUILDID, PROJID, PKEY, PKIND FROM PROJECTS WHERE PROJID = :ID"),
                       {{"ID", projId}});
    TArchiveProjectRec rec;
    if (!q->isEmpty()) {
        rec.BuildId = int(q->fieldByName(QStringLiteral("BUILDID"))->asInteger());
        rec.ProjId = int(q->fieldByName(QStringLiteral("PROJID"))->asInteger());
        rec.PKey = q->fieldByName(QStringLiteral("PKEY"))->asString();
        rec.PKind = q->fieldByName(QStringLiteral("PKIND"))->asString();
    }
    q->close();
    return rec;
}

int TDM::ProjectBuild(int projId) {
    return ReadProject(projId).BuildId;
}

int TDM::SheetDraft(int listId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT DRAFTID FROM LISTS WHERE LISTID = :ID"),
                        {{"ID", listId}}));
}

int TDM::DraftInvNum(int draftId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT INVNUM FROM DRAFTS WHERE DRAFTID = :ID"),
                        {{"ID", draftId}}));
}

int TDM::DraftProject(int draftId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT PROJID FROM DRAFTS WHERE DRAFTID = :ID"),
                        {{"ID", draftId}}));
}

int TDM::SmetProject(int smetId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT ProjID FROM SMETS2 WHERE SmetID = :ID"),
                        {{"ID", smetId}}));
}

QString TDM::GipName(int gipId, const QString& valueWhenMissing) {
    bool found = false;
    const QVariant name = scalar(m_sprBase.get(), QStringLiteral("SELECT Name FROM Gip WHERE GipID = :ID"),
                                 {{"ID", gipId}}, QString(), &found);
    return found ? toText(name) : valueWhenMissing;
}

QString TDM::DepartmentName(int otdelId) {
    return toText(scalar(m_sprBase.get(), QStringLiteral("SELECT OTDEL FROM Otdel WHERE OTDELID = :ID"),
                         {{"ID", otdelId}}));
}

QString TDM::OrganizationName(int id) {
    return toText(
        scalar(m_base.get(), QStringLiteral("SELECT NAME FROM ORGANIZATION WHERE ID = :ID"), {{"ID", id}}));
}

int TDM::LastDrawingNum(int positId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT MAX(Num) FROM DRAFTS2 WHERE PositID = :ID"),
                        {{"ID", positId}}));
}

int TDM::PositionLabel(int positId, QString* label) {
    // Read by key: a missing position gives nothing instead of the last one.
    auto q =
        openQuery(m_base.get(), QStringLiteral("SELECT PROJID, POSIT, NAME FROM D2POSIT WHERE POSITID = :ID"),
                  {{"ID", positId}});
    int projId = 0;
    QString text;
    if (!q->isEmpty()) {
        projId = int(q->fieldByName(QStringLiteral("PROJID"))->asInteger());
        text = q->fieldByName(QStringLiteral("POSIT"))->asString() + QStringLiteral("  ") +
               q->fieldByName(QStringLiteral("NAME"))->asString();
    }
    q->close();
    if (label)
        *label = text;
    return projId;
}

int TDM::NotePages(int noteId) {
    bool found = false;
    const QVariant pages =
        scalar(m_base.get(), QStringLiteral("SELECT NOTEID, PAGESCOUNT FROM NOTES WHERE NOTEID = :ID"),
               {{"ID", noteId}}, QStringLiteral("PAGESCOUNT"), &found);
    return found ? toInt(pages) : -1;
}

int TDM::ProjectPages(int projId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT SUM(PAGESCOUNT) FROM NOTES WHERE PROJID = :ID"),
                        {{"ID", projId}}));
}

int TDM::NoteCount(int projId) {
    try {
        return toInt(scalar(m_base.get(), QStringLiteral("SELECT COUNT(*) FROM NOTES WHERE PROJID = :ID"),
                            {{"ID", projId}}));
    } catch (const platform::db::Error&) {
        return 0;
    }
}

int TDM::SmetCount(int projId) {
    return toInt(scalar(m_base.get(), QStringLiteral("SELECT COUNT(*) FROM SMETS2 WHERE ProjID = :ID"),
                        {{"ID", projId}}));
}

// --------------------------------------------------------------- statistics

bool TDM::DraftStatistics(int projId, TDraftStatistics& counts, QStringList* formats) {
    counts = TDraftStatistics();
    // (format, physical sheets) in order of first appearance.
    QList<std::pair<QString, int>> tally;
    auto q = openQuery(m_base.get(),
                       QStringLiteral("SELECT d.DRAFTID, l.LISTID, l.FORMAT, l.NUMLISTS FROM DRAFTS d "
                                      "LEFT JOIN LISTS l ON l.DRAFTID = d.DRAFTID "
                                      "WHERE d.PROJID = :ID ORDER BY d.DRAFTID, l.LISTID"),
                       {{"ID", projId}});
    QVariant lastDraft;
    for (q->first(); !q->eof(); q->next()) {
        const QVariant draft = q->fieldByName(QStringLiteral("DRAFTID"))->value();
        if (draft != lastDraft) {
            ++counts.Sets;
            lastDraft = draft;
        }
        if (q->fieldByName(QStringLiteral("LISTID"))->isNull())
            continue;
        const qint64 numLists = q->fieldByName(QStringLiteral("NUMLISTS"))->asInteger();
        const int n = numLists <= 0 ? 1 : int(numLists);
        ++counts.SheetRows;
        counts.Sheets += n;
        const QString format = q->fieldByName(QStringLiteral("FORMAT"))->asString();
        auto it = std::find_if(tally.begin(), tally.end(), [&](const auto& p) { return p.first == format; });
        if (it != tally.end())
            it->second += n;
        else
            tally.append({format, n});
    }
    q->close();
    if (formats) {
        formats->clear();
        for (const auto& [format, total] : tally)
            formats->append(format + u'=' + QString::number(total));
    }
    return counts.Sets > 0;
}

TPositionStatistics TDM::PositionStatistics(int projId) {
    TPositionStatistics counts;
    try {
        auto q = openQuery(m_base.get(),
                           QStringLiteral("SELECT p.POSITID, d.DRAFT2ID, d.NUMLIST FROM D2POSIT p "
                                          "LEFT JOIN DRAFTS2 d ON d.POSITID = p.POSITID "
                                          "WHERE p.PROJID = :ID ORDER BY p.POSITID, d.DRAFT2ID"),
                           {{"ID", projId}});
        QVariant lastPosition;
        for (q->first(); !q->eof(); q->next()) {
            const QVariant position = q->fieldByName(QStringLiteral("POSITID"))->value();
            if (position != lastPosition) {
                ++counts.Positions;
                lastPosition = position;
            }
            if (q->fieldByName(QStringLiteral("DRAFT2ID"))->isNull())
                continue;
            const qint64 numList = q->fieldByName(QStringLiteral("NUMLIST"))->asInteger();
            ++counts.Drawings;
            counts.Sheets += numList <= 0 ? 1 : int(numList);
        }
        q->close();
    } catch (const platform::db::Error&) {
        // The counts reached so far.
    }
    return counts;
}

QString TDM::SmetFileMask(int smetId) {
    auto q = openQuery(m_base.get(), QStringLiteral("SELECT SNOMER, ABCNOMER FROM SMETS2 WHERE SmetID = :ID"),
                       {{"ID", smetId}});
    QString mask;
    if (!q->isEmpty()) {
        const QString abc = TrimTrailingBlanks(q->fieldByName(QStringLiteral("ABCNOMER"))->asString());
        if (abc.isEmpty())
            mask = TrimTrailingBlanks(q->fieldByName(QStringLiteral("SNOMER"))->asString()) +
                   QStringLiteral(".*");
        else
            mask = u'(' + abc + QStringLiteral(").doc");
    }
    q->close();
    return mask;
}

// --------------------------------------------------------- uniqueness tests

bool TDM::DraftSetExists(int projId, const QString& nomenclatura, const QString& marka,
                         std::optional<int> excludeDraftId) {
    QString sql = QStringLiteral("SELECT FIRST 1 DRAFTID FROM DRAFTS WHERE PROJID = :PROJID "
                                 "AND NOMENCLATURA = :NOMENCLATURA AND MARKA = :MARKA");
    if (excludeDraftId)
        sql += QStringLiteral(" AND DRAFTID <> :DRAFTID");
    auto q = std::make_unique<Query>(m_base.get());
    q->setSql(sql);
    q->paramByName(QStringLiteral("PROJID")).setValue(projId);
    q->paramByName(QStringLiteral("NOMENCLATURA")).setValue(nomenclatura);
    q->paramByName(QStringLiteral("MARKA")).setValue(marka);
    if (excludeDraftId)
        q->paramByName(QStringLiteral("DRAFTID")).setValue(*excludeDraftId);
    q->open();
    const bool exists = !q->isEmpty();
    q->close();
    return exists;
}

bool TDM::PositionExists(int projId, const QString& naznach, const QString& posit,
                         std::optional<int> excludePositId, QStringList* report) {
    QString sql = QStringLiteral("SELECT * FROM D2POSIT WHERE NAZNACH = :NAZNACH AND POSIT = :POSIT "
                                 "AND PROJID = :PROJID");
    if (excludePositId)
        sql += QStringLiteral(" AND POSITID <> :POSITID");
    auto q = std::make_unique<Query>(m_base.get());
    q->setSql(sql);
    q->paramByName(QStringLiteral("NAZNACH")).setValue(naznach);
    q->paramByName(QStringLiteral("POSIT")).setValue(posit);
    q->paramByName(QStringLiteral("PROJID")).setValue(projId);
    if (excludePositId)
        q->paramByName(QStringLiteral("POSITID")).setValue(*excludePositId);
    q->open();
    const bool exists = !q->isEmpty();
    if (exists && report) {
        report->append(QStringLiteral("Комплект чертежей Н.О. с таки параметрами уже существует."));
        report->append(QStringLiteral("Naznach=\"") + naznach + QStringLiteral("\"; Posit=\"") + posit +
                       u'"');
        for (q->first(); !q->eof(); q->next()) {
            report->append(QStringLiteral("--------"));
            report->append(q->fieldByName(QStringLiteral("Name"))->asString());
            report->append(QStringLiteral("ID=") + q->fieldByName(QStringLiteral("PositID"))->asString());
            report->append(QStringLiteral("ProjID=") + q->fieldByName(QStringLiteral("ProjID"))->asString());
            report->append(QStringLiteral("InvNum=") + q->fieldByName(QStringLiteral("InvNum"))->asString());
        }
    }
    q->close();
    return exists;
}

bool TDM::SmetNumberExists(const QString& snomer, int projId, int smetId) {
    const QVariant m =
        scalar(m_base.get(),
               QStringLiteral("SELECT COUNT(*) AS M FROM SMETS2 WHERE SMETID <> :SMETID "
                              "AND PROJID = :PROJID AND SNOMER = :SNOMER"),
               {{"SMETID", smetId}, {"PROJID", projId}, {"SNOMER", snomer}}, QStringLiteral("M"));
    return toInt(m) > 0;
}

// --------------------------------------------------------------- file marks

bool TDM::SetSheetScanMark(int listId) {
    return m_base->execute(QStringLiteral("UPDATE LISTS SET MARK_TIF = 'Ц' WHERE LISTID = ?"), {listId}) > 0;
}

bool TDM::ClearSheetScanMark(int listId) {
    return m_base->execute(QStringLiteral("UPDATE LISTS SET MARK_TIF = '' WHERE LISTID = ?"), {listId}) > 0;
}

bool TDM::SetNoteFileMark(int noteId) {
    return m_base->execute(QStringLiteral("UPDATE NOTES SET W_FILE = '+' WHERE NOTEID = ?"), {noteId}) > 0;
}

bool TDM::ClearNoteFileMark(int noteId) {
    return m_base->execute(QStringLiteral("UPDATE NOTES SET W_FILE = '' WHERE NOTEID = ?"), {noteId}) > 0;
}

bool TDM::SetSmetFileMark(int smetId) {
    return m_base->execute(QStringLiteral("UPDATE SMETS2 SET W_File = '+' WHERE SmetID = ?"), {smetId}) > 0;
}

bool TDM::ClearSmetFileMark(int smetId) {
    return m_base->execute(QStringLiteral("UPDATE SMETS2 SET W_File = '' WHERE SmetID = ?"), {smetId}) > 0;
}

// ------------------------------------------------------------------- orders

void TDM::InsertOrder(int num, const QString& name, const QString& content, const QDate& date) {
    m_base->execute(
        QStringLiteral("INSERT INTO PRIKAZ (Num, DATE_CREATE, Name, Content) VALUES (?, ?, ?, ?)"),
        {num, date, name, content});
}

void TDM::UpdateOrder(int id, int num, const QString& name, const QString& content, const QDate& date) {
    m_base->execute(
        QStringLiteral("UPDATE PRIKAZ SET Num = ?, DATE_CREATE = ?, Name = ?, Content = ? WHERE ID = ?"),
        {num, date, name, content, id});
}
