// File locks between the user's programs on Windows: a file opened without sharing is the lock.
// The lock file is opened with delete-on-close, so the system removes it when it is released or
// when its program dies, as the Linux lock file is removed.
#include "platform/ZorPlatformVerrou.h"

#include "platform/ZorPlatformInterne.h"
#include "platform/windows/ZorWindows.h"

#include <fcntl.h>
#include <io.h>

namespace ZorPlatform {

namespace {

using Interne::Dire;
using Interne::Essai;

// Between two tries at a lock another program holds: short, since holders keep it for the
// time of one small file's rewrite.
const long kPauseUs = 2000;

// Held by another program: opened without sharing, or still being deleted by its last holder.
bool Occupe(DWORD e)
{
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || e == ERROR_ACCESS_DENIED;
}

// A C runtime descriptor on the handle, so that wxFile and our callers keep using descriptors.
int Descripteur(HANDLE h, int iMode)
{
    const int fd = _open_osfhandle(intptr_t(h), iMode);
    if (fd < 0)
        CloseHandle(h);
    return fd;
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
    const std::wstring w = Large(zChemin);
    const Essai e = Interne::EssayerPendant(
        iAttenteMs, kPauseUs,
        [&] {
            HANDLE h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                const DWORD iErreur = GetLastError();
                if (Occupe(iErreur))
                    return Essai::Occupe;
                Dire(piErreur, int(iErreur));
                return Essai::Echec;
            }
            m_fd = Descripteur(h, _O_RDWR);
            if (m_fd < 0) {
                Dire(piErreur, int(GetLastError()));
                return Essai::Echec;
            }
            m_zChemin = zChemin;
            return Essai::Reussi;
        },
        [] { Sleep(kPauseUs / 1000); });
    if (e == Essai::Occupe) {
        Dire(pbOccupe, true);
        Dire(piErreur, int(ERROR_SHARING_VIOLATION));
    }
    return e == Essai::Reussi;
}

void VerrouFichier::Liberer()
{
    if (m_fd < 0)
        return;
    // Closing the only handle deletes the file (delete-on-close).
    _close(m_fd);
    m_fd = -1;
    m_zChemin.clear();
}

int OuvrirFichierExclusif(const std::string& zChemin, bool* pbOccupe, int* piErreur)
{
    Dire(pbOccupe, false);
    Dire(piErreur, 0);
    // Others may read it (a log is read while it is written), nobody else may write it; not
    // truncated on opening: the file may be the log of a run that is still going.
    HANDLE h = CreateFileW(Large(zChemin).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        Dire(pbOccupe, e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION);
        Dire(piErreur, int(e));
        return -1;
    }
    if (GetFileType(h) == FILE_TYPE_DISK && !SetEndOfFile(h)) {
        Dire(piErreur, int(GetLastError()));
        CloseHandle(h);
        return -1;
    }
    return Descripteur(h, _O_WRONLY | _O_BINARY);
}

bool FichierEnLectureSeule(const std::string& zChemin, bool* pbExiste)
{
    const DWORD a = GetFileAttributesW(Large(zChemin).c_str());
    Dire(pbExiste, a != INVALID_FILE_ATTRIBUTES);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool RemplacerFichier(const std::string& zNouveau, const std::string& zCible)
{
    // Replaces an existing file in one step, written through to the disk before returning.
    return MoveFileExW(Large(zNouveau).c_str(), Large(zCible).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace ZorPlatform
