#include "firmware/ZorSequenceMAJ.h"

#include "firmware/ZorMAJTavlin.h"
#include "infra/ZorTraduction.h"

#include <wx/defs.h>

namespace {

const wchar_t* const kInjoignable = ZOR_N(
    "Le gestionnaire ne peut pas communiquer normalement avec votre Tavlin, la mise à jour est "
    "impossible. \n\nVeuillez vérifier la configuration réseau de votre ordinateur (antivirus, "
    "pare-feu, ...) ou contacter le Support Technique Tavlin.");
const wchar_t* const kConsignesManuelles =
    ZOR_N("Merci de suivre les instructions suivantes :\n\n1/ Débranchez l'alimentation de la "
          "Tavlin.\n2/ Cliquez sur Ok.\n3/ Rebranchez-la immédiatement.");
const wchar_t* const kTermineeAcceder =
    ZOR_N("La mise à jour est terminée.\n\nSouhaitez-vous accéder maintenant à la Tavlin ?");
const wchar_t* const kTerminee = ZOR_N("La mise à jour est terminée.");
const wchar_t* const kEchecAuto = ZOR_N(
    "La mise à jour a échoué, la Tavlin doit être mise à jour manuellement.\n\nVeuillez suivre "
    "les consignes.");
const wchar_t* const kEchecManuel =
    ZOR_N("La mise à jour manuelle a échoué.\n\nSouhaitez-vous réessayer ?");

const wchar_t* const kEchecVersion = ZOR_N("La mise à jour a échoué : ");

} // namespace

int ZorSequenceMAJ::Lancer(const wxString& zDossier, const wxString& zIP, const wxString& zIPLocal,
                           const wxString& zMAC, bool bDemanderAcces)
{
    m_zDossier = zDossier;
    m_zIP = zIP;
    m_zIPLocal = zIPLocal;
    m_zMAC = zMAC;
    m_bDemanderAcces = bDemanderAcces;
    m_bManuel = zIP.empty();
    m_zIdentifiant.clear();
    m_info = ZorTavlinInfo();
    m_iSondagesEtat = 0;
    m_iSondagesRecherche = 0;
    return Aller(DEBUT);
}

void ZorSequenceMAJ::Arreter()
{
    if (m_iEtat == AUCUN)
        return;
    m_contexte.AfficherAttenteVerification(false);
    m_contexte.AfficherAttenteRecherche(false);
    m_iEtat = AUCUN;
}

int ZorSequenceMAJ::Aller(Etat etat)
{
    m_iEtat = etat;
    return kPasMs;
}

int ZorSequenceMAJ::Echec()
{
    return Aller(m_bManuel ? ECHEC_MANUEL : ECHEC_AUTO);
}

int ZorSequenceMAJ::Fin()
{
    m_iEtat = AUCUN;
    return -1;
}

int ZorSequenceMAJ::Tick()
{
    switch (m_iEtat) {
    case AUCUN:
        return -1;
    case DEBUT:
        if (!m_bManuel && !m_zIP.empty() && !m_zIPLocal.empty() && !m_zMAC.empty()) {
            m_contexte.DemanderEtatFrais(m_zMAC);
            m_iEtat = ATTENTE_ETAT;
            return kSondageMs;
        }
        return Aller(PREPARATION);
    case ATTENTE_ETAT:
        if (m_contexte.IsNewEtat()) {
            m_contexte.AfficherAttenteVerification(false);
            return Aller(PREPARATION);
        }
        if (m_iSondagesEtat <= kSondagesEtatMax) {
            if (m_iSondagesEtat == 0)
                m_contexte.AfficherAttenteVerification(true);
            ++m_iSondagesEtat;
            return kSondageMs;
        }
        m_contexte.AfficherAttenteVerification(false);
        m_contexte.Message(ZorTr(kInjoignable), wxOK | wxICON_ERROR);
        return Fin();
    case PREPARATION:
        return Aller(BOOTLOADER);
    case BOOTLOADER:
        if (m_bManuel && m_contexte.Message(ZorTr(kConsignesManuelles),
                                            wxOK | wxCANCEL | wxICON_INFORMATION) == wxID_CANCEL)
            return Fin();
        if (!m_contexte.EnvoyerBootloader(m_zDossier, m_zIP, m_zMAC, &m_zIdentifiant))
            return Echec();
        return Aller(RECHERCHE);
    case RECHERCHE:
        if (m_iSondagesRecherche == 0)
            m_contexte.AfficherAttenteRecherche(true);
        if (m_contexte.RechercherTavlin(m_zIdentifiant, &m_zIP, &m_zIPLocal, &m_zMAC, &m_info)) {
            m_contexte.AfficherAttenteRecherche(false);
            return Aller(TRANSFERT);
        }
        if (m_contexte.GetErreur() == ZorErreurMAJ::AUCUNE &&
            m_iSondagesRecherche <= kSondagesRechercheMax) {
            ++m_iSondagesRecherche;
            return kSondageMs;
        }
        m_contexte.SetErreur(ZorErreurMAJ::INTROUVABLE);
        m_contexte.AfficherAttenteRecherche(false);
        return Echec();
    case TRANSFERT:
        if (!m_contexte.EnvoyerFichiers(m_zDossier, m_zIP, m_zIPLocal))
            return Echec();
        return Aller(REINITIALISATION);
    case REINITIALISATION:
        if (!m_contexte.ReinitialiserTavlin(m_zIP, m_zIPLocal, m_info))
            return Echec();
        // m_info is the device as it answered after its restart from the bootloader.
        if (!ZorVersionNonApportee(m_zDossier, m_info.m_zVersion).empty()) {
            m_contexte.SetErreur(ZorErreurMAJ::VERSION);
            return Aller(ECHEC_VERSION);
        }
        return Aller(m_bManuel ? SUCCES_MANUEL : SUCCES_AUTO);
    case ECHEC_VERSION:
        m_contexte.Message(wxString(ZorTr(kEchecVersion)) +
                               ZorVersionNonApportee(m_zDossier, m_info.m_zVersion) + wxT("."),
                           wxOK | wxICON_ERROR);
        return Fin();
    case SUCCES_AUTO:
        if (!m_bDemanderAcces) {
            m_contexte.Message(ZorTr(kTerminee), wxOK | wxICON_INFORMATION);
            return Fin();
        }
        m_iEtat = AUCUN;
        if (m_contexte.Message(ZorTr(kTermineeAcceder), wxYES_NO | wxICON_INFORMATION) == wxID_YES)
            m_contexte.AccederMaintenant();
        return -1;
    case ECHEC_AUTO:
        m_contexte.Message(ZorTr(kEchecAuto), wxOK | wxICON_ERROR);
        return Lancer(m_zDossier, wxEmptyString, wxEmptyString, wxEmptyString, false);
    case SUCCES_MANUEL:
        m_contexte.Message(ZorTr(kTerminee), wxOK | wxICON_INFORMATION);
        return Fin();
    case ECHEC_MANUEL:
        if (m_contexte.Message(ZorTr(kEchecManuel), wxYES_NO | wxICON_ERROR) == wxID_YES)
            return Lancer(m_zDossier, wxEmptyString, wxEmptyString, wxEmptyString, false);
        return Fin();
    }
    return -1;
}
