#include "firmware/ZorFirmwareFormat.h"
#include "infra/ZorTraduction.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace ZorFirmware {

const char* const kBoundary = "---------------------J1234";

std::string DebutCorps(const std::string& zDisposition)
{
    return std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; " + zDisposition +
           "\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: "
           "binary\r\n\r\n";
}

std::string FinCorps()
{
    return std::string("\r\n--") + kBoundary + "--\r\n";
}

std::string ContentType()
{
    return std::string("multipart/form-data; boundary=") + kBoundary;
}

size_t ConstruireRequete(uint8_t* out, uint8_t iId1, uint8_t iId2, uint16_t iSequence,
                         uint8_t iCommande, const uint8_t* pEnregistrement)
{
    out[0] = 0x5A;
    out[1] = 0xA5;
    out[2] = iId1;
    out[3] = iId2;
    out[4] = uint8_t(iSequence >> 8);
    out[5] = uint8_t(iSequence & 0xFF);
    out[6] = iCommande;
    if (iCommande != ZOR_BOOT_ENREGISTREMENT)
        return kTailleRequeteCourte;
    memcpy(out + kTailleRequeteCourte, pEnregistrement, kTailleEnregistrement);
    return kTailleRequeteEnregistrement;
}

Reponse LireReponse(const uint8_t* pData, size_t iLen)
{
    auto octet = [&](size_t i) -> uint8_t { return i < iLen ? pData[i] : 0; };
    Reponse r;
    r.iSequence = uint16_t(octet(4) << 8 | octet(5));
    r.iCommande = octet(6);
    r.iId1 = octet(10);
    r.iId2 = octet(11);
    r.iStatut = uint16_t(octet(16) << 8 | octet(17));
    return r;
}

std::vector<uint8_t> ConstruireReponse(const Reponse& r)
{
    std::vector<uint8_t> out(18, 0);
    out[0] = 0xA5;
    out[1] = 0x5A;
    out[2] = r.iId1;
    out[3] = r.iId2;
    out[4] = uint8_t(r.iSequence >> 8);
    out[5] = uint8_t(r.iSequence & 0xFF);
    out[6] = r.iCommande;
    out[10] = r.iId1;
    out[11] = r.iId2;
    out[16] = uint8_t(r.iStatut >> 8);
    out[17] = uint8_t(r.iStatut & 0xFF);
    return out;
}

std::string TexteIdentifiant(uint8_t iId1, uint8_t iId2)
{
    char texte[8];
    snprintf(texte, sizeof texte, "%02X-%02X", iId2, iId1);
    return texte;
}

bool StatutEnErreur(uint16_t iStatut)
{
    return (iStatut & (kStatutRefus | kStatutErreurs)) != 0;
}

std::vector<ZorStatutBoot> CodesStatut(uint16_t iStatut, bool bImageOuverte)
{
    std::vector<ZorStatutBoot> codes;
    if (bImageOuverte)
        codes.push_back(ZorStatutBoot::TRANSFERT);
    if (iStatut & kStatutRefus) {
        codes.push_back(ZorStatutBoot::REFUS);
        return codes;
    }
    static const struct
    {
        uint16_t iBit;
        ZorStatutBoot code;
    } bits[] = {{0x0800, ZorStatutBoot::BIT_0800},
                {0x0200, ZorStatutBoot::BIT_0200},
                {0x0040, ZorStatutBoot::BIT_0040},
                {0x0002, ZorStatutBoot::BIT_0002}};
    for (const auto& b : bits)
        if (iStatut & b.iBit)
            codes.push_back(b.code);
    return codes;
}

RefusImage VerifierImage(const std::string& zChemin, const std::string& zDossier,
                         uint64_t* piTaille)
{
    namespace fs = std::filesystem;
    std::error_code e;
    const fs::file_status statut = fs::status(zChemin, e); // follows links
    if (!fs::exists(statut))
        return RefusImage::ABSENTE;
    if (!fs::is_regular_file(statut))
        return RefusImage::PAS_UN_FICHIER;
    if (!zDossier.empty()) {
        // Where the file really is, links resolved on both sides: a link inside the folder may
        // lead to another file of the folder, never elsewhere.
        const fs::path reel = fs::canonical(zChemin, e);
        const fs::path dossier = e ? fs::path() : fs::canonical(zDossier, e);
        const fs::path relatif = e ? fs::path() : reel.lexically_relative(dossier);
        if (e || relatif.empty() || *relatif.begin() == "..")
            return RefusImage::HORS_DOSSIER;
    }
    const uintmax_t iTaille = fs::file_size(zChemin, e);
    if (e)
        return RefusImage::ABSENTE;
    if (iTaille > kTailleImageMax)
        return RefusImage::TROP_GRANDE;
    if (piTaille)
        *piTaille = iTaille;
    return RefusImage::AUCUN;
}

const char* TexteRefus(RefusImage refus)
{
    switch (refus) {
    case RefusImage::AUCUN:
        return ZOR_N8("utilisable");
    case RefusImage::ABSENTE:
        return ZOR_N8("absente");
    case RefusImage::PAS_UN_FICHIER:
        return ZOR_N8("n'est pas un fichier ordinaire");
    case RefusImage::HORS_DOSSIER:
        return ZOR_N8("renvoie hors du dossier de mise à jour");
    case RefusImage::TROP_GRANDE:
        return ZOR_N8("dépasse 1 572 864 octets");
    }
    return ZOR_N8("refusée");
}

bool LecteurImage::Ouvrir(const std::string& zChemin)
{
    Fermer();
    // Checked first: opening a FIFO blocks, and a device file never ends.
    if (VerifierImage(zChemin, std::string()) != RefusImage::AUCUN)
        return false;
    m_pFichier = fopen(zChemin.c_str(), "rb");
    if (!m_pFichier)
        return false;
    if (fseek(m_pFichier, 0, SEEK_END) != 0 || ftell(m_pFichier) < 0) {
        Fermer();
        return false;
    }
    m_iLongueur = uint64_t(ftell(m_pFichier));
    rewind(m_pFichier);
    m_iPosition = 0;
    memset(m_enregistrement, 0, sizeof m_enregistrement);
    return true;
}

void LecteurImage::Fermer()
{
    if (m_pFichier)
        fclose(m_pFichier);
    m_pFichier = nullptr;
}

bool LecteurImage::Lire()
{
    if (!m_pFichier)
        return false;
    uint8_t lu[kTailleEnregistrement];
    const size_t n = fread(lu, 1, sizeof lu, m_pFichier);
    if (n == 0)
        return false;
    memcpy(m_enregistrement, lu, n);
    m_iPosition += n;
    return true;
}

} // namespace ZorFirmware
