// The fixture of the discovery tests against emulated devices: a device manager whose network
// object is open on the test network's adapters, without its timer.
#pragma once

#include "device/ZorTavlinObj.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

class NetworkDiscoveryBase : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(zortest::InTestNetwork());
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    }
    void TearDown() override
    {
        gpTheTavlin->FermerReseau();
        ZorTavlinObj::DeleteTavlinObj();
    }

    std::map<std::string, ZorTavlinInfo> Registre()
    {
        ZorTavlinInfoArray a;
        gpTheTavlin->GetLesTavlin(a);
        std::map<std::string, ZorTavlinInfo> r;
        for (size_t i = 0; i < a.GetCount(); ++i)
            r[std::string(a[i].m_zMAC.utf8_str())] = a[i];
        return r;
    }
    void Hello() { gpTheTavlin->EnvoyerHello("255.255.255.255", "", 'D'); }
};
