#include "device/ZorTavlinRecords.h"

#include "network/ZorAdresseIP.h"

#include <wx/crt.h>

namespace {

// A copy with its own character buffer, safe to hand to another thread.
wxString DeepCopy(const wxString& z)
{
    return wxString(z.wc_str(), z.length());
}

// Decimal value of `len` characters from `pos`: leading blanks and a sign accepted, stops at the
// first non-digit, 0 without digits.
int NumberAt(const wxString& z, size_t pos, size_t len)
{
    return wxAtoi(z.substr(pos, len));
}

} // namespace

// ---------------------------------------------------------------------------- ZorTavlinInfo

ZorTavlinInfo::ZorTavlinInfo()
    : m_bDHCPEnabled(false), m_iTimeLastSeen(0), m_iEtatPresence(0), m_bMultipleCarte(false)
{}

ZorTavlinInfo::ZorTavlinInfo(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                             const wxString& zCommentaire, const wxString& zLogin,
                             const wxString& zPwd, const wxString& zMask, const wxString& zGateway,
                             bool bDHCPEnabled, long iTimeLastSeen, int iEtatPresence,
                             const wxString& zIPLocal, const wxString& zMaskLocal,
                             const wxString& zGatewayLocal, const wxString& zVersion,
                             bool bMultipleCarte)
    : m_zNom(zNom), m_zIP(zIP), m_zMAC(zMAC), m_zCommentaire(zCommentaire), m_zLogin(zLogin),
      m_zPwd(zPwd), m_zMask(zMask), m_zGateway(zGateway), m_bDHCPEnabled(bDHCPEnabled),
      m_iTimeLastSeen(iTimeLastSeen), m_iEtatPresence(iEtatPresence), m_zIPLocal(zIPLocal),
      m_zMaskLocal(zMaskLocal), m_zGatewayLocal(zGatewayLocal), m_zVersion(zVersion),
      m_bMultipleCarte(bMultipleCarte)
{}

ZorTavlinInfo::ZorTavlinInfo(const ZorTavlinInfo& other) = default;
ZorTavlinInfo& ZorTavlinInfo::operator=(const ZorTavlinInfo& other) = default;
ZorTavlinInfo::~ZorTavlinInfo() {}

bool ZorTavlinInfo::SurReseauDuPC(const wxString& zIP, const wxString& zIPLocal,
                                  const wxString& zMaskLocal)
{
    return ZorAdresseIP::IsSameReseau(zIP, zIPLocal, zMaskLocal);
}

// ---------------------------------------------------------------------------- ZorTavlinData

ZorTavlinData::ZorTavlinData()
{
    ReInit();
}

ZorTavlinData::ZorTavlinData(const ZorTavlinData& other)
{
    CopyFrom(other);
}

