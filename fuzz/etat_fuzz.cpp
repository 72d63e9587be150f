// Feeds arbitrary reply bytes to the state page parser, in both I/O modes and at every step of
// the serial board exchange, and checks the invariants a caller relies on.
#include "device/ZorHttpGet.h"
#include "device/ZorTavlinCommandes.h"
#include "device/ZorTavlinEtat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // First byte: mode, exchange step, sending flag; the rest is the reply as received.
    const uint8_t choix = data[0];
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    const wxString reply = ZorHttpGet::Texte(body);

    ZorTavlinData d;
    ZorEtatUART uart;
    uart.m_iEtapeUART = choix % 5;
    uart.m_bCommandeUART = (choix & 0x10) != 0;
    uart.m_bEnvoiUART = (choix & 0x20) != 0;
    const bool bUART = (choix & 0x40) != 0;
    ZorParseEtat(reply, bUART, d, uart);

    if (uart.m_iEtapeUART < 0 || uart.m_iEtapeUART > 4)
        abort();
    if (d.m_bValide && reply.Find(wxT("SRELAIS")) == wxNOT_FOUND)
        abort();
    if (d.m_iSRELAIS > 0x0F)
        abort();
    if (!bUART && (d.m_iSNUM != 0 || d.m_iENUM != 0) && reply.Find(wxT("NUM")) == wxNOT_FOUND)
        abort();
    if (d.m_zCOMMENT.length() > reply.length())
        abort();
    if (d.m_zCOMMENT.Find(wxUniChar(0)) != wxNOT_FOUND)
        abort();
    // Parsing is deterministic: the same reply from the same state gives the same record.
    ZorTavlinData d2;
    ZorEtatUART uart2;
    uart2.m_iEtapeUART = choix % 5;
    uart2.m_bCommandeUART = (choix & 0x10) != 0;
    uart2.m_bEnvoiUART = (choix & 0x20) != 0;
    ZorParseEtat(reply, bUART, d2, uart2);
    if (d2.m_iSRELAIS != d.m_iSRELAIS || d2.m_zUART != d.m_zUART || d2.m_iAUTO != d.m_iAUTO)
        abort();
    ZorEtatRequeteUART(uart, wxT("&X=1"));

    // The e-mail password decoding takes the same untrusted text (the device's SMTPPWD).
    wxString pwd;
    if (ZorDecodeEmailPwd(d.m_zSMTPPWD, &pwd) && d.m_zSMTPPWD.length() % 2 == 0) {
        wxString code;
        if (!ZorEncodeEmailPwd(pwd, &code) || code.length() != d.m_zSMTPPWD.length())
            abort();
    }
    return 0;
}
