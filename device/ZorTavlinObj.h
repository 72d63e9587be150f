// The one device manager of the library: registry of discovered devices, monitored device,
// master record, observers, worker thread, surveillance timer, commands, start and stop.
#pragma once

#include "device/ZorTavlinRecords.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorExport.h"
#include "network/ZorTavlinNetwork.h"

#include <wx/event.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include <atomic>

class ZorTavlinObj;

// The single device manager, null when none exists.
extern ZOR_EXPORT ZorTavlinObj* gpTheTavlin;

// Event types sent to observer windows (payload-free command events).
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_ADD;
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_REMOVE;
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_MASTER_NEW;
extern ZOR_EXPORT const int ZOR_EVT_TAVLIN_CONFIGURE;
extern ZOR_EXPORT const int ZOR_EVT_SOCKET_ERROR;
extern ZOR_EXPORT const int ZOR_EVT_FIN_OK;
extern ZOR_EXPORT const int ZOR_EVT_FIN_KO;

// The library-wide recursive lock: command queue, polling target, published state, registry walk.
wxCriticalSection& ZorGlobalLock();

// Library version text written to the log.
#define ZOR_TAVLIN_VERSION wxT("2.0")
// Access code the library's own callers pass to the memory and e-mail commands.
#define ZOR_CODE_ACCES wxT("Wd3kPv")

class ZorTavlinThread;

class ZOR_EXPORT ZorTavlinObj : public wxEvtHandler
{
    friend class ZorTavlinThread;

public:
    static bool CreateTavlinObj();
    static void DeleteTavlinObj();

    virtual ~ZorTavlinObj();

    // Registry, monitored device, master record, observers.
    void AddTavlin(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                   const wxString& zCommentaire, const wxString& zLogin, const wxString& zPwd,
                   const wxString& zMask, const wxString& zGateway, bool bDHCPEnabled,
                   const wxString& zIPLocal, const wxString& zMaskLocal,
                   const wxString& zGatewayLocal, const wxString& zVersion);
    void GetLesTavlin(ZorTavlinInfoArray& array);
    void NewTavlinMaster(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                         const wxString& zCommentaire, const wxString& zLogin,
                         const wxString& zPwd, const wxString& zMask, const wxString& zGateway,
                         bool bDHCPEnabled, const wxString& zIPLocal, const wxString& zMaskLocal,
                         const wxString& zGatewayLocal, const wxString& zVersion);
    void RazTavlinMaster();
    void GetTavlinMaster(ZorTavlinInfo* pInfo);
    void SurveillerAddrMAC(const wxString& zMAC);
    void SetTheIP(const wxString& zIP, const wxString& zIPLocal);
    void AddObserver(wxWindow* pWindow);
    void RemoveObserver(wxWindow* pWindow);
    void SendToObserver(int iEventType, wxWindow* pWindow);

    // Start, stop and settings.
    bool Start(const wxString& zNom, bool bRestaurer);
    void Stop();
    bool IsStarted() const { return m_bStarted; }
    void ReadListeCarteBlackList();
    void WriteListeCarteBlackList(bool bAjouter, const wxString& zMACCarte);
    void Reboot(const wxString& zIP);
    void DiscoverMaster();
    void SetModeAdresseAutomatique(int iMode);
    void ConfigureAdresseTavlin(const wxString& zMAC, const wxString& zLogin,
                                const wxString& zPwd, const wxString& zIPLocal,
                                const wxString& zMaskLocal, const wxString& zGatewayLocal);
    ZorCarteEthPtrArray& GetArrayCarteEth();
    void GetVersion(wxString* pzVersion);

