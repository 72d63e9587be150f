// Device list figures, under a private X display, with 250 devices fed to the device manager
// by hand (no network): the time of one refresh of the list dialog when nothing changed and the
// number of rows it wrote, beside the time to simply clear the same control and write the same
// 250 rows again, measured in the same run.
//
//   tools/bench.sh list        (runs it inside tools/testnet.sh --isolated --xvfb)
#include "device/ZorTavlinObj.h"
#include "infra/ZorUtile.h"
#include "ui/ZorTavlinDlgAfficherListe.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/log.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zortest {
void SetTestHome(const std::string& home);
}

namespace {

constexpr int kDevices = 250;
constexpr int kTours = 30;
constexpr double kCibleMs = 20.0;

double Maintenant()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Mediane(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Remplir()
{
    for (int i = 0; i < kDevices; ++i) {
        const wxString zIP = wxString::Format(wxT("192.168.%d.%d"), 77 + i / 200, 10 + i % 200);
        const wxString zMAC = wxString::Format(wxT("02-54-56-00-%02X-%02X"), i / 256, i % 256);
        gpTheTavlin->AddTavlin(zIP, wxString::Format(wxT("Tavlin %d"), i), zMAC, wxT("Atelier"),
                               wxT("admin"), wxT("tavlin"), wxT("255.255.255.0"),
                               wxT("192.168.77.254"), false, wxT("192.168.77.1"),
                               wxT("255.255.255.0"), wxT("192.168.77.254"), wxT("v3"));
    }
}

// The plain way: every row written again from the texts the dialog shows.
double ViderEtRemplir(wxListCtrl* pListe, const std::vector<std::vector<wxString>>& lignes)
{
    const double t0 = Maintenant();
    pListe->DeleteAllItems();
    for (size_t i = 0; i < lignes.size(); ++i) {
        const long iLigne = pListe->InsertItem(long(i), lignes[i][0], 0);
        for (size_t c = 1; c < lignes[i].size(); ++c)
            pListe->SetItem(iLigne, int(c), lignes[i][c]);
        pListe->SetItemTextColour(iLigne, *wxBLACK);
        pListe->SetItemFont(iLigne, pListe->GetFont());
    }
    wxTheApp->Yield(true); // the drawing belongs to the cost
    return (Maintenant() - t0) * 1000;
}

} // namespace

int main()
{
    char tmpl[] = "/tmp/tavlin-bench-XXXXXX";
    const char* home = mkdtemp(tmpl);
    if (!home)
        return 2;
    setenv("HOME", home, 1);
    zortest::SetTestHome(home);
    wxApp::SetInstance(new wxApp());
    int wxArgc = 1;
    char arg0[] = "list_bench";
    char* wxArgv[] = {arg0, nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp || !wxTheApp->IsGUI()) {
        std::fprintf(stderr, "list_bench: needs a display (tools/bench.sh list)\n");
        return 3;
    }
    wxTheApp->CallOnInit();
    wxLog::EnableLogging(false);
    ZorUtile::SetPathExe(wxT(TAVLIN_BUILD_DIR));

    int rc = 1;
    if (ZorTavlinObj::CreateTavlinObj()) {
        Remplir();
        auto* pDlg = new ZorTavlinDlgAfficherListe(*gpTheTavlin, wxEmptyString);
        pDlg->Show();
        for (int i = 0; i < 50; ++i)
            wxTheApp->Yield(true);
        wxListCtrl* pListe = pDlg->GetListe();
        std::vector<std::vector<wxString>> lignes(size_t(pListe->GetItemCount()));
        for (size_t i = 0; i < lignes.size(); ++i)
            for (int c = 0; c < pListe->GetColumnCount(); ++c)
                lignes[i].push_back(pListe->GetItemText(long(i), c));

        std::vector<double> rafraichir, vider;
        size_t iEcrites = 0;
        for (int t = 0; t < kTours; ++t) { // interleaved, so both see the same machine load
            const double t0 = Maintenant();
            gpTheTavlin->SendToObserver(ZOR_EVT_TAVLIN_ADD, pDlg);
            wxTheApp->Yield(true);
            rafraichir.push_back((Maintenant() - t0) * 1000);
            iEcrites = std::max(iEcrites, pDlg->GetLignesEcrites());
            vider.push_back(ViderEtRemplir(pListe, lignes));
        }
        const double r = Mediane(rafraichir), v = Mediane(vider);
        std::printf("device list with %d devices, nothing changed (median of %d):\n", kDevices,
                    kTours);
        std::printf("  rows in the list      %8d\n", pListe->GetItemCount());
        std::printf("  clear and refill      %8.2f ms\n", v);
        std::printf(
            "  refresh               %8.2f ms  (%.2fx clear and refill, target < %.0f ms)\n", r,
            v > 0 ? r / v : 0, kCibleMs);
        std::printf("  rows rewritten        %8zu      (target 0)\n", iEcrites);
        rc = pListe->GetItemCount() == kDevices ? 0 : 1;
        pDlg->Destroy();
        wxTheApp->Yield(true);
        ZorTavlinObj::DeleteTavlinObj();
    }
    wxEntryCleanup();
    return rc;
}
