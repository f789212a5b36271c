#include "app/ArchiveApplication.h"

#include "app/ArchiveCore.h"
#include "app/DocumentStore.h"
#include "app/FolderBrowser.h"
#include "data/DataMod.h"
#include "db/Query.h"
#include "db/RTables.h"
#include "desktop/Interaction.h"

using namespace docstore;
using platform::db::DataSet;

namespace {

const QChar kQuote(u'"');

// "Путь "<path>" не найден."
QString pathNotFound(const QString& path) {
    return QStringLiteral("Путь ") + kQuote + path + kQuote + QStringLiteral(" не найден.");
}

// "Директория "<path>" не найдена!"
QString folderNotFound(const QString& path) {
    return QStringLiteral("Директория ") + kQuote + path + kQuote + QStringLiteral(" не найдена!");
}

// "Файл "<path>" не найден!"
QString fileNotFound(const QString& path) {
    return QStringLiteral("Файл ") + kQuote + path + kQuote + QStringLiteral(" не найден!");
}

// A text column as the program compares it: CHAR columns come blank-padded.
QString text(const DataSet* ds, const QString& column) {
    return TrimTrailingBlanks(ds->fieldByName(column)->asString());
}

int integer(const DataSet* ds, const QString& column) {
    return int(ds->fieldByName(column)->asInteger());
}

// Writes the note's F_PDF through the dataset (an armed edit and post) and
// finds the note again; a dataset that accepts no edits gets the column
// written directly and is read again.
void writeNotePdfMark(DataSet* notes, const QString& value) {
    if (notes->canModify()) {
        if (!SafeEditWithDetails(notes))
            return;
        notes->fieldByName(QStringLiteral("F_PDF"))->setAsString(value);
        if (!PostAndLocate(notes, QStringLiteral("NOTEID")) && notes->isEditing())
            SafeCancel(notes);
        return;
    }
    TDM* dm = TArchiveCore::Instance().DataModule();
    dm->Base()->execute(QStringLiteral("UPDATE NOTES SET F_PDF = ? WHERE NOTEID = ?"),
                        {value, integer(notes, QStringLiteral("NOTEID"))});
    RefreshAndLocate(notes, QStringLiteral("NOTEID"));
}

void setIncomingLetterMark(int letvhid, bool found) {
    TDM* dm = TArchiveCore::Instance().DataModule();
    dm->Base()->execute(QStringLiteral("UPDATE LETTERVH SET W_FILE = ? WHERE LETVHID = ?"),
                        {found ? QStringLiteral("+") : QString(), letvhid});
}

// Shows a folder in the program's folder browser, modally.
void browseFolder(const QString& caption, const QString& folder) {
    TFolderBrowser browser(caption, folder);
    platform::interaction().execDialog(&browser);
}

} // namespace

TArchiveApplication::TArchiveApplication() {
    TArchiveCore::Instance();
}

TArchiveApplication& TArchiveApplication::Instance() {
    static TArchiveApplication application;
    return application;
}

// ------------------------------------------------------------------- notes

