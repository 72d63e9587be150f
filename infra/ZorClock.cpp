#include "infra/ZorClock.h"

#include <chrono>
#include <thread>

ZorClock::~ZorClock() = default;

int64_t ZorSystemClock::NowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t ZorSystemClock::EpochSeconds() const
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

void ZorSystemClock::SleepMs(int64_t iMs) const
{
    if (iMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(iMs));
}

ZorClock& ZorDefaultClock()
{
    static ZorSystemClock clock;
    return clock;
}
