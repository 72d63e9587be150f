// tavlin: the Tavlin devices from a shell, a script or a machine without a display, on the same
// engine as the windows (device manager, network, update sequence), with output programs can
// read (--json, --json-lines). See tavlin(1).
#include "cli/ZorBridge.h"
#include "cli/ZorCliCommande.h"
#include "cli/ZorCliJson.h"
#include "cli/ZorCliMoteur.h"
#include "cli/ZorCliOutils.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorPompe.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorTraduction.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // A long-running service with its own options and configuration file.
    if (!args.empty() && args[0] == "bridge")
        return ZorBridgeMain(argv[0], args);
    // A console application: timers and sockets need the toolkit's event loop, never a display.
    // Made first: the language's catalogue is looked for beside the program, through the
    // toolkit's paths.
    wxAppConsole::SetInstance(new wxAppConsole());
    ZorCliOptions o;
    // The language first (--lang, else the locale), so that even a mistake is told in it.
    ZorCliLire(args, o);
    ZorConfiguration::iZorLangue = std::max(0, ZorLangueDemandee(o.zLangue));
    o = ZorCliOptions();
    const std::string zErreur = ZorCliLire(args, o);
    if (!zErreur.empty())
        return ZorCliSortie(o, ZOR_CLI_USAGE, zErreur);
    if (o.bVersion) {
        std::printf("tavlin %s\n", std::string(wxString(ZOR_TAVLIN_VERSION).utf8_str()).c_str());
        return ZOR_CLI_OK;
    }
    // Text is for people; a script that asked for JSON still gets its document.
    ZorCliSilence(o.bQuiet && !o.bJson && !o.bJsonLines);
    if (o.bAide) {
        std::fputs(ZorCliAide(o.zVerbe).c_str(), stdout);
        return ZOR_CLI_OK;
    }

    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
        return ZorCliSortie(o, ZOR_CLI_RESEAU, ZorCliTr("la boîte à outils ne démarre pas"));
    wxAppConsole::GetInstance()->CallOnInit();
    // The engine's own diagnostics go to its log file; standard error is kept for our one line.
    wxLog::EnableLogging(false);
    ZorPomper(0, nullptr); // the loop the engine's worker wakes, made before the worker starts
    const int iCode = ZorCliExecuter(o);
    wxEntryCleanup();
    return iCode;
}
