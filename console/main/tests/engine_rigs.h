#pragma once
// Engines for the main window's tests: engine objects of the test's own (never the library's instance, so
// tests share no board directory) behind the window's engine interface, with the window's calls recorded.
#include "core/engine.h"
#include "fake_platform.h"
#include "main/engine_api.h"
#include "socket_platform.h"
#include "testing/work_folder_scope.h"
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zelk::console::testing {

// Records the window's calls in order ("open", "close", "get", "put", "exit") and passes them on to an
// engine object; exitKaldex returns.
class RecordingEngine : public EngineApi {
public:
    std::int32_t openKaldex() override;
    std::int32_t closeKaldex() override;
    void getCtlData(CtlData& data) override;
    void putCtlData(const CtlRequest& request) override;
    void exitKaldex() override { calls.append(QStringLiteral("exit")); }
    // Over the engine object's own devices; not recorded, as it is no call of the engine.
    hid::BoardCheck checkBoards() override;

    int count(const QString& call) const { return static_cast<int>(calls.count(call)); }

    QStringList calls;
    std::vector<std::uint8_t> toggleMasks;

protected:
    void attach(Engine& engine, hid::Backend& devices, std::string boardDirectory) {
        engine_ = &engine;
        devices_ = &devices;
        boardDirectory_ = std::move(boardDirectory);
    }
    virtual void opened() {}

private:
    Engine* engine_ = nullptr;
    hid::Backend* devices_ = nullptr;
    std::string boardDirectory_;
};

// A temporary directory that is both the window's work folder (ZELK_SCR.ini) and the engine's current
// directory (LogicCtl.ini).
class ProgramDirectory {
public:
    ProgramDirectory();
    QString path() const { return dir_.path(); }
    std::string cwd() const { return dir_.path().toStdString(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir_;
    WorkFolderScope workFolder_;
};

// The engine with an in-process board model and a timer that fires only when the test says so: every cycle
// runs on the test's thread, between two passes of the window's polling loop.
class ManualRig : public RecordingEngine {
public:
    // withBoard false: no board is present, so openKaldex fails.
    explicit ManualRig(const ProgramDirectory& directory, bool withBoard = true);
    ~ManualRig() override;

    void cycles(int n);
    CtlData data() const;

    vboard::BoardModel board;

protected:
    void opened() override;

private:
    test::FakePlatform platform_;
    std::unique_ptr<Engine> engine_;
    test::FakeTimer* timer_ = nullptr;
};

// The engine with the real periodic timer and virtual boards served on sockets in a private directory.
class SocketRig : public RecordingEngine {
public:
    explicit SocketRig(const ProgramDirectory& directory);
    ~SocketRig() override;

    // Serves the board; false with a test failure when the server cannot start.
    bool plugIn();
    CtlData data() const;
    // The folder of the rig's virtual boards.
    std::string boardDirectory() const;

    vboard::BoardModel board;

private:
    QTemporaryDir boards_;
    std::unique_ptr<test::SocketPlatform> platform_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<vboard::BoardServer> server_;
};

// ZELK_SCR.ini with the given display mode (ELEC_ON_DSP text) and the shipped sample's other values.
QByteArray screenSettings(const QByteArray& elecOnDsp = "0");

} // namespace zelk::console::testing
