// The device's state page: parsing a reply into a ZorTavlinData, and the exchange with the I/O
// board on the device's serial port (UART mode). Pure functions: no sockets, no lock, no window.
#pragma once

#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

#include <cstdint>

// Where the exchange with the serial I/O board stands. Belongs to the worker thread.
struct ZorEtatUART
{
    int m_iEtapeUART = 0;         // 0..4, see ZorEtatRequeteUART
    bool m_bCommandeUART = false; // a command is held until step 4
    bool m_bEnvoiUART = true;     // the current step's parameter may be sent
    int m_iEssaisUART = 0;        // replies read in the current step

    // Last values the board gave: every reply starts from a blank record, yet a caller expects
    // the board's outputs and inputs to stay put between the replies that carry them.
    bool m_bLuIO = false;
    uint8_t m_iSNUM = 0;
    uint8_t m_iENUM = 0;
    bool m_bLuAna = false;
    int16_t m_iEANA[4] = {0, 0, 0, 0};

    void Reset() { *this = ZorEtatUART(); }
};

// The device's clock value when it was never set.
#define ZOR_DATETIME_NON_REGLE wxT("00/00/2000_00:00:00")

// Fills data from a reply (ReInit first). In UART mode the I/O keys are ignored and the UART key
// advances the board exchange held in uart. Returns true when the page reported an unset clock.
bool ZorParseEtat(const wxString& zReply, bool bModeUART, ZorTavlinData& data, ZorEtatUART& uart);

// Decodes "&#NNN;" references (1 to 10 digits; the low 8 bits, when not 0, as a Latin-1 character).
wxString ZorDecodeReferences(const wxString& zTexte);

// Parameter of the current exchange step for the next request ("" when nothing may be sent);
// zQueryTenue is the held command's parameters, sent at step 4.
wxString ZorEtatRequeteUART(ZorEtatUART& uart, const wxString& zQueryTenue);
