#include "cli/ZorBridgeFormat.h"

#include "device/ZorTavlinCommandes.h"

#include <wx/string.h>

#include <algorithm>

namespace {

std::vector<std::string> Decouper(const std::string& z, char sep)
{
    std::vector<std::string> parts;
    size_t debut = 0;
    for (size_t fin; (fin = z.find(sep, debut)) != std::string::npos; debut = fin + 1)
        parts.push_back(z.substr(debut, fin - debut));
    parts.push_back(z.substr(debut));
    return parts;
}

// "0254564d0a00": the MAC as an identifier part (no separators, lower case).
std::string Identifiant(const std::string& zMAC)
{
    std::string z;
    for (char c : zMAC)
        if (c != '-' && c != ':')
            z += char(std::tolower(static_cast<unsigned char>(c)));
    return z;
}

} // namespace

bool ZorBridgeNomValide(const std::string& z)
{
    if (z.empty() || z.size() > 64)
        return false;
    return std::all_of(z.begin(), z.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
    });
}

ZorBridgeLecture ZorBridgeLireCommande(const ZorBridgeSujets& s, const std::string& zSujet,
                                       const std::string& zCharge, ZorBridgeCommande* pCmd,
                                       std::string* pzErreur)
{
    const std::string zBase = s.zPrefixe + "/" + s.zSite + "/";
    if (zSujet.compare(0, zBase.size(), zBase) != 0)
        return ZorBridgeLecture::Etrangere;
    const std::vector<std::string> parts = Decouper(zSujet.substr(zBase.size()), '/');
    if (parts.size() < 3 || parts[1] != "set")
        return ZorBridgeLecture::Etrangere;
    auto refus = [&](const std::string& z) {
        if (pzErreur)
            *pzErreur = z;
        return ZorBridgeLecture::Erreur;
    };
    ZorBridgeCommande c;
    if (!ZorCliMAC(parts[0], &c.zMAC))
        return refus("adresse MAC invalide dans le sujet : " + parts[0]);
    if (zCharge.size() > kZorBridgeChargeMax)
        return refus("message trop long (" + std::to_string(zCharge.size()) + " octets, au plus " +
                     std::to_string(kZorBridgeChargeMax) + ")");
    if (!ZorJson::Utf8Valide(zCharge))
        return refus("message qui n'est pas de l'UTF-8 valide");
    const std::string& zQuoi = parts[2];
    for (size_t i = 2; i < parts.size(); ++i)
        c.zCommande += (i > 2 ? "/" : "") + parts[i];
    // The same words as "tavlin set", so both read a command the same way.
    std::vector<std::string> mots{zQuoi};
    const bool bIndex = zQuoi == "relay" || zQuoi == "analog";
    if (parts.size() != (bIndex ? 4u : 3u))
        return refus("commande inconnue : " + c.zCommande);
    if (bIndex)
        mots.push_back(parts[3]);
    if (zQuoi == "uart") {
        mots.push_back("write");
        mots.push_back(zCharge);
    } else if (zQuoi == "blink" || zQuoi == "reboot") {
        if (!zCharge.empty() && zCharge != "1" && zCharge != "PRESS")
            return refus("message inattendu pour " + zQuoi + " (vide, 1 ou PRESS)");
    } else {
        mots.push_back(zCharge);
    }
    const std::string zErreur = ZorCliLireReglage(mots, c.reglage);
    if (!zErreur.empty() || c.reglage.type == ZorCliReglage::UART_LIRE)
        return refus(zErreur.empty() ? "commande inconnue : " + c.zCommande : zErreur);
    wxString zRaison;
    if (c.reglage.type == ZorCliReglage::UART_ECRIRE &&
        !ZorEncoderTexte(wxString::FromUTF8(c.reglage.zTexte.c_str()), false, nullptr, &zRaison))
        return refus(std::string(zRaison.utf8_str()));
    if (pCmd)
        *pCmd = c;
    return ZorBridgeLecture::Commande;
}

std::string ZorBridgeJsonErreur(const std::string& zSujet, const std::string& zMessage)
{
    // The topic came from outside: shown, never trusted, and bounded.
    return ZorJson::Objet()
        .Ajouter("topic", zSujet.substr(0, 256))
        .Ajouter("error", zMessage)
        .Texte();
}

std::string ZorBridgeJsonResultat(const std::string& zMAC, const std::string& zCommande,
                                  const char* zResultat, const std::string& zMessage)
{
    ZorJson j = ZorJson::Objet();
    j.Ajouter("mac", zMAC).Ajouter("command", zCommande).Ajouter("result", zResultat);
    if (!zMessage.empty())
        j.Ajouter("message", zMessage);
    return j.Texte();
}

