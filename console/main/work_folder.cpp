#include "main/work_folder.h"

#include "common/ini.h"
#include "kaldex_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace zelk::console {

namespace {

const QStringList kSettingsFiles{kLogicFile, kScreenFile};

bool holdsSettings(const QString& folder) {
    const QDir dir(folder);
    for (const QString& name : kSettingsFiles)
        if (QFileInfo(dir.filePath(name)).isFile()) return true;
    return false;
}

// Creates the folder and its missing parents, each readable only by its owner, as the base-directory
// conventions ask for the user's data folders.
bool makePrivateFolder(const QString& folder) {
    QStringList missing;
    for (QString path = folder; !QFileInfo::exists(path);) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path) break;
        path = parent;
    }
    for (const QString& path : missing)
        if (!QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) return false;
    return QFileInfo(folder).isDir();
}

// Copies the samples that the folder lacks; the copies may be edited by their owner.
void seedSamples(const QString& folder, const QString& samplesDir) {
    for (const QString& name : kSettingsFiles) {
        const QString target = QDir(folder).filePath(name);
        if (QFileInfo::exists(target) || !QFile::copy(QDir(samplesDir).filePath(name), target)) continue;
        QFile::setPermissions(target,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
}

QString cannotUse(const QString& folder) {
    return QStringLiteral("作業フォルダ %1 を作成できません").arg(QDir::toNativeSeparators(folder));
}

} // namespace

WorkFolderPlaces workFolderPlaces(const QString& requested) {
    // A relative $XDG_DATA_HOME is invalid and ignored, as the base-directory conventions say.
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    const QString programDir = programDirectory();
    return {requested, programDir,
            QDir::isAbsolutePath(dataHome) ? dataHome : QDir::homePath() + QStringLiteral("/.local/share"),
            QDir::cleanPath(programDir + u'/' + QString::fromUtf8(kSamplesRelativeDir))};
}

WorkFolder chooseWorkFolder(const WorkFolderPlaces& places) {
    if (!places.requested.isEmpty()) {
        const QString folder = QDir::cleanPath(QDir(places.requested).absolutePath());
        const bool made = !QFileInfo::exists(folder);
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) return {{}, cannotUse(folder)};
        if (made) seedSamples(folder, places.samplesDir);
        return {folder, {}};
    }
    if (holdsSettings(places.programDir)) return {QDir::cleanPath(places.programDir), {}};
    const QString folder = QDir::cleanPath(places.userDataDir + QStringLiteral("/zelk"));
    if (!makePrivateFolder(folder)) return {{}, cannotUse(folder)};
    seedSamples(folder, places.samplesDir);
    return {folder, {}};
}

QString captionWithFolder(const QString& caption, const QString& folder) {
    const QString home = QDir::homePath();
    QString shown = folder;
    if (shown == home || shown.startsWith(home + u'/')) shown = u'~' + shown.mid(home.size());
    return caption + QStringLiteral(" - ") + QDir::toNativeSeparators(shown);
}

} // namespace zelk::console
