// The network object's adapter side: the adapter records follow the system's adapters, and each
// usable adapter gets one discovery socket.
#include "network/ZorTavlinNetwork.h"

#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "platform/ZorPlatform.h"

#include <wx/log.h>

#include <algorithm>
#include <new>

#if defined(_WIN32)
#  include <winsock2.h>
#else
#  include <sys/socket.h>
#endif

namespace {

const uint16_t PORT_DECOUVERTE = 30303;
// Room for the answers of 250 devices arriving together: an answer of some 250 bytes costs
// the system about 1.3 KB of buffer, and the default buffer (208 KB) held 165 of 250.
const int TAMPON_RECEPTION = 1024 * 1024;

wxString TexteMAC(const std::vector<uint8_t>& mac)
{
    wxString z;
    for (size_t i = 0; i < mac.size(); ++i) {
        if (i)
            z += wxT("-");
        z += wxString::Format(wxT("%.2X"), unsigned(mac[i]));
    }
    return z;
}

wxString Texte(const std::string& z)
{
    return wxString::FromUTF8(z.c_str());
}

void FermerSocket(ZorCarteEth& carte)
{
    if (!carte.m_pDatagramSocket)
        return;
    carte.m_pDatagramSocket->Notify(false);
    // Closed at once: a socket left open would keep receiving the adapter's datagrams.
    carte.m_pDatagramSocket->Close();
    delete carte.m_pDatagramSocket;
    carte.m_pDatagramSocket = nullptr;
}

} // namespace

wxBEGIN_EVENT_TABLE(ZorTavlinNetwork, wxEvtHandler)
    EVT_SOCKET(wxID_ANY, ZorTavlinNetwork::OnSocketDatagram)
        EVT_TIMER(wxID_ANY, ZorTavlinNetwork::OnTimerSuivi) wxEND_EVENT_TABLE()

            ZorTavlinNetwork::ZorTavlinNetwork()
    : m_iModeAdresseAutomatique(0), m_bInit(false), m_pSink(nullptr), m_pClock(&ZorDefaultClock()),
      m_timerSuivi(this), m_iReponsesIgnorees(0)
{}

ZorTavlinNetwork::~ZorTavlinNetwork()
{
    m_timerSuivi.Stop();
    m_recherche.Arreter();
    SupprimerCartes();
}

void ZorTavlinNetwork::SupprimerCartes()
{
    // ExitNetwork normally closed the sockets; a socket still open must not outlive its record.
    DestroyDatagramSocket();
    for (ZorCarteEth* p : m_arrayCarteEth)
        delete p;
    m_arrayCarteEth.clear();
}

bool ZorTavlinNetwork::InitNetwork()
{
    if (m_bInit)
        return false;
    gTheLogFile.Write(wxT("ZorTavlinNetwork::InitNetwork"));
    wxSocketBase::Initialize();
    // Records left by an earlier run have no socket, and SearchCarteEth opens sockets for new
    // or changed records only: start again from the system's list.
    SupprimerCartes();
    bool bOk = SearchCarteEth();
    AddLoopback();
    m_bInit = true;
    return bOk;
}

void ZorTavlinNetwork::ExitNetwork()
{
    gTheLogFile.Write(wxT("ZorTavlinNetwork::ExitNetwork"));
    m_recherche.Arreter();
    m_enConfiguration.clear();
    m_configurees.clear();
    m_echecs.clear();
    m_hellosPrevus.clear();
    m_timerSuivi.Stop();
    DestroyDatagramSocket();
    // The records stay listed until the next InitNetwork, which may now run again.
    m_bInit = false;
}

ZorCarteEth* ZorTavlinNetwork::ChercheCarte(const wxString& zMAC, int iIndex,
                                            const std::vector<ZorCarteEth*>& dejaVues)
{
    // Several interfaces may share a hardware address (VLANs, bonds): the record of the same
    // interface comes first, then the first record not yet matched in this scan.
    ZorCarteEth* pLibre = nullptr;
    for (ZorCarteEth* p : m_arrayCarteEth) {
        if (p->m_bLoopback || p->m_zMAC != zMAC)
            continue;
        if (std::find(dejaVues.begin(), dejaVues.end(), p) != dejaVues.end())
            continue;
        if (p->m_iIndex == iIndex)
            return p;
        if (!pLibre)
            pLibre = p;
    }
    return pLibre;
}

