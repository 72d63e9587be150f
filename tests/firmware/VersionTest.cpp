// Update folders and version comparison, with real folders beside a pretend program.
#include "firmware/ZorMAJTavlin.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/dir.h>
#include <wx/filename.h>

#include <filesystem>

namespace {

struct CasVersion
{
    const char* texte;
    bool lu; // as a device's version
    long valeur;
    bool dossier; // as an update folder's name
};

TEST(Version, ReadsTheDigitsAfterTheLastVAndFoldersOnlyAPositiveNumber)
{
    const CasVersion cas[] = {
        {"maj_v12", true, 12, true},
        {"maj_V3", true, 3, true},
        {"7", true, 7, true},
        {"v2v5", true, 5, true},
        {"maj_v007", true, 7, true},
        {"v2147483647", true, 2147483647, true},
        {"0", true, 0, false},
        {"maj_v0", true, 0, false},
        {"maj_v", false, 0, false},
        {"", false, 0, false},
        {"v1a", false, 0, false},
        {"2.3", false, 0, false},
        {"vingt", false, 0, false},
        {"v99999999999", false, 0, false},
        {"v2147483648", false, 0, false},
        {"maj_v-1", false, 0, false},
        {"maj_v+2", false, 0, false},
        {"maj_v 3", false, 0, false},
        {"maj_v4 ", false, 0, false},
        {"maj_v\t5", false, 0, false},
        {"maj_v-0", false, 0, false},
        {"maj_v\xd9\xa3", false, 0, false}, // an Arabic-Indic 3
    };
    for (const CasVersion& c : cas) {
        ZorVersionTavlin v, d;
        EXPECT_EQ(ZorLireVersion(wxString::FromUTF8(c.texte), v), c.lu) << c.texte;
        EXPECT_EQ(ZorLireVersionDossier(wxString::FromUTF8(c.texte), d), c.dossier) << c.texte;
        if (c.lu) {
            EXPECT_EQ(v.iPremier, c.valeur) << c.texte;
        }
    }
    ZorMAJTavlin maj;
    EXPECT_EQ(maj.CompareVersion("v12", "v3"), 1);
    EXPECT_EQ(maj.CompareVersion("v3", "v12"), 0);
    EXPECT_EQ(maj.CompareVersion("2", "1"), 1);
    EXPECT_EQ(maj.CompareVersion("1", "1"), 0);
    EXPECT_EQ(maj.CompareVersion("version", "1"), -1);
    EXPECT_EQ(maj.CompareVersion("1", "v"), -1);
}

class UpdateFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_prog = zortest::MakeTempDir("majprog");
        ZorUtile::SetPathExe(wxString::FromUTF8(m_prog));
    }
    void TearDown() override { ZorUtile::SetPathExe(wxEmptyString); }
    void Folder(const std::string& name)
    {
        std::filesystem::create_directories(m_prog + "/maj/" + name);
    }
    wxString Expected(const std::string& name) const
    {
        return wxString::FromUTF8(m_prog) + wxFILE_SEP_PATH + "maj" + wxFILE_SEP_PATH +
               wxString::FromUTF8(name);
    }
    std::string m_prog;
};

TEST_F(UpdateFolders, NewestFolderWinsAndUnreadableOnesCountAsUpToDate)
{
    ZorMAJTavlin maj;
    wxString dossier = "x";
    EXPECT_TRUE(maj.VerifierVersion("v1", &dossier)) << "no maj folder";
    EXPECT_TRUE(dossier.empty());

    Folder("notes");
    Folder("maj_vbeta");
    Folder(".maj_v99"); // hidden: never an update
    for (const char* pas : {"maj_v-1", "maj_v+99", "maj_v 5", "maj_v0"})
        Folder(pas); // not a positive number
    EXPECT_TRUE(maj.VerifierVersion("v1", &dossier)) << "no folder reads as a version";
    EXPECT_TRUE(maj.VerifierVersion("0", &dossier)) << "not even for the manual update";
    EXPECT_FALSE(ZorMAJTavlin::DerniereMiseAJour(nullptr, nullptr));

    Folder("maj_v3");
    Folder("maj_v12");
    EXPECT_FALSE(maj.VerifierVersion("v3", &dossier));
    EXPECT_EQ(dossier, Expected("maj_v12"));
    EXPECT_FALSE(maj.VerifierVersion("0", &dossier)) << "the manual update asks with 0";
    EXPECT_EQ(dossier, Expected("maj_v12"));
    for (const char* current : {"v12", "v13", "2.3", "sans chiffre", ""}) {
        EXPECT_TRUE(maj.VerifierVersion(current, &dossier)) << current;
        EXPECT_TRUE(dossier.empty()) << current;
    }
}

TEST_F(UpdateFolders, ATieKeepsTheFirstFolderListed)
{
    Folder("maj_v7");
    Folder("maj_V7");
    wxString first;
    wxDir dir(wxString::FromUTF8(m_prog + "/maj"));
    ASSERT_TRUE(dir.GetFirst(&first, wxEmptyString, wxDIR_DIRS));
    ZorMAJTavlin maj;
    wxString dossier;
    EXPECT_FALSE(maj.VerifierVersion("v6", &dossier));
    EXPECT_EQ(dossier, Expected(first.ToStdString()));
}

TEST(UpdateErrors, EachChangeOfCodeIsLoggedOnce)
{
    const std::string path = ZorLogFile::GetPath().ToStdString();
    const std::string before = zortest::ReadFile(path);
    ZorMAJTavlin maj;
    for (int code : {3, 3, 0, 4, 4, 4, 3})
        maj.SetErreur(static_cast<ZorErreurMAJ>(code));
    EXPECT_EQ(maj.GetErreur(), ZorErreurMAJ::BOOTLOADER);
    const std::string added = zortest::ReadFile(path).substr(before.size());
    const std::string line = "jour de la Tavlin [";
    size_t count = 0;
    for (size_t at = added.find(line); at != std::string::npos; at = added.find(line, at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << added;
    EXPECT_NE(added.find(line + "4]"), std::string::npos);
}

} // namespace
