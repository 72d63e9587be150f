#include "ui/ZorPersonnalisation.h"

#include "device/ZorEmailPwdCodec.h"
#include "device/ZorTavlinCommandes.h"
#include "device/ZorTavlinObj.h"
#include "firmware/ZorMAJTavlin.h"
#include "infra/ZorClock.h"
#include "infra/ZorTraduction.h"

#include <wx/defs.h>

#include <utility>

namespace {

const wchar_t* const kMotDePasseIncorrect = ZOR_N("Le mot de passe est incorrect.");
const wchar_t* const kMotsDePasseDifferents = ZOR_N("Les mots de passe saisis sont différents.");
const wchar_t* const kChampsIncomplets = ZOR_N("Les champs doivent être tous complétés.");
const wchar_t* const kMotsDePasseSMTPDifferents =
    ZOR_N("Les mots de passe SMTP saisis sont différents.");
const wchar_t* const kInjoignable = ZOR_N(
    "Impossible de joindre la Tavlin. \n\nMerci de vérifier son branchement puis de réessayer.");

// What the device reports at most: a scrambled text of 40 characters, a clear one of 20.
constexpr size_t kBrouilleMax = 40;
constexpr size_t kClairMax = 20;

class AppareilGestionnaire : public ZorPersonnalisation::Appareil
{
public:
    explicit AppareilGestionnaire(ZorTavlinObj* pTavlin) : m_pTavlin(pTavlin) {}
    bool Existe() override { return m_pTavlin != nullptr; }
    void SurveillerAddrMAC(const wxString& zMAC) override
    {
        if (m_pTavlin)
            m_pTavlin->SurveillerAddrMAC(zMAC);
    }
    void ShowEmailConf(bool bOn) override
    {
        if (m_pTavlin)
            m_pTavlin->ShowEmailConf(bOn, true);
    }
    void DemanderEtatFrais() override
    {
        if (m_pTavlin)
            m_iEtatAttendu = m_pTavlin->DemanderEtatFrais(wxEmptyString, true);
    }
    bool IsNewEtat() override { return m_pTavlin && m_pTavlin->GetSequenceEtat() > m_iEtatAttendu; }
    ZorTavlinData GetEtat() override
    {
        ZorTavlinData etat;
        if (m_pTavlin)
            m_pTavlin->GetEtat(etat);
        return etat;
    }
    void WriteEmailConf(const wxString& zServeur, const wxString& zPort, const wxString& zLogin,
                        const wxString& zPwd, bool bSSL) override
    {
        if (m_pTavlin)
            m_pTavlin->WriteEmailConf(ZOR_CODE_ACCES, zServeur, zPort, zLogin, zPwd, bSSL, true);
    }

private:
    ZorTavlinObj* m_pTavlin;
    // A state numbered beyond this one answers the last request.
    uint64_t m_iEtatAttendu = 0;
};

} // namespace

std::unique_ptr<ZorPersonnalisation::Appareil> ZorPersonnalisation::GestionnaireTavlin(
    ZorTavlinObj* pTavlin)
{
    return std::make_unique<AppareilGestionnaire>(pTavlin);
}

ZorPersonnalisation::ZorPersonnalisation(Appareil& appareil, const ZorClock& clock,
                                         const wxString& zNom, const wxString& zCommentaire,
                                         const wxString& zPwd, const wxString& zMAC,
                                         const ZorAdresseIP& ip, const ZorAdresseIP& ipLocal,
                                         const ZorAdresseIP& masque, const ZorAdresseIP& passerelle,
                                         bool bDHCP, const wxString& zVersion)
    : m_appareil(appareil), m_clock(clock), m_zNom(zNom), m_zCommentaire(zCommentaire),
      m_zPwd(zPwd), m_zMAC(zMAC), m_ip(ip), m_ipLocal(ipLocal), m_masque(masque),
      m_passerelle(passerelle), m_bDHCP(bDHCP),
      m_bEmailCapable(ZorMAJTavlin().CompareVersion(zVersion, wxT("1")) == 1)
{
    if (m_bEmailCapable && m_appareil.Existe()) {
        m_appareil.SurveillerAddrMAC(zMAC);
        m_appareil.ShowEmailConf(true);
    }
}

