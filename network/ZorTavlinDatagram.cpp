// The network object's discovery protocol: hellos, restarts, device answers and the
// configuration of a device's address.
#include "network/ZorTavlinNetwork.h"

#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "network/ZorAdresseIP.h"
#include "network/ZorDiscoveryFormat.h"
#include "network/ZorDiscoverySink.h"
#include "platform/ZorPlatform.h"

#include <wx/log.h>

#include <cstring>

namespace {

const uint16_t PORT_DECOUVERTE = 30303;
const uint16_t PORT_REDEMARRAGE = 69;
const wxString ADRESSE_DIFFUSION = wxT("255.255.255.255");
const wxString ADRESSE_USINE = wxT("169.254.233.233");
// How often finished searches and due hellos are looked for while there are any.
const int PERIODE_SUIVI_MS = 100;
// Senders remembered for the log of ignored answers; past it, new senders are counted only.
const size_t EXPEDITEURS_LOG_MAX = 1024;

// Text as the devices carry it: one byte per character. False when the text holds a character
// that has no such byte.
bool Vers8Bits(const wxString& z, std::string* pz)
{
    pz->clear();
    pz->reserve(z.length());
    for (wxString::const_iterator it = z.begin(); it != z.end(); ++it) {
        wxUniChar c = *it;
        if (c.GetValue() > 0xFF)
            return false;
        *pz += char(c.GetValue());
    }
    return true;
}

wxString De8Bits(const std::string& z)
{
    return wxString::From8BitData(z.data(), z.size());
}

} // namespace

ZorDiscoverySink::~ZorDiscoverySink() {}

void ZorDiscoverySink::ConfigurationAdresseEchouee(const wxString&) {}

bool ZorTavlinNetwork::SendDatagram(const wxString& zDest, const wxString& zIPLocal, uint16_t iPort,
                                    const void* pData, size_t iLen)
{
    wxIPV4address adresse;
    bool bAdresse =
        zDest == ADRESSE_DIFFUSION ? adresse.BroadcastAddress() : adresse.Hostname(zDest);
    if (!bAdresse || !adresse.Service(iPort) || !pData)
        return false;

    bool bOk = false;
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i) {
        ZorCarteEth* pCarte = m_arrayCarteEth[i];
        if (!zIPLocal.IsEmpty() && pCarte->m_zIP != zIPLocal)
            continue;
        wxDatagramSocket* pSocket = pCarte->m_pDatagramSocket;
        if (!pSocket || !pSocket->IsOk())
            continue;
        pSocket->SendTo(adresse, pData, wxUint32(iLen));
        if (pSocket->LastError() == wxSOCKET_NOERROR && pSocket->LastCount() == iLen)
            bOk = true;
    }
    return bOk;
}

int ZorTavlinNetwork::AutresProgrammesDecouverte()
{
    return ZorPlatform::SocketsUdpAutresProcessus(PORT_DECOUVERTE);
}

bool ZorTavlinNetwork::SendHello(const wxString& zDest, const wxString& zIPLocal, uint8_t iType)
{
    return !zDest.IsEmpty() && SendDatagram(zDest, zIPLocal, PORT_DECOUVERTE, &iType, 1);
}

bool ZorTavlinNetwork::SendReboot(const wxString& zDest, const wxString& zIPLocal)
{
    const uint8_t iOctet = 'R';
    return !zDest.IsEmpty() && SendDatagram(zDest, zIPLocal, PORT_REDEMARRAGE, &iOctet, 1);
}

void ZorTavlinNetwork::HexaToAdresseIP(wxString zHexa, wxString* pzResult)
{
    std::string z;
    if (pzResult && Vers8Bits(zHexa, &z) && ZorHexaVersPointee(z, &z))
        *pzResult = De8Bits(z);
}

void ZorTavlinNetwork::AdresseIPToHexa(wxString zIP, wxString* pzResult)
{
    if (!pzResult)
        return;
    ZorAdresseIP adresse(zIP);
    uint8_t octets[4];
    for (int i = 0; i < 4; ++i)
        octets[i] = adresse.GetOctet(i);
    *pzResult = De8Bits(ZorOctetsVersHexa(octets));
}