bool ZorTavlinNetwork::EstCarteActive(const wxString& zIP, const wxString& zMask) const
{
    for (const ZorCarteEth* pCarte : m_arrayCarteEth)
        if (pCarte->m_zIP == zIP && pCarte->m_zMask == zMask && !pCarte->m_bBlackList)
            return true;
    return false;
}

void ZorTavlinNetwork::LogCarteSocket(ZorCarteEth* pCarte)
{
    if (pCarte->m_bBlackList) {
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth carte blacklist MAC=%s"),
                          pCarte->m_zMAC.wc_str());
        return;
    }
    gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth sur IP=%s"), pCarte->m_zIP.wc_str());
    CreateDatagramSocket(*this, -1, pCarte, PORT_DECOUVERTE);
}

bool ZorTavlinNetwork::SearchCarteEth()
{
    if (!m_bInit)
        gTheLogFile.Write(wxT(""));

    std::vector<ZorAdaptateur> adaptateurs;
    int iErreur = 0;
    if (!ZorPlatform::EnumererAdaptateurs(adaptateurs, &iErreur)) {
        gTheLogFile.Write(
            wxT("ZorTavlinNetwork::SearchCarteEth GetAdaptersInfo call failed with %d"), iErreur);
        return false;
    }

    std::vector<ZorCarteEth*> dejaVues;
    for (ZorAdaptateur& a : adaptateurs) {
        const wxString zMAC = TexteMAC(a.mac);
        const wxString zIP = Texte(a.zIP);
        const wxString zMask = Texte(a.zMask);
        const wxString zGateway = Texte(a.zGateway);

        ZorCarteEth* pCarte = ChercheCarte(zMAC, a.iIndex, dejaVues);
        if (pCarte) {
            dejaVues.push_back(pCarte);
            if (pCarte->m_iIndex == a.iIndex && pCarte->m_zIP == zIP && pCarte->m_zMask == zMask &&
                pCarte->m_zGateway == zGateway && pCarte->m_bDhcp == a.bDhcp)
                continue;
            gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth **** CHANGE ****"));
        } else {
            pCarte = new (std::nothrow) ZorCarteEth();
            if (!pCarte)
                continue;
            gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth **** NEW ****"));
            m_arrayCarteEth.Add(pCarte);
            dejaVues.push_back(pCarte);
        }

        ZorPlatform::DecrireAdaptateur(a);
        pCarte->m_zDescription = Texte(a.zDescription);
        pCarte->m_iIndex = a.iIndex;
        pCarte->m_zIP = zIP;
        pCarte->m_zMask = zMask;
        pCarte->m_zGateway = zGateway;
        pCarte->m_bDhcp = a.bDhcp;
        pCarte->m_zMAC = zMAC;
        pCarte->m_zNomInterface = Texte(a.zNom);
        pCarte->m_bBlackList = m_zListeCarteBlackList.Contains(zMAC);
        LogCarteSocket(pCarte);

        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth Adapter Name: %s"),
                          Texte(a.zNom).wc_str());
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth Adapter Desc: %s"),
                          pCarte->m_zDescription.wc_str());
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth Adapter Type: %d"), a.iType);
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth Adapter Index: %d"), a.iIndex);
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tMAC Address: \t%s"),
                          zMAC.wc_str());
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tIP Address: \t%s"), zIP.wc_str());
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tIP Mask: \t%s"), zMask.wc_str());
        gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tGateway: \t%s"),
                          zGateway.wc_str());
        if (a.bDhcp) {
            gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tDHCP Enabled: \tYes"));
            gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tDHCP Server: \t%s"),
                              Texte(a.zServeurDhcp).wc_str());
        } else
            gTheLogFile.Write(wxT("ZorTavlinNetwork::SearchCarteEth \tDHCP Enabled: No"));
        gTheLogFile.Write(wxT(""));
    }
    return true;
}

