#pragma once
// INI files in the program's directory, read and written through the profile layer in code page 932.
#include <QString>

namespace zelk::console {

inline const QString kLogicFile = QStringLiteral("LogicCtl.ini");
inline const QString kScreenFile = QStringLiteral("ZELK_SCR.ini");

// The directory that holds the running program; tests may point it elsewhere.
QString programDirectory();
void setProgramDirectory(const QString& directory);

// The value of key (at most 511 bytes). A missing file, section or key, and a stored value equal to the
// missing-key signal "みつからんで!", give "" with notFound set.
QString readIni(const QString& fileName, const QString& section, const QString& key, bool& notFound);
QString readIni(const QString& fileName, const QString& section, const QString& key);

// Writes key = value; failed tells whether the write failed.
void writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value,
              bool& failed);
bool writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value);

} // namespace zelk::console
