// The tavlin program's verbs on the engine: one device manager started for the run, an event
// loop pumped while a verb waits, the results written as text or JSON.
#pragma once

#include "cli/ZorCliCommande.h"

#include <string>

// Runs the verb of o (the toolkit is up); the exit code.
int ZorCliExecuter(const ZorCliOptions& o);
// Reports an error: one French line on standard error and, with --json or --json-lines, an
// object {"error":{"code":C,"message":M}} on standard output. Returns iCode.
int ZorCliSortie(const ZorCliOptions& o, int iCode, const std::string& zMessage);
