#include "ui/controls/RGrids.h"

#include "app/Settings.h"

#include <QHeaderView>
#include <QMouseEvent>

#include <exception>

using platform::widgets::DBGrid;

TrDBGrid::TrDBGrid(QWidget* parent)
    : DBGrid(parent) {
    connect(this, &DBGrid::titleClicked, this, &TrDBGrid::columnClick);
    // Title presses reach the base grid's filter first; the indicator's go
    // through this grid's filter only.
    verticalHeader()->viewport()->installEventFilter(this);
}

TrDBGrid::~TrDBGrid() = default;

// ------------------------------------------------------------------ layout

bool TrDBGrid::ownsKey(int column) const {
    const QString field = this->column(column).fieldName;
    if (field.isEmpty())
        return false;
    return columnOfField(field) == column;
}

QString TrDBGrid::columnKey(const QString& path, int column) const {
    if (column < 0 || column >= columnCount() || !ownsKey(column))
        return QString();
    QString key = path;
    if (!key.endsWith(u'\\'))
        key += u'\\';
    return key + objectName() + u'\\' + this->column(column).fieldName;
}

void TrDBGrid::SaveColumnLayout(ISettings& settings, const QString& path) const {
    const QVector<int> order = columnOrder();
    for (int position = 0; position < order.size(); ++position) {
        const int column = order[position];
        const QString key = columnKey(path, column);
        if (key.isEmpty())
            continue;
        settings.WriteInteger(key, QStringLiteral("Index"), position);
        settings.WriteInteger(key, QStringLiteral("Width"), columnWidth(column));
    }
}

void TrDBGrid::LoadColumnLayout(const ISettings& settings, const QString& path) {
    try {
        for (int column = 0; column < columnCount(); ++column) {
            const QString key = columnKey(path, column);
            if (key.isEmpty())
                continue;
            const int width = settings.ReadInteger(key, QStringLiteral("Width"), 0);
            if (width > 0)
                setColumnWidth(column, width);
        }

        struct Claim {
            int column;
            int position;
        };
        QVector<Claim> claims;
        for (int column : columnOrder()) {
            const QString key = columnKey(path, column);
            if (key.isEmpty())
                continue;
            // A missing value reads as -1 and leaves the column out.
            const int saved = settings.ReadInteger(key, QStringLiteral("Index"), -1);
            if (saved != -1)
                claims.push_back({column, saved});
        }
        // Filling the positions in ascending order never disturbs a position
        // already filled, so a complete layout comes back exactly.
        const int n = int(claims.size());
        for (int p = 0; p < n; ++p) {
            for (const Claim& claim : claims) {
                if (claim.position == p) {
                    moveColumn(claim.column, p);
                    break;
                }
            }
        }
    } catch (const std::exception&) {
        // A layout that cannot be read leaves the grid as far as it got.
    }
}

// ---------------------------------------------------------------- Tab key

int TrDBGrid::firstShownColumn() const {
    for (int column : columnOrder())
        if (!isColumnHidden(column))
            return column;
    return -1;
}

int TrDBGrid::lastShownColumn() const {
    const QVector<int> order = columnOrder();
    for (auto it = order.crbegin(); it != order.crend(); ++it)
        if (!isColumnHidden(*it))
            return *it;
    return -1;
}

QModelIndex TrDBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Tab arrives as MoveNext without modifiers, Shift+Tab as MovePrevious
    // with Shift; an editor closed by Tab or Shift+Tab asks without modifiers.
    const QModelIndex current = currentIndex();
    const bool next = action == MoveNext && modifiers == Qt::NoModifier;
    const bool previous =
        action == MovePrevious && (modifiers == Qt::ShiftModifier || modifiers == Qt::NoModifier);
    if (current.isValid() && (next || previous)) {
        const int first = firstShownColumn();
        const int last = lastShownColumn();
        if (next && current.column() == last)
            return model()->index(current.row(), first);
        if (previous && current.column() == first)
            return model()->index(current.row(), last);
    }
    return DBGrid::moveCursor(action, modifiers);
}

// ------------------------------------------------------------ mouse downs

void TrDBGrid::reportMouseDown(QWidget* from, const QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton && button != Qt::MiddleButton)
        return;
    const QPoint position = from->mapTo(this, event->position().toPoint());
    Q_EMIT mouseDown(button, event->modifiers(), position);
}

void TrDBGrid::mousePressEvent(QMouseEvent* event) {
    DBGrid::mousePressEvent(event);
    reportMouseDown(viewport(), event);
}

bool TrDBGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool handled = DBGrid::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == horizontalHeader()->viewport() || watched == verticalHeader()->viewport()))
        reportMouseDown(static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event));
    return handled;
}
