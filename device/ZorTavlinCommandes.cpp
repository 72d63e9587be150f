// The device command catalogue: one method per action, each building its parameters and
// queueing them for the worker thread.
#include "device/ZorTavlinCommandes.h"

#include "device/ZorEmailPwdCodec.h"
#include "device/ZorTavlinObj.h"

namespace {

const wxChar* const kPageEtat = wxT("etat.htm");
const wxChar* const kPageAutomate = wxT("etatautomate.htm");
const wxChar* const kPageEnregistrement = wxT("etatenregistrement.htm");

inline const wxChar* UnZero(bool b)
{
    return b ? wxT("1") : wxT("0");
}

// Year as sent in clock fields: two digits from 2000, never below 0.
inline int Annee2000(int iAnnee)
{
    return iAnnee < 2000 ? 0 : iAnnee - 2000;
}

} // namespace

bool ZorEncodeEmailPwd(const wxString& zPwd, wxString* pzCode)
{
    if (!pzCode)
        return false;
    std::string octets;
    octets.reserve(zPwd.length());
    for (wxString::const_iterator it = zPwd.begin(); it != zPwd.end(); ++it) {
        wxUint32 u = (*it).GetValue();
        if (u > 0xFF)
            return false;
        octets += char(u);
    }
    *pzCode = wxString::FromAscii(zoremail::Encode(octets).c_str());
    return true;
}

bool ZorDecodeEmailPwd(const wxString& zCode, wxString* pzPwd)
{
    if (!pzPwd)
        return false;
    std::string texte;
    for (wxString::const_iterator it = zCode.begin(); it != zCode.end(); ++it) {
        wxUint32 u = (*it).GetValue();
        texte += char(u > 0xFF ? '?' : u);
    }
    std::string octets;
    if (!zoremail::Decode(texte, &octets))
        return false;
    *pzPwd = wxString::From8BitData(octets.data(), octets.size());
    return true;
}

wxString ZorBitsTexte(uint8_t iValeur, int n)
{
    wxString z;
    for (int b = n - 1; b >= 0; --b)
        z += (iValeur >> b) & 1 ? wxT('1') : wxT('0');
    return z;
}

