#include "ui/ZorInfoCarteEthDlg.h"

#include "device/ZorTavlinObj.h"
#include "firmware/ZorMAJTavlin.h"
#include "ui/ZorTavlinDlgAfficherListe.h"
#include "infra/ZorTraduction.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textdlg.h>

namespace {

const wchar_t* const kMotDePasseAdministrateur = L"qmt417";
const wchar_t* const kDemandeAdministrateur =
    ZOR_N("Saisissez le mot de passe Administrateur du logiciel.");
const wchar_t* const kCarteExclue =
    ZOR_N("Cette carte réseau ne sera plus utilisée par votre logiciel.\n\nFermez puis relancez le "
          "logiciel pour prendre en compte les modifications.");
const wchar_t* const kCarteUtilisee = ZOR_N(
    "Cette carte réseau sera utilisée par votre logiciel.\n\nFermez puis relancez le logiciel "
    "pour prendre en compte les modifications.");
const wchar_t* const kListeNonEcriteExclusion = ZOR_N(
    "La liste des cartes réseau exclues n'a pas pu être enregistrée.\n\nCette carte réseau reste "
    "utilisée par votre logiciel.");
const wchar_t* const kListeNonEcriteRetour = ZOR_N(
    "La liste des cartes réseau exclues n'a pas pu être enregistrée.\n\nCette carte réseau reste "
    "exclue de votre logiciel.");
const wchar_t* const kMotDePasseIncorrect = ZOR_N("Mot de passe incorrect.");
const wchar_t* const kMiseAJourImpossible = ZOR_N("Impossible de lancer la mise à jour manuelle");

wxFont Gras(const wxWindow* w)
{
    wxFont police = w->GetFont();
    police.SetWeight(wxFONTWEIGHT_BOLD);
    return police;
}

} // namespace