ZorPersonnalisation::Reaction ZorPersonnalisation::Page(int iPage)
{
    m_iPage = iPage;
    Reaction r;
    r.iPage = iPage;
    return r;
}

ZorPersonnalisation::Reaction ZorPersonnalisation::Ok(const Saisie& saisie)
{
    switch (m_iPage) {
    case PAGE_MOT_DE_PASSE:
        if (saisie.zMotDePasse == m_zPwd)
            return Page(PAGE_PRINCIPALE);
        {
            Reaction r;
            r.zMessage = ZorTr(kMotDePasseIncorrect);
            return r;
        }
    case PAGE_PRINCIPALE:
        m_zNom = saisie.zNom;
        m_zCommentaire = saisie.zCommentaire;
        return Terminer(saisie);
    case PAGE_CHANGER_MDP:
        if (saisie.zNouveauPwd == saisie.zConfirmation) {
            m_zPwd = saisie.zNouveauPwd;
            return Page(PAGE_PRINCIPALE);
        }
        {
            Reaction r;
            r.zMessage = ZorTr(kMotsDePasseDifferents);
            r.bViderMdp = true;
            return r;
        }
    case PAGE_RESEAU:
        m_ip = saisie.ip;
        m_masque = saisie.masque;
        m_passerelle = saisie.passerelle;
        m_bDHCP = saisie.bDHCP;
        return Page(PAGE_PRINCIPALE);
    case PAGE_EMAIL:
        if (m_appareil.Existe()) {
            const Email& e = saisie.email;
            Reaction r;
            if (e.zServeur.empty() || e.zPort.empty() || e.zLogin.empty() || e.zPwd.empty() ||
                e.zConfirmation.empty()) {
                r.zMessage = ZorTr(kChampsIncomplets);
                return r;
            }
            if (e.zPwd != e.zConfirmation) {
                r.zMessage = ZorTr(kMotsDePasseSMTPDifferents);
                r.bViderMdpEmail = true;
                return r;
            }
            // The login entry takes any ASCII character, and these fields are ";"-separated
            // on the device: say so here rather than let the write be refused unseen.
            const std::pair<const wchar_t*, const wxString*> champs[] = {
                {ZOR_N("Nom du serveur SMTP"), &e.zServeur},
                {ZOR_N("Port"), &e.zPort},
                {ZOR_N("Login"), &e.zLogin}};
            for (const auto& c : champs) {
                wxString zRaison;
                if (!ZorEncoderTexte(*c.second, true, nullptr, &zRaison)) {
                    r.zMessage = ZorTr(c.first) + wxT(" : ") + zRaison + wxT(".");
                    return r;
                }
            }
        }
        // Kept so that the page shows them again, and written when the dialog ends.
        m_email = saisie.email;
        return Page(PAGE_PRINCIPALE);
    case PAGE_CHARGEMENT:
    default:
        return Terminer(saisie);
    }
}

ZorPersonnalisation::Reaction ZorPersonnalisation::Terminer(const Saisie& saisie)
{
    if (m_bEmailModifie) {
        const Email& e = m_iPage == PAGE_CHARGEMENT ? m_email : saisie.email;
        m_appareil.WriteEmailConf(e.zServeur, e.zPort, e.zLogin, e.zPwd, e.bSSL);
    }
    if (m_bEmailCapable)
        m_appareil.ShowEmailConf(false);
    Reaction r;
    r.iFin = wxID_OK;
    return r;
}

ZorPersonnalisation::Reaction ZorPersonnalisation::Abandonner()
{
    if (m_bEmailCapable)
        m_appareil.ShowEmailConf(false);
    Reaction r;
    r.iFin = wxID_CANCEL;
    return r;
}

