// The two firmware transfers without a network: the bytes they send and read, and the rules
// of the bootloader exchange and of the post, driven on a manual clock.
#include "firmware/ZorFirmwareFormat.h"
#include "firmware/ZorPostFile.h"
#include "firmware/ZorUploadFirmware.h"
#include "infra/ZorLogFile.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/firmware/ZorDossierMAJ.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>

using namespace ZorFirmware;

namespace {

// The log lines of one writer, by their code.
std::vector<int> CodesJournal(const std::string& prefixe)
{
    std::vector<int> codes;
    const std::string journal = zortest::ReadFile(ZorLogFile::GetPath().ToStdString());
    const std::regex ligne(prefixe + "[^\\n]*\\[(-?[0-9]+)\\]");
    for (std::sregex_iterator it(journal.begin(), journal.end(), ligne), fin; it != fin; ++it)
        codes.push_back(std::stoi((*it)[1]));
    return codes;
}

TEST(FirmwareFormat, MultipartBodyOfThreeBytesByteForByte)
{
    const std::string corps = ZorPostFile::Corps("name=\"fichier\"; filename=\"Tavlin.bin\"",
                                                 std::string("\x00\xFF\r", 3));
    EXPECT_EQ(
        corps,
        std::string("-----------------------J1234\r\n"
                    "Content-Disposition: form-data; name=\"fichier\"; filename=\"Tavlin.bin\"\r\n"
                    "Content-Type: application/octet-stream\r\n"
                    "Content-Transfer-Encoding: binary\r\n\r\n") +
            std::string("\x00\xFF\r", 3) + "\r\n-----------------------J1234--\r\n");
    EXPECT_EQ(ContentType(), "multipart/form-data; boundary=---------------------J1234");
    EXPECT_EQ(ZorPostFile::TexteReponse(std::string("ok\0junk", 7) + std::string(1017, 'a') + "b"),
              wxString("ok") + "b");
}

TEST(FirmwareFormat, RequestsRepliesAndStatusCodes)
{
    uint8_t rec[24];
    for (int i = 0; i < 24; ++i)
        rec[i] = uint8_t(0xC0 + i);
    uint8_t out[31];
    ASSERT_EQ(ConstruireRequete(out, 0x0F, 0x3A, 0x1234, ZOR_BOOT_CAPTURE, rec), 7u);
    EXPECT_EQ(std::string((char*)out, 7), "\x5A\xA5\x0F\x3A\x12\x34\x03");
    ASSERT_EQ(ConstruireRequete(out, 1, 2, 0xFFFF, ZOR_BOOT_ENREGISTREMENT, rec), 31u);
    EXPECT_EQ(std::string((char*)out, 7), "\x5A\xA5\x01\x02\xFF\xFF\x04");
    EXPECT_EQ(std::string((char*)out + 7, 24), std::string((char*)rec, 24));
    EXPECT_EQ(ConstruireRequete(out, 0, 0, 7, ZOR_BOOT_FIN, rec), 7u);

    const Reponse r{0xABCD, 4, 0x0F, 0x3A, 0x0A42};
    const std::vector<uint8_t> brut = ConstruireReponse(r);
    const Reponse lu = LireReponse(brut.data(), brut.size());
    EXPECT_EQ(lu.iSequence, 0xABCD);
    EXPECT_EQ(lu.iCommande, 4);
    EXPECT_EQ(lu.iId1, 0x0F);
    EXPECT_EQ(lu.iId2, 0x3A);
    EXPECT_EQ(lu.iStatut, 0x0A42);
    EXPECT_EQ(LireReponse(brut.data(), 17).iStatut, 0x0A00); // bytes not received read as 0
    EXPECT_EQ(LireReponse(brut.data(), 6).iCommande, 0);
    EXPECT_EQ(TexteIdentifiant(0x0F, 0x3A), "3A-0F");

    const struct
    {
        uint16_t statut;
        bool ouverte;
        std::vector<int> codes;
    } cas[] = {
        {0x0A42, true, {3, 5, 6, 7, 9}},
        {0x1800, true, {3, 4}},
        {0x1000, false, {4}},
        {0x0040, false, {7}},
        {0x0000, false, {}},
        {0x0001, true, {3}},
    };
    for (const auto& c : cas) {
        std::vector<int> codes;
        for (ZorStatutBoot s : CodesStatut(c.statut, c.ouverte))
            codes.push_back(ZorCode(s));
        EXPECT_EQ(codes, c.codes) << std::hex << c.statut;
    }
    EXPECT_FALSE(StatutEnErreur(0x05BD)); // every bit outside 0x1A42
}

// A bootloader on the other end of the logic: records the requests, answers by hand.
class Bootloader : public testing::Test, public ZorUploadFirmwareSink
{
protected:
    void EnvoyerRequete(const uint8_t* p, size_t n) override
    {
        envoyees.emplace_back((const char*)p, n);
    }
    void OnCapture(const wxString& zId) override { capture = zId; }
    void OnFin(ZorStatutBoot s) override { fins.push_back(ZorCode(s)); }

