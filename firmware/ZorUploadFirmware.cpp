#include "firmware/ZorUploadFirmware.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorLogFile.h"
#include "platform/ZorPlatform.h"

#include <algorithm>
#include <cstring>

using namespace ZorFirmware;

namespace {
// Socket identifier of the bootloader sockets' events.
const int kIdSocket = wxID_HIGHEST + 1633;
// Replies read in one socket event: at most this many, for at most this long, each awaited
// this long at most.
const int kLotMax = 64;
const int64_t kLotMs = 8;
const int kAttenteReponseMs = 1;
} // namespace

ZorUploadFirmwareVue::~ZorUploadFirmwareVue() = default;

// ---- The exchange ----

ZorUploadFirmwareLogique::ZorUploadFirmwareLogique(ZorUploadFirmwareSink& sink,
                                                   const ZorClock& clock)
    : m_sink(sink), m_clock(clock)
{}

bool ZorUploadFirmwareLogique::Init(const wxString& zChemin)
{
    return m_image.Ouvrir(std::string(zChemin.mb_str(*wxConvFileName)));
}

uint16_t ZorUploadFirmwareLogique::Envoyer(uint8_t iCommande)
{
    uint8_t requete[kTailleRequeteEnregistrement];
    const uint16_t iSequence = m_sequence.Prendre();
    const size_t n =
        ConstruireRequete(requete, m_iId1, m_iId2, iSequence, iCommande, m_image.Enregistrement());
    m_sink.EnvoyerRequete(requete, n);
    return iSequence;
}

void ZorUploadFirmwareLogique::Demarrer()
{
    DoCaptureTarget();
    m_iCapture = Echeance(kCaptureMs);
}

void ZorUploadFirmwareLogique::RelancerCapture()
{
    if (!m_bTermine && !m_bCapture)
        DoCaptureTarget();
}

void ZorUploadFirmwareLogique::DoCaptureTarget()
{
    m_iId1 = m_iId2 = 0;
    EnvoyerCapture();
}

void ZorUploadFirmwareLogique::EnvoyerCapture()
{
    Envoyer(ZOR_BOOT_CAPTURE);
    m_iDerniereCapture = m_clock.NowMs();
    m_iRelanceCapture = Echeance(kRelanceCaptureMs);
    m_iRelanceNonPret = -1;
}

void ZorUploadFirmwareLogique::Recevoir(const uint8_t* pData, size_t iLen)
{
    if (m_bTermine)
        return;
    const Reponse r = LireReponse(pData, std::min(iLen, kTailleReponseMax));
    if (r.iSequence != m_sequence.Derniere())
        return; // an answer to an earlier request (a resent record's first copy, for one)
    if (m_iId1 == 0 && m_iId2 == 0) {
        m_iId1 = r.iId1;
        m_iId2 = r.iId2;
    }
    if (r.iId1 != m_iId1 && r.iId2 != m_iId2)
        return;
    if (r.iCommande == ZOR_BOOT_CAPTURE && !m_bCapture)
        OnTavlinDetecte(r);
    else if (r.iCommande == ZOR_BOOT_ENREGISTREMENT && m_bCapture)
        OnAcquittement(r.iStatut);
}

void ZorUploadFirmwareLogique::OnTavlinDetecte(const Reponse& r)
{
    if (r.iStatut == 0) {
        // Not ready yet: ask again (the identifier bytes kept) as soon as the spacing allows,
        // not at once: a bootloader that answers at once would get a storm of multicast
        // requests. The 15 s capture limit keeps running, so a device that never gets ready
        // (or stops answering) still ends the transfer with 10.
        m_iRelanceNonPret = m_iDerniereCapture + kEspacementNonPretMs;
        if (m_clock.NowMs() >= m_iRelanceNonPret)
            EnvoyerCapture();
        return;
    }
    m_iRelanceCapture = m_iCapture = m_iRelanceNonPret = -1;
    m_bCapture = true;
    const wxString zId = TexteIdentifiant(m_iId1, m_iId2);
    if (!m_zMACAttendue.empty() && !m_zMACAttendue.EndsWith(zId)) {
        SetStatus(ZorStatutBoot::AUTRE_DEVICE);
        Terminer(ZorStatutBoot::AUTRE_DEVICE);
        return;
    }
    m_zIdentifiant = zId;
    m_sink.OnCapture(zId);
    SendProgramme();
}

