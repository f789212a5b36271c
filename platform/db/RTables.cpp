#include "db/RTables.h"

#include "db/Database.h"
#include "desktop/Interaction.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cmath>

using namespace platform::db;

// --------------------------------------------------------------- the gate

TRKeyedDataSet::~TRKeyedDataSet() = default;

void TRKeyedDataSet::checkArmed(TRDataSetState armed) const {
    if (ToDo != armed)
        platform::db::abort();
}

void TRKeyedDataSet::relocateAfterPost(Query& self, const std::function<void()>& fireAfterPost) {
    if (UniqueField.isEmpty())
        return;
    const bool wasDisabled = self.controlsDisabled();
    if (!wasDisabled)
        self.disableControls();
    auto finish = [&] {
        if (!wasDisabled)
            self.enableControls();
        fireAfterPost();
        QCoreApplication::processEvents();
    };
    try {
        const QVariant key = self.fieldByName(UniqueField)->value();
        self.close();
        self.open();
        if (!key.isNull()) {
            self.locate(UniqueField, key);
        } else if (AfterPostMetod == apmFirst) {
            self.first();
        } else if (!uniqueTable().isEmpty()) {
            // The server gives a new row the largest key of its table.
            Query max(self.database());
            max.setSql(QStringLiteral("SELECT MAX(") + UniqueField + QStringLiteral(") FROM ") +
                       uniqueTable());
            max.open();
            const QVariant largest = max.field(0)->value();
            max.close();
            if (largest.isNull())
                self.first();
            else
                self.locate(UniqueField, largest);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// ----------------------------------------------------------------- TRQuery

TRQuery::TRQuery(QObject* parent)
    : Query(parent) {}

TRQuery::TRQuery(Database* database, QObject* parent)
    : Query(database, parent) {}

#define KEYED_STEP(Class, Base, step, armed)                                                                 \
    void Class::step() {                                                                                     \
        checkArmed(armed);                                                                                   \
        Base::step();                                                                                        \
        ToDo = tsNothing;                                                                                    \
    }

KEYED_STEP(TRQuery, Query, doBeforeInsert, tsInsert)
KEYED_STEP(TRQuery, Query, doBeforeEdit, tsEdit)
KEYED_STEP(TRQuery, Query, doBeforePost, tsPost)
KEYED_STEP(TRQuery, Query, doBeforeDelete, tsDelete)
KEYED_STEP(TRQuery, Query, doBeforeCancel, tsCancel)
KEYED_STEP(TRTable, Table, doBeforeInsert, tsInsert)
KEYED_STEP(TRTable, Table, doBeforeEdit, tsEdit)
KEYED_STEP(TRTable, Table, doBeforePost, tsPost)
KEYED_STEP(TRTable, Table, doBeforeDelete, tsDelete)
KEYED_STEP(TRTable, Table, doBeforeCancel, tsCancel)

#undef KEYED_STEP

void TRQuery::doAfterPost() {
    relocateAfterPost(*this, [this] { Query::doAfterPost(); });
}

void TRQuery::doAfterOpen() {
    Query::doAfterOpen();
    QCoreApplication::processEvents();
}

// ----------------------------------------------------------------- TRTable

TRTable::TRTable(QObject* parent)
    : Table(parent) {}

TRTable::TRTable(Database* database, const QString& tableName, QObject* parent)
    : Table(database, tableName, parent) {}

void TRTable::doAfterPost() {
    relocateAfterPost(*this, [this] { Table::doAfterPost(); });
}

void TRTable::doAfterOpen() {
    Table::doAfterOpen();
    QCoreApplication::processEvents();
}

// --------------------------------------------------------- safe operations

namespace {

void arm(DataSet* dataSet, TRDataSetState what) {
    if (auto* keyed = dynamic_cast<TRKeyedDataSet*>(dataSet))
        keyed->ToDo = what;
}

void showFixedMessage(const QString& text) {
    QString caption = QGuiApplication::applicationDisplayName();
    platform::interaction().message(nullptr, caption, text, platform::MessageIcon::Warning);
}

// The message of whatever the operation threw.
QString errorText(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.message();
    } catch (const Abort&) {
        return QStringLiteral("Операция прервана");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Неизвестная ошибка");
    }
}

} // namespace

bool SafeAppend(DataSet* dataSet) {
    try {
        arm(dataSet, tsInsert);
        dataSet->append();
        return true;
    } catch (...) {
        showFixedMessage(QStringLiteral("Ошибка добавления!"));
        if (dataSet->state() == DataSetState::Insert)
            SafeCancel(dataSet);
        return false;
    }
}

bool SafeEdit(DataSet* dataSet) {
    try {
        arm(dataSet, tsEdit);
        dataSet->edit();
        return true;
    } catch (...) {
        showFixedMessage(QStringLiteral("Ошибка изменения!"));
        if (dataSet->state() == DataSetState::Edit)
            SafeCancel(dataSet);
        return false;
    }
}

bool SafeDelete(DataSet* dataSet) {
    try {
        arm(dataSet, tsDelete);
        dataSet->deleteRecord();
        return true;
    } catch (const Abort&) {
        return false;
    } catch (...) {
        showFixedMessage(QStringLiteral("Ошибка удаления!"));
        return false;
    }
}

bool SafeCancel(DataSet* dataSet) {
    try {
        arm(dataSet, tsCancel);
        dataSet->cancel();
        return true;
    } catch (const Error&) {
        showFixedMessage(QStringLiteral("Ошибка отмены!"));
        return false;
    } catch (const Abort&) {
        // Refused by a before-cancel handler: nothing to tell.
        return false;
    }
}

bool PostAndLocate(DataSet* dataSet, const QString& keyName) {
    try {
        arm(dataSet, tsPost);
        dataSet->post();
        RefreshAndLocate(dataSet, keyName);
        return true;
    } catch (...) {
        return false;
    }
}

bool SafeInsert(DataSet* dataSet) {
    try {
        arm(dataSet, tsInsert);
        dataSet->insert();
        return true;
    } catch (...) {
        ShowDataError(QStringLiteral("Ошибка добавления!"), errorText(std::current_exception()));
        if (dataSet->state() == DataSetState::Insert)
            SafeCancelWithDetails(dataSet);
        return false;
    }
}

bool SafeEditWithDetails(DataSet* dataSet) {
    try {
        arm(dataSet, tsEdit);
        dataSet->edit();
        return true;
    } catch (...) {
        ShowDataError(QStringLiteral("Ошибка изменения!"), errorText(std::current_exception()));
        if (dataSet->state() == DataSetState::Edit)
            SafeCancelWithDetails(dataSet);
        return false;
    }
}

bool SafeCancelWithDetails(DataSet* dataSet) {
    try {
        arm(dataSet, tsCancel);
        dataSet->cancel();
        return true;
    } catch (const Error& e) {
        ShowDataError(QStringLiteral("Ошибка отмены!"), e.message());
        return false;
    } catch (const Abort&) {
        return false;
    }
}

bool SafeReopen(DataSet* dataSet) {
    if (dataSet->isEditing())
        SafeCancelWithDetails(dataSet);
    auto* keyed = dynamic_cast<TRKeyedDataSet*>(dataSet);
    const QString keyName = keyed ? keyed->UniqueField : QStringLiteral("CODE");
    bool result = true;
    dataSet->disableControls();
    try {
        // The row to return to; an empty dataset (or a plain one without
        // that column) has none, and reopening it is still a success.
        qint64 key = -1;
        if (dataSet->isActive()) {
            Field* field = keyed ? dataSet->fieldByName(keyName) : dataSet->findField(keyName);
            if (field && !field->isNull())
                key = field->asInteger();
        }
        if (keyed)
            keyed->ToDo = tsNothing;
        dataSet->close();
        dataSet->open();
        if (key != -1)
            result = dataSet->locate(keyName, QVariant(qlonglong(key)));
    } catch (const Error& e) {
        ShowDataError(QStringLiteral("Ошибка открытия таблицы!"), e.message());
        result = false;
    } catch (const Abort&) {
        result = false;
    }
    dataSet->enableControls();
    return result;
}

void RefreshAndLocate(DataSet* dataSet, const QString& keyName) {
    dataSet->disableControls();
    try {
        if (dataSet->isEditing())
            dataSet->post();
        Field* field = keyName.isEmpty() ? (dataSet->fieldCount() > 0 ? dataSet->field(0) : nullptr)
                                         : dataSet->fieldByName(keyName);
        const QVariant value = field ? field->value() : QVariant();
        const QString name = field ? field->fieldName() : QString();
        dataSet->close();
        dataSet->open();
        // Without a key name the cursor stays on the first row.
        if (!value.isNull() && !keyName.isEmpty())
            dataSet->locate(name, value);
    } catch (...) {
        dataSet->enableControls();
        throw;
    }
    dataSet->enableControls();
}

void ReopenDetail(DataSet* master, Query* detail, const QString& keyName) {
    detail->close();
    detail->paramByName(QStringLiteral("id"))
        .setValue(QVariant(qlonglong(master->fieldByName(keyName)->asInteger())));
    detail->open();
}

// ----------------------------------------------------------- small helpers

QString DateToDMY(const QDate& date) {
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

int DateYear(const QDate& date) {
    return date.year();
}

QString TrimTrailingBlanks(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == u' ')
        --n;
    return text.left(n);
}

int FitColumnWidth(int availableWidth, int minimum, int maximum, double share) {
    // std::nearbyint rounds halves to even in the default rounding mode.
    const int w = int(std::nearbyint(double(availableWidth - 30) * share)) - 4;
    if (w < minimum)
        return minimum;
    return std::min(maximum, w);
}

void ShowErrorWindow(const QString& caption, const QString& shortText, const QString& details) {
    platform::interaction().showError(nullptr, platform::ErrorReport{caption, shortText, details});
}

void ShowDataError(const QString& shortText, const QString& details) {
    ShowErrorWindow(QStringLiteral("Orbanel"), shortText, details);
}
