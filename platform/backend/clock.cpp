#include "backend/clock.h"

#include "backend/backend.h"

#include <poll.h>

#include <algorithm>
#include <ctime>

namespace platform::backend {

std::uint64_t systemUptimeMilliseconds() {
    timespec ts{};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0) clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1'000'000u;
}

SYSTEMTIME systemLocalTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const std::time_t seconds = ts.tv_sec;
    std::tm tm{};
    localtime_r(&seconds, &tm);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(tm.tm_year + 1900);
    t.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    t.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    t.wDay = static_cast<WORD>(tm.tm_mday);
    t.wHour = static_cast<WORD>(tm.tm_hour);
    t.wMinute = static_cast<WORD>(tm.tm_min);
    // A leap second reads as the last ordinary one.
    t.wSecond = static_cast<WORD>(std::min(tm.tm_sec, 59));
    t.wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1'000'000);
    return t;
}

bool waitUntil(std::uint64_t tick, int inputFd) {
    pollfd watched[2];
    nfds_t count = 0;
    if (const int wake = closeRequestFd(); wake >= 0) watched[count++] = pollfd{wake, POLLIN, 0};
    if (inputFd >= 0) watched[count++] = pollfd{inputFd, POLLIN, 0};
    // The uptime is read from CLOCK_BOOTTIME; the timeout runs on the
    // monotonic clock, which moves at the same rate while the system runs.
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowNs = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
    const std::uint64_t nowMs = nowNs / 1'000'000u;
    const std::uint64_t untilNs = std::max(tick, nowMs + 1) * 1'000'000u - nowNs;
    const timespec timeout{static_cast<time_t>(untilNs / 1'000'000'000u), static_cast<long>(untilNs % 1'000'000'000u)};
    return ppoll(watched, count, &timeout, nullptr) == 0;
}

}  // namespace platform::backend
