// The firmware update sequence as a state machine without windows: reachability wait, bootloader
// stage, search for the restarted device, web-server image, completion, and the fall-back to the
// manual procedure. Whoever runs it (the device list's timer, a command-line loop) calls Tick
// when the delay it returned has passed; the user and the stages are reached through an
// interface, so the same sequence runs with dialogs or without.
// Main thread only; one sequence at a time per object.
#pragma once

#include "device/ZorTavlinRecords.h"
#include "firmware/ZorCodesFirmware.h"

#include <wx/string.h>

class ZorSequenceMAJ
{
public:
    // What the sequence needs from its surroundings.
    class Contexte
    {
    public:
        virtual ~Contexte() = default;
        // Watch the device and ask for a fresh state page (reachability check).
        virtual void DemanderEtatFrais(const wxString& zMAC) = 0;
        virtual bool IsNewEtat() = 0;
        // The four stages and the error code of the update object.
        virtual bool EnvoyerBootloader(const wxString& zDossier, const wxString& zIP,
                                       const wxString& zMAC, wxString* pzIdentifiant) = 0;
        virtual bool RechercherTavlin(const wxString& zIdentifiant, wxString* pzIP,
                                      wxString* pzIPLocal, wxString* pzMAC,
                                      ZorTavlinInfo* pInfo) = 0;
        virtual bool EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                                     const wxString& zIPLocal) = 0;
        virtual bool ReinitialiserTavlin(const wxString& zIP, const wxString& zIPLocal,
                                         const ZorTavlinInfo& info) = 0;
        virtual ZorErreurMAJ GetErreur() = 0;
        virtual void SetErreur(ZorErreurMAJ erreur) = 0;
        // The user: the two wait boxes, and messages with the toolkit's styles (wxOK, wxCANCEL,
        // wxYES_NO, wxICON_...), answering wxID_OK, wxID_CANCEL, wxID_YES or wxID_NO.
        virtual void AfficherAttenteVerification(bool bVisible) = 0;
        virtual void AfficherAttenteRecherche(bool bVisible) = 0;
        virtual int Message(const wxString& zTexte, long iStyle) = 0;
        // The user wants to use the updated device now: the chooser ends with it.
        virtual void AccederMaintenant() = 0;
    };

    enum Etat {
        AUCUN = 0,
        DEBUT = 1,
        ATTENTE_ETAT = 2,
        PREPARATION = 3,
        BOOTLOADER = 4,
        RECHERCHE = 5,
        TRANSFERT = 6,
        REINITIALISATION = 7,
        SUCCES_AUTO = 8,
        ECHEC_AUTO = 9,
        SUCCES_MANUEL = 10,
        ECHEC_MANUEL = 11,
        // Every stage done, but the device does not report the update's version: the same
        // images again would not help, so the user is told why and the sequence ends.
        ECHEC_VERSION = 12,
    };

    // Tick spacings: between states, while waiting for a state page or the restarted device.
    static constexpr int kPasMs = 10;
    static constexpr int kSondageMs = 500;
    // Polls of the reachability wait (about 10.5 s) and of the search (about 40 s).
    static constexpr int kSondagesEtatMax = 20;
    static constexpr int kSondagesRechercheMax = 80;

    explicit ZorSequenceMAJ(Contexte& contexte) : m_contexte(contexte) {}

    // Starts (or restarts) the sequence; an empty IP means the manual procedure. Returns the
    // delay before the first Tick.
    int Lancer(const wxString& zDossier, const wxString& zIP, const wxString& zIPLocal,
               const wxString& zMAC, bool bDemanderAcces);
    // Runs the current state; the delay before the next Tick in ms, or -1 when the sequence is
    // over (success, failure told to the user, or cancelled).
    int Tick();

    Etat GetEtat() const { return m_iEtat; }
    bool IsManuel() const { return m_bManuel; }
    bool IsEnCours() const { return m_iEtat != AUCUN; }
    // Abandons the sequence (its window closes): hides the wait boxes, no further Tick runs.
    void Arreter();
    const wxString& GetIP() const { return m_zIP; }
    const wxString& GetIPLocal() const { return m_zIPLocal; }
    const wxString& GetMAC() const { return m_zMAC; }
    const wxString& GetIdentifiant() const { return m_zIdentifiant; }

private:
    int Aller(Etat etat);
    int Echec();
    int Fin();

    Contexte& m_contexte;
    Etat m_iEtat = AUCUN;
    wxString m_zDossier, m_zIP, m_zIPLocal, m_zMAC, m_zIdentifiant;
    ZorTavlinInfo m_info;
    bool m_bDemanderAcces = false;
    bool m_bManuel = false;
    int m_iSondagesEtat = 0;
    int m_iSondagesRecherche = 0;
};
