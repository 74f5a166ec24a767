#include "common/ini.h"

#include "common/ansi.h"
#include "profile/profile.h"

#include <QCoreApplication>

#include <array>

namespace zelk::console {

namespace {

QString& directoryOverride() {
    static QString directory;
    return directory;
}

std::string iniPath(const QString& fileName) {
    return toAnsi(programDirectory() + u'/' + fileName);
}

const QString kNotFound = QStringLiteral("みつからんで!");

} // namespace

QString programDirectory() {
    const QString& custom = directoryOverride();
    return custom.isEmpty() ? QCoreApplication::applicationDirPath() : custom;
}

void setProgramDirectory(const QString& directory) {
    directoryOverride() = directory;
}

QString readIni(const QString& fileName, const QString& section, const QString& key, bool& notFound) {
    std::array<char, 512> buffer{};
    profile::getString(toAnsi(section), toAnsi(key), toAnsi(kNotFound), buffer.data(), buffer.size(),
                       iniPath(fileName));
    const QString value = fromAnsi(buffer.data()); // up to the first NUL
    notFound = value == kNotFound;
    return notFound ? QString() : value;
}

QString readIni(const QString& fileName, const QString& section, const QString& key) {
    bool notFound = false;
    return readIni(fileName, section, key, notFound);
}

void writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value,
              bool& failed) {
    failed = !profile::writeString(toAnsi(section), toAnsi(key), toAnsi(value), iniPath(fileName));
}

bool writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value) {
    bool failed = false;
    writeIni(fileName, section, key, value, failed);
    return !failed;
}

} // namespace zelk::console
