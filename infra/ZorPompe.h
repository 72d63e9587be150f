// Waiting on the main thread for something the toolkit delivers (a thread's end event, a
// socket's reply, a timer): the one loop the library's programs and the tests use for it. It
// serves the toolkit's pending events and idle handlers until a condition holds or a time
// passes, so that a program without a running main loop (a command-line verb, a test) still
// gets its events, and no wait can last for ever.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <functional>

// Serves events until done() is true, iMs milliseconds of real time have passed, or stop() is
// true; returns done()'s last answer. A null done waits the whole time (or until stop()). Uses
// the active event loop, else one of its own made at the first wait and left active (call
// ZorPomper(0, nullptr) before starting threads that wake the main thread, so the loop they
// wake exists before them); each round waits at most
// iAttenteMaxMs for an event and serves at most 1000 of them, so done() is asked at least that
// often even under a flood. A caller whose condition only changes with an event (or a thread
// that wakes the loop) may wait longer between looks, and wakes the machine less often.
// Without a toolkit application it only sleeps.
bool ZorPomper(int64_t iMs, const std::function<bool()>& done,
               const std::function<bool()>& stop = nullptr, int iAttenteMaxMs = 10);
