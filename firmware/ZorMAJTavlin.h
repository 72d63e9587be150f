// The firmware update object: where updates are found, how versions compare, and the stages of
// an update with the last error code. One object per update sequence (or a temporary one for a
// look-up). Main thread only.
#pragma once

#include "device/ZorTavlinRecords.h"
#include "firmware/ZorCodesFirmware.h"

#include <wx/string.h>

#include <functional>

// A firmware version: three numbers compared in order. Texts give only the first.
struct ZorVersionTavlin
{
    long iPremier = 0;
    long iSecond = 0;
    long iTroisieme = 0;
};

// Reads the number after the last "v" or "V" of zTexte (the whole text when it has none). The
// tail must be decimal digits only and fit an int: "maj_v12" reads 12, "0" reads 0; "", "v",
// "v1a", "2.3", "v-1", "v+2", "v 3" and "v99999999999" do not read.
bool ZorLireVersion(const wxString& zTexte, ZorVersionTavlin& version);
// An update folder's name: its version must also be positive ("maj_v0" is no update).
bool ZorLireVersionDossier(const wxString& zNom, ZorVersionTavlin& version);
// -1, 0 or 1 as a is older than, the same as or newer than b.
int ZorComparerVersions(const ZorVersionTavlin& a, const ZorVersionTavlin& b);

// Why a device reporting zVersionApres after an update from the folder zDossier ("maj_vN") does
// not run that folder's version: "la Tavlin indique « v4 » au lieu de la version 8", or empty
// when it does (or when the folder's name gives no version to compare with).
wxString ZorVersionNonApportee(const wxString& zDossier, const wxString& zVersionApres);

class ZorTavlinObj;

class ZorMAJTavlin
{
public:
    // pTavlin: the device manager the update's stages work through (it must outlive this
    // object); null for the version and folder look-ups alone, the stages then failing with
    // code 1 as without a manager.
    explicit ZorMAJTavlin(ZorTavlinObj* pTavlin = nullptr) : m_pTavlin(pTavlin) {}

    // The "maj" folder beside the program.
    static wxString GetDossierMAJ();

    // True when the device reporting zVersionActuelle is up to date (pzDossier is then empty);
    // false when a newer update exists, pzDossier then naming its folder. A missing "maj"
    // folder, no folder name that reads as a version, or a current version that does not read:
    // up to date. Among equal versions the first folder listed wins.
    bool VerifierVersion(const wxString& zVersionActuelle, wxString* pzDossier);
    // The newest update folder: false when there is none (no "maj" folder, or no folder name
    // that reads as a version). Among equal versions the first folder listed wins.
    static bool DerniereMiseAJour(wxString* pzDossier, ZorVersionTavlin* pVersion);
    // VerifierVersion's answer for many devices with one look at the folders: true for a
    // version that is up to date.
    std::function<bool(const wxString& zVersion)> TestAJour() const;
    // -1 when either text does not read as a version, 1 when a is newer than b, else 0.
    int CompareVersion(const wxString& a, const wxString& b);

    // Checks that both images of an update folder are regular files of the folder (a link may
    // lead to another file of it, nowhere else), readable, not empty and no larger than a device
    // takes, and writes their sizes and SHA-256 sums to the log, so the log says exactly what is
    // about to be sent. False (with a log line naming the file, and *pzRaison saying why) when
    // one is not usable. Nothing that is not a regular file is opened: a FIFO would block.
    static bool VerifierImages(const wxString& zDossier, wxString* pzRaison = nullptr);

