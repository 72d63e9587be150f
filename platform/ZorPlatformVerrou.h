// Exclusive locks between the user's programs on the files they share (settings, card black
// list, log), and the replacement of such a file in one step. Paths are UTF-8. Plain C++ types;
// one implementation file per platform (flock on Linux, files opened without sharing on Windows).
#pragma once

#include <string>

namespace ZorPlatform {

// The lock that guards one shared file while a program re-reads and replaces it. It lives in a
// lock file beside the guarded one, made when it is taken and removed when it is released, so a
// folder is left as it was; the system drops it if the program dies while holding it.
class VerrouFichier
{
public:
    VerrouFichier() = default;
    ~VerrouFichier();
    VerrouFichier(const VerrouFichier&) = delete;
    VerrouFichier& operator=(const VerrouFichier&) = delete;

    // Takes the lock named zChemin, waiting at most iAttenteMs for the program that holds it.
    // False when the lock file cannot be made (*piErreur: the system's error number) or when
    // another program still held it at the end of the wait (*pbOccupe). Both outputs may be null.
    bool Prendre(const std::string& zChemin, int iAttenteMs, bool* pbOccupe, int* piErreur);
    // Removes the lock file and releases the lock; nothing when not held.
    void Liberer();
    bool IsPris() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::string m_zChemin;
};

// Opens zChemin for writing (made when missing) under an exclusive lock taken without waiting,
// then empties it when it is a regular file. The lock lasts as long as the returned descriptor
// stays open (not inherited by programs started from this one). -1 when the file is held by
// another program (*pbOccupe true) or cannot be opened (*piErreur: the system's error number).
int OuvrirFichierExclusif(const std::string& zChemin, bool* pbOccupe, int* piErreur);

// True when the file exists and its owner made it read-only (*pbExiste, when given: it exists).
bool FichierEnLectureSeule(const std::string& zChemin, bool* pbExiste);
// Puts the file zNouveau in place of zCible in one step (zCible may exist; its permissions are
// kept, a new file gets the usual ones). False when it could not be done.
bool RemplacerFichier(const std::string& zNouveau, const std::string& zCible);

} // namespace ZorPlatform
