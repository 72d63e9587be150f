// The device list's rows and refresh plan, without a window.
#include "ui/ZorListeDevices.h"

#include <gtest/gtest.h>

namespace {

ZorTavlinInfo Device(int i, const char* ip = nullptr, bool multiple = false)
{
    const wxString zIP = ip ? wxString(ip) : wxString::Format("192.168.77.%d", 10 + i);
    return ZorTavlinInfo(zIP, wxString::Format("Tavlin%d", i),
                         wxString::Format("02-54-56-4D-00-%02X", i), "Atelier", "admin", "tavlin",
                         "255.255.255.0", "192.168.77.254", false, 0, 0, "192.168.77.1",
                         "255.255.255.0", "192.168.77.254", "v3", multiple);
}

std::vector<ZorColonnesListe> Shown(const ZorTavlinInfoArray& devices)
{
    std::vector<ZorColonnesListe> rows;
    for (size_t i = 0; i < devices.GetCount(); ++i)
        rows.push_back(ZorColonnesDepuisInfo(devices[i]));
    return rows;
}

const ZorTestAJour kAJour = [](const wxString& v) { return v != "v1"; };

TEST(ListeDevices, RowLooksFollowNetworkUpdateAndCards)
{
    struct Cas
    {
        ZorTavlinInfo info;
        int image;
        bool rouge, gras;
    } cas[] = {
        {Device(1), ZOR_ICONE_PRETE, false, false},
        {Device(2, "192.168.99.5"), ZOR_ICONE_ALERTE, true, false},
        {Device(3, "169.254.233.233"), ZOR_ICONE_ALERTE, true, false},
        {Device(4, nullptr, true), ZOR_ICONE_ALERTE, false, true},
    };
    for (const Cas& c : cas) {
        const ZorLigneListe l = ZorLigneDepuisInfo(c.info, kAJour);
        EXPECT_EQ(l.iImage, c.image) << c.info.m_zIP;
        EXPECT_EQ(l.bHorsReseau, c.rouge) << c.info.m_zIP;
        EXPECT_EQ(l.bGras, c.gras) << c.info.m_zIP;
    }
    ZorTavlinInfo ancienne = Device(5);
    ancienne.m_zVersion = "v1";
    EXPECT_EQ(ZorLigneDepuisInfo(ancienne, kAJour).iImage, ZOR_ICONE_MAJ);

    const ZorColonnesListe cols = ZorColonnesDepuisInfo(Device(4, nullptr, true));
    EXPECT_EQ(cols[3], "02-54-56-4D-00-04");
    EXPECT_EQ(cols[8], "0");
    EXPECT_EQ(cols[13], "1");
    const ZorTavlinInfo back = ZorInfoDepuisColonnes(cols);
    EXPECT_EQ(ZorColonnesDepuisInfo(back), cols) << "a row reads back as the record it shows";

    EXPECT_EQ(ZorTexteCompteur(0), wxString::FromUTF8("(0 Tavlin détectée)"));
    EXPECT_EQ(ZorTexteCompteur(1), wxString::FromUTF8("(1 Tavlin détectée)"));
    EXPECT_EQ(ZorTexteCompteur(2), wxString::FromUTF8("(2 Tavlin détectées)"));
}

TEST(ListeDevices, RefreshTouchesOnlyWhatChanged)
{
    ZorTavlinInfoArray devices;
    for (int i = 0; i < 250; ++i)
        devices.Add(Device(i));
    std::vector<ZorColonnesListe> rows = Shown(devices);

    ZorPlanListe plan = ZorPlanifierListe(rows, devices, wxEmptyString, kAJour);
    EXPECT_TRUE(plan.ecritures.empty());
    EXPECT_TRUE(plan.suppressions.empty());
    EXPECT_EQ(plan.iLigneAPreselectionner, -1);

    // Device 7 changes its comment, 3 and 200 go away, a new one arrives; 100 is preselected.
    ZorTavlinInfoArray next;
    for (int i = 0; i < 250; ++i) {
        if (i == 3 || i == 200)
            continue;
        ZorTavlinInfo info = Device(i);
        if (i == 7)
            info.m_zCommentaire = "Chaufferie";
        next.Add(info);
    }
    next.Add(Device(251));
    plan = ZorPlanifierListe(rows, next, "02-54-56-4D-00-64", kAJour);
    ASSERT_EQ(plan.ecritures.size(), 2u);
    EXPECT_EQ(plan.ecritures[0].iLigne, 7);
    EXPECT_FALSE(plan.ecritures[0].bAjout);
    EXPECT_EQ(plan.ecritures[0].ligne.colonnes[2], "Chaufferie");
    EXPECT_EQ(plan.ecritures[1].iLigne, 250);
    EXPECT_TRUE(plan.ecritures[1].bAjout);
    EXPECT_EQ(plan.suppressions, (std::vector<int>{200, 3}));
    EXPECT_EQ(plan.iLigneAPreselectionner, 99) << "row 100 moves up by the deletion of row 3";
    EXPECT_EQ(plan.zCompteur, wxString::FromUTF8("(249 Tavlin détectées)"));

    plan = ZorPlanifierListe(rows, next, "02-54-56-4D-00-FB", kAJour);
    EXPECT_EQ(plan.iLigneAPreselectionner, 248) << "the appended row, after two deletions";
    plan = ZorPlanifierListe(rows, next, "02-54-56-4D-00-03", kAJour);
    EXPECT_EQ(plan.iLigneAPreselectionner, -1) << "a MAC no longer listed";
    plan = ZorPlanifierListe({}, ZorTavlinInfoArray(), wxEmptyString, kAJour);
    EXPECT_EQ(plan.zCompteur, wxString::FromUTF8("(0 Tavlin détectée)"));
}

} // namespace
