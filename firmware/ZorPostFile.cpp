#include "firmware/ZorPostFile.h"

#include "device/ZorHttpGet.h"
#include "firmware/ZorFirmwareFormat.h"
#include "infra/ZorLogFile.h"

#include <wx/file.h>

#include <algorithm>
#include <fstream>

wxDEFINE_EVENT(ZOR_EVT_POST_FIN, wxThreadEvent);
wxDEFINE_EVENT(ZOR_EVT_POST_SECOND, wxThreadEvent);

namespace {

std::string Octets(const wxString& z)
{
    return std::string(z.utf8_str());
}

} // namespace

// ---- The upload thread ----

ZorPostFile::ZorPostFile(wxEvtHandler* pDestinataire, wxEventType typeFin, int iIdFin,
                         wxEventType typeSecond, int iIdSecond)
    : wxThread(wxTHREAD_JOINABLE), m_pDestinataire(pDestinataire), m_typeFin(typeFin),
      m_typeSecond(typeSecond), m_iIdFin(iIdFin), m_iIdSecond(iIdSecond)
{}

ZorPostFile::~ZorPostFile() = default;

bool ZorPostFile::Lancer(const wxString& zFichier, const wxString& zChemin, const wxString& zIP,
                         const wxString& zIPLocal, const wxString& zDisposition, int iTimeOutSec,
                         wxString* pzReponse)
{
    // Byte copies: the thread shares no string buffer with the main thread.
    m_zFichier = std::string(zFichier.mb_str(*wxConvFileName));
    m_zChemin = Octets(zChemin);
    m_zIP = Octets(zIP);
    m_zIPLocal = Octets(zIPLocal);
    m_zDisposition = std::string(zDisposition.mb_str(wxConvISO8859_1));
    m_iTimeOutSec = iTimeOutSec;
    m_pzReponse = pzReponse;
    const bool bDemarre = m_demarrage ? m_demarrage(*this)
                                      : Create() == wxTHREAD_NO_ERROR && Run() == wxTHREAD_NO_ERROR;
    if (!bDemarre)
        SetErreur(ZorCodePost::REQUETE);
    return bDemarre;
}

void ZorPostFile::StopThread()
{
    m_runner.Abort();
}

void ZorPostFile::SetErreur(ZorCodePost erreur)
{
    if (erreur == m_erreur.load())
        return;
    if (erreur == ZorCodePost::FICHIER || erreur == ZorCodePost::ADRESSE ||
        erreur == ZorCodePost::REQUETE)
        gTheLogFile.Write(
            wxT("ZorPostFile::Erreur durant le téléchargement de fichiers vers la Tavlin [%d]"),
            ZorCode(erreur));
    m_erreur = erreur;
}

std::string ZorPostFile::Corps(const std::string& zDisposition, const std::string& contenu)
{
    return ZorFirmware::DebutCorps(zDisposition) + contenu + ZorFirmware::FinCorps();
}

wxString ZorPostFile::TexteReponse(const std::string& brut)
{
    wxString z;
    for (size_t i = 0; i < brut.size(); i += 1024) {
        const std::string morceau = brut.substr(i, 1024);
        z += wxString::From8BitData(morceau.c_str(), strnlen(morceau.c_str(), morceau.size()));
    }
    return z;
}

wxThread::ExitCode ZorPostFile::Entry()
{
    std::ifstream fichier(m_zFichier, std::ios::binary);
    std::string hote;
    if (!fichier) {
        SetErreur(ZorCodePost::FICHIER);
    } else if (!ZorHttpGet::DecouperURL(wxString::FromUTF8("http://" + m_zIP + "/"), &hote,
                                        nullptr) ||
               hote.find(':') != std::string::npos) {
        SetErreur(ZorCodePost::ADRESSE); // not an address the client can connect to on port 80
    } else {
        // The body in one piece, the file read into it in place.
        const std::string debut = ZorFirmware::DebutCorps(m_zDisposition),
                          fin = ZorFirmware::FinCorps();
        fichier.seekg(0, std::ios::end);
        const size_t iTaille = size_t(std::max<std::streamoff>(0, fichier.tellg()));
        fichier.seekg(0);
        std::string corps(debut.size() + iTaille + fin.size(), '\0');
        corps.replace(0, debut.size(), debut);
        fichier.read(&corps[debut.size()], std::streamsize(iTaille));
        corps.replace(debut.size() + iTaille, fin.size(), fin);
        std::string reponse;
        const ZorCodePost code = fichier.gcount() == std::streamsize(iTaille)
                                     ? Poster(corps, &reponse)
                                     : ZorCodePost::FICHIER;
        if (code != ZorCodePost::SUCCES) {
            SetErreur(code);
        } else {
            if (m_pzReponse)
                *m_pzReponse += TexteReponse(reponse);
            m_erreur = ZorCodePost::SUCCES;
        }
    }
    if (m_pDestinataire) {
        wxThreadEvent* pFin = new wxThreadEvent(m_typeFin, m_iIdFin);
        wxQueueEvent(m_pDestinataire, pFin);
    }
    return nullptr;
}

ZorCodePost ZorPostFile::Poster(const std::string& corps, std::string* pReponse)
{
    ZorCurlRunner::Requete requete;
    requete.zURL = "http://" + m_zIP + m_zChemin;
    requete.zIPLocal = m_zIPLocal;
    requete.iTotalMs = long(std::max(1, m_iTimeOutSec)) * 1000;
    requete.pCorps = &corps;
    requete.entetes = {"Content-type: " + ZorFirmware::ContentType(),
                       "Expect:", // the devices' server does not do 100-continue
                       "Connection: close"};
    const ZorCurlRunner::Fin fin = m_runner.Executer(requete, *pReponse);
    const long iStatut = m_runner.GetStatut();
    // Statuses 1xx to 3xx are answers; anything else, or no answer at all, is a failed request.
    return fin == ZorCurlRunner::Fin::OK && iStatut >= 100 && iStatut < 400 ? ZorCodePost::SUCCES
                                                                            : ZorCodePost::REQUETE;
}