    // Starts afresh on an image of n bytes.
    void Lancer(size_t n, const wxString& mac = "02-54-56-4D-3A-0F")
    {
        envoyees.clear();
        fins.clear();
        capture.clear();
        image = zortest::Motif(n, uint32_t(n));
        const std::string chemin = zortest::MakeTempDir("boot") + "/tavlin.cry";
        zortest::WriteFile(chemin, image);
        logique = std::make_unique<ZorUploadFirmwareLogique>(*this, clock);
        logique->SetMACAttendue(mac);
        ASSERT_TRUE(logique->Init(chemin));
        logique->Demarrer();
    }
    static uint16_t Sequence(const std::string& requete)
    {
        return uint16_t(uint8_t(requete[4]) << 8 | uint8_t(requete[5]));
    }
    // The device answers the last request (or, with a shift, some other number).
    void Repondre(uint8_t commande, uint16_t statut, int decalage = 0, uint8_t id1 = 0x0F,
                  uint8_t id2 = 0x3A)
    {
        const uint16_t seq = uint16_t(Sequence(envoyees.back()) + decalage);
        const std::vector<uint8_t> r = ConstruireReponse(Reponse{seq, commande, id1, id2, statut});
        logique->Recevoir(r.data(), r.size());
    }
    void Avancer(int64_t ms)
    {
        clock.Advance(ms);
        logique->Verifier();
    }
    // Captures, then acknowledges every record.
    void Transferer()
    {
        Repondre(ZOR_BOOT_CAPTURE, 1);
        for (int i = 0; i < 100000 && envoyees.back()[6] == ZOR_BOOT_ENREGISTREMENT; ++i)
            Repondre(ZOR_BOOT_ENREGISTREMENT, 0);
    }

