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

namespace {

QString SettingsPath()
{
    const QString sFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
        + QLatin1Char('/') + QCoreApplication::applicationName();
    QDir().mkpath(sFolder);
    return sFolder + QStringLiteral("/UCControlConfig.json");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CFuzzEnvironment::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static const QString s_sPath = SettingsPath();
    QFile file(s_sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(pData), qint64(nSize)) != qint64(nSize))
        std::abort();
    file.close();
    {
        MainWindow window;
    }
    CFuzzEnvironment::ProcessEvents();
    return 0;
}
