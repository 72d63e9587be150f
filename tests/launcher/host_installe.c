/* A host of the installed library, built as an integrator builds one (pkg-config, or a CMake
 * project with find_package): watches the device TAVLIN_EMU_MAC of the test network and sets
 * its outputs to 0x3C and relays 1 and 3 on, until the device shows them. */
#include "api/ZorTavlinApi.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(void)
{
    const char* mac = getenv("TAVLIN_EMU_MAC");
    const char* net = getenv("TAVLIN_TESTNET");
    if (!mac || !net || strcmp(net, "1") != 0) {
        fprintf(stderr, "host_installe: refused outside the test network\n");
        return 2;
    }
    const uint32_t voulu = (0x5u << 20) | (0x3Cu << 8); /* relays bits 20-23, outputs 8-15 */
    uint32_t io = 0;
    Tavlin_Start("host_installe", 0);
    Tavlin_SurveillerAddrMAC(mac);
    for (int i = 0; i < 400 && (io & 0x00F0FF00u) != voulu; ++i) {
        if (i % 10 == 0)
            SetIO32(0, voulu);
        usleep(50 * 1000);
        GetIO32(0, &io);
    }
    Tavlin_Stop();
    printf("host_installe: io 0x%08X\n", (unsigned)io);
    return (io & 0x00F0FF00u) == voulu ? 0 : 1;
}
