// The network object's discovery protocol: hellos, restarts, device answers and the
// configuration of a device's address.
#include "network/ZorTavlinNetwork.h"

#include "device/ZorTavlinObj.h"
#include "network/ZorAdresseIP.h"
#include "network/ZorDiscoveryFormat.h"
#include "network/ZorPing.h"
#include "platform/ZorPlatform.h"

#include <wx/log.h>

#include <cstdlib>
#include <ctime>

namespace {

const uint16_t PORT_DECOUVERTE = 30303;
const uint16_t PORT_REDEMARRAGE = 69;
const wxString ADRESSE_DIFFUSION = wxT("255.255.255.255");
const wxString ADRESSE_USINE = wxT("169.254.233.233");
// Candidates tried before giving up: each costs about 3.5 s of echo test.
const int CANDIDATS_MAX = 20;

// Text as the devices carry it: one byte per character. False when the text holds a character
// that has no such byte.
bool Vers8Bits(const wxString& z, std::string* pz)
{
    pz->clear();
    pz->reserve(z.length());
    for (wxString::const_iterator it = z.begin(); it != z.end(); ++it)
    {
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

// Ends an address configuration's entry in the running list whatever way it returns.
class EnConfiguration
{
public:
    EnConfiguration(wxArrayString& liste, const wxString& zMAC) : m_liste(liste), m_zMAC(zMAC)
    {
        m_liste.Add(zMAC);
    }
    ~EnConfiguration()
    {
        int i = m_liste.Index(m_zMAC);
        if (i != wxNOT_FOUND)
            m_liste.RemoveAt(size_t(i));
    }

private:
    wxArrayString& m_liste;
    wxString m_zMAC;
};

} // namespace

bool ZorTavlinNetwork::SendDatagram(const wxString& zDest, const wxString& zIPLocal,
                                    uint16_t iPort, const void* pData, size_t iLen)
{
    wxIPV4address adresse;
    bool bAdresse = zDest == ADRESSE_DIFFUSION ? adresse.BroadcastAddress()
                                               : adresse.Hostname(zDest);
    if (!bAdresse || !adresse.Service(iPort) || !pData)
        return false;

    bool bOk = false;
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i)
    {
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

void ZorTavlinNetwork::SendHello(const wxString& zDest, const wxString& zIPLocal, uint8_t iType)
{
    if (zDest.IsEmpty())
        return;
    SendDatagram(zDest, zIPLocal, PORT_DECOUVERTE, &iType, 1);
}

void ZorTavlinNetwork::SendReboot(const wxString& zDest, const wxString& zIPLocal)
{
    if (zDest.IsEmpty())
        return;
    const uint8_t iOctet = 'R';
    SendDatagram(zDest, zIPLocal, PORT_REDEMARRAGE, &iOctet, 1);
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
    if (!Vers8Bits(zMAC, &zMac8) || !Vers8Bits(zLogin, &zLogin8) || !Vers8Bits(zPwd, &zPwd8))
    {
        wxLogDebug(wxT("ConfigureAdresseTavlin %s: caractere hors 8 bits, rien envoye"), zMAC);
        return;
    }
    const std::string zMask8(zMaskHexa.utf8_str()), zGateway8(zGatewayHexa.utf8_str());
    ZorErreurConfiguration e =
        ZorTexteConfiguration(zMac8, zLogin8, zPwd8, "00000000", zMask8, zGateway8, &zTexte);
    if (e != ZOR_CONFIG_OK)
    {
        wxLogDebug(wxT("ConfigureAdresseTavlin %s: texte non envoyable (%d)"), zMAC, int(e));
        return;
    }
    if (m_arrayEnConfiguration.Index(zMAC) != wxNOT_FOUND)
        return;
    EnConfiguration garde(m_arrayEnConfiguration, zMAC);

    if (gpTheTavlin)
        gpTheTavlin->SendToObserver(ZOR_EVT_TAVLIN_CONFIGURE, nullptr);

    ZorAdresseIP reseau(adresseLocale);
    reseau.Mask(masque);
    uint8_t octetsReseau[4], octetsMasque[4];
    for (int i = 0; i < 4; ++i)
    {
        octetsReseau[i] = reseau.GetOctet(i);
        octetsMasque[i] = masque.GetOctet(i);
    }
    srand(unsigned(time(nullptr)));

    wxString zCandidat;
    for (int iEssai = 0; iEssai < CANDIDATS_MAX && zCandidat.IsEmpty(); ++iEssai)
    {
        uint8_t aleatoire[4];
        for (int i = 0; i < 4; ++i)
            aleatoire[i] = uint8_t(rand() % 104 + 150);
        uint8_t octets[4];
        if (!ZorCandidatAdresse(octetsReseau, octetsMasque, aleatoire, octets))
            continue;
        wxString z = wxString::Format(wxT("%u.%u.%u.%u"), unsigned(octets[0]),
                                      unsigned(octets[1]), unsigned(octets[2]),
                                      unsigned(octets[3]));
        if (ZorAdresseIP(z) == adresseLocale || z == ADRESSE_USINE)
            continue;

        ZorPing ping;
        wxArrayString args;
        args.Add(wxT("-n"));
        args.Add(wxT("3"));
        args.Add(wxT("-w"));
        args.Add(wxT("500"));
        args.Add(z);
        int iCompletes = 0, iPerdues = 0;
        if (ping.Ping(args, &iCompletes, &iPerdues) == 0 && iCompletes > 0 &&
            iCompletes - iPerdues > 0)
            continue;
        zCandidat = z;
    }
    if (zCandidat.IsEmpty())
    {
        wxLogDebug(wxT("ConfigureAdresseTavlin %s: aucune adresse libre"), zMAC);
        return;
    }

    wxString zCandidatHexa;
    AdresseIPToHexa(zCandidat, &zCandidatHexa);
    ZorTexteConfiguration(zMac8, zLogin8, zPwd8, std::string(zCandidatHexa.utf8_str()), zMask8,
                          zGateway8, &zTexte);
    SendDatagram(ADRESSE_DIFFUSION, zIPLocal, PORT_DECOUVERTE, zTexte.data(), zTexte.size());
}

size_t ZorTavlinNetwork::DoInputSocketDatagram(wxDatagramSocket* pSocket,
                                               const wxString& zIPLocal,
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

    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i)
        if (m_arrayCarteEth[i]->m_zIP == zIPLocal && m_arrayCarteEth[i]->m_bBlackList)
            return iRecus;
    const wxString zSource = source.IPAddress();
    if (zSource == zIPLocal)
        return iRecus;

    ZorReponseTavlin r;
    if (!ZorDecodeReponse(ZorTexteDatagramme(buffer, iRecus), &r))
        return iRecus;
    if (!gpTheTavlin)
        return iRecus;

    const wxString zNom = De8Bits(r.zNom), zMAC = De8Bits(r.zMAC),
                   zCommentaire = De8Bits(r.zCommentaire), zLogin = De8Bits(r.zLogin),
                   zPwd = De8Bits(r.zPwd), zMask = De8Bits(r.zMask),
                   zGateway = De8Bits(r.zGateway), zVersion = De8Bits(r.zVersion);
    if (r.zType == "A" || r.zType == "D")
    {
        bool bConfigurer = false;
        if (m_iModeAdresseAutomatique == 0)
            bConfigurer = zSource == ADRESSE_USINE;
        else if (m_iModeAdresseAutomatique == 2)
            bConfigurer = zSource == ADRESSE_USINE ||
                          !ZorAdresseIP::IsSameReseau(zSource, zIPLocal, zMaskLocal);
        if (bConfigurer)
            ConfigureAdresseTavlin(zMAC, zLogin, zPwd, zIPLocal, zMaskLocal, zGatewayLocal);
        else
            gpTheTavlin->AddTavlin(zSource, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask,
                                   zGateway, r.bDhcp, zIPLocal, zMaskLocal, zGatewayLocal,
                                   zVersion);
    }
    else if (r.zType == "M")
        gpTheTavlin->NewTavlinMaster(zSource, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask,
                                     zGateway, r.bDhcp, zIPLocal, zMaskLocal, zGatewayLocal,
                                     zVersion);
    return iRecus;
}

void ZorTavlinNetwork::OnSocketDatagram(wxSocketEvent& event)
{
    wxSocketBase* pEvenement = event.GetSocket();
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i)
    {
        ZorCarteEth* pCarte = m_arrayCarteEth[i];
        if (!pCarte->m_pDatagramSocket || pCarte->m_pDatagramSocket != pEvenement)
            continue;
        wxDatagramSocket* pSocket = pCarte->m_pDatagramSocket;
        // An event queued for a socket since replaced may name a new one at the same address:
        // read only what is really there.
        if (event.GetSocketEvent() == wxSOCKET_INPUT && pSocket->IsOk() &&
            ZorPlatform::DonneesEnAttente(pSocket->GetSocket()))
        {
            const wxString zIP = pCarte->m_zIP, zMask = pCarte->m_zMask,
                           zGateway = pCarte->m_zGateway;
            DoInputSocketDatagram(pSocket, zIP, zMask, zGateway);
        }
        event.Skip();
        return;
    }
}

void ZorTavlinNetwork::ForceReadOnDatagram()
{
    for (size_t i = 0; i < m_arrayCarteEth.size(); ++i)
    {
        ZorCarteEth* pCarte = m_arrayCarteEth[i];
        // Bounded per call; the next timer tick reads the rest.
        for (int n = 0; n < 1000; ++n)
        {
            wxDatagramSocket* pSocket = pCarte->m_pDatagramSocket;
            if (!pSocket || !pSocket->IsOk() ||
                !ZorPlatform::DonneesEnAttente(pSocket->GetSocket()))
                break;
            const wxString zIP = pCarte->m_zIP, zMask = pCarte->m_zMask,
                           zGateway = pCarte->m_zGateway;
            if (DoInputSocketDatagram(pSocket, zIP, zMask, zGateway) == 0)
                break;
        }
    }
}
