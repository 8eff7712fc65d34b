#pragma once

#include <QString>

// What the build knows about itself: the program version (the project version), the build date as the
// About box shows it ("Oct  4 2022"), and the names and folders an install uses.
namespace BuildInfo {

QString Version();
QString BuildDate();
// The name of the installed desktop entry, without ".desktop".
QString DesktopFileName();
// The guide's folder in an installed tree, relative to the executable's folder.
QString GuideInstallDir();

} // namespace BuildInfo
