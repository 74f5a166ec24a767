// main of the console's test programs: a QApplication on the platform ctest chooses (offscreen), message
// boxes recorded instead of shown.
#include "testing/recorded_messages.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstring>

namespace zelk::console::testing {

QStringList& recordedMessages() {
    static QStringList messages;
    return messages;
}

namespace {
void record(QWidget*, const QString& text) {
    recordedMessages().append(text);
}
} // namespace

} // namespace zelk::console::testing

int main(int argc, char** argv) {
    bool listing = false; // listing the tests needs no display
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    if (listing) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    zelk::console::setMessageHandler(&zelk::console::testing::record);
    return RUN_ALL_TESTS();
}
