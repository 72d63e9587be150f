// Small key=value settings files, kept in memory as a string map.
#pragma once

#include "infra/ZorExport.h"

#include <wx/hashmap.h>
#include <wx/string.h>

#include <functional>

WX_DECLARE_STRING_HASH_MAP_WITH_DECL(wxString, ZorStringMap, class ZOR_EXPORT);

class ZOR_EXPORT ZorConfiguration
{
public:
    ZorConfiguration();
    ZorConfiguration(const ZorConfiguration& other);
    ZorConfiguration& operator=(const ZorConfiguration& other);
    virtual ~ZorConfiguration();

    // Remembers folder and file, merges the file's lines into the map; true when the file was read.
    bool Load(const wxString& zDirectory, const wxString& zFile);
    // Before any Load: leaves zValue untouched; after: the stored value or an empty string.
    void Read(const wxString& zKey, wxString& zValue) const;
    // 0 unless loaded and the whole value is a decimal integer within the int range.
    int ReadInt(const wxString& zKey) const;
    // Sets the key and rewrites the whole file (atomically: the file holds the old or the new text).
    // A key or value the file format cannot carry (see IsStorable) is refused: false, map unchanged.
    // False also when the file was not written (folder or file not writable, disk full, a file
    // the user made read-only, which is left as it is); the value then stays in the map only,
    // and the failure is logged and said once on standard error.
    // Other programs of the user may write the same file at the same time: the file is re-read
    // under a lock they all take, this one key is set in what it holds now, and the result
    // replaces it, so no program loses another's keys.
    bool Write(const wxString& zKey, const wxString& zValue);
    // Write of a value computed from the one the file holds at that moment (under the same lock),
    // for a change that must not undo another program's change of the same key (a list).
    bool Update(const wxString& zKey,
                const std::function<wxString(const wxString& zActuel)>& calcul);

    // Applies the file format's line rules to a whole text (exposed for tests and fuzzing).
    static void ParseText(const wxString& zText, ZorStringMap& map);
    // The text Write stores: one "key=value\r\n" line per entry.
    static wxString FormatText(const ZorStringMap& map);
    // False when writing the pair would change other entries or lose it at the next Load:
    // a line break anywhere, a "=" in the key or the value, or a key beginning with ";".
    static bool IsStorable(const wxString& zKey, const wxString& zValue);

    bool IsLoaded() const { return m_bLoaded; }
    const ZorStringMap& GetMap() const { return m_map; }

    // Language of the firmware-update wait texts: 0 French (default), 1 English.
    static int iZorLangue;

private:
    static void CleanSpaceString(wxString& z);
    wxString GetPath() const;

    bool m_bLoaded;
    ZorStringMap m_map;
    wxString m_zDirectory;
    wxString m_zFile;
};
