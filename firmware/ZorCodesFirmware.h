// The firmware update's result codes, one enum class per family. Their values are the numbers
// that the log lines print, that the two transfer dialogs end their modal loop with and that
// tavlin's JSON reports; ZorCode turns a code into that number at those edges only.
#pragma once

// The update object's last error (ZorMAJTavlin, and the sequence that runs its stages).
enum class ZorErreurMAJ : int {
    AUCUNE = 0,
    SANS_GESTIONNAIRE = 1, // no device manager
    IMAGE = 2,             // an image of the update is unusable
    BOOTLOADER = 3,        // the bootloader upload failed, or captured no device
    INTROUVABLE = 4,       // the device was not found again after the bootloader upload
    ARGUMENTS_POST = 5,    // the post refused its arguments
    POST = 6,              // the post failed
    // 7 is not used.
    AUTOMATE = 8,         // the automatic program could not be switched off
    EMAIL = 9,            // the e-mail settings could not be cleared
    MEM_AUTOMATE = 10,    // the program memory could not be reset
    MEM_ACQUISITION = 11, // the acquisition memory could not be reset
    // Every stage done, but the device does not report the update's version.
    VERSION = 12,
};

// A bootloader upload's status.
enum class ZorStatutBoot : int {
    SUCCES = 0,
    RECEPTION = 1,         // a socket receive reported an error
    IMAGE_FERMEE = 2,      // the image is not open (or empty) when the records begin
    TRANSFERT = 3,         // the transfer failed while the image was open
    REFUS = 4,             // record reply with status bit 0x1000
    BIT_0800 = 5,          // record reply with status bit 0x0800
    BIT_0200 = 6,          // 0x0200
    BIT_0040 = 7,          // 0x0040
    SANS_ACQUITTEMENT = 8, // a record sent 5 times without an acknowledgement
    BIT_0002 = 9,          // 0x0002
    SANS_CAPTURE = 10,     // no device captured within 15 s
    AUTRE_DEVICE = 11,     // the captured device is not the one expected
};

// A file post's result.
enum class ZorCodePost : int {
    SUCCES = 0,
    FICHIER = -2, // the file cannot be opened
    ADRESSE = -3, // not an address the client can connect to
    REQUETE = -4, // the connection or the request failed (or the thread did not start)
    DELAI = -10,  // no end within 60 s
    ANNULE = -11, // cancelled by the user
};

constexpr int ZorCode(ZorErreurMAJ c)
{
    return static_cast<int>(c);
}
constexpr int ZorCode(ZorStatutBoot c)
{
    return static_cast<int>(c);
}
constexpr int ZorCode(ZorCodePost c)
{
    return static_cast<int>(c);
}
