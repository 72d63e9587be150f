#include "infra/ZorTraduction.h"

#include "infra/ZorConfiguration.h"
#include "infra/ZorUtile.h"

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/intl.h>
#include <wx/translation.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

const wxChar* const kDomaine = wxT("zortavlin");

// Language codes by value of iZorLangue; French (0) is the source and needs no catalogue.
const wxChar* CodeLangue(int iLangue)
{
    return iLangue == 1 ? wxT("en") : nullptr;
}

// Reads our catalogue of a language from the file ZorCatalogue() finds, never from the
// toolkit's search path (a global that the host may have set for its own catalogues).
class ZorChargeur : public wxTranslationsLoader
{
public:
    wxMsgCatalog* LoadCatalog(const wxString& zDomaine, const wxString& zCode) override
    {
        const wxString zFichier = ZorCatalogue(zCode);
        return zFichier.empty() ? nullptr : wxMsgCatalog::CreateFromFile(zFichier, zDomaine);
    }
    wxArrayString GetAvailableTranslations(const wxString&) const override
    {
        wxArrayString codes;
        for (int i = 1; CodeLangue(i); ++i)
            if (!ZorCatalogue(CodeLangue(i)).empty())
                codes.Add(CodeLangue(i));
        return codes;
    }
};

// The library's own translations of each language (never made the toolkit's global ones), read
// on the first text asked in that language and kept until exit. A catalogue not found is looked
// for again at the next text: the program's folder may be set later (ZorUtile::SetPathExe).
const wxTranslations* Traductions(int iLangue)
{
    static std::mutex verrou;
    static std::map<int, std::unique_ptr<wxTranslations>> traductions;
    const wxChar* zCode = CodeLangue(iLangue);
    if (!zCode)
        return nullptr;
    std::lock_guard<std::mutex> garde(verrou);
    auto it = traductions.find(iLangue);
    if (it == traductions.end()) {
        auto pTraductions = std::make_unique<wxTranslations>();
        pTraductions->SetLoader(new ZorChargeur());
        pTraductions->SetLanguage(zCode);
        wxLogNull silence; // a damaged file leaves the source texts, never a message box
        // The source texts are French: the toolkit would skip a catalogue of the source
        // language.
        if (!pTraductions->AddCatalog(kDomaine, wxLANGUAGE_FRENCH))
            return nullptr;
        it = traductions.emplace(iLangue, std::move(pTraductions)).first;
    }
    return it->second.get();
}

bool SansLangue(const std::string& z)
{
    return z.empty() || z == "C" || z == "POSIX" || z.rfind("C.", 0) == 0;
}

} // namespace

wxString ZorTr(const wxString& zFrancais)
{
    const wxTranslations* pTraductions = Traductions(ZorConfiguration::iZorLangue);
    const wxString* pTraduit =
        pTraductions ? pTraductions->GetTranslatedString(zFrancais, kDomaine) : nullptr;
    return pTraduit && !pTraduit->empty() ? *pTraduit : zFrancais;
}

std::string ZorTrU8(const char* zFrancais)
{
    if (!Traductions(ZorConfiguration::iZorLangue))
        return zFrancais;
    return std::string(ZorTr(wxString::FromUTF8(zFrancais)).utf8_str());
}

int ZorLangueDemandee(const std::string& zOption)
{
    if (!zOption.empty())
        return zOption == "fr" ? 0 : zOption == "en" ? 1 : -1;
    std::string zLocale;
    for (const char* zNom : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* z = std::getenv(zNom);
        if (z && *z) {
            zLocale = z;
            break;
        }
    }
    if (SansLangue(zLocale))
        return 0;
    // LANGUAGE lists preferred languages ("fr:en"); as for gettext, only with a locale set.
    const char* zListe = std::getenv("LANGUAGE");
    if (zListe && *zListe)
        zLocale = std::string(zListe).substr(0, std::string(zListe).find(':'));
    return zLocale.rfind("fr", 0) == 0 ? 0 : 1;
}

wxString ZorCatalogue(const wxString& zCode)
{
    const wxString zRelatif = wxString::Format(wxT("locale/%s/LC_MESSAGES/%s.mo"), zCode, kDomaine);
    wxArrayString candidats;
    candidats.Add(ZorUtile::GetFullPath(zRelatif));
    // Installed: share/locale beside share/tavlin, where the system's catalogues are.
    for (const wxString& zDonnees : ZorUtile::GetDossiersDonnees())
        candidats.Add(zDonnees + wxFILE_SEP_PATH + wxT("..") + wxFILE_SEP_PATH + zRelatif);
    for (const wxString& z : candidats)
        if (wxFileName::FileExists(z))
            return z;
    return wxString();
}

wxString ZorImageTraduite(const wxString& zRelatif)
{
    const wxChar* zCode = CodeLangue(ZorConfiguration::iZorLangue);
    const wxString zDossier = wxT("bitmap/");
    if (!zCode || !zRelatif.StartsWith(zDossier))
        return zRelatif;
    const wxString zTraduite = zDossier + zCode + wxT("/") + zRelatif.Mid(zDossier.length());
    return wxFileName::FileExists(ZorUtile::GetFullPath(zTraduite)) ? zTraduite : zRelatif;
}
