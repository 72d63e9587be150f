// Where the library reads the time. Every rule expressed in seconds or milliseconds (presence
// delays, queue waits, poll spacing, transfer and dialog time-outs) asks a ZorClock, so tests
// drive a ZorManualClock and check a 60 s rule in a few milliseconds.
//
// Thread rules: every member may be called from any thread at any time.
#pragma once

#include "infra/ZorExport.h"

#include <atomic>
#include <cstdint>

class ZOR_EXPORT ZorClock
{
public:
    virtual ~ZorClock();
    // Monotonic milliseconds since an arbitrary origin: for spacings, delays and time-outs.
    virtual int64_t NowMs() const = 0;
    // Wall-clock seconds since the epoch: for times stored in records and shown to people.
    virtual int64_t EpochSeconds() const = 0;
    // Waits at most iMs milliseconds (a manual clock returns at once). For loops that poll.
    virtual void SleepMs(int64_t iMs) const = 0;
};

// The system's clocks.
class ZOR_EXPORT ZorSystemClock : public ZorClock
{
public:
    int64_t NowMs() const override;
    int64_t EpochSeconds() const override;
    void SleepMs(int64_t iMs) const override;
};

// A clock the test moves by hand. SleepMs advances it by the time asked for, so a loop that
// waits for a deadline reaches it without waiting for real.
class ZOR_EXPORT ZorManualClock : public ZorClock
{
public:
    explicit ZorManualClock(int64_t iStartMs = 1000000, int64_t iStartEpoch = 1780000000)
        : m_iMs(iStartMs), m_iEpochOrigin(iStartEpoch - iStartMs / 1000)
    {}
    int64_t NowMs() const override { return m_iMs.load(); }
    int64_t EpochSeconds() const override { return m_iEpochOrigin + m_iMs.load() / 1000; }
    void SleepMs(int64_t iMs) const override
    {
        if (iMs > 0)
            m_iMs += iMs;
    }
    void Advance(int64_t iMs) { m_iMs += iMs; }

private:
    mutable std::atomic<int64_t> m_iMs;
    int64_t m_iEpochOrigin;
};

// The clock the library uses unless a test sets another: the system clock.
ZOR_EXPORT ZorClock& ZorDefaultClock();
