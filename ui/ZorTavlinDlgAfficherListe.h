// The device list: the dialog in which the user picks a Tavlin among the devices the manager
// knows, and from which a device is tested, customised, moved onto the PC's network or updated.
// It observes the device manager from its initialisation until it ends. Main thread only.
#pragma once

#include "device/ZorTavlinRecords.h"
#include "firmware/ZorMAJTavlin.h"
#include "firmware/ZorSequenceMAJ.h"
#include "infra/ZorExport.h"
#include "ui/ZorListeDevices.h"

#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/imaglist.h>
#include <wx/timer.h>

#include <cstdint>
#include <memory>

class wxListCtrl;
class wxListEvent;
class wxStaticText;
class ZorBitmapButtonWnd;
class ZorTavlinAttenteWnd;
class ZorWaitForTavlinDlg;
class ZorTavlinObj;

class ZOR_EXPORT ZorTavlinDlgAfficherListe : public wxDialog, private ZorSequenceMAJ::Contexte
{
public:
    // tavlin: the device manager whose registry the list shows (it outlives the dialog).
    ZorTavlinDlgAfficherListe(ZorTavlinObj& tavlin, const wxString& zMACAPreselectionner);
    ~ZorTavlinDlgAfficherListe() override;

    // The device chosen when the dialog ended with wxID_OK.
    const ZorTavlinInfo& GetTavlinChoisie() const { return m_choisie; }
    // Starts the update sequence; an empty IP runs the manual procedure.
    void LancerMiseAJour(const wxString& zDossier, const wxString& zIP, const wxString& zIPLocal,
                         const wxString& zMAC, bool bDemanderAcces);
    // Validates the selected device (ok, maj and warning buttons, and a double click in the list).
    void DoValider();

    // Seen by tests and by the network card dialog.
    ZorTavlinObj& Tavlin() const { return m_tavlin; }
    wxListCtrl* GetListe() const { return m_pListe; }
    ZorBitmapButtonWnd* GetBouton(int iId) const;
    ZorTavlinAttenteWnd* GetAttente() const { return m_pAttente; }
    ZorWaitForTavlinDlg* GetAttenteVerification() const { return m_pDlgVerification; }
    ZorWaitForTavlinDlg* GetAttenteRecherche() const { return m_pDlgRecherche; }
    const ZorSequenceMAJ& GetSequence() const { return m_sequence; }
    wxString GetCompteur() const;
    // Rows written by the last refresh (appended or rewritten), for the benchmark and tests.
    size_t GetLignesEcrites() const { return m_iLignesEcrites; }
    // The hidden area whose double click opens the network card dialog.
    static wxRect ZoneCartes() { return wxRect(366, 0, 113, 83); }

    enum {
        ID_LISTE = wxID_HIGHEST + 400,
        ID_OK,
        ID_MAJ,
        ID_WARNING,
        ID_ANNULER,
        ID_PERSONNALISER,
        ID_TESTER,
        ID_ATTENTE,
    };

private:
    void CreerControles();
    void MettreAJourListe();
    void AppliquerLigne(long iLigne, const ZorLigneListe& ligne);
    void AfficherBoutonValidation(int iImage);
    long LigneSelectionnee() const;
    // The selected row's icon, -1 without a selection.
    int ImageSelectionnee() const;
    ZorColonnesListe ColonnesDeLigne(long iLigne) const;
    // The selected row's columns when a device is selected and reachable; otherwise the user
    // was told why (or the reconfiguration ran) and the answer is false.
    bool DeviceAccessible(ZorColonnesListe* pColonnes);
    void DoConfigurer(const ZorColonnesListe& colonnes);
    void DoTester();
    void DoPersonnaliser();
    void AfficherAttente(const wxBitmap& a, const wxBitmap& b, const wxString& zTexte,
                         int iDelaiMs);
    void CacherAttente();
    void Terminer(int iCode);