int TArchiveApplication::OpenNotePdf(DataSet* notes) {
    if (!notes || !notes->isActive() || notes->isEmpty())
        return NotePdfNoNote;
    TArchiveCore& core = TArchiveCore::Instance();
    TDM* dm = core.DataModule();

    const int projId = integer(notes, QStringLiteral("PROJID"));
    const QString inv = QString::number(integer(notes, QStringLiteral("INVNUM")));
    const TArchiveProjectRec project = dm->ReadProject(projId);
    const QString pkey = TrimTrailingBlanks(project.PKey);
    const QString pkind = TrimTrailingBlanks(project.PKind);

    auto fail = [&](const QString& message, int code) {
        ShowMessage(message);
        writeNotePdfMark(notes, QString());
        return code;
    };

    QString r = core.GetDocumentRoot();
    const QString b = Pad3(dm->BuildKey(project.BuildId));
    QString entry;
    if (!FindEntryByKey(r, b, &entry))
        return fail(folderNotFound(r + b + u'*'), NotePdfNoBuildFolder);

    r += entry + Separator();
    const QString k = ProjectFolderPrefix(pkind, pkey);
    if (k.isEmpty())
        return fail(QStringLiteral("Не задан ProjectKey и ProjectKind."), NotePdfNoProjectKey);
    if (!FindEntryByPrefix(r, k, &entry))
        return fail(folderNotFound(r + k + u'*'), NotePdfNoProjectFolder);

    r += entry + Separator() + core.NotesFolder() + Separator();
    if (!FindEntryByPrefix(r, inv + u'_', &entry) && !FindEntryByKey(r, inv, &entry))
        return fail(folderNotFound(r + inv + u'*'), NotePdfNoNoteFolder);

    r += entry + Separator();
    const QString mask = QStringLiteral("*_") + inv + QStringLiteral(".pdf");
    if (!FindFirstMatch(r, mask, &entry, EntryKinds::Any))
        return fail(fileNotFound(r + mask), NotePdfNoFile);

    platform::interaction().openPath(r + entry);
    writeNotePdfMark(notes, QStringLiteral("+"));
    return NotePdfOpened;
}

// ------------------------------------------------------------------ sheets

bool TArchiveApplication::OpenSheetDrawing(int listId) {
    return OpenSheet(listId, SheetFile::Drawing);
}

bool TArchiveApplication::OpenSheetScan(int listId) {
    return OpenSheet(listId, SheetFile::Scan);
}

bool TArchiveApplication::OpenSheet(int listId, SheetFile kind) {
    TArchiveCore& core = TArchiveCore::Instance();
    TDM* dm = core.DataModule();
    const bool scan = kind == SheetFile::Scan;

    // The sheet.
    QString indication;
    QVariant lkey;
    bool multiFile = false;
    {
        platform::db::Query q(dm->Base());
        q.setSql(QStringLiteral("SELECT INDICATION, LKEY, NUMLISTS FROM LISTS WHERE LISTID = :ID"));
        q.paramByName(QStringLiteral("ID")).setAsInteger(listId);
        q.open();
        if (!q.isEmpty()) {
            indication = text(&q, QStringLiteral("INDICATION"));
            lkey = q.fieldByName(QStringLiteral("LKEY"))->value();
            const QVariant sheets = q.fieldByName(QStringLiteral("NUMLISTS"))->value();
            multiFile = !sheets.isNull() && sheets.toInt() != 1;
        }
        q.close();
    }
    const QString lkeyText = lkey.isNull() ? QString() : QString::number(lkey.toLongLong());

    // Its drawing set, project and build.
    const int draftId = dm->SheetDraft(listId);
    const TArchiveProjectRec project = dm->ReadProject(dm->DraftProject(draftId));
    QString error;
    const QString folder =
        core.FindDraftFolder(dm->BuildKey(project.BuildId), TrimTrailingBlanks(project.PKey),
                             dm->DraftInvNum(draftId), TrimTrailingBlanks(project.PKind), &error);
    if (!error.isEmpty())
        ShowMessage(error);
    if (folder.isEmpty() || !FolderExists(folder)) {
        if (scan)
            dm->ClearSheetScanMark(listId);
        ShowMessage(QStringLiteral("Файл не найден! директории не существует!"));
        return false;
    }

    if (multiFile) {
        const QString sheetFolder =
            folder + (indication.isEmpty() ? QStringLiteral("лист ") + lkeyText : SafeFileName(indication));
        const bool found = FolderExists(sheetFolder);
        if (found)
            browseFolder(QStringLiteral("Листы чертежа"), sheetFolder);
        else
            ShowMessage(QStringLiteral("Путь не найден!"));
        if (scan)
            dm->ClearSheetScanMark(listId);
        return found;
    }

    const QString extension = scan ? QStringLiteral(".tif") : QStringLiteral(".dwg");
    const QString byNumber = scan ? QStringLiteral("лист") : QStringLiteral("лист ");
    const QString file = (lkey.isNull() || !indication.isEmpty())
                             ? QString(folder + SafeFileName(indication) + extension)
                             : QString(folder + byNumber + lkeyText + extension);
    if (!FileExists(file)) {
        if (scan)
            dm->ClearSheetScanMark(listId);
        ShowMessage(fileNotFound(file));
        return false;
    }
    if (scan)
        dm->SetSheetScanMark(listId);
    platform::interaction().openPath(file);
    return true;
}

