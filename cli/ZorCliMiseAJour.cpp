// The update verb: every device checked before anything is sent, then the update sequence of
// the windows run for each device in turn, its stages done by the window-less transfers.
#include "cli/ZorCliJson.h"
#include "cli/ZorCliMoteur.h"
#include "cli/ZorCliOutils.h"
#include "device/ZorTavlinObj.h"
#include "firmware/ZorMAJTavlin.h"
#include "firmware/ZorPostFile.h"
#include "firmware/ZorSequenceMAJ.h"
#include "firmware/ZorUploadFirmware.h"
#include "infra/ZorTraduction.h"

#include <wx/dir.h>
#include <wx/filename.h>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace {

constexpr int kAttenteDevicesS = 5;             // the devices named, or --all, answering discovery
constexpr int kTransfertMaxMs = 15 * 60 * 1000; // bound on one transfer (it ends by itself)
constexpr int kHelloRechercheMs = 1000;         // hellos while the restarted device is looked for
// After a failure once the device was sent to its bootloader: how long it may take to come back
// (a bootloader left alone gives up on its own within seconds) before it counts as stuck there.
constexpr int kSortieBootloaderMs = 30000;
// update --wait: how long a failed device is waited for (a restart and a bootloader giving up).
constexpr int kRetourS = 60;

// The words of the text output for the stages and results; JSON keeps these identifiers, which
// scripts read.
std::string MotAffiche(const std::string& zMot)
{
    static const std::map<std::string, const char*> mots = {
        {"verification", ZOR_N8("vérification")},
        {"bootloader", ZOR_N8("bootloader")},
        {"search", ZOR_N8("recherche")},
        {"transfer", ZOR_N8("transfert")},
        {"completion", ZOR_N8("finalisation")},
        {"preparation", ZOR_N8("préparation")},
        {"failed", ZOR_N8("échec")},
        {"updated", ZOR_N8("mise à jour")},
        {"current", ZOR_N8("à jour")},
        {"skipped", ZOR_N8("ignorée")},
        {"would-update", ZOR_N8("à mettre à jour")}};
    const auto it = mots.find(zMot);
    return it == mots.end() ? zMot : ZorCliTr(it->second);
}

const char* NomEtape(ZorSequenceMAJ::Etat e)
{
    switch (e) {
    case ZorSequenceMAJ::ATTENTE_ETAT:
        return "verification";
    case ZorSequenceMAJ::BOOTLOADER:
        return "bootloader";
    case ZorSequenceMAJ::RECHERCHE:
        return "search";
    case ZorSequenceMAJ::TRANSFERT:
        return "transfer";
    case ZorSequenceMAJ::REINITIALISATION:
        return "completion";
    default:
        return "preparation";
    }
}

struct Resultat
{
    std::string zMAC, zIP, zResultat, zRaison, zEtape, zAvant, zApres;
    int iCode = 0;
    bool bBootloader = false; // left in its bootloader: it did not answer again after the failure
    int iRepond = -1;         // --wait: whether a failed device answered again (-1: not waited)
};

