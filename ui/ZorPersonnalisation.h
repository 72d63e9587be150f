// The customisation dialog's rules without its window: the six pages, what ok and annuler do on
// each, the password guard and change, the network page, and the e-mail settings loaded from
// the device and written back only when modified. The dialog fills a Saisie from its controls,
// calls one of the actions and applies the Reaction it gets back.
// Main thread only.
#pragma once

#include "device/ZorTavlinRecords.h"
#include "network/ZorAdresseIP.h"

#include <wx/string.h>

#include <cstdint>
#include <memory>

class ZorTavlinObj;

class ZorClock;

class ZorPersonnalisation
{
public:
    enum Page {
        PAGE_MOT_DE_PASSE = 0,
        PAGE_PRINCIPALE = 1,
        PAGE_CHANGER_MDP = 2,
        PAGE_RESEAU = 3,
        PAGE_CHARGEMENT = 4,
        PAGE_EMAIL = 5,
    };

    // Loading the e-mail settings: the first look after 1 s, the poll spacing, the give-up time.
    static constexpr int64_t kChargementMinMs = 1000;
    static constexpr int64_t kChargementPasMs = 50;
    static constexpr int64_t kChargementMaxMs = 10000;

    // The device manager as this dialog uses it (a test plays the device).
    class Appareil
    {
    public:
        virtual ~Appareil() = default;
        virtual bool Existe() = 0;
        virtual void SurveillerAddrMAC(const wxString& zMAC) = 0;
        virtual void ShowEmailConf(bool bOn) = 0;
        virtual void DemanderEtatFrais() = 0; // a state page asked for
        virtual bool IsNewEtat() = 0;         // a state fetched since DemanderEtatFrais
        virtual ZorTavlinData GetEtat() = 0;
        virtual void WriteEmailConf(const wxString& zServeur, const wxString& zPort,
                                    const wxString& zLogin, const wxString& zPwd, bool bSSL) = 0;
    };
    // The device manager pTavlin as the device (it must outlive the result), or nothing when
    // it is null.
    static std::unique_ptr<Appareil> GestionnaireTavlin(ZorTavlinObj* pTavlin);

    struct Email
    {
        wxString zServeur, zPort, zLogin, zPwd, zConfirmation;
        bool bSSL = false;
    };
    // What the controls hold when the user validates.
    struct Saisie
    {
        wxString zMotDePasse;                // page 0
        wxString zNom, zCommentaire;         // page 1
        wxString zNouveauPwd, zConfirmation; // page 2
        ZorAdresseIP ip, masque, passerelle; // page 3
        bool bDHCP = false;
        Email email; // page 5
    };
    // What the window does next.
    struct Reaction
    {
        int iPage = -1;              // page to show; -1: stay where it is
        wxString zMessage;           // an error box captioned "Tavlin" first, when not empty
        int iFin = 0;                // wxID_OK or wxID_CANCEL: end the dialog
        bool bRemplirMdp = false;    // the current password back into both page 2 entries
        bool bViderMdp = false;      // both page 2 entries emptied
        bool bViderMdpEmail = false; // both e-mail password entries emptied
        bool bRemplirReseau = false; // address fields and DHCP box back to the values
        bool bRemplirEmail = false;  // the e-mail entries and SSL box from GetEmail()
        bool bChargement = false;    // the loading timer runs (tick every kChargementPasMs)
    };

    ZorPersonnalisation(Appareil& appareil, const ZorClock& clock, const wxString& zNom,
                        const wxString& zCommentaire, const wxString& zPwd, const wxString& zMAC,
                        const ZorAdresseIP& ip, const ZorAdresseIP& ipLocal,
                        const ZorAdresseIP& masque, const ZorAdresseIP& passerelle, bool bDHCP,
                        const wxString& zVersion);

    Reaction Ok(const Saisie& saisie);
    Reaction Annuler();
    Reaction Fermer();
    // "Changer le mot de passe" and "Changer les paramètres réseau" (pages 2 and 3).
    Reaction AllerA(Page page) { return this->Page(page); }
    // "Configurer l'envoi d'emails".
    Reaction ChargerEmail();
    Reaction TickChargement();
    // A change in an e-mail entry or the SSL box.
    void MarquerEmailModifie() { m_bEmailModifie = true; }

    int GetPage() const { return m_iPage; }
    bool IsEmailCapable() const { return m_bEmailCapable; }
    bool IsEmailModifie() const { return m_bEmailModifie; }
    const wxString& GetNom() const { return m_zNom; }
    const wxString& GetCommentaire() const { return m_zCommentaire; }
    const wxString& GetPwd() const { return m_zPwd; }
    const ZorAdresseIP& GetIP() const { return m_ip; }
    const ZorAdresseIP& GetMasque() const { return m_masque; }
    const ZorAdresseIP& GetPasserelle() const { return m_passerelle; }
    bool IsDHCP() const { return m_bDHCP; }
    const Email& GetEmail() const { return m_email; }

private:
    Reaction Page(int iPage);
    Reaction Terminer(const Saisie& saisie);
    Reaction Abandonner();

    Appareil& m_appareil;
    const ZorClock& m_clock;
    wxString m_zNom, m_zCommentaire, m_zPwd, m_zMAC;
    ZorAdresseIP m_ip, m_ipLocal, m_masque, m_passerelle;
    bool m_bDHCP;
    bool m_bEmailCapable;
    bool m_bEmailModifie = false;
    bool m_bEmailACharger = true;
    Email m_email;
    int m_iPage = PAGE_MOT_DE_PASSE;
    int64_t m_iDebutChargementMs = 0;
};

// The characters each kind of entry accepts (the window's text validators use them).
// Letters and digits only: names and passwords.
const wxString& ZorFiltreA();
// A plus space, accented letters, brackets, "-" and "_": comments.
const wxString& ZorFiltreB();
// A plus accented letters, "-", "_" and ".": server names.
const wxString& ZorFiltreC();
// The clear SMTP password from the scrambled text of the state page. Empty when the text is
// empty, longer than a device reports (40 characters) or gives more than 20 characters.
wxString ZorMotDePasseEmailEnClair(const wxString& zBrouille);
