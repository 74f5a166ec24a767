#pragma once
// INI files in the work folder, read and written through the profile layer. Their contents are code page
// 932; their names are file-system paths and are never converted.
#include <QString>

#include <optional>

namespace zelk::console {

inline const QString kLogicFile = QStringLiteral("LogicCtl.ini");
inline const QString kScreenFile = QStringLiteral("ZELK_SCR.ini");

// The directory that holds the running program.
QString programDirectory();

// The path of an INI file: in the work folder, which the console makes the process's current directory
// at start-up, so that it and the engine use the same files.
QString iniPath(const QString& fileName);

// The value of key (at most 511 bytes). A missing file, section or key, and a stored value equal to the
// missing-key signal "みつからんで!", give "" with notFound set.
QString readIni(const QString& fileName, const QString& section, const QString& key, bool& notFound);
QString readIni(const QString& fileName, const QString& section, const QString& key);

// Writes key = value; failed tells whether the write failed.
void writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value,
              bool& failed);
bool writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value);

// The message that tells the user a save into the INI file failed, naming the file with its folder.
QString saveFailedMessage(const QString& fileName);

// Why the INI file cannot be read as code page 932 text, as the engine reads it: UTF-16 text (none of its
// sections and keys is found), or a UTF-8 byte order mark before its first line (which then is no section
// header). Nothing when it can be read, or does not exist. The editors say so at opening and refuse to save
// into such a file, which would mix two encodings or lose lines of its first section.
std::optional<QString> unreadableFileMessage(const QString& fileName);

} // namespace zelk::console
