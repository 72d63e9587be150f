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
 *   3. Tavlin_SurveillerAddrMAC to choose the device, optionally
 *      Tavlin_SetDefaultTimeSurveillanceMs;
 *   4. I/O, analog and serial port calls;
 *   5. Tavlin_Stop before the library is unloaded (unloading also stops it).
 *
 * Every call must come from the thread that started the library. A host without a toolkit
 * application of its own gets one run by the library: its timers and sockets are served
 * inside each call of this interface, so such a host should call in (for instance GetIO32)
 * regularly, every 50 to 100 ms, while it wants devices discovered and watched.
 *
 * Texts are 8-bit: incoming texts are taken byte for byte (ISO 8859-1); outgoing texts are
 * converted to the current C locale's encoding (bytes ISO 8859-1 when the locale cannot hold
 * them) and copied like strncpy: at most the given length, the rest filled with zero bytes, no
 * terminating zero when the text fills the buffer.
 *
 * Index arguments are taken as unsigned 16-bit values: the high half is ignored.
 * Results: 1 = done (or nothing to do), 0 = refused (bad index, null pointer, not started).
 */
#ifndef ZOR_TAVLIN_API_H
#define ZOR_TAVLIN_API_H

#include <stdint.h>

#if defined(_WIN32)
#  ifdef ZOR_BUILDING_DLL
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

/* Serial port: text received by the device, text to send, clearing the device's buffer. */
ZOR_CAPI int ZOR_CALL Tavlin_ReadUart(char* zBuffer, int iLongueur);
ZOR_CAPI int ZOR_CALL Tavlin_WriteUart(const char* zTexte);
ZOR_CAPI int ZOR_CALL Tavlin_RazUart(void);
/* Selects (non-zero low 8 bits) the I/O board on the serial port for the next start.
 * 0 when the device manager exists but is not started. */
ZOR_CAPI int ZOR_CALL Tavlin_SelectionnerUART(int iSelection);

#ifdef __cplusplus
}
#endif

#endif /* ZOR_TAVLIN_API_H */
