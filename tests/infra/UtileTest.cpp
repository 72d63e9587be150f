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
    const std::pair<wxString, wxString> cases[] = {
        {wxT("/a/b"), wxT("/a/b") + kSep}, {wxT("/a/b") + kSep, wxT("/a/b") + kSep}, {wxT(""), wxT("")}};
    for (auto c : cases) {
        ZorUtile::SmartAppendBackslash(c.first);
        EXPECT_EQ(c.first, c.second);
    }

    wxString saved = ZorUtile::m_zPathExe;
    ZorUtile::SetPathExe(wxT("/opt/tavlin"));
    EXPECT_EQ(ZorUtile::GetFullPath(wxT("bitmap/ok.png")), wxT("/opt/tavlin") + kSep + wxT("bitmap/ok.png"));
    ZorUtile::SetPathExe(wxT("/opt/tavlin") + kSep);
    EXPECT_EQ(ZorUtile::GetFullPath(wxT("Tavlin.ico")), wxT("/opt/tavlin") + kSep + wxT("Tavlin.ico"));

    ZorUtile::SetPathExe(wxT(""));
    wxString exeDir = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    EXPECT_EQ(ZorUtile::GetFullPath(wxT("x")), exeDir + kSep + wxT("x"));
    EXPECT_EQ(ZorUtile::m_zPathExe, exeDir);   // taken once and kept
    ZorUtile::SetPathExe(saved);
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
