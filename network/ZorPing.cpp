#include "network/ZorPing.h"

#include "platform/ZorPlatform.h"

#include <wx/app.h>
#include <wx/log.h>
#include <wx/thread.h>
#include <wx/utils.h>

#include <climits>
#include <cstring>

bool ZorPing::gbInit = false;
wxArrayString ZorPing::zErreur3;
wxArrayString ZorPing::zErreur4;
wxArrayString ZorPing::zErreur5;
wxArrayString ZorPing::zErreur11;
wxArrayString ZorPing::zErreur12;

namespace {

const uint8_t ICMP_ECHO_REPLY = 0;
const uint8_t ICMP_ECHO_REQUEST = 8;
const size_t TAILLE_REQUETE = 16;

uint16_t Lire16(const uint8_t* p)
{
    uint16_t v;
    memcpy(&v, p, sizeof(v));
    return v;
}

uint32_t Lire32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, sizeof(v));
    return v;
}

// Decimal value of an option's argument, atoi style; 0 when there is none.
long ValeurOption(const wxString& z)
{
    long v = 0;
    wxString t = z;
    t.Trim(false);
    if (!t.ToLong(&v)) {
        // Leading digits only, as atoi reads them.
        size_t i = 0;
        if (i < t.length() && (t[i] == '-' || t[i] == '+'))
            ++i;
        while (i < t.length() && t[i] >= '0' && t[i] <= '9')
            ++i;
        if (!t.Left(i).ToLong(&v))
            v = 0;
    }
    return v;
}

// On the main thread the toolkit handles pending events while we wait; a console host's
// application object is no windowed application, hence the base class. Elsewhere (the address
// search's thread) there is nothing to let through, and the toolkit must not be re-entered.
void LaisserVivreBoucle()
{
    if (!wxThread::IsMain())
        return;
    if (wxAppConsole* pApp = wxAppConsole::GetInstance())
        pApp->Yield(true);
}

} // namespace

ZorPing::ZorPing()
    : m_iMaxTemps(0), m_iMinTemps(INT32_MAX), m_iSommeTemps(0), m_iCompletes(0), m_iPerdues(0),
      m_iAdresse(0), m_iTickRequete(0)
{
    if (!gbInit)
        Init();
}

ZorPing::ZorPing(const ZorPing& other) = default;
ZorPing& ZorPing::operator=(const ZorPing& other) = default;
ZorPing::~ZorPing() {}

void ZorPing::Init()
{
    static const char* const t3[] = {"Réseau inaccessible",
                                     "Impossible de joindre l'hote de destination",
                                     "Protocole inaccessible",
                                     "Port inaccessible",
                                     "Fragmentation necessaire",
                                     "Echec de la route source",
                                     "Réseau de destination inconnu",
                                     "Machine de destination inconnue",
                                     "Machine source isolée",
                                     "Réseau de destination administrativement interdit",
                                     "Machine de destnation administrativement interdite",
                                     "Réseau inaccessible pour TOS",
                                     "Machine inaccessible pout TOS",
                                     "Communication administrativement interdite par filtrage",
                                     "Violation de la précédence de la machine",
                                     "Coupure de la précédence en action"};
    static const char* const t5[] = {"Redirigé pour un réseau", "Redirigé pour une machine",
                                     "Redirigé pour type de service et réseau",
                                     "Redirigé pour type de service et machine"};
    static const char* const t11[] = {"Time-to-live a 0 pendant le transit",
                                      "Time-to-live a 0 pendant le réassemblage"};
    static const char* const t12[] = {"Mauvais en-tête IP", "Option requise manquante"};

    zErreur3.Clear();
    zErreur4.Clear();
    zErreur5.Clear();
    zErreur11.Clear();
    zErreur12.Clear();
    for (const char* z : t3)
        zErreur3.Add(wxString::FromUTF8(z));
    zErreur4.Add(wxString::FromUTF8("Débit trop élevé"));
    for (const char* z : t5)
        zErreur5.Add(wxString::FromUTF8(z));
    for (const char* z : t11)
        zErreur11.Add(wxString::FromUTF8(z));
    for (const char* z : t12)
        zErreur12.Add(wxString::FromUTF8(z));
    gbInit = true;
}

