#pragma once

// The data module: the two database connections, the shared datasets
// through which the main window shows and edits builds, projects and
// documents, and the small database operations the rest of the program
// calls (lookups by key, next inventory numbers, uniqueness tests, file
// marks, statistics counts, ad-hoc queries).
//
// Every value reaches a statement as a bound parameter. Table and column
// names given by callers (NextNumber) must be plain identifiers.

#include "data/MainWindowState.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/RTables.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// A project as ReadProject gives it.
struct TArchiveProjectRec {
    int BuildId = 0;
    int ProjId = 0;
    QString PKey;
    QString PKind;
};

// Counts of DraftStatistics.
struct TDraftStatistics {
    int Sets = 0;      // drawing sets of the project
    int SheetRows = 0; // their sheet rows
    int Sheets = 0;    // physical sheets (NUMLISTS, 0 or less counting as 1)
};

// Counts of PositionStatistics.
struct TPositionStatistics {
    int Positions = 0;
    int Drawings = 0;
    int Sheets = 0; // NUMLIST of the drawings, 0 or less counting as 1
};

// The two letter books, numbered per calendar year.
enum class TLetterBook {
    Outgoing, // LETTERISH, dated by DATA
    Incoming  // LETTERVH, dated by DATE_RECIVE
};

class TDM : public QObject {
    Q_OBJECT

public:
    // Results of OpenDatabases.
    static constexpr int OpenOk = 0;
    static constexpr int ArchiveFailed = 254;
    static constexpr int ReferenceFailed = 253;

    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    // The file mark the grids show in the calculated mark columns: a tick.
    static QString FileMark();

    // The archive database (alias Archive) and the reference database (alias Sprav).
    platform::db::Database* Base() const { return m_base.get(); }
    platform::db::Database* SprBase() const { return m_sprBase.get(); }

    // Connects both databases under the given account and checks the
    // structure of each; reports a failed connection in the error window.
    int OpenDatabases(const QString& archivePath, const QString& referencePath, const QString& userName,
                      const QString& password);

    // The privilege codes (S, I, U, D, R) of a user on a table, concatenated
    // in the order the server returns them.
    QString ReadTablePrivileges(const QString& userName, const QString& tableName);

    // The main window's check box and edit mode, read by the before-post
    // handlers. Not owned; null (the default) reads as an unticked box and
    // emBrowse.
    void SetMainWindowState(const IMainWindowState* state) { m_windowState = state; }
    const IMainWindowState* MainWindowState() const { return m_windowState; }

    // ------------------------------------------------------ shared datasets
    // All are closed when the module is created. Details (parameter :ID) are
    // reopened by the main window from their master's current row.

    TRQuery* qBuilds() const { return m_qBuilds.get(); }
    TRQuery* qProjects() const { return m_qProjects.get(); } // :ID = BUILDID
    TRQuery* qNotes() const { return m_qNotes.get(); }       // :ID = PROJID
    TRQuery* qSmets() const { return m_qSmets.get(); }       // :ID = PROJID
    TRQuery* qDrafts() const { return m_qDrafts.get(); }     // :ID = PROJID
    TRQuery* qPos() const { return m_qPos.get(); }           // :ID = PROJID
    TRQuery* qDraft2() const { return m_qDraft2.get(); }     // :ID = POSITID
    TRQuery* qLists2() const { return m_qLists2.get(); }     // :ID = DRAFT2ID
    TRQuery* qDraftsAll() const { return m_qDraftsAll.get(); }
    TRQuery* qNotesAll() const { return m_qNotesAll.get(); }
    TRQuery* qInvNotes() const { return m_qInvNotes.get(); }
    TRQuery* qInvSmets() const { return m_qInvSmets.get(); }
    TRQuery* qInvDrafts() const { return m_qInvDrafts.get(); }
    TRQuery* qInvDrafts2() const { return m_qInvDrafts2.get(); }
    TRQuery* qInvPosit() const { return m_qInvPosit.get(); }
    TRQuery* qPosAll() const { return m_qPosAll.get(); }
    TRQuery* qGIP() const { return m_qGIP.get(); } // reference database
    platform::db::Query* QProtocols() const { return m_QProtocols.get(); }
    // :ID = BUILDID, :data1 and :data2 the period.
    platform::db::Query* qLetterIn() const { return m_qLetterIn.get(); }
    // :Data1 and :Data2 the period.
    platform::db::Query* qLetterOutAll() const { return m_qLetterOutAll.get(); }
    // :data1 and :data2 the period.
    platform::db::Query* qLetterInAll() const { return m_qLetterInAll.get(); }

