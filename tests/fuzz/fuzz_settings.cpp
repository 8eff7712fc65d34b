// Fuzzed contents of the settings file, read as the panel starts: each input is written to
// UCControlConfig.json in the application folder of the private home, and a main window is built on it and
// closed again. Whatever the file holds, the window comes up with an address in its fields or reports the
// file's parse error.
#include "app/mainwindow.h"
#include "cfuzzenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    CFuzzEnvironment::Home();
    static const QString s_sFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + '/'
        + QCoreApplication::applicationName();
    QFile file(s_sFolder + "/UCControlConfig.json");
    if (!QDir().mkpath(s_sFolder) || !file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char*>(pData), qint64(nSize)) != qint64(nSize))
        std::abort();
    file.close();
    {
        MainWindow window;
    }
    CFuzzEnvironment::ProcessEvents();
    return 0;
}
