// The update sequence's states against a scripted surrounding: which stages run with which
// addresses, what the user is told, when it falls back to the manual procedure.
#include "firmware/ZorSequenceMAJ.h"

#include <gtest/gtest.h>
#include <wx/defs.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace {

class Script : public ZorSequenceMAJ::Contexte
{
public:
    std::deque<bool> etatFrais, bootloader, recherche, fichiers, reinit;
    std::deque<int> reponses; // to messages that ask something
    std::vector<std::string> trace;
    int erreur = 0;
    std::string versionApres = "Tavlin v3"; // what the device reports once back from its bootloader

    static bool Next(std::deque<bool>& q, bool fallback)
    {
        if (q.empty())
            return fallback;
        const bool b = q.front();
        q.pop_front();
        return b;
    }
    void DemanderEtatFrais(const wxString& mac) override
    {
        trace.push_back("etat " + mac.ToStdString());
    }
    bool IsNewEtat() override { return Next(etatFrais, false); }
    bool EnvoyerBootloader(const wxString& dossier, const wxString& ip, const wxString& mac,
                           wxString* id) override
    {
        trace.push_back("bootloader " + dossier.ToStdString() + " [" + ip.ToStdString() + "] [" +
                        mac.ToStdString() + "]");
        *id = "34-56";
        const bool ok = Next(bootloader, true);
        if (ok)
            erreur = 0; // as the update object: a stage that succeeds clears the code
        return ok;
    }
    bool RechercherTavlin(const wxString& id, wxString* ip, wxString* ipLocal, wxString* mac,
                          ZorTavlinInfo* info) override
    {
        erreur = 0; // found or not, the search clears the code so that polling goes on
        if (!Next(recherche, true))
            return false;
        trace.push_back("trouvee " + id.ToStdString());
        *ip = "192.168.77.10";
        *ipLocal = "192.168.77.1";
        *mac = "00-04-A3-12-34-56";
        info->m_zLogin = "admin";
        info->m_zVersion = wxString::FromUTF8(versionApres);
        return true;
    }
    bool EnvoyerFichiers(const wxString& dossier, const wxString& ip,
                         const wxString& ipLocal) override
    {
        trace.push_back("fichiers " + dossier.ToStdString() + " " + ip.ToStdString() + " " +
                        ipLocal.ToStdString());
        return Next(fichiers, true);
    }
    bool ReinitialiserTavlin(const wxString& ip, const wxString&,
                             const ZorTavlinInfo& info) override
    {
        trace.push_back("reinit " + ip.ToStdString() + " " + info.m_zLogin.ToStdString());
        return Next(reinit, true);
    }
    ZorErreurMAJ GetErreur() override { return static_cast<ZorErreurMAJ>(erreur); }
    void SetErreur(ZorErreurMAJ e) override
    {
        erreur = ZorCode(e);
        trace.push_back("erreur " + std::to_string(erreur));
    }
    void AfficherAttenteVerification(bool b) override { trace.push_back(b ? "+verif" : "-verif"); }
    void AfficherAttenteRecherche(bool b) override
    {
        trace.push_back(b ? "+recherche" : "-recherche");
    }
    int Message(const wxString& texte, long style) override
    {
        trace.push_back("msg " + texte.BeforeFirst('\n').utf8_string());
        const bool question = (style & (wxYES_NO | wxCANCEL)) != 0;
        if (!question)
            return wxID_OK;
        if (reponses.empty())
            return style & wxYES_NO ? wxID_NO : wxID_CANCEL;
        const int r = reponses.front();
        reponses.pop_front();
        return r;
    }
    void AccederMaintenant() override { trace.push_back("acceder"); }
};

// Runs the sequence to its end; returns the sum of the delays asked for.
long RunToEnd(ZorSequenceMAJ& seq, int first)
{
    long total = 0;
    for (int delay = first, n = 0; delay >= 0 && n < 1000; ++n) {
        total += delay;
        delay = seq.Tick();
    }
    EXPECT_FALSE(seq.IsEnCours());
    return total;
}

// Drops consecutive repeats (the +verif/-verif pairs of polls are shown once).
std::vector<std::string> Squash(const std::vector<std::string>& t)
{
    std::vector<std::string> out;
    for (const std::string& s : t) {
        if (out.empty() || out.back() != s)
            out.push_back(s);
    }
    return out;
}

TEST(SequenceMAJ, AutomaticUpdateRunsTheFourStagesThenOffersAccess)
{
    Script s;
    s.etatFrais = {false, false, true};
    s.recherche = {false, false, true};
    s.reponses = {wxID_YES};
    ZorSequenceMAJ seq(s);
    RunToEnd(seq,
             seq.Lancer("maj/maj_v3", "192.168.77.10", "192.168.77.1", "00-04-A3-12-34-56", true));
    const std::vector<std::string> expected = {
        "etat 00-04-A3-12-34-56",
        "+verif",
        "-verif",
        "bootloader maj/maj_v3 [192.168.77.10] [00-04-A3-12-34-56]",
        "+recherche",
        "trouvee 34-56",
        "-recherche",
        "fichiers maj/maj_v3 192.168.77.10 192.168.77.1",
        "reinit 192.168.77.10 admin",
        "msg La mise à jour est terminée.",
        "acceder"};
    EXPECT_EQ(Squash(s.trace), expected);
}