wxString ZorPing::TexteErreur(int iType, int iCode)
{
    if (!gbInit)
        Init();
    const wxArrayString* table = nullptr;
    switch (iType) {
    case 3:
        table = &zErreur3;
        break;
    case 4:
        table = &zErreur4;
        break;
    case 5:
        table = &zErreur5;
        break;
    case 11:
        table = &zErreur11;
        break;
    case 12:
        table = &zErreur12;
        break;
    default:
        break;
    }
    if (!table || iCode < 0 || size_t(iCode) >= table->GetCount())
        return wxT("Erreur inconnue\n");
    return table->Item(size_t(iCode));
}

uint16_t ZorPing::Checksum(const uint16_t* pBuffer, int iLen)
{
    if (!pBuffer || iLen <= 0)
        return 0xFFFF;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(pBuffer);
    uint32_t somme = 0;
    for (; iLen > 1; iLen -= 2, p += 2)
        somme += Lire16(p);
    if (iLen == 1)
        somme += *p;
    somme = (somme >> 16) + (somme & 0xFFFF);
    somme += somme >> 16;
    return uint16_t(~somme & 0xFFFF);
}

void ZorPing::Utilisation()
{
    wxLogDebug(wxT("ZorPing: [-t] [-a] [-n nombre] [-w attente_ms] destination"));
}

void ZorPing::Requete_ICMP(uint8_t* pBuffer, uint16_t iIdentifiant)
{
    memset(pBuffer, 0, TAILLE_REQUETE);
    pBuffer[0] = ICMP_ECHO_REQUEST;
    pBuffer[1] = 0;
    const uint16_t iSequence = 1;
    m_iTickRequete = ZorPlatform::TempsMs();
    memcpy(pBuffer + 4, &iIdentifiant, 2);
    memcpy(pBuffer + 6, &iSequence, 2);
    memcpy(pBuffer + 8, &m_iTickRequete, 4);
    uint16_t somme = Checksum(reinterpret_cast<const uint16_t*>(pBuffer), int(TAILLE_REQUETE));
    memcpy(pBuffer + 2, &somme, 2);
}

int ZorPing::Decode_resp(const uint8_t* pBuffer, int iLen, uint32_t iSource, uint16_t iIdentifiant)
{
    if (!pBuffer || iLen < 1)
        return 0;
    const int iEnTete = (pBuffer[0] & 0x0F) * 4;
    if (iEnTete < 20 || iLen < iEnTete + 8)
        return 0;
    const uint8_t* icmp = pBuffer + iEnTete;
    const int iLenIcmp = iLen - iEnTete;
    const uint8_t iType = icmp[0];
    const uint8_t iCode = icmp[1];

    if (iType == ICMP_ECHO_REPLY) {
        // Ours: our identifier, our tick count echoed back, from the host we asked.
        if (iLenIcmp < 12 || Lire16(icmp + 4) != iIdentifiant ||
            Lire32(icmp + 8) != m_iTickRequete || iSource != m_iAdresse)
            return 0;
        int32_t iTemps = int32_t(ZorPlatform::TempsMs() - m_iTickRequete);
        if (iTemps <= 10)
            iTemps = 0;
        if (iTemps > m_iMaxTemps)
            m_iMaxTemps = iTemps;
        if (iTemps < m_iMinTemps)
            m_iMinTemps = iTemps;
        m_iSommeTemps += iTemps;
        ++m_iCompletes;
        return 1;
    }
    if (iType == ICMP_ECHO_REQUEST)
        return 0; // a raw socket also sees requests, ours included when they loop back

    // An error answer quotes the IP header and the first 8 bytes of the request it is about.
    // Only the destination's own errors say that a host holds the address: a router's, or
    // our own stack's "host unreachable" when nobody answers address resolution, says the
    // opposite.
    if (iType != 3 && iType != 4 && iType != 5 && iType != 11 && iType != 12)
        return 0;
    if (iSource != m_iAdresse)
        return 0;
    const uint8_t* cite = icmp + 8;
    const int iLenCite = iLenIcmp - 8;
    if (iLenCite < 20)
        return 0;
    const int iEnTeteCite = (cite[0] & 0x0F) * 4;
    if (iEnTeteCite < 20 || iLenCite < iEnTeteCite + 8 || cite[9] != 1 ||
        Lire32(cite + 16) != m_iAdresse)
        return 0;
    const uint8_t* requete = cite + iEnTeteCite;
    if (requete[0] != ICMP_ECHO_REQUEST || Lire16(requete + 4) != iIdentifiant)
        return 0;
    wxLogDebug(wxT("ZorPing: %s"), TexteErreur(iType, iCode));
    ++m_iCompletes;
    return 1;
}

