#pragma once

#include <QtGlobal>
#include <functional>

// Clocks and process figures read from the kernel, shared by the benchmark programs. The monotonic clock
// is the same in every process of the machine, so times taken in two processes can be subtracted.
namespace BenchSystem {

qint64 MonotonicNs();
// Wall-clock time in ns since the epoch; the clock mosquitto_sub stamps received messages with (-F %U).
qint64 RealtimeNs();
// CPU time (user and system) this process has used so far.
qint64 CpuNs();
// Resident set size now, and its peak so far, in KiB.
qint64 RssKiB();
qint64 PeakRssKiB();
// How often the main thread has gone to sleep and been woken again.
qint64 MainThreadWakeups();
// Processes events until done() holds or the time is up; tells whether it holds.
bool WaitFor(const std::function<bool()>& done, int nTimeoutMs);

} // namespace BenchSystem