void ZorTavlinNetwork::ConfigureAdresseTavlin(const wxString& zMAC, const wxString& zLogin,
                                              const wxString& zPwd, const wxString& zIPLocal,
                                              const wxString& zMaskLocal,
                                              const wxString& zGatewayLocal)
{
    ZorAdresseIP adresseLocale(zIPLocal);
    ZorAdresseIP masque(zMaskLocal);
    if (adresseLocale.IsNull() || masque.IsNull())
        return;

    // The text must go out whole and readable before any candidate is worth testing; its
    // address field always has eight digits, so a placeholder gives the final length.
    wxString zMaskHexa, zGatewayHexa;
    AdresseIPToHexa(zMaskLocal, &zMaskHexa);
    AdresseIPToHexa(zGatewayLocal, &zGatewayHexa);
    std::string zMac8, zLogin8, zPwd8, zTexte;
    if (!Vers8Bits(zMAC, &zMac8) || !Vers8Bits(zLogin, &zLogin8) || !Vers8Bits(zPwd, &zPwd8)) {
        wxLogDebug(wxT("ConfigureAdresseTavlin %s: caractere hors 8 bits, rien envoye"), zMAC);
        return;
    }
    const std::string zMask8(zMaskHexa.utf8_str()), zGateway8(zGatewayHexa.utf8_str());
    ZorErreurConfiguration e =
        ZorTexteConfiguration(zMac8, zLogin8, zPwd8, "00000000", zMask8, zGateway8, &zTexte);
    if (e != ZOR_CONFIG_OK) {
        wxLogDebug(wxT("ConfigureAdresseTavlin %s: texte non envoyable (%d)"), zMAC, int(e));
        return;
    }
    if (m_enConfiguration.count(zMac8))
        return;
    const int64_t iMaintenant = m_pClock->NowMs();
    for (auto it = m_configurees.begin(); it != m_configurees.end();)
        it = iMaintenant - it->second >= iCalmeApresConfigurationMs ? m_configurees.erase(it)
                                                                    : std::next(it);
    if (m_configurees.count(zMac8)) {
        wxLogDebug(
            wxT("ConfigureAdresseTavlin %s: configuration deja envoyee, en attente de sa reponse"),
            zMAC);
        return;
    }
    m_enConfiguration[zMac8] = Configuration{zMac8, zLogin8, zPwd8, zMask8, zGateway8, zIPLocal};
    auto echec = m_echecs.find(zMac8);
    if (echec != m_echecs.end())
        echec->second.bActif = false;

    if (m_pSink)
        m_pSink->ConfigurationAdresseDemarree();

    ZorRechercheAdresse::Demande d;
    d.zCle = zMac8;
    for (int i = 0; i < 4; ++i) {
        d.adresse[i] = adresseLocale.GetOctet(i);
        d.masque[i] = masque.GetOctet(i);
    }
    m_recherche.Lancer(d);
    if (!m_timerSuivi.IsRunning())
        m_timerSuivi.Start(PERIODE_SUIVI_MS);
}

void ZorTavlinNetwork::LivrerRecherches()
{
    for (const ZorRechercheAdresse::Resultat& r : m_recherche.Prendre()) {
        auto it = m_enConfiguration.find(r.zCle);
        // Dropped by ExitNetwork meanwhile.
        if (it == m_enConfiguration.end())
            continue;
        const Configuration c = it->second;
        m_enConfiguration.erase(it);
        const wxString zMAC = De8Bits(c.zMAC);
        if (r.zAdresse.empty()) {
            NoterEchecConfiguration(c.zMAC, r.eIssue, c.zIPLocal);
            continue;
        }
        const wxString zCandidat = De8Bits(r.zAdresse);
        wxString zCandidatHexa;
        AdresseIPToHexa(zCandidat, &zCandidatHexa);
        std::string zTexte;
        ZorTexteConfiguration(c.zMAC, c.zLogin, c.zPwd, std::string(zCandidatHexa.utf8_str()),
                              c.zMaskHexa, c.zGatewayHexa, &zTexte);
        if (!SendDatagram(ADRESSE_DIFFUSION, c.zIPLocal, PORT_DECOUVERTE, zTexte.data(),
                          zTexte.size())) {
            // Nothing left: the device is not waited for, and a new request may try again.
            gTheLogFile.WriteFailure(wxString::Format(
                wxT("ZorTavlinNetwork::ConfigureAdresseTavlin MAC=%s: envoi impossible par la ")
                    wxT("carte %s, adresse non configuree"),
                zMAC, c.zIPLocal));
            continue;
        }
        m_configurees[c.zMAC] = m_pClock->NowMs();
        for (int64_t iDelai : iHelloApresConfigurationMs)
            m_hellosPrevus.push_back(HelloPrevu{m_pClock->NowMs() + iDelai, zCandidat, c.zIPLocal});
    }
}