ZorInfoCarteEthDlg::ZorInfoCarteEthDlg(ZorTavlinObj& tavlin, ZorTavlinDlgAfficherListe* pParent)
    : wxDialog(pParent, wxID_ANY, ZOR_TR("Information"), wxDefaultPosition, wxSize(360, 200),
               wxDEFAULT_DIALOG_STYLE),
      m_tavlin(tavlin), m_pParent(pParent)
{
    ZorCarteEthPtrArray* pCartes = &m_tavlin.GetArrayCarteEth();
    for (size_t i = 0; pCartes && i < pCartes->GetCount() && m_indices.size() < kCartesMax; ++i)
        if (!(*pCartes)[i]->m_bLoopback)
            m_indices.push_back(i);
    const size_t iCartes = m_indices.size();

    auto* pSizer = new wxBoxSizer(wxVERTICAL);
    auto ajouter = [&](wxWindow* w) { pSizer->Add(w, 0, wxLEFT | wxRIGHT, 10); };
    auto* pTitre =
        new wxStaticText(this, wxID_ANY, ZOR_TR("\nConfiguration de votre ordinateur\n"));
    pTitre->SetFont(Gras(pTitre));
    ajouter(pTitre);
    ajouter(new wxStaticText(this, wxID_ANY,
                             wxString::Format(ZOR_TR("Interface réseau : %d\n"), int(iCartes))));
    for (size_t i : m_indices) {
        const ZorCarteEth& carte = *(*pCartes)[i];
        auto* pCase = new wxCheckBox(this, wxID_ANY, ZOR_TR("Carte utilisée par le logiciel"));
        pCase->SetFont(Gras(pCase));
        pCase->SetValue(!carte.m_bBlackList);
        pCase->Bind(wxEVT_CHECKBOX, &ZorInfoCarteEthDlg::OnCheckCarte, this);
        m_cases.push_back(pCase);
        ajouter(pCase);
        wxString zLignes;
        zLignes << wxString::Format(ZOR_TR("Nom : %s\n"), carte.m_zDescription)
                << wxString::Format(ZOR_TR("Adresse MAC : %s\n"), carte.m_zMAC)
                << wxString::Format(ZOR_TR("Adresse IP : %s\n"), carte.m_zIP)
                << wxString::Format(ZOR_TR("Masque sous-réseau : %s\n"), carte.m_zMask)
                << wxString::Format(ZOR_TR("Passerelle : %s\n"), carte.m_zGateway)
                << wxString::Format(ZOR_TR("DHCP actif : %s\n"),
                                    carte.m_bDhcp ? ZOR_TR("oui") : ZOR_TR("non"))
                << wxString::Format(ZOR_TR("Index : %u\n"), unsigned(carte.m_iIndex));
        ajouter(new wxStaticText(this, wxID_ANY, zLignes));
    }
    auto* pBoutons = new wxBoxSizer(wxHORIZONTAL);
    pBoutons->Add(new wxButton(this, wxID_OK, ZOR_TR("Ok")), 0, wxRIGHT, 10);
    m_pMiseAJour = new wxButton(this, wxID_ANY, ZOR_TR("Mise à jour manuelle"));
    pBoutons->Add(m_pMiseAJour, 0);
    pSizer->Add(pBoutons, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    SetSizerAndFit(pSizer);
    Centre(wxBOTH);

    Bind(wxEVT_BUTTON, &ZorInfoCarteEthDlg::OnOK, this, wxID_OK);
    m_pMiseAJour->Bind(wxEVT_BUTTON, &ZorInfoCarteEthDlg::OnBouton, this);
}

void ZorInfoCarteEthDlg::OnOK(wxCommandEvent&)
{
    EndModal(wxID_OK);
}

void ZorInfoCarteEthDlg::OnCheckCarte(wxCommandEvent& event)
{
    ZorCarteEthPtrArray* pCartes = &m_tavlin.GetArrayCarteEth();
    size_t iCarte = 0;
    while (iCarte < m_cases.size() && m_cases[iCarte] != event.GetEventObject())
        ++iCarte;
    if (iCarte == m_cases.size() || !pCartes || m_indices[iCarte] >= pCartes->GetCount())
        return;
    ZorCarteEth& carte = *(*pCartes)[m_indices[iCarte]];
    if (!m_bAdministrateur) {
        const wxString zSaisie = wxGetPasswordFromUser(ZorTr(kDemandeAdministrateur), wxT("Tavlin"),
                                                       wxEmptyString, nullptr);
        m_bAdministrateur = zSaisie == kMotDePasseAdministrateur;
    }
    wxString zMessage;
    if (m_bAdministrateur) {
        const bool bExclure = !carte.m_bBlackList;
        if (!m_tavlin.WriteListeCarteBlackList(bExclure, carte.m_zMAC)) {
            // Nothing changed: the card keeps its state and its box, and the user learns why.
            wxMessageBox(bExclure ? ZorTr(kListeNonEcriteExclusion) : ZorTr(kListeNonEcriteRetour),
                         wxT("Tavlin"), wxOK | wxICON_ERROR | wxCENTRE, this);
            m_cases[iCarte]->SetValue(!carte.m_bBlackList);
            return;
        }
        carte.m_bBlackList = bExclure;
        zMessage = carte.m_bBlackList ? ZorTr(kCarteExclue) : ZorTr(kCarteUtilisee);
    } else {
        zMessage = ZorTr(kMotDePasseIncorrect);
    }
    wxMessageBox(zMessage, wxMessageBoxCaptionStr, wxOK | wxCENTRE, this);
    // A refused change puts the box back as it was.
    m_cases[iCarte]->SetValue(!carte.m_bBlackList);
}

void ZorInfoCarteEthDlg::OnBouton(wxCommandEvent&)
{
    // Version "0": the newest update, whatever the device.
    wxString zDossier;
    if (ZorMAJTavlin().VerifierVersion(wxT("0"), &zDossier) || !m_pParent) {
        wxMessageBox(ZorTr(kMiseAJourImpossible), wxT("Tavlin"), wxOK | wxICON_ERROR, this);
        return;
    }
    EndModal(wxID_OK);
    m_pParent->LancerMiseAJour(zDossier, wxEmptyString, wxEmptyString, wxEmptyString, false);
}
