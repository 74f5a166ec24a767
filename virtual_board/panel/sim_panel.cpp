#include "virtual_board/panel/sim_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zelk::vboard {
namespace {

constexpr int kMarkSize = 34;

QString mark(std::uint8_t portValue, int pin) {
    const bool energized = ((portValue >> pin) & 1u) == 0;
    return QString(QChar(energized ? kEnergizedMark : kReleasedMark));
}

QFont markFont(const QWidget* widget) {
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    return font;
}

// A group of pins: their numbers above, their marks below.
template <typename Mark, std::size_t N>
QGroupBox* pinGroup(const QString& caption, std::array<Mark*, N>& marks) {
    auto* group = new QGroupBox(caption);
    auto* grid = new QGridLayout(group);
    for (std::size_t pin = 0; pin < N; ++pin) {
        const int column = static_cast<int>(pin);
        grid->addWidget(new QLabel(QString::number(pin)), 0, column, Qt::AlignHCenter);
        grid->addWidget(marks[pin], 1, column, Qt::AlignHCenter);
    }
    grid->setColumnStretch(static_cast<int>(N), 1);
    return group;
}

} // namespace

SimPanel::SimPanel(BoardModel& model, const BoardServer& server, QWidget* parent)
    : QWidget(parent), model_(model), server_(server) {
    setWindowTitle(QStringLiteral("kaldex-sim"));

    for (std::size_t pin = 0; pin < switches_.size(); ++pin) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("swPort0"));
        button->setFixedSize(kMarkSize, kMarkSize);
        button->setFont(markFont(button));
        button->setStyleSheet(QStringLiteral("color: blue;"));
        button->setToolTip(QStringLiteral("ピン %1: クリックで通電/解除").arg(pin));
        connect(button, &QPushButton::clicked, this, [this, pin] { toggle(static_cast<int>(pin)); });
        switches_[pin] = button;
    }
    for (auto*& lamp : lamps_) {
        lamp = new QLabel(this);
        lamp->setObjectName(QStringLiteral("lmpPort1"));
        lamp->setFixedSize(kMarkSize, kMarkSize);
        lamp->setAlignment(Qt::AlignCenter);
        lamp->setFont(markFont(lamp));
        lamp->setStyleSheet(QStringLiteral("color: red;"));
    }
    connection_ = new QLabel(this);
    connection_->setObjectName(QStringLiteral("lblConnection"));
    auto* path = new QLabel(QString::fromStdString(server_.socketPath()), this);
    path->setObjectName(QStringLiteral("lblSocket"));
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* status = new QGridLayout;
    status->addWidget(new QLabel(QStringLiteral("接続:")), 0, 0);
    status->addWidget(connection_, 0, 1);
    status->addWidget(new QLabel(QStringLiteral("ソケット:")), 1, 0);
    status->addWidget(path, 1, 1);
    status->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pinGroup(QStringLiteral("入力 Port0"), switches_));
    layout->addWidget(pinGroup(QStringLiteral("出力 Port1"), lamps_));
    layout->addLayout(status);

    poll_ = new QTimer(this);
    connect(poll_, &QTimer::timeout, this, &SimPanel::refresh);
    poll_->start(kPollMs);
    refresh();
    showPort1(model_.port1Output());
}

void SimPanel::refresh() {
    const std::uint8_t port0 = model_.port0Input();
    for (std::size_t pin = 0; pin < switches_.size(); ++pin)
        switches_[pin]->setText(mark(port0, static_cast<int>(pin)));
    connection_->setText(server_.clientConnected() ? QStringLiteral("接続中") : QStringLiteral("待機中"));
}

void SimPanel::showPort1(std::uint8_t value) {
    for (std::size_t pin = 0; pin < lamps_.size(); ++pin)
        lamps_[pin]->setText(mark(value, static_cast<int>(pin)));
}

void SimPanel::toggle(int pin) {
    const bool energized = ((model_.port0Input() >> pin) & 1u) == 0;
    model_.setPin(pin, !energized);
    refresh();
}

} // namespace zelk::vboard
