// Start and stop of the device manager, its settings and card black-list files, and the
// operations that forward to the network object.
#include "device/ZorTavlinObj.h"

#include "device/ZorTavlinDelais.h"
#include "infra/ZorClock.h"
#include "infra/ZorLibraryFlags.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"
#include "network/ZorAdresseIP.h"

#include <wx/app.h>
#include <wx/stdpaths.h>
#include <wx/tokenzr.h>

namespace {

const wxChar* const kFichierBlackList = wxT("tavlincarteblacklist.ini");
const wxChar* const kCleBlackList = wxT("ADDR_MAC_CARTE_BLACKLIST");

} // namespace

void ZorTavlinObj::GetDirectoryAndFileConf(const wxString& zNom, wxString* pzDirectory,
                                           wxString* pzFile)
{
    if (!pzDirectory || !pzFile)
        return;
    gTheLogFile.Write(wxT("ZorTavlinObj::GetDirectoryAndFileConf [%s]"), zNom.wc_str());
    wxString zDir = wxStandardPaths::Get().GetDocumentsDir();
    ZorUtile::SmartAppendBackslash(zDir);
    *pzDirectory = zDir + wxT("Tavlin");
    *pzFile = wxT("tavlindll_") + zNom + wxT(".ini");
}

bool ZorTavlinObj::Start(const wxString& zNom, bool bRestaurer)
{
    if (m_bStarted)
        return true;
    gTheLogFile.Write(wxT("ZorTavlinObj::Start version [%s]"), ZOR_TAVLIN_VERSION);
    m_bStarted = true;
    LireReglages(zNom);

    if (!m_network.InitNetwork() && gbAppHote) {
        const wxString zTexte(wxT(
            "Détection impossible des Tavlin.\nFermez les autres logiciels utilisant la Tavlin."));
        ZorUserNotice(zTexte, wxT("Tavlin"));
        m_network.ExitNetwork();
        // Left startable: a later Start may succeed once the other program is gone.
        m_bStarted = false;
        return false;
    }

    LanceThread();
    m_iLastHello = Clock().EpochSeconds();
    EnvoyerHelloDiffuse();
    m_pTimer->StartOnce(ZorDelais::kPremierTickMs);

    if (bRestaurer) {
        wxString zMAC, zIP, zIPLocal;
        m_config.Read(wxT("ADDR_MAC"), zMAC);
        SurveillerAddrMAC(zMAC);
        m_config.Read(wxT("ADDR_IP"), zIP);
        m_config.Read(wxT("ADDR_IPLOCAL"), zIPLocal);
        SetTheIP(zIP, zIPLocal);
    }
    return true;
}

bool ZorTavlinObj::StartSansTransport(const wxString& zNom)
{
    if (m_bStarted)
        return false;
    m_bStarted = true;
    LireReglages(zNom);
    return true;
}

void ZorTavlinObj::LireReglages(const wxString& zNom)
{
    m_zNom = zNom;
    wxString zDir, zFichier;
    GetDirectoryAndFileConf(zNom, &zDir, &zFichier);
    // A fresh object per start: a restart under another name must not keep the old keys.
    m_config = ZorConfiguration();
    m_config.Load(zDir, zFichier);
    ReadListeCarteBlackList();
    wxString zUART;
    m_config.Read(wxT("SELECT_UART"), zUART);
    m_bModeUART = zUART == wxT("1");
}

void ZorTavlinObj::Stop()
{
    if (!m_bStarted)
        return;
    m_pTimer->Stop();
    m_bStarted = false;
    ArretThread();
    m_network.ExitNetwork();
}

void ZorTavlinObj::ReadListeCarteBlackList()
{
    wxString zDir, zFichier;
    GetDirectoryAndFileConf(m_zNom, &zDir, &zFichier);
    m_configBlackList = ZorConfiguration();
    m_configBlackList.Load(zDir, kFichierBlackList);
    wxString zListe;
    m_configBlackList.Read(kCleBlackList, zListe);
    m_network.m_zListeCarteBlackList = zListe;
}

wxString ZorTavlinObj::GetListeCarteBlackList() const
{
    return m_network.m_zListeCarteBlackList;
}

bool ZorTavlinObj::WriteListeCarteBlackList(bool bAjouter, const wxString& zMACCarte)
{
    if (zMACCarte.empty() || zMACCarte.Find(';') != wxNOT_FOUND)
        return false; // an empty or composite entry would corrupt the list
    if (!m_configBlackList.IsLoaded())
        ReadListeCarteBlackList();
    // Applied to the list the file holds at the moment of writing, under the lock of every
    // program of the user: another program's card added meanwhile stays on it.
    auto changer = [&](const wxString& zActuel) {
        // Entries are compared whole, so one address never matches inside another.
        wxArrayString entrees = wxStringTokenize(zActuel, wxT(";"), wxTOKEN_STRTOK);
        if (bAjouter) {
            if (entrees.Index(zMACCarte) == wxNOT_FOUND)
                entrees.Add(zMACCarte);
        } else {
            for (int i; (i = entrees.Index(zMACCarte)) != wxNOT_FOUND;)
                entrees.RemoveAt(size_t(i));
        }
        wxString zListe;
        for (const wxString& z : entrees)
            zListe += z + wxT(";");
        return zListe;
    };
    if (!m_configBlackList.Update(kCleBlackList, changer))
        return false;
    m_configBlackList.Read(kCleBlackList, m_network.m_zListeCarteBlackList);
    return true;
}

