// The network object: the PC's adapters with one discovery socket each, and the UDP
// discovery and addressing protocol. What it learns goes to its sink (ZorDiscoverySink).
//
// Thread rules: every member is called on the toolkit's main thread, and the sink is called
// there too. Only the free-address search of an address configuration runs on a thread of its
// own (ZorRechercheAdresse); the main thread takes its result on a short timer (or at the next
// ForceReadOnDatagram) and sends the configuration datagram from there.
// Lifetime: the sink must outlive the object or be unset first. ExitNetwork and the destructor
// end a running search and drop its result; planned hellos are dropped by ExitNetwork too.
#pragma once

#include "infra/ZorExport.h"
#include "network/ZorCarteEth.h"
#include "network/ZorRechercheAdresse.h"

#include <wx/event.h>
#include <wx/socket.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <cstdint>
#include <map>
#include <vector>

class ZorClock;
class ZorDiscoverySink;

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
    // True when a usable adapter of the PC (not black-listed) has this address and mask.
    bool EstCarteActive(const wxString& zIP, const wxString& zMask) const;

    // Discovery and addressing. The sends are true when at least one adapter sent the datagram
    // (an empty destination sends nothing: false).
    bool SendHello(const wxString& zDest, const wxString& zIPLocal, uint8_t iType);
    bool SendReboot(const wxString& zDest, const wxString& zIPLocal);
    void ConfigureAdresseTavlin(const wxString& zMAC, const wxString& zLogin, const wxString& zPwd,
                                const wxString& zIPLocal, const wxString& zMaskLocal,
                                const wxString& zGatewayLocal);
    // Reads every waiting datagram; also delivers finished address searches and sends the
    // hellos that are due, for hosts that run no event loop.
    void ForceReadOnDatagram();

    // Where answers, master answers and configuration starts go (nothing when null).
    void SetSink(ZorDiscoverySink* pSink) { m_pSink = pSink; }
    // The clock of the hellos after a configuration and of the log of ignored answers.
    void SetClock(ZorClock& clock) { m_pClock = &clock; }
    // The free-address search: tests give it their own free-address test and candidates.
    ZorRechercheAdresse& GetRechercheAdresse() { return m_recherche; }
    // True when the last address configuration of this device (hardware address as the
    // answers give it) ended without an address, and why; false while one runs, after one
    // succeeded, or a minute after the failure was first logged.
    bool EchecConfiguration(const wxString& zMAC, ZorIssueAdresse* pIssue) const;
    // Answers ignored because they were not well formed, since the object was made.
    uint64_t GetNombreReponsesIgnorees() const { return m_iReponsesIgnorees; }
    // Sockets of other programs on the discovery port of this PC (-1: cannot tell). A device
    // that answers by unicast reaches only one of the programs, so what this one hears may
    // then be incomplete; broadcast answers reach them all.
    static int AutresProgrammesDecouverte();

    // After the configuration datagram, hellos to the device at its new address once its
    // restart can be over (ms after the datagram), so it is registered again soon: a restart
    // takes the devices about three seconds, and a slower one is caught by the second hello.
    static constexpr int64_t iHelloApresConfigurationMs[2] = {3500, 5000};
    // Once its configuration datagram is out, a device is not configured again until the
    // hellos above have had their answers: callers that poll the registry still see its old
    // address meanwhile, and a second configuration would move it away a second time.
    static constexpr int64_t iCalmeApresConfigurationMs = iHelloApresConfigurationMs[1] + 1000;
    // An ignored answer's sender is logged at most once in this time.
    static constexpr int64_t iLogIgnoreesMs = 60000;

    int m_iModeAdresseAutomatique;
    ZorCarteEthPtrArray m_arrayCarteEth;
    wxString m_zListeCarteBlackList;
    bool m_bInit;

protected:
    bool CreateDatagramSocket(wxEvtHandler& handler, int id, ZorCarteEth* pCarte, uint16_t iPort);
    void DestroyDatagramSocket();
    bool EnableBroadcast(wxDatagramSocket* pSocket, bool bEnable);

    bool SendDatagram(const wxString& zDest, const wxString& zIPLocal, uint16_t iPort,
                      const void* pData, size_t iLen);
    size_t DoInputSocketDatagram(wxDatagramSocket* pSocket, const wxString& zIPLocal,
                                 const wxString& zMaskLocal, const wxString& zGatewayLocal);
    // What one datagram from zSource, received on the adapter zIPLocal, means for discovery.
    void TraiterDatagramme(const uint8_t* pData, size_t iRecus, const wxString& zSource,
                           const wxString& zIPLocal, const wxString& zMaskLocal,
                           const wxString& zGatewayLocal);
    void OnSocketDatagram(wxSocketEvent& event);
    // Reads the datagrams waiting on the socket of card iCarte, at most kLecturesParPasse.
    static constexpr int kLecturesParPasse = 1000;
    void LireEnAttente(size_t iCarte);

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

    // An address configuration waiting for its free address, by hardware address: a second
    // answer of the same device meanwhile starts no second one.
    struct Configuration
    {
        std::string zMAC, zLogin, zPwd, zMaskHexa, zGatewayHexa;
        wxString zIPLocal;
    };
    // A hello to send once the clock reaches iEcheanceMs.
    struct HelloPrevu
    {
        int64_t iEcheanceMs;
        wxString zDest;
        wxString zIPLocal;
    };

    // Sends the configuration datagrams of the finished searches.
    void LivrerRecherches();
    void EnvoyerHellosPrevus();
    // Follows the running searches and the planned hellos while there are any.
    void SuivreConfigurations();
    void OnTimerSuivi(wxTimerEvent& event);
    void NoterIgnoree(const wxString& zSource, int iQualite);
    // Logs (once a minute per device and reason) and reports a search that found no address.
    void NoterEchecConfiguration(const std::string& zMac8, ZorIssueAdresse eIssue,
                                 const wxString& zIPLocal);

    ZorDiscoverySink* m_pSink;
    ZorClock* m_pClock;
    ZorRechercheAdresse m_recherche;
    std::map<std::string, Configuration> m_enConfiguration;
    // When each device's configuration datagram went out (entries older than the calm go).
    std::map<std::string, int64_t> m_configurees;
    std::vector<HelloPrevu> m_hellosPrevus;
    // Address configurations that ended without an address, by hardware address.
    struct Echec
    {
        ZorIssueAdresse eIssue;
        int64_t iLogMs; // when it was logged
        bool bActif;    // no configuration of the device started since
    };
    std::map<std::string, Echec> m_echecs;
    wxTimer m_timerSuivi;
    uint64_t m_iReponsesIgnorees;
    // When each sender of ignored answers was last logged (bounded, see NoterIgnoree).
    std::map<wxString, int64_t> m_logIgnorees;

    wxDECLARE_EVENT_TABLE();
};