// The sequence's surroundings without a window: the stages run their transfers on our pumped
// event loop, the user's questions get the answer that ends the sequence without the manual
// procedure (nobody is there to power-cycle the device).
class Contexte : public ZorSequenceMAJ::Contexte,
                 private ZorMAJTavlin::Transferts,
                 private ZorUploadFirmwareVue,
                 private ZorPostFileVue
{
public:
    Contexte(ZorTavlinObj& tavlin, const std::string& zMAC, bool bJsonLines)
        : m_maj(&tavlin), m_tavlin(tavlin), m_zMAC(zMAC), m_bJsonLines(bJsonLines)
    {}

    ZorMAJTavlin m_maj;
    ZorTavlinInfo m_retrouvee; // the device as it answered after its restart
    int m_iCodeTransfert = 0;

    void Progression(const char* zEtape, int iPourcent)
    {
        if (zEtape == m_zEtape && iPourcent == m_iPourcent)
            return;
        m_zEtape = zEtape;
        m_iPourcent = iPourcent;
        if (m_bJsonLines) {
            ZorJson j = ZorJson::Objet()
                            .Ajouter("event", "progress")
                            .Ajouter("mac", m_zMAC)
                            .Ajouter("stage", zEtape);
            ZorCliEcrireJson((iPourcent >= 0 ? j.Ajouter("percent", iPourcent) : j));
        } else {
            std::fprintf(stderr, "%s : %s%s\n", m_zMAC.c_str(), MotAffiche(zEtape).c_str(),
                         iPourcent >= 0 ? (" " + std::to_string(iPourcent) + " %").c_str() : "");
        }
    }

private:
    void DemanderEtatFrais(const wxString& zMAC) override
    {
        m_iEtatAttendu = m_tavlin.DemanderEtatFrais(zMAC, true);
    }
    bool IsNewEtat() override { return m_tavlin.GetSequenceEtat() > m_iEtatAttendu; }

    bool EnvoyerBootloader(const wxString& zDossier, const wxString& zIP, const wxString& zMAC,
                           wxString* pzIdentifiant) override
    {
        return m_maj.EnvoyerBootloader(zDossier, zIP, zMAC, pzIdentifiant, *this);
    }

    // The transfers on our pumped event loop, each bounded.
    bool Bootloader(const wxString& zImage, const wxString& zMAC, ZorStatutBoot* pStatut,
                    wxString* pzId) override
    {
        ZorUploadFirmwareTransfert transfert(*this, zMAC);
        if (!transfert.Init(zImage))
            return false;
        *pStatut = Executer(transfert) ? m_statutBoot : ZorStatutBoot::TRANSFERT;
        *pzId = transfert.Logique().GetIdentifiant();
        return true;
    }
    bool Post(const wxString& zIP, const wxString& zIPLocal, const wxString& zFichier,
              const wxString& zChemin, const wxString& zDisposition, int iTimeOutSec,
              ZorCodePost* pCode) override
    {
        ZorPostFileTransfert transfert(*this);
        if (!transfert.Init(zIP, zIPLocal, zFichier, zChemin, zDisposition, iTimeOutSec, false))
            return false;
        *pCode = Executer(transfert) ? m_codePost : ZorCodePost::REQUETE;
        if (*pCode == ZorCodePost::SUCCES)
            Progression("transfer", 100);
        return true;
    }
    // The capture goes out through the manager's adapters; the post needs none.
    void Lancer(ZorUploadFirmwareTransfert& t) { t.Demarrer(m_tavlin.GetArrayCarteEth()); }
    void Lancer(ZorPostFileTransfert& t) { t.Demarrer(); }
    // Runs a started transfer until its end (bounded): false when it did not end. The number of
    // a failure is kept for the report (the post's failures are negative, the bootloader's
    // positive, -1 for a transfer that did not end).
    template <typename Transfert> bool Executer(Transfert& transfert)
    {
        m_bFini = false;
        Lancer(transfert);
        ZorCliPomper(kTransfertMaxMs, [this] { return m_bFini; });
        const int iCode = m_bFini ? m_iFin : -1;
        if (iCode != 0)
            m_iCodeTransfert = iCode;
        return m_bFini;
    }

    bool RechercherTavlin(const wxString& zIdentifiant, wxString* pzIP, wxString* pzIPLocal,
                          wxString* pzMAC, ZorTavlinInfo* pInfo) override
    {
        Progression("search", -1);
        // The manager's own hellos are far apart; the restarted device answers the next one.
        const int64_t iMaintenant = m_tavlin.Clock().NowMs();
        if (iMaintenant - m_iDernierHello >= kHelloRechercheMs) {
            m_iDernierHello = iMaintenant;
            m_tavlin.Decouvrir();
        }
        const bool bTrouvee = m_maj.RechercherTavlin(zIdentifiant, pzIP, pzIPLocal, pzMAC, pInfo);
        if (bTrouvee)
            m_retrouvee = *pInfo;
        return bTrouvee;
    }

    bool EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                         const wxString& zIPLocal) override
    {
        Progression("transfer", -1);
        return m_maj.EnvoyerFichiers(zDossier, zIP, zIPLocal, *this);
    }

    bool ReinitialiserTavlin(const wxString& zIP, const wxString& zIPLocal,
                             const ZorTavlinInfo& info) override
    {
        Progression("completion", -1);
        return m_maj.ReinitialiserTavlin(zIP, zIPLocal, info);
    }
    ZorErreurMAJ GetErreur() override { return m_maj.GetErreur(); }
    void SetErreur(ZorErreurMAJ erreur) override { m_maj.SetErreur(erreur); }
    void AfficherAttenteVerification(bool bVisible) override
    {
        if (bVisible)
            Progression("verification", -1);
    }
    void AfficherAttenteRecherche(bool) override {}
    int Message(const wxString&, long iStyle) override
    {
        if (iStyle & wxCANCEL)
            return wxID_CANCEL;
        return (iStyle & wxYES_NO) ? wxID_NO : wxID_OK;
    }
    void AccederMaintenant() override {}

    // Both transfers' views.
    void OnCapture(const wxString&) override { Progression("bootloader", 0); }
    void OnProgression(uint64_t iEnvoyes, uint64_t iTotal) override
    {
        // In steps of ten: a line per record would bury the other devices' lines.
        Progression("bootloader", iTotal ? int(iEnvoyes * 10 / iTotal) * 10 : 0);
    }
    void OnFin(ZorStatutBoot statut) override
    {
        m_statutBoot = statut;
        m_iFin = ZorCode(statut);
        m_bFini = true;
    }
    void OnFin(ZorCodePost code) override
    {
        m_codePost = code;
        m_iFin = ZorCode(code);
        m_bFini = true;
    }

    ZorTavlinObj& m_tavlin;
    std::string m_zMAC;
    bool m_bJsonLines;
    std::string m_zEtape;
    int m_iPourcent = -2;
    int m_iFin = 0;
    ZorStatutBoot m_statutBoot = ZorStatutBoot::SUCCES;
    ZorCodePost m_codePost = ZorCodePost::SUCCES;
    bool m_bFini = false;
    int64_t m_iDernierHello = 0;
    // A state numbered beyond this one answers the last request.
    uint64_t m_iEtatAttendu = 0;
};

