#include "cfuzzenvironment.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>

QString CFuzzEnvironment::Home()
{
    // The folder is removed as the process ends through exit() (libFuzzer's time limit, the end of a
    // replay); the application object and the windows are never deleted.
    static QTemporaryDir s_home;
    static int s_nArgc = 1;
    static char s_sName[] = "fuzzing";
    static char* s_argv[] = { s_sName, nullptr };
    if (!qApp) {
        qputenv("HOME", s_home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DOCUMENTS_DIR");
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("LC_ALL", "C");
        (new QApplication(s_nArgc, s_argv))->installEventFilter(new CFuzzEnvironment);
    }
    return s_home.path();
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
