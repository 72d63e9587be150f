// The one device manager of the library: registry of discovered devices, monitored device,
// master record, listeners, worker thread, surveillance timer, commands, start and stop.
//
// Thread rules.
// - Main thread only (the toolkit's): creation and destruction, Start and Stop, the registry's
//   changes (AddTavlin, NewTavlinMaster, the tick), the master record, the listeners and
//   observers, the settings and black-list files, SetClock, and everything forwarded to the
//   network object.
// - Any thread: the command methods (they queue under the lock; a waiting one may sleep up to
//   about 5 s, never holding the lock), GetLesTavlin, GetEtat, IsEtatValide, GetVersion,
//   GetSequenceEtat, CommandesLivrees, IsNewEtat, RazNewEtat, VerifierEtatAuto, the poll spacing,
//   IsModeUART.
// - The worker thread reaches the manager only under the lock, for the queue, the polling target
//   and the published state; it reads the atomic flags without it.
// The lock (ZorGlobalLock, recursive) guards the command queue, the polling target
// (m_zTheIP, m_zTheIPLocal, m_zAddrMACSurveillee), the published state (m_etat, its number, the
// fetch in flight), the registry against readers on other threads and m_iDerniereCommande. It is
// held only for short copies and walks: never during a transfer, a parse, a log write, a
// datagram or a listener call.
// States: the worker publishes each new state of the monitored device once, numbered; listeners
// are told each one on the main thread (ZorTavlinListener::OnTavlinEtat). A consumer that needs
// a fresh state asks for one (DemanderEtatFrais) and waits for a number beyond the one it got,
// or listens: nobody clears a flag another consumer reads. IsNewEtat/RazNewEtat are for hosts.
// Listeners and observers are called on the main thread, synchronously, after the lock was
// released, in the order they were added (see ZorTavlinListener.h).
// Lifetime: the manager outlives its worker (joined by Stop and the destructor); it does not own
// its plain listeners, which must be removed before they die, nor the clock set by SetClock.
#pragma once

#include "device/ZorTavlinListener.h"
#include "device/ZorTavlinRecords.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorExport.h"
#include "network/ZorDiscoverySink.h"
#include "network/ZorRechercheAdresse.h"
#include "network/ZorTavlinNetwork.h"

#include <wx/event.h>
#include <wx/hashmap.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

class ZorClock;
class ZorTavlinObj;
class wxWindow;
// The worker's choice of request (internal: hosts never see its header).
struct ZorChoixEntree;
struct ZorChoixRequete;

// The single device manager, null when none exists.
extern ZOR_EXPORT ZorTavlinObj* gpTheTavlin;

// Event types given to listeners, and to observer windows as payload-free command events.
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_ADD;
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_REMOVE;
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_MASTER_NEW;
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_CONFIGURE;
// An address configuration ended without moving the device (EchecConfigurationAdresse says why).
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_CONFIGURE_ECHEC;
extern ZOR_EXPORT const int ZOR_EVT_SOCKET_ERROR;
extern ZOR_EXPORT const int ZOR_EVT_FIN_OK;
extern ZOR_EXPORT const int ZOR_EVT_FIN_KO;
// A new state of the monitored device was published (GetEtat gives it with its number).
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_ETAT;

// The library-wide recursive lock: command queue, polling target, published state, registry walk.
wxCriticalSection& ZorGlobalLock();

// Library version text written to the log.
#define ZOR_TAVLIN_VERSION wxT("2.0")
// Access code the library's own callers pass to the memory and e-mail commands.
#define ZOR_CODE_ACCES wxT("Wd3kPv")

class ZorTavlinThread;

class ZOR_EXPORT ZorTavlinObj : public wxEvtHandler, public ZorDiscoverySink
{
    // The worker calls ChoisirPasse, its one private operation.
    friend class ZorTavlinThread;

public:
    static bool CreateTavlinObj();
    static void DeleteTavlinObj();

    virtual ~ZorTavlinObj();

