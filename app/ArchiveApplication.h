#pragma once

// The document-file object: finds, opens and marks the files of documents in
// the document store. One exists; creating it makes sure the core exists.
//
// Every lookup walks the store again (app/DocumentStore.h); a failing step
// shows its message and, where the document has a file mark, clears it; a
// found file is opened in the desktop and a found folder is shown in a folder
// browser, both through the interaction service.

#include <QDate>
#include <QString>

namespace platform::db {
class DataSet;
class Query;
} // namespace platform::db

class TArchiveApplication {
public:
    // Results of OpenNotePdf.
    enum NotePdfResult {
        NotePdfOpened = 0,
        NotePdfNoBuildFolder = -1,
        NotePdfNoProjectKey = -2,
        NotePdfNoProjectFolder = -3,
        NotePdfNoNoteFolder = -4,
        NotePdfNoFile = -5,
        NotePdfNoNote = -10 // the dataset has no current note; nothing is shown
    };

    // The kinds of equipment drawing files.
    enum EquipmentFileKind { EquipmentSource = 0, EquipmentScan = 1 };

    static TArchiveApplication& Instance();

    // Opens the PDF copy of the notes dataset's current note and sets its
    // F_PDF mark ("+"); on failure shows the step's message, clears the mark
    // and returns the step's negative code.
    int OpenNotePdf(platform::db::DataSet* notes);

    // The source drawing (.dwg) of a sheet, or the folder of a multi-file
    // sheet. True when a file was opened or the folder was shown.
    bool OpenSheetDrawing(int listId);
    // The scan (.tif) of a sheet, or the folder of a multi-file sheet; sets
    // the sheet's MARK_TIF when the scan is opened, clears it otherwise.
    bool OpenSheetScan(int listId);

    // The drawing file of the current row of `drawings` (DRAFTS2) in the
    // current position (D2POSIT) of the current project; `kind` chooses the
    // source (.dwg) or the scan (.tif). Falls back to the drawing's folder.
    bool OpenEquipmentDrawing(platform::db::DataSet* positions, platform::db::DataSet* projects, int kind,
                              int bkey, platform::db::DataSet* drawings);

    // The scan of an incoming letter: sets the letter's W_FILE when found (and
    // opens it when `openFile`), clears it otherwise.
    bool OpenIncomingLetter(int objectNumber, bool openFile, const QDate& dateReceived, int invnum,
                            int letvhid);

    // The sheets and copies dialogs.
    void ShowSheets(platform::db::Query* sheets);
    void ShowEquipmentSheets();
    void ShowNoteCopies();
    void ShowSmetCopies(int smetId);

private:
    TArchiveApplication();

    enum class SheetFile { Drawing, Scan };
    bool OpenSheet(int listId, SheetFile kind);
};
