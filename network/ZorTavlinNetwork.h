// The network object: the PC's adapters with one discovery socket each, and the UDP
// discovery and addressing protocol.
#pragma once

#include "infra/ZorExport.h"
#include "network/ZorCarteEth.h"

#include <wx/arrstr.h>
#include <wx/event.h>
#include <wx/socket.h>
#include <wx/string.h>

#include <cstdint>
#include <vector>

class ZOR_EXPORT ZorTavlinNetwork : public wxEvtHandler
{
public:
    ZorTavlinNetwork();
    virtual ~ZorTavlinNetwork();

    // Adapters.
    bool InitNetwork();
    void ExitNetwork();
    bool SearchCarteEth();
    void AddLoopback();

    // Discovery and addressing.
    void SendHello(const wxString& zDest, const wxString& zIPLocal, uint8_t iType);
    void SendReboot(const wxString& zDest, const wxString& zIPLocal);
    void ConfigureAdresseTavlin(const wxString& zMAC, const wxString& zLogin,
                                const wxString& zPwd, const wxString& zIPLocal,
                                const wxString& zMaskLocal, const wxString& zGatewayLocal);
    void ForceReadOnDatagram();

    int m_iModeAdresseAutomatique;
    ZorCarteEthPtrArray m_arrayCarteEth;
    wxString m_zListeCarteBlackList;
    bool m_bInit;

protected:
    bool CreateDatagramSocket(wxEvtHandler& handler, int id, ZorCarteEth* pCarte, uint16_t iPort);
    void DestroyDatagramSocket();
    bool EnableBroadcast(wxDatagramSocket* pSocket, bool bEnable);
    unsigned int GetMaxMsgSize(wxDatagramSocket* pSocket);

    bool SendDatagram(const wxString& zDest, const wxString& zIPLocal, uint16_t iPort,
                      const void* pData, size_t iLen);
    size_t DoInputSocketDatagram(wxDatagramSocket* pSocket, const wxString& zIPLocal,
                                 const wxString& zMaskLocal, const wxString& zGatewayLocal);
    void OnSocketDatagram(wxSocketEvent& event);

private:
    void HexaToAdresseIP(wxString zHexa, wxString* pzResult);
    void AdresseIPToHexa(wxString zIP, wxString* pzResult);

    // Creates a discovery socket on the port: on any address tied to the adapter's interface
    // (adapter-only traffic, broadcasts included), or on the adapter's own address.
    wxDatagramSocket* OuvrirSocket(const ZorCarteEth& carte, uint16_t iPort, bool bSurInterface);
    ZorCarteEth* ChercheCarte(const wxString& zMAC, int iIndex,
                              const std::vector<ZorCarteEth*>& dejaVues);
    void LogCarteSocket(ZorCarteEth* pCarte);
    // Closes every socket and deletes every adapter record.
    void SupprimerCartes();

    // Hardware addresses whose address configuration is running (the echo test lets events
    // through, so a second answer of the same device must not start a second one).
    wxArrayString m_arrayEnConfiguration;

    wxDECLARE_EVENT_TABLE();
};