    // How the two transfer stages run their transfers: the dialogs show them; a program
    // without a display runs them on its own event loop.
    class Transferts
    {
    public:
        virtual ~Transferts() = default;
        // The bootloader upload of zImage expecting zMAC (any device when empty): false when
        // the image cannot be opened; otherwise *pStatut gets the upload's status and *pzId the
        // captured device's identifier.
        virtual bool Bootloader(const wxString& zImage, const wxString& zMAC,
                                ZorStatutBoot* pStatut, wxString* pzId) = 0;
        // The post of zFichier: false when its arguments are refused; otherwise *pCode gets
        // its result.
        virtual bool Post(const wxString& zIP, const wxString& zIPLocal, const wxString& zFichier,
                          const wxString& zChemin, const wxString& zDisposition, int iTimeOutSec,
                          ZorCodePost* pCode) = 0;
    };

    // The bootloader stage. Checks both images, asks the device at zIP to restart into its
    // bootloader (nobody in the manual procedure, where zIP is empty and the user power-cycles
    // it), runs the upload expecting zMAC (any device when empty) and gives back the captured
    // device's identifier ("34-56").
    bool EnvoyerBootloader(const wxString& zDossier, const wxString& zIP, const wxString& zMAC,
                           wxString* pzIdentifiant, Transferts& transferts);
    // The transfer stage: posts the web-server image to the device's upload page.
    bool EnvoyerFichiers(const wxString& zDossier, const wxString& zIP, const wxString& zIPLocal,
                         Transferts& transferts);
    // Both with the transfer dialogs (window code).
    bool EnvoyerBootloader(const wxString& zDossier, const wxString& zIP, const wxString& zMAC,
                           wxString* pzIdentifiant);
    bool EnvoyerFichiers(const wxString& zDossier, const wxString& zIP, const wxString& zIPLocal);

    // The search stage: the first registered device whose MAC ends with zIdentifiant and that
    // answered since the bootloader stage ended (a record from before is the device as it was
    // before its restart). On this PC's network: its addresses, MAC and record are given back
    // and the answer is true. Elsewhere it is asked to move onto the adapter's network and
    // the answer is false, as it is while no such device answers; a later call finds it.
    // While none answers, a discovery hello goes out every kHelloRechercheMs, so that a device
    // back at an address nobody probes is found without waiting for the periodic hello.
    bool RechercherTavlin(const wxString& zIdentifiant, wxString* pzIP, wxString* pzIPLocal,
                          wxString* pzMAC, ZorTavlinInfo* pInfo);
    // The completion stage: automatic program off, e-mail settings cleared, program and
    // acquisition memories reset, in that order; the first failure sets its code (AUTOMATE to
    // MEM_ACQUISITION).
    bool ReinitialiserTavlin(const wxString& zIP, const wxString& zIPLocal,
                             const ZorTavlinInfo& info);
    // From when (clock seconds) a device counts as seen again by the search. The bootloader
    // stage sets it when it ends.
    void SetVuDepuis(long iSecondes) { m_iVuDepuis = iSecondes; }
    // The device being updated, when known (empty in the manual procedure): the search then
    // takes only that device, not another whose MAC ends with the same two bytes.
    void SetMACAttendue(const wxString& zMAC) { m_zMACAttendue = zMAC.Upper(); }
    // The version the device reported before the update (empty when unknown, as in the manual
    // procedure): the completion stage says in the log whether the device reports another.
    void SetVersionAvant(const wxString& zVersion) { m_zVersionAvant = zVersion; }

    ZorErreurMAJ GetErreur() const { return m_erreur; }
    // Keeps the code; a change to a failure is written to the log (with its number) once.
    void SetErreur(ZorErreurMAJ erreur);

private:
    // After the completion stage: the version the device reports now, and whether it changed.
    void JournaliserVersion(const ZorTavlinInfo& info) const;

    static constexpr int64_t kHelloRechercheMs = 2000;

    ZorTavlinObj* m_pTavlin;
    ZorErreurMAJ m_erreur = ZorErreurMAJ::AUCUNE;
    long m_iVuDepuis = 0;
    int64_t m_iDernierHelloMs = -1; // of the search, on the device manager's clock
    wxString m_zVersionAvant;
    wxString m_zMACAttendue;
    wxString m_zDossier; // of the update under way, for the version it brings
};