    // Registry, monitored device, master record, observers. The registry holds at most
    // iTavlinMax devices: past it, a new hardware address takes the place of the record seen
    // longest ago, never the monitored device's nor one seen within iTavlinProtegeS seconds
    // (refused when none may go); logged at most once a minute.
    static constexpr size_t iTavlinMax = 1024;
    static constexpr int iTavlinProtegeS = 3;
    void AddTavlin(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                   const wxString& zCommentaire, const wxString& zLogin, const wxString& zPwd,
                   const wxString& zMask, const wxString& zGateway, bool bDHCPEnabled,
                   const wxString& zIPLocal, const wxString& zMaskLocal,
                   const wxString& zGatewayLocal, const wxString& zVersion) override;
    void GetLesTavlin(ZorTavlinInfoArray& array);
    // How many devices the registry holds (any thread), without copying it.
    size_t GetNombreTavlin() const;
    void NewTavlinMaster(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                         const wxString& zCommentaire, const wxString& zLogin, const wxString& zPwd,
                         const wxString& zMask, const wxString& zGateway, bool bDHCPEnabled,
                         const wxString& zIPLocal, const wxString& zMaskLocal,
                         const wxString& zGatewayLocal, const wxString& zVersion) override;
    // Tells every listener and observer ZOR_EVT_TAVLIN_CONFIGURE.
    void ConfigurationAdresseDemarree() override;
    // Tells every listener and observer ZOR_EVT_TAVLIN_CONFIGURE_ECHEC.
    void ConfigurationAdresseEchouee(const wxString& zMAC) override;
    // True when the last address configuration of this device gave it no address, and why.
    bool EchecConfigurationAdresse(const wxString& zMAC, ZorIssueAdresse* pIssue) const;
    void RazTavlinMaster();
    void GetTavlinMaster(ZorTavlinInfo* pInfo);
    void SurveillerAddrMAC(const wxString& zMAC);
    void SetTheIP(const wxString& zIP, const wxString& zIPLocal);
    // The worker's polling target as it stands (any thread; read under the lock): the monitored
    // hardware address and where it is polled; each out-parameter may be null.
    void GetCible(wxString* pzMAC, wxString* pzIP, wxString* pzIPLocal) const;
    // The settings instance name given to the last Start (empty before).
    const wxString& GetNom() const { return m_zNom; }
    // Listeners: AddListener ignores null and listeners already there, otherwise appends it
    // and tells it alone ZOR_EVT_TAVLIN_ADD; NotifyListeners tells every one, in order.
    void AddListener(ZorTavlinListener* pListener);
    void RemoveListener(ZorTavlinListener* pListener);
    void NotifyListeners(int iEventType);
    size_t GetNombreListeners() const { return m_arrayObserver.size(); }
    // Observer windows, for window code only (defined with the windows): each window is a
    // listener of the same list that gets the event as a payload-free wxCommandEvent.
    // SendToObserver sends to that window alone, or with null to every listener.
    void AddObserver(wxWindow* pWindow);
    void RemoveObserver(wxWindow* pWindow);
    void SendToObserver(int iEventType, wxWindow* pWindow);

    // The clock every rule of time reads; the system's unless a test sets another (which must
    // outlive the manager or be unset with null first). Main thread, before Start.
    void SetClock(ZorClock* pClock);
    const ZorClock& Clock() const;

    // Shows the device list (window code, defined with the dialog) and, when the user chose a
    // device, keeps it in the settings (ADDR_MAC, ADDR_IP, ADDR_IPLOCAL) and gives back its
    // values; each out-parameter may be null. False, with emptied values, when none was chosen.
    bool AfficherListe(wxString* pzMAC, wxString* pzIP, wxString* pzNom, wxString* pzCommentaire,
                       wxString* pzLogin, wxString* pzPwd, wxString* pzMask, wxString* pzGateway,
                       bool* pbDHCPEnabled, wxString* pzIPLocal, wxString* pzMaskLocal,
                       wxString* pzGatewayLocal, wxString* pzVersion, bool* pbMultipleCarte);

