#pragma once
// Drives the main window's polling loop from inside: a click on "制御開始" runs the loop, and the steps of
// the script run in it, one attempt per poll, in the pending events of the pass after that poll.
#include "engine_rigs.h"
#include "main/frm_zelk.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

namespace zelk::console::testing {

using Step = std::function<bool()>; // true: done, go on with the next step at the next poll

enum class AfterSteps { ClickEnd, WaitForTheLoop };

// Clicks "制御開始" and runs the steps inside the polling loop. When the last step is done the script clicks
// "制御終了", or waits for the loop to end by itself. A loop still running at the time limit is ended with
// a click on "制御終了" and a test failure. Returns whether every step was done.
inline bool runControl(frmZELK& form, RecordingEngine& engine, std::vector<Step> steps,
                       AfterSteps after = AfterSteps::ClickEnd,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::size_t next = 0;
    int polls = engine.count(QStringLiteral("get"));
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the script did not finish: step " << next << " of " << steps.size();
            timer.stop();
            form.cmdEnd->click();
            return;
        }
        const int now = engine.count(QStringLiteral("get"));
        if (now == polls || next == steps.size()) return;
        polls = now;
        if (steps[next]()) ++next;
        if (next == steps.size() && after == AfterSteps::ClickEnd) {
            timer.stop();
            form.cmdEnd->click();
        }
    });
    timer.start();
    form.cmdStart->click();
    timer.stop();
    return next == steps.size();
}

} // namespace zelk::console::testing
