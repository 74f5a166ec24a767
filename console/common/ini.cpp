#include "common/ini.h"

#include "common/ansi.h"
#include "profile/profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <array>

namespace zelk::console {

namespace {

// The path as the file system takes it: UTF-8 on Linux, the ANSI code page on Windows.
std::string nativePath(const QString& fileName) {
    return QFile::encodeName(iniPath(fileName)).toStdString();
}

const QString kNotFound = QStringLiteral("みつからんで!");

} // namespace

QString programDirectory() {
    return QCoreApplication::applicationDirPath();
}

QString iniPath(const QString& fileName) {
    return QDir::current().absoluteFilePath(fileName);
}

QString readIni(const QString& fileName, const QString& section, const QString& key, bool& notFound) {
    std::array<char, 512> buffer{};
    profile::getString(toAnsi(section), toAnsi(key), toAnsi(kNotFound), buffer.data(), buffer.size(),
                       nativePath(fileName));
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
    failed = !profile::writeString(toAnsi(section), toAnsi(key), toAnsi(value), nativePath(fileName));
}

bool writeIni(const QString& fileName, const QString& section, const QString& key, const QString& value) {
    bool failed = false;
    writeIni(fileName, section, key, value, failed);
    return !failed;
}

QString saveFailedMessage(const QString& fileName) {
    return QStringLiteral("%1 に保存できませんでした").arg(QDir::toNativeSeparators(iniPath(fileName)));
}

std::optional<QString> unreadableFileMessage(const QString& fileName) {
    QFile file(iniPath(fileName));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray head = file.read(512);
    const QString path = QDir::toNativeSeparators(iniPath(fileName));
    const profile::TextForm form = profile::textForm(std::string_view(head.constData(), head.size()));
    if (form == profile::TextForm::Utf16)
        return QStringLiteral(
                   "%1 は UTF-16 のテキストのため読み込めません。シフトJIS で保存し直してください。"
                   "このままでは保存もできません")
            .arg(path);
    if (form == profile::TextForm::Utf8ByteOrderMark)
        return QStringLiteral("%1 は先頭に UTF-8 のバイト順マーク (BOM) があるため最初の行が読み込めません。"
                              "BOM を取り除いてください。このままでは保存もできません")
            .arg(path);
    return std::nullopt;
}

} // namespace zelk::console
