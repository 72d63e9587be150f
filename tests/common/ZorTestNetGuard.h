/* Test programs and host programs of the tests send datagrams: they refuse to run outside the
 * private test network of tools/testnet.sh, where no datagram can reach the machine's real
 * adapters. Plain C, shared by the C++ test programs and the C hosts. */
#ifndef ZOR_TEST_NET_GUARD_H
#define ZOR_TEST_NET_GUARD_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* The network namespace of a process ("net:[4026531840]"); 0 when it cannot be read. */
static inline int ZorNamespaceReseau(long iPid, char* zNs, size_t n)
{
    char zChemin[64];
    snprintf(zChemin, sizeof zChemin, "/proc/%ld/ns/net", iPid);
    ssize_t lu = readlink(zChemin, zNs, n - 1);
    if (lu <= 0)
        return 0;
    zNs[lu] = '\0';
    return 1;
}

static inline long ZorParent(long iPid)
{
    char zChemin[64], zLigne[256];
    long iParent = 0;
    snprintf(zChemin, sizeof zChemin, "/proc/%ld/status", iPid);
    FILE* f = fopen(zChemin, "r");
    if (!f)
        return 0;
    while (fgets(zLigne, sizeof zLigne, f))
        if (sscanf(zLigne, "PPid: %ld", &iParent) == 1)
            break;
    fclose(f);
    return iParent;
}

/* 1 inside the test network: TAVLIN_TESTNET=1, and a network namespace other than the
 * machine's initial one (that of process 1; where that cannot be read, as in some
 * containers, that of the nearest ancestor in another namespace: tools/testnet.sh, which
 * made ours). Else 0 after saying why on standard error. */
static inline int ZorDansLeReseauDeTest(const char* zProgramme)
{
    char zNotre[64], zAutre[64];
    const char* zFlag = getenv("TAVLIN_TESTNET");
    const char* zPourquoi = NULL;
    if (!zFlag || strcmp(zFlag, "1") != 0) {
        zPourquoi = "TAVLIN_TESTNET is not 1";
    } else if (!ZorNamespaceReseau((long)getpid(), zNotre, sizeof zNotre)) {
        zPourquoi = "its network namespace cannot be read";
    } else if (ZorNamespaceReseau(1, zAutre, sizeof zAutre)) {
        if (strcmp(zNotre, zAutre) == 0)
            zPourquoi = "it is in the machine's initial network namespace";
    } else {
        zPourquoi = "no ancestor runs in another network namespace";
        long iPid = (long)getpid();
        for (int i = 0; i < 64 && iPid > 1; ++i) {
            iPid = ZorParent(iPid);
            if (iPid > 0 && ZorNamespaceReseau(iPid, zAutre, sizeof zAutre) &&
                strcmp(zNotre, zAutre) != 0) {
                zPourquoi = NULL;
                break;
            }
        }
    }
    if (!zPourquoi)
        return 1;
    fprintf(stderr,
            "%s: refused: it sends datagrams and must run inside the private test "
            "network (tools/testnet.sh, as ctest does): %s\n",
            zProgramme, zPourquoi);
    return 0;
}

#endif
