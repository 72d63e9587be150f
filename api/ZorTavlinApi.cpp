// The flat C interface: one Tavlin device seen as a single I/O card, the serial port, and
// start / stop of the device manager for hosts that cannot use the exported classes.
#include "api/ZorTavlinApi.h"

#include "api/ZorHosting.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"

#include <wx/app.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/thread.h>
#include <wx/strconv.h>

#include <cstdlib>
#include <cstring>

namespace {

// The virtual I/O card.
const int kVersionDll = 100;
const int kNbInterfaces = 1;
const int kNbPorts = 2;
const int kTypeInterface = 0x10000;
const uint16_t kDirectionPort[kNbPorts] = {0xFF00, 0x0000};
const uint32_t kDirection32 = 0x0000FF00;
const unsigned kNbEntreesAna = 4;
const unsigned kNbSortiesAna = 2;

// Indexes are unsigned 16-bit values; the high half of the argument does not count.
inline unsigned Index16(uint32_t i)
{
    return i & 0xFFFF;
}

bool InterfaceValide(uint32_t iInterface)
{
    return Index16(iInterface) < unsigned(kNbInterfaces);
}

bool PortValide(uint32_t iPort)
{
    return Index16(iPort) < unsigned(kNbPorts);
}

// Every call serves the events of the toolkit the library runs for a host without one.
void Servir()
{
    ZorHostingPump();
}

// The I/O calls start the device manager themselves, resuming the device chosen last time.
void DemarrerSiBesoin()
{
    Tavlin_Start(nullptr, 1);
}

ZorTavlinData LireEtat()
{
    ZorTavlinData etat;
    etat.ReInit();
    if (gpTheTavlin)
        gpTheTavlin->GetEtat(etat);
    return etat;
}

bool ModeUART()
{
    return gpTheTavlin && gpTheTavlin->IsModeUART();
}

// Text for the I/O board on the serial port: a letter and four upper-case hex digits.
wxString CommandeCarte(char cLettre, unsigned iValeur)
{
    return wxString(wxUniChar(cLettre)) + wxString::Format(wxT("%04X"), iValeur & 0xFFFF);
}

bool gbDetache = false;

void DetacherALaSortie()
{
    ZorDllProcessDetach();
}

// Touches, from a secondary thread, what the toolkit builds lazily for such threads (its
// per-thread records, on the first log call).
class ZorThreadAmorce : public wxThread
{
public:
    ZorThreadAmorce() : wxThread(wxTHREAD_JOINABLE) {}
    ExitCode Entry() override
    {
        wxLog::IsEnabled();
        return nullptr;
    }
};

// At process exit, objects are destroyed in the reverse order of their construction, and the
// worker thread still runs: the detach must come before whatever the start built (the lock,
// the toolkit's timer and socket machinery, the records of secondary threads), so it is armed
// once all that exists.
void ArmerSortie()
{
    static bool gbArme = false;
    if (gbArme)
        return;
    ZorGlobalLock();
    ZorThreadAmorce amorce;
    if (amorce.Create() == wxTHREAD_NO_ERROR && amorce.Run() == wxTHREAD_NO_ERROR)
        amorce.Wait();
    gbArme = std::atexit(DetacherALaSortie) == 0;
}

} // namespace

wxString ZorTexteDepuis8Bit(const char* zTexte)
{
    if (!zTexte)
        return wxString();
    return wxString::From8BitData(zTexte);
}

std::string ZorTexteVers8Bit(const wxString& zTexte)
{
    if (zTexte.empty())
        return std::string();
    // The C locale's code set, named explicitly: a windowed toolkit switches its current
    // converter to UTF-8 whatever the host's locale says.
    const wxCharBuffer buffer = zTexte.mb_str(wxConvLibc);
    if (buffer.data() && buffer.length() > 0)
        return std::string(buffer.data(), buffer.length());
    // The locale cannot hold the text (a C locale and an accented letter): rather than lose
    // the whole text, give its ISO 8859-1 bytes.
    std::string zResultat;
    zResultat.reserve(zTexte.length());
    for (wxString::const_iterator it = zTexte.begin(); it != zTexte.end(); ++it) {
        const wxUniChar c = *it;
        zResultat += c.GetValue() < 256 ? char(c.GetValue()) : '?';
    }
    return zResultat;
}

void ZorCopierTexte(char* zBuffer, int iLongueur, const std::string& zTexte)
{
    if (!zBuffer || iLongueur <= 0)
        return;
    const size_t n = size_t(iLongueur);
    // A zero byte inside the text ends it, as with strncpy.
    size_t nTexte = std::strlen(zTexte.c_str());
    if (nTexte > n)
        nTexte = n;
    std::memcpy(zBuffer, zTexte.data(), nTexte);
    std::memset(zBuffer + nTexte, 0, n - nTexte);
}

