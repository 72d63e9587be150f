#include "device/ZorHttpGet.h"

namespace {

bool CaractereHote(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == ':';
}

} // namespace

bool ZorHttpGet::DecouperURL(const wxString& zURL, std::string* pHote, std::string* pCible)
{
    static const wxString prefixe(wxT("http://"));
    if (!zURL.StartsWith(prefixe))
        return false;
    wxString reste = zURL.Mid(prefixe.length());
    int slash = reste.Find('/');
    wxString hote = slash == wxNOT_FOUND ? reste : reste.Left(size_t(slash));
    if (hote.empty() || hote.length() > 253)
        return false;
    std::string h;
    for (wxString::const_iterator it = hote.begin(); it != hote.end(); ++it) {
        wxUniChar c = *it;
        if (!c.IsAscii() || !CaractereHote(char(c.GetValue())))
            return false;
        h += char(c.GetValue());
    }
    if (pHote)
        *pHote = h;
    if (pCible)
        *pCible =
            CibleRequete(slash == wxNOT_FOUND ? wxString(wxT("/")) : reste.Mid(size_t(slash)));
    return true;
}

std::string ZorHttpGet::CibleRequete(const wxString& zChemin)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(zChemin.length() + 8);
    for (wxString::const_iterator it = zChemin.begin(); it != zChemin.end(); ++it) {
        wxUint32 u = (*it).GetValue();
        // Not a Latin-1 character: an escaped "?", which cannot be taken for the query mark.
        unsigned char b = u > 0xFF ? '?' : (unsigned char)u;
        if (u > 0xFF || b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        } else {
            out += char(b);
        }
    }
    return out;
}

wxString ZorHttpGet::Texte(const std::string& body)
{
    size_t n = body.find('\0');
    if (n == std::string::npos)
        n = body.size();
    return wxString::From8BitData(body.data(), n);
}

bool ZorHttpGet::Requete(const wxString& zURL, const wxString& zIPLocal, long iConnexionMs,
                         long iTotalMs, ZorCurlRunner::Requete* pRequete)
{
    std::string hote;
    if (!DecouperURL(zURL, &hote, &pRequete->zCible))
        return false;
    pRequete->zURL = "http://" + hote + "/";
    pRequete->zIPLocal = std::string(zIPLocal.utf8_str());
    pRequete->iConnexionMs = iConnexionMs;
    pRequete->iTotalMs = iTotalMs;
    pRequete->bHttp10 = true;
    return true;
}

ZorHttpGet::Resultat ZorHttpGet::Juger(ZorCurlRunner::Fin fin, long iStatut)
{
    switch (fin) {
    case ZorCurlRunner::Fin::OK:
        break;
    case ZorCurlRunner::Fin::URL:
        return ZOR_HTTP_URL;
    case ZorCurlRunner::Fin::CONNEXION:
        return ZOR_HTTP_CONNEXION;
    case ZorCurlRunner::Fin::DELAI:
        return ZOR_HTTP_DELAI;
    case ZorCurlRunner::Fin::ARRET:
        return ZOR_HTTP_ARRET;
    case ZorCurlRunner::Fin::TROP_LONG:
        return ZOR_HTTP_TROP_LONG;
    case ZorCurlRunner::Fin::ERREUR:
        return ZOR_HTTP_ERREUR;
    }
    return iStatut >= 400 ? ZOR_HTTP_STATUT : ZOR_HTTP_OK;
}

ZorHttpGet::Resultat ZorHttpGet::Get(const wxString& zURL, const wxString& zIPLocal,
                                     std::string& body)
{
    body.clear();
    ZorCurlRunner::Requete requete;
    if (!Requete(zURL, zIPLocal, m_iConnexionMs, m_iTotalMs, &requete))
        return ZOR_HTTP_URL;
    const ZorCurlRunner::Fin fin = m_runner.Executer(requete, body); // before its status is read
    const Resultat r = Juger(fin, m_runner.GetStatut());
    if (r == ZOR_HTTP_STATUT)
        body.clear();
    return r;
}