    // ------------------------------------------------------- ad-hoc queries

    // A query on the archive (reference) database with the statement set,
    // not opened.
    std::unique_ptr<platform::db::Query> NewArchiveQuery(const QString& sql);
    std::unique_ptr<platform::db::Query> NewReferenceQuery(const QString& sql);
    // NewArchiveQuery, live unless read only.
    std::unique_ptr<platform::db::Query> CreateQuery(const QString& sql, bool readOnly);
    // Runs one statement on the archive database with positional ("?")
    // parameters; the number of rows it changed.
    int ExecArchiveSQL(const QString& sql, const QVector<QVariant>& params = {});

    // ---------------------------------------------------- numbers and keys

    // One more than the largest value of the column in the whole table, 1
    // for an empty table. Both names must be plain identifiers (letters,
    // digits, "_", "$", starting with a letter); anything else throws
    // platform::db::DataSetError without reaching the server.
    int NextNumber(const QString& table, const QString& column);
    // One more than the largest INVNUM of the letters dated in the calendar
    // year (a full year, 1000 to 9999; anything else throws DataSetError),
    // or within the two dates, both included; 1 when there is none.
    int NextLetterNumber(TLetterBook book, int year);
    int NextLetterNumber(TLetterBook book, const QDate& first, const QDate& last);

    // Writes the master's current value of `column` (as an integer) into the
    // detail's `detailColumn` (or `column` when empty). A master without a
    // current row counts as 0; 0 is written all the same and the message
    // "Неверно установлена связь!" is shown.
    void CopyMasterKey(platform::db::DataSet* master, platform::db::DataSet* detail, const QString& column,
                       const QString& detailColumn = QString());

    // --------------------------------------------------------------- lookups
    // A key that matches no row gives 0 or an empty string unless said otherwise.

    // The BUILDID of the build with this BKEY (given as typed; text that is
    // not a number matches no build).
    int BuildIdByKey(const QString& bkeyText);
    int BuildIdByKey(int bkey);
    int BuildKey(int buildId);
    QString BuildName(int buildId);
    QString ProjectName(int projId);
    TArchiveProjectRec ReadProject(int projId);
    int ProjectBuild(int projId);
    int SheetDraft(int listId);
    int DraftInvNum(int draftId);
    int DraftProject(int draftId);
    int SmetProject(int smetId);
    // Reference database. GipName gives `valueWhenMissing` when no row.
    QString GipName(int gipId, const QString& valueWhenMissing = QString());
    QString DepartmentName(int otdelId);
    QString OrganizationName(int id);
    // The largest NUM of the position's equipment drawings (0 when none).
    int LastDrawingNum(int positId);
    // The position's PROJID and, in `label`, POSIT + two blanks + NAME;
    // 0 and an empty label when there is no such position.
    int PositionLabel(int positId, QString* label);
    // -1 when there is no such note, 0 when its PAGESCOUNT is null.
    int NotePages(int noteId);
    // The sum of the project's notes' PAGESCOUNT.
    int ProjectPages(int projId);
    // Counts; a database error ends NoteCount with the count reached.
    int NoteCount(int projId);
    int SmetCount(int projId);

    // ------------------------------------------------------------ statistics

    // Counts the project's drawing sets, their sheet rows and physical
    // sheets. `formats`, when given, is cleared and gets one line
    // "FORMAT=total" per distinct format text, in order of first appearance.
    // True when the project has a drawing set.
    bool DraftStatistics(int projId, TDraftStatistics& counts, QStringList* formats = nullptr);
    // Positions, their equipment drawings and sheets; a database error ends
    // the walk with the counts reached.
    TPositionStatistics PositionStatistics(int projId);

    // The file mask of an estimate's document: "(" + AbcNomer + ").doc", or
    // SNomer + ".*" when AbcNomer is empty; empty when no such estimate.
    QString SmetFileMask(int smetId);

    // --------------------------------------------------- uniqueness tests

    // Whether another drawing set of the project has this NOMENCLATURA and MARKA.
    bool DraftSetExists(int projId, const QString& nomenclatura, const QString& marka,
                        std::optional<int> excludeDraftId = std::nullopt);
    // Whether another position of the project has this NAZNACH and POSIT;
    // when one has and `report` is given, the lines describing the found
    // rows are appended to it.
    bool PositionExists(int projId, const QString& naznach, const QString& posit,
                        std::optional<int> excludePositId = std::nullopt, QStringList* report = nullptr);
    // Whether another estimate of the project (SMETID other than `smetId`;
    // 0 for a new one) has this number.
    bool SmetNumberExists(const QString& snomer, int projId, int smetId);

