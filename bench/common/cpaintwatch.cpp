#include "cpaintwatch.h"

#include "benchsystem.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

CPaintWatch::CPaintWatch(QWidget* pWindow)
    : m_pWindow(pWindow)
{
    qApp->installEventFilter(this);
}

bool CPaintWatch::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::Paint && !m_bFirstFramePainted) {
        m_bFirstFramePainted = true;
        AfterThisPass(m_onFirstFrame);
    } else if (pEvent->type() == QEvent::UpdateRequest && pWatched == m_pWindow) {
        AfterThisPass(m_onRepaint);
    }
    return false;
}

void CPaintWatch::AfterThisPass(const std::function<void(qint64)>& hook)
{
    if (!hook)
        return;
    QTimer::singleShot(0, this, [hook] { hook(BenchSystem::MonotonicNs()); });
}
