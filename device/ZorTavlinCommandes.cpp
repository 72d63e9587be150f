// The device command catalogue: one method per action, each building its parameters and
// queueing them for the worker thread.
#include "device/ZorTavlinCommandes.h"

#include "device/ZorEmailPwdCodec.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"

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

// The text's ISO 8859-1 bytes, the character set of the device; false at the first character
// beyond it (given in *pzHors when asked for).
bool OctetsLatin1(const wxString& zTexte, std::string* pOctets, wxString* pzHors = nullptr)
{
    pOctets->clear();
    pOctets->reserve(zTexte.length());
    for (wxString::const_iterator it = zTexte.begin(); it != zTexte.end(); ++it) {
        const wxUint32 u = (*it).GetValue();
        if (u > 0xFF) {
            if (pzHors)
                *pzHors = wxString(*it);
            return false;
        }
        *pOctets += char(u);
    }
    return true;
}

// The texts of one command, encoded as ";"-separated fields; remembers a refusal so that the
// command queues nothing when any of its fields was refused.
class Champs
{
public:
    wxString operator()(const wxString& zTexte)
    {
        wxString z;
        if (!ZorEncoderTexte(zTexte, true, &z))
            m_bRefus = true;
        return z;
    }
    bool Refus() const { return m_bRefus; }

private:
    bool m_bRefus = false;
};

// A whole parameter value of one text (no field splitting on the device's side).
bool Valeur(const wxString& zTexte, wxString* pz)
{
    return ZorEncoderTexte(zTexte, false, pz);
}

} // namespace

std::string ZorPourcentEncoder(const std::string& octets)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(octets.size() * 3);
    for (unsigned char b : octets) {
        const bool bLibre = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                            (b >= '0' && b <= '9') || b == '-' || b == '.' || b == '_' || b == '~';
        if (bLibre) {
            out += char(b);
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        }
    }
    return out;
}

bool ZorEncoderTexte(const wxString& zTexte, bool bChamp, wxString* pzEncode, wxString* pzRaison)
{
    std::string octets;
    wxString zHors, zRaison;
    if (bChamp && zTexte.Find(wxT(';')) != wxNOT_FOUND)
        zRaison = ZOR_TR("le caractère « ; » sépare les champs de la commande : "
                         "un texte ne peut pas le contenir");
    else if (!OctetsLatin1(zTexte, &octets, &zHors))
        zRaison = wxString::Format(ZOR_TR("le caractère « %s » ne peut pas être envoyé "
                                          "à une Tavlin (hors ISO 8859-1)"),
                                   zHors);
    if (!zRaison.empty()) {
        if (pzRaison)
            *pzRaison = zRaison;
        return false;
    }
    if (pzEncode)
        *pzEncode = wxString::FromAscii(ZorPourcentEncoder(octets).c_str());
    if (pzRaison)
        pzRaison->clear();
    return true;
}

bool ZorEncodeEmailPwd(const wxString& zPwd, wxString* pzCode)
{
    if (!pzCode)
        return false;
    std::string octets;
    if (!OctetsLatin1(zPwd, &octets))
        return false;
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
    // One text, closed by ";": a ";" inside it stays in the text (encoded).
    wxString z;
    return Valeur(zTexte, &z) && PushCommande(wxT("&WRITE_UART=") + z + wxT(";"), wxEmptyString,
                                              wxEmptyString, bWait, kPageEtat);
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
    return PushCommande(wxString(wxT("&SHOWFLASH=")) + UnZero(bOn), wxEmptyString, wxEmptyString,
                        bWait, kPageEtat);
}

bool ZorTavlinObj::ShowEeprom(bool bOn, bool bWait)
{
    return PushCommande(wxString(wxT("&SHOWEEPROM=")) + UnZero(bOn), wxEmptyString, wxEmptyString,
                        bWait, kPageEtat);
}

