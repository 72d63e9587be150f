// A small JSON document builder for the command-line program's machine-readable output: values
// are built as a tree and written in one go, so an output is always one well-formed document.
// Texts are taken as UTF-8; every character outside printable ASCII is written as \uXXXX (with
// surrogate pairs beyond the basic plane), so the output is plain ASCII whatever the terminal or
// pipe expects. A byte sequence that is not valid UTF-8 becomes U+FFFD rather than broken JSON.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class ZorJson
{
public:
    ZorJson() = default; // null
    ZorJson(bool b) : m_type(BOOL), m_bool(b) {}
    ZorJson(int i) : m_type(NOMBRE), m_nombre(i) {}
    ZorJson(int64_t i) : m_type(NOMBRE), m_nombre(i) {}
    ZorJson(const char* s) : m_type(TEXTE), m_texte(s ? s : "") {}
    ZorJson(std::string s) : m_type(TEXTE), m_texte(std::move(s)) {}

    static ZorJson Objet()
    {
        ZorJson j;
        j.m_type = OBJET;
        return j;
    }
    static ZorJson Tableau()
    {
        ZorJson j;
        j.m_type = TABLEAU;
        return j;
    }

    // Adds a member (objects keep the order of insertion) or an element; returns *this.
    ZorJson& Ajouter(const std::string& zCle, ZorJson valeur);
    ZorJson& Ajouter(ZorJson valeur);
    // Adds every member of another object, in its order; returns *this.
    ZorJson& Fusionner(const ZorJson& objet);
    bool EstVide() const { return m_membres.empty(); }

    // The whole document on one line.
    std::string Texte() const;
    // A text as a JSON string literal, quotes included.
    static std::string Chaine(const std::string& zUtf8);
    // Well-formed UTF-8 without a NUL (what Chaine writes unchanged, escapes aside).
    static bool Utf8Valide(const std::string& z);

private:
    enum Type { NUL, BOOL, NOMBRE, TEXTE, TABLEAU, OBJET };
    void Ecrire(std::string& out) const;

    Type m_type = NUL;
    bool m_bool = false;
    int64_t m_nombre = 0;
    std::string m_texte;
    std::vector<std::pair<std::string, ZorJson>> m_membres; // keys empty in arrays
};