// ------------------------------------------------------- equipment drawings

bool TArchiveApplication::OpenEquipmentDrawing(DataSet* positions, DataSet* projects, int kind, int bkey,
                                               DataSet* drawings) {
    if (!drawings || !drawings->isActive() || drawings->isEmpty())
        return false;
    TArchiveCore& core = TArchiveCore::Instance();

    QString r = core.GetDocumentRoot();
    const QString b = Pad3(bkey);
    QString entry;
    if (!FindEntryByKey(r, b, &entry)) {
        ShowMessage(pathNotFound(r + b + u'*'));
        return false;
    }

    r += entry + Separator();
    const QString k =
        text(projects, QStringLiteral("PKEY")) + u'-' + text(projects, QStringLiteral("PKIND")) + u'_';
    if (!FindEntryByPrefix(r, k + u'_', &entry) && !FindEntryByPrefix(r, k, &entry)) {
        ShowMessage(pathNotFound(r + k + u'*'));
        return false;
    }

    r += entry + Separator() + core.PositionsFolder() + Separator() +
         text(positions, QStringLiteral("NAZNACH")) + u'_' +
         SlashesToUnderscores(text(positions, QStringLiteral("POSIT"))) + u'_' +
         QString::number(integer(positions, QStringLiteral("INVNUM"))) + Separator();
    const QString name = text(drawings, QStringLiteral("OBOZN1")) + text(drawings, QStringLiteral("OBOZN2"));
    const QString file = r + name + (kind == EquipmentScan ? QStringLiteral(".tif") : QStringLiteral(".dwg"));
    if (FileExists(file)) {
        platform::interaction().openPath(file);
        return true;
    }
    if (FolderExists(r + name)) {
        browseFolder(QStringLiteral("Просмотр чертежей НО"), r + name);
        return true;
    }
    ShowMessage(QStringLiteral("Файл не найден!"));
    return false;
}

// --------------------------------------------------------- incoming letters

bool TArchiveApplication::OpenIncomingLetter(int objectNumber, bool openFile, const QDate& dateReceived,
                                             int invnum, int letvhid) {
    TArchiveCore& core = TArchiveCore::Instance();

    QString r = core.GetDocumentRoot();
    const QString b = Pad3(objectNumber);
    QString entry;
    if (!FindEntryByKey(r, b, &entry)) {
        ShowMessage(pathNotFound(r + b + u'*'));
        setIncomingLetterMark(letvhid, false);
        return false;
    }

    r += entry + Separator() + core.InLettersFolder() + Separator() + DocumentsFolderName(dateReceived) +
         Separator();
    const QString x = QString::number(objectNumber) + u'-' + QString::number(invnum) + u'_';
    if (!FindFirstMatch(r, x + u'*', &entry, EntryKinds::Any)) {
        ShowMessage(QStringLiteral("Файл ") + kQuote + r + x + u'*' + kQuote + QStringLiteral(" не найден."));
        setIncomingLetterMark(letvhid, false);
        return false;
    }

    const QString file = r + entry;
    if (!FileExists(file)) {
        ShowMessage(fileNotFound(file));
        setIncomingLetterMark(letvhid, false);
        return false;
    }
    setIncomingLetterMark(letvhid, true);
    if (openFile)
        platform::interaction().openPath(file);
    return true;
}

// ------------------------------------------------------- sheets and copies

void TArchiveApplication::ShowSheets(platform::db::Query* sheets) {
    Q_UNUSED(sheets);
}

void TArchiveApplication::ShowEquipmentSheets() {}

void TArchiveApplication::ShowNoteCopies() {}

void TArchiveApplication::ShowSmetCopies(int smetId) {
    Q_UNUSED(smetId);
}
