#pragma once

#include <QObject>
#include <QString>

// What the harnesses that build the main window share, set up on first use and kept to the end of the
// process: a private home folder (the window reads and writes the user's documents folder), the offscreen
// QApplication, and a filter that rejects every modal dialog from the event loop of its own exec() as soon
// as it is shown, so no input waits for a user. The harnesses run no event loop: ProcessEvents() delivers
// what was posted and the timers that are due.
class CFuzzEnvironment : public QObject
{
public:
    static QString Home();
    static void ProcessEvents();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
};