    // ------------------------------------------------------------ file marks
    // Each returns whether the row exists.

    bool SetSheetScanMark(int listId); // LISTS.MARK_TIF := "Ц"
    bool ClearSheetScanMark(int listId);
    bool SetNoteFileMark(int noteId); // NOTES.W_FILE := "+"
    bool ClearNoteFileMark(int noteId);
    bool SetSmetFileMark(int smetId); // SMETS2.W_FILE := "+"
    bool ClearSmetFileMark(int smetId);

    // ---------------------------------------------------------------- orders

    void InsertOrder(int num, const QString& name, const QString& content, const QDate& date);
    void UpdateOrder(int id, int num, const QString& name, const QString& content, const QDate& date);

private:
    void CreateDataSets();
    void DeclareFields();
    void ConnectEvents();

    // Event handlers of the shared datasets.
    void qProjectsBeforePost(platform::db::DataSet& ds);
    void qProjectsCalcFields(platform::db::DataSet& ds);
    void qNotesAfterInsert(platform::db::DataSet& ds);
    void qNotesAfterPost(platform::db::DataSet& ds);
    void qNotesCalcFields(platform::db::DataSet& ds);
    void qSmetsAfterInsert(platform::db::DataSet& ds);
    void qSmetsCalcFields(platform::db::DataSet& ds);
    void qDraftsAfterInsert(platform::db::DataSet& ds);
    void qDraftsAfterPost(platform::db::DataSet& ds);
    void qDraftsCalcFields(platform::db::DataSet& ds); // qDrafts and qPos
    void qPosAfterInsert(platform::db::DataSet& ds);
    void qDraft2AfterInsert(platform::db::DataSet& ds);
    void qDraft2BeforePost(platform::db::DataSet& ds);
    void qDraft2AfterPost(platform::db::DataSet& ds);
    void qLists2AfterInsert(platform::db::DataSet& ds);
    void qLists2AfterPost(platform::db::DataSet& ds);
    void qDraftsAllAfterInsert(platform::db::DataSet& ds);
    void qDraftsAllBeforePost(platform::db::DataSet& ds);
    void qDraftsAllAfterPost(platform::db::DataSet& ds);
    void qNotesAllCalcFields(platform::db::DataSet& ds);
    void QProtocolsAfterInsert(platform::db::DataSet& ds);
    void QProtocolsAfterPost(platform::db::DataSet& ds);
    void QProtocolsCalcFields(platform::db::DataSet& ds);

    bool OldProjectChecked() const;
    TEditMode EditMode() const;

    const IMainWindowState* m_windowState = nullptr;

    // The connections come first so that the datasets on them go first.
    std::unique_ptr<platform::db::Database> m_base;
    std::unique_ptr<platform::db::Database> m_sprBase;

    std::unique_ptr<TRQuery> m_qBuilds;
    std::unique_ptr<TRQuery> m_qProjects;
    std::unique_ptr<TRQuery> m_qNotes;
    std::unique_ptr<TRQuery> m_qSmets;
    std::unique_ptr<TRQuery> m_qDrafts;
    std::unique_ptr<TRQuery> m_qPos;
    std::unique_ptr<TRQuery> m_qDraft2;
    std::unique_ptr<TRQuery> m_qLists2;
    std::unique_ptr<TRQuery> m_qDraftsAll;
    std::unique_ptr<TRQuery> m_qNotesAll;
    std::unique_ptr<TRQuery> m_qInvNotes;
    std::unique_ptr<TRQuery> m_qInvSmets;
    std::unique_ptr<TRQuery> m_qInvDrafts;
    std::unique_ptr<TRQuery> m_qInvDrafts2;
    std::unique_ptr<TRQuery> m_qInvPosit;
    std::unique_ptr<TRQuery> m_qPosAll;
    std::unique_ptr<TRQuery> m_qGIP;
    std::unique_ptr<platform::db::Query> m_QProtocols;
    std::unique_ptr<platform::db::Query> m_qLetterIn;
    std::unique_ptr<platform::db::Query> m_qLetterOutAll;
    std::unique_ptr<platform::db::Query> m_qLetterInAll;
};
