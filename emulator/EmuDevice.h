// One emulated device: its identity, network settings and I/O state, the texts it sends
// (discovery answer, state pages) and the commands it applies. No sockets here: the server
// (EmuServer) owns the sockets and calls these functions under its lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

enum class AnswerMode { Broadcast, Unicast };

// Limits of the device's stored texts (bytes). The discovery answer must stay below 1024 bytes.
constexpr size_t kMaxName = 32;
constexpr size_t kMaxComment = 64;
constexpr size_t kMaxLogin = 32;
constexpr size_t kMaxPassword = 32;
constexpr size_t kMaxVersion = 32;
constexpr size_t kMaxUart = 255;   // serial receive buffer
constexpr size_t kMaxMemory = 255; // flash and EEPROM record text
constexpr int kBlinkMs = 5000;
constexpr int kAnalogMax = 4095; // 12-bit analog inputs
constexpr int kAutoMax = 999;
constexpr int kPrograms = 8; // program slots of the automate

struct Device
{
    int index = 0;

    // Identity and network. Texts are 8-bit (Latin-1), as the device stores them.
    uint32_t ip = 0;
    int prefix = 24;
    uint32_t gateway = 0;
    bool dhcp = false;
    std::string mac; // "02-54-56-4D-0A-00"
    std::string name, comment, login, password;
    std::string version; // empty: 8-line discovery answer, state page "1"
    std::string type = "IO8R4";
    std::string accessCode = "Wd3kPv";
    AnswerMode answer = AnswerMode::Broadcast;
    bool master = false;

    // Behaviour switches (control socket and options).
    bool silent = false;
    int64_t silentAtMs = -1; // monotonic time from which hellos get no answer
    bool http = true;
    int httpDelayMs = 0;
    bool uartBoard = false;    // an I/O board answers on the serial line
    bool animate = false;      // inputs move by themselves
    int64_t rebootUntilMs = 0; // monotonic end of a restart

    // I/O.
    unsigned relais = 0;       // 4 relays, bit 3 first on the page
    unsigned snum = 0;         // 8 digital outputs
    unsigned ena = 0;          // 8 digital inputs
    int sana[2] = {0, 0};      // analog outputs 0..255
    int ana[4] = {0, 0, 0, 0}; // analog inputs 0..4095
    bool bouton = false;
    unsigned boardDir = 0xFF00; // direction word last written to the I/O board
    std::string uart;           // text received on the serial line
    std::string uartTx;         // text written to the serial line (latest last)

    // Internal program, acquisition, memories.
    int autoState = 0;
    bool pause = false;
    unsigned programs = 0x03;  // bit i: program slot i + 1 is loaded
    unsigned memAutomate = 12; // records in the automate's memory
    std::string inscription;
    std::string acqParams; // empty: no acquisition running
    int64_t acqSinceMs = 0;
    unsigned acqStored = 0; // records before the running acquisition
    std::string flash, eeprom;

    // Clock: device time = PC local time + offset; unset clocks read 00/00/2000_00:00:00.
    bool clockSet = true;
    int64_t clockOffsetS = 0;
    int64_t blinkUntilMs = 0;

    // Sections of the state page shown on request.
    bool showFab = false, showEmail = false, showFlash = false, showEeprom = false;
    std::string idFab, dateTimeFab = "12/01/2012_10:30:00", bancFab = "01", serieFab = "01";
    std::string smtpServer, smtpPort, smtpLogin, smtpPwd, smtpSsl = "0";
    std::string user5v = "1";

    std::string lastError;
    uint64_t requests = 0, hellos = 0, answers = 0;

    // Bootloader: a restarting device listens to the bootloader group until rebootUntilMs,
    // and once captured until the end request or bootIdleUntilMs (no request for a while).
    bool bootCaptured = false;
    int64_t bootIdleUntilMs = 0;
    std::string bootRecords; // the records of the running upload, 24 bytes each
    int bootNotReady = 0;    // knob: "not ready" answers to the first captures
    int bootNotReadyLeft = 0;
    int bootDropRecord = 0; // knob: record n (from 1) gets no answer the first time
    bool bootDropped = false;
    int bootStatusRecord = 0; // knob: record n is answered with bootStatus
    unsigned bootStatus = 0;
    std::string nextVersion;   // knob: version after an upload (else the number + 1)
    int bootReturnMs = 0;      // knob: the restart after an upload lasts this long
    uint32_t bootReturnIp = 0; // knob: the next upload brings the device back at this
    int bootReturnPrefix = 24; //   address (its settings reset by the image); 0: none
    std::string bootImage;     // image stored by the last complete upload
    uint64_t bootUploads = 0;

    // Web-server image posted to /mpfsupload.
    std::string webImage, webName;
    uint64_t webUploads = 0;
    std::string uploadFault; // knob: how the upload page fails (empty: it does not)
    size_t uploadMax = 0;    // knob: a longer body is refused with 413 (0: the
                             //   server's own bound)
};

// What a command asks of the server beyond the device record.
struct Effects
{
    bool move = false; // change the device's address (after the reply)
    uint32_t ip = 0;
    int prefix = 24;
    uint32_t gateway = 0;
    bool dhcp = false;
    bool reboot = false;            // restart after the reply
    std::vector<std::string> notes; // one line per refused command
};

// A host address a device may take: not 0, loopback, multicast or reserved, nor the network or
// broadcast address of its subnet.
bool UsableHost(uint32_t ip, int prefix);
bool Rebooting(const Device& d, int64_t monoMs);
// Hellos get no answer: switched off, or the silence set at start has begun.
bool Silent(const Device& d, int64_t monoMs);
// Restart: outputs, blink and the serial buffers go back to their power-on values.
void PowerOn(Device& d, int64_t monoMs, int rebootMs);

// The discovery answer: type, name, MAC, comment, login, password, mask and gateway in
// hexadecimal, DHCP flag and, when the device has one, its version; CR LF after each line.
std::string AnswerText(const Device& d, char type);

// Applies the parameters of a query string ("a=1&B=2&C"), in order.
Effects ApplyQuery(Device& d, const std::string& query, int64_t monoMs);

// The key=value state page of one of the pages "etat.htm", "etatautomate.htm",
// "etatenregistrement.htm"; notes are added as comment lines.
std::string StatePage(const Device& d, const std::string& page, int64_t monoMs,
                      const std::vector<std::string>& notes);
// The human page served at "/" and "/index.htm" (UTF-8 HTML).
std::string IndexPage(const Device& d, int64_t monoMs);
bool IsStatePage(const std::string& page);

// Control socket fields. GetField gives the value as text (UTF-8 for names); SetField returns
// an error text, empty on success. "ip" is the server's (it changes the interface).
bool GetField(const Device& d, const std::string& key, int64_t monoMs, std::string* out);
std::string SetField(Device& d, const std::string& key, const std::string& value, int64_t monoMs);

// Current inputs (animated ones move with the clock).
unsigned Inputs(const Device& d, int64_t monoMs);
int AnalogInput(const Device& d, int i, int64_t monoMs);
bool Button(const Device& d, int64_t monoMs);
std::string ClockText(const Device& d);

} // namespace emu
