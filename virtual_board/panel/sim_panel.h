#pragma once
// The virtual board's panel: eight port-0 input switches, four port-1 output lamps, the connection state and
// the board's socket path.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;

namespace zelk::vboard {

// Marks as the console shows them: "●" energized (bit value 0), "○" not.
inline constexpr char16_t kEnergizedMark = u'●';
inline constexpr char16_t kReleasedMark = u'○';

// A click on a switch energizes or releases that port-0 input pin of the model. The lamps show the port-1
// output values handed to showPort1() (kaldex-sim relays them from the answering thread). The connection
// state and the switches (which a schedule may also change) are polled from the model and the server. The
// model and the server must outlive the panel.
class SimPanel : public QWidget {
public:
    static constexpr int kPollMs = 100;

    SimPanel(BoardModel& model, const BoardServer& server, QWidget* parent = nullptr);

    // Redraws the switches and the connection state from the model and the server.
    void refresh();
    // Shows a port-1 output value on the lamps.
    void showPort1(std::uint8_t value);

    QPushButton* inputSwitch(int pin) const { return switches_.at(static_cast<std::size_t>(pin)); }
    QLabel* outputLamp(int pin) const { return lamps_.at(static_cast<std::size_t>(pin)); }
    QLabel* connectionLabel() const { return connection_; }

private:
    void toggle(int pin);

    BoardModel& model_;
    const BoardServer& server_;
    std::array<QPushButton*, 8> switches_{};
    std::array<QLabel*, 4> lamps_{};
    QLabel* connection_ = nullptr;
    QTimer* poll_ = nullptr;
};

} // namespace zelk::vboard
