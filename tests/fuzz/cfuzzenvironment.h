#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QApplication;

// What the harnesses that build the main window share, set up once per process: a private home folder
// (the window reads and writes the user's documents folder), the offscreen QApplication, and a closer for
// the modal boxes the window opens. A box is rejected from the event loop of its own exec() as soon as it is
// shown, so no input waits for a user. The harnesses run no event loop: ProcessEvents() delivers what was
// posted and the timers that are due.
class CFuzzEnvironment : public QObject
{
public:
    static CFuzzEnvironment& Instance();
    static void ProcessEvents();

    QString Home() const { return m_home.path(); }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    CFuzzEnvironment();

    QTemporaryDir m_home;
    int m_nArgc = 1;
    char m_sName[8] = "fuzzing";
    char* m_argv[2] = { m_sName, nullptr };
    std::unique_ptr<QApplication> m_pApp;
};
