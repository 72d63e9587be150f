// The bridge's topics and payloads without a broker: which messages are commands, which are
// refused and why, and the discovery documents Home Assistant reads.
#include "cli/ZorBridgeFormat.h"

#include <gtest/gtest.h>

#include <set>

namespace {

ZorBridgeSujets Sujets()
{
    ZorBridgeSujets s;
    s.zSite = "usine";
    return s;
}

const std::string kBase = "tavlin/usine/02-54-56-4D-0A-00/set/";

TEST(BridgeCommande, TopicsAndPayloadsMapOntoTheSetActions)
{
    const struct
    {
        std::string sujet, charge;
        ZorBridgeLecture attendu;
        ZorCliReglage::Type type = ZorCliReglage::BLINK;
        int index = 0, valeur = 0;
    } cas[] = {
        {kBase + "relay/2", "on", ZorBridgeLecture::Commande, ZorCliReglage::RELAIS, 2, 1},
        {kBase + "relay/4", "off", ZorBridgeLecture::Commande, ZorCliReglage::RELAIS, 4, 0},
        {kBase + "outputs", "0xA5", ZorBridgeLecture::Commande, ZorCliReglage::SORTIES, 0, 0xA5},
        {kBase + "outputs", "17", ZorBridgeLecture::Commande, ZorCliReglage::SORTIES, 0, 17},
        {kBase + "analog/1", "200", ZorBridgeLecture::Commande, ZorCliReglage::ANALOGIQUE, 1, 200},
        {kBase + "auto", "3", ZorBridgeLecture::Commande, ZorCliReglage::AUTO, 0, 3},
        {kBase + "clock", "now", ZorBridgeLecture::Commande, ZorCliReglage::HORLOGE, 0, 0},
        {kBase + "blink", "PRESS", ZorBridgeLecture::Commande, ZorCliReglage::BLINK, 0, 0},
        {kBase + "reboot", "", ZorBridgeLecture::Commande, ZorCliReglage::REBOOT, 0, 0},
        {kBase + "uart", "été", ZorBridgeLecture::Commande, ZorCliReglage::UART_ECRIRE, 0, 0},
        {"tavlin/usine/02:54:56:4d:0a:00/set/blink", "1", ZorBridgeLecture::Commande,
         ZorCliReglage::BLINK, 0, 0},
        // Refused: bad values, unknown commands, bad MACs, texts the device cannot take.
        {kBase + "relay/5", "on", ZorBridgeLecture::Erreur},
        {kBase + "relay/1", "ON ", ZorBridgeLecture::Erreur},
        {kBase + "relay", "on", ZorBridgeLecture::Erreur},
        {kBase + "outputs", "256", ZorBridgeLecture::Erreur},
        {kBase + "analog/3", "1", ZorBridgeLecture::Erreur},
        {kBase + "analog/1", "-1", ZorBridgeLecture::Erreur},
        {kBase + "clock", "hier", ZorBridgeLecture::Erreur},
        {kBase + "blink", "twice", ZorBridgeLecture::Erreur},
        {kBase + "uart", "", ZorBridgeLecture::Erreur},
        {kBase + "uart", "€", ZorBridgeLecture::Erreur},
        {kBase + "uart/read", "", ZorBridgeLecture::Erreur},
        {kBase + "format", "", ZorBridgeLecture::Erreur},
        {kBase + "blink/x", "", ZorBridgeLecture::Erreur},
        {"tavlin/usine/02-54-56-4D-0A/set/blink", "", ZorBridgeLecture::Erreur},
        {"tavlin/usine/bridge/set/blink", "", ZorBridgeLecture::Erreur},
        {kBase + "uart", std::string(1025, 'a'), ZorBridgeLecture::Erreur},
        {kBase + "uart", std::string(1 << 20, 'a'), ZorBridgeLecture::Erreur},
        {kBase + "uart", "a\xC3", ZorBridgeLecture::Erreur},
        {kBase + "uart", std::string("a\0b", 3), ZorBridgeLecture::Erreur},
        // Not ours at all: another site, another prefix, our own outputs.
        {"tavlin/atelier/02-54-56-4D-0A-00/set/blink", "", ZorBridgeLecture::Etrangere},
        {"autre/usine/02-54-56-4D-0A-00/set/blink", "", ZorBridgeLecture::Etrangere},
        {"tavlin/usine/02-54-56-4D-0A-00/state", "{}", ZorBridgeLecture::Etrangere},
        {"tavlin/usine", "", ZorBridgeLecture::Etrangere},
    };
    for (const auto& c : cas) {
        ZorBridgeCommande cmd;
        std::string zErreur;
        const ZorBridgeLecture l =
            ZorBridgeLireCommande(Sujets(), c.sujet, c.charge, &cmd, &zErreur);
        const std::string zCas = c.sujet.substr(0, 60) + " <- " + c.charge.substr(0, 20);
        ASSERT_EQ(int(l), int(c.attendu)) << zCas << " : " << zErreur;
        EXPECT_EQ(zErreur.empty(), l != ZorBridgeLecture::Erreur) << zCas;
        if (l != ZorBridgeLecture::Commande)
            continue;
        EXPECT_EQ(cmd.zMAC, "02-54-56-4D-0A-00");
        EXPECT_EQ(cmd.reglage.type, c.type) << zCas;
        EXPECT_EQ(cmd.reglage.iIndex, c.index) << zCas;
        EXPECT_EQ(cmd.reglage.iValeur, c.valeur) << zCas;
    }
    ZorBridgeCommande cmd;
    ZorBridgeLireCommande(Sujets(), kBase + "uart", "a;b", &cmd, nullptr);
    EXPECT_EQ(cmd.reglage.zTexte, "a;b");
    EXPECT_EQ(cmd.zCommande, "uart");
}

TEST(BridgeNoms, PrefixAndSiteCannotHoldTopicSyntax)
{
    for (const char* z : {"tavlin", "site-1", "b.2_x"})
        EXPECT_TRUE(ZorBridgeNomValide(z)) << z;
    for (const char* z : {"", "a/b", "a+", "#", "a b", "é"})
        EXPECT_FALSE(ZorBridgeNomValide(z)) << z;
    EXPECT_FALSE(ZorBridgeNomValide(std::string(65, 'a')));
    EXPECT_TRUE(ZorJson::Utf8Valide("\xEF\xBF\xBD ok é"));
    EXPECT_FALSE(ZorJson::Utf8Valide("\xC0\xAF"));
    EXPECT_EQ(ZorBridgeJsonResultat("M", "relay/1", "queued", ""),
              "{\"mac\":\"M\",\"command\":\"relay/1\",\"result\":\"queued\"}");
    EXPECT_EQ(ZorBridgeJsonErreur("t", "x"), "{\"topic\":\"t\",\"error\":\"x\"}");
}

TEST(BridgeHomeAssistant, OneEntityPerIoAllTiedToTheDeviceAndItsAvailability)
{
    ZorBridgeSujets s = Sujets();
    const auto configs = ZorBridgeConfigsHA(s, {"02-54-56-4D-0A-00", "Pompe", "2.1"});
    ASSERT_EQ(configs.size(), 4u + 8u + 1u + 4u + 2u + 2u);
    EXPECT_EQ(configs[0].first, "homeassistant/switch/tavlin_0254564d0a00/relay1/config");
    const std::string& relais = configs[0].second;
    for (const char* z :
         {"\"command_topic\":\"tavlin/usine/02-54-56-4D-0A-00/set/relay/1\"",
          "\"state_topic\":\"tavlin/usine/02-54-56-4D-0A-00/state\"",
          "{\"topic\":\"tavlin/usine/02-54-56-4D-0A-00/availability\"}",
          "{\"topic\":\"tavlin/usine/bridge/status\"}", "\"identifiers\":[\"0254564d0a00\"]",
          "[\"mac\",\"02:54:56:4d:0a:00\"]", "\"sw_version\":\"2.1\"", "\"name\":\"Pompe\""})
        EXPECT_NE(relais.find(z), std::string::npos) << z << " in " << relais;
    EXPECT_NE(configs.back().second.find("set/reboot"), std::string::npos);
    // Unique ids differ across entities.
    std::set<std::string> ids;
    for (const auto& c : configs)
        ids.insert(c.first);
    EXPECT_EQ(ids.size(), configs.size());
}

} // namespace