bool ZorTavlinObj::Reboot(const wxString& zIP)
{
    if (!m_bStarted)
        return false;
    if (m_network.SendReboot(zIP, wxEmptyString))
        return true;
    gTheLogFile.Write(wxT("ZorTavlinObj::Reboot IP=%s: redemarrage non envoye"), zIP.wc_str());
    return false;
}

bool ZorTavlinObj::DiscoverMaster()
{
    return m_network.SendHello(wxT("255.255.255.255"), wxEmptyString, 'M');
}

bool ZorTavlinObj::Decouvrir()
{
    return m_bStarted && EnvoyerHelloDiffuse();
}

bool ZorTavlinObj::EnvoyerHello(const wxString& zDest, const wxString& zIPLocal, uint8_t iType)
{
    return m_network.SendHello(zDest, zIPLocal, iType);
}

bool ZorTavlinObj::EnvoyerReboot(const wxString& zDest, const wxString& zIPLocal)
{
    return m_network.SendReboot(zDest, zIPLocal);
}

bool ZorTavlinObj::OuvrirReseau()
{
    return m_network.InitNetwork();
}

void ZorTavlinObj::FermerReseau()
{
    m_network.ExitNetwork();
}

bool ZorTavlinObj::RechercherCartes()
{
    return m_network.SearchCarteEth();
}

void ZorTavlinObj::LireDatagrammes()
{
    m_network.ForceReadOnDatagram();
}

uint64_t ZorTavlinObj::GetNombreReponsesIgnorees() const
{
    return m_network.GetNombreReponsesIgnorees();
}

bool ZorTavlinObj::EnvoyerHelloDiffuse()
{
    const bool bOk = m_network.SendHello(wxT("255.255.255.255"), wxEmptyString, 'D');
    // Said once when the hellos stop going out and once when they go again, not every 30 s.
    if (bOk == m_bHelloEnEchec)
        gTheLogFile.Write(bOk ? wxT("ZorTavlinObj hello de decouverte envoye a nouveau")
                              : wxT("ZorTavlinObj hello de decouverte non envoye (aucune carte)"));
    m_bHelloEnEchec = !bOk;
    return bOk;
}

void ZorTavlinObj::SetModeAdresseAutomatique(int iMode)
{
    m_network.m_iModeAdresseAutomatique = iMode;
}

void ZorTavlinObj::ConfigureAdresseTavlin(const wxString& zMAC, const wxString& zLogin,
                                          const wxString& zPwd, const wxString& zIPLocal,
                                          const wxString& zMaskLocal, const wxString& zGatewayLocal)
{
    m_network.ConfigureAdresseTavlin(zMAC, zLogin, zPwd, zIPLocal, zMaskLocal, zGatewayLocal);
}

bool ZorTavlinObj::ReadresserVers(const ZorTavlinInfo& d, const wxString& zVers,
                                  std::shared_ptr<std::atomic<bool>> pOccupee)
{
    if (!ZorTavlinInfo::SurReseauDuPC(zVers, d.m_zIPLocal, d.m_zMaskLocal) || zVers == d.m_zIPLocal)
        return false;
    // Always the address asked for, tested once: a busy address would otherwise be tested
    // again at every draw of the search.
    ZorAdresseIP a(zVers);
    ZorRechercheAdresse& recherche = m_network.GetRechercheAdresse();
    const uint8_t octets[4] = {a.GetOctet(0), a.GetOctet(1), a.GetOctet(2), a.GetOctet(3)};
    recherche.SetSourceCandidats([octets](uint8_t aleatoire[4]) {
        for (int i = 0; i < 4; ++i)
            aleatoire[i] = octets[i];
    });
    auto pTeste = std::make_shared<std::atomic<bool>>(false);
    auto pVerdict = std::make_shared<ZorRechercheAdresse::Verdict>(false);
    recherche.SetTestLibre(
        [pOccupee, pTeste, pVerdict](const std::string& zIP, const std::atomic<bool>& bArret) {
            if (!pTeste->exchange(true)) {
                *pVerdict = ZorRechercheAdresse::TestAdresse(zIP, bArret);
                if (pOccupee)
                    *pOccupee = *pVerdict == ZorRechercheAdresse::Verdict::Occupee;
            }
            return *pVerdict;
        });
    ConfigureAdresseTavlin(d.m_zMAC, d.m_zLogin, d.m_zPwd, d.m_zIPLocal, d.m_zMaskLocal,
                           d.m_zGatewayLocal);
    return true;
}

void ZorTavlinObj::SetTestAdresseLibre(ZorRechercheAdresse::TestLibre test)
{
    m_network.GetRechercheAdresse().SetTestLibre(std::move(test));
}

ZorCarteEthPtrArray& ZorTavlinObj::GetArrayCarteEth()
{
    return m_network.m_arrayCarteEth;
}

void ZorTavlinObj::GetVersion(wxString* pzVersion)
{
    if (!pzVersion)
        return;
    ZorTavlinData etat;
    GetEtat(etat);
    *pzVersion = etat.m_zVERSION;
}
