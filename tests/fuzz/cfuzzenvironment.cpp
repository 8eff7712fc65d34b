#include "cfuzzenvironment.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <cstdlib>
#include <string>

namespace {

std::string s_sHome;

// The process ends through exit() (libFuzzer's time limit, the end of a replay): the home folder goes
// with it. The window and the application object are left to the end of the process.
void RemoveHome() { QDir(QString::fromStdString(s_sHome)).removeRecursively(); }

} // namespace

CFuzzEnvironment& CFuzzEnvironment::Instance()
{
    static CFuzzEnvironment* s_pEnvironment = new CFuzzEnvironment;
    return *s_pEnvironment;
}

CFuzzEnvironment::CFuzzEnvironment()
{
    qputenv("HOME", m_home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DOCUMENTS_DIR");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C");
    s_sHome = m_home.path().toStdString();
    m_home.setAutoRemove(false);
    std::atexit(&RemoveHome);

    m_pApp = std::make_unique<QApplication>(m_nArgc, m_argv);
    m_pApp->installEventFilter(this);
}

void CFuzzEnvironment::ProcessEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool CFuzzEnvironment::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    auto* pDialog = qobject_cast<QDialog*>(pWatched);
    if (pEvent->type() == QEvent::Show && pDialog && pDialog->isModal())
        QMetaObject::invokeMethod(pDialog, "reject", Qt::QueuedConnection);
    return false;
}