    // Start, stop and settings.
    bool Start(const wxString& zNom, bool bRestaurer);
    void Stop();
    bool IsStarted() const { return m_bStarted; }
    // Started for a caller that consumes the command queue itself: the settings are read as by
    // Start (UART mode, black list) but no network, worker or surveillance tick runs, so every
    // queued command stays queued. False when already started.
    bool StartSansTransport(const wxString& zNom);
    void ReadListeCarteBlackList();
    // The black list as the adapters apply it ("MAC;MAC;"), from the file or the last change.
    wxString GetListeCarteBlackList() const;
    // False, the list in memory unchanged, when the file could not be written (the reason is
    // logged and said on standard error) or the address is empty or holds a ";".
    bool WriteListeCarteBlackList(bool bAjouter, const wxString& zMACCarte);
    // The restart datagram to the device on every adapter; false when the manager is not
    // started or no adapter could send it.
    bool Reboot(const wxString& zIP);
    // The master hello on every adapter; false when no adapter could send it.
    bool DiscoverMaster();
    // A discovery hello on every adapter now, besides the periodic ones: for a caller waiting
    // for a device that restarts, perhaps at another address. False as DiscoverMaster.
    bool Decouvrir();
    // One hello of type iType ('D' discovery, 'M' master) to zDest through the adapter
    // zIPLocal, or through every adapter when it is empty; false when none could send it. For
    // callers that choose the destination themselves; works before Start once the network is
    // open (OuvrirReseau).
    bool EnvoyerHello(const wxString& zDest, const wxString& zIPLocal, uint8_t iType);
    // The restart datagram to zDest through zIPLocal (every adapter when empty), started or not.
    bool EnvoyerReboot(const wxString& zDest, const wxString& zIPLocal);
    // The adapters and their discovery sockets without the rest of Start (no worker, no timer):
    // OuvrirReseau opens them (false when none could be opened), FermerReseau closes them,
    // RechercherCartes looks for added or removed adapters now (as the tick does every few
    // seconds; false when the system could not list them), LireDatagrammes reads what waits
    // on the sockets now (for hosts whose event loop delivers no socket events).
    bool OuvrirReseau();
    void FermerReseau();
    bool RechercherCartes();
    void LireDatagrammes();
    // Discovery answers dropped since creation (malformed, own, or from a black-listed card).
    uint64_t GetNombreReponsesIgnorees() const;
    void SetModeAdresseAutomatique(int iMode);
    void ConfigureAdresseTavlin(const wxString& zMAC, const wxString& zLogin, const wxString& zPwd,
                                const wxString& zIPLocal, const wxString& zMaskLocal,
                                const wxString& zGatewayLocal);
    // Moves the device d to the address zVers, which must lie on the network of the adapter
    // that heard it and not be that adapter's own: the address search offers zVers alone and
    // tests it once (if it is taken, *pOccupee turns true, set from the search's thread, and the
    // configuration ends as failed). False, nothing sent, when zVers is not such an address.
    // The outcome is followed as for ConfigureAdresseTavlin (EchecConfigurationAdresse, the
    // registry).
    bool ReadresserVers(const ZorTavlinInfo& d, const wxString& zVers,
                        std::shared_ptr<std::atomic<bool>> pOccupee);
    // How the address search tells whether an address is free (the ICMP echo unless set).
    void SetTestAdresseLibre(ZorRechercheAdresse::TestLibre test);
    ZorCarteEthPtrArray& GetArrayCarteEth();
    void GetVersion(wxString* pzVersion);

