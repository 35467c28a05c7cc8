// The clock the field logger reads: local calendar time with milliseconds, and a sleep. It is
// an interface so that tests and demonstrations run faster than real time and give the same
// times every run.
#pragma once

#include <cstdint>

struct CClockTime {
    std::int64_t time = 0;  // calendar seconds since 1970-01-01 UTC
    int iMilliSecond = 0;   // 0 to 999
    friend bool operator==(const CClockTime&, const CClockTime&) = default;
};

class CClock {
public:
    virtual ~CClock() = default;
    virtual CClockTime Now() = 0;
    // Waits about this long (the manual clock just moves on by it).
    virtual void SleepMs(int iMilliSeconds) = 0;
};

// The computer's clock.
class CSystemClock : public CClock {
public:
    CClockTime Now() override;
    void SleepMs(int iMilliSeconds) override;
};

// A clock that only moves when told to: Advance and SleepMs move it on.
class CManualClock : public CClock {
public:
    explicit CManualClock(CClockTime start = {}) : now_(start) {}
    CClockTime Now() override { return now_; }
    void SleepMs(int iMilliSeconds) override { Advance(iMilliSeconds); }
    void Set(CClockTime t) { now_ = t; }
    // Negative steps are ignored: time never runs backwards.
    void Advance(std::int64_t iMilliSeconds);

private:
    CClockTime now_;
};
