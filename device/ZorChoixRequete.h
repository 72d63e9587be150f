// The worker's choice for one pass, as a pure function: which request goes out (the command
// held by the serial board exchange, the oldest queued command, a poll of the monitored device,
// or none), the path it asks for, where it goes, and how long the worker pauses afterwards.
#pragma once

#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

// What the worker knows at the start of a pass.
struct ZorChoixEntree
{
    bool bUART = false;                        // serial board mode
    bool bAuto = false;                        // the worker polls by itself
    const ZorTavlinCommande* pTenue = nullptr; // held until the board exchange's last step
    const ZorTavlinCommande* pFile = nullptr;  // the oldest queued command
    wxString zTheIP;                           // the monitored device
    wxString zTheIPLocal;
    int iAttentePollMs = 0; // until the poll spacing has passed; 0 or less: it has
    wxString zDate;         // cache-busting suffix of this moment ("?date=...")
};

struct ZorChoixRequete
{
    enum Genre {
        ZOR_AUCUNE,   // nothing to send in this pass
        ZOR_TENUE,    // the held command's page again, for the exchange's next step
        ZOR_COMMANDE, // a queued command, sent at once with its parameters
        ZOR_TENIR,    // a queued command for the monitored device in UART mode: held from now on
        ZOR_POLL,     // the monitored device's state page
    };
    Genre genre = ZOR_AUCUNE;
    bool bPrendFile = false; // the oldest queued command leaves the queue
    wxString zChemin;        // page, date suffix and, for ZOR_COMMANDE, the parameters
    wxString zCible;
    wxString zLocal;
    // The board exchange's step parameter (and the clock, when due) are appended to the path.
    bool bEtapeUART = false;
    int iPauseMs = 0;
};

ZorChoixRequete ZorChoisirRequete(const ZorChoixEntree& e);
