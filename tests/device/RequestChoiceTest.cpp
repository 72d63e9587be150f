// The worker's choice of one pass, as a table: held command, queued command (sent, or held in
// UART mode), poll when the spacing has passed, idle pause until it has.
#include "device/ZorChoixRequete.h"

#include <gtest/gtest.h>

namespace {

using R = ZorChoixRequete;

TEST(RequestChoice, Table)
{
    const ZorTavlinCommande cmdA(wxT("&BLINK=1"), wxT("10.0.0.5"), wxT("10.0.0.1"),
                                 wxT("etat.htm"));
    const ZorTavlinCommande cmdB(wxT("&PAUSE=1"), wxT("10.0.0.6"), wxT("10.0.0.1"),
                                 wxT("etatautomate.htm"));
    const ZorTavlinCommande tenue(wxT("&AUTO=5"), wxT("10.0.0.5"), wxT("10.0.0.1"),
                                  wxT("etat.htm"));
    // The monitored device is A (10.0.0.5).
    const struct
    {
        const char* nom;
        bool bUART, bAuto;
        const ZorTavlinCommande* pTenue;
        const ZorTavlinCommande* pFile;
        int iAttente;
        R::Genre genre;
        bool bPrend;
        const char* chemin;
        const char* cible;
        bool bEtape;
        int iPause;
    } cas[] = {
        {"command first, even when a poll is due", false, true, nullptr, &cmdA, 0, R::ZOR_COMMANDE,
         true, "etat.htm?date=1&BLINK=1", "10.0.0.5", false, 1},
        {"command to another device on its page", false, false, nullptr, &cmdB, 30, R::ZOR_COMMANDE,
         true, "etatautomate.htm?date=1&PAUSE=1", "10.0.0.6", false, 1},
        {"poll when the spacing has passed", false, true, nullptr, nullptr, 0, R::ZOR_POLL, false,
         "etat.htm?date=1", "10.0.0.5", false, 1},
        {"idle until the spacing has passed", false, true, nullptr, nullptr, 7, R::ZOR_AUCUNE,
         false, "", "", false, 7},
        {"idle at most 10 ms", false, true, nullptr, nullptr, 45, R::ZOR_AUCUNE, false, "", "",
         false, 10},
        {"no automatic poll", false, false, nullptr, nullptr, 0, R::ZOR_AUCUNE, false, "", "",
         false, 10},
        {"UART: poll with the exchange step", true, true, nullptr, nullptr, 0, R::ZOR_POLL, false,
         "etat.htm?date=1", "10.0.0.5", true, 1},
        {"UART: command for the watched device is held", true, false, nullptr, &cmdA, 0,
         R::ZOR_TENIR, true, "etat.htm?date=1", "10.0.0.5", true, 1},
        {"UART: command for another device goes at once", true, true, nullptr, &cmdB, 0,
         R::ZOR_COMMANDE, true, "etatautomate.htm?date=1&PAUSE=1", "10.0.0.6", false, 1},
        {"UART: the held command comes before the queue", true, false, &tenue, &cmdB, 0,
         R::ZOR_TENUE, false, "etat.htm?date=1", "10.0.0.5", true, 1},
        {"a held command is ignored outside UART mode", false, false, &tenue, nullptr, 0,
         R::ZOR_AUCUNE, false, "", "", false, 10},
    };
    for (const auto& c : cas) {
        ZorChoixEntree e;
        e.bUART = c.bUART;
        e.bAuto = c.bAuto;
        e.pTenue = c.pTenue;
        e.pFile = c.pFile;
        e.zTheIP = wxT("10.0.0.5");
        e.zTheIPLocal = wxT("10.0.0.1");
        e.iAttentePollMs = c.iAttente;
        e.zDate = wxT("?date=1");
        const R r = ZorChoisirRequete(e);
        EXPECT_EQ(r.genre, c.genre) << c.nom;
        EXPECT_EQ(r.bPrendFile, c.bPrend) << c.nom;
        EXPECT_EQ(r.zChemin, wxString::FromUTF8(c.chemin)) << c.nom;
        EXPECT_EQ(r.zCible, wxString::FromUTF8(c.cible)) << c.nom;
        EXPECT_EQ(r.zLocal, wxString(*c.cible ? wxT("10.0.0.1") : wxT(""))) << c.nom;
        EXPECT_EQ(r.bEtapeUART, c.bEtape) << c.nom;
        EXPECT_EQ(r.iPauseMs, c.iPause) << c.nom;
    }

    // With nothing to watch, no poll and the full idle pause.
    ZorChoixEntree e;
    e.bAuto = true;
    const R r = ZorChoisirRequete(e);
    EXPECT_EQ(r.genre, R::ZOR_AUCUNE);
    EXPECT_EQ(r.iPauseMs, 10);
}

} // namespace
