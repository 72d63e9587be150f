/* A plain C host (no toolkit of its own) that lets the user pick a device in the list: the
 * library shows its dialog on the display it starts, and a person's clicks come from
 * liste-clics.sh (xdotool), started in the background before each call.
 *
 *   host_liste CLICKS_SCRIPT PICTURES_FOLDER
 *   host_liste --sans-affichage
 *
 * First the list is cancelled (0, every buffer zero-filled), then the emulated device is
 * chosen (1, its address, IP, name and comment), then Tavlin_StartTS chooses it again.
 * Exit code 0 when every check passed. */
#include "api/ZorTavlinApi.h"
#include "tests/common/ZorTestNetGuard.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int gEchecs = 0;

#define VERIFIER(cond, ...)                                                                        \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "host_liste: " __VA_ARGS__);                                                 \
      fputc('\n', stderr);                                                                         \
      ++gEchecs;                                                                                   \
    }                                                                                              \
  } while (0)

/* The clicks of one dialog, in the background: "choisir" or "annuler". */
static void Cliquer(const char* script, const char* action)
{
    char commande[1024];
    snprintf(commande, sizeof commande, "'%s' %s &", script, action);
    VERIFIER(system(commande) == 0, "cannot start %s", script);
}

static int ToutAZero(const char* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return 0;
    return 1;
}

int main(int argc, char** argv)
{
    if (!ZorDansLeReseauDeTest("host_liste"))
        return 4;
    const char* mac = getenv("TAVLIN_EMU_MAC");
    const char* ip = getenv("TAVLIN_EMU_IP");
    if (argc == 2 && strcmp(argv[1], "--sans-affichage") == 0) {
        /* No display: both calls refuse at once, Tavlin_StartTS without starting anything. */
        char zTexte[8];
        memset(zTexte, 'x', sizeof zTexte);
        VERIFIER(Tavlin_StartTS() == 0, "Tavlin_StartTS without a display: 1");
        VERIFIER(Tavlin_Stop() == 1, "Tavlin_Stop");
        Tavlin_Start("liste", 0);
        VERIFIER(Tavlin_AfficherListe(zTexte, sizeof zTexte, NULL, 0, NULL, 0, NULL, 0) == 0,
                 "Tavlin_AfficherListe without a display: 1");
        VERIFIER(ToutAZero(zTexte, sizeof zTexte), "buffer not zero-filled");
        Tavlin_Stop();
        if (gEchecs == 0)
            printf("host_liste: all checks passed\n");
        return gEchecs == 0 ? 0 : 1;
    }
    if (argc != 3 || !mac || !ip) {
        fprintf(stderr, "usage (through with-emu.sh): host_liste CLICKS_SCRIPT PICTURES_FOLDER\n");
        return 2;
    }
    Tavlin_SetPathDll(argv[2]);
    Tavlin_Start("liste", 0);

    char zMAC[24], zIP[20], zNom[40], zCommentaire[40];
    memset(zMAC, 'x', sizeof zMAC);
    memset(zIP, 'x', sizeof zIP);
    memset(zNom, 'x', sizeof zNom);
    memset(zCommentaire, 'x', sizeof zCommentaire);
    Cliquer(argv[1], "annuler");
    VERIFIER(Tavlin_AfficherListe(zMAC, sizeof zMAC, zIP, sizeof zIP, zNom, sizeof zNom,
                                  zCommentaire, sizeof zCommentaire) == 0,
             "cancelled list: 1");
    VERIFIER(ToutAZero(zMAC, sizeof zMAC) && ToutAZero(zIP, sizeof zIP) &&
                 ToutAZero(zNom, sizeof zNom) && ToutAZero(zCommentaire, sizeof zCommentaire),
             "cancelled list: a buffer not zero-filled");

    Cliquer(argv[1], "choisir");
    VERIFIER(Tavlin_AfficherListe(zMAC, sizeof zMAC, zIP, sizeof zIP, zNom, sizeof zNom,
                                  zCommentaire, sizeof zCommentaire) == 1,
             "chosen device: 0");
    VERIFIER(strcmp(zMAC, mac) == 0, "MAC [%.24s], want [%s]", zMAC, mac);
    VERIFIER(strcmp(zIP, ip) == 0, "IP [%.20s], want [%s]", zIP, ip);
    VERIFIER(strcmp(zNom, "hote") == 0, "name [%.40s]", zNom);
    VERIFIER(strcmp(zCommentaire, "essai") == 0, "comment [%.40s]", zCommentaire);
    /* A buffer too short for its text gets the text's beginning, without a terminator. */
    char zCourt[4];
    Cliquer(argv[1], "choisir");
    VERIFIER(Tavlin_AfficherListe(NULL, 0, NULL, 0, zCourt, sizeof zCourt, NULL, 0) == 1,
             "chosen device with a short buffer: 0");
    VERIFIER(memcmp(zCourt, "hote", 4) == 0, "short buffer [%.4s]", zCourt);

    Cliquer(argv[1], "choisir");
    VERIFIER(Tavlin_StartTS() == 1, "Tavlin_StartTS: 0");
    /* The chosen device is the watched one: its inputs arrive (each call serves events). */
    const char* zEnum = getenv("TAVLIN_EXPECT_ENUM");
    const uint32_t iEnum = zEnum ? (uint32_t)strtoul(zEnum, NULL, 0) : 0;
    uint32_t v32 = 0;
    for (int i = 0; i < 100 && (v32 & 0xFF) != iEnum; ++i) {
        GetIO32(0, &v32);
        usleep(50 * 1000);
    }
    VERIFIER((v32 & 0xFF) == iEnum, "inputs of the watched device 0x%02X, want 0x%02X",
             (unsigned)(v32 & 0xFF), (unsigned)iEnum);
    Tavlin_Stop();
    if (gEchecs == 0)
        printf("host_liste: all checks passed\n");
    return gEchecs == 0 ? 0 : 1;
}
