#include "infra/ZorConfiguration.h"

#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"
#include "platform/ZorPlatformVerrou.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <climits>
#include <cstdio>

int ZorConfiguration::iZorLangue = 0;

namespace {

// A settings file is a few lines; anything far larger is not ours and is not read into memory.
const wxFileOffset kMaxFileSize = 16 * 1024 * 1024;
// How long a write waits for another program that rewrites the same file: far more than a
// rewrite takes, short enough for a window not to seem frozen when that program hangs.
const int kAttenteVerrouMs = 3000;

bool IsSpace(wxUniChar c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Applies one line (no line break inside, not empty) to the map.
void ApplyLine(wxString line, ZorStringMap& map, void (*clean)(wxString&))
{
    if (line[0] == ';')
        return;
    size_t end = line.length();
    while (end > 0 && line[end - 1] == '=')
        --end;
    line.Truncate(end);
    size_t cut = line.find('=');
    if (cut == wxString::npos || line.find('=', cut + 1) != wxString::npos)
        return;
    wxString key = line.substr(0, cut);
    wxString value = line.substr(cut + 1);
    clean(key);
    clean(value);
    map[key] = value;
}

bool ReadWholeFile(const wxString& zPath, wxString& zText)
{
    wxFile file;
    if (!file.Open(zPath, wxFile::read))
        return false;
    wxFileOffset size = file.Length();
    if (size < 0 || size > kMaxFileSize)
        return false;
    std::string bytes(size_t(size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = file.Read(&bytes[got], bytes.size() - got);
        if (n == wxInvalidOffset)
            return false;
        if (n == 0)
            break;
        got += size_t(n);
    }
    bytes.resize(got);
    file.Close();
    // Editors on some systems put a byte order mark in front; it is not part of the first key.
    size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (start == bytes.size()) {
        zText.clear();
        return true;
    }
    zText = wxString(bytes.data() + start, wxConvUTF8, bytes.size() - start);
    return !zText.empty();
}

// Logs a failed Write (zFormat with the path) and says it once on standard error; false.
bool Failure(const wxString& zFormat, const wxString& zPath)
{
    // The value stays in the map, but the user must learn that it will not survive the run.
    gTheLogFile.WriteFailure(wxString::Format(zFormat, zPath));
    return false;
}

// A pair the file format cannot carry: logged, nothing changed; false.
bool Refuse(const wxString& zPath)
{
    gTheLogFile.Write(wxT("Tavlin : Clé ou valeur refusée pour le fichier %s"), zPath);
    return false;
}

} // namespace

ZorConfiguration::ZorConfiguration() : m_bLoaded(false) {}

// Out of line so that the exported class keeps these symbols.
ZorConfiguration::ZorConfiguration(const ZorConfiguration& other) = default;
ZorConfiguration& ZorConfiguration::operator=(const ZorConfiguration& other) = default;
ZorConfiguration::~ZorConfiguration() = default;

void ZorConfiguration::CleanSpaceString(wxString& z)
{
    size_t end = z.length();
    while (end > 0 && IsSpace(z[end - 1]))
        --end;
    z.Truncate(end);
    size_t start = 0;
    while (start < z.length() && IsSpace(z[start]))
        ++start;
    z.erase(0, start);
}

void ZorConfiguration::ParseText(const wxString& zText, ZorStringMap& map)
{
    size_t start = 0;
    const size_t len = zText.length();
    while (start < len) {
        size_t end = start;
        while (end < len && zText[end] != '\r' && zText[end] != '\n')
            ++end;
        if (end > start)
            ApplyLine(zText.substr(start, end - start), map, &CleanSpaceString);
        start = end + 1;
    }
}

wxString ZorConfiguration::FormatText(const ZorStringMap& map)
{
    // Joined rather than printf-formatted: "%s" would cut a text at an embedded NUL.
    wxString text;
    for (ZorStringMap::const_iterator it = map.begin(); it != map.end(); ++it)
        text << it->first << wxT('=') << it->second << wxT("\r\n");
    return text;
}

bool ZorConfiguration::IsStorable(const wxString& zKey, const wxString& zValue)
{
    for (const wxString* z : {&zKey, &zValue})
        if (z->find_first_of(wxT("\r\n=")) != wxString::npos)
            return false;
    return zKey.empty() || zKey[0] != ';';
}

wxString ZorConfiguration::GetPath() const
{
    wxString path = m_zDirectory;
    ZorUtile::SmartAppendBackslash(path);
    return path + m_zFile;
}

bool ZorConfiguration::Load(const wxString& zDirectory, const wxString& zFile)
{
    gTheLogFile.Write(wxT("ZorConfiguration::Load DEBUT [%s] [%s]"), zDirectory, zFile);
    m_zDirectory = zDirectory;
    m_zFile = zFile;
    bool bResult = true;
    wxString path = GetPath();
    if (!wxFileName::FileExists(path)) {
        bResult = false;
    } else {
        wxLogNull noLog;
        wxString text;
        if (!ReadWholeFile(path, text)) {
            gTheLogFile.Write(wxT("Erreur de lecture du fichier de configuration."));
            bResult = false;
        } else {
            ParseText(text, m_map);
        }
    }
    gTheLogFile.Write(wxT("ZorConfiguration::Load FIN"));
    m_bLoaded = true;
    return bResult;
}

void ZorConfiguration::Read(const wxString& zKey, wxString& zValue) const
{
    if (!m_bLoaded)
        return;
    ZorStringMap::const_iterator it = m_map.find(zKey);
    if (it == m_map.end())
        zValue.clear();
    else
        zValue = it->second;
}

int ZorConfiguration::ReadInt(const wxString& zKey) const
{
    if (!m_bLoaded)
        return 0;
    ZorStringMap::const_iterator it = m_map.find(zKey);
    long value = 0;
    if (it == m_map.end() || !it->second.ToLong(&value, 10))
        return 0;
    if (value < long(INT_MIN) || value > long(INT_MAX))
        return 0;
    return int(value);
}

bool ZorConfiguration::Write(const wxString& zKey, const wxString& zValue)
{
    if (!IsStorable(zKey, zValue))
        return Refuse(GetPath());
    return Update(zKey, [&zValue](const wxString&) { return zValue; });
}

bool ZorConfiguration::Update(const wxString& zKey,
                              const std::function<wxString(const wxString& zActuel)>& calcul)
{
    wxString path = GetPath();
    wxLogNull noLog;
    const bool bDossier = wxDirExists(m_zDirectory) || wxMkdir(m_zDirectory, 0777);

    // Every program of the user rewrites this file under the same lock, after reading it again:
    // two programs changing it at once both keep their keys.
    ZorPlatform::VerrouFichier verrou;
    bool bOccupe = false;
    const bool bVerrou = bDossier && verrou.Prendre(path.utf8_string() + ".lock", kAttenteVerrouMs,
                                                    &bOccupe, nullptr);
    ZorStringMap fichier;
    wxString text;
    if (!bVerrou || !wxFileName::FileExists(path))
        fichier = bVerrou ? ZorStringMap() : m_map;
    else if (ReadWholeFile(path, text))
        ParseText(text, fichier);
    else
        fichier = m_map; // not readable as ours: what this program knows is all there is
    ZorStringMap::const_iterator actuel = fichier.find(zKey);
    const wxString zValue = calcul(actuel == fichier.end() ? wxString() : actuel->second);
    if (!IsStorable(zKey, zValue))
        return Refuse(path);
    fichier[zKey] = zValue;
    for (ZorStringMap::const_iterator it = fichier.begin(); it != fichier.end(); ++it)
        m_map[it->first] = it->second;

    if (!bDossier)
        return Failure(
            wxT("Tavlin : Une erreur est survenue lors de la création du répertoire %s."),
            m_zDirectory);
    if (bOccupe)
        return Failure(wxT("Tavlin : Le fichier %s reste occupé par un autre programme."), path);
    if (!bVerrou)
        return Failure(wxT("Tavlin :  Erreur d'ouverture du fichier %s"), path);

    // A file the user made read-only says "do not change it": the rename below would replace
    // it all the same, so it is left as it is.
    if (ZorPlatform::FichierEnLectureSeule(path.utf8_string(), nullptr))
        return Failure(wxT("Tavlin : Le fichier %s est en lecture seule ; il est laissé tel quel."),
                       path);

    // The new text goes to a fresh file beside the old one, reaches the disk, and only then
    // replaces the old file in one rename: a crash or a full disk never leaves half a file.
    wxFile tmp;
    wxString tmpPath = wxFileName::CreateTempFileName(path + wxT("."), &tmp);
    if (tmpPath.empty() || !tmp.IsOpened())
        return Failure(wxT("Tavlin :  Erreur d'ouverture du fichier %s"), path);
    std::string bytes = ZorLogFile::ToUtf8(FormatText(fichier));
    bool ok = tmp.Write(bytes.data(), bytes.size()) == bytes.size() && tmp.Flush();
    ok = tmp.Close() && ok;
    ok = ok && ZorPlatform::RemplacerFichier(tmpPath.utf8_string(), path.utf8_string());
    if (!ok) {
        wxRemoveFile(tmpPath);
        return Failure(wxT("Tavlin : Erreur d'écriture dans le fichier %s"), path);
    }
    return true;
}