void ZorPing::Statistiques()
{
    int32_t iRecues = m_iCompletes - m_iPerdues;
    if (iRecues > 0)
        wxLogDebug(wxT("ZorPing %s: min %d ms, max %d ms, moyenne %d ms"), m_zAdresse,
                   int(m_iMinTemps), int(m_iMaxTemps), int(m_iSommeTemps / iRecues));
}

int ZorPing::Ping(wxArrayString& args, int* piCompletes, int* piPerdues)
{
    m_iMaxTemps = 0;
    m_iMinTemps = INT32_MAX;
    m_iSommeTemps = 0;
    m_iCompletes = 0;
    m_iPerdues = 0;
    if (piCompletes)
        *piCompletes = 0;
    if (piPerdues)
        *piPerdues = 0;

    if (args.IsEmpty() || args[0] == wxT("/?")) {
        Utilisation();
        return -1;
    }

    long iNombre = 0;
    long iAttente = 0;
    const size_t n = args.GetCount();
    for (size_t i = 0; i < n; ++i) {
        if (args[i] == wxT("-n") && i + 1 < n)
            iNombre = ValeurOption(args[++i]);
        else if (args[i] == wxT("-w") && i + 1 < n)
            iAttente = ValeurOption(args[++i]);
        else if (args[i] == wxT("-t"))
            iNombre = iRequetesContinu;
    }
    m_zDestination = args[n - 1];

    ZorPlatform::SocketEcho socket;
    if (!socket.Ouvrir())
        return -1;
    std::string zTexte;
    if (!ZorPlatform::ResoudreIPv4(std::string(m_zDestination.utf8_str()), &m_iAdresse, &zTexte))
        return -1;
    m_zAdresse = wxString::FromUTF8(zTexte.c_str());

    // A count or wait that is absent, zero or negative takes the default.
    if (iNombre <= 0)
        iNombre = 4;
    if (iAttente <= 0)
        iAttente = 1000;

    const uint32_t iPid = ZorPlatform::IdProcessus();
    while (m_iCompletes < iNombre) {
        const uint16_t iDemande = uint16_t(iPid + uint32_t(m_iCompletes));
        uint8_t requete[TAILLE_REQUETE];
        Requete_ICMP(requete, iDemande);
        socket.Envoyer(m_iAdresse, requete, sizeof(requete));
        const uint16_t iAttendu = socket.IdentifiantEffectif(iDemande);

        // Foreign packets restart the wait, but never past the request's own time.
        const uint32_t iDebut = ZorPlatform::TempsMs();
        bool bRepondue = false;
        for (;;) {
            const uint32_t iEcoule = ZorPlatform::TempsMs() - iDebut;
            if (iEcoule >= uint32_t(iAttente))
                break;
            LaisserVivreBoucle();
            int r = socket.AttendreLecture(int(uint32_t(iAttente) - iEcoule));
            LaisserVivreBoucle();
            if (r <= 0)
                break;
            uint8_t reponse[1024];
            uint32_t iSource = 0;
            int iLen = socket.Recevoir(reponse, sizeof(reponse), &iSource);
            if (iLen > 0 && Decode_resp(reponse, iLen, iSource, iAttendu)) {
                bRepondue = true;
                break;
            }
        }
        if (!bRepondue) {
            ++m_iCompletes;
            ++m_iPerdues;
        }
        if (m_iCompletes < iNombre)
            wxSleep(1);
    }

    Statistiques();
    if (piCompletes)
        *piCompletes = m_iCompletes;
    if (piPerdues)
        *piPerdues = m_iPerdues;
    return 0;
}
