#include "cli/ZorCliOutils.h"

#include "cli/ZorCliDescription.h"
#include "cli/ZorCliJson.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "infra/ZorPompe.h"
#include "infra/ZorTraduction.h"

#include <wx/datetime.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

constexpr int kHelloMs = 1000; // between hellos while waiting for devices
constexpr int kAutreCarteMs = 1000; // a device found off the network, heard through another adapter

volatile std::sig_atomic_t gbInterrompu = 0;
// The first signal asks every wait to end and the verb to wind up; the handler then steps
// aside, so a second Ctrl-C ends the program at once whatever it is doing.
void SurSignal(int iSignal)
{
    gbInterrompu = 1;
    std::signal(iSignal, SIG_DFL);
}

const ZorClock& Horloge()
{
    return ZorDefaultClock();
}

} // namespace

void ZorCliSuivreInterruptions()
{
    std::signal(SIGINT, SurSignal);
    std::signal(SIGTERM, SurSignal);
}

bool ZorCliInterrompu()
{
    return gbInterrompu != 0;
}

bool ZorCliPomper(int iMs, const std::function<bool()>& done, int iAttenteMaxMs)
{
    return ZorPomper(
        iMs, done, [] { return gbInterrompu != 0; }, iAttenteMaxMs);
}

std::string ZorCliTr(const char* zFrancais, std::initializer_list<std::string> valeurs)
{
    const std::string zTexte = ZorTrU8(zFrancais);
    std::string out;
    auto it = valeurs.begin();
    for (size_t i = 0; i < zTexte.size(); ++i) {
        if (zTexte[i] == '%' && i + 1 < zTexte.size() && zTexte[i + 1] == 's' &&
            it != valeurs.end()) {
            out += *it++;
            ++i;
        } else {
            out += zTexte[i];
        }
    }
    return out;
}

