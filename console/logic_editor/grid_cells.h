#pragma once
// The line grid addressed as a grid with one fixed header row (row 0) and one fixed column (column 0): the
// table's horizontal header is row 0, its vertical header column 0, so the headers stay in view while the
// lines scroll, and row r holds line r - 1. Row and column counts include the fixed row and column.
#include <QString>

class QTableWidget;

namespace zelk::console {

int gridRows(const QTableWidget* grid);
int gridCols(const QTableWidget* grid);
// Sets the row count (fixed row included, at least 1); added rows are empty, their number cells too.
void setGridRows(QTableWidget* grid, int rows);
void setGridCols(QTableWidget* grid, int cols);

// The text of cell (row, col); "" for an empty cell or one outside the grid.
QString cellText(const QTableWidget* grid, int row, int col);
// Writes a cell: a read-only item, left-aligned and vertically centred.
void setCellText(QTableWidget* grid, int row, int col, const QString& text);

// Inserts an empty line row before row (1 .. gridRows); its number cell stays empty.
void insertGridRow(QTableWidget* grid, int row);

// The current row counted with the fixed row (so 1 for the first line); 0 when no line row is current.
int currentGridRow(const QTableWidget* grid);
// Makes row (>= 1) current, keeping the current column (column 1 when none).
void setCurrentGridRow(QTableWidget* grid, int row);

// A cell item of the editor's grids: read-only, left-aligned and vertically centred.
void setPlainCell(QTableWidget* grid, int modelRow, int modelCol, const QString& text);

} // namespace zelk::console