// ---- One upload with its dialog's rules ----

ZorPostFileVue::~ZorPostFileVue() = default;

ZorPostFileTransfert::ZorPostFileTransfert(ZorPostFileVue& vue, const ZorClock& clock)
    : m_vue(vue), m_clock(clock), m_thread(this, ZOR_EVT_POST_FIN, ZorPostFile::ID_FIN,
                                           ZOR_EVT_POST_SECOND, ZorPostFile::ID_SECOND),
      m_timer(this)
{
    Bind(ZOR_EVT_POST_FIN, &ZorPostFileTransfert::OnEndUpload, this, ZorPostFile::ID_FIN);
    Bind(wxEVT_TIMER, &ZorPostFileTransfert::OnTimer, this, m_timer.GetId());
}

ZorPostFileTransfert::~ZorPostFileTransfert()
{
    m_bEvenementsCoupes = true;
    m_timer.Stop();
    m_thread.StopThread();
    Attendre();
}

bool ZorPostFileTransfert::Init(const wxString& zIP, const wxString& zIPLocal,
                                const wxString& zFichier, const wxString& zChemin,
                                const wxString& zDisposition, int iTimeOutSec, bool bAnnulable)
{
    if (m_bEvenementsCoupes || m_bLance || zIP.empty() || zFichier.empty() || zChemin.empty())
        return false;
    wxFile fichier;
    // Looked at before it is opened: opening a FIFO blocks.
    if (ZorFirmware::VerifierImage(std::string(zFichier.mb_str(*wxConvFileName)), std::string()) !=
            ZorFirmware::RefusImage::AUCUN ||
        !fichier.Open(zFichier))
        return false;
    m_iLongueur = wxULongLong(fichier.Length());
    m_zIP = zIP;
    m_zIPLocal = zIPLocal;
    m_zFichier = zFichier;
    m_zChemin = zChemin;
    m_zDisposition = zDisposition;
    m_iTimeOutSec = iTimeOutSec;
    m_bAnnulable = bAnnulable;
    return true;
}

void ZorPostFileTransfert::Demarrer()
{
    if (m_bEvenementsCoupes || m_bLance)
        return;
    m_bLance = true;
    // A thread that did not start has nothing to join and sends no end event.
    m_bJoint = !m_thread.Lancer(m_zFichier, m_zChemin, m_zIP, m_zIPLocal, m_zDisposition,
                                m_iTimeOutSec, &m_zReponse);
    m_iDebut = m_clock.NowMs();
    m_iDelaiMax = m_iDebut + kDelaiMaxMs;
    if (m_bJoint)
        m_iFin = m_iDebut; // its error now, from the timer (never inside the caller's call)
    Armer();
}

bool ZorPostFileTransfert::Annuler()
{
    if (m_bEvenementsCoupes || !m_bAnnulable || m_bTermine)
        return false;
    StopUploadTavlin();
    EndDialog(ZorCodePost::ANNULE);
    return true;
}

void ZorPostFileTransfert::OnEndUpload(wxThreadEvent&)
{
    if (m_bEvenementsCoupes || m_bTermine)
        return;
    // The dialog stays up long enough to be read after a fast end.
    const bool bRapide = m_clock.NowMs() - m_iDebut < kAffichageMinMs;
    m_iFin = m_clock.NowMs() + (bRapide ? kFinApresRapideMs : kFinApresLenteMs);
    Attendre();
    Armer();
}

void ZorPostFileTransfert::Verifier()
{
    if (m_bEvenementsCoupes || m_bTermine)
        return;
    const int64_t iMaintenant = m_clock.NowMs();
    if (m_iDelaiMax >= 0 && iMaintenant >= m_iDelaiMax) {
        StopUploadTavlin();
        EndDialog(ZorCodePost::DELAI);
    } else if (m_iFin >= 0 && iMaintenant >= m_iFin) {
        EndDialog(m_thread.GetErreur());
    }
}

int64_t ZorPostFileTransfert::DelaiProchaineEcheance() const
{
    if (m_bTermine || m_bEvenementsCoupes || m_iDelaiMax < 0)
        return -1;
    const int64_t iProchaine = m_iFin >= 0 ? std::min(m_iFin, m_iDelaiMax) : m_iDelaiMax;
    return std::max<int64_t>(0, iProchaine - m_clock.NowMs());
}

void ZorPostFileTransfert::OnTimer(wxTimerEvent&)
{
    Verifier();
    Armer();
}

void ZorPostFileTransfert::StopUploadTavlin()
{
    m_bEvenementsCoupes = true;
    m_thread.StopThread();
    Attendre();
}

void ZorPostFileTransfert::Attendre()
{
    // A joinable thread is joined once, whether it still runs or already ended.
    if (m_bLance && !m_bJoint) {
        m_thread.Wait();
        m_bJoint = true;
    }
}

void ZorPostFileTransfert::EndDialog(ZorCodePost code)
{
    m_bTermine = true;
    m_iDelaiMax = m_iFin = -1;
    m_timer.Stop();
    m_vue.OnFin(code);
}

void ZorPostFileTransfert::Armer()
{
    const int64_t iDelai = DelaiProchaineEcheance();
    if (iDelai < 0)
        m_timer.Stop();
    else
        m_timer.StartOnce(int(std::max<int64_t>(1, iDelai)));
}