TEST(SequenceMAJ, UnreachableDeviceEndsAfterTwentyOnePolls)
{
    Script s;
    ZorSequenceMAJ seq(s);
    const long total = RunToEnd(seq, seq.Lancer("d", "192.168.77.10", "192.168.77.1", "M", false));
    EXPECT_EQ(total, 10 + 22 * 500) << "21 polls of 500 ms after the first request";
    EXPECT_EQ(s.trace.back(), "msg Le gestionnaire ne peut pas communiquer normalement avec votre "
                              "Tavlin, la mise à jour est impossible. ");
    EXPECT_EQ(s.trace[s.trace.size() - 2], "-verif");
}

TEST(SequenceMAJ, FailuresFallBackToManualThenOfferRetries)
{
    Script s;
    s.fichiers = {false, true}; // the automatic run fails at the post, the manual one succeeds
    s.etatFrais = {true};
    s.reponses = {wxID_OK}; // the power-cycle instructions
    ZorSequenceMAJ seq(s);
    RunToEnd(seq, seq.Lancer("d", "192.168.77.10", "192.168.77.1", "M", true));
    const std::vector<std::string> expected = {
        "etat M",
        "-verif",
        "bootloader d [192.168.77.10] [M]",
        "+recherche",
        "trouvee 34-56",
        "-recherche",
        "fichiers d 192.168.77.10 192.168.77.1",
        "msg La mise à jour a échoué, la Tavlin doit être mise à jour manuellement.",
        "msg Merci de suivre les instructions suivantes :",
        "bootloader d [] []",
        "+recherche",
        "trouvee 34-56",
        "-recherche",
        "fichiers d 192.168.77.10 192.168.77.1",
        "reinit 192.168.77.10 admin",
        "msg La mise à jour est terminée."};
    EXPECT_EQ(Squash(s.trace), expected);

    // Manual: the device is never found again (40 s), retry once, then give up.
    Script m;
    m.recherche = std::deque<bool>(200, false);
    m.reponses = {wxID_OK, wxID_YES, wxID_OK, wxID_NO};
    ZorSequenceMAJ manual(m);
    const long total = RunToEnd(manual, manual.Lancer("d", "", "", "", false));
    int retries = 0, notFound = 0;
    for (const std::string& t : m.trace) {
        retries += t == "msg La mise à jour manuelle a échoué.";
        notFound += t == "erreur 4";
    }
    EXPECT_EQ(retries, 2);
    EXPECT_EQ(notFound, 2);
    EXPECT_GT(total, 2 * 40000);

    // Cancel at the power-cycle instructions: nothing is sent.
    Script c;
    ZorSequenceMAJ cancelled(c);
    RunToEnd(cancelled, cancelled.Lancer("d", "", "", "", false));
    EXPECT_EQ(c.trace,
              std::vector<std::string>{"msg Merci de suivre les instructions suivantes :"});
}

// After every stage, the device must report the folder's version; otherwise the update failed
// with its own code and reason, and no manual procedure follows (it would send the same images).
TEST(SequenceMAJ, ADeviceBackWithAnotherVersionThanTheFolderFails)
{
    struct Cas
    {
        const char* dossier;
        const char* apres;
        const char* fin; // the last message
    } cas[] = {
        {"maj/maj_v8", "Tavlin v8", "La mise à jour est terminée."},
        {"maj/maj_v8", "Tavlin v4",
         "La mise à jour a échoué : la Tavlin indique « Tavlin v4 » au lieu de la version 8."},
        {"maj/maj_v8", "v1",
         "La mise à jour a échoué : la Tavlin indique « v1 » au lieu de la version 8."},
        {"maj/maj_v8", "",
         "La mise à jour a échoué : la Tavlin indique «  » au lieu de la version 8."},
        {"maj/maj_v8", "v8b",
         "La mise à jour a échoué : la Tavlin indique « v8b » au lieu de la version 8."},
        {"d", "v1",
         "La mise à jour est terminée."}, // a folder without a version: nothing to compare
    };
    for (const Cas& c : cas) {
        for (const bool manuel : {false, true}) {
            Script s;
            s.etatFrais = {true};
            s.versionApres = c.apres;
            s.reponses = {wxID_OK}; // the power-cycle instructions
            ZorSequenceMAJ seq(s);
            RunToEnd(seq, manuel
                              ? seq.Lancer(c.dossier, "", "", "", false)
                              : seq.Lancer(c.dossier, "192.168.77.10", "192.168.77.1", "M", false));
            const bool echec = std::string(c.fin).find("échoué") != std::string::npos;
            EXPECT_EQ(s.trace.back(), std::string("msg ") + c.fin)
                << c.apres << " manual " << manuel;
            EXPECT_EQ(std::count(s.trace.begin(), s.trace.end(), "erreur 12"), echec ? 1 : 0)
                << c.apres;
            EXPECT_EQ(std::count(s.trace.begin(), s.trace.end(),
                                 "msg Merci de suivre les instructions suivantes :"),
                      manuel ? 1 : 0)
                << "no fall-back to the manual procedure: " << c.apres;
        }
    }
}

} // namespace
