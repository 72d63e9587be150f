// What the device manager tells the rest of the program: one of the ZOR_EVT_* event types, with
// no payload (the listener reads the registry or the state again), and each new state of the
// monitored device with its number.
//
// Thread rules: called on the toolkit's main thread, synchronously, never with the library-wide
// lock held, in the order the listeners were added. A listener may add or remove listeners
// (itself included) while it is called.
#pragma once

#include "infra/ZorExport.h"

#include <cstdint>

class ZorTavlinData;

class ZOR_EXPORT ZorTavlinListener
{
public:
    virtual ~ZorTavlinListener() = default;
    virtual void OnTavlinEvent(int iEventType) = 0;
    // Every state the manager publishes, in order, each with its number (one more than the
    // last; a jump means states were dropped because nobody served the main thread's events
    // for a long time). The default tells it as ZOR_EVT_TAVLIN_ETAT.
    virtual void OnTavlinEtat(uint64_t iSequence, const ZorTavlinData& etat);
};
