// Device records and their owning arrays: constructor argument order, copies that share
// nothing, the device clock split, and element ownership.
#include "device/ZorTavlinRecords.h"

#include <gtest/gtest.h>

namespace {

// Counts live instances, so the tests see which array operations delete elements.
struct Counted
{
    static int live;
    int value;
    explicit Counted(int v = 0) : value(v) { ++live; }
    Counted(const Counted& o) : value(o.value) { ++live; }
    ~Counted() { --live; }
};
int Counted::live = 0;

std::vector<wxString*> Strings(ZorTavlinData& d)
{
    return {&d.m_zDATETIME, &d.m_zVERSION,     &d.m_zCOMMENT,    &d.m_z5VUSER,   &d.m_zTYPE,
            &d.m_zBLINK,    &d.m_zDATETIMEFAB, &d.m_zBANCFAB,    &d.m_zIDFAB,    &d.m_zUART,
            &d.m_zFLASH,    &d.m_zEEPROM,      &d.m_zSMTPSERVER, &d.m_zSMTPPORT, &d.m_zSMTPLOGIN,
            &d.m_zSMTPPWD,  &d.m_zSMTPSSL};
}

void ExpectSameData(ZorTavlinData& a, ZorTavlinData& b)
{
    EXPECT_EQ(a.m_iSNUM, b.m_iSNUM);
    EXPECT_EQ(a.m_iEANA4, b.m_iEANA4);
    EXPECT_EQ(a.m_iAUTO, b.m_iAUTO);
    EXPECT_EQ(a.m_bBOUTON && a.m_bValide, b.m_bBOUTON && b.m_bValide);
    std::vector<wxString*> sa = Strings(a), sb = Strings(b);
    for (size_t i = 0; i < sa.size(); ++i) {
        EXPECT_EQ(*sa[i], *sb[i]);
        EXPECT_NE(sa[i]->wc_str(), sb[i]->wc_str()) << "string " << i << " shares its buffer";
    }
}

} // namespace

TEST(Records, InfoConstructorTakesIpBeforeName)
{
    ZorTavlinInfo info(wxT("192.168.1.10"), wxT("Atelier"), wxT("00-04-A3-00-00-01"), wxT("c"),
                       wxT("admin"), wxT("pw"), wxT("255.255.255.0"), wxT("192.168.1.1"), true,
                       1700000000L, 2, wxT("192.168.1.2"), wxT("255.255.0.0"), wxT("192.168.1.254"),
                       wxT("1.2"), true);
    EXPECT_EQ(info.m_zIP + wxT("|") + info.m_zNom + wxT("|") + info.m_zMask + wxT("|") +
                  info.m_zIPLocal + wxT("|") + info.m_zGatewayLocal + wxT("|") + info.m_zVersion,
              wxT("192.168.1.10|Atelier|255.255.255.0|192.168.1.2|192.168.1.254|1.2"));
    EXPECT_EQ(info.m_iTimeLastSeen, 1700000000L);
    EXPECT_EQ(info.m_iEtatPresence, 2);
    EXPECT_TRUE(info.m_bDHCPEnabled && info.m_bMultipleCarte);

    ZorTavlinInfo copy;
    EXPECT_FALSE(copy.m_bDHCPEnabled || copy.m_bMultipleCarte || copy.m_iTimeLastSeen);
    copy = info;
    info.m_zMAC = wxT("autre");
    EXPECT_EQ(copy.m_zMAC, wxT("00-04-A3-00-00-01"));
}

TEST(Records, DataCopiesShareNothingAndReInitClears)
{
    ZorTavlinData source;
    source.m_iSNUM = 0x81;
    source.m_iEANA4 = -32768;
    source.m_iAUTO = -100000;
    source.m_bBOUTON = source.m_bValide = true;
    for (wxString* z : Strings(source))
        *z = wxString::Format(wxT("valeur %p \u00e9"), static_cast<void*>(z));
    ZorTavlinData byCopyFrom, byAssign;
    byCopyFrom.CopyFrom(source);
    byAssign = source;
    ZorTavlinData byConstruct(source);
    for (ZorTavlinData* copy : {&byCopyFrom, &byAssign, &byConstruct})
        ExpectSameData(*copy, source);

    source.m_zUART += wxT("suite");
    EXPECT_NE(byCopyFrom.m_zUART, source.m_zUART);

    source.ReInit();
    EXPECT_FALSE(source.m_bValide || source.m_bBOUTON);
    EXPECT_EQ(source.m_iAUTO, 0);
    EXPECT_EQ(source.m_iSNUM | source.m_iEANA4, 0);
    for (const wxString* z : Strings(source))
        EXPECT_TRUE(z->empty());
    EXPECT_TRUE(byCopyFrom.m_bValide);
}