    // Surveillance and the published state.
    void OnTimer(wxTimerEvent& event);
    // One surveillance tick now, as the timer gives it (and re-armed the same way when started).
    void TickSurveillance();
    // The delay of the armed tick in ms (always a single shot), -1 when none is armed.
    int GetDelaiTickMs() const;
    // Ticks since the last adapter rescan (0 just after one).
    int GetTicksDepuisScan() const { return m_iCountTimer; }
    // Clock seconds of the last broadcast hello (the clock's now when the clock was set or the
    // manager started).
    int64_t GetDernierHello() const;
    void GetEtat(ZorTavlinData& etat);
    // The state with its number, read together (0: none published since the manager was made).
    void GetEtat(ZorTavlinData& etat, uint64_t* piSequence);
    uint64_t GetSequenceEtat();
    // Asks for a fresh state of a device: watches zMAC (empty: the device watched now) and
    // queues a state request (bWait as the commands). Returns the number to wait beyond: every
    // state numbered beyond it was fetched after this call (the automatic polls answer too, so
    // a request that found the queue full is no failure).
    uint64_t DemanderEtatFrais(const wxString& zMAC, bool bWait);
    // Every queued command taken by the worker (the queue is empty). *piSequence (may be null)
    // then gets the number to wait beyond for a state that answers the last of them.
    bool CommandesLivrees(uint64_t* piSequence);
    // Commands queued and not yet taken (any thread).
    size_t GetNombreCommandes() const;
    // For a transport that consumes the queue itself (StartSansTransport) as the worker does:
    // PrendreCommande takes the oldest queued command (false, *pCommande untouched, when none
    // waits); PublierEtat publishes a state fetched from zIP (a copy, numbered, under the lock)
    // and delivers it to the listeners on the main thread; false when zIP is no longer watched.
    bool PrendreCommande(ZorTavlinCommande* pCommande);
    bool PublierEtat(const ZorTavlinData& etat, const wxString& zIP);
    bool IsEtatValide();
    bool IsNewEtat() const { return m_bNewEtat; }
    void RazNewEtat() { m_bNewEtat = false; }
    void VerifierEtatAuto(bool bAuto) { m_bVerifierEtatAuto = bAuto; }
    void SetTimeAlive(int iSecondes) { m_iTimeAlive = iSecondes; }
    int GetTimeAlive() const { return m_iTimeAlive; }
    // Takes effect when the next worker starts.
    void SetDefaultTimeSurveillanceMs(int iMs) { m_iTimeSurveillanceMs = iMs; }
    int GetDefaultTimeSurveillanceMs() const { return m_iTimeSurveillanceMs; }
    // False when the choice could not be kept in the settings file (or before Start).
    bool SelectionnerUART(bool bUART);