bool ZorTavlinObj::Inscription(const wxString& s1, const wxString& s2, const wxString& s3,
                               bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&INSCRIPTION=%s;%s;%s;"), c(s1), c(s2), c(s3));
    return !c.Refus() && PushCommande(q, wxEmptyString, wxEmptyString, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::ResetInscription(bool bWait)
{
    return PushCommande(wxT("&RESET_INSCRIPTION"), wxEmptyString, wxEmptyString, bWait,
                        kPageEnregistrement);
}

bool ZorTavlinObj::StopAcquisition(bool bWait)
{
    return PushCommande(wxT("&STOP_ACQ"), wxEmptyString, wxEmptyString, bWait, kPageEnregistrement);
}

// The counts are unsigned: printed as such, a large value never turns negative on the wire.
bool ZorTavlinObj::StartAcquisitionToMem(const wxString& s, unsigned int a, unsigned int b,
                                         bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&START_ACQ=0;%s;%u;%u;;"), c(s), a, b);
    return !c.Refus() && PushCommande(q, wxEmptyString, wxEmptyString, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::StartAcquisitionToZorSrv(const wxString& s, unsigned int a, unsigned int b,
                                            const wxString& t, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&START_ACQ=1;%s;%u;%u;%s;"), c(s), a, b, c(t));
    return !c.Refus() && PushCommande(q, wxEmptyString, wxEmptyString, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::ResetMemAcquisitionByIp(const wxString& zCode, const wxString& zIP,
                                           const wxString& zIPLocal, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&RESET_MEM_ACQUISITION=%s;"), c(zCode));
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageEnregistrement);
}

bool ZorTavlinObj::ResetMemAcquisition(const wxString& zCode, bool bWait)
{
    return ResetMemAcquisitionByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::EraseFlashTotalByIp(const wxString& zCode, const wxString& zIP,
                                       const wxString& zIPLocal, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&ERASE_FLASH=%s;0;"), c(zCode));
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::EraseFlashTotal(const wxString& zCode, bool bWait)
{
    return EraseFlashTotalByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::EraseEepromTotalByIp(const wxString& zCode, const wxString& zIP,
                                        const wxString& zIPLocal, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&ERASE_EEPROM=%s;0;"), c(zCode));
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::EraseEepromTotal(const wxString& zCode, bool bWait)
{
    return EraseEepromTotalByIp(zCode, wxEmptyString, wxEmptyString, bWait);
}

bool ZorTavlinObj::WriteFlash(const wxString& s1, const wxString& s2, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&WRITE_FLASH=%s;%s;"), c(s1), c(s2));
    return !c.Refus() && PushCommande(q, wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteEeprom(const wxString& s1, const wxString& s2, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&WRITE_EEPROM=%s;%s;"), c(s1), c(s2));
    return !c.Refus() && PushCommande(q, wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetSNUM(const wxString& zBits, bool bWait)
{
    wxString z;
    return Valeur(zBits, &z) &&
           PushCommande(wxT("&SNUM=") + z, wxEmptyString, wxEmptyString, bWait, kPageEtat);
}

bool ZorTavlinObj::SetSNUM(uint8_t iValeur, bool bWait)
{
    return SetSNUM(ZorBitsTexte(iValeur, 8), bWait);
}

bool ZorTavlinObj::SetSRELAIS(const wxString& zBits, bool bWait)
{
    wxString z;
    return Valeur(zBits, &z) &&
           PushCommande(wxT("&SRELAIS=") + z, wxEmptyString, wxEmptyString, bWait, kPageEtat);
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
    return PushCommande(wxString::Format(wxT("&ERASE_PROG=%d"), n), wxEmptyString, wxEmptyString,
                        bWait, kPageAutomate);
}

bool ZorTavlinObj::ResetMemAutomateByIp(const wxString& zCode, const wxString& zIP,
                                        const wxString& zIPLocal, bool bWait)
{
    Champs c;
    const wxString q = wxString::Format(wxT("&RESET_MEM_AUTOMATE=%s;"), c(zCode));
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageAutomate);
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
    Champs c;
    const wxString q = wxString::Format(wxT("&PERSO=%s;%s;%s;%s;%s;"), c(zLogin), c(zPwd),
                                        c(zNewPwd), c(zNom), c(zCommentaire));
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageEtat);
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
    Champs c;
    const wxString q = wxString::Format(wxT("&NETWORK=%s;%s;%s;%s;%s;%d;"), c(zLogin), c(zPwd),
                                        c(zNewIP), c(zNewMask), c(zNewGateway), bDHCP ? 1 : 0);
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteFab(const wxString& zId, int iJour, int iMois, int iAnnee, int iHeure,
                            int iMinute, int iSeconde, int iFab1, int iFab2, bool bWait)
{
    Champs c;
    const wxString q =
        wxString::Format(wxT("&FAB=%s;%02d%02d%02d;%02d%02d%02d;%02d;%02d;"), c(zId), iJour, iMois,
                         Annee2000(iAnnee), iHeure, iMinute, iSeconde, iFab1, iFab2);
    return !c.Refus() && PushCommande(q, wxEmptyString, wxEmptyString, bWait, kPageEtat);
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
    if (zServeur.length() > 99 || zPort.length() > 5 || zLogin.length() > 49 || zPwd.length() > 19)
        return false;
    wxString zPwdCode;
    if (!ZorEncodeEmailPwd(zPwd, &zPwdCode))
        return false;
    // The scrambled password is written in "@" to "O" only: it goes as it is.
    Champs c;
    const wxString q = wxString::Format(wxT("&EMAILCONF=%s;%s;%s;%s;%s;%c;"), c(zCode), c(zServeur),
                                        c(zPort), c(zLogin), zPwdCode, bSSL ? '1' : '0');
    return !c.Refus() && PushCommande(q, zIP, zIPLocal, bWait, kPageEtat);
}

bool ZorTavlinObj::WriteEmailConf(const wxString& zCode, const wxString& zServeur,
                                  const wxString& zPort, const wxString& zLogin,
                                  const wxString& zPwd, bool bSSL, bool bWait)
{
    return WriteEmailConfByIp(zCode, wxEmptyString, wxEmptyString, zServeur, zPort, zLogin, zPwd,
                              bSSL, bWait);
}
