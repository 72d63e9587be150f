// Any bytes as a text placed in a request: the request line that leaves the PC, read by the
// emulated device's web server, gives back exactly three parameters (the time stamp, the text,
// the text twice as fields of a ";"-separated command), each holding exactly the bytes given.
#include "device/ZorHttpGet.h"
#include "device/ZorTavlinCommandes.h"
#include "fuzz/EmuFuzz.h"

using namespace emufuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2048)
        return 0;
    const std::string octets(reinterpret_cast<const char*>(data), size);
    const wxString texte = wxString::From8BitData(octets.data(), octets.size());

    wxString zValeur, zChamp;
    Check(ZorEncoderTexte(texte, false, &zValeur));
    Check(zValeur.IsAscii() && std::string(zValeur.ToAscii()) == ZorPourcentEncoder(octets));
    const bool bPointVirgule = octets.find(';') != std::string::npos;
    Check(ZorEncoderTexte(texte, true, &zChamp) != bPointVirgule);
    if (bPointVirgule)
        zChamp = wxT("x");

    const wxString zChemin = wxT("/etat.htm?date=1A&WRITE_UART=") + zValeur + wxT(";&PERSO=") +
                             zChamp + wxT(";") + zChamp + wxT(";a;b;c;");
    // Nothing is left for the transport to escape: the request line carries the path as built.
    const std::string cible = ZorHttpGet::CibleRequete(zChemin);
    Check(cible == std::string(zChemin.ToAscii()));

    const std::string recu = "GET " + cible + " HTTP/1.1\r\nHost: t\r\n\r\n";
    const emu::HttpRequest r = emu::ParseRequest(recu.substr(0, emu::RequestHeadEnd(recu)));
    Check(r.status == 0 && r.path == "etat.htm");
    const std::vector<std::string> items = emu::Split(r.query, '&');
    Check(items.size() == 3);
    auto valeur = [&](size_t i, const std::string& cle) {
        const size_t egal = items[i].find('=');
        Check(egal != std::string::npos && emu::PercentDecode(items[i].substr(0, egal)) == cle);
        return emu::PercentDecode(items[i].substr(egal + 1));
    };
    Check(valeur(0, "date") == "1A");
    Check(valeur(1, "WRITE_UART") == octets + ";");
    const std::vector<std::string> champs = emu::Split(valeur(2, "PERSO"), ';');
    const std::string attendu = bPointVirgule ? "x" : octets;
    Check(champs.size() == 6 && champs[0] == attendu && champs[1] == attendu && champs[2] == "a" &&
          champs[5].empty());
    return 0;
}