void ZorTavlinNetwork::AddLoopback()
{
    ZorCarteEth* pCarte = new (std::nothrow) ZorCarteEth();
    if (!pCarte)
        return;
    pCarte->m_zDescription = wxT("Loopback interface");
    pCarte->m_zIP = wxT("127.0.0.1");
    pCarte->m_zMask = wxT("0.0.0.0");
    pCarte->m_zMAC = wxT("00-00-00-00-00-00");
    pCarte->m_zGateway = wxT("0.0.0.0");
    pCarte->m_bDhcp = false;
    pCarte->m_iIndex = 0;
    pCarte->m_bLoopback = true;
    pCarte->m_bBlackList = m_zListeCarteBlackList.Contains(pCarte->m_zMAC);
    m_arrayCarteEth.Add(pCarte);
    LogCarteSocket(pCarte);
}

wxDatagramSocket* ZorTavlinNetwork::OuvrirSocket(const ZorCarteEth& carte, uint16_t iPort,
                                                 bool bSurInterface)
{
    wxIPV4address adresse;
    if (bSurInterface ? !adresse.AnyAddress() : !adresse.Hostname(carte.m_zIP))
        return nullptr;
    if (!adresse.Service(iPort))
        return nullptr;
    // Every adapter's socket shares the port.
    wxSocketFlags flags = wxSOCKET_REUSEADDR;
    if (!carte.m_bLoopback)
        flags |= wxSOCKET_BROADCAST;
    wxDatagramSocket* pSocket = new (std::nothrow) wxDatagramSocket(adresse, flags);
    if (!pSocket)
        return nullptr;
    if (bSurInterface && pSocket->IsOk()) {
        const ZorSocketHandle fd = pSocket->GetSocket();
        if (!ZorPlatform::LierSocketInterface(fd, std::string(carte.m_zNomInterface.utf8_str()))) {
            pSocket->Close();
            delete pSocket;
            return nullptr;
        }
        // Whatever arrived between binding and tying it to the interface may be any adapter's.
        ZorPlatform::ViderSocket(fd);
    }
    return pSocket;
}

bool ZorTavlinNetwork::CreateDatagramSocket(wxEvtHandler& handler, int id, ZorCarteEth* pCarte,
                                            uint16_t iPort)
{
    if (!pCarte)
        return false;
    if (pCarte->m_zIP.IsEmpty() || pCarte->m_zIP == wxT("0.0.0.0"))
        return false;
    FermerSocket(*pCarte);

    // Tied to its interface the socket hears the adapter's broadcasts too; where that is not
    // allowed, the adapter's own address still gets the unicast answers.
    wxDatagramSocket* pSocket = nullptr;
    if (!pCarte->m_bLoopback && !pCarte->m_zNomInterface.IsEmpty())
        pSocket = OuvrirSocket(*pCarte, iPort, true);
    if (!pSocket)
        pSocket = OuvrirSocket(*pCarte, iPort, false);
    if (!pSocket)
        return false;

    pSocket->SetTimeout(1);
    pSocket->SetEventHandler(handler, id);
    pSocket->SetNotify(wxSOCKET_INPUT_FLAG | wxSOCKET_OUTPUT_FLAG | wxSOCKET_CONNECTION_FLAG |
                       wxSOCKET_LOST_FLAG);
    pSocket->Notify(true);
    pCarte->m_pDatagramSocket = pSocket;
    if (!pSocket->IsOk())
        return false;
    ZorPlatform::FixerTamponReception(pSocket->GetSocket(), TAMPON_RECEPTION);
    return EnableBroadcast(pSocket, !pCarte->m_bLoopback);
}

void ZorTavlinNetwork::DestroyDatagramSocket()
{
    for (ZorCarteEth* p : m_arrayCarteEth)
        FermerSocket(*p);
}

bool ZorTavlinNetwork::EnableBroadcast(wxDatagramSocket* pSocket, bool bEnable)
{
    if (!pSocket)
        return false;
    int iValeur = bEnable ? 1 : 0;
    return pSocket->SetOption(SOL_SOCKET, SO_BROADCAST, &iValeur, sizeof(iValeur));
}
