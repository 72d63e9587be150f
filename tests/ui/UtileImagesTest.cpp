// Pictures next to the program: fall-backs, sizes, masks and mirrors (needs a display).
#include "infra/ZorUtile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>

#include <sys/stat.h>

#include <string>
#include <vector>

using zortest::MakeTempDir;
using zortest::WriteFile;

namespace {

// Resources are looked up in a fresh folder; the program folder is restored afterwards.
class PictureTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wxTheApp && wxTheApp->IsGUI()) << "needs a display (run under Xvfb)";
        m_saved = ZorUtile::m_zPathExe;
        m_dir = MakeTempDir("pictures");
        ZorUtile::SetPathExe(m_dir);
        mkdir((m_dir + "/bitmap").c_str(), 0777);
        wxInitAllImageHandlers();
    }
    void TearDown() override { ZorUtile::SetPathExe(m_saved); }

    // A w x h red picture with magenta at the given pixels.
    void SavePicture(const std::string& name, int w, int h, std::vector<wxPoint> magenta,
                     wxBitmapType type = wxBITMAP_TYPE_PNG)
    {
        wxImage image(w, h);
        image.SetRGB(wxRect(0, 0, w, h), 200, 0, 0);
        for (const wxPoint& p : magenta)
            image.SetRGB(p.x, p.y, 255, 0, 255);
        ASSERT_TRUE(image.SaveFile(m_dir + "/bitmap/" + name, type));
    }
    // Pixels that the bitmap's mask hides, row by row ("." shown, "x" hidden).
    static std::string MaskMap(const wxBitmap& bitmap)
    {
        wxImage image = bitmap.ConvertToImage();
        std::string map;
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x)
                map += image.IsTransparent(x, y) ? 'x' : '.';
        return map;
    }
    static void ExpectPlaceholder(const wxBitmap& bitmap)
    {
        ASSERT_TRUE(bitmap.IsOk());
        EXPECT_EQ(bitmap.GetSize(), wxSize(16, 16));
        EXPECT_EQ(bitmap.GetMask(), nullptr);
        wxImage image = bitmap.ConvertToImage();
        EXPECT_EQ(wxColour(image.GetRed(8, 8), image.GetGreen(8, 8), image.GetBlue(8, 8)), *wxBLUE);
    }

    wxString m_saved;
    std::string m_dir;
};

} // namespace

TEST_F(PictureTest, MissingAndCorruptFilesGiveThePlaceholder)
{
    WriteFile(m_dir + "/bitmap/corrompu.png", "\x89PNG\r\n\x1a\n pas une image");
    WriteFile(m_dir + "/bitmap/vide.png", "");
    for (const char* name :
         {"bitmap/absent.png", "bitmap/corrompu.png", "bitmap/vide.png", "bitmap"}) {
        SCOPED_TRACE(name);
        ExpectPlaceholder(ZorUtile::GetPngBitmapResource(name, 32, 32));
        ExpectPlaceholder(ZorUtile::GetBitmapResource(name, false, false, true));
    }
    ExpectPlaceholder(ZorUtile::GetTransBmp(nullptr));
    static const char* const broken[] = {"nonsense", nullptr};
    ExpectPlaceholder(ZorUtile::GetTransBmp(broken));
}

TEST_F(PictureTest, PngSizeAndMask)
{
    SavePicture("p.png", 4, 3, {{0, 0}, {3, 2}});
    wxBitmap own = ZorUtile::GetPngBitmapResource("bitmap/p.png", 0, 0);
    ASSERT_TRUE(own.IsOk());
    EXPECT_EQ(own.GetSize(), wxSize(4, 3));
    EXPECT_EQ(MaskMap(own), "x..."
                            "...."
                            "...x");
    for (auto wh : {std::make_pair(8, 0), std::make_pair(-1, 6), std::make_pair(4, 3)})
        EXPECT_EQ(ZorUtile::GetPngBitmapResource("bitmap/p.png", wh.first, wh.second).GetSize(),
                  wxSize(4, 3));
    wxBitmap scaled = ZorUtile::GetPngBitmapResource("bitmap/p.png", 8, 6);
    EXPECT_EQ(scaled.GetSize(), wxSize(8, 6));
    EXPECT_EQ(MaskMap(scaled).substr(0, 2), "xx");
}

TEST_F(PictureTest, MirrorFlagsAndMask)
{
    SavePicture("m.bmp", 4, 1, {{0, 0}}, wxBITMAP_TYPE_BMP);
    struct
    {
        bool miroir, miroirMasque, masque;
        const char* mask;
        int magentaX;
    } cases[] = {{false, false, true, "x...", 0}, {true, true, true, "...x", 3},
                 {true, false, true, "x...", 3},  {false, true, true, "...x", 0},
                 {true, false, false, "....", 3}, {false, false, false, "....", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.miroir << c.miroirMasque << c.masque);
        wxBitmap bitmap =
            ZorUtile::GetBitmapResource("bitmap/m.bmp", c.miroir, c.miroirMasque, c.masque);
        ASSERT_TRUE(bitmap.IsOk());
        EXPECT_EQ(bitmap.GetMask() != nullptr, c.masque);
        EXPECT_EQ(MaskMap(bitmap), c.mask);
        if (c.mask[c.magentaX] == '.') { // hidden pixels lose their colour in the conversion
            wxImage image = bitmap.ConvertToImage();
            EXPECT_EQ(image.GetGreen(c.magentaX, 0), 0);
            EXPECT_EQ(image.GetBlue(c.magentaX, 0), 255);
        }
    }
}

TEST_F(PictureTest, XpmWithMagenta)
{
    static const char* const xpm[] = {"3 2 2 1", "m c #FF00FF", "r c #C80000",
                                      "mrr",     "rrm",         nullptr};
    wxBitmap bitmap = ZorUtile::GetTransBmp(xpm);
    ASSERT_TRUE(bitmap.IsOk());
    EXPECT_EQ(MaskMap(bitmap), "x.."
                               "..x");
}
