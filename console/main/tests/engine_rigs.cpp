#include "engine_rigs.h"

#include "common/ini.h"

#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zelk::console::testing {

std::int32_t RecordingEngine::openKaldex() {
    calls.append(QStringLiteral("open"));
    const std::int32_t result = engine_->open();
    if (result == 1) opened();
    return result;
}

std::int32_t RecordingEngine::closeKaldex() {
    calls.append(QStringLiteral("close"));
    return engine_->close();
}

void RecordingEngine::getCtlData(CtlData& data) {
    calls.append(QStringLiteral("get"));
    engine_->getCtlData(data);
}

hid::BoardCheck RecordingEngine::checkBoards() {
    return hid::checkBoards(*devices_, boardDirectory_);
}

void RecordingEngine::putCtlData(const CtlRequest& request) {
    calls.append(QStringLiteral("put"));
    toggleMasks.push_back(request.toggleMask);
    engine_->putCtlData(request);
}

ProgramDirectory::ProgramDirectory() : workFolder_(dir_.path()) {}

void ProgramDirectory::write(const QString& name, const QByteArray& bytes) const {
    QFile file(dir_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

ManualRig::ManualRig(const ProgramDirectory& directory, bool withBoard) {
    platform_.cwd = directory.cwd();
    if (withBoard) platform_.backend.add("/dev/hidraw-test", &board);
    engine_ = std::make_unique<Engine>(platform_);
    attach(*engine_, platform_.backend, "");
}

ManualRig::~ManualRig() {
    engine_->close();
}

void ManualRig::opened() {
    timer_ = &platform_.armedTimer();
}

void ManualRig::cycles(int n) {
    for (int i = 0; i < n && timer_ != nullptr; ++i)
        timer_->fire();
}

CtlData ManualRig::data() const {
    CtlData d{};
    engine_->getCtlData(d);
    return d;
}

SocketRig::SocketRig(const ProgramDirectory& directory)
    : platform_(
          std::make_unique<test::SocketPlatform>(boards_.filePath("kaldex").toStdString(), directory.cwd())),
      engine_(std::make_unique<Engine>(*platform_)) {
    platform_->clock = {2026, 3, 4, 15, 6, 7};
    attach(*engine_, platform_->devices(), boardDirectory());
}

std::string SocketRig::boardDirectory() const {
    return boards_.filePath("kaldex").toStdString();
}

SocketRig::~SocketRig() {
    engine_->close();
    if (server_) server_->stop();
}

bool SocketRig::plugIn() {
    server_ =
        std::make_unique<vboard::BoardServer>(board, vboard::ServerOptions{boardDirectory(), "kaldex0"});
    std::string error;
    const bool started = server_->start(&error);
    EXPECT_TRUE(started) << error;
    return started;
}

CtlData SocketRig::data() const {
    CtlData d{};
    engine_->getCtlData(d);
    return d;
}

QByteArray screenSettings(const QByteArray& elecOnDsp) {
    return "[SETTING]\r\nMAIN_TOP=1200\r\nMAIN_LEFT=1200\r\nELEC_ON_DSP=" + elecOnDsp +
           "\r\nMAIN_CONTENT_WIDTH=1350\r\nMAIN_VALUE_WIDTH=1200\r\nMAIN_VALLOG_WIDTH=2400\r\n";
}

} // namespace zelk::console::testing
