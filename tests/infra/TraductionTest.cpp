// The language a program's user asked for: --lang first, then the locale as gettext reads it;
// French when no language is named, since the French texts are the source texts.
#include "infra/ZorTraduction.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(Traduction, LanguageFromTheOptionThenTheLocale)
{
    const char* noms[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};
    std::string avant[4];
    bool bAvant[4];
    for (int i = 0; i < 4; ++i) {
        const char* z = std::getenv(noms[i]);
        bAvant[i] = z != nullptr;
        avant[i] = z ? z : "";
    }
    const struct
    {
        const char* zOption;
        const char* env[4]; // LC_ALL, LC_MESSAGES, LANG, LANGUAGE; null: unset
        int iLangue;
    } cas[] = {
        {"", {nullptr, nullptr, nullptr, nullptr}, 0},
        {"", {nullptr, nullptr, "C", nullptr}, 0},
        {"", {nullptr, nullptr, "C.UTF-8", "en"}, 0}, // no locale: LANGUAGE is not read
        {"", {nullptr, nullptr, "POSIX", nullptr}, 0},
        {"", {nullptr, nullptr, "fr_FR.UTF-8", nullptr}, 0},
        {"", {nullptr, nullptr, "fr_CA", nullptr}, 0},
        {"", {nullptr, nullptr, "en_US.UTF-8", nullptr}, 1},
        {"", {nullptr, nullptr, "de_DE.UTF-8", nullptr}, 1},
        {"", {nullptr, "fr_BE.UTF-8", "en_US.UTF-8", nullptr}, 0},
        {"", {"en_GB.UTF-8", "fr_FR.UTF-8", "fr_FR.UTF-8", nullptr}, 1},
        {"", {"", nullptr, "de_DE.UTF-8", nullptr}, 1}, // an empty variable counts as unset
        {"", {nullptr, nullptr, "fr_FR.UTF-8", "en:fr"}, 1},
        {"", {nullptr, nullptr, "en_US.UTF-8", "fr"}, 0},
        {"fr", {nullptr, nullptr, "en_US.UTF-8", nullptr}, 0},
        {"en", {nullptr, nullptr, "fr_FR.UTF-8", nullptr}, 1},
        {"de", {nullptr, nullptr, "fr_FR.UTF-8", nullptr}, -1},
    };
    for (const auto& c : cas) {
        std::string zCas = std::string("--lang=") + c.zOption;
        for (int i = 0; i < 4; ++i) {
            if (c.env[i])
                setenv(noms[i], c.env[i], 1);
            else
                unsetenv(noms[i]);
            zCas += std::string(" ") + noms[i] + "=" + (c.env[i] ? c.env[i] : "(unset)");
        }
        EXPECT_EQ(ZorLangueDemandee(c.zOption), c.iLangue) << zCas;
    }
    for (int i = 0; i < 4; ++i)
        if (bAvant[i])
            setenv(noms[i], avant[i].c_str(), 1);
        else
            unsetenv(noms[i]);
}

} // namespace