namespace {

// Load and unload usually happen without any toolkit application, and the toolkit then asserts
// about the standard paths the log file asks for, before answering with its defaults (which is
// what the log file wants). The assertion text would land on the host's standard error.
class SansAssertionHorsApplication
{
public:
    SansAssertionHorsApplication()
        : m_bActif(!wxAppConsole::GetInstance()),
          m_ancien(m_bActif ? wxSetAssertHandler(nullptr) : nullptr)
    {}
    ~SansAssertionHorsApplication()
    {
        if (m_bActif)
            wxSetAssertHandler(m_ancien);
    }

private:
    bool m_bActif;
    wxAssertHandler_t m_ancien;
};

void JournalChargement(const wxString& zTexte)
{
    SansAssertionHorsApplication sansAssertion;
    gTheLogFile.Write(zTexte);
}

} // namespace

namespace {
// The engine's notices to the user: a message box where a windowed application runs, else the log.
void NoticeParMessageBox(const wxString& zTexte, const wxString& zTitre)
{
    if (wxAppConsole::GetInstance() && wxAppConsole::GetInstance()->IsGUI())
        wxMessageBox(zTexte, zTitre, wxOK | wxICON_INFORMATION, nullptr);
    else
        gTheLogFile.Write(zTexte);
}
} // namespace

void ZorDllProcessAttach()
{
    gbDetache = false;
    ZorSetUserNoticeHook(NoticeParMessageBox);
    JournalChargement(wxString::Format(wxT("ZorTavlinDllCom DLL_PROCESS_ATTACH version [%s]"),
                                       ZOR_TAVLIN_VERSION));
}

void ZorDllProcessDetach()
{
    if (gbDetache)
        return;
    gbDetache = true;
    JournalChargement(wxT("ZorTavlinDllCom DLL_PROCESS_DETACH DEBUT"));
    Tavlin_Stop();
    // The device manager holds toolkit objects (its timer, the sockets): it goes before the
    // toolkit the library runs is cleaned up.
    ZorTavlinObj::DeleteTavlinObj();
    ZorHostingCleanupToolkit();
    JournalChargement(wxT("ZorTavlinDllCom DLL_PROCESS_DETACH FIN"));
}

