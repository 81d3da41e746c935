// How a test program of the window starts: one application object for the whole run, made as the
// program makes its own (the journal's signals ignored first, the Fusion style), offscreen unless the
// environment says otherwise.
#pragma once

#include "journal/FichierJournal.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace borne::test {

// Every test linked into the program, inside the application object.
inline int runWindowTests(int argc, char** argv) {
    FichierJournal::ignorerSignaux(); // as every program that journals, before any thread
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
#ifdef BORNE_TEST_SCREEN
    // Offscreen on a classroom's 1920x1080 screen, where the main window fits at its stored place.
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" BORNE_TEST_SCREEN);
#else
    if (platform.isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // What the windows remember (the bench's place) stays in the run, out of the user's settings.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace borne::test
