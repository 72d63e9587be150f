#include "launcher/ZorTavlinControle.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorTraduction.h"

#include <wx/image.h>
#include <wx/utils.h>

#include <algorithm>
#include <string>

wxIMPLEMENT_APP(ZorTavlinControleApp);

wxBEGIN_EVENT_TABLE(ZorTavlinControleFrame, wxFrame) wxEND_EVENT_TABLE()

    bool ZorTavlinControleApp::OnInit()
{
    // The user's language for every window of the library: --lang fr|en, else the locale.
    std::string zLangue;
    for (int i = 1; i < argc; ++i) {
        const std::string zArg = argv[i].utf8_string();
        if (zArg.rfind("--lang=", 0) == 0)
            zLangue = zArg.substr(7);
        else if (zArg == "--lang" && i + 1 < argc)
            zLangue = argv[++i].utf8_string();
    }
    ZorConfiguration::iZorLangue = std::max(0, ZorLangueDemandee(zLangue));
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