    ZorManualClock clock;
    std::unique_ptr<ZorUploadFirmwareLogique> logique;
    std::vector<std::string> envoyees;
    std::vector<int> fins;
    wxString capture;
    std::string image;
};

TEST_F(Bootloader, ImagesOf48And50BytesGoOutAsRecordsThenEndSixSecondsLater)
{
    for (size_t taille : {48u, 50u}) {
        SCOPED_TRACE(taille);
        Lancer(taille);
        ASSERT_EQ(envoyees.size(), 1u);
        EXPECT_EQ(envoyees[0], std::string("\x5A\xA5\x00\x00\x00\x00\x03", 7));
        Transferer();
        EXPECT_EQ(capture, "3A-0F");
        EXPECT_EQ(logique->GetIdentifiant(), "3A-0F");
        const size_t records = (taille + 23) / 24;
        ASSERT_EQ(envoyees.size(), 1 + records + 1);
        std::string stocke;
        for (size_t i = 1; i <= records; ++i) {
            ASSERT_EQ(envoyees[i].size(), 31u);
            EXPECT_EQ(envoyees[i].substr(0, 4), "\x5A\xA5\x0F\x3A");
            EXPECT_EQ(Sequence(envoyees[i]), i);
            stocke += envoyees[i].substr(7);
        }
        EXPECT_EQ(stocke, zortest::Enregistrements(image));
        EXPECT_EQ(envoyees.back(),
                  std::string("\x5A\xA5\x0F\x3A\x00", 5) + char(records + 1) + "\x09");
        Avancer(5999);
        EXPECT_TRUE(fins.empty());
        Avancer(1);
        EXPECT_EQ(fins, std::vector<int>{0});
        EXPECT_EQ(logique->GetIdentifiant(), "3A-0F");
    }
}

TEST_F(Bootloader, RepliesOnlyCountWithTheLastSequenceAndOneMatchingIdentifierByte)
{
    Lancer(48);
    Repondre(ZOR_BOOT_CAPTURE, 1, -1); // an older number
    Repondre(ZOR_BOOT_CAPTURE, 1, +1);
    EXPECT_EQ(envoyees.size(), 1u);
    Repondre(ZOR_BOOT_CAPTURE, 1);
    ASSERT_EQ(envoyees.size(), 2u);
    Repondre(ZOR_BOOT_ENREGISTREMENT, 0, 0, 0x11, 0x22); // another device
    Repondre(ZOR_BOOT_ENREGISTREMENT, 0, -1);
    Repondre(7, 0); // not a command the PC reads
    EXPECT_EQ(envoyees.size(), 2u);
    Repondre(ZOR_BOOT_ENREGISTREMENT, 0, 0, 0x0F, 0x99); // one byte suffices
    EXPECT_EQ(envoyees.size(), 3u);
}

TEST_F(Bootloader, NotReadyRepliesAreSpacedAndTheSequenceWrapsOnTheLargestImage)
{
    // A bootloader that answers every capture at once with "not ready", for the whole 15 s, the
    // clock driven in steps of 1 ms: a few requests a second, never a storm, and still 10.
    const int64_t debut = clock.NowMs();
    Lancer(24);
    size_t vues = 0;
    for (int ms = 0; ms < 15000 && fins.empty(); ++ms) {
        for (; vues < envoyees.size() && vues < 1000; ++vues) { // bounded: a storm stops here
            ASSERT_EQ(envoyees[vues][6], ZOR_BOOT_CAPTURE);
            if (vues > 0) { // re-captures keep the identifier the first reply gave
                EXPECT_EQ(envoyees[vues].substr(2, 2), "\x0F\x3A");
            }
            Repondre(ZOR_BOOT_CAPTURE, 0);
        }
        Avancer(1);
    }
    EXPECT_EQ(envoyees.size(), 60u) << "at 0, 250, ... 14750 ms";
    EXPECT_EQ(fins, std::vector<int>{10});
    EXPECT_EQ(clock.NowMs() - debut, 15000);

    // An image of 65,536 records, the most a device takes: record n goes out numbered n, so
    // the reply to the last one carries 0 again, and is still the reply to the last request.
    Lancer(size_t(kTailleImageMax));
    Transferer();
    ASSERT_EQ(envoyees.size(), 65536u + 2u);
    EXPECT_EQ(Sequence(envoyees[65535]), 65535);
    EXPECT_EQ(Sequence(envoyees[65536]), 0);
    EXPECT_EQ(envoyees.back()[6], ZOR_BOOT_FIN);
    EXPECT_EQ(Sequence(envoyees.back()), 1);
}

TEST_F(Bootloader, FailuresEndWithTheirCodeLoggedOnce)
{
    const std::vector<int> avant = CodesJournal("ZorUploadFirmware::");
    struct Cas
    {
        const char* nom;
        std::function<void()> faire;
        int code;
        std::vector<int> journal;
        size_t envois;
    };
    const Cas cas[] = {
        {"status 0x0A42",
         [&] {
             Repondre(3, 1);
             Repondre(4, 0x0A42);
         },
         9,
         {3, 5, 6, 7, 9},
         2},
        {"status 0x1800",
         [&] {
             Repondre(3, 1);
             Repondre(4, 0x1800);
         },
         4,
         {3, 4},
         2},
        {"status 0x0800",
         [&] {
             Repondre(3, 1);
             Repondre(4, 0x0800);
         },
         5,
         {3, 5},
         2},
        {"other device", [&] { Repondre(3, 1, 0, 0x44, 0x55); }, 11, {11}, 1},
        {"nobody",
         [&] {
             for (int i = 0; i < 40; ++i)
                 Avancer(500);
         },
         10,
         {10},
         30},
        {"never ready",
         [&] {
             for (int i = 0; i < 30; ++i) {
                 Repondre(3, 0);
                 Avancer(500);
             }
         },
         10,
         {10},
         30},
        {"five sends",
         [&] {
             Repondre(3, 1);
             for (int i = 0; i < 6; ++i)
                 Avancer(5000);
         },
         8,
         {8},
         6},
        {"receive error", [&] { logique->ErreurReception(); }, 1, {1}, 1},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        const size_t deja = CodesJournal("ZorUploadFirmware::").size();
        Lancer(48);
        c.faire();
        EXPECT_EQ(fins, std::vector<int>{c.code});
        EXPECT_EQ(ZorCode(logique->GetStatus()), c.code);
        EXPECT_EQ(envoyees.size(), c.envois);
        const std::vector<int> journal = CodesJournal("ZorUploadFirmware::");
        EXPECT_EQ(std::vector<int>(journal.begin() + long(deja), journal.end()), c.journal);
        Avancer(60000); // nothing more once ended
        EXPECT_EQ(fins.size(), 1u);
    }
    EXPECT_FALSE(avant.size() > CodesJournal("ZorUploadFirmware::").size());
}

TEST_F(Bootloader, LostRepliesResendWithNewNumbersAndAnEmptyImageEndsWithTwo)
{
    Lancer(48);
    Repondre(ZOR_BOOT_CAPTURE, 1);
    Avancer(5000); // no acknowledgement: the same record again, numbered anew
    ASSERT_EQ(envoyees.size(), 3u);
    EXPECT_EQ(envoyees[2].substr(7), envoyees[1].substr(7));
    EXPECT_EQ(Sequence(envoyees[2]), Sequence(envoyees[1]) + 1);
    Repondre(ZOR_BOOT_ENREGISTREMENT, 0, -1); // the late answer to the first copy
    EXPECT_EQ(envoyees.size(), 3u);
    Repondre(ZOR_BOOT_ENREGISTREMENT, 0);
    Repondre(ZOR_BOOT_ENREGISTREMENT, 0);
    Avancer(6000);
    EXPECT_EQ(fins, std::vector<int>{0});

    Lancer(0);
    Repondre(ZOR_BOOT_CAPTURE, 1);
    EXPECT_EQ(fins, std::vector<int>{2});
    EXPECT_EQ(envoyees.size(), 1u); // neither a record nor an end request
    EXPECT_EQ(logique->DelaiProchaineEcheance(), -1);
}

TEST_F(Bootloader, AnyDeviceWithoutAnExpectedMACAndNoUsableAdapterEndsWithTenAfterFifteenSeconds)
{
    Lancer(24, "");
    Repondre(ZOR_BOOT_CAPTURE, 1, 0, 0x77, 0x66);
    EXPECT_EQ(capture, "66-77");

    // The transfer on toolkit events, with adapters that cannot be used.
    struct Vue : ZorUploadFirmwareVue
    {
        std::vector<int> fins;
        void OnFin(ZorStatutBoot s) override { fins.push_back(ZorCode(s)); }
    } vue;
    ZorCarteEth noire, sansAdresse;
    noire.m_zIP = "127.0.0.1";
    noire.m_bBlackList = true;
    sansAdresse.m_zIP = "0.0.0.0";
    ZorCarteEthPtrArray cartes;
    cartes.Add(&noire);
    cartes.Add(&sansAdresse);
    ZorUploadFirmwareTransfert transfert(vue, "", clock);
    const std::string chemin = zortest::MakeTempDir("boot") + "/tavlin.cry";
    zortest::WriteFile(chemin, "x");
    ASSERT_TRUE(transfert.Init(chemin));
    transfert.Demarrer(cartes);
    EXPECT_EQ(transfert.GetNombreSockets(), 0u);
    clock.Advance(14999);
    zortest::Pump(700);
    EXPECT_TRUE(vue.fins.empty());
    clock.Advance(1);
    EXPECT_TRUE(zortest::PumpUntil([&] { return !vue.fins.empty(); }, 3000));
    EXPECT_EQ(vue.fins, std::vector<int>{10});
}

// ---- The post's rules, against a port where nothing listens ----

struct VuePost : ZorPostFileVue
{
    std::vector<int> fins;
    void OnFin(ZorCodePost c) override { fins.push_back(ZorCode(c)); }
};

TEST(PostFile, ArgumentsEndDelaysTimeOutAndCancel)
{
    // The upload thread wakes the event loop up: that loop must exist before the thread starts,
    // as it does in a program, not be made afresh by each wait of the test.
    zortest::BoucleActive boucle;
    ZorManualClock clock;
    const std::string fichier = zortest::MakeTempDir("post") + "/tavlin.bin";
    zortest::WriteFile(fichier, "abc");
    {
        VuePost vue;
        ZorPostFileTransfert t(vue, clock);
        EXPECT_FALSE(t.Init("", "", fichier, "/mpfsupload", "", 5, false));
        EXPECT_FALSE(t.Init("127.0.0.1", "", "", "/mpfsupload", "", 5, false));
        EXPECT_FALSE(t.Init("127.0.0.1", "", fichier, "", "", 5, false));
        EXPECT_FALSE(t.Init("127.0.0.1", "", fichier + ".absent", "/x", "", 5, false));
        EXPECT_TRUE(t.Init("127.0.0.1", "", fichier, "/x", "", 5, false));
        EXPECT_EQ(t.GetLongueur(), 3u);
    }
    // A refused connection ends fast (1000 ms after) or slow (500 ms after), one log line.
    for (int64_t iAvant : {0, 2500}) {
        SCOPED_TRACE(iAvant);
        const size_t deja = CodesJournal("ZorPostFile::").size();
        VuePost vue;
        ZorPostFileTransfert t(vue, clock);
        ASSERT_TRUE(t.Init("127.0.0.1", "127.0.0.1", fichier, "/mpfsupload", "", 5, false));
        t.Demarrer();
        clock.Advance(iAvant);
        ASSERT_TRUE(zortest::PumpUntil([&] { return t.DelaiProchaineEcheance() <= 1000; }, 5000));
        EXPECT_EQ(t.DelaiProchaineEcheance(), iAvant ? 500 : 1000);
        EXPECT_FALSE(t.Annuler()); // not allowed
        clock.Advance(t.DelaiProchaineEcheance());
        t.Verifier();
        EXPECT_EQ(vue.fins, std::vector<int>{-4});
        const std::vector<int> journal = CodesJournal("ZorPostFile::");
        EXPECT_EQ(std::vector<int>(journal.begin() + long(deja), journal.end()),
                  std::vector<int>{-4});
    }
    // A thread the system does not start: -4 at once and logged, not -10 after 60 s.
    {
        const size_t deja = CodesJournal("ZorPostFile::").size();
        VuePost vue;
        ZorPostFileTransfert t(vue, clock);
        ASSERT_TRUE(t.Init("127.0.0.1", "", fichier, "/mpfsupload", "", 5, false));
        t.Thread().SetDemarrage([](wxThread&) { return false; });
        t.Demarrer();
        EXPECT_TRUE(vue.fins.empty()) << "never from inside the caller's call";
        EXPECT_TRUE(zortest::PumpUntil([&] { return !vue.fins.empty(); }, 1000));
        EXPECT_EQ(vue.fins, std::vector<int>{-4});
        const std::vector<int> journal = CodesJournal("ZorPostFile::");
        EXPECT_EQ(std::vector<int>(journal.begin() + long(deja), journal.end()),
                  std::vector<int>{-4});
    }
    // No end in 60 s gives -10; cancel gives -11; a late end event changes nothing.
    for (int iCas = 0; iCas < 2; ++iCas) {
        VuePost vue;
        ZorPostFileTransfert t(vue, clock);
        ASSERT_TRUE(t.Init("127.0.0.1", "", fichier, "/mpfsupload", "", 5, true));
        t.Demarrer();
        if (iCas == 0) {
            clock.Advance(60000);
            t.Verifier();
        } else {
            EXPECT_TRUE(t.Annuler());
        }
        zortest::Pump(50);
        t.Verifier();
        EXPECT_EQ(vue.fins, std::vector<int>{iCas == 0 ? -10 : -11});
    }
}

} // namespace