bool ZorTavlinObj::RazUARTTout(bool bWait)
{
    return PushCommande(wxT("&RAZ_UART=1"), wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteUART(const wxString& zTexte, bool bWait)
{
    return PushCommande(wxT("&WRITE_UART=") + zTexte + wxT(";"), wxEmptyString, wxEmptyString,
                        bWait, kPageEtat);
}

bool ZorTavlinObj::ShowFab(bool bOn, bool bWait)
{
    return PushCommande(wxString(wxT("&SHOWFAB=")) + UnZero(bOn), wxEmptyString, wxEmptyString,
                        bWait, kPageEtat);
}

bool ZorTavlinObj::ShowEmailConf(bool bOn, bool bWait)
{
    return PushCommande(wxString(wxT("&SHOWEMAILCONF=")) + UnZero(bOn), wxEmptyString,
                        wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::ShowFlash(bool bOn, bool bWait)
{
    return PushCommande(wxString(wxT("&SHOWFLASH=")) + UnZero(bOn), wxEmptyString,
                        wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::ShowEeprom(bool bOn, bool bWait)
{
    return PushCommande(wxString(wxT("&SHOWEEPROM=")) + UnZero(bOn), wxEmptyString,
                        wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::Inscription(const wxString& s1, const wxString& s2, const wxString& s3,
                               bool bWait)
{
    return PushCommande(wxString::Format(wxT("&INSCRIPTION=%s;%s;%s;"), s1, s2, s3),
                        wxEmptyString, wxEmptyString, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::ResetInscription(bool bWait)
{
    return PushCommande(wxT("&RESET_INSCRIPTION"), wxEmptyString, wxEmptyString, bWait,
                        kPageEnregistrement);
}

bool ZorTavlinObj::StopAcquisition(bool bWait)
{
    return PushCommande(wxT("&STOP_ACQ"), wxEmptyString, wxEmptyString, bWait,
                        kPageEnregistrement);
}

// The counts are unsigned: printed as such, a large value never turns negative on the wire.
bool ZorTavlinObj::StartAcquisitionToMem(const wxString& s, unsigned int a, unsigned int b,
                                         bool bWait)
{
    return PushCommande(wxString::Format(wxT("&START_ACQ=0;%s;%u;%u;;"), s, a, b), wxEmptyString,
                        wxEmptyString, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::StartAcquisitionToZorSrv(const wxString& s, unsigned int a, unsigned int b,
                                            const wxString& t, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&START_ACQ=1;%s;%u;%u;%s;"), s, a, b, t),
                        wxEmptyString, wxEmptyString, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::ResetMemAcquisitionByIp(const wxString& zCode, const wxString& zIP,
                                           const wxString& zIPLocal, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&RESET_MEM_ACQUISITION=%s;"), zCode), zIP,
                        zIPLocal, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::ResetMemAcquisition(const wxString& zCode, bool bWait)
{
    return ResetMemAcquisitionByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::EraseFlashTotalByIp(const wxString& zCode, const wxString& zIP,
                                       const wxString& zIPLocal, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&ERASE_FLASH=%s;0;"), zCode), zIP, zIPLocal, bWait,
                        kPageEtat);
}

bool ZorTavlinObj::EraseFlashTotal(const wxString& zCode, bool bWait)
{
    return EraseFlashTotalByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::EraseEepromTotalByIp(const wxString& zCode, const wxString& zIP,
                                        const wxString& zIPLocal, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&ERASE_EEPROM=%s;0;"), zCode), zIP, zIPLocal,
                        bWait, kPageEtat);
}

bool ZorTavlinObj::EraseEepromTotal(const wxString& zCode, bool bWait)
{
    return EraseEepromTotalByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::WriteFlash(const wxString& s1, const wxString& s2, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&WRITE_FLASH=%s;%s;"), s1, s2), wxEmptyString,
                        wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteEeprom(const wxString& s1, const wxString& s2, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&WRITE_EEPROM=%s;%s;"), s1, s2), wxEmptyString,
                        wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetSNUM(const wxString& zBits, bool bWait)
{
    return PushCommande(wxT("&SNUM=") + zBits, wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetSNUM(uint8_t iValeur, bool bWait)
{
    return SetSNUM(ZorBitsTexte(iValeur, 8), bWait);
}

bool ZorTavlinObj::SetSRELAIS(const wxString& zBits, bool bWait)
{
    return PushCommande(wxT("&SRELAIS=") + zBits, wxEmptyString, wxEmptyString, bWait,
                        kPageEtat);
}

bool ZorTavlinObj::SetSRELAIS(uint8_t iValeur, bool bWait)
{
    return SetSRELAIS(ZorBitsTexte(iValeur, 4), bWait);
}

bool ZorTavlinObj::SetSNUM_SRELAIS(uint8_t iSNUM, uint8_t iSRELAIS, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&SNUM=%s&SRELAIS=%s"), ZorBitsTexte(iSNUM, 8),
                                         ZorBitsTexte(iSRELAIS, 4)),
                        wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetSANA(int iIndex, uint8_t iValeur, bool bWait)
{
    if (iIndex != 0 && iIndex != 1)
        return false;
    return PushCommande(wxString::Format(wxT("&SANA%d=%d"), iIndex + 1, int(iValeur)),
                        wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetAutoByIp(int iValeur, const wxString& zIP, const wxString& zIPLocal,
                               bool bWait)
{
    return PushCommande(wxString::Format(wxT("&AUTO=%d"), iValeur), zIP, zIPLocal, bWait,
                        kPageEtat);
}

bool ZorTavlinObj::SetAuto(int iValeur, bool bWait)
{
    return SetAutoByIp(iValeur, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::SetPauseAutomate(bool bPause, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&PAUSE=%d"), bPause ? 1 : 0), wxEmptyString,
                        wxEmptyString, bWait, kPageAutomate);
}

bool ZorTavlinObj::EraseProgAutomate(int n, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&ERASE_PROG=%d"), n), wxEmptyString,
                        wxEmptyString, bWait, kPageAutomate);
}

bool ZorTavlinObj::ResetMemAutomateByIp(const wxString& zCode, const wxString& zIP,
                                        const wxString& zIPLocal, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&RESET_MEM_AUTOMATE=%s;"), zCode), zIP, zIPLocal,
                        bWait, kPageAutomate);
}

bool ZorTavlinObj::ResetMemAutomate(const wxString& zCode, bool bWait)
{
    return ResetMemAutomateByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::BlinkByIp(const wxString& zIP, const wxString& zIPLocal, bool bWait)
{
    return PushCommande(wxT("&BLINK=1"), zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::Blink(bool bWait)
{
    return BlinkByIp(wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::AppelerPageEtat(bool bWait)
{
    return PushCommande(wxT("&ETAT=1"), wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::PersonnaliserByIp(const wxString& zIP, const wxString& zIPLocal,
                                     const wxString& zNom, const wxString& zCommentaire,
                                     const wxString& zLogin, const wxString& zPwd,
                                     const wxString& zNewPwd, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&PERSO=%s;%s;%s;%s;%s;"), zLogin, zPwd, zNewPwd,
                                         zNom, zCommentaire),
                        zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::Personnaliser(const wxString& zNom, const wxString& zCommentaire,
                                 const wxString& zLogin, const wxString& zPwd,
                                 const wxString& zNewPwd, bool bWait)
{
    return PersonnaliserByIp(wxEmptyString, wxEmptyString, zNom, zCommentaire, zLogin, zPwd,
                             zNewPwd, bWait);
}

bool ZorTavlinObj::SetNewConfigNetworkByIp(const wxString& zIP, const wxString& zIPLocal,
                                           const wxString& zLogin, const wxString& zPwd,
                                           const wxString& zNewIP, const wxString& zNewMask,
                                           const wxString& zNewGateway, bool bDHCP, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&NETWORK=%s;%s;%s;%s;%s;%d;"), zLogin, zPwd,
                                         zNewIP, zNewMask, zNewGateway, bDHCP ? 1 : 0),
                        zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteFab(const wxString& zId, int iJour, int iMois, int iAnnee, int iHeure,
                            int iMinute, int iSeconde, int iFab1, int iFab2, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&FAB=%s;%02d%02d%02d;%02d%02d%02d;%02d;%02d;"), zId,
                                         iJour, iMois, Annee2000(iAnnee), iHeure, iMinute,
                                         iSeconde, iFab1, iFab2),
                        wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetHorloge(int iJour, int iMois, int iAnnee, int iHeure, int iMinute,
                              int iSeconde, bool bWait)
{
    return PushCommande(wxString::Format(wxT("&DATETIME=%02d;%02d;%02d;%02d;%02d;%02d;"), iJour,
                                         iMois, Annee2000(iAnnee), iHeure, iMinute, iSeconde),
                        wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteEmailConfByIp(const wxString& zCode, const wxString& zIP,
                                      const wxString& zIPLocal, const wxString& zServeur,
                                      const wxString& zPort, const wxString& zLogin,
                                      const wxString& zPwd, bool bSSL, bool bWait)
{
    if (zServeur.length() > 99 || zPort.length() > 5 || zLogin.length() > 49 ||
        zPwd.length() > 19)
        return false;
    wxString zPwdCode;
    if (!ZorEncodeEmailPwd(zPwd, &zPwdCode))
        return false;
    return PushCommande(wxString::Format(wxT("&EMAILCONF=%s;%s;%s;%s;%s;%c;"), zCode, zServeur,
                                         zPort, zLogin, zPwdCode, bSSL ? '1' : '0'),
                        zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteEmailConf(const wxString& zCode, const wxString& zServeur,
                                  const wxString& zPort, const wxString& zLogin,
                                  const wxString& zPwd, bool bSSL, bool bWait)
{
    return WriteEmailConfByIp(zCode, wxEmptyString, wxEmptyString, zServeur, zPort, zLogin, zPwd,
                              bSSL, bWait);
}
