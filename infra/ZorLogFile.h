// The library's diagnostic log: one file per host program, in the user's documents folder.
#pragma once

#include "infra/ZorExport.h"

#include <wx/file.h>
#include <wx/string.h>

#include <mutex>

class ZOR_EXPORT ZorLogFile
{
public:
    ZorLogFile();
    virtual ~ZorLogFile();

    // Makes sure the log file is open; re-creates it (emptied) at the first line of a run.
    bool Open();
    // printf-style message; one line "date time\tmessage\r\n" in UTF-8, flushed at once.
    // Safe for concurrent callers: lines never interleave.
    void Write(const wxChar* format, ...);
    // The line Write stores for a message at a given moment (exposed for tests).
    static wxString FormatLine(const wxString& zDate, const wxString& zTime,
                               const wxString& zMessage);
    // Folder and full path of the log file of this process.
    static wxString GetDirectory();
    static wxString GetPath();

private:
    bool OpenLocked();

    wxFile m_file;
    std::recursive_mutex m_mutex;
};

extern ZOR_EXPORT ZorLogFile gTheLogFile;
