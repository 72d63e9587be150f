// What the device manager tells the rest of the program: one of the ZOR_EVT_* event types, with
// no payload (the listener reads the registry or the state again).
//
// Thread rules: called on the toolkit's main thread, synchronously, never with the library-wide
// lock held, in the order the listeners were added. A listener may add or remove listeners
// (itself included) while it is called.
#pragma once

#include "infra/ZorExport.h"

class ZOR_EXPORT ZorTavlinListener
{
public:
    virtual ~ZorTavlinListener() = default;
    virtual void OnTavlinEvent(int iEventType) = 0;
};