void ZorUploadFirmwareLogique::SendProgramme()
{
    // An empty image has no record to send: ending as after a last record would tell the
    // device to keep nothing as its program, so it ends like an image that is not there.
    if (!m_image.IsOuvert() || !m_image.Lire()) {
        m_image.Fermer();
        SetStatus(ZorStatutBoot::IMAGE_FERMEE);
        Terminer(ZorStatutBoot::IMAGE_FERMEE);
        return;
    }
    m_iEnvois = 0;
    SendRecord();
}

void ZorUploadFirmwareLogique::SendRecord()
{
    ++m_iEnvois;
    Envoyer(ZOR_BOOT_ENREGISTREMENT);
    m_iAcquittement = Echeance(kAcquittementMs);
}

void ZorUploadFirmwareLogique::OnAcquittement(uint16_t iStatut)
{
    if (StatutEnErreur(iStatut)) {
        FinKO(iStatut);
        return;
    }
    if (!m_image.IsOuvert())
        return;
    m_sink.OnProgression(m_image.Position(), m_image.Longueur());
    if (m_image.Lire()) {
        m_iEnvois = 0;
        SendRecord();
    } else {
        m_image.Fermer();
        FinOK();
    }
}

void ZorUploadFirmwareLogique::FinOK()
{
    m_iAcquittement = -1;
    Envoyer(ZOR_BOOT_FIN);
    m_iFin = Echeance(kFinMs);
}

void ZorUploadFirmwareLogique::FinKO(uint16_t iStatut)
{
    for (ZorStatutBoot statut : CodesStatut(iStatut, m_image.IsOuvert()))
        SetStatus(statut);
    m_image.Fermer();
    Terminer(m_statut);
}

void ZorUploadFirmwareLogique::ErreurReception()
{
    if (m_bTermine)
        return;
    SetStatus(ZorStatutBoot::RECEPTION);
    Terminer(ZorStatutBoot::RECEPTION);
}

void ZorUploadFirmwareLogique::Verifier()
{
    const int64_t iMaintenant = m_clock.NowMs();
    auto echu = [iMaintenant](int64_t& iEcheance) {
        if (iEcheance < 0 || iMaintenant < iEcheance)
            return false;
        iEcheance = -1;
        return true;
    };
    if (!m_bTermine && echu(m_iCapture)) {
        m_iRelanceCapture = -1;
        SetStatus(ZorStatutBoot::SANS_CAPTURE);
        Terminer(ZorStatutBoot::SANS_CAPTURE);
    }
    if (!m_bTermine && echu(m_iRelanceNonPret))
        EnvoyerCapture(); // the retry below is then set afresh
    if (!m_bTermine && echu(m_iRelanceCapture))
        DoCaptureTarget();
    if (!m_bTermine && echu(m_iAcquittement) && m_image.IsOuvert()) {
        if (m_iEnvois < kEnvoisMax) {
            SendRecord(); // a new sequence number: a late reply to the last copy is ignored
        } else {
            m_image.Fermer();
            SetStatus(ZorStatutBoot::SANS_ACQUITTEMENT);
            FinKO(0);
        }
    }
    if (!m_bTermine && echu(m_iFin)) {
        m_statut = ZorStatutBoot::SUCCES;
        Terminer(ZorStatutBoot::SUCCES);
    }
}