ZorPersonnalisation::Reaction ZorPersonnalisation::Annuler()
{
    switch (m_iPage) {
    case PAGE_MOT_DE_PASSE: // without the password there is nothing else to do here
    case PAGE_PRINCIPALE:
        return Abandonner();
    case PAGE_CHANGER_MDP: {
        Reaction r = Page(PAGE_PRINCIPALE);
        r.bRemplirMdp = true;
        return r;
    }
    case PAGE_RESEAU: {
        Reaction r = Page(PAGE_PRINCIPALE);
        r.bRemplirReseau = true;
        return r;
    }
    case PAGE_EMAIL:
        // Edits left with annuler are not written when the dialog ends; the settings come
        // from the device again at the next visit.
        m_bEmailACharger = true;
        m_bEmailModifie = false;
        return Page(PAGE_PRINCIPALE);
    default:
        return Page(PAGE_PRINCIPALE);
    }
}

ZorPersonnalisation::Reaction ZorPersonnalisation::Fermer()
{
    return Abandonner();
}

ZorPersonnalisation::Reaction ZorPersonnalisation::ChargerEmail()
{
    if (!m_appareil.Existe())
        return Reaction();
    if (!m_bEmailACharger) {
        Reaction r = Page(PAGE_EMAIL);
        r.bRemplirEmail = true;
        return r;
    }
    m_bEmailModifie = false;
    m_bEmailACharger = false;
    Reaction r = Page(PAGE_CHARGEMENT);
    m_appareil.DemanderEtatFrais();
    m_iDebutChargementMs = m_clock.NowMs();
    r.bChargement = true;
    return r;
}

ZorPersonnalisation::Reaction ZorPersonnalisation::TickChargement()
{
    if (m_iPage != PAGE_CHARGEMENT)
        return Reaction();
    const int64_t iEcoule = m_clock.NowMs() - m_iDebutChargementMs;
    if (iEcoule > kChargementMinMs && m_appareil.IsNewEtat()) {
        const ZorTavlinData etat = m_appareil.GetEtat();
        m_email.zServeur = etat.m_zSMTPSERVER;
        m_email.zPort = etat.m_zSMTPPORT;
        m_email.zLogin = etat.m_zSMTPLOGIN;
        m_email.zPwd = ZorMotDePasseEmailEnClair(etat.m_zSMTPPWD);
        m_email.zConfirmation = m_email.zPwd;
        m_email.bSSL = etat.m_zSMTPSSL == wxT("1");
        Reaction r = Page(PAGE_EMAIL);
        r.bRemplirEmail = true;
        return r;
    }
    if (iEcoule <= kChargementMaxMs) {
        Reaction r;
        r.bChargement = true;
        return r;
    }
    // Nothing loaded: the next visit tries again instead of showing empty settings.
    m_bEmailACharger = true;
    Reaction r = Page(PAGE_PRINCIPALE);
    r.zMessage = ZorTr(kInjoignable);
    return r;
}

const wxString& ZorFiltreA()
{
    static const wxString z(wxT("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"));
    return z;
}

const wxString& ZorFiltreB()
{
    static const wxString z = ZorFiltreA() + wxT(" äàâÄïîìôöòûùÿüÖéèêëç()[]{}-_");
    return z;
}

const wxString& ZorFiltreC()
{
    static const wxString z = ZorFiltreA() + wxT("äàâÄïîìôöòûùÿüÖéèêëç-_.");
    return z;
}

wxString ZorMotDePasseEmailEnClair(const wxString& zBrouille)
{
    if (zBrouille.empty() || zBrouille.length() > kBrouilleMax)
        return wxEmptyString;
    const wxScopedCharBuffer octets = zBrouille.mb_str(wxConvISO8859_1);
    std::string zClair;
    if (!zoremail::Decode(std::string(octets.data(), octets.length()), &zClair) ||
        zClair.size() > kClairMax)
        return wxEmptyString;
    return wxString(zClair.data(), wxConvISO8859_1, zClair.size());
}
