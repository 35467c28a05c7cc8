#include "common/clock.h"

#include <chrono>
#include <thread>

CClockTime CSystemClock::Now() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    CClockTime t;
    t.time = ms / 1000;
    t.iMilliSecond = static_cast<int>(ms % 1000);
    if (t.iMilliSecond < 0) {  // before 1970 on a clock that was never set
        t.iMilliSecond += 1000;
        t.time -= 1;
    }
    return t;
}

void CSystemClock::SleepMs(int iMilliSeconds) {
    if (iMilliSeconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(iMilliSeconds));
}

void CManualClock::Advance(std::int64_t iMilliSeconds) {
    if (iMilliSeconds <= 0) return;
    const std::int64_t total = now_.iMilliSecond + iMilliSeconds;
    now_.time += total / 1000;
    now_.iMilliSecond = static_cast<int>(total % 1000);
}
