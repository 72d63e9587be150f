#include "launcher/ZorTavlinControle.h"

#include "device/ZorTavlinObj.h"

#include <wx/image.h>
#include <wx/utils.h>

wxIMPLEMENT_APP(ZorTavlinControleApp);

wxBEGIN_EVENT_TABLE(ZorTavlinControleFrame, wxFrame) wxEND_EVENT_TABLE()

    bool ZorTavlinControleApp::OnInit()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    if (!ZorTavlinObj::CreateTavlinObj())
        return false;
    ZorTavlinControleFrame* pFrame = new ZorTavlinControleFrame(*gpTheTavlin);
    pFrame->Show();
    return true;
}

ZorTavlinControleApp::~ZorTavlinControleApp() = default;

ZorTavlinControleFrame::ZorTavlinControleFrame(ZorTavlinObj& tavlin)
    : wxFrame(nullptr, wxID_ANY, wxEmptyString, wxPoint(0, 0), wxSize(0, 0), 0), m_tavlin(tavlin)
{
    Centre();
    m_tavlin.AddObserver(this);
    if (m_tavlin.Start(wxT("controle"), false)) {
        m_tavlin.SetTimeAlive(5);
        wxString zMAC, zIP, zNom, zCommentaire, zLogin, zPwd, zMask, zGateway, zIPLocal, zMaskLocal,
            zGatewayLocal, zVersion;
        bool bDHCP = false, bMultipleCarte = false;
        if (m_tavlin.AfficherListe(&zMAC, &zIP, &zNom, &zCommentaire, &zLogin, &zPwd, &zMask,
                                   &zGateway, &bDHCP, &zIPLocal, &zMaskLocal, &zGatewayLocal,
                                   &zVersion, &bMultipleCarte))
            wxLaunchDefaultBrowser(wxString::Format(wxT("http://%s"), zIP));
    }
    Destroy();
}

ZorTavlinControleFrame::~ZorTavlinControleFrame()
{
    m_tavlin.RemoveObserver(this);
    m_tavlin.Stop();
}
