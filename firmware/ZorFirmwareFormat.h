// The bytes of the two firmware transfers, as pure functions: the multipart body of the HTTP
// file post, and the requests and replies of the bootloader's stop-and-wait protocol. No
// sockets, no files, no clock: the transfers and the fuzz target call them on their bytes.
#pragma once

#include "firmware/ZorCodesFirmware.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ZorFirmware {

// ---- HTTP file post ----

// The part separator; the device's upload page expects this one.
extern const char* const kBoundary;
// Everything before the file's bytes: separator line and part headers, for one disposition
// such as  name="fichier"; filename="Tavlin.bin"
std::string DebutCorps(const std::string& zDisposition);
// Everything after them: the closing separator line.
std::string FinCorps();
// Value of the request's "Content-type" header.
std::string ContentType();

// ---- Bootloader upload ----

constexpr uint16_t kPort = 16388;               // local port of every socket and destination port
constexpr const char* kGroupe = "230.10.10.11"; // multicast group the bootloaders listen to
constexpr size_t kTailleEnregistrement = 24;    // image bytes per record request
constexpr size_t kTailleRequeteCourte = 7;      // capture and end requests
constexpr size_t kTailleRequeteEnregistrement = 31;
constexpr size_t kTailleReponseMax = 1024; // receive buffer of one reply

enum Commande : uint8_t {
    ZOR_BOOT_CAPTURE = 3,
    ZOR_BOOT_ENREGISTREMENT = 4,
    ZOR_BOOT_FIN = 9,
};

// Status word bits of a record reply that report a failure.
constexpr uint16_t kStatutRefus = 0x1000;
constexpr uint16_t kStatutErreurs = 0x0A42;

// Writes one request into out (room for kTailleRequeteEnregistrement bytes) and returns its
// length: 7 bytes, or 31 for a record whose 24 bytes come from pEnregistrement.
size_t ConstruireRequete(uint8_t* out, uint8_t iId1, uint8_t iId2, uint16_t iSequence,
                         uint8_t iCommande, const uint8_t* pEnregistrement);

// What the PC reads of a reply. Bytes beyond the received length read as 0, as in a receive
// buffer cleared beforehand.
struct Reponse
{
    uint16_t iSequence = 0; // bytes 4-5, big-endian
    uint8_t iCommande = 0;  // byte 6
    uint8_t iId1 = 0;       // byte 10: last byte of the device's MAC address
    uint8_t iId2 = 0;       // byte 11: the byte before it
    uint16_t iStatut = 0;   // bytes 16-17, big-endian
};
Reponse LireReponse(const uint8_t* pData, size_t iLen);
// Writes a reply of 18 bytes (what the emulated bootloader sends).
std::vector<uint8_t> ConstruireReponse(const Reponse& r);

// "3A-0F" for byte 11 = 0x3A and byte 10 = 0x0F: the end of the device's MAC address.
std::string TexteIdentifiant(uint8_t iId1, uint8_t iId2);

bool StatutEnErreur(uint16_t iStatut);
// The status codes a failed record reply sets, in the order they are set (each logged once):
// 3 first when the image was still open, then 4 alone for bit 0x1000, else 5, 6, 7 and 9 for
// bits 0x0800, 0x0200, 0x0040 and 0x0002. The last one is the result.
std::vector<ZorStatutBoot> CodesStatut(uint16_t iStatut, bool bImageOuverte);

// The largest image a device can take. Its bootloader tells records apart by the 16-bit
// sequence number, so one pass over an image holds at most 65,536 records of 24 bytes:
// 1,572,864 bytes (1.5 MiB). The web-server image goes into the same device and gets the same
// bound; nothing larger is read, digested or held in memory.
constexpr uint64_t kTailleImageMax = uint64_t(65536) * kTailleEnregistrement;

// Why an image file is refused before anything reads it.
enum class RefusImage {
    AUCUN,          // usable
    ABSENTE,        // does not exist (or a link that leads nowhere)
    PAS_UN_FICHIER, // a folder, a device such as /dev/zero, a FIFO, a socket: reading it would
                    // block or never end
    HORS_DOSSIER,   // a link that leads out of the update folder
    TROP_GRANDE,    // over kTailleImageMax
};
// Checks an image by its file system entry, without opening it: a regular file (links are
// followed) of at most kTailleImageMax bytes, inside zDossier when zDossier is not empty. An
// empty file passes (the caller decides); *piTaille gets the size of one that passes.
RefusImage VerifierImage(const std::string& zChemin, const std::string& zDossier,
                         uint64_t* piTaille = nullptr);
// The refusal in a few French words, for the log and the user ("n'est pas un fichier ordinaire").
const char* TexteRefus(RefusImage refus);

// The 16-bit sequence counter: every request built takes the current value, then it advances,
// wrapping from 65535 to 0.
class Sequence
{
public:
    uint16_t Prendre()
    {
        m_iDerniere = m_iProchaine;
        return m_iProchaine++;
    }
    // Number of the last request built (meaningful once one was built).
    uint16_t Derniere() const { return m_iDerniere; }

private:
    uint16_t m_iProchaine = 0;
    uint16_t m_iDerniere = 0;
};

// Reads an image in records of 24 bytes. A short last read keeps the tail of the record
// before it in the buffer, as the device expects records of a fixed size.
class LecteurImage
{
public:
    LecteurImage() = default;
    ~LecteurImage() { Fermer(); }
    LecteurImage(const LecteurImage&) = delete;
    LecteurImage& operator=(const LecteurImage&) = delete;

    // False for a file VerifierImage refuses (an empty one opens) or one that cannot be read.
    bool Ouvrir(const std::string& zChemin);
    void Fermer();
    bool IsOuvert() const { return m_pFichier != nullptr; }
    uint64_t Longueur() const { return m_iLongueur; }
    // Bytes read so far.
    uint64_t Position() const { return m_iPosition; }
    // Reads the next record; false (buffer unchanged) when nothing is left.
    bool Lire();
    const uint8_t* Enregistrement() const { return m_enregistrement; }

private:
    FILE* m_pFichier = nullptr;
    uint64_t m_iLongueur = 0;
    uint64_t m_iPosition = 0;
    uint8_t m_enregistrement[kTailleEnregistrement] = {};
};

} // namespace ZorFirmware
