#pragma once
// Loading and saving a block of logic lines between LogicCtl.ini and the block editor's line grid: every
// cell holds one field of the line record, a 4-byte kind or a 12-byte data field of code page 932.
#include "program/tables.h"

#include <QString>

#include <string_view>

class QLineEdit;
class QTableWidget;

namespace zelk::console {

// Fills the freshly set-up grid (header row and one empty line) with the block's lines and csvLog with the
// CSV log file name. The count comes from countKey in LG_CONTENTS: a missing, negative or non-numeric count
// gives one empty line; a count beyond what the engine loads (kBlockLines) loads only those lines, so the
// editor shows exactly what the engine runs.
void loadBlock(QTableWidget* grid, QLineEdit* csvLog, std::string_view countKey, std::string_view section);

// Writes the count, both keys of every line of the grid and the CSV log file name. Keys of lines beyond
// the count stay in the file. Returns false when a write failed; the others are still made.
bool saveBlock(const QTableWidget* grid, const QLineEdit* csvLog, std::string_view countKey,
               std::string_view section);

// One field of a line value followed by ",": a blank kind (width 4) is "NONE", anything else is padded
// with blanks or cut to exactly width bytes.
QString fieldText(const QString& cellText, int width);

} // namespace zelk::console
