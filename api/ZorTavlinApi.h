/* Flat C interface of the ZorTavlinDllCom library.
 *
 * For host programs that cannot use the exported classes. One Tavlin device is seen as a
 * single I/O card: interface 0, port 0 (bits 0-7 digital inputs, bits 8-15 digital outputs),
 * port 1 (carries nothing), four analog inputs, two analog outputs, the serial port (UART).
 *
 * Calling order:
 *   1. optionally Tavlin_SetPathDll;
 *   2. Tavlin_Start or Tavlin_StartPasWx (the I/O and analog calls start by themselves
 *      with the instance "default" when this step is left out);
 *   3. Tavlin_AfficherListe (the user picks) or Tavlin_SurveillerAddrMAC to choose the device
 *      (Tavlin_StartTS does steps 2 and 3 with the list), optionally
 *      Tavlin_SetDefaultTimeSurveillanceMs;
 *   4. I/O, analog and serial port calls;
 *   5. Tavlin_Stop before the library is unloaded (unloading also stops it).
 *
 * Hosting (for host authors)
 * ---------------------------
 * Two kinds of work go on behind this interface:
 *   - a worker thread of the library fetches the watched device's state page (every 50 ms,
 *     see Tavlin_SetDefaultTimeSurveillanceMs) and sends the queued commands at once. It needs
 *     nothing from the host: what GetIO32 and the other readers return is the last state it
 *     published, a few tens of milliseconds old at most while the device answers;
 *   - events on the thread that started the library: the discovery answers arriving on the
 *     UDP sockets (which give the watched device's address), the one-second presence timer
 *     (which probes silent devices and forgets those silent for too long) and the library's
 *     queued events. Until the watched device is discovered (or resumed from the last
 *     session by a start flag), no state is fetched and the values read 0.
 *
 * Who delivers those events:
 *   - A host with its own toolkit application and event loop (same toolkit build as the
 *     library): its loop does. Call this interface from that loop's thread only.
 *   - A host without one (plain C, a scripting language through its foreign function
 *     interface, a console service): the first Tavlin_Start (or the first I/O call) starts a
 *     toolkit for it on the calling thread, windowed when DISPLAY or WAYLAND_DISPLAY names a
 *     display, else a console one (headless: timers and sockets work, there is no window). It
 *     keeps the host's C locale, and its diagnostics go to standard error. The library runs no
 *     thread of its own for that loop: EVERY call of this interface first serves the pending
 *     events, for at most about 20 ms. Such a host must therefore call in regularly and from
 *     that same thread, every 50 to 100 ms (a GetIO32 in its own loop is enough) for as long
 *     as it wants devices discovered and kept present; calls from another thread serve
 *     nothing. Between calls nothing is lost: datagrams wait in the sockets, a late timer
 *     fires at the next call; but a host silent for seconds has discovery and presence
 *     checks done that much later.
 *   - Tavlin_StartPasWx, for hosts whose loop does not deliver socket events: as Tavlin_Start,
 *     and the presence timer also reads the discovery sockets itself at each tick.
 *
 * Tavlin_Stop first lets the commands given just before it reach the device (waiting at most
 * 1 s), then stops the worker, closes the sockets and, when the library started the toolkit,
 * ends it; a later Tavlin_Start starts everything again. Unloading the library (or process exit)
 * without Tavlin_Stop does the same stop. No call blocks for long: commands wait at most
 * about 5 s for room in a full command queue.
 *
 * Texts are 8-bit: incoming texts are taken byte for byte (ISO 8859-1). Outgoing texts are
 * converted to the code set of the process's C locale (LC_CTYPE: "C" unless the host, or a
 * toolkit of its own, set another; a toolkit the library starts leaves it as it was), whether
 * or not a windowed toolkit runs in the process. When the locale cannot hold the whole text,
 * the host gets its ISO 8859-1 bytes instead, with "?" for each character beyond them. They
 * are copied like strncpy: at most the given length, the rest filled with zero bytes, no
 * terminating zero when the text fills the buffer.
 *
 * Index arguments are taken as unsigned 16-bit values: the high half is ignored.
 * Results: 1 = done, or nothing to do (before a start, the calls that need the device manager
 * do nothing, except the I/O and analog calls, which start it). 0 = refused: an index out of
 * range or a null pointer, a null text for Tavlin_SurveillerAddrMAC, Tavlin_WriteUart or
 * Tavlin_SetPathDll, and Tavlin_SelectionnerUART when its choice was not kept; for
 * Tavlin_AfficherListe and Tavlin_StartTS, 0 also when no device was chosen. Calls that send a
 * command to the device report only that they were handled: a command that finds the queue
 * full for about 5 s is dropped, still with 1.
 *
 * Standard error: the library writes there only to say, once per problem, that its settings
 * file or its log file cannot be written (a read-only folder or file, a full disk, no home).
 */
#ifndef ZOR_TAVLIN_API_H
#define ZOR_TAVLIN_API_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(ZOR_STATIC)
#    define ZOR_CAPI
#  elif defined(ZOR_BUILDING_DLL)
#    define ZOR_CAPI __declspec(dllexport)
#  else
#    define ZOR_CAPI __declspec(dllimport)
#  endif
#  define ZOR_CALL __stdcall
#else
#  define ZOR_CAPI __attribute__((visibility("default")))
#  define ZOR_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Version of this interface: 100. */
ZOR_CAPI int ZOR_CALL GetDLLVersion(void);
/* Number of interfaces: 1. */
ZOR_CAPI int ZOR_CALL GetNumInterface(void);
/* 0x10000 for interface 0, else 0. */
ZOR_CAPI int ZOR_CALL GetInterfaceType(uint32_t iInterface);

