#pragma once
// A temporary work folder with a LogicCtl.ini for the logic editor's tests, and helpers to build
// line values and to answer modal dialogs.
#include "common/ansi.h"
#include "common/ini.h"
#include "logic_editor/grid_cells.h"
#include "testing/program_builder.h"
#include "testing/recorded_messages.h"
#include "testing/work_folder_scope.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace zelk::console::testing {

// One group of a line value as stored (test::group).
inline QByteArray group(std::string_view kind, std::string_view data = "") {
    return QByteArray::fromStdString(test::group(kind, data));
}
inline const QByteArray kNoneGroup = group("NONE");

// A line value of the given groups, filled up with "NONE" groups to count groups.
inline QByteArray lineValue(std::initializer_list<QByteArray> groups, int count) {
    QByteArray value;
    for (const QByteArray& g : groups)
        value += g;
    for (int i = static_cast<int>(groups.size()); i < count; ++i)
        value += kNoneGroup;
    return value;
}

// Runs answer on the modal dialog that the next exec() opens.
inline void whenModal(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] { answer(QApplication::activeModalWidget()); });
}

class EditorTest : public ::testing::Test {
protected:
    EditorTest() { recordedMessages().clear(); }

    QString path() const { return dir.filePath(kLogicFile); }
    void writeFile(const QByteArray& bytes) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The texts of one grid row, columns 0 to 24.
    static QStringList rowTexts(const QTableWidget* grid, int row) {
        QStringList texts;
        for (int c = 0; c < 25; ++c)
            texts << cellText(grid, row, c);
        return texts;
    }

    QTemporaryDir dir;
    WorkFolderScope workFolder{dir.path()};
};

} // namespace zelk::console::testing
