// A fresh device manager per test, started without any message box (a failed network start is
// ignored as for a library that hosts the toolkit), and a settings file writer.
#pragma once

#include "api/ZorHosting.h"
#include "device/ZorTavlinObj.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace zortest {

class ManagerTest : public testing::Test
{
public:
    // The "Tavlin" settings folder of the test home, created.
    static std::string SettingsDir()
    {
        wxString dir = wxStandardPaths::Get().GetDocumentsDir() + wxT("/Tavlin");
        wxFileName::Mkdir(dir, 0777, wxPATH_MKDIR_FULL);
        return std::string(dir.utf8_str());
    }
    static void WriteSettings(const std::string& instance, const std::string& text)
    {
        WriteFile(SettingsDir() + "/tavlindll_" + instance + ".ini", text);
    }

protected:
    void SetUp() override
    {
        m_bHote = gbAppHote;
        gbAppHote = false;
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        obj = gpTheTavlin;
    }
    void TearDown() override
    {
        ZorTavlinObj::DeleteTavlinObj();
        gbAppHote = m_bHote;
    }
    ZorTavlinObj* obj = nullptr;

private:
    bool m_bHote = true;
};

} // namespace zortest
