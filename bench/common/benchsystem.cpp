#include "benchsystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <sys/resource.h>
#include <time.h>

namespace {

qint64 Now(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A "Name:   value" line of /proc/self/status, as a number.
qint64 StatusField(const QByteArray& name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

namespace BenchSystem {

qint64 MonotonicNs() { return Now(CLOCK_MONOTONIC); }

qint64 RealtimeNs() { return Now(CLOCK_REALTIME); }

qint64 CpuNs() { return Now(CLOCK_PROCESS_CPUTIME_ID); }

qint64 RssKiB() { return StatusField("VmRSS"); }

qint64 PeakRssKiB() { return StatusField("VmHWM"); }

qint64 MainThreadWakeups() { return StatusField("voluntary_ctxt_switches"); }

// Sleeps in the event loop between looks: processEvents() with a time limit ignores WaitForMoreEvents and
// would spin, taking from the measured processes a core this 2-core machine does not have to spare.
bool WaitFor(const std::function<bool()>& done, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(20);
    while (!done() && timer.elapsed() < nTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace BenchSystem
