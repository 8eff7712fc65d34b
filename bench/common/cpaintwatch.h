#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Watches when a window paints. The first paint of any widget of the application marks the first frame;
// after that, every update request of the top-level window is one repaint pass. Each hook is called in
// the event-loop pass after the paint it reports, when the frame is complete.
class CPaintWatch : public QObject
{
public:
    explicit CPaintWatch(QWidget* pWindow);

    // Called once, after the first frame has been painted, with its monotonic time.
    std::function<void(qint64 nNs)> m_onFirstFrame;
    // Called after every later repaint pass of the window, with its monotonic time.
    std::function<void(qint64 nNs)> m_onRepaint;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void AfterThisPass(const std::function<void(qint64)>& hook);

    QWidget* m_pWindow;
    bool m_bFirstFramePainted = false;
};
