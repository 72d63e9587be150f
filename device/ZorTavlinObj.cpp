#include "device/ZorTavlinObj.h"

#include "infra/ZorLogFile.h"

#include <wx/log.h>
#include <wx/time.h>
#include <wx/window.h>

ZorTavlinObj* gpTheTavlin = nullptr;

const int ZOR_EVT_TAVLIN_ADD = wxNewEventType();
const int ZOR_EVT_TAVLIN_REMOVE = wxNewEventType();
const int ZOR_EVT_TAVLIN_MASTER_NEW = wxNewEventType();
const int ZOR_EVT_TAVLIN_CONFIGURE = wxNewEventType();
const int ZOR_EVT_SOCKET_ERROR = wxNewEventType();
const int ZOR_EVT_FIN_OK = wxNewEventType();
const int ZOR_EVT_FIN_KO = wxNewEventType();

wxCriticalSection& ZorGlobalLock()
{
    // Recursive: the timer holds it while observers run, and they may read the state again.
    static wxCriticalSection lock(wxCRITSEC_DEFAULT);
    return lock;
}
