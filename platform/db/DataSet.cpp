#include "db/DataSet.h"

#include "db/DataSource.h"

#include <algorithm>

namespace platform::db {

namespace {

QString closedMessage() {
    return QStringLiteral("Операция невозможна: набор данных закрыт");
}

bool sameValue(const QVariant& a, const QVariant& b, FieldType type, LocateOptions options) {
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    switch (type) {
    case FieldType::String:
    case FieldType::FixedChar:
    case FieldType::Memo: {
        const QString sa = a.toString();
        const QString sb = b.toString();
        const Qt::CaseSensitivity cs =
            options.testFlag(LocateOption::CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        if (options.testFlag(LocateOption::PartialKey))
            return sa.startsWith(sb, cs);
        return sa.compare(sb, cs) == 0;
    }
    case FieldType::Numeric:
        return a.value<Decimal>() == b.value<Decimal>();
    default:
        return a == b;
    }
}

} // namespace

DataSet::DataSet(QObject* parent)
    : QObject(parent) {}

DataSet::~DataSet() {
    const auto sources = m_sources;
    for (DataSource* s : sources)
        s->setDataSet(nullptr);
}

// ------------------------------------------------------------------- fields

Field* DataSet::addField(const FieldDef& def) {
    if (isActive())
        throw DataSetError(
            QStringLiteral("Поле '%1' нельзя добавить к открытому набору данных").arg(def.name));
    if (findField(def.name))
        throw DataSetError(QStringLiteral("Поле '%1' уже есть в наборе данных").arg(def.name));
    auto field = std::make_unique<Field>(this, def, int(m_fields.size()));
    field->m_declared = true;
    Field* raw = field.get();
    m_fields.push_back(std::move(field));
    return raw;
}

Field* DataSet::findField(const QString& name) const {
    for (const auto& f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field* DataSet::fieldByName(const QString& name) const {
    Field* f = findField(name);
    if (!f)
        throw DataSetError(QStringLiteral("Поле '%1' не найдено").arg(name));
    return f;
}

QStringList DataSet::fieldNames() const {
    QStringList names;
    for (const auto& f : m_fields)
        names << f->fieldName();
    return names;
}

QList<Field*> DataSet::fieldList(const QString& names) const {
    QList<Field*> list;
    for (const QString& name : names.split(u';', Qt::SkipEmptyParts))
        list << fieldByName(name.trimmed());
    return list;
}

void DataSet::bindFields(const QVector<Column>& columns) {
    // Declared fields keep their objects; dynamic fields of an earlier
    // opening are kept when their column is still there, so that controls
    // holding them stay valid.
    std::vector<std::unique_ptr<Field>> old;
    old.swap(m_fields);
    auto take = [&old](const QString& name, bool declared) -> std::unique_ptr<Field> {
        for (auto& f : old)
            if (f && f->kind() == FieldKind::Data && f->m_declared == declared &&
                f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
                return std::move(f);
        return nullptr;
    };
    std::vector<std::unique_ptr<Field>> fields;
    try {
        for (int i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            std::unique_ptr<Field> f = take(c.name, true);
            if (!f)
                f = take(c.name, false);
            if (!f) {
                FieldDef def;
                def.name = c.name;
                f = std::make_unique<Field>(this, def, 0);
            }
            f->m_column = i;
            f->m_type = c.type;
            f->m_scale = c.scale;
            f->m_originTable = c.relation;
            f->m_originField = c.field;
            if (f->m_def.size == 0)
                f->m_def.size = c.charLength;
            fields.push_back(std::move(f));
        }
        for (auto& f : old) {
            if (!f)
                continue;
            if (f->kind() == FieldKind::Data && f->m_declared)
                throw DataSetError(QStringLiteral("Поле '%1' не найдено").arg(f->fieldName()));
            if (f->kind() != FieldKind::Data)
                fields.push_back(std::move(f));
        }
    } catch (...) {
        // Put the declared fields back, so that a failed open loses nothing.
        for (auto& f : fields)
            if (f->m_declared || f->kind() != FieldKind::Data)
                m_fields.push_back(std::move(f));
        for (auto& f : old)
            if (f && (f->m_declared || f->kind() != FieldKind::Data))
                m_fields.push_back(std::move(f));
        for (size_t i = 0; i < m_fields.size(); ++i)
            m_fields[i]->m_index = int(i);
        throw;
    }
    m_fields.swap(fields);
    for (size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->m_index = int(i);
}

bool DataSet::hasCalcFields() const {
    for (const auto& f : m_fields)
        if (f->kind() != FieldKind::Data)
            return true;
    return false;
}

// ------------------------------------------------------------ open, close

void DataSet::checkActive() const {
    if (!isActive())
        throw DataSetError(closedMessage());
}

void DataSet::open() {
    if (isActive())
        return;
    doBeforeOpen();
    try {
        const QVector<Column> columns = openCursor();
        m_codec = RowCodec(columns);
        bindFields(columns);
        m_rows.clear();
        m_fetchedAll = false;
        fetchOne();
    } catch (...) {
        m_rows.clear();
        m_fetchedAll = true;
        try {
            closeCursor();
        } catch (...) {
        }
        throw;
    }
    m_current = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    m_modified = false;
    m_state = DataSetState::Browse;
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
    doAfterOpen();
}

void DataSet::close() {
    if (!isActive())
        return;
    doBeforeClose();
    m_state = DataSetState::Inactive;
    m_rows.clear();
    m_current = -1;
    m_bof = m_eof = true;
    m_fetchedAll = true;
    m_modified = false;
    m_buffer.clear();
    m_bufferModified.clear();
    m_bufferCalc.clear();
    try {
        closeCursor();
    } catch (...) {
        notify(DataEvent::DataSetChanged);
        notify(DataEvent::StateChanged);
        throw;
    }
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::StateChanged);
    doAfterClose();
}

// ------------------------------------------------------------------- rows

bool DataSet::fetchOne() {
    if (m_fetchedAll)
        return false;
    QByteArray data;
    if (!fetchRow(&data)) {
        m_fetchedAll = true;
        return false;
    }
    Row row;
    row.data = std::move(data);
    row.id = m_nextId++;
    m_rows.push_back(std::move(row));
    return true;
}

int DataSet::fetchMore(int count) {
    if (!isActive())
        return 0;
    const int first = rowCount();
    int got = 0;
    while (got < count && fetchOne())
        ++got;
    if (got > 0)
        notify(DataEvent::RowsFetched, nullptr, first, got);
    return got;
}

void DataSet::fetchAll() {
    const int first = rowCount();
    int got = 0;
    while (fetchOne())
        ++got;
    if (got > 0)
        notify(DataEvent::RowsFetched, nullptr, first, got);
}

bool DataSet::ensureRow(int index) {
    if (index < rowCount())
        return true;
    const int first = rowCount();
    int got = 0;
    while (index >= rowCount() && fetchOne())
        ++got;
    if (got > 0)
        notify(DataEvent::RowsFetched, nullptr, first, got);
    return index < rowCount();
}

int DataSet::recordCount() {
    checkActive();
    fetchAll();
    return rowCount();
}

// ------------------------------------------------------------------ moving

void DataSet::moveTo(int index) {
    m_current = index;
    notify(DataEvent::Scrolled);
}

void DataSet::first() {
    checkActive();
    checkBrowseMode();
    doBeforeScroll();
    ensureRow(0);
    m_bof = true;
    m_eof = m_rows.empty();
    moveTo(m_rows.empty() ? -1 : 0);
    doAfterScroll();
}

void DataSet::last() {
    checkActive();
    checkBrowseMode();
    doBeforeScroll();
    fetchAll();
    m_eof = true;
    m_bof = m_rows.empty();
    moveTo(rowCount() - 1);
    doAfterScroll();
}

void DataSet::next() {
    moveBy(1);
}
void DataSet::prior() {
    moveBy(-1);
}

int DataSet::moveBy(int distance) {
    checkActive();
    checkBrowseMode();
    if (distance == 0 || (distance > 0 && m_eof) || (distance < 0 && m_bof))
        return 0;
    doBeforeScroll();
    m_bof = m_eof = false;
    int target = m_current + distance;
    if (distance > 0) {
        if (!ensureRow(target)) {
            target = rowCount() - 1;
            m_eof = true;
        }
    } else if (target < 0) {
        target = 0;
        m_bof = true;
    }
    const int moved = target - m_current;
    moveTo(target);
    doAfterScroll();
    return moved;
}

void DataSet::setCurrentRow(int row) {
    checkActive();
    if (row == m_current)
        return;
    checkBrowseMode();
    if (row < 0 || !ensureRow(row))
        return;
    doBeforeScroll();
    m_bof = m_eof = false;
    moveTo(row);
    doAfterScroll();
}

// ---------------------------------------------------------------- changing

void DataSet::checkBrowseMode() {
    checkActive();
    if (!isEditing())
        return;
    notify(DataEvent::UpdateData);
    if (m_modified)
        post();
    else
        cancel();
}

void DataSet::beginInsert(int at) {
    doBeforeInsert();
    doBeforeScroll();
    Row row;
    row.data = m_codec.fromValues({});
    row.id = m_nextId++;
    m_rows.insert(m_rows.begin() + at, std::move(row));
    const int previous = m_current;
    m_current = at;
    m_buffer = QVector<QVariant>(m_codec.count());
    m_bufferModified = QVector<bool>(m_codec.count(), false);
    m_bufferCalc = QVector<QVariant>(fieldCount());
    m_state = DataSetState::Insert;
    m_modified = false;
    m_bof = m_eof = false;
    notify(DataEvent::RowInserted, nullptr, at);
    try {
        doOnNewRecord();
    } catch (...) {
        m_rows.erase(m_rows.begin() + at);
        m_current = previous;
        m_state = DataSetState::Browse;
        m_modified = false;
        notify(DataEvent::RowRemoved, nullptr, at);
        notify(DataEvent::StateChanged);
        throw;
    }
    // Values given by onNewRecord are defaults, not edits: a record nobody
    // typed into is dropped, not posted, when the cursor moves away.
    m_modified = false;
    recalcBuffer();
    notify(DataEvent::StateChanged);
    notify(DataEvent::Scrolled);
    doAfterInsert();
    doAfterScroll();
}

void DataSet::insert() {
    checkActive();
    if (!canModify())
        throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
    checkBrowseMode();
    beginInsert(std::max(m_current, 0));
}

void DataSet::append() {
    checkActive();
    if (!canModify())
        throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
    checkBrowseMode();
    fetchAll();
    beginInsert(rowCount());
}

void DataSet::edit() {
    checkActive();
    if (isEditing())
        return;
    if (!canModify())
        throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
    if (m_rows.empty()) {
        append();
        return;
    }
    doBeforeEdit();
    const QByteArray& data = m_rows[size_t(m_current)].data;
    m_buffer = QVector<QVariant>(m_codec.count());
    for (int i = 0; i < m_codec.count(); ++i)
        m_buffer[i] = m_codec.value(data, i);
    m_bufferModified = QVector<bool>(m_codec.count(), false);
    m_bufferCalc = calcValues(m_current);
    m_state = DataSetState::Edit;
    m_modified = false;
    notify(DataEvent::StateChanged);
    doAfterEdit();
}

void DataSet::checkRequired() {
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Data && f->isRequired() && m_buffer[f->column()].isNull())
            throw DataSetError(QStringLiteral("Поле '%1' должно иметь значение").arg(f->displayLabel()));
}

void DataSet::post() {
    checkActive();
    notify(DataEvent::UpdateData);
    if (!isEditing())
        return;
    doBeforePost();
    checkRequired();
    Row& row = m_rows[size_t(m_current)];
    const bool inserting = m_state == DataSetState::Insert;
    writeRow(inserting ? nullptr : &row.data, m_buffer, m_bufferModified);
    row.data = m_codec.fromValues(m_buffer);
    row.calc.reset();
    m_state = DataSetState::Browse;
    m_modified = false;
    m_buffer.clear();
    m_bufferModified.clear();
    m_bufferCalc.clear();
    notify(DataEvent::StateChanged);
    notify(DataEvent::RecordChanged);
    doAfterPost();
}

void DataSet::cancel() {
    checkActive();
    if (!isEditing())
        return;
    doBeforeCancel();
    if (m_state == DataSetState::Insert) {
        const int at = m_current;
        m_rows.erase(m_rows.begin() + at);
        m_current = std::min(at, rowCount() - 1);
        notify(DataEvent::RowRemoved, nullptr, at);
    }
    m_state = DataSetState::Browse;
    m_modified = false;
    m_buffer.clear();
    m_bufferModified.clear();
    m_bufferCalc.clear();
    m_eof = m_bof = m_rows.empty();
    notify(DataEvent::StateChanged);
    notify(DataEvent::RecordChanged);
    doAfterCancel();
}

void DataSet::deleteRecord() {
    checkActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (m_rows.empty())
        throw DataSetError(QStringLiteral("Невозможно выполнить операцию над пустым набором данных"));
    if (!canModify())
        throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
    doBeforeDelete();
    doBeforeScroll();
    const int at = m_current;
    removeRow(m_rows[size_t(at)].data);
    m_rows.erase(m_rows.begin() + at);
    notify(DataEvent::RowRemoved, nullptr, at);
    if (at >= rowCount())
        ensureRow(at);
    m_current = std::min(at, rowCount() - 1);
    const bool wasEditing = isEditing();
    m_state = DataSetState::Browse;
    m_modified = false;
    m_buffer.clear();
    m_bufferModified.clear();
    m_bufferCalc.clear();
    m_bof = m_eof = m_rows.empty();
    if (wasEditing)
        notify(DataEvent::StateChanged);
    notify(DataEvent::Scrolled);
    doAfterDelete();
    doAfterScroll();
}

void DataSet::writeRow(const QByteArray*, const QVector<QVariant>&, const QVector<bool>&) {
    throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
}

void DataSet::removeRow(const QByteArray&) {
    throw DataSetError(QStringLiteral("Невозможно изменить набор данных только для чтения"));
}

// ------------------------------------------------------------------ values

QVariant DataSet::fieldValue(const Field& field) const {
    checkActive();
    auto* self = const_cast<DataSet*>(this);
    if (field.kind() != FieldKind::Data) {
        if (m_state == DataSetState::CalcFields)
            return (*m_calcTarget)[field.index()];
        if (isEditing())
            return m_bufferCalc.value(field.index());
        if (m_current < 0)
            return QVariant();
        return self->calcValues(m_current).value(field.index());
    }
    const int col = field.column();
    if (m_state == DataSetState::CalcFields) {
        const bool editingRow =
            (m_stateBeforeCalc == DataSetState::Edit || m_stateBeforeCalc == DataSetState::Insert) &&
            m_calcRow == m_current;
        if (editingRow)
            return m_buffer.value(col);
        return m_codec.value(m_rows[size_t(m_calcRow)].data, col);
    }
    if (isEditing())
        return m_buffer.value(col);
    if (m_current < 0)
        return QVariant();
    return m_codec.value(m_rows[size_t(m_current)].data, col);
}

void DataSet::setFieldValue(Field& field, const QVariant& value) {
    checkActive();
    if (field.kind() != FieldKind::Data) {
        if (m_state != DataSetState::CalcFields)
            throw DataSetError(QStringLiteral("Поле '%1' нельзя изменить").arg(field.fieldName()));
        (*m_calcTarget)[field.index()] = value;
        return;
    }
    if (!isEditing())
        throw DataSetError(QStringLiteral("Набор данных не в режиме редактирования или вставки"));
    if (field.isReadOnly())
        throw DataSetError(QStringLiteral("Поле '%1' нельзя изменить").arg(field.fieldName()));
    const int col = field.column();
    m_buffer[col] = value;
    m_bufferModified[col] = true;
    m_modified = true;
    if (field.onChange)
        field.onChange(field);
    recalcBuffer();
    notify(DataEvent::RecordChanged, &field);
}

QVariant DataSet::rawValue(int row, const Field& field) {
    if (field.kind() != FieldKind::Data)
        return calcValues(row).value(field.index());
    return m_codec.value(m_rows[size_t(row)].data, field.column());
}

QVariant DataSet::valueAt(int row, const Field* field) {
    if (!isActive() || !field || row < 0 || row >= rowCount() || field->dataSet() != this)
        return QVariant();
    if (isEditing() && row == m_current)
        return field->kind() == FieldKind::Data ? m_buffer.value(field->column())
                                                : m_bufferCalc.value(field->index());
    return rawValue(row, *field);
}

QString DataSet::displayTextAt(int row, const Field* field) {
    if (!field)
        return QString();
    return Field::displayText(*field, valueAt(row, field));
}

// ------------------------------------------------------ calculated fields

const QVector<QVariant>& DataSet::calcValues(int row) {
    static const QVector<QVariant> none;
    if (!hasCalcFields() || row < 0 || row >= rowCount())
        return none;
    Row& r = m_rows[size_t(row)];
    if (!r.calc) {
        auto values = std::make_unique<QVector<QVariant>>(fieldCount());
        computeCalc(row, values.get());
        // The handler may have changed the rows (it should not); look the row up again.
        if (row < rowCount())
            m_rows[size_t(row)].calc = std::move(values);
        else
            return none;
    }
    return *m_rows[size_t(row)].calc;
}

void DataSet::computeCalc(int row, QVector<QVariant>* into) {
    into->fill(QVariant(), fieldCount());
    const DataSetState saved = m_state;
    const int savedRow = m_calcRow;
    QVector<QVariant>* savedTarget = m_calcTarget;
    const DataSetState savedBefore = m_stateBeforeCalc;
    if (m_state != DataSetState::CalcFields)
        m_stateBeforeCalc = m_state;
    m_state = DataSetState::CalcFields;
    m_calcRow = row;
    m_calcTarget = into;
    auto restore = [&] {
        m_state = saved;
        m_calcRow = savedRow;
        m_calcTarget = savedTarget;
        m_stateBeforeCalc = savedBefore;
    };
    try {
        for (const auto& f : m_fields) {
            if (f->kind() != FieldKind::Lookup)
                continue;
            const FieldDef& d = f->definition();
            if (!d.lookupDataSet || !d.lookupDataSet->isActive())
                continue;
            QVariantList keys;
            for (Field* k : fieldList(d.keyFields))
                keys << fieldValue(*k);
            (*into)[f->index()] = d.lookupDataSet->lookup(d.lookupKeyFields, keys, d.lookupResultField);
        }
        if (onCalcFields)
            onCalcFields(*this);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void DataSet::recalcBuffer() {
    if (!autoCalcFields || !hasCalcFields() || !isEditing())
        return;
    QVector<QVariant> values;
    computeCalc(m_current, &values);
    m_bufferCalc = values;
}

// ----------------------------------------------------------------- finding

int DataSet::findRow(const QList<Field*>& fields, const QVariantList& values, LocateOptions options) {
    if (fields.size() != values.size())
        throw DataSetError(QStringLiteral("Число значений поиска не совпадает с числом полей"));
    QVariantList wanted;
    for (int i = 0; i < fields.size(); ++i)
        wanted << convertValue(values[i], fields[i]->dataType(), fields[i]->scale());
    for (int row = 0; ensureRow(row); ++row) {
        bool match = true;
        for (int i = 0; i < fields.size() && match; ++i)
            match = sameValue(rawValue(row, *fields[i]), wanted[i], fields[i]->dataType(), options);
        if (match)
            return row;
    }
    return -1;
}

bool DataSet::locate(const QString& fields, const QVariantList& values, LocateOptions options) {
    checkActive();
    checkBrowseMode();
    const int row = findRow(fieldList(fields), values, options);
    if (row < 0)
        return false;
    doBeforeScroll();
    m_bof = m_eof = false;
    moveTo(row);
    doAfterScroll();
    return true;
}

QVariant DataSet::lookup(const QString& keyFields, const QVariantList& values, const QString& resultField) {
    checkActive();
    const int row = findRow(fieldList(keyFields), values, {});
    if (row < 0)
        return QVariant();
    return rawValue(row, *fieldByName(resultField));
}

// --------------------------------------------------------------- bookmarks

Bookmark DataSet::bookmark() const {
    if (!isActive() || m_current < 0)
        return 0;
    return m_rows[size_t(m_current)].id;
}

int DataSet::indexOfBookmark(Bookmark bookmark) const {
    if (bookmark == 0)
        return -1;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].id == bookmark)
            return int(i);
    return -1;
}

bool DataSet::bookmarkValid(Bookmark bookmark) const {
    return isActive() && indexOfBookmark(bookmark) >= 0;
}

void DataSet::gotoBookmark(Bookmark bookmark) {
    checkActive();
    checkBrowseMode();
    const int row = indexOfBookmark(bookmark);
    if (row < 0)
        throw DataSetError(QStringLiteral("Запись не найдена"));
    doBeforeScroll();
    m_bof = m_eof = false;
    moveTo(row);
    doAfterScroll();
}

// ---------------------------------------------------------------- controls

void DataSet::disableControls() {
    if (m_disableCount++ == 0)
        m_stateWhenDisabled = m_state;
}

void DataSet::enableControls() {
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_changedWhileDisabled) {
        m_changedWhileDisabled = false;
        // Controls that follow the state (navigators) hear of a new one as well.
        if (m_state != m_stateWhenDisabled)
            notify(DataEvent::StateChanged);
        notify(DataEvent::DataSetChanged);
    }
}

void DataSet::attachSource(DataSource* source) {
    if (!m_sources.contains(source))
        m_sources << source;
}

void DataSet::detachSource(DataSource* source) {
    m_sources.removeAll(source);
}

void DataSet::notify(DataEvent event, Field* field, int info, int count) {
    if (m_state == DataSetState::CalcFields)
        return;
    if (m_disableCount > 0) {
        if (event != DataEvent::UpdateData)
            m_changedWhileDisabled = true;
        return;
    }
    const auto sources = m_sources;
    for (DataSource* s : sources)
        s->dataEvent(event, field, info, count);
}

// ------------------------------------------------------------------- steps

#define FIRE(event)                                                                                          \
    if (event)                                                                                               \
    event(*this)

void DataSet::doBeforeOpen() {
    FIRE(beforeOpen);
}
void DataSet::doAfterOpen() {
    FIRE(afterOpen);
    if (!isEmpty())
        doAfterScroll();
}
void DataSet::doBeforeClose() {
    FIRE(beforeClose);
}
void DataSet::doAfterClose() {
    FIRE(afterClose);
}
void DataSet::doBeforeInsert() {
    FIRE(beforeInsert);
}
void DataSet::doAfterInsert() {
    FIRE(afterInsert);
}
void DataSet::doBeforeEdit() {
    FIRE(beforeEdit);
}
void DataSet::doAfterEdit() {
    FIRE(afterEdit);
}
void DataSet::doBeforePost() {
    FIRE(beforePost);
}
void DataSet::doAfterPost() {
    FIRE(afterPost);
}
void DataSet::doBeforeCancel() {
    FIRE(beforeCancel);
}
void DataSet::doAfterCancel() {
    FIRE(afterCancel);
}
void DataSet::doBeforeDelete() {
    FIRE(beforeDelete);
}
void DataSet::doAfterDelete() {
    FIRE(afterDelete);
}
void DataSet::doBeforeScroll() {
    FIRE(beforeScroll);
}
void DataSet::doAfterScroll() {
    FIRE(afterScroll);
}
void DataSet::doOnNewRecord() {
    FIRE(onNewRecord);
}

#undef FIRE

} // namespace platform::db
