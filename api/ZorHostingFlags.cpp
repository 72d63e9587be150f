#include "api/ZorHosting.h"

bool gbAppHote = true;
bool gbPasWx = false;
