#include "logic_editor/grid_cells.h"

#include <QTableWidget>

#include <algorithm>

namespace zelk::console {

namespace {
constexpr Qt::Alignment kCellAlignment = Qt::AlignLeft | Qt::AlignVCenter;

QTableWidgetItem* newItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(kCellAlignment);
    return item;
}

// Rows without a header item would show the table's own row numbers; a line's number is its cell text.
void blankNumberCells(QTableWidget* grid, int fromModelRow) {
    for (int r = fromModelRow; r < grid->rowCount(); ++r)
        if (grid->verticalHeaderItem(r) == nullptr) grid->setVerticalHeaderItem(r, newItem({}));
}
} // namespace

int gridRows(const QTableWidget* grid) {
    return grid->rowCount() + 1;
}
int gridCols(const QTableWidget* grid) {
    return grid->columnCount() + 1;
}

void setGridRows(QTableWidget* grid, int rows) {
    const int before = grid->rowCount();
    grid->setRowCount(std::max(rows, 1) - 1);
    blankNumberCells(grid, before);
}

void setGridCols(QTableWidget* grid, int cols) {
    const int before = grid->columnCount();
    grid->setColumnCount(std::max(cols, 1) - 1);
    for (int c = before; c < grid->columnCount(); ++c)
        grid->setHorizontalHeaderItem(c, newItem({}));
}

QString cellText(const QTableWidget* grid, int row, int col) {
    if (row < 0 || col < 0 || row >= gridRows(grid) || col >= gridCols(grid) || (row == 0 && col == 0))
        return {};
    const QTableWidgetItem* item = row == 0   ? grid->horizontalHeaderItem(col - 1)
                                   : col == 0 ? grid->verticalHeaderItem(row - 1)
                                              : grid->item(row - 1, col - 1);
    return item == nullptr ? QString() : item->text();
}

void setCellText(QTableWidget* grid, int row, int col, const QString& text) {
    if (row < 0 || col < 0 || row >= gridRows(grid) || col >= gridCols(grid) || (row == 0 && col == 0))
        return;
    if (row == 0)
        grid->setHorizontalHeaderItem(col - 1, newItem(text));
    else if (col == 0)
        grid->setVerticalHeaderItem(row - 1, newItem(text));
    else
        setPlainCell(grid, row - 1, col - 1, text);
}

void setPlainCell(QTableWidget* grid, int modelRow, int modelCol, const QString& text) {
    if (QTableWidgetItem* item = grid->item(modelRow, modelCol))
        item->setText(text);
    else
        grid->setItem(modelRow, modelCol, newItem(text));
}

void insertGridRow(QTableWidget* grid, int row) {
    const int modelRow = std::clamp(row, 1, gridRows(grid)) - 1;
    grid->insertRow(modelRow);
    grid->setVerticalHeaderItem(modelRow, newItem({}));
}

int currentGridRow(const QTableWidget* grid) {
    return grid->currentRow() + 1;
}

void setCurrentGridRow(QTableWidget* grid, int row) {
    if (row < 1 || row >= gridRows(grid)) return;
    grid->setCurrentCell(row - 1, std::max(grid->currentColumn(), 0));
}

} // namespace zelk::console
