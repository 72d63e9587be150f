// How the library shares the toolkit with its host (see the flat C interface).
#pragma once

// The host has its own toolkit application: the library never starts or stops the toolkit.
extern bool gbAppHote;
// The library started the toolkit itself for a host without one; nobody else pumps events,
// so the surveillance timer also drains the discovery sockets.
extern bool gbPasWx;