    // Command catalogue: each call queues one request and reports only whether it was queued.
    bool RazUARTTout(bool bWait);
    bool WriteUART(const wxString& zTexte, bool bWait);
    bool ShowFab(bool bOn, bool bWait);
    bool ShowEmailConf(bool bOn, bool bWait);
    bool ShowFlash(bool bOn, bool bWait);
    bool ShowEeprom(bool bOn, bool bWait);
    bool Inscription(const wxString& s1, const wxString& s2, const wxString& s3, bool bWait);
    bool ResetInscription(bool bWait);
    bool StopAcquisition(bool bWait);
    bool StartAcquisitionToMem(const wxString& s, unsigned int a, unsigned int b, bool bWait);
    bool StartAcquisitionToZorSrv(const wxString& s, unsigned int a, unsigned int b,
                                  const wxString& t, bool bWait);
    bool ResetMemAcquisitionByIp(const wxString& zCode, const wxString& zIP,
                                 const wxString& zIPLocal, bool bWait);
    bool ResetMemAcquisition(const wxString& zCode, bool bWait);
    bool EraseFlashTotalByIp(const wxString& zCode, const wxString& zIP, const wxString& zIPLocal,
                             bool bWait);
    bool EraseFlashTotal(const wxString& zCode, bool bWait);
    bool EraseEepromTotalByIp(const wxString& zCode, const wxString& zIP, const wxString& zIPLocal,
                              bool bWait);
    bool EraseEepromTotal(const wxString& zCode, bool bWait);
    bool WriteFlash(const wxString& s1, const wxString& s2, bool bWait);
    bool WriteEeprom(const wxString& s1, const wxString& s2, bool bWait);
    bool SetSNUM(const wxString& zBits, bool bWait);
    bool SetSNUM(uint8_t iValeur, bool bWait);
    bool SetSRELAIS(const wxString& zBits, bool bWait);
    bool SetSRELAIS(uint8_t iValeur, bool bWait);
    bool SetSNUM_SRELAIS(uint8_t iSNUM, uint8_t iSRELAIS, bool bWait);
    bool SetSANA(int iIndex, uint8_t iValeur, bool bWait);
    bool SetAutoByIp(int iValeur, const wxString& zIP, const wxString& zIPLocal, bool bWait);
    bool SetAuto(int iValeur, bool bWait);
    bool SetPauseAutomate(bool bPause, bool bWait);
    bool EraseProgAutomate(int n, bool bWait);
    bool ResetMemAutomateByIp(const wxString& zCode, const wxString& zIP, const wxString& zIPLocal,
                              bool bWait);
    bool ResetMemAutomate(const wxString& zCode, bool bWait);
    bool BlinkByIp(const wxString& zIP, const wxString& zIPLocal, bool bWait);
    bool Blink(bool bWait);
    bool AppelerPageEtat(bool bWait);
    bool PersonnaliserByIp(const wxString& zIP, const wxString& zIPLocal, const wxString& zNom,
                           const wxString& zCommentaire, const wxString& zLogin,
                           const wxString& zPwd, const wxString& zNewPwd, bool bWait);
    bool Personnaliser(const wxString& zNom, const wxString& zCommentaire, const wxString& zLogin,
                       const wxString& zPwd, const wxString& zNewPwd, bool bWait);
    bool SetNewConfigNetworkByIp(const wxString& zIP, const wxString& zIPLocal,
                                 const wxString& zLogin, const wxString& zPwd,
                                 const wxString& zNewIP, const wxString& zNewMask,
                                 const wxString& zNewGateway, bool bDHCP, bool bWait);
    bool WriteFab(const wxString& zId, int iJour, int iMois, int iAnnee, int iHeure, int iMinute,
                  int iSeconde, int iFab1, int iFab2, bool bWait);
    bool SetHorloge(int iJour, int iMois, int iAnnee, int iHeure, int iMinute, int iSeconde,
                    bool bWait);
    bool WriteEmailConfByIp(const wxString& zCode, const wxString& zIP, const wxString& zIPLocal,
                            const wxString& zServeur, const wxString& zPort, const wxString& zLogin,
                            const wxString& zPwd, bool bSSL, bool bWait);
    bool WriteEmailConf(const wxString& zCode, const wxString& zServeur, const wxString& zPort,
                        const wxString& zLogin, const wxString& zPwd, bool bSSL, bool bWait);

    // UART mode as read at the last Start.
    bool IsModeUART() const { return m_bModeUART; }

protected:
    ZorTavlinObj();

private:
    void UpdateTheIP();
    // A full registry: removes the record a new device may replace (under the lock); false
    // when none may go. *pzLog gets the line for the log file, once a minute.
    bool FaireDeLaPlace(const wxString& zMAC, wxString* pzLog);
    // The record of zMAC (null when unknown), and the removal of record i from the registry
    // and its index: under the lock.
    ZorTavlinInfo* TrouverTavlin(const wxString& zMAC) const;
    void RetirerTavlin(size_t i);
    bool PushCommande(const wxString& zQuery, const wxString& zIP, const wxString& zIPLocal,
                      bool bWait, const wxString& zPage);
    void LanceThread();
    // A listener the manager owns (the adaptor of an observer window).
    void AddOwnedListener(std::unique_ptr<ZorTavlinListener> pListener);
    // Calls every listener in order (NotifyListeners' walk, for any kind of call).
    void Prevenir(const std::function<void(ZorTavlinListener&)>& appel);
    // One surveillance tick: presence stages and the periodic hello (under the lock), then the
    // datagrams and the removal event (without it).
    void Surveiller();
    // The discovery hello on every adapter; a failure is logged when it begins and ends.
    bool EnvoyerHelloDiffuse();
    // Lets the worker deliver commands queued within the last second, then ends it.
    void ArretThread();
    void LivrerCommandes();
    // The worker's choice for one pass (ZorChoisirRequete) on the queue and the polling target
    // as they stand, under the lock: the oldest command leaves the queue into *pPrise when the
    // choice takes it, and a poll of the monitored device counts as in flight. iProchainPollMs:
    // clock ms when the poll spacing has passed. *pzTheIP gets the monitored address read.
    ZorChoixRequete ChoisirPasse(ZorChoixEntree e, int64_t iProchainPollMs,
                                 std::unique_ptr<ZorTavlinCommande>* pPrise, wxString* pzTheIP);
    void LivrerEtats();
    void GetDirectoryAndFileConf(const wxString& zNom, wxString* pzDirectory, wxString* pzFile);
    // The settings of instance zNom: the file, the UART mode and the black list.
    void LireReglages(const wxString& zNom);

