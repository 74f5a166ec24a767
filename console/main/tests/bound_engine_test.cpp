// The engine library bound by name: the built engine answers, and a missing one ends the program.
#include "common/message.h"
#include "main/engine_api.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace zelk::console {
namespace {

TEST(EngineBinding, BindsTheBuiltEngineByName) {
    setEngineLibraryPath(ZELK_ENG_LIBRARY);
    CtlData data{};
    data.state = 9;
    boundEngine().getCtlData(data);
    EXPECT_EQ(data.state, 0);
    EXPECT_EQ(boundEngine().closeKaldex(), 0);
}

void printMessage(QWidget*, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

TEST(EngineBindingDeathTest, AMissingLibraryIsNamedAndEndsTheProgram) {
    EXPECT_EXIT(
        {
            setMessageHandler(&printMessage);
            setEngineLibraryPath("/nonexistent/libZELK_Eng.so");
            boundEngine().openKaldex();
        },
        ::testing::ExitedWithCode(kMissingEngineStatus), "ZELK_Eng");
}

} // namespace
} // namespace zelk::console
