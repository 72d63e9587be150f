// The library's diagnostic log: one file per host program, in the user's documents folder.
#pragma once

#include "infra/ZorExport.h"

#include <wx/file.h>
#include <wx/string.h>

#include <mutex>
#include <string>

class ZOR_EXPORT ZorLogFile
{
public:
    ZorLogFile();
    virtual ~ZorLogFile();

    // Makes sure the log file is open; re-creates it (emptied) at the first line of a run. The
    // file stays locked while it is open: a run of the same program that starts meanwhile
    // writes its own file, numbered (GetPath(2), then 3...), instead of emptying this one.
    bool Open();
    // printf-style message with the toolkit's rules (%s takes a wxString or a wide string,
    // %d an int); one line "date time\tmessage\r\n" in UTF-8, handed to the system at once.
    // Safe for concurrent callers: lines never interleave.
    template <typename... Args> void Write(const wxFormatString& format, Args... args)
    {
        WriteLine(wxString::Format(format, args...));
    }
    // A message without arguments is written as it is: a "%" in an already formatted text
    // (a device comment, a URL) must not be read as a conversion.
    void Write(const wxString& zMessage);
    // A failure the user must learn about even when nobody reads the log (a settings file not
    // kept): written to the log when it works, and said once per process on standard error.
    void WriteFailure(const wxString& zMessage);
    // Writes zMessage on standard error (the C locale's encoding) unless it was said before.
    static void SayOnceOnStandardError(const wxString& zMessage);

    // The line Write stores for a message at a given moment (exposed for tests).
    static wxString FormatLine(const wxString& zDate, const wxString& zTime,
                               const wxString& zMessage);
    // UTF-8 bytes of a text; characters that have no UTF-8 form become U+FFFD.
    static std::string ToUtf8(const wxString& z);
    // Folder and full path of the log file of this program: "ZorTavlin_<program>.log", or for
    // iRang > 1 the file of a run that found the lower ranks in use, "ZorTavlin_<program>.<iRang>.log".
    static wxString GetDirectory();
    static wxString GetPath(int iRang = 1);
    // The file this object writes to; empty while it is closed.
    wxString GetCheminOuvert();
    // How many runs of one program at once get a log file each.
    static constexpr int kJournauxMax = 99;

private:
    void WriteLine(const wxString& zMessage);
    bool OpenLocked();
    // Says on standard error that the log cannot be written, with the system's reason.
    void ReportLogFailure(const wxString& zPath, int iErrno);

    wxFile m_file;
    wxString m_zChemin;
    std::recursive_mutex m_mutex;
    // Set by the destructor: a line written during the library's unload after that is dropped
    // instead of re-creating (and so emptying) the file.
    bool m_bDetruit = false;
};

extern ZOR_EXPORT ZorLogFile gTheLogFile;
