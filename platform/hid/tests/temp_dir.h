#pragma once
// A private temporary directory per test (mode 0700, removed afterwards), so tests can run in parallel.
#include "testing/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp = std::make_unique<zelk::test::TempDir>();
        dir = temp->cwd();
    }
    void TearDown() override { temp.reset(); }
    std::unique_ptr<zelk::test::TempDir> temp;
    std::string dir;
};
