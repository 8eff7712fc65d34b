#pragma once

#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>
#include <QtTest>

// main() for tests that build the main window: the window reads and writes the user's documents folder,
// so HOME points to a temporary folder (set before the application object exists, removed at the end).
// Dates are written in the C locale, whatever the user's. No session bus is reachable, so the desktop's
// key store is never touched: the window finds none.
#define OMBIX_GUI_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        QTemporaryDir home;                                                                                  \
        qputenv("HOME", home.path().toLocal8Bit());                                                          \
        qunsetenv("XDG_CONFIG_HOME");                                                                        \
        qputenv("LC_ALL", "C");                                                                              \
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ombix-test-bus");                        \
        QApplication app(argc, argv);                                                                        \
        TestObject testObject;                                                                               \
        return home.isValid() ? QTest::qExec(&testObject, argc, argv) : 1;                                   \
    }
