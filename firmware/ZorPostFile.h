// The HTTP file post without windows: ZorPostFile, the upload thread (libcurl, bound to the
// local adapter, abortable at once), and ZorPostFileTransfert, which runs one upload with the
// rules of its waiting dialog (60 s limit, end delay after a fast or a slow end, cancel) on a
// ZorClock, so a program without a display posts the same way and tests run the 60 s rule in
// milliseconds.
#pragma once

#include "firmware/ZorCodesFirmware.h"
#include "infra/ZorClock.h"
#include "infra/ZorExport.h"
#include "network/ZorCurlRunner.h"

#include <wx/event.h>
#include <wx/string.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include <atomic>
#include <functional>
#include <string>

// The upload thread's end (id 6000) and the second event it is given but never sends (6001).
wxDECLARE_EXPORTED_EVENT(ZOR_EXPORT, ZOR_EVT_POST_FIN, wxThreadEvent);
wxDECLARE_EXPORTED_EVENT(ZOR_EXPORT, ZOR_EVT_POST_SECOND, wxThreadEvent);

class ZorPostFile : public wxThread
{
public:
    enum { ID_FIN = 6000, ID_SECOND = 6001 };

    ZorPostFile(wxEvtHandler* pDestinataire, wxEventType typeFin, int iIdFin,
                wxEventType typeSecond, int iIdSecond);
    ~ZorPostFile() override;

    // Stores copies of the arguments and runs the thread once. False, with the error REQUETE
    // (the request could not be made), when the system does not start the thread: no end event
    // will come then.
    bool Lancer(const wxString& zFichier, const wxString& zChemin, const wxString& zIP,
                const wxString& zIPLocal, const wxString& zDisposition, int iTimeOutSec,
                wxString* pzReponse);
    // From the main thread: a connect or transfer in progress ends at once.
    void StopThread();
    // How the system thread is started: Create then Run by default; tests put a start that
    // fails in its place.
    void SetDemarrage(std::function<bool(wxThread&)> demarrage)
    {
        m_demarrage = std::move(demarrage);
    }
    ZorCodePost GetErreur() const { return m_erreur.load(); }
    // Keeps the code; a change to a failure of the thread (-2 to -4) is written to the log once.
    void SetErreur(ZorCodePost erreur);

    // The whole request body for a file's bytes (what goes on the wire after the headers).
    static std::string Corps(const std::string& zDisposition, const std::string& contenu);
    // The response as the caller keeps it: each piece of 1024 bytes up to its first zero byte.
    static wxString TexteReponse(const std::string& brut);

protected:
    ExitCode Entry() override;

private:
    ZorCodePost Poster(const std::string& corps, std::string* pReponse);

    wxEvtHandler* m_pDestinataire;
    wxEventType m_typeFin, m_typeSecond;
    int m_iIdFin, m_iIdSecond;
    std::atomic<ZorCodePost> m_erreur{ZorCodePost::SUCCES};
    std::string m_zFichier, m_zChemin, m_zIP, m_zIPLocal, m_zDisposition;
    int m_iTimeOutSec = 120;
    wxString* m_pzReponse = nullptr;
    ZorCurlRunner m_runner; // aborted by StopThread
    std::function<bool(wxThread&)> m_demarrage;
};

class ZOR_EXPORT ZorPostFileVue
{
public:
    virtual ~ZorPostFileVue();
    virtual void OnFin(ZorCodePost code) = 0;
};

class ZOR_EXPORT ZorPostFileTransfert : public wxEvtHandler
{
public:
    static constexpr int64_t kDelaiMaxMs = 60000;      // no end by then: DELAI
    static constexpr int64_t kAffichageMinMs = 2000;   // an end before this is a fast end
    static constexpr int64_t kFinApresRapideMs = 1000; // shown that long after a fast end
    static constexpr int64_t kFinApresLenteMs = 500;   // and after a slow one

    explicit ZorPostFileTransfert(ZorPostFileVue& vue, const ZorClock& clock = ZorDefaultClock());
    ~ZorPostFileTransfert() override;

    // False when stopped already, when the address, file or path is empty, or the file cannot be
    // opened; the local address and the disposition may be empty.
    bool Init(const wxString& zIP, const wxString& zIPLocal, const wxString& zFichier,
              const wxString& zChemin, const wxString& zDisposition, int iTimeOutSec,
              bool bAnnulable);
    // Starts the thread and the deadlines. A thread the system does not start ends the
    // transfer at once with its error (REQUETE), not after the 60 s limit.
    void Demarrer();
    // The user cancels: ANNULE when cancel is allowed; otherwise nothing happens (false).
    bool Annuler();
    // Runs what the deadlines passed call for (the timer does it; tests call it).
    void Verifier();
    int64_t DelaiProchaineEcheance() const;

    bool IsAnnulable() const { return m_bAnnulable; }
    bool IsTermine() const { return m_bTermine; }
    const wxString& GetIP() const { return m_zIP; }
    const wxString& GetReponse() const { return m_zReponse; }
    wxULongLong GetLongueur() const { return m_iLongueur; }
    ZorPostFile& Thread() { return m_thread; }

private:
    void OnEndUpload(wxThreadEvent& event);
    void OnTimer(wxTimerEvent& event);
    void StopUploadTavlin();
    void Attendre();
    void EndDialog(ZorCodePost code);
    void Armer();

    ZorPostFileVue& m_vue;
    const ZorClock& m_clock;
    ZorPostFile m_thread;
    wxTimer m_timer;
    wxString m_zIP, m_zIPLocal, m_zFichier, m_zChemin, m_zDisposition, m_zReponse;
    int m_iTimeOutSec = 120;
    bool m_bAnnulable = false;
    wxULongLong m_iLongueur = 0;
    bool m_bEvenementsCoupes = false;
    bool m_bLance = false;
    bool m_bJoint = false;
    bool m_bTermine = false;
    int64_t m_iDebut = -1, m_iDelaiMax = -1, m_iFin = -1;
};