extern "C" {

int ZOR_CALL GetDLLVersion(void)
{
    Servir();
    return kVersionDll;
}

int ZOR_CALL GetNumInterface(void)
{
    Servir();
    return kNbInterfaces;
}

int ZOR_CALL GetInterfaceType(uint32_t iInterface)
{
    Servir();
    return InterfaceValide(iInterface) ? kTypeInterface : 0;
}

int ZOR_CALL SetIODir(uint32_t iInterface, uint32_t iPort, uint32_t /*iDirection*/)
{
    Servir();
    return InterfaceValide(iInterface) && PortValide(iPort) ? 1 : 0;
}

int ZOR_CALL GetIODir(uint32_t iInterface, uint32_t iPort, uint16_t* pDirection)
{
    Servir();
    if (!InterfaceValide(iInterface) || !PortValide(iPort) || !pDirection)
        return 0;
    *pDirection = kDirectionPort[Index16(iPort)];
    return 1;
}

int ZOR_CALL SetIO(uint32_t iInterface, uint32_t iPort, uint32_t iValue)
{
    Servir();
    if (!InterfaceValide(iInterface) || !PortValide(iPort))
        return 0;
    if (Index16(iPort) == 1)
        return 1;
    DemarrerSiBesoin();
    if (gpTheTavlin)
        gpTheTavlin->SetSNUM(uint8_t((iValue >> 8) & 0xFF), true);
    return 1;
}

int ZOR_CALL GetIO(uint32_t iInterface, uint32_t iPort, uint16_t* pValue)
{
    Servir();
    if (!InterfaceValide(iInterface) || !PortValide(iPort) || !pValue)
        return 0;
    if (Index16(iPort) == 1) {
        *pValue = 0;
        return 1;
    }
    DemarrerSiBesoin();
    const ZorTavlinData etat = LireEtat();
    *pValue = uint16_t((unsigned(etat.m_iSNUM) << 8) | etat.m_iENUM);
    return 1;
}

int ZOR_CALL SetIODir32(uint32_t iInterface, uint32_t iDirection)
{
    Servir();
    if (!InterfaceValide(iInterface))
        return 0;
    DemarrerSiBesoin();
    if (ModeUART())
        gpTheTavlin->WriteUART(CommandeCarte('K', ~iDirection), true);
    return 1;
}

int ZOR_CALL GetIODir32(uint32_t iInterface, uint32_t* pDirection)
{
    Servir();
    if (!InterfaceValide(iInterface) || !pDirection)
        return 0;
    *pDirection = kDirection32;
    return 1;
}

int ZOR_CALL SetIO32(uint32_t iInterface, uint32_t iValue)
{
    Servir();
    if (!InterfaceValide(iInterface))
        return 0;
    DemarrerSiBesoin();
    if (!gpTheTavlin)
        return 1;
    if (ModeUART())
        gpTheTavlin->WriteUART(CommandeCarte('S', iValue), true);
    else
        gpTheTavlin->SetSNUM_SRELAIS(uint8_t((iValue >> 8) & 0xFF), uint8_t((iValue >> 20) & 0x0F),
                                     true);
    return 1;
}

int ZOR_CALL GetIO32(uint32_t iInterface, uint32_t* pValue)
{
    Servir();
    if (!InterfaceValide(iInterface) || !pValue)
        return 0;
    DemarrerSiBesoin();
    const ZorTavlinData etat = LireEtat();
    *pValue = uint32_t(etat.m_iENUM) | (uint32_t(etat.m_iSNUM) << 8) |
              (uint32_t(etat.m_iSRELAIS & 0x0F) << 20);
    return 1;
}

int ZOR_CALL GetAdc(uint32_t iInterface, uint32_t iChannel, uint16_t* pValue)
{
    Servir();
    if (!InterfaceValide(iInterface) || !pValue || Index16(iChannel) >= kNbEntreesAna)
        return 0;
    DemarrerSiBesoin();
    const ZorTavlinData etat = LireEtat();
    const int16_t entrees[kNbEntreesAna] = {etat.m_iEANA1, etat.m_iEANA2, etat.m_iEANA3,
                                            etat.m_iEANA4};
    *pValue = uint16_t(uint16_t(entrees[Index16(iChannel)]) >> 2);
    return 1;
}

int ZOR_CALL GetDac(uint32_t iInterface, uint32_t iChannel, uint16_t* pValue)
{
    Servir();
    if (!InterfaceValide(iInterface) || !pValue || Index16(iChannel) >= kNbSortiesAna)
        return 0;
    DemarrerSiBesoin();
    const ZorTavlinData etat = LireEtat();
    *pValue = uint16_t(Index16(iChannel) == 0 ? etat.m_iSANA1 : etat.m_iSANA2);
    return 1;
}

int ZOR_CALL SetDac(uint32_t iInterface, uint32_t iChannel, uint32_t iValue)
{
    Servir();
    if (!InterfaceValide(iInterface) || Index16(iChannel) >= kNbSortiesAna)
        return 0;
    DemarrerSiBesoin();
    if (gpTheTavlin)
        gpTheTavlin->SetSANA(int(Index16(iChannel)), uint8_t(iValue & 0xFF), true);
    return 1;
}

int ZOR_CALL GetPowerStatus(uint32_t iInterface, uint32_t* pStatus)
{
    Servir();
    if (!pStatus)
        return 0;
    if (!InterfaceValide(iInterface)) {
        *pStatus = 0;
        return 0;
    }
    *pStatus = 1;
    return 1;
}

int ZOR_CALL Tavlin_SurveillerAddrMAC(const char* zMAC)
{
    Servir();
    if (!zMAC)
        return 0;
    if (gpTheTavlin)
        gpTheTavlin->SurveillerAddrMAC(ZorTexteDepuis8Bit(zMAC));
    return 1;
}

int ZOR_CALL Tavlin_Start(const char* zNom, int iFlag)
{
    Servir();
    if (gpTheTavlin && gpTheTavlin->IsStarted())
        return 1;
    if (!gpTheTavlin) {
        gbAppHote = wxAppConsole::GetInstance() != nullptr;
        if (!gbAppHote) {
            gbPasWx = true;
            if (!ZorHostingStartToolkit()) {
                // Without a toolkit the device manager's timer and sockets cannot exist.
                gTheLogFile.Write(wxT("Tavlin_Start: toolkit start failed"));
                return 1;
            }
        }
        ZorTavlinObj::CreateTavlinObj();
    }
    if (!gpTheTavlin)
        return 1;
    const wxString zInstance = zNom ? ZorTexteDepuis8Bit(zNom) : wxString(wxT("default"));
    gpTheTavlin->Start(zInstance, (iFlag & 0xFF) != 0);
    ArmerSortie();
    Servir();
    return 1;
}

int ZOR_CALL Tavlin_AfficherListe(char* zMAC, int iLongueurMAC, char* zIP, int iLongueurIP,
                                  char* zNom, int iLongueurNom, char* zCommentaire,
                                  int iLongueurCommentaire)
{
    Servir();
    if (gpTheTavlin && !gpTheTavlin->IsStarted())
        return 0;
    wxString zTextes[4];
    const bool bChoisie =
        gpTheTavlin && ZorHostingFenetresPossibles() &&
        gpTheTavlin->AfficherListe(&zTextes[0], &zTextes[1], &zTextes[2], &zTextes[3], nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr);
    struct Tampon
    {
        char* z;
        int n;
    } const tampons[4] = {{zMAC, iLongueurMAC},
                          {zIP, iLongueurIP},
                          {zNom, iLongueurNom},
                          {zCommentaire, iLongueurCommentaire}};
    // Nothing chosen: each buffer holds only zero bytes, so a host reads empty texts.
    for (int i = 0; i < 4; ++i)
        ZorCopierTexte(tampons[i].z, tampons[i].n,
                       bChoisie ? ZorTexteVers8Bit(zTextes[i]) : std::string());
    return bChoisie ? 1 : 0;
}

int ZOR_CALL Tavlin_StartTS(void)
{
    Servir();
    if (!ZorHostingFenetresPossibles())
        return 0;
    gbPasWx = true;
    Tavlin_Start("ProgrammeTS", 0);
    // The display named may have refused the toolkit, which then runs without windows.
    if (!gpTheTavlin || !gpTheTavlin->IsStarted() || !ZorHostingFenetresPossibles())
        return 0;
    wxString zMAC, zIP, zIPLocal;
    if (!gpTheTavlin->AfficherListe(&zMAC, &zIP, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, &zIPLocal, nullptr, nullptr, nullptr,
                                    nullptr))
        return 0;
    gpTheTavlin->SurveillerAddrMAC(zMAC);
    gpTheTavlin->SetTheIP(zIP, zIPLocal);
    return 1;
}

int ZOR_CALL Tavlin_StartPasWx(const char* zNom, int iFlag)
{
    gbPasWx = true;
    return Tavlin_Start(zNom, iFlag);
}

int ZOR_CALL Tavlin_Stop(void)
{
    Servir();
    if (!gpTheTavlin || !gpTheTavlin->IsStarted())
        return 1;
    gpTheTavlin->Stop();
    if (ZorHostingOwnsToolkit()) {
        // The device manager's timer and sockets belong to the toolkit that goes now; a later
        // Tavlin_Start builds both again, so a host may start again after a stop.
        ZorTavlinObj::DeleteTavlinObj();
        ZorHostingCleanupToolkit();
    } else if (gbAppHote) {
        ZorHostingIdleHost();
    }
    return 1;
}

int ZOR_CALL Tavlin_SetPathDll(const char* zPath)
{
    Servir();
    if (!zPath)
        return 0;
    ZorUtile::SetPathExe(ZorTexteDepuis8Bit(zPath));
    return 1;
}

int ZOR_CALL Tavlin_SetDefaultTimeSurveillanceMs(int iMs)
{
    Servir();
    if (gpTheTavlin)
        gpTheTavlin->SetDefaultTimeSurveillanceMs(iMs);
    return 1;
}

int ZOR_CALL Tavlin_SetAuto(int iValeur)
{
    Servir();
    if (gpTheTavlin)
        gpTheTavlin->SetAuto(iValeur, true);
    return 1;
}

int ZOR_CALL Tavlin_ReadUart(char* zBuffer, int iLongueur)
{
    Servir();
    if (!zBuffer)
        return 1;
    wxString zUART;
    if (gpTheTavlin)
        zUART = LireEtat().m_zUART;
    ZorCopierTexte(zBuffer, iLongueur, ZorTexteVers8Bit(zUART));
    return 1;
}

int ZOR_CALL Tavlin_WriteUart(const char* zTexte)
{
    Servir();
    if (!zTexte)
        return 0;
    if (gpTheTavlin)
        gpTheTavlin->WriteUART(ZorTexteDepuis8Bit(zTexte), true);
    return 1;
}

int ZOR_CALL Tavlin_RazUart(void)
{
    Servir();
    if (gpTheTavlin)
        gpTheTavlin->RazUARTTout(true);
    return 1;
}

int ZOR_CALL Tavlin_SelectionnerUART(int iSelection)
{
    Servir();
    // The choice counts only once it is in the instance's settings file, read at the next
    // start: without a started device manager there is no file to keep it in.
    const bool bGarde = gpTheTavlin && gpTheTavlin->IsStarted() &&
                        gpTheTavlin->SelectionnerUART((iSelection & 0xFF) != 0);
    return bGarde ? 1 : 0;
}

} // extern "C"
