// Start and stop of the device manager, its settings and card black-list files, and the
// operations that forward to the network object.
#include "device/ZorTavlinObj.h"

#include "device/ZorTavlinDelais.h"
#include "infra/ZorClock.h"
#include "infra/ZorLibraryFlags.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"

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
