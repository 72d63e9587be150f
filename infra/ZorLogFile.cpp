#include "infra/ZorLogFile.h"

#include "infra/ZorUtile.h"
#include "platform/ZorPlatformVerrou.h"

#include <wx/datetime.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
#include <wx/strconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

// Built before the library's other objects and so destroyed after them: the library's load and
// unload hooks write to it, and the order between files is otherwise unspecified.
#if defined(__GNUC__)
ZorLogFile gTheLogFile __attribute__((init_priority(101)));
#else
ZorLogFile gTheLogFile;
#endif

ZorLogFile::ZorLogFile() {}

ZorLogFile::~ZorLogFile()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_bDetruit = true;
    if (m_file.IsOpened())
        m_file.Close();
}

wxString ZorLogFile::GetDirectory()
{
    wxString dir = wxStandardPaths::Get().GetDocumentsDir();
    ZorUtile::SmartAppendBackslash(dir);
    return dir + wxT("Tavlin");
}

wxString ZorLogFile::GetPath(int iRang)
{
    wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
    wxString zNom = wxT("ZorTavlin_") + exe.GetName();
    if (iRang > 1)
        zNom << wxT('.') << iRang;
    return wxFileName(GetDirectory(), zNom, wxT("log")).GetFullPath();
}

wxString ZorLogFile::GetCheminOuvert()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_file.IsOpened() ? m_zChemin : wxString();
}

bool ZorLogFile::Open()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return OpenLocked();
}

bool ZorLogFile::OpenLocked()
{
    if (m_file.IsOpened())
        return true;
    if (m_bDetruit)
        return false;
    wxString dir = GetDirectory();
    if (!wxDirExists(dir) && !wxMkdir(dir, 0777)) {
        ReportLogFailure(dir, errno);
        return false;
    }
    // The first file no other run holds is emptied and kept locked while it is open: a run never
    // empties the log of a run that is still going.
    for (int iRang = 1; iRang <= kJournauxMax; ++iRang) {
        const wxString path = GetPath(iRang);
        bool bOccupe = false;
        int iErreur = 0;
        const int fd = ZorPlatform::OuvrirFichierExclusif(path.utf8_string(), &bOccupe, &iErreur);
        if (fd >= 0) {
            m_file.Attach(fd);
            m_zChemin = path;
            return true;
        }
        if (!bOccupe) {
            ReportLogFailure(path, iErreur);
            return false;
        }
    }
    ReportLogFailure(GetPath(kJournauxMax), EWOULDBLOCK);
    return false;
}

void ZorLogFile::ReportLogFailure(const wxString& zPath, int iErrno)
{
    SayOnceOnStandardError(
        wxString::Format(wxT("Tavlin : le journal %s ne peut pas être écrit (%s)."), zPath,
                         wxString(std::strerror(iErrno))));
}

void ZorLogFile::SayOnceOnStandardError(const wxString& zMessage)
{
    static std::mutex mutex;
    static std::set<wxString> said;
    std::lock_guard<std::mutex> lock(mutex);
    if (!said.insert(zMessage).second)
        return;
    const wxCharBuffer local = zMessage.mb_str(wxConvLibc);
    const std::string bytes = local.data() && local.length() > 0
                                  ? std::string(local.data(), local.length())
                                  : ToUtf8(zMessage);
    std::fprintf(stderr, "%s\n", bytes.c_str());
    std::fflush(stderr);
}

void ZorLogFile::WriteFailure(const wxString& zMessage)
{
    WriteLine(zMessage);
    SayOnceOnStandardError(zMessage);
}

wxString ZorLogFile::FormatLine(const wxString& zDate, const wxString& zTime,
                                const wxString& zMessage)
{
    wxString line;
    line << zDate << wxT(' ') << zTime << wxT('\t') << zMessage << wxT("\r\n");
    return line;
}

std::string ZorLogFile::ToUtf8(const wxString& z)
{
    std::string out;
    out.reserve(z.length() + 16);
    for (wxString::const_iterator it = z.begin(); it != z.end(); ++it) {
        wxUint32 c = wxUint32((*it).GetValue());
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void ZorLogFile::Write(const wxString& zMessage)
{
    WriteLine(zMessage);
}

void ZorLogFile::WriteLine(const wxString& zMessage)
{
    // The toolkit must not turn a file error into a message box or a log line of its own.
    wxLogNull noLog;
    // One lock around open, time stamp and write: no line is cut by another thread's line,
    // the file is created once, and lines stay in time order.
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!OpenLocked())
        return;
    wxDateTime now = wxDateTime::Now();
    std::string bytes = ToUtf8(FormatLine(now.FormatISODate(), now.FormatISOTime(), zMessage));
    // One system write per line: the line is in the file even if the host dies right after.
    if (m_file.Write(bytes.data(), bytes.size()) != bytes.size())
        ReportLogFailure(m_zChemin, errno);
}