TEST(Records, FormatDateTime)
{
    struct
    {
        const wxChar* text;
        int fields[6];
    } cases[] = {
        {wxT("00/00/2000_00:00:00"), {0, 0, 2000, 0, 0, 0}},
        {wxT("15/03/2024_13:45:09"), {15, 3, 2024, 13, 45, 9}},
        {wxT("15-03-2024 13.45.09"), {15, 3, 2024, 13, 45, 9}}, // separators not examined
        {wxT(" 5/-3/+024_1x:..:a9"), {5, -3, 24, 1, 0, 0}},     // blanks, signs, stop at non-digit
        {wxT("15/03/2024_13:45:0"), {0, 0, 0, 0, 0, 0}},        // 18 characters
        {wxT("15/03/2024_13:45:099"), {0, 0, 0, 0, 0, 0}},      // 20 characters
        {wxT(""), {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        ZorTavlinData data;
        data.m_zDATETIME = c.text;
        int out[6] = {-9, -9, -9, -9, -9, -9};
        data.FormatDateTime(&out[0], &out[1], &out[2], &out[3], &out[4], &out[5]);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(out[i], c.fields[i]) << c.text << " field " << i;
    }
    ZorTavlinData data;
    data.m_zDATETIME = wxT("15/03/2024_13:45:09");
    int year = 0;
    data.FormatDateTime(nullptr, nullptr, &year, nullptr, nullptr, nullptr);
    EXPECT_EQ(year, 2024);
}

TEST(Records, CommandeArgumentOrderAndDeepCopies)
{
    wxString query = wxT("&SNUM=10000001");
    ZorTavlinCommande cmd(query, wxT("10.0.0.5"), wxT("10.0.0.1"), wxT("etat.htm"));
    EXPECT_EQ(cmd.m_zQuery, query);
    EXPECT_EQ(cmd.m_zIP, wxT("10.0.0.5"));
    EXPECT_EQ(cmd.m_zIPLocal, wxT("10.0.0.1"));
    EXPECT_EQ(cmd.m_zPage, wxT("etat.htm"));
    EXPECT_NE(cmd.m_zQuery.wc_str(), query.wc_str());
    ZorTavlinCommande copy(cmd), assigned;
    assigned = cmd;
    for (const ZorTavlinCommande* c : {&copy, &assigned}) {
        EXPECT_EQ(c->m_zQuery, cmd.m_zQuery);
        EXPECT_EQ(c->m_zPage, cmd.m_zPage);
        EXPECT_NE(c->m_zQuery.wc_str(), cmd.m_zQuery.wc_str());
        EXPECT_NE(c->m_zIP.wc_str(), cmd.m_zIP.wc_str());
    }
}

TEST(Records, OwningArrayOwnsCopies)
{
    {
        ZorOwningArray<Counted> array;
        Counted original(1);
        array.Add(original, 3);
        array.Insert(Counted(0), 0);
        EXPECT_EQ(Counted::live, 5);
        original.value = 99;
        EXPECT_EQ(array.Last().value, 1);
        EXPECT_EQ(array[0].value, 0);

        // The same value twice: Index finds the element by address, from either end.
        EXPECT_EQ(array.Index(array[2]), 2);
        EXPECT_EQ(array.Index(array[2], true), 2);
        EXPECT_EQ(array.Index(array[3], true), 3);
        EXPECT_EQ(array.Index(original), wxNOT_FOUND);

        array.RemoveAt(1);
        EXPECT_EQ(Counted::live, 4);
        Counted* detached = array.Detach(0);
        ASSERT_NE(detached, nullptr);
        EXPECT_EQ(Counted::live, 4); // detached, not deleted
        EXPECT_EQ(array.GetCount(), 2u);
        delete detached;
        EXPECT_EQ(array.Detach(5), nullptr);
        array.RemoveAt(7);

        ZorOwningArray<Counted> copy(array);
        copy[0].value = 42;
        EXPECT_EQ(array[0].value, 1);
        const ZorOwningArray<Counted>& same = copy;
        copy = same; // self-assignment keeps the elements
        EXPECT_EQ(copy.GetCount(), 2u);
        EXPECT_EQ(Counted::live, 5);
    }
    EXPECT_EQ(Counted::live, 0);
}
