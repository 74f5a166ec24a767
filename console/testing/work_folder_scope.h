#pragma once
// Makes a folder the work folder (the process's current directory, where the console and the engine find
// their INI files) for the lifetime of a test's object, then returns to the previous one.
#include <QDir>
#include <QString>

namespace zelk::console::testing {

class WorkFolderScope {
public:
    explicit WorkFolderScope(const QString& folder) : previous_(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~WorkFolderScope() { QDir::setCurrent(previous_); }
    WorkFolderScope(const WorkFolderScope&) = delete;
    WorkFolderScope& operator=(const WorkFolderScope&) = delete;

private:
    QString previous_;
};

} // namespace zelk::console::testing