    // Surveillance and the published state.
    void OnTimer(wxTimerEvent& event);
    void GetEtat(ZorTavlinData& etat);
    bool IsEtatValide();
    bool IsNewEtat() const { return m_bNewEtat; }
    void RazNewEtat() { m_bNewEtat = false; }
    void VerifierEtatAuto(bool bAuto) { m_bVerifierEtatAuto = bAuto; }
    void SetTimeAlive(int iSecondes) { m_iTimeAlive = iSecondes; }
    void SetDefaultTimeSurveillanceMs(int iMs) { m_iTimeSurveillanceMs = iMs; }
    int GetDefaultTimeSurveillanceMs() const { return m_iTimeSurveillanceMs; }
    void SelectionnerUART(bool bUART);

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
    bool EraseFlashTotalByIp(const wxString& zCode, const wxString& zIP,
                             const wxString& zIPLocal, bool bWait);
    bool EraseFlashTotal(const wxString& zCode, bool bWait);
    bool EraseEepromTotalByIp(const wxString& zCode, const wxString& zIP,
                              const wxString& zIPLocal, bool bWait);
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
    bool ResetMemAutomateByIp(const wxString& zCode, const wxString& zIP,
                              const wxString& zIPLocal, bool bWait);
    bool ResetMemAutomate(const wxString& zCode, bool bWait);
    bool BlinkByIp(const wxString& zIP, const wxString& zIPLocal, bool bWait);
    bool Blink(bool bWait);
    bool AppelerPageEtat(bool bWait);
    bool PersonnaliserByIp(const wxString& zIP, const wxString& zIPLocal, const wxString& zNom,
                           const wxString& zCommentaire, const wxString& zLogin,
                           const wxString& zPwd, const wxString& zNewPwd, bool bWait);
    bool Personnaliser(const wxString& zNom, const wxString& zCommentaire,
                       const wxString& zLogin, const wxString& zPwd, const wxString& zNewPwd,
                       bool bWait);
    bool SetNewConfigNetworkByIp(const wxString& zIP, const wxString& zIPLocal,
                                 const wxString& zLogin, const wxString& zPwd,
                                 const wxString& zNewIP, const wxString& zNewMask,
                                 const wxString& zNewGateway, bool bDHCP, bool bWait);
    bool WriteFab(const wxString& zId, int iJour, int iMois, int iAnnee, int iHeure,
                  int iMinute, int iSeconde, int iFab1, int iFab2, bool bWait);
    bool SetHorloge(int iJour, int iMois, int iAnnee, int iHeure, int iMinute, int iSeconde,
                    bool bWait);
    bool WriteEmailConfByIp(const wxString& zCode, const wxString& zIP, const wxString& zIPLocal,
                            const wxString& zServeur, const wxString& zPort,
                            const wxString& zLogin, const wxString& zPwd, bool bSSL,
                            bool bWait);
    bool WriteEmailConf(const wxString& zCode, const wxString& zServeur, const wxString& zPort,
                        const wxString& zLogin, const wxString& zPwd, bool bSSL, bool bWait);

    // Read by the worker thread as plain values.
    bool IsModeUART() const { return m_bModeUART; }
    bool IsVerifierEtatAuto() const { return m_bVerifierEtatAuto; }

protected:
    ZorTavlinObj();

private:
    void UpdateTheIP();
    bool PushCommande(const wxString& zQuery, const wxString& zIP, const wxString& zIPLocal,
                      bool bWait, const wxString& zPage);
    void LanceThread();
    // Lets the worker deliver commands queued within the last second, then ends it.
    void ArretThread();
    void LivrerCommandes();
    void GetDirectoryAndFileConf(const wxString& zNom, wxString* pzDirectory,
                                 wxString* pzFile);

public:
    ZorTavlinData m_etat;
    // Flags and the poll spacing are read by the worker without the lock, hence atomic.
    std::atomic<bool> m_bVerifierEtatAuto;
    std::atomic<bool> m_bModeUART;
    ZorTavlinNetwork m_network;
    bool m_bStarted;
    ZorTavlinInfo m_master;
    ZorTavlinInfoArray m_arrayTavlin;
    ZorTavlinCommandeArray m_arrayCommande;
    // When the last command was queued (ms, under the lock); 0 once delivered or none.
    wxLongLong m_iDerniereCommande;
    wxString m_zTheIP;
    wxString m_zTheIPLocal;
    wxString m_zAddrMACSurveillee;
    wxString m_zNom;
    int m_iTimeAlive;
    std::atomic<int> m_iTimeSurveillanceMs;
    wxTimer* m_pTimer;
    long m_iLastHello;
    std::atomic<bool> m_bNewEtat;
    ZorWindowArray m_arrayObserver;
    ZorConfiguration m_config;
    ZorConfiguration m_configBlackList;
    int m_iCountTimer;

    wxDECLARE_EVENT_TABLE();
};
