#include "csimsignalwatcher.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

int CSimSignalWatcher::s_nWriteFd = -1;

namespace {

const int kWatchedSignals[] = { SIGINT, SIGTERM };

} // namespace

CSimSignalWatcher::CSimSignalWatcher(QObject* pParent)
    : QObject(pParent)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    // The handler must never block, even when nobody reads for a while.
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    s_nWriteFd = fds[0];
    m_nReadFd = fds[1];

    struct sigaction action = {};
    action.sa_handler = &CSimSignalWatcher::Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int nSignal : kWatchedSignals)
        ::sigaction(nSignal, &action, nullptr);

    m_pNotifier = new QSocketNotifier(m_nReadFd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CSimSignalWatcher::ReadSignal);
}

CSimSignalWatcher::~CSimSignalWatcher()
{
    if (m_nReadFd < 0)
        return;
    for (int nSignal : kWatchedSignals)
        std::signal(nSignal, SIG_DFL);
    delete m_pNotifier;
    ::close(s_nWriteFd);
    ::close(m_nReadFd);
    s_nWriteFd = -1;
}

void CSimSignalWatcher::Handler(int nSignal)
{
    const int nSavedErrno = errno;
    const char cSignal = char(nSignal);
    [[maybe_unused]] const ssize_t nWritten = ::write(s_nWriteFd, &cSignal, 1);
    errno = nSavedErrno;
}

void CSimSignalWatcher::ReadSignal()
{
    char cSignal = 0;
    while (::read(m_nReadFd, &cSignal, 1) == 1)
        emit Triggered(cSignal);
}