std::vector<std::pair<std::string, std::string>> ZorBridgeConfigsHA(const ZorBridgeSujets& s,
                                                                    const ZorBridgeDeviceHA& d)
{
    const std::string zId = Identifiant(d.zMAC);
    std::string zMacDeux = d.zMAC;
    std::replace(zMacDeux.begin(), zMacDeux.end(), '-', ':');
    std::transform(zMacDeux.begin(), zMacDeux.end(), zMacDeux.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    const std::string zEtat = s.Device(d.zMAC, "state");

    std::vector<std::pair<std::string, std::string>> configs;
    // One entity: its discovery topic and the members every entity shares.
    auto entite = [&](const char* zComposant, const std::string& zCle, const std::string& zNom) {
        ZorJson dev = ZorJson::Objet();
        dev.Ajouter("identifiers", ZorJson::Tableau().Ajouter(zId));
        dev.Ajouter("connections", ZorJson::Tableau().Ajouter(
                                       ZorJson::Tableau().Ajouter("mac").Ajouter(zMacDeux)));
        dev.Ajouter("name", d.zNom.empty() ? "Tavlin " + d.zMAC : d.zNom);
        dev.Ajouter("model", "Tavlin").Ajouter("sw_version", d.zVersion);
        ZorJson j = ZorJson::Objet();
        j.Ajouter("name", zNom).Ajouter("unique_id", "tavlin_" + zId + "_" + zCle);
        j.Ajouter("object_id", "tavlin_" + zId + "_" + zCle);
        // Usable only while both the device and its bridge are there.
        j.Ajouter("availability",
                  ZorJson::Tableau()
                      .Ajouter(ZorJson::Objet().Ajouter("topic", s.Device(d.zMAC, "availability")))
                      .Ajouter(ZorJson::Objet().Ajouter("topic", s.Bridge("status"))));
        j.Ajouter("availability_mode", "all");
        j.Ajouter("device", dev);
        const std::string zSujet =
            s.zPrefixeHA + "/" + zComposant + "/tavlin_" + zId + "/" + zCle + "/config";
        return std::make_pair(zSujet, j);
    };
    auto ajouter = [&](std::pair<std::string, ZorJson> p) {
        configs.emplace_back(p.first, p.second.Texte());
    };
    for (int i = 1; i <= 4; ++i) {
        auto p = entite("switch", "relay" + std::to_string(i), "Relais " + std::to_string(i));
        p.second.Ajouter("command_topic", s.Device(d.zMAC, "set/relay/" + std::to_string(i)));
        p.second.Ajouter("state_topic", zEtat);
        p.second.Ajouter("value_template", "{{ 'on' if value_json.relays | bitwise_and(" +
                                               std::to_string(1 << (i - 1)) + ") else 'off' }}");
        p.second.Ajouter("payload_on", "on").Ajouter("payload_off", "off");
        p.second.Ajouter("state_on", "on").Ajouter("state_off", "off");
        ajouter(p);
    }
    for (int i = 1; i <= 8; ++i) {
        auto p =
            entite("binary_sensor", "input" + std::to_string(i), "Entrée " + std::to_string(i));
        p.second.Ajouter("state_topic", zEtat);
        p.second.Ajouter("value_template", "{{ 'ON' if value_json.inputs | bitwise_and(" +
                                               std::to_string(1 << (i - 1)) + ") else 'OFF' }}");
        ajouter(p);
    }
    {
        auto p = entite("binary_sensor", "button", "Bouton");
        p.second.Ajouter("state_topic", zEtat);
        p.second.Ajouter("value_template", "{{ 'ON' if value_json.button else 'OFF' }}");
        ajouter(p);
    }
    for (int i = 1; i <= 4; ++i) {
        auto p = entite("sensor", "analog_input" + std::to_string(i),
                        "Entrée analogique " + std::to_string(i));
        p.second.Ajouter("state_topic", zEtat);
        p.second.Ajouter("value_template",
                         "{{ value_json.analog_inputs[" + std::to_string(i - 1) + "] }}");
        p.second.Ajouter("state_class", "measurement");
        ajouter(p);
    }
    for (int i = 1; i <= 2; ++i) {
        auto p = entite("number", "analog_output" + std::to_string(i),
                        "Sortie analogique " + std::to_string(i));
        p.second.Ajouter("command_topic", s.Device(d.zMAC, "set/analog/" + std::to_string(i)));
        p.second.Ajouter("state_topic", zEtat);
        p.second.Ajouter("value_template",
                         "{{ value_json.analog_outputs[" + std::to_string(i - 1) + "] }}");
        p.second.Ajouter("min", 0).Ajouter("max", 255).Ajouter("step", 1).Ajouter("mode", "box");
        ajouter(p);
    }
    {
        auto p = entite("button", "blink", "Clignoter");
        p.second.Ajouter("command_topic", s.Device(d.zMAC, "set/blink"));
        p.second.Ajouter("device_class", "identify");
        ajouter(p);
    }
    {
        auto p = entite("button", "reboot", "Redémarrer");
        p.second.Ajouter("command_topic", s.Device(d.zMAC, "set/reboot"));
        p.second.Ajouter("device_class", "restart");
        ajouter(p);
    }
    return configs;
}
