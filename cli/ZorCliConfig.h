// The config verb: a device customised from the command line.
#pragma once

#include "cli/ZorCliCommande.h"

class ZorTavlinObj;

// Runs "config" (the device manager started); the exit code.
int ZorCliConfig(const ZorCliOptions& o, ZorTavlinObj& tavlin);