std::string ZorCliSur(const std::string& z)
{
    std::string out;
    out.reserve(z.size());
    auto echapper = [&out](unsigned char c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
        out += buf;
    };
    for (size_t i = 0; i < z.size();) {
        const unsigned char c = static_cast<unsigned char>(z[i]);
        if (c < 0x20 || c == 0x7F) {
            echapper(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, then continuation bytes only.
        const size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                         : c >= 0xE0 && c <= 0xEF ? 3
                         : c >= 0xF0 && c <= 0xF4 ? 4
                                                  : 0;
        bool bValide = n > 0 && i + n <= z.size();
        for (size_t k = 1; bValide && k < n; ++k)
            bValide = (static_cast<unsigned char>(z[i + k]) & 0xC0) == 0x80;
        if (!bValide) {
            echapper(c);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(z[i + 1]) < 0xA0) {
            echapper(static_cast<unsigned char>(z[i + 1])); // a C1 control, e.g. CSI
            i += 2;
        } else {
            out.append(z, i, n);
            i += n;
        }
    }
    return out;
}

std::string ZorCliCsv(const std::string& zTexte)
{
    std::string z = zTexte;
    if (!z.empty() && std::string("=+-@\t\r").find(z[0]) != std::string::npos)
        z.insert(0, 1, '\'');
    if (z.find_first_of(",\"\r\n") == std::string::npos)
        return z;
    std::string out = "\"";
    for (char c : z)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

namespace {
bool gbSilence = false;
size_t Largeur(const std::string& z)
{
    size_t n = 0;
    for (const char c : ZorCliSur(z))
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}
} // namespace

std::string ZorCliColonnes(const std::vector<std::pair<std::string, int>>& cellules)
{
    std::string z;
    for (size_t i = 0; i < cellules.size(); ++i) {
        const std::string zCellule = ZorCliSur(cellules[i].first);
        z += zCellule;
        if (i + 1 < cellules.size())
            z += std::string(std::max(size_t(cellules[i].second), Largeur(zCellule)) -
                                 Largeur(zCellule) + 1,
                             ' ');
    }
    // Trailing blanks of an empty last column serve nobody.
    return z.erase(z.find_last_not_of(' ') + 1);
}

std::vector<std::string> ZorCliTableau(const std::vector<std::vector<std::string>>& lignes)
{
    std::vector<int> largeurs;
    for (const auto& l : lignes)
        for (size_t i = 0; i < l.size(); ++i) {
            largeurs.resize(std::max(largeurs.size(), l.size()), 0);
            largeurs[i] = std::max(largeurs[i], int(Largeur(l[i])));
        }
    std::vector<std::string> out;
    for (const auto& l : lignes) {
        std::vector<std::pair<std::string, int>> cellules;
        for (size_t i = 0; i < l.size(); ++i)
            cellules.emplace_back(l[i], largeurs[i]);
        out.push_back(ZorCliColonnes(cellules));
    }
    return out;
}

void ZorCliSilence(bool bSilence)
{
    gbSilence = bSilence;
}

void ZorCliEcrireJson(const ZorJson& doc)
{
    const bool bSilence = gbSilence;
    gbSilence = false;
    ZorCliEcrire(ZorJson::Objet().Ajouter("schema", kZorCliSchema).Fusionner(doc).Texte());
    gbSilence = bSilence;
}

void ZorCliEcrire(const std::string& zTexte)
{
    if (gbSilence)
        return;
    const std::string z = ZorCliSur(zTexte);
    std::fputs(z.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool ZorCliDecouvrir(ZorTavlinObj& tavlin, int iMs, const std::function<bool()>& done)
{
    int64_t iProchain = Horloge().NowMs() + kHelloMs;
    return ZorCliPomper(iMs, [&] {
        if (Horloge().NowMs() >= iProchain) {
            tavlin.Decouvrir();
            iProchain = Horloge().NowMs() + kHelloMs;
        }
        return done && done();
    });
}

bool ZorCliJoignable(const ZorTavlinInfo& d)
{
    return d.EstSurReseauDuPC();
}

bool ZorCliChercherDans(const ZorTavlinInfoArray& tous, const std::string& zCible, ZorTavlinInfo* p)
{
    std::string zMAC;
    const bool bMAC = ZorCliMAC(zCible, &zMAC);
    for (size_t i = 0; i < tous.GetCount(); ++i)
        if (bMAC ? ZorCliU8(tous[i].m_zMAC) == zMAC : ZorCliU8(tous[i].m_zIP) == zCible) {
            if (p)
                *p = tous[i];
            return true;
        }
    return false;
}

bool ZorCliTrouver(ZorTavlinObj& tavlin, const std::string& zCible, int iSecondes, ZorTavlinInfo* p)
{
    auto present = [&] {
        ZorTavlinInfoArray tous;
        tavlin.GetLesTavlin(tous);
        return ZorCliChercherDans(tous, zCible, p);
    };
    return ZorCliDecouvrir(tavlin, iSecondes * 1000, present) || present();
}

int ZorCliTrouverJoignable(ZorTavlinObj& tavlin, const std::string& zCible, int iSecondes,
                           ZorTavlinInfo* p, std::string* pz)
{
    if (!ZorCliTrouver(tavlin, zCible, iSecondes, p)) {
        *pz = ZorCliTr("Tavlin introuvable : %s", {zCible});
        return ZOR_CLI_INTROUVABLE;
    }
    // Two adapters on one link hear each answer in no set order: the one through the adapter on
    // the device's network may come a moment after the first.
    ZorCliPomper(kAutreCarteMs, [&] {
        ZorTavlinInfoArray tous;
        tavlin.GetLesTavlin(tous);
        return ZorCliChercherDans(tous, zCible, p) && ZorCliJoignable(*p);
    });
    if (ZorCliJoignable(*p))
        return 0;
    *pz =
        ZorCliTr("la Tavlin %s (%s) n'est pas sur le réseau de l'ordinateur : tavlin readdress %s",
                 {ZorCliU8(p->m_zMAC), ZorCliU8(p->m_zIP), ZorCliU8(p->m_zMAC)});
    return ZOR_CLI_ECHEC;
}

bool ZorCliAttendreRetour(ZorTavlinObj& tavlin, const wxString& zMAC, int iMs)
{
    const long iDepuis = long(tavlin.Clock().EpochSeconds());
    return ZorCliDecouvrir(tavlin, iMs, [&] {
        ZorTavlinInfoArray tous;
        tavlin.GetLesTavlin(tous);
        ZorTavlinInfo d;
        return ZorCliChercherDans(tous, ZorCliU8(zMAC), &d) && d.m_iTimeLastSeen > iDepuis;
    });
}

const ZorCarteEth* ZorCliCarteDe(ZorTavlinObj& tavlin, const ZorTavlinInfo& d)
{
    for (ZorCarteEth* c : tavlin.GetArrayCarteEth())
        if (c->m_zIP == d.m_zIPLocal)
            return c;
    return nullptr;
}

ZorJson ZorCliJsonDevice(ZorTavlinObj& tavlin, const ZorTavlinInfo& d, bool bTout,
                         const std::function<bool(const wxString&)>& aJour)
{
    ZorJson j = ZorJson::Objet();
    j.Ajouter("mac", ZorCliU8(d.m_zMAC))
        .Ajouter("ip", ZorCliU8(d.m_zIP))
        .Ajouter("name", ZorCliU8(d.m_zNom));
    j.Ajouter("comment", ZorCliU8(d.m_zCommentaire)).Ajouter("version", ZorCliU8(d.m_zVersion));
    const ZorCarteEth* c = ZorCliCarteDe(tavlin, d);
    ZorJson carte = ZorJson::Objet();
    carte.Ajouter("ip", ZorCliU8(d.m_zIPLocal))
        .Ajouter("name", c ? ZorCliU8(c->m_zNomInterface) : std::string());
    if (bTout)
        carte.Ajouter("mask", ZorCliU8(d.m_zMaskLocal))
            .Ajouter("gateway", ZorCliU8(d.m_zGatewayLocal));
    j.Ajouter("adapter", carte);
    j.Ajouter("reachable", ZorCliJoignable(d)).Ajouter("update_available", !aJour(d.m_zVersion));
    if (bTout) {
        // The password stays out: an export is a file that travels.
        j.Ajouter("mask", ZorCliU8(d.m_zMask)).Ajouter("gateway", ZorCliU8(d.m_zGateway));
        j.Ajouter("dhcp", d.m_bDHCPEnabled).Ajouter("login", ZorCliU8(d.m_zLogin));
        j.Ajouter("last_seen", int64_t(d.m_iTimeLastSeen)).Ajouter("presence", d.m_iEtatPresence);
        j.Ajouter("multiple_adapters", d.m_bMultipleCarte);
    }
    return j;
}

ZorJson ZorCliJsonEtat(const ZorTavlinData& e)
{
    ZorJson j = ZorJson::Objet();
    j.Ajouter("relays", int(e.m_iSRELAIS)).Ajouter("outputs", int(e.m_iSNUM));
    j.Ajouter("inputs", int(e.m_iENUM));
    j.Ajouter("analog_outputs",
              ZorJson::Tableau().Ajouter(int(e.m_iSANA1)).Ajouter(int(e.m_iSANA2)));
    j.Ajouter("analog_inputs", ZorJson::Tableau()
                                   .Ajouter(int(e.m_iEANA1))
                                   .Ajouter(int(e.m_iEANA2))
                                   .Ajouter(int(e.m_iEANA3))
                                   .Ajouter(int(e.m_iEANA4)));
    j.Ajouter("button", e.m_bBOUTON).Ajouter("auto", int64_t(e.m_iAUTO));
    j.Ajouter("clock", ZorCliU8(e.m_zDATETIME)).Ajouter("version", ZorCliU8(e.m_zVERSION));
    j.Ajouter("comment", ZorCliU8(e.m_zCOMMENT)).Ajouter("uart", ZorCliU8(e.m_zUART));
    return j;
}

bool ZorCliEnvoyer(ZorTavlinObj& tavlin, const ZorCliReglage& r, uint8_t iRelais,
                   const wxString& zIP, uint8_t* piRelais)
{
    switch (r.type) {
    case ZorCliReglage::RELAIS: {
        const uint8_t bit = uint8_t(1u << (r.iIndex - 1));
        const uint8_t voulu = r.iValeur ? uint8_t(iRelais | bit) : uint8_t(iRelais & ~bit);
        if (piRelais)
            *piRelais = voulu;
        return tavlin.SetSRELAIS(voulu, true);
    }
    case ZorCliReglage::SORTIES:
        return tavlin.SetSNUM(uint8_t(r.iValeur), true);
    case ZorCliReglage::ANALOGIQUE:
        return tavlin.SetSANA(r.iIndex - 1, uint8_t(r.iValeur), true);
    case ZorCliReglage::AUTO:
        return tavlin.SetAuto(r.iValeur, true);
    case ZorCliReglage::HORLOGE: {
        const wxDateTime t = wxDateTime::Now();
        return tavlin.SetHorloge(t.GetDay(), int(t.GetMonth()) + 1, t.GetYear(), t.GetHour(),
                                 t.GetMinute(), t.GetSecond(), true);
    }
    case ZorCliReglage::BLINK:
        return tavlin.Blink(true);
    case ZorCliReglage::UART_ECRIRE:
        return tavlin.WriteUART(ZorCliW(r.zTexte), true);
    case ZorCliReglage::REBOOT:
        return tavlin.Reboot(zIP);
    case ZorCliReglage::UART_LIRE:
        break;
    }
    return true; // nothing to send
}
