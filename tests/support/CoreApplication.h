#pragma once
// An application object for the whole of a GoogleTest program that uses
// Qt's SQL module: from Qt 6.8 on, QSqlDatabase opens nothing without one.
// Including this header registers it, before main() runs the tests.

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

class TCoreApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!QCoreApplication::instance())
            fApplication = std::make_unique<QCoreApplication>(fArgc, fArgv);
    }
    void TearDown() override { fApplication.reset(); }

private:
    int fArgc = 1;
    char fName[5] = "test";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QCoreApplication> fApplication;
};

inline ::testing::Environment* const kCoreApplication =
    ::testing::AddGlobalTestEnvironment(new TCoreApplicationEnvironment);
