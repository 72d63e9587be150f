// Every duration of the device manager, its worker and its surveillance tick, in one place.
// Rules read the manager's clock (ZorTavlinObj::Clock), so tests drive them with a
// ZorManualClock; only the real waits (a pause of the worker, the timer's interval) use them as
// plain lengths.
#pragma once

#include <cstdint>

namespace ZorDelais {

// Surveillance tick: the first one half a second after Start, then one a second after the
// previous one ended; the adapters are rescanned every third tick.
constexpr int kPremierTickMs = 500;
constexpr int kTickMs = 1000;
constexpr int kTicksEntreScans = 3;

// Presence: a device is probed after more than TimeAlive seconds of silence, probed again after
// 2 s more and dropped after 4 s more. The broadcast hello goes out after more than 30 s.
constexpr int kTimeAliveDefautS = 10;
constexpr int64_t kDelaiEtapeS[3] = {0, 2, 4};
constexpr int64_t kHelloPeriodiqueS = 30;

// Queue: a waiting caller looks for room every 10 ms, 500 times (about 5 s).
constexpr int kAttenteFileMs = 10;
constexpr int kAttentesFileMax = 500;

// Stop: commands queued within the last second are delivered first, within that second; the
// worker then ends, or is killed after 2 s.
constexpr int kLivraisonArretMs = 1000;
constexpr int kFinWorkerMs = 2000;

// Worker: minimum spacing of the automatic polls (from the start of one fetch to the start of
// the next), and the pause after a pass with a request or an idle one.
constexpr int kEspacementPollDefautMs = 50;
constexpr int kPauseRequeteMs = 1;
constexpr int kPauseInactiveMs = 10;

} // namespace ZorDelais
