// ICMP echo requests to one host, counting the requests that got an answer.
//
// Thread rules: an object belongs to the thread that calls Ping, and several objects may ping
// at once from different threads. Ping blocks for the whole run (waits and one-second pauses);
// on the main thread it lets the toolkit handle pending events while it waits, so a caller
// there must expect re-entry, and elsewhere it does not. The message tables (zErreur...) are
// filled once by the first object or TexteErreur: do that on one thread before others ping.
#pragma once

#include "infra/ZorExport.h"

#include <wx/arrstr.h>
#include <wx/string.h>

#include <cstdint>

class ZOR_EXPORT ZorPing
{
public:
    ZorPing();
    ZorPing(const ZorPing& other);
    ZorPing& operator=(const ZorPing& other);
    virtual ~ZorPing();

    // Command-line style arguments, destination last; 0 when the requests were made, -1 otherwise.
    int Ping(wxArrayString& args, int* piCompletes, int* piPerdues);
    void Utilisation();

    static bool gbInit;
    static wxArrayString zErreur3;
    static wxArrayString zErreur4;
    static wxArrayString zErreur5;
    static wxArrayString zErreur11;
    static wxArrayString zErreur12;

    // "-t" asks for a continuous run; this library ends it after this many requests.
    static const int iRequetesContinu = 100;

    // Text of an ICMP error answer of this type and code.
    static wxString TexteErreur(int iType, int iCode);
    // Internet checksum (RFC 1071) over iLen bytes.
    static uint16_t Checksum(const uint16_t* pBuffer, int iLen);

private:
    friend class ZorPingTestAcces;

    static void Init();
    // Fills a 16-byte echo request and remembers its tick count.
    void Requete_ICMP(uint8_t* pBuffer, uint16_t iIdentifiant);
    // 1 when the IPv4 packet answers the current request (echo reply, or an error answer about
    // this request, from the destination), 0 otherwise.
    int Decode_resp(const uint8_t* pBuffer, int iLen, uint32_t iSource, uint16_t iIdentifiant);
    void Statistiques();

    wxString m_zAdresse;
    wxString m_zDestination;
    int32_t m_iMaxTemps;
    int32_t m_iMinTemps;
    int32_t m_iSommeTemps;
    int32_t m_iCompletes;
    int32_t m_iPerdues;
    // Destination (network byte order) and tick count of the request in flight.
    uint32_t m_iAdresse;
    uint32_t m_iTickRequete;
};
