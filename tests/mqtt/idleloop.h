#pragma once

#include <QtTest>
#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <ctime>
#endif

// The processor time the process has used so far. The C library's clock() is no measure of it on Windows,
// where it counts the time since the start.
inline qint64 CpuMilliseconds()
{
#ifdef Q_OS_WIN
    FILETIME creation, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    const auto milliseconds = [](const FILETIME& time) {
        return ((qint64(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
    };
    return milliseconds(kernel) + milliseconds(user);
#else
    return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC;
#endif
}

// A second of the event loop takes less than a quarter second of processor time: no notifier or timer keeps
// it busy while nothing is to be done.
inline bool IdleLoopIsQuiet()
{
    const qint64 nStart = CpuMilliseconds();
    QTest::qWait(1000);
    return CpuMilliseconds() - nStart < 250;
}