int64_t ZorUploadFirmwareLogique::DelaiProchaineEcheance() const
{
    int64_t iProchaine = -1;
    for (int64_t e : {m_iRelanceCapture, m_iRelanceNonPret, m_iCapture, m_iAcquittement, m_iFin})
        if (e >= 0 && (iProchaine < 0 || e < iProchaine))
            iProchaine = e;
    if (iProchaine < 0)
        return -1;
    return std::max<int64_t>(0, iProchaine - m_clock.NowMs());
}

void ZorUploadFirmwareLogique::SetStatus(ZorStatutBoot statut)
{
    if (statut == m_statut)
        return;
    if (statut != ZorStatutBoot::SUCCES)
        gTheLogFile.Write(
            wxT("ZorUploadFirmware::Erreur durant l'upload du firmware de la Tavlin [%d]"),
            ZorCode(statut));
    m_statut = statut;
}

void ZorUploadFirmwareLogique::Terminer(ZorStatutBoot statut)
{
    m_bTermine = true;
    m_iRelanceCapture = m_iRelanceNonPret = m_iCapture = m_iAcquittement = m_iFin = -1;
    m_image.Fermer();
    m_iId1 = m_iId2 = 0;
    m_sink.OnFin(statut);
}

// ---- Sockets ----

ZorUploadFirmwareSocket::~ZorUploadFirmwareSocket()
{
    Fermer();
}

bool ZorUploadFirmwareSocket::CarteUtilisable(const ZorCarteEth& carte)
{
    return !carte.m_bBlackList && !carte.m_zIP.empty() && carte.m_zIP != wxT("0.0.0.0");
}

void ZorUploadFirmwareSocket::Create(wxEvtHandler* pHandler, const ZorCarteEthPtrArray& cartes)
{
    for (const ZorCarteEth* pCarte : cartes) {
        if (!pCarte || !CarteUtilisable(*pCarte))
            continue;
        wxIPV4address adresse;
        if (!adresse.Hostname(pCarte->m_zIP) || !adresse.Service(kPort))
            continue;
        wxDatagramSocket* pSocket =
            new wxDatagramSocket(adresse, wxSOCKET_REUSEADDR | wxSOCKET_NOWAIT);
        if (!pSocket->IsOk()) {
            pSocket->Destroy();
            continue;
        }
        // Through this adapter whatever the routing table says.
        ZorPlatform::FixerInterfaceMulticast(pSocket->GetSocket(),
                                             std::string(pCarte->m_zIP.utf8_str()));
        pSocket->SetTimeout(1);
        pSocket->SetEventHandler(*pHandler, kIdSocket);
        pSocket->SetNotify(wxSOCKET_INPUT_FLAG);
        pSocket->Notify(true);
        m_arraySockets.push_back(pSocket);
    }
}

void ZorUploadFirmwareSocket::Send(const void* pData, size_t iLen)
{
    // Straight to the system: the toolkit's send converts the address at every call, and one
    // request goes out per reply.
    static const uint32_t iGroupe = [] {
        uint32_t i = 0;
        ZorPlatform::ResoudreIPv4(kGroupe, &i, nullptr);
        return i;
    }();
    for (wxDatagramSocket* pSocket : m_arraySockets)
        ZorPlatform::EnvoyerDatagramme(pSocket->GetSocket(), iGroupe, kPort, pData, iLen);
}

void ZorUploadFirmwareSocket::Fermer()
{
    for (wxDatagramSocket* pSocket : m_arraySockets) {
        pSocket->Notify(false);
        pSocket->Destroy();
    }
    m_arraySockets.clear();
}

bool ZorUploadFirmwareSocket::Contient(const wxSocketBase* pSocket) const
{
    return std::find(m_arraySockets.begin(), m_arraySockets.end(), pSocket) != m_arraySockets.end();
}

// ---- The transfer on toolkit events ----

