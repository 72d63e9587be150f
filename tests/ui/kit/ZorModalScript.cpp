// Modal dialogs answered from a script: message boxes, text and password prompts, any dialog.
#include "tests/ui/kit/ZorUiKit.h"

#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textdlg.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace zorui {

namespace {

wxString TextesStatiques(const wxWindow* w)
{
    wxString zTexte;
    for (const wxWindow* enfant : w->GetChildren()) {
        wxString zPart = dynamic_cast<const wxStaticText*>(enfant) ? enfant->GetLabel()
                                                                   : TextesStatiques(enfant);
        if (!zPart.empty())
            zTexte += (zTexte.empty() ? "" : "\n") + zPart;
    }
    return zTexte;
}

bool gbCopieAffichee = false;

} // namespace

bool CopieDeMessageAffichee()
{
    return gbCopieAffichee;
}

void PhotographierMessage(const wxMessageDialog& modele, const wxWindow* pFond,
                          const wxString& zNom)
{
    wxMessageDialog copie(modele.GetParent(), modele.GetMessage(), modele.GetCaption(),
                          modele.GetMessageDialogStyle());
    copie.SetExtendedMessage(modele.GetExtendedMessage());
    // The timer runs inside the box's own loop: the picture, then the key a person would press.
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        ScreenshotAvecDessus(pFond, zNom);
        wxUIActionSimulator().Char(WXK_RETURN);
    });
    timer.StartOnce(600);
    gbCopieAffichee = true;
    copie.ShowModal();
    gbCopieAffichee = false;
    Settle(100);
}

ModalScript& ModalScript::Photo(const wxWindow* pFond, const wxString& zNom)
{
    if (!m_attendus.empty()) {
        m_attendus.back().pFond = pFond;
        m_attendus.back().zPhoto = zNom;
    }
    return *this;
}

ModalScript::ModalScript()
{
    Register();
}

ModalScript::~ModalScript()
{
    Unregister();
    for (size_t i = m_iSuivant; i < m_attendus.size(); ++i)
        ADD_FAILURE() << "expected modal dialog never came: \"" << m_attendus[i].zMorceau << "\"";
}

ModalScript& ModalScript::Expect(const wxString& zMorceau, int iReponse, const wxString& zSaisie)
{
    m_attendus.push_back({zMorceau, iReponse, zSaisie, nullptr, wxString()});
    return *this;
}

int ModalScript::Enter(wxDialog* dialog)
{
    if (CopieDeMessageAffichee())
        return wxID_NONE;
    ModalRecord record;
    if (dialog->GetClassInfo())
        record.zClasse = dialog->GetClassInfo()->GetClassName();
    record.zTitre = dialog->GetTitle();
    record.iStyle = dialog->GetWindowStyle();
    // dynamic_cast, not the toolkit's own cast macro: that one converts before it checks.
    auto* message = dynamic_cast<wxMessageDialog*>(dialog);
    auto* prompt = dynamic_cast<wxTextEntryDialog*>(dialog); // password prompts derive from it
    if (message) {
        record.zTexte = message->GetMessage();
        if (!message->GetExtendedMessage().empty())
            record.zTexte += "\n" + message->GetExtendedMessage();
        record.zTitre = message->GetCaption();
        record.iStyle = message->GetMessageDialogStyle();
    } else {
        // Prompts and other dialogs show their message as static texts.
        record.zTexte = TextesStatiques(dialog);
    }

    bool bAttendu = m_iSuivant < m_attendus.size();
    if (bAttendu) {
        const Attendu& a = m_attendus[m_iSuivant];
        bAttendu = a.zMorceau.empty() || record.zTexte.Contains(a.zMorceau) ||
                   record.zTitre.Contains(a.zMorceau);
    }
    if (!bAttendu) {
        ADD_FAILURE() << "unexpected modal dialog " << record.zClasse << " \"" << record.zTitre
                      << "\": " << record.zTexte;
        record.iReponse = wxID_CANCEL;
    } else {
        const Attendu& a = m_attendus[m_iSuivant++];
        record.iReponse = a.iReponse;
        if (prompt)
            prompt->SetValue(a.zSaisie);
        if (message && !a.zPhoto.empty())
            PhotographierMessage(*message, a.pFond, a.zPhoto);
    }
    m_records.push_back(record);
    // A message box returns its own codes for OK/Yes/No; a dialog's ShowModal returns the id.
    return record.iReponse;
}

void ModalScript::Exit(wxDialog*) {}

} // namespace zorui
