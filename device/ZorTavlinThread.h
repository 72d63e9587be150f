// The worker thread (joinable, owned by the device manager): all HTTP traffic with devices. It
// sends queued commands first and otherwise polls the monitored device's state page, and
// publishes what that device answers. Each pass's choice is ZorChoisirRequete.
//
// Thread rules: Entry runs on the worker; it takes the library-wide lock only to choose a pass
// (reading the queue and the polling target) and to publish a state, never during a transfer.
// Created, run, stopped, joined and deleted on the main thread (LanceThread, ArretThread).
#pragma once

#include "device/ZorHttpGet.h"
#include "device/ZorTavlinEtat.h"
#include "device/ZorTavlinRecords.h"

#include <wx/datetime.h>
#include <wx/longlong.h>
#include <wx/thread.h>

#include <atomic>
#include <chrono>
#include <cstdint>

class ZorTavlinObj;

class ZorTavlinObj;

class ZorTavlinThread : public wxThread
{
public:
    // obj: the manager that starts it, which outlives it (Stop joins it first).
    explicit ZorTavlinThread(ZorTavlinObj& obj);
    virtual ~ZorTavlinThread();

    // Any thread: asks the loop to end and aborts the transfer in progress.
    void StopThread();
    // The loop has ended (Entry is returning).
    bool IsFini() const { return m_bFini.load(); }
    // Any thread: ends the worker's pause between passes now (a command was queued, or the
    // worker must stop). Kept when no worker is pausing, so the next pause ends at once.
    static void Reveiller();
    // Sleeps until fin (or iMs), or less when Reveiller is called meanwhile (or was since the
    // last pause); true when a wake-up ended it.
    static bool PauseJusqua(std::chrono::steady_clock::time_point fin);
    static bool Pause(int iMs);

    // How long the worker held the library-wide lock, for the benchmarks: off unless switched
    // on (then two clock reads per hold). Totals since the last Raz.
    struct MesureVerrou
    {
        std::atomic<bool> bActive{false};
        std::atomic<int64_t> iTotalNs{0};
        std::atomic<int64_t> iMaxNs{0};
        std::atomic<int64_t> iPrises{0};
        std::atomic<int64_t> iPolls{0}; // state pages fetched from the monitored device
        void Raz();
    };
    static MesureVerrou& Mesure();

    // Result codes of GetPage.
    enum {
        ZOR_PAGE_OK = 0,
        ZOR_PAGE_ECHEC = 1,
        ZOR_PAGE_VIDE = 2,
        ZOR_PAGE_ARGUMENT = 3,
    };

    // "&DATETIME=d;m;y;h;mi;s;" for a given moment (year - 2000, no leading zeros); empty from
    // the year 2100 on.
    static wxString DateTimeQuery(const wxDateTime& moment);
    // "?date=" and the high then the low half of a millisecond count, upper-case hexadecimal.
    static wxString DateSuffix(wxLongLong iMs);

protected:
    ExitCode Entry() override;

private:
    int GetPage(const wxString& zIPLocal, const wxString& zIP, const wxString& zPage,
                wxString* pzReply);
    bool FetchUrl(const wxString& zIPLocal, const wxString& zURL, wxString* pzReply);
    void Parse(ZorTavlinObj& obj, const wxString& zReply, const wxString& zIP);

    ZorTavlinObj& m_obj;
    std::atomic<bool> m_bStop;
    std::atomic<bool> m_bFini;
    ZorTavlinData m_data;
    wxString m_zIPDateTime;
    ZorHttpGet m_http;
    ZorEtatUART m_uart;
    // The command held during the board exchange (UART mode): sent at the exchange's last step.
    ZorTavlinCommande m_commandeTenue;
};

// The running worker, null when none runs. Set by LanceThread, cleared by ArretThread once the
// thread has been joined (both on the main thread).
extern std::atomic<ZorTavlinThread*> gpZorTavlinThread;
