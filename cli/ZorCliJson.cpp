#include "cli/ZorCliJson.h"

#include <cstdio>

namespace {

// Decodes one UTF-8 character at s[i]; advances i. Overlong forms, surrogates, values past
// U+10FFFF and truncated sequences give U+FFFD and consume one byte, so decoding always moves on.
uint32_t LireCaractere(const std::string& s, size_t& i)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int iSuite = 0;
    uint32_t cp = 0, minimum = 0;
    if (c < 0x80) {
        ++i;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        iSuite = 1, cp = c & 0x1F, minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        iSuite = 2, cp = c & 0x0F, minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        iSuite = 3, cp = c & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + iSuite >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= iSuite; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += iSuite + 1;
    return cp;
}

void EcrireU(std::string& out, uint32_t u)
{
    char buf[16]; // room for any value, though only 16-bit ones are written
    std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(u));
    out += buf;
}

} // namespace

bool ZorJson::Utf8Valide(const std::string& z)
{
    for (size_t i = 0; i < z.size();) {
        const size_t debut = i;
        const uint32_t u = LireCaractere(z, i);
        // U+FFFD is refused only when it stands for bytes that were not UTF-8.
        if (u == 0 || (u == 0xFFFD && z.compare(debut, 3, "\xEF\xBF\xBD") != 0))
            return false;
    }
    return true;
}

ZorJson& ZorJson::Ajouter(const std::string& zCle, ZorJson valeur)
{
    m_membres.emplace_back(zCle, std::move(valeur));
    return *this;
}

ZorJson& ZorJson::Ajouter(ZorJson valeur)
{
    m_membres.emplace_back(std::string(), std::move(valeur));
    return *this;
}

std::string ZorJson::Chaine(const std::string& s)
{
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const uint32_t cp = LireCaractere(s, i);
        switch (cp) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (cp >= 0x20 && cp < 0x7F) {
                out += char(cp);
            } else if (cp < 0x10000) {
                EcrireU(out, cp);
            } else {
                const uint32_t v = cp - 0x10000;
                EcrireU(out, 0xD800 + (v >> 10));
                EcrireU(out, 0xDC00 + (v & 0x3FF));
            }
        }
    }
    return out + "\"";
}

void ZorJson::Ecrire(std::string& out) const
{
    switch (m_type) {
    case NUL:
        out += "null";
        break;
    case BOOL:
        out += m_bool ? "true" : "false";
        break;
    case NOMBRE:
        out += std::to_string(m_nombre);
        break;
    case TEXTE:
        out += Chaine(m_texte);
        break;
    case TABLEAU:
    case OBJET: {
        out += m_type == OBJET ? '{' : '[';
        bool bPremier = true;
        for (const auto& m : m_membres) {
            if (!bPremier)
                out += ',';
            bPremier = false;
            if (m_type == OBJET)
                out += Chaine(m.first) + ':';
            m.second.Ecrire(out);
        }
        out += m_type == OBJET ? '}' : ']';
        break;
    }
    }
}

std::string ZorJson::Texte() const
{
    std::string out;
    Ecrire(out);
    return out;
}

ZorJson& ZorJson::Fusionner(const ZorJson& objet)
{
    for (const auto& m : objet.m_membres)
        m_membres.push_back(m);
    return *this;
}
