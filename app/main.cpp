#include "app/buildinfo.h"
#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Scaled with the screen, with sharp images on high-density screens.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    // Lets the desktop find the installed entry, and its icon, for the window.
    QGuiApplication::setDesktopFileName(BuildInfo::DesktopFileName());
    MainWindow window;
    window.show();
    return app.exec();
}
