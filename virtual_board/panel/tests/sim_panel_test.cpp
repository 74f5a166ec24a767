#include "hid/unique_fd.h"
#include "testing/temp_dir.h"
#include "virtual_board/panel/sim_panel.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>

using namespace zelk::vboard;

namespace {

const QString kOn = QString(QChar(kEnergizedMark));
const QString kOff = QString(QChar(kReleasedMark));

QString marks(const SimPanel& panel, bool inputs) {
    QString shown;
    for (int pin = 0; pin < (inputs ? 8 : 4); ++pin)
        shown += inputs ? panel.inputSwitch(pin)->text() : panel.outputLamp(pin)->text();
    return shown;
}

class SimPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<BoardServer>(model, ServerOptions{root + "/boards", "panel"});
    }
    void TearDown() override { server.reset(); }
    zelk::test::TempDir temp;
    std::string root = temp.cwd();
    BoardModel model;
    std::unique_ptr<BoardServer> server;
};

} // namespace

TEST_F(SimPanelTest, SwitchesEnergizeAndReleaseInputPins) {
    SimPanel panel(model, *server);
    EXPECT_EQ(marks(panel, true), kOff.repeated(8));

    QTest::mouseClick(panel.inputSwitch(3), Qt::LeftButton);
    EXPECT_EQ(model.port0Input(), 0xF7);
    EXPECT_EQ(marks(panel, true), kOff.repeated(3) + kOn + kOff.repeated(4));
    panel.inputSwitch(7)->click();
    EXPECT_EQ(model.port0Input(), 0x77);
    panel.inputSwitch(3)->click();
    EXPECT_EQ(model.port0Input(), 0x7F);
    EXPECT_EQ(marks(panel, true), kOff.repeated(7) + kOn);

    // Inputs set elsewhere (a schedule) show at the next poll.
    model.setPort0Input(0xFE);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.inputSwitch(0)->text() == kOn; }, 2000));
    EXPECT_EQ(panel.inputSwitch(7)->text(), kOff);
}

TEST_F(SimPanelTest, LampsShowPortOne) {
    SimPanel panel(model, *server);
    EXPECT_EQ(marks(panel, false), kOff.repeated(4));
    panel.showPort1(0x0A); // 0x0A energizes pins 0 and 2 (bit value 0)
    EXPECT_EQ(marks(panel, false), kOn + kOff + kOn + kOff);
    panel.showPort1(0xF0); // the high bits are no pins
    EXPECT_EQ(marks(panel, false), kOn.repeated(4));
}

TEST_F(SimPanelTest, ShowsTheSocketAndWhetherTheConsoleIsConnected) {
    ASSERT_TRUE(server->start());
    SimPanel panel(model, *server);
    EXPECT_EQ(panel.findChild<QLabel*>(QStringLiteral("lblSocket"))->text(),
              QString::fromStdString(server->socketPath()));
    EXPECT_EQ(panel.connectionLabel()->text(), QStringLiteral("待機中"));

    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, server->socketPath().c_str());
        zelk::hid::UniqueFd client(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        ASSERT_EQ(::connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return panel.connectionLabel()->text() == QStringLiteral("接続中"); }, 2000));
    }
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return panel.connectionLabel()->text() == QStringLiteral("待機中"); }, 2000));
}
