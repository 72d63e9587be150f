// Paths next to the program and folder listings.
#include "infra/ZorUtile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

#include <sys/stat.h>

using zortest::MakeTempDir;
using zortest::WriteFile;

namespace {
const wxString kSep(wxFILE_SEP_PATH);
} // namespace

TEST(UtilePaths, SeparatorAndFullPath)
{
    const std::pair<wxString, wxString> cases[] = {{wxT("/a/b"), wxT("/a/b") + kSep},
                                                   {wxT("/a/b") + kSep, wxT("/a/b") + kSep},
                                                   {wxT(""), wxT("")}};
    for (auto c : cases) {
        ZorUtile::SmartAppendBackslash(c.first);
        EXPECT_EQ(c.first, c.second);
    }

    wxString saved = ZorUtile::m_zPathExe;
    const wxString savedDonnees = ZorUtile::m_zPathDonnees;
    ZorUtile::m_zPathDonnees = wxT("/nulle/part");
    ZorUtile::SetPathExe(wxT("/opt/tavlin"));
    EXPECT_EQ(ZorUtile::GetFullPath(wxT("bitmap/ok.png")),
              wxT("/opt/tavlin") + kSep + wxT("bitmap/ok.png"));
    ZorUtile::SetPathExe(wxT("/opt/tavlin") + kSep);
    EXPECT_EQ(ZorUtile::GetFullPath(wxT("Tavlin.ico")),
              wxT("/opt/tavlin") + kSep + wxT("Tavlin.ico"));

    ZorUtile::SetPathExe(wxT(""));
    wxString exeDir = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    EXPECT_EQ(ZorUtile::GetFullPath(wxT("x")), exeDir + kSep + wxT("x"));
    EXPECT_EQ(ZorUtile::m_zPathExe, exeDir); // taken once and kept
    ZorUtile::SetPathExe(saved);
    ZorUtile::m_zPathDonnees = savedDonnees;
}

// Beside the program first (the build tree), then the installed data folder; a name found
// nowhere keeps the place beside the program.
TEST(UtilePaths, InstalledDataFolderAsFallback)
{
    const std::string base = MakeTempDir("donnees");
    const wxString exe = wxString(base) + wxT("/bin"), data = wxString(base) + wxT("/share/tavlin");
    for (const char* d : {"/bin", "/share", "/share/tavlin", "/share/tavlin/bitmap",
                          "/share/tavlin/maj", "/bin/bitmap"})
        mkdir((base + d).c_str(), 0777);
    for (const char* f : {"/bin/bitmap/a.png", "/bin/bitmap/c.png", "/share/tavlin/bitmap/b.png",
                          "/share/tavlin/bitmap/c.png", "/share/tavlin/Tavlin.ico"})
        WriteFile(base + f, "x");
    const wxString saved = ZorUtile::m_zPathExe, savedDonnees = ZorUtile::m_zPathDonnees;
    ZorUtile::SetPathExe(exe);
    ZorUtile::m_zPathDonnees = data;
    const std::pair<const wxChar*, wxString> cases[] = {
        {wxT("bitmap/a.png"), exe}, {wxT("bitmap/b.png"), data}, {wxT("bitmap/c.png"), exe},
        {wxT("Tavlin.ico"), data},  {wxT("maj"), data},          {wxT("absent.png"), exe}};
    for (const auto& c : cases)
        EXPECT_EQ(ZorUtile::GetFullPath(c.first), c.second + kSep + c.first) << c.first;

    // By default: share/tavlin beside the programs' bin folder, then the built-in one.
    ZorUtile::m_zPathDonnees.clear();
    const wxArrayString dossiers = ZorUtile::GetDossiersDonnees();
    wxFileName exeDir(wxStandardPaths::Get().GetExecutablePath());
    exeDir.RemoveLastDir();
    ASSERT_FALSE(dossiers.IsEmpty());
    EXPECT_EQ(dossiers[0], exeDir.GetPath() + wxT("/share/tavlin"));
    ZorUtile::SetPathExe(saved);
    ZorUtile::m_zPathDonnees = savedDonnees;
}

TEST(UtilePaths, FindFichier)
{
    std::string dir = MakeTempDir("find");
    for (const char* f : {"b.png", "a.png", "c.PNG", "d.txt", "sans", ".cache.png"})
        WriteFile(dir + "/" + f, "x");
    for (const char* d : {"maj_v12", "z.old", ".cachee"})
        mkdir((dir + "/" + d).c_str(), 0777);
    wxString folder = wxString(dir) + kSep;

    wxArrayString found;
    found.Add(wxT("reste"));
    ZorUtile::FindFichier(folder, true, found, wxT(".png"));
    EXPECT_EQ(wxJoin(found, ','), wxT("a.png,b.png"));
    ZorUtile::FindFichier(folder, true, found, wxT(""));
    EXPECT_EQ(wxJoin(found, ','), wxT("a.png,b.png,c.PNG,d.txt,sans"));
    ZorUtile::FindFichier(folder, false, found, wxT(""));
    EXPECT_EQ(wxJoin(found, ','), wxT("maj_v12,z"));
    ZorUtile::FindFichier(folder + wxT("absent") + kSep, true, found, wxT(""));
    EXPECT_TRUE(found.IsEmpty());
}