    // The published state and the command queue are the manager's alone: callers read them
    // through GetEtat, GetNombreCommandes, CommandesLivrees and the operations above.
    ZorTavlinData m_etat;
    // Flags and the poll spacing are read by the worker without the lock, hence atomic.
    std::atomic<bool> m_bVerifierEtatAuto;
    std::atomic<bool> m_bModeUART;
    ZorTavlinNetwork m_network;
    bool m_bStarted;
    ZorTavlinInfo m_master;
    ZorTavlinInfoArray m_arrayTavlin;
    // The registry's records by hardware address (the same objects, under the same lock): an
    // answer finds its record at once, not after a walk of the whole registry.
    std::unordered_map<wxString, ZorTavlinInfo*, wxStringHash, wxStringEqual> m_indexMAC;
    ZorTavlinCommandeArray m_arrayCommande;
    // When the last command was queued (clock ms, under the lock); 0 once delivered or none.
    int64_t m_iDerniereCommande;
    wxString m_zTheIP;
    wxString m_zTheIPLocal;
    wxString m_zAddrMACSurveillee;
    wxString m_zNom;
    int m_iTimeAlive;
    std::atomic<int> m_iTimeSurveillanceMs;
    wxTimer* m_pTimer;
    // Clock seconds of the last broadcast hello.
    int64_t m_iLastHello;
    std::atomic<bool> m_bNewEtat;
    // Number of the last published state, and the watched device's state fetch in flight (its
    // address, empty when none): both under the lock.
    uint64_t m_iSequenceEtat = 0;
    wxString m_zIPEtatEnVol;
    // States published but not yet told to the listeners (their own mutex: the worker never
    // waits on the main thread's delivery). Bounded, for hosts that serve no events for long.
    static constexpr size_t kEtatsEnAttenteMax = 64;
    std::mutex m_mutexEtats;
    std::deque<std::pair<uint64_t, std::shared_ptr<const ZorTavlinData>>> m_etatsEnAttente;
    // Listeners in the order they were added (not owned), and the adaptors of observer windows
    // (owned; a removed one is kept until the delivery in progress has ended).
    std::vector<ZorTavlinListener*> m_arrayObserver;
    std::vector<std::unique_ptr<ZorTavlinListener>> m_listenersPropres;
    std::vector<std::unique_ptr<ZorTavlinListener>> m_listenersRetires;
    int m_iLivraisons = 0;
    ZorClock* m_pClock = nullptr;
    ZorConfiguration m_config;
    ZorConfiguration m_configBlackList;
    int m_iCountTimer;
    // The full registry: when it was last logged (clock ms, -1 never), what it did since start.
    static constexpr int64_t kLogRegistrePleinMs = 60000;
    int64_t m_iLogRegistrePleinMs = -1;
    uint64_t m_iRegistreRemplacees = 0;
    uint64_t m_iRegistreRefusees = 0;
    // The last broadcast hello could not be sent (logged once until one goes out again).
    bool m_bHelloEnEchec = false;

    wxDECLARE_EVENT_TABLE();
};
