#include "app/buildinfo.h"

#include "ombixbuilddate.h"

namespace BuildInfo {

QString Version() { return QStringLiteral(OMBIX_VERSION); }

QString BuildDate() { return QStringLiteral(OMBIX_BUILD_DATE); }

QString DesktopFileName() { return QStringLiteral(OMBIX_DESKTOP_ID); }

QString GuideInstallDir() { return QStringLiteral(OMBIX_GUIDE_INSTALL_DIR); }

} // namespace BuildInfo