void ZorTavlinNetwork::NoterEchecConfiguration(const std::string& zMac8, ZorIssueAdresse eIssue,
                                               const wxString& zIPLocal)
{
    const int64_t iMaintenant = m_pClock->NowMs();
    for (auto it = m_echecs.begin(); it != m_echecs.end();)
        it = iMaintenant - it->second.iLogMs >= iLogIgnoreesMs ? m_echecs.erase(it) : std::next(it);
    const wxString zMAC = De8Bits(zMac8);
    // A device that keeps answering from outside the network is configured again at each
    // answer (automatic modes): its failure is logged once a minute.
    auto it = m_echecs.find(zMac8);
    if (it == m_echecs.end() || it->second.eIssue != eIssue) {
        if (eIssue == ZorIssueAdresse::TestImpossible)
            gTheLogFile.Write(wxString::Format(
                wxT("ZorTavlinNetwork::ConfigureAdresseTavlin %s: aucune adresse donnee, aucune "
                    "adresse ne peut etre testee sur %s (ni socket ICMP brute ni socket d'echo "
                    "permise par net.ipv4.ping_group_range, ou table des voisins illisible)"),
                zMAC, zIPLocal));
        else
            gTheLogFile.Write(wxString::Format(
                wxT("ZorTavlinNetwork::ConfigureAdresseTavlin %s: aucune adresse libre trouvee "
                    "sur le reseau de %s"),
                zMAC, zIPLocal));
        m_echecs[zMac8] = Echec{eIssue, iMaintenant, true};
    } else
        it->second.bActif = true;
    if (m_pSink)
        m_pSink->ConfigurationAdresseEchouee(zMAC);
}

bool ZorTavlinNetwork::EchecConfiguration(const wxString& zMAC, ZorIssueAdresse* pIssue) const
{
    std::string zMac8;
    if (!Vers8Bits(zMAC, &zMac8))
        return false;
    auto it = m_echecs.find(zMac8);
    if (it == m_echecs.end() || !it->second.bActif)
        return false;
    if (pIssue)
        *pIssue = it->second.eIssue;
    return true;
}

void ZorTavlinNetwork::EnvoyerHellosPrevus()
{
    const int64_t iMaintenant = m_pClock->NowMs();
    std::vector<HelloPrevu> restants;
    std::vector<HelloPrevu> dus;
    for (const HelloPrevu& h : m_hellosPrevus)
        (h.iEcheanceMs <= iMaintenant ? dus : restants).push_back(h);
    m_hellosPrevus.swap(restants);
    for (const HelloPrevu& h : dus)
        SendHello(h.zDest, h.zIPLocal, 'D');
}

void ZorTavlinNetwork::SuivreConfigurations()
{
    LivrerRecherches();
    EnvoyerHellosPrevus();
    if (m_enConfiguration.empty() && m_hellosPrevus.empty())
        m_timerSuivi.Stop();
}

void ZorTavlinNetwork::OnTimerSuivi(wxTimerEvent& WXUNUSED(event))
{
    SuivreConfigurations();
}

void ZorTavlinNetwork::NoterIgnoree(const wxString& zSource, int iQualite)
{
    ++m_iReponsesIgnorees;
    const int64_t iMaintenant = m_pClock->NowMs();
    auto it = m_logIgnorees.find(zSource);
    if (it != m_logIgnorees.end() && iMaintenant - it->second < iLogIgnoreesMs)
        return;
    if (it == m_logIgnorees.end() && m_logIgnorees.size() >= EXPEDITEURS_LOG_MAX) {
        // Forget the senders whose minute is over; a flood of fresh senders is only counted.
        for (auto e = m_logIgnorees.begin(); e != m_logIgnorees.end();)
            e = iMaintenant - e->second >= iLogIgnoreesMs ? m_logIgnorees.erase(e) : std::next(e);
        if (m_logIgnorees.size() >= EXPEDITEURS_LOG_MAX)
            return;
    }
    m_logIgnorees[zSource] = iMaintenant;
    gTheLogFile.Write(wxT("ZorTavlinNetwork::DoInputSocketDatagram reponse ignoree de %s: %s ")
                          wxT("(%llu ignorees depuis le debut)"),
                      zSource.wc_str(),
                      wxString::FromUTF8(ZorTexteQualite(ZorQualiteReponse(iQualite))).wc_str(),
                      static_cast<unsigned long long>(m_iReponsesIgnorees));
}

size_t ZorTavlinNetwork::DoInputSocketDatagram(wxDatagramSocket* pSocket, const wxString& zIPLocal,
                                               const wxString& zMaskLocal,
                                               const wxString& zGatewayLocal)
{
    if (!pSocket)
        return 0;
    uint8_t buffer[1024] = {0};
    wxIPV4address source;
    pSocket->RecvFrom(source, buffer, sizeof(buffer));
    if (pSocket->Error())
        return 0;
    const size_t iRecus = pSocket->LastCount();
    TraiterDatagramme(buffer, iRecus, source.IPAddress(), zIPLocal, zMaskLocal, zGatewayLocal);
    return iRecus;
}