void Mettre(ZorTavlinObj& tavlin, const ZorTavlinInfo& d, const wxString& zDossier, bool bJsonLines,
            Resultat& r)
{
    Contexte contexte(tavlin, r.zMAC, bJsonLines);
    contexte.m_maj.SetVersionAvant(d.m_zVersion);
    ZorSequenceMAJ sequence(contexte);
    int iDelai = sequence.Lancer(zDossier, d.m_zIP, d.m_zIPLocal, d.m_zMAC, false);
    while (iDelai >= 0 && sequence.IsEnCours()) {
        ZorCliPomper(iDelai, [] { return false; });
        const ZorSequenceMAJ::Etat avant = sequence.GetEtat();
        if (ZorCliInterrompu()) {
            sequence.Arreter();
            r.zResultat = "failed", r.zEtape = NomEtape(avant), r.zRaison = ZorCliTr("interrompue");
            return;
        }
        iDelai = sequence.Tick();
        if (ZorCliInterrompu()) { // the stage's own wait ended on it
            sequence.Arreter();
            r.zResultat = "failed", r.zEtape = NomEtape(avant), r.zRaison = ZorCliTr("interrompue");
            return;
        }
        const ZorSequenceMAJ::Etat apres = sequence.GetEtat();
        if (apres == ZorSequenceMAJ::ECHEC_AUTO ||
            (avant == ZorSequenceMAJ::ATTENTE_ETAT && apres == ZorSequenceMAJ::AUCUN)) {
            // The windows would now offer the manual procedure; here the failure is the answer.
            sequence.Arreter();
            r.zResultat = "failed", r.zEtape = NomEtape(avant),
            r.iCode = ZorCode(contexte.m_maj.GetErreur());
            r.zRaison =
                avant == ZorSequenceMAJ::ATTENTE_ETAT ? ZorCliTr("la Tavlin ne répond pas")
                : contexte.m_iCodeTransfert
                    ? ZorCliTr("code du transfert %s", {std::to_string(contexte.m_iCodeTransfert)})
                    : std::string();
            if ((avant == ZorSequenceMAJ::BOOTLOADER || avant == ZorSequenceMAJ::RECHERCHE) &&
                !ZorCliInterrompu())
                r.bBootloader = !ZorCliAttendreRetour(tavlin, d.m_zMAC, kSortieBootloaderMs);
            return;
        }
        if (apres == ZorSequenceMAJ::ECHEC_VERSION) {
            // Every stage went through, but the device does not run the folder's version.
            sequence.Arreter();
            r.zResultat = "failed", r.zEtape = NomEtape(avant),
            r.iCode = ZorCode(contexte.m_maj.GetErreur());
            r.zApres = ZorCliU8(contexte.m_retrouvee.m_zVersion);
            r.zIP = ZorCliU8(contexte.m_retrouvee.m_zIP);
            r.zRaison = ZorCliU8(ZorVersionNonApportee(zDossier, contexte.m_retrouvee.m_zVersion));
            return;
        }
        if (apres == ZorSequenceMAJ::SUCCES_AUTO) {
            sequence.Arreter();
            r.zResultat = "updated";
            r.zApres = ZorCliU8(contexte.m_retrouvee.m_zVersion);
            r.zIP = ZorCliU8(contexte.m_retrouvee.m_zIP);
            return;
        }
        if (apres == ZorSequenceMAJ::BOOTLOADER || apres == ZorSequenceMAJ::REINITIALISATION)
            contexte.Progression(NomEtape(apres), apres == ZorSequenceMAJ::BOOTLOADER ? 0 : -1);
    }
    r.zResultat = "failed", r.zRaison = ZorCliTr("séquence arrêtée");
}

