#pragma once
// main() of the Qt test programs: the application (QApplication for widget tests) and a private
// application folder.

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

template <class TApplication = QCoreApplication>
int RunQtTests(int argc, char** argv) {
    QTemporaryDir home;
    setenv("SARVOLENTIS_HOME", home.path().toLocal8Bit().constData(), 1);
    TApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
