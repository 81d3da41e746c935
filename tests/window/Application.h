// How a test program of the window starts: one application object for the whole run, made as the
// program makes its own (the journal's signals ignored first, the Fusion style), offscreen unless the
// environment says otherwise.
#pragma once

#include "journal/FichierJournal.h"

#include <QApplication>
#include <QStyleFactory>

#include <gtest/gtest.h>

namespace borne::test {

// Every test linked into the program, inside the application object.
inline int runWindowTests(int argc, char** argv) {
    FichierJournal::ignorerSignaux(); // as every program that journals, before any thread
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace borne::test
