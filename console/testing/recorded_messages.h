#pragma once
// The messages that the console showed during a test, newest last.
#include "common/message.h"

#include <QStringList>

namespace zelk::console::testing {

QStringList& recordedMessages();

} // namespace zelk::console::testing
