// The work folder chosen at start-up: --dir, the program's own folder, or the user's data folder seeded
// with the samples; a folder named in Japanese used by the editors and the engine alike.
#include "common/ini.h"
#include "core/engine.h"
#include "detail_editors/frm_var_edit.h"
#include "fake_platform.h"
#include "logic_editor/frm_lg_edit.h"
#include "main/work_folder.h"
#include "testing/recorded_messages.h"
#include "testing/work_folder_scope.h"
#include "virtual_board/board_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelk::console::testing {
namespace {

const QString kSamples = QStringLiteral(ZELK_SAMPLES_DIR);

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class WorkFolderChoice : public ::testing::Test {
protected:
    WorkFolderChoice() {
        QDir(root.path()).mkdir(QStringLiteral("bin"));
        places = {{}, root.filePath("bin"), root.filePath("data"), kSamples};
    }
    QTemporaryDir root;
    WorkFolderPlaces places;
};

TEST_F(WorkFolderChoice, TheDirOptionWinsAndANewFolderGetsTheSamples) {
    QFile(root.filePath("bin/ZELK_SCR.ini")).open(QIODevice::WriteOnly);
    places.requested = root.filePath("given/deeper");
    const WorkFolder chosen = chooseWorkFolder(places);
    EXPECT_EQ(chosen.error, "");
    EXPECT_EQ(chosen.path, root.filePath("given/deeper"));
    EXPECT_EQ(readAll(chosen.path + '/' + kScreenFile), readAll(kSamples + '/' + kScreenFile));

    places.requested = root.filePath("given");
    EXPECT_EQ(chooseWorkFolder(places).path, root.filePath("given"));
    EXPECT_EQ(QDir(root.filePath("given")).entryList(QDir::Files), QStringList())
        << "a folder that exists is used as it is";
}

TEST_F(WorkFolderChoice, TheProgramFolderServesWhenItHoldsASettingsFile) {
    for (const QString& name : {kLogicFile, kScreenFile}) {
        QFile file(root.filePath("bin/" + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        EXPECT_EQ(chooseWorkFolder(places).path, root.filePath("bin")) << name.toStdString();
        file.remove();
    }
    EXPECT_FALSE(QFileInfo::exists(root.filePath("data"))) << "no per-user folder was made";
}

TEST_F(WorkFolderChoice, OtherwiseThePerUserFolderIsMadeAndSeededWithoutOverwriting) {
    qputenv("XDG_DATA_HOME", root.filePath("data").toUtf8());
    EXPECT_EQ(workFolderPlaces({}).userDataDir, root.filePath("data"));
    qputenv("XDG_DATA_HOME", "relative/data"); // not absolute: ignored
    EXPECT_EQ(workFolderPlaces({}).userDataDir, QDir::homePath() + "/.local/share");
    qunsetenv("XDG_DATA_HOME");

    const QString folder = root.filePath("data/zelk");
    EXPECT_EQ(chooseWorkFolder(places).path, folder);
    EXPECT_EQ(QFileInfo(root.filePath("data")).permissions() & 0x0077, 0) << "readable by its owner only";
    for (const QString& name : {kLogicFile, kScreenFile})
        EXPECT_EQ(readAll(folder + '/' + name), readAll(kSamples + '/' + name)) << name.toStdString();

    // An edited program stays; a removed settings file comes back from the samples.
    QFile edited(folder + '/' + kLogicFile);
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write("[LG_CONTENTS]\r\n");
    edited.close();
    QFile::remove(folder + '/' + kScreenFile);
    EXPECT_EQ(chooseWorkFolder(places).path, folder);
    EXPECT_EQ(readAll(folder + '/' + kLogicFile), "[LG_CONTENTS]\r\n");
    EXPECT_EQ(readAll(folder + '/' + kScreenFile), readAll(kSamples + '/' + kScreenFile));
}

TEST(WorkFolderProgram, AFolderThatCannotBeMadeEndsTheProgramWithAMessage) {
    QTemporaryDir root;
    QFile(root.filePath("file")).open(QIODevice::WriteOnly);
    const QString folder = root.filePath("file/制御"); // below a file: not even root can make it
    QProcess program;
    program.start(QStringLiteral(ZELK_PROGRAM), {"--dir", folder});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), kWorkFolderStatus);
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains(folder));
}

// The environment with no display and no Qt platform named.
QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    return environment;
}

TEST(WorkFolderProgram, TheVersionNeedsNoDisplay) {
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(ZELK_PROGRAM), {"--version"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("ZELK "));
}

TEST(WorkFolderProgram, NoDisplayAndAStrayOperandEndWithAReason) {
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(ZELK_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains("DISPLAY"));

    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.start(QStringLiteral(ZELK_PROGRAM), {"/tmp/folder"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 64);
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains("/tmp/folder"));
}

// Paths are file-system paths: a work folder named in Japanese is read and written by the editors, and the
// engine, which takes the current directory, runs what they saved.
TEST(WorkFolderProgram, AJapaneseFolderServesTheEditorsAndTheEngine) {
    recordedMessages().clear();
    QTemporaryDir root;
    const WorkFolder chosen = chooseWorkFolder({root.filePath("制御"), {}, {}, kSamples});
    ASSERT_EQ(chosen.error, "");
    const WorkFolderScope workFolder(chosen.path);
    {
        frmVarEdit variables;
        EXPECT_EQ(variables.txtVarName[0]->text(), "経過秒数") << "loaded from the folder";
        variables.txtValue[0]->setText("40");
        variables.cmdOK->click();
    }
    {
        frmLgEdit editor;
        EXPECT_EQ(editor.txtCsvLog->text(), "ZELK_LOG.csv");
        editor.txtCsvLog->setText("run.csv");
        editor.cmdOK->click();
    }
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    EXPECT_TRUE(readAll(chosen.path + '/' + kLogicFile).contains("VAR_VALUE_00=40\r\n"));
    EXPECT_TRUE(readAll(chosen.path + '/' + kLogicFile).contains("CSV_FNAME=run.csv\r\n"));

    vboard::BoardModel board;
    test::FakePlatform platform;
    platform.cwd = QFile::encodeName(QDir::currentPath()).toStdString();
    platform.backend.add("/dev/hidraw-test", &board);
    Engine engine(platform);
    ASSERT_EQ(engine.open(), 1);
    EXPECT_EQ(engine.program().main.count, 8);
    EXPECT_EQ(engine.program().variables[0].value, 40);
    engine.close();
}

} // namespace
} // namespace zelk::console::testing
