#pragma once

// Keyed datasets and the safe dataset operations.
//
// A keyed dataset refuses every insert, edit, post, delete and cancel that
// the program did not arm immediately before it: controls that try to change
// it on their own are refused silently. After a post it reads its rows again
// and puts the cursor back on the posted row, even when the server gave the
// row its key. The safe operations arm a dataset, carry out one operation,
// and report a failure as a false result.

#include "PlatformExport.h"
#include "db/Query.h"

#include <QDate>
#include <QString>

// The one operation armed on a keyed dataset.
enum TRDataSetState { tsNothing, tsCancel, tsEdit, tsInsert, tsPost, tsDelete };

// How a posted row whose key was empty is found again.
enum TRAfterPostMetod { apmFirst, apmMaxUniqueValue };

// What TRQuery and TRTable add to their datasets.
class PLATFORM_EXPORT TRKeyedDataSet {
public:
    virtual ~TRKeyedDataSet();

    TRDataSetState ToDo = tsNothing;
    // The key column by which a posted row is found again.
    QString UniqueField = QStringLiteral("CODE");
    TRAfterPostMetod AfterPostMetod = apmFirst;

    // The table whose key column UniqueField is (empty: not known).
    virtual QString uniqueTable() const = 0;

protected:
    // The arming gate of a before-step: the silent abort unless `armed` is
    // what ToDo holds.
    void checkArmed(TRDataSetState armed) const;
    // Re-reads the dataset after a post and finds the posted row again;
    // `fireAfterPost` fires the dataset's own after-post event.
    void relocateAfterPost(platform::db::Query& self, const std::function<void()>& fireAfterPost);
};

class PLATFORM_EXPORT TRQuery : public platform::db::Query, public TRKeyedDataSet {
    Q_OBJECT

public:
    explicit TRQuery(QObject* parent = nullptr);
    explicit TRQuery(platform::db::Database* database, QObject* parent = nullptr);

    QString UniqueFieldTable;
    QString uniqueTable() const override { return UniqueFieldTable; }

protected:
    void doBeforeInsert() override;
    void doBeforeEdit() override;
    void doBeforePost() override;
    void doBeforeDelete() override;
    void doBeforeCancel() override;
    void doAfterPost() override;
    void doAfterOpen() override;
};

class PLATFORM_EXPORT TRTable : public platform::db::Table, public TRKeyedDataSet {
    Q_OBJECT

public:
    explicit TRTable(QObject* parent = nullptr);
    explicit TRTable(platform::db::Database* database, const QString& tableName = {},
                     QObject* parent = nullptr);

    QString uniqueTable() const override { return tableName(); }

protected:
    void doBeforeInsert() override;
    void doBeforeEdit() override;
    void doBeforePost() override;
    void doBeforeDelete() override;
    void doBeforeCancel() override;
    void doAfterPost() override;
    void doAfterOpen() override;
};

// ----------------------------------------------------------- safe operations

// First family: a message box with a fixed text on failure.
PLATFORM_EXPORT bool SafeAppend(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool SafeEdit(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool SafeDelete(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool SafeCancel(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool PostAndLocate(platform::db::DataSet* dataSet, const QString& keyName);

// Second family: the error window with the error's own message as details.
PLATFORM_EXPORT bool SafeInsert(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool SafeEditWithDetails(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool SafeCancelWithDetails(platform::db::DataSet* dataSet);
PLATFORM_EXPORT bool SafeReopen(platform::db::DataSet* dataSet);

// Posts a pending change, reads the dataset again and returns to the row
// whose `keyName` column holds the value it had. Failures reach the caller.
PLATFORM_EXPORT void RefreshAndLocate(platform::db::DataSet* dataSet, const QString& keyName);
// Reopens a detail query with its parameter "id" set to the master's value
// of `keyName`.
PLATFORM_EXPORT void ReopenDetail(platform::db::DataSet* master, platform::db::Query* detail,
                                  const QString& keyName);

// ------------------------------------------------------------ small helpers

// "05.03.2007".
PLATFORM_EXPORT QString DateToDMY(const QDate& date);
PLATFORM_EXPORT int DateYear(const QDate& date);
PLATFORM_EXPORT QString TrimTrailingBlanks(const QString& text);
// The width of a column that takes `share` of the available width: w =
// round((available - 30) * share) - 4 with halves to even; at least
// `minimum`, else at most `maximum`.
PLATFORM_EXPORT int FitColumnWidth(int availableWidth, int minimum, int maximum, double share);

// The error window (see desktop/ErrorForm.h), shown through the interaction service.
PLATFORM_EXPORT void ShowErrorWindow(const QString& caption, const QString& shortText,
                                     const QString& details);
PLATFORM_EXPORT void ShowDataError(const QString& shortText, const QString& details);
