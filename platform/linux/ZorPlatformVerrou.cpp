#include "platform/ZorPlatformVerrou.h"

#include "platform/ZorPlatformInterne.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZorPlatform {

namespace {

using Interne::Dire;
using Interne::Essai;

// Between two tries at a lock another program holds: short, since holders keep it for the
// time of one small file's rewrite.
const useconds_t kPauseUs = 2000;

// True when the path still names the file the descriptor has open: a holder that released the
// lock removed the file, and a waiter that got the lock of that removed file must start again.
bool MemeFichier(int fd, const std::string& zChemin)
{
    struct stat ouvert, nomme;
    return fstat(fd, &ouvert) == 0 && stat(zChemin.c_str(), &nomme) == 0 &&
           ouvert.st_dev == nomme.st_dev && ouvert.st_ino == nomme.st_ino;
}

} // namespace

VerrouFichier::~VerrouFichier()
{
    Liberer();
}

bool VerrouFichier::Prendre(const std::string& zChemin, int iAttenteMs, bool* pbOccupe,
                            int* piErreur)
{
    Liberer();
    Dire(pbOccupe, false);
    Dire(piErreur, 0);
    const Essai e = Interne::EssayerPendant(
        iAttenteMs, kPauseUs,
        [&] {
            const int fd = open(zChemin.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) {
                Dire(piErreur, errno);
                return Essai::Echec;
            }
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int iErreur = errno;
                close(fd);
                if (iErreur == EWOULDBLOCK || iErreur == EINTR)
                    return Essai::Occupe;
                Dire(piErreur, iErreur);
                return Essai::Echec;
            }
            if (!MemeFichier(fd, zChemin)) {
                close(fd);
                return Essai::Occupe;
            }
            m_fd = fd;
            m_zChemin = zChemin;
            return Essai::Reussi;
        },
        [] { usleep(kPauseUs); });
    if (e == Essai::Occupe) {
        Dire(pbOccupe, true);
        Dire(piErreur, EWOULDBLOCK);
    }
    return e == Essai::Reussi;
}

void VerrouFichier::Liberer()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so no other program can take the lock of a file being removed.
    unlink(m_zChemin.c_str());
    close(m_fd);
    m_fd = -1;
    m_zChemin.clear();
}

int OuvrirFichierExclusif(const std::string& zChemin, bool* pbOccupe, int* piErreur)
{
    Dire(pbOccupe, false);
    Dire(piErreur, 0);
    // Not truncated on opening: the file may be the log of a run that is still going.
    const int fd = open(zChemin.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        Dire(piErreur, errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int iErreur = errno;
        close(fd);
        Dire(pbOccupe, iErreur == EWOULDBLOCK);
        Dire(piErreur, iErreur);
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
        Dire(piErreur, errno);
        close(fd);
        return -1;
    }
    return fd;
}

bool FichierEnLectureSeule(const std::string& zChemin, bool* pbExiste)
{
    struct stat st;
    const bool bExiste = stat(zChemin.c_str(), &st) == 0;
    Dire(pbExiste, bExiste);
    // The mode bits as well as access(): a process run as root may write anything.
    return bExiste && ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
                       access(zChemin.c_str(), W_OK) != 0);
}

bool RemplacerFichier(const std::string& zNouveau, const std::string& zCible)
{
    // Keep the old file's permissions; a new file gets the usual ones (temporary files are
    // private).
    struct stat st;
    mode_t mode;
    if (stat(zCible.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t masque = umask(0);
        umask(masque);
        mode = 0666 & ~masque;
    }
    return chmod(zNouveau.c_str(), mode) == 0 && std::rename(zNouveau.c_str(), zCible.c_str()) == 0;
}

} // namespace ZorPlatform