void ZorTavlinNetwork::TraiterDatagramme(const uint8_t* pData, size_t iRecus,
                                         const wxString& zSource, const wxString& zIPLocal,
                                         const wxString& zMaskLocal, const wxString& zGatewayLocal)
{
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i)
        if (m_arrayCarteEth[i]->m_zIP == zIPLocal && m_arrayCarteEth[i]->m_bBlackList)
            return;
    if (zSource == zIPLocal)
        return;

    ZorReponseTavlin r;
    const ZorQualiteReponse iQualite = ZorLitReponse(ZorTexteDatagramme(pData, iRecus), &r);
    // Hellos and configuration texts of other PCs are no answers: dropped without a word.
    if (iQualite == ZOR_REPONSE_AUTRE)
        return;
    if (iQualite != ZOR_REPONSE_OK) {
        NoterIgnoree(zSource, iQualite);
        return;
    }
    if (!m_pSink)
        return;

    const wxString zNom = De8Bits(r.zNom), zMAC = De8Bits(r.zMAC),
                   zCommentaire = De8Bits(r.zCommentaire), zLogin = De8Bits(r.zLogin),
                   zPwd = De8Bits(r.zPwd), zMask = De8Bits(r.zMask), zGateway = De8Bits(r.zGateway),
                   zVersion = De8Bits(r.zVersion);
    if (r.zType == "A" || r.zType == "D") {
        bool bConfigurer = false;
        if (m_iModeAdresseAutomatique == 0)
            bConfigurer = zSource == ADRESSE_USINE;
        else if (m_iModeAdresseAutomatique == 2)
            bConfigurer = zSource == ADRESSE_USINE ||
                          !ZorAdresseIP::IsSameReseau(zSource, zIPLocal, zMaskLocal);
        if (bConfigurer)
            ConfigureAdresseTavlin(zMAC, zLogin, zPwd, zIPLocal, zMaskLocal, zGatewayLocal);
        else
            m_pSink->AddTavlin(zSource, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask, zGateway,
                               r.bDhcp, zIPLocal, zMaskLocal, zGatewayLocal, zVersion);
    } else if (r.zType == "M")
        m_pSink->NewTavlinMaster(zSource, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask, zGateway,
                                 r.bDhcp, zIPLocal, zMaskLocal, zGatewayLocal, zVersion);
}

void ZorTavlinNetwork::OnSocketDatagram(wxSocketEvent& event)
{
    wxSocketBase* pEvenement = event.GetSocket();
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i) {
        ZorCarteEth* pCarte = m_arrayCarteEth[i];
        if (!pCarte->m_pDatagramSocket || pCarte->m_pDatagramSocket != pEvenement)
            continue;
        // An event queued for a socket since replaced may name a new one at the same address:
        // read only what is really there. A burst of answers (a hello to a whole LAN) is read
        // in one event rather than one event-loop pass per datagram.
        if (event.GetSocketEvent() == wxSOCKET_INPUT)
            LireEnAttente(i);
        event.Skip();
        return;
    }
}

void ZorTavlinNetwork::LireEnAttente(size_t iCarte)
{
    // Bounded per call, so that a flood cannot hold the main thread; the next socket event
    // or timer tick reads the rest. A listener told of an answer may have changed the cards:
    // the card is looked up again before each read.
    //
    // The first datagram is read through the toolkit, which then watches the socket again; the
    // rest of a burst is read from the socket itself. Through the toolkit, each read would
    // stop and restart that watch: two more system calls per answer, which at a hello to a
    // whole LAN is most of what an answer costs us.
    ZorCarteEth* const pCarte = iCarte < m_arrayCarteEth.size() ? m_arrayCarteEth[iCarte] : nullptr;
    for (int n = 0; n < kLecturesParPasse && pCarte; ++n) {
        if (iCarte >= m_arrayCarteEth.size() || m_arrayCarteEth[iCarte] != pCarte)
            break;
        wxDatagramSocket* pSocket = pCarte->m_pDatagramSocket;
        if (!pSocket || !pSocket->IsOk())
            break;
        const wxString zIP = pCarte->m_zIP, zMask = pCarte->m_zMask, zGateway = pCarte->m_zGateway;
        if (n == 0) {
            if (!ZorPlatform::DonneesEnAttente(pSocket->GetSocket()) ||
                DoInputSocketDatagram(pSocket, zIP, zMask, zGateway) == 0)
                break;
            continue;
        }
        uint8_t buffer[1024];
        uint32_t iSource = 0;
        const int iRecus =
            ZorPlatform::RecevoirDatagramme(pSocket->GetSocket(), buffer, sizeof buffer, &iSource);
        if (iRecus <= 0)
            break;
        uint8_t source[4]; // the address as it travels: most significant octet first
        memcpy(source, &iSource, sizeof source);
        TraiterDatagramme(buffer, size_t(iRecus), De8Bits(ZorOctetsVersPointee(source)), zIP, zMask,
                          zGateway);
    }
}

void ZorTavlinNetwork::ForceReadOnDatagram()
{
    SuivreConfigurations();
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i)
        LireEnAttente(i);
}