/* Directions are fixed (port 0: 0xFF00, bits 8-15 outputs; port 1: 0). SetIODir only checks
 * its indexes. */
ZOR_CAPI int ZOR_CALL SetIODir(uint32_t iInterface, uint32_t iPort, uint32_t iDirection);
ZOR_CAPI int ZOR_CALL GetIODir(uint32_t iInterface, uint32_t iPort, uint16_t* pDirection);
/* Port 0: bits 8-15 of the value become the digital outputs. Port 1: nothing. */
ZOR_CAPI int ZOR_CALL SetIO(uint32_t iInterface, uint32_t iPort, uint32_t iValue);
/* Port 0: (outputs << 8) | inputs. Port 1: 0. */
ZOR_CAPI int ZOR_CALL GetIO(uint32_t iInterface, uint32_t iPort, uint16_t* pValue);

/* 32-bit form: bits 0-7 inputs, 8-15 outputs, 20-23 the four relays. */
ZOR_CAPI int ZOR_CALL SetIODir32(uint32_t iInterface, uint32_t iDirection);
ZOR_CAPI int ZOR_CALL GetIODir32(uint32_t iInterface, uint32_t* pDirection);
ZOR_CAPI int ZOR_CALL SetIO32(uint32_t iInterface, uint32_t iValue);
ZOR_CAPI int ZOR_CALL GetIO32(uint32_t iInterface, uint32_t* pValue);

/* Analog inputs 0-3 (the reading shifted right by 2), analog outputs 0-1 (0-255). */
ZOR_CAPI int ZOR_CALL GetAdc(uint32_t iInterface, uint32_t iChannel, uint16_t* pValue);
ZOR_CAPI int ZOR_CALL GetDac(uint32_t iInterface, uint32_t iChannel, uint16_t* pValue);
ZOR_CAPI int ZOR_CALL SetDac(uint32_t iInterface, uint32_t iChannel, uint32_t iValue);
/* Stores 1 for interface 0 (and returns 1), 0 otherwise. */
ZOR_CAPI int ZOR_CALL GetPowerStatus(uint32_t iInterface, uint32_t* pStatus);

/* Watches the device with this hardware address ("00-04-A3-12-34-56"). 0 for a null text. */
ZOR_CAPI int ZOR_CALL Tavlin_SurveillerAddrMAC(const char* zMAC);
/* The device list, in which the user picks a device (a modal window: it returns when the user
 * closes it). After a start; each non-null buffer receives, strncpy-like, the chosen device's
 * hardware address, address, name and comment, or only zero bytes when none was chosen.
 * 1 when a device was chosen, else 0. It needs a display: without one (a console toolkit) it
 * returns 0 at once, buffers zero-filled, as before any start. A device manager that exists but
 * is stopped (a host with its own toolkit, after Tavlin_Stop) gives 0 with the buffers as they
 * were. */
ZOR_CAPI int ZOR_CALL Tavlin_AfficherListe(char* zMAC, int iLongueurMAC, char* zIP, int iLongueurIP,
                                           char* zNom, int iLongueurNom, char* zCommentaire,
                                           int iLongueurCommentaire);
/* Starts with the instance "ProgrammeTS" (no resume of the last device), shows the device list
 * and watches the device the user chose there. 1 when a device was chosen, else 0. It needs a
 * display: without one it returns 0 at once and starts nothing. */
ZOR_CAPI int ZOR_CALL Tavlin_StartTS(void);
/* Starts the device manager with the instance name (null: "default"); a non-zero flag (low
 * 8 bits) resumes the device chosen last time in that instance. Always 1. */
ZOR_CAPI int ZOR_CALL Tavlin_Start(const char* zNom, int iFlag);
/* As Tavlin_Start; the library also reads its discovery sockets on its own timer. */
ZOR_CAPI int ZOR_CALL Tavlin_StartPasWx(const char* zNom, int iFlag);
ZOR_CAPI int ZOR_CALL Tavlin_Stop(void);
/* Folder in which the library looks for its pictures and update files. 0 for a null path. */
ZOR_CAPI int ZOR_CALL Tavlin_SetPathDll(const char* zPath);
ZOR_CAPI int ZOR_CALL Tavlin_SetDefaultTimeSurveillanceMs(int iMs);
ZOR_CAPI int ZOR_CALL Tavlin_SetAuto(int iValeur);

/* Serial port: text received by the device, text to send, clearing the device's buffer. The
 * text sent reaches the device's serial port byte for byte, whatever it holds ("&", "=", "%"...):
 * it travels percent-encoded and can never be read as a command of its own. */
ZOR_CAPI int ZOR_CALL Tavlin_ReadUart(char* zBuffer, int iLongueur);
ZOR_CAPI int ZOR_CALL Tavlin_WriteUart(const char* zTexte);
ZOR_CAPI int ZOR_CALL Tavlin_RazUart(void);
/* Selects (non-zero low 8 bits) the I/O board on the serial port for the next start, kept in
 * the instance's settings file. 1 when kept; 0 before a start (or after Tavlin_Stop), and
 * when the settings file cannot be written (a settings file made read-only is left as it is). */
ZOR_CAPI int ZOR_CALL Tavlin_SelectionnerUART(int iSelection);

#ifdef __cplusplus
}
#endif

#endif /* ZOR_TAVLIN_API_H */
