// Helpers shared by the platform implementations; not part of the platform interface.
#pragma once

#include "platform/ZorPlatform.h"

namespace ZorPlatform {
namespace Interne {

inline void Dire(bool* pb, bool b)
{
    if (pb)
        *pb = b;
}

inline void Dire(int* pi, int i)
{
    if (pi)
        *pi = i;
}

enum class Essai { Reussi, Occupe, Echec };

// Tries until it succeeds or fails for good, once per pause while it finds the thing busy, for
// at most iAttenteMs (at least one try; bounded in count as well as in time).
template <class FEssai, class FPause>
Essai EssayerPendant(int iAttenteMs, long iPauseUs, FEssai essai, FPause pause)
{
    const uint32_t iDebut = TempsMs();
    const long iEssais = 1 + (iAttenteMs > 0 ? long(iAttenteMs) * 1000 / iPauseUs : 0);
    for (long i = 0; i < iEssais; ++i) {
        if (i > 0) {
            if (TempsMs() - iDebut >= uint32_t(iAttenteMs))
                break;
            pause();
        }
        const Essai e = essai();
        if (e != Essai::Occupe)
            return e;
    }
    return Essai::Occupe;
}

} // namespace Interne
} // namespace ZorPlatform