ZorUploadFirmwareTransfert::ZorUploadFirmwareTransfert(ZorUploadFirmwareVue& vue,
                                                       const wxString& zMACAttendue,
                                                       const ZorClock& clock)
    : m_vue(vue), m_clock(clock), m_logique(*this, clock), m_timer(this)
{
    m_logique.SetMACAttendue(zMACAttendue);
    Bind(wxEVT_SOCKET, &ZorUploadFirmwareTransfert::OnSocket, this, kIdSocket);
    Bind(wxEVT_TIMER, &ZorUploadFirmwareTransfert::OnTimer, this, m_timer.GetId());
}

ZorUploadFirmwareTransfert::~ZorUploadFirmwareTransfert()
{
    m_timer.Stop();
    m_sockets.Fermer();
}

void ZorUploadFirmwareTransfert::Demarrer(const ZorCarteEthPtrArray& cartes)
{
    m_sockets.Create(this, cartes);
    m_logique.Demarrer();
    Armer();
}

void ZorUploadFirmwareTransfert::RelancerCapture()
{
    m_logique.RelancerCapture();
    Armer();
}

void ZorUploadFirmwareTransfert::EnvoyerRequete(const uint8_t* pData, size_t iLen)
{
    m_sockets.Send(pData, iLen);
}

void ZorUploadFirmwareTransfert::OnFin(ZorStatutBoot statut)
{
    m_timer.Stop();
    m_sockets.Fermer();
    m_vue.OnFin(statut);
}

void ZorUploadFirmwareTransfert::OnSocket(wxSocketEvent& event)
{
    wxSocketBase* pSocket = event.GetSocket();
    if (event.GetSocketEvent() != wxSOCKET_INPUT || !m_sockets.Contient(pSocket))
        return;
    wxDatagramSocket* pDatagram = static_cast<wxDatagramSocket*>(pSocket);
    // A device answers a record within a fraction of a millisecond, far less than a trip
    // through the event loop costs: the next replies are read here while they come that fast,
    // for a bounded number and time, so the window still gets its events between batches.
    const int64_t iFin = m_clock.NowMs() + kLotMs;
    for (int i = 0; i < kLotMax && !m_logique.IsTermine() && m_sockets.Contient(pSocket); ++i) {
        if (i > 0 && (m_clock.NowMs() >= iFin ||
                      !ZorPlatform::AttendreDonnees(pDatagram->GetSocket(), kAttenteReponseMs)))
            break;
        uint8_t tampon[kTailleReponseMax] = {};
        int n = 0;
        if (i == 0) {
            // The toolkit's own read first: it switches the socket's notification back on.
            wxIPV4address source;
            pDatagram->RecvFrom(source, tampon, sizeof tampon); // never blocks (wxSOCKET_NOWAIT)
            n = !pDatagram->Error()                             ? int(pDatagram->LastCount())
                : pDatagram->LastError() == wxSOCKET_WOULDBLOCK ? 0
                                                                : -1;
        } else {
            n = ZorPlatform::RecevoirDatagramme(pDatagram->GetSocket(), tampon, sizeof tampon);
        }
        if (n < 0)
            m_logique.ErreurReception();
        if (n <= 0)
            break;
        m_logique.Recevoir(tampon, size_t(n));
    }
    Armer();
}

void ZorUploadFirmwareTransfert::Verifier()
{
    m_logique.Verifier();
    Armer();
}

void ZorUploadFirmwareTransfert::OnTimer(wxTimerEvent&)
{
    Verifier();
}

void ZorUploadFirmwareTransfert::Armer()
{
    if (m_logique.IsTermine())
        return;
    const int64_t iDelai = m_logique.DelaiProchaineEcheance();
    if (iDelai < 0) {
        m_timer.Stop();
        return;
    }
    // Each acknowledgement pushes the next deadline later: a timer that will fire before it
    // stays as it is (it finds nothing due and is set again then), so a reply costs no timer
    // change.
    const int64_t iEcheance = m_clock.NowMs() + iDelai;
    if (m_timer.IsRunning() && m_iTimerMs <= iEcheance)
        return;
    m_iTimerMs = iEcheance;
    m_timer.StartOnce(int(std::max<int64_t>(1, iDelai)));
}