ZorJson JsonResultat(const Resultat& r)
{
    ZorJson j =
        ZorJson::Objet().Ajouter("mac", r.zMAC).Ajouter("ip", r.zIP).Ajouter("result", r.zResultat);
    j.Ajouter("version_before", r.zAvant).Ajouter("version_after", r.zApres);
    if (r.zResultat == "failed")
        j.Ajouter("code", r.iCode)
            .Ajouter("stage", r.zEtape)
            .Ajouter("left_in_bootloader", r.bBootloader);
    if (r.iRepond >= 0)
        j.Ajouter("answers", r.iRepond == 1);
    if (!r.zRaison.empty())
        j.Ajouter("reason", r.zRaison);
    return j;
}

} // namespace

int ZorCliMiseAJour(ZorTavlinObj& tavlin, const ZorCliOptions& o)
{
    auto sortie = [&](int iCode, const std::string& z) { return ZorCliSortie(o, iCode, z); };
    // The update folder: the one given, else the newest beside the program.
    wxString zDossier;
    ZorVersionTavlin version;
    if (!o.zDossier.empty()) {
        wxFileName nom = wxFileName::DirName(ZorCliW(o.zDossier));
        nom.MakeAbsolute();
        zDossier = nom.GetPath();
        const wxArrayString parties = nom.GetDirs();
        if (!wxDir::Exists(zDossier) || parties.empty() ||
            !ZorLireVersionDossier(parties.Last(), version))
            return sortie(
                ZOR_CLI_USAGE,
                ZorCliTr("--folder attend un dossier de mise à jour existant (maj_vN) : %s",
                         {o.zDossier}));
    } else if (!ZorMAJTavlin::DerniereMiseAJour(&zDossier, &version)) {
        return sortie(ZOR_CLI_ECHEC, ZorCliTr("aucune mise à jour dans %s",
                                              {ZorCliU8(ZorMAJTavlin::GetDossierMAJ())}));
    }

    // The devices: those named (each once, in the order given) or every one found.
    std::vector<std::string> cibles;
    std::set<std::string> vues;
    for (const std::string& a : o.arguments) {
        std::string zMAC;
        if (ZorCliMAC(a, &zMAC) && vues.insert(zMAC).second)
            cibles.push_back(zMAC);
    }
    const int iSecondes = o.iSecondes >= 0 ? o.iSecondes : kAttenteDevicesS;
    ZorCliDecouvrir(tavlin, iSecondes * 1000, [&] {
        if (o.bTous)
            return false;
        // A fresh copy each time: GetLesTavlin appends.
        ZorTavlinInfoArray presents;
        tavlin.GetLesTavlin(presents);
        size_t n = 0;
        for (size_t i = 0; i < presents.GetCount(); ++i)
            n += vues.count(ZorCliU8(presents[i].m_zMAC));
        return n == cibles.size();
    });
    ZorTavlinInfoArray tous;
    tavlin.GetLesTavlin(tous);
    if (o.bTous)
        for (size_t i = 0; i < tous.GetCount(); ++i)
            cibles.push_back(ZorCliU8(tous[i].m_zMAC));
    if (cibles.empty())
        return sortie(ZOR_CLI_INTROUVABLE, ZorCliTr("aucune Tavlin trouvée"));

    // Every check before anything is sent.
    wxString zRaisonImages;
    const bool bImages = ZorMAJTavlin::VerifierImages(zDossier, &zRaisonImages);
    std::vector<Resultat> resultats(cibles.size());
    std::vector<ZorTavlinInfo> infos(cibles.size());
    for (size_t k = 0; k < cibles.size(); ++k) {
        Resultat& r = resultats[k];
        r.zMAC = cibles[k];
        ZorVersionTavlin actuelle;
        if (!ZorCliTrouver(tavlin, r.zMAC, 0, &infos[k])) {
            r.zResultat = "skipped", r.zRaison = ZorCliTr("hors ligne");
            continue;
        }
        const ZorTavlinInfo& d = infos[k];
        r.zIP = ZorCliU8(d.m_zIP), r.zAvant = ZorCliU8(d.m_zVersion);
        // The library's rule: a version that does not read counts as up to date.
        if (!ZorLireVersion(d.m_zVersion, actuelle) || ZorComparerVersions(actuelle, version) >= 0)
            r.zResultat = "current", r.zApres = r.zAvant;
        else if (!ZorCliJoignable(d))
            r.zResultat = "skipped",
            r.zRaison = ZorCliTr("hors du réseau de l'ordinateur (tavlin readdress)");
        else if (!bImages)
            r.zResultat = "failed", r.zEtape = "preparation",
            r.iCode = ZorCode(ZorErreurMAJ::IMAGE),
            r.zRaison =
                ZorCliTr("image refusée : %s (%s)", {ZorCliU8(zRaisonImages), ZorCliU8(zDossier)});
        else
            r.zResultat = o.bDryRun ? "would-update" : "pending";
    }

    for (size_t k = 0; k < cibles.size() && !ZorCliInterrompu(); ++k)
        if (resultats[k].zResultat == "pending") {
            Resultat& r = resultats[k];
            Mettre(tavlin, infos[k], zDossier, o.bJsonLines, r);
            if (o.bAttendre && r.zResultat == "failed" && !ZorCliInterrompu()) {
                // A device already waited for and silent is not waited for twice.
                r.iRepond = !r.bBootloader &&
                            ZorCliAttendreRetour(tavlin, infos[k].m_zMAC, kRetourS * 1000);
                r.bBootloader =
                    r.bBootloader ||
                    (r.iRepond == 0 && (r.zEtape == "bootloader" || r.zEtape == "search"));
            }
        }

    bool bTousFaits = true;
    ZorJson liste = ZorJson::Tableau();
    for (Resultat& r : resultats) {
        if (r.zResultat == "pending")
            r.zResultat = "skipped", r.zRaison = ZorCliTr("interrompue");
        bTousFaits = bTousFaits && (r.zResultat == "updated" || r.zResultat == "current" ||
                                    r.zResultat == "would-update");
        liste.Ajouter(JsonResultat(r));
    }
    if (o.bJson || o.bJsonLines) {
        ZorCliEcrireJson(ZorJson::Objet()
                             .Ajouter("folder", ZorCliU8(zDossier))
                             .Ajouter("dry_run", o.bDryRun)
                             .Ajouter("results", liste));
    } else {
        std::vector<std::vector<std::string>> lignes = {{"MAC", "IP", ZorCliTr("RÉSULTAT"),
                                                         ZorCliTr("AVANT"), "", ZorCliTr("APRÈS"),
                                                         ZorCliTr("DÉTAIL")}};
        for (const Resultat& r : resultats) {
            std::string zDetail = r.zRaison;
            if (r.zResultat == "failed")
                zDetail =
                    ZorCliTr("code %s, étape %s %s",
                             {std::to_string(r.iCode), MotAffiche(r.zEtape), r.zRaison}) +
                    (r.bBootloader ? ZorCliTr(" ; laissée dans son bootloader (ne répond plus)")
                                   : "");
            if (r.iRepond == 1)
                zDetail += ZorCliTr(" ; répond de nouveau");
            lignes.push_back(
                {r.zMAC, r.zIP, MotAffiche(r.zResultat), r.zAvant, "->", r.zApres, zDetail});
        }
        for (const std::string& l : ZorCliTableau(lignes))
            ZorCliEcrire(l);
    }
    return bTousFaits ? ZOR_CLI_OK : ZOR_CLI_ECHEC;
}