    void OnInitDialog(wxInitDialogEvent& event);
    void OnTavlinAjout(wxCommandEvent& event);
    void OnTavlinRetrait(wxCommandEvent& event);
    void OnTavlinConfigure(wxCommandEvent& event);
    void OnTavlinConfigureEchec(wxCommandEvent& event);
    void OnTavlinEtat(wxCommandEvent& event);
    void OnBouton(wxCommandEvent& event);
    void OnSelection(wxListEvent& event);
    void OnActivation(wxListEvent& event);
    void OnColonne(wxListEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnDoubleClic(wxMouseEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnTimerAttente(wxTimerEvent& event);
    void OnTimerValidation(wxTimerEvent& event);
    void OnTimerMiseAJour(wxTimerEvent& event);

    // The update sequence's surroundings (also the choice's check): a state numbered beyond
    // m_iEtatAttendu answers the last request.
    void DemanderEtatFrais(const wxString& zMAC) override;
    bool IsNewEtat() override;
    bool EnvoyerBootloader(const wxString& zDossier, const wxString& zIP, const wxString& zMAC,
                           wxString* pzIdentifiant) override;
    bool RechercherTavlin(const wxString& zIdentifiant, wxString* pzIP, wxString* pzIPLocal,
                          wxString* pzMAC, ZorTavlinInfo* pInfo) override;
    bool EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                         const wxString& zIPLocal) override;
    bool ReinitialiserTavlin(const wxString& zIP, const wxString& zIPLocal,
                             const ZorTavlinInfo& info) override;
    ZorErreurMAJ GetErreur() override { return m_maj.GetErreur(); }
    void SetErreur(ZorErreurMAJ erreur) override { m_maj.SetErreur(erreur); }
    void AfficherAttenteVerification(bool bVisible) override;
    void AfficherAttenteRecherche(bool bVisible) override;
    // A message box captioned "Tavlin" over this dialog; also the sequence's messages.
    int Message(const wxString& zTexte, long iStyle) override;
    void AccederMaintenant() override;

    wxString m_zMACAPreselectionner;
    // The device this dialog asked to readdress, until its configuration ended.
    wxString m_zMACConfiguration;
    bool m_bSelectionParProgramme = false;
    wxListCtrl* m_pListe = nullptr;
    wxImageList m_images;
    ZorBitmapButtonWnd* m_pOk = nullptr;
    ZorBitmapButtonWnd* m_pMaj = nullptr;
    ZorBitmapButtonWnd* m_pWarning = nullptr;
    ZorBitmapButtonWnd* m_pAnnuler = nullptr;
    ZorBitmapButtonWnd* m_pPersonnaliser = nullptr;
    ZorBitmapButtonWnd* m_pTester = nullptr;
    wxStaticText* m_pTitre = nullptr;
    wxStaticText* m_pCompteur = nullptr;
    wxBitmap m_fond, m_texteMaj, m_texteWarning;
    wxBitmap m_tester1, m_tester2, m_personnaliser1, m_personnaliser2;
    bool m_bTexteMaj = false;
    bool m_bTexteWarning = false;
    ZorTavlinAttenteWnd* m_pAttente = nullptr;
    int m_iAttenteEcouleMs = 0;
    int m_iAttenteDelaiMs = 0;
    ZorWaitForTavlinDlg* m_pDlgVerification = nullptr;
    ZorWaitForTavlinDlg* m_pDlgRecherche = nullptr;
    wxTimer m_timerAttente;
    wxTimer m_timerValidation;
    wxTimer m_timerMiseAJour;
    int m_iTicksValidation = 0;
    ZorTavlinObj& m_tavlin;
    // The choice waits for the chosen device's answer.
    bool m_bValidation = false;
    uint64_t m_iEtatAttendu = 0;
    ZorTavlinInfo m_choisie;
    ZorMAJTavlin m_maj;
    ZorSequenceMAJ m_sequence;
    size_t m_iLignesEcrites = 0;
    bool m_bObservateur = false;
};
