#pragma once

// The program's data grid: the platform grid plus a column layout kept in the
// per-user store, a column-click event and a Tab key that stays in the row.
//
// Layout keys, under a key path P chosen by the owner:
//   P\<grid object name>\<field name>   Index  display position, from 0
//                                       Width  width in pixels
// One key per field. When several columns show the same field, the first of
// them (in column definition order) owns the key; the others are neither
// saved nor restored, so a grid never restores its own layout wrongly.
// Unbound columns (no field) have no key.

// DataSetModel.h needs the whole DataSource for its inline accessor.
#include "db/DataSource.h"
#include "widgets/DBGrid.h"

#include <QPoint>

class ISettings;

class TrDBGrid : public platform::widgets::DBGrid {
    Q_OBJECT

public:
    explicit TrDBGrid(QWidget* parent = nullptr);
    ~TrDBGrid() override;

    // Writes Index and Width of every column that owns a key (keys are
    // created as needed); write failures are ignored.
    void SaveColumnLayout(ISettings& settings, const QString& path) const;
    // Widths first (a stored width above 0 replaces the column's width), then
    // the order: the columns whose key holds an Index are collected in display
    // order; for p = 0 .. n-1 the first collected column saved at p moves to
    // position p. Positions outside 0 .. n-1 and repeated claims are ignored.
    // Missing keys are not created. Any error ends the restore silently.
    void LoadColumnLayout(const ISettings& settings, const QString& path);

    // The key of a column under `path`; empty when the column has none.
    QString columnKey(const QString& path, int column) const;

Q_SIGNALS:
    // A mouse button went down and came up on the title of the same column.
    // `index` is the column's definition index (column(index)), never
    // counting the indicator column; it does not change when the user moves
    // columns around.
    void columnClick(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    // A left, right or middle button went down anywhere on the grid (cells,
    // titles, indicator); `position` is in the grid's own coordinates.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ownsKey(int column) const;
    // The first and last shown columns in display order (-1 when none).
    int firstShownColumn() const;
    int lastShownColumn() const;
    void reportMouseDown(QWidget* from, const QMouseEvent* event);
};
