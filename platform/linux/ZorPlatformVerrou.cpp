#include "platform/ZorPlatformVerrou.h"

#include "platform/ZorPlatform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZorPlatform {

namespace {

// Between two tries at a lock another program holds: short, since holders keep it for the
// time of one small file's rewrite.
const useconds_t kPauseUs = 2000;

void Dire(bool* pb, bool b)
{
    if (pb)
        *pb = b;
}

void Dire(int* pi, int i)
{
    if (pi)
        *pi = i;
}

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
    const uint32_t iDebut = TempsMs();
    // Bounded by the wait: one try per pause, and at least one try.
    const long iEssais = 1 + (iAttenteMs > 0 ? long(iAttenteMs) * 1000 / long(kPauseUs) : 0);
    for (long i = 0; i < iEssais; ++i) {
        if (i > 0) {
            if (TempsMs() - iDebut >= uint32_t(iAttenteMs))
                break;
            usleep(kPauseUs);
        }
        const int fd = open(zChemin.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            Dire(piErreur, errno);
            return false;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int iErreur = errno;
            close(fd);
            if (iErreur == EWOULDBLOCK || iErreur == EINTR)
                continue;
            Dire(piErreur, iErreur);
            return false;
        }
        if (!MemeFichier(fd, zChemin)) {
            close(fd);
            continue;
        }
        m_fd = fd;
        m_zChemin = zChemin;
        return true;
    }
    Dire(pbOccupe, true);
    Dire(piErreur, EWOULDBLOCK);
    return false;
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

} // namespace ZorPlatform
