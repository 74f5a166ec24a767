#pragma once
// The virtual board's panel: eight port-0 input switches, four port-1 output lamps, the connection state and
// the board's socket path.
#include "virtual_board/board_model.h"
#include "virtual_board/board_server.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace zelk::vboard {

// Marks as the console shows them: "●" energized (bit value 0), "○" not.
inline constexpr char16_t kEnergizedMark = u'●';
inline constexpr char16_t kReleasedMark = u'○';

// A click on a switch energizes or releases that port-0 input pin of the model. The lamps follow the model's
// port-1 output value; changes arrive from the server's thread through port1Listener(). The connection state
// and the switches (which a schedule may also change) are polled from the model and the server. The model
// and the server must outlive the panel, and the server must stop before the panel goes.
class SimPanel : public QWidget {
public:
    static constexpr int kPollMs = 100;

    SimPanel(BoardModel& model, const BoardServer& server, QWidget* parent = nullptr);

    // For the model's port-1 listener: callable from any thread, shows the value on the GUI thread.
    std::function<void(std::uint8_t)> port1Listener();

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