ZorTavlinData& ZorTavlinData::operator=(const ZorTavlinData& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

ZorTavlinData::~ZorTavlinData() {}

void ZorTavlinData::ReInit()
{
    m_iSNUM = 0;
    m_iENUM = 0;
    m_iSRELAIS = 0;
    m_iSANA1 = 0;
    m_iSANA2 = 0;
    m_iEANA1 = 0;
    m_iEANA2 = 0;
    m_iEANA3 = 0;
    m_iEANA4 = 0;
    m_iAUTO = 0;
    m_bBOUTON = false;
    m_bValide = false;
    for (wxString* z : {&m_zDATETIME, &m_zVERSION, &m_zCOMMENT, &m_z5VUSER, &m_zTYPE, &m_zBLINK,
                        &m_zDATETIMEFAB, &m_zBANCFAB, &m_zIDFAB, &m_zUART, &m_zFLASH, &m_zEEPROM,
                        &m_zSMTPSERVER, &m_zSMTPPORT, &m_zSMTPLOGIN, &m_zSMTPPWD, &m_zSMTPSSL})
        z->clear();
}

void ZorTavlinData::CopyFrom(const ZorTavlinData& source)
{
    if (this == &source)
        return;
    m_iSNUM = source.m_iSNUM;
    m_iENUM = source.m_iENUM;
    m_iSRELAIS = source.m_iSRELAIS;
    m_iSANA1 = source.m_iSANA1;
    m_iSANA2 = source.m_iSANA2;
    m_iEANA1 = source.m_iEANA1;
    m_iEANA2 = source.m_iEANA2;
    m_iEANA3 = source.m_iEANA3;
    m_iEANA4 = source.m_iEANA4;
    m_iAUTO = source.m_iAUTO;
    m_zDATETIME = DeepCopy(source.m_zDATETIME);
    m_zVERSION = DeepCopy(source.m_zVERSION);
    m_bBOUTON = source.m_bBOUTON;
    m_zCOMMENT = DeepCopy(source.m_zCOMMENT);
    m_z5VUSER = DeepCopy(source.m_z5VUSER);
    m_zTYPE = DeepCopy(source.m_zTYPE);
    m_zBLINK = DeepCopy(source.m_zBLINK);
    m_zDATETIMEFAB = DeepCopy(source.m_zDATETIMEFAB);
    m_zBANCFAB = DeepCopy(source.m_zBANCFAB);
    m_zIDFAB = DeepCopy(source.m_zIDFAB);
    m_zUART = DeepCopy(source.m_zUART);
    m_zFLASH = DeepCopy(source.m_zFLASH);
    m_zEEPROM = DeepCopy(source.m_zEEPROM);
    m_zSMTPSERVER = DeepCopy(source.m_zSMTPSERVER);
    m_zSMTPPORT = DeepCopy(source.m_zSMTPPORT);
    m_zSMTPLOGIN = DeepCopy(source.m_zSMTPLOGIN);
    m_zSMTPPWD = DeepCopy(source.m_zSMTPPWD);
    m_zSMTPSSL = DeepCopy(source.m_zSMTPSSL);
    m_bValide = source.m_bValide;
}

void ZorTavlinData::FormatDateTime(int* piJour, int* piMois, int* piAnnee, int* piHeure,
                                   int* piMinute, int* piSeconde) const
{
    // "dd/mm/yyyy_hh:mm:ss": fields at fixed places, separators not examined.
    struct Field
    {
        int* p;
        size_t pos, len;
    } fields[] = {{piJour, 0, 2},   {piMois, 3, 2},    {piAnnee, 6, 4},
                  {piHeure, 11, 2}, {piMinute, 14, 2}, {piSeconde, 17, 2}};
    bool bWellSized = m_zDATETIME.length() == 19;
    for (const Field& f : fields)
        if (f.p)
            *f.p = bWellSized ? NumberAt(m_zDATETIME, f.pos, f.len) : 0;
}

// ---------------------------------------------------------------------------- ZorTavlinCommande

// Every copy owns its characters: commands are made on one thread and consumed on another.

ZorTavlinCommande::ZorTavlinCommande() {}

ZorTavlinCommande::ZorTavlinCommande(const ZorTavlinCommande& other)
    : m_zPage(DeepCopy(other.m_zPage)), m_zQuery(DeepCopy(other.m_zQuery)),
      m_zIP(DeepCopy(other.m_zIP)), m_zIPLocal(DeepCopy(other.m_zIPLocal))
{}

ZorTavlinCommande::ZorTavlinCommande(const wxString& zQuery, const wxString& zIP,
                                     const wxString& zIPLocal, const wxString& zPage)
    : m_zPage(DeepCopy(zPage)), m_zQuery(DeepCopy(zQuery)), m_zIP(DeepCopy(zIP)),
      m_zIPLocal(DeepCopy(zIPLocal))
{}

ZorTavlinCommande& ZorTavlinCommande::operator=(const ZorTavlinCommande& other)
{
    if (this != &other) {
        m_zPage = DeepCopy(other.m_zPage);
        m_zQuery = DeepCopy(other.m_zQuery);
        m_zIP = DeepCopy(other.m_zIP);
        m_zIPLocal = DeepCopy(other.m_zIPLocal);
    }
    return *this;
}

ZorTavlinCommande::~ZorTavlinCommande() {}
