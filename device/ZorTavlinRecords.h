// Value records that carry device information through the library and to hosts:
// a device's identity (ZorTavlinInfo), its parsed state page (ZorTavlinData) and one
// queued HTTP command (ZorTavlinCommande), with their arrays.
#pragma once

#include "infra/ZorExport.h"

#include <wx/string.h>

#include <cstdint>
#include <vector>

class ZOR_EXPORT ZorTavlinInfo
{
public:
    ZorTavlinInfo();
    ZorTavlinInfo(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                  const wxString& zCommentaire, const wxString& zLogin, const wxString& zPwd,
                  const wxString& zMask, const wxString& zGateway, bool bDHCPEnabled,
                  long iTimeLastSeen, int iEtatPresence, const wxString& zIPLocal,
                  const wxString& zMaskLocal, const wxString& zGatewayLocal,
                  const wxString& zVersion, bool bMultipleCarte);
    ZorTavlinInfo(const ZorTavlinInfo& other);
    ZorTavlinInfo& operator=(const ZorTavlinInfo& other);
    virtual ~ZorTavlinInfo();

    // The one rule for "is this device on this PC's network": the address zIP lies on the
    // network of the PC's adapter zIPLocal/zMaskLocal, so the device is reached directly rather
    // than only by broadcast (an empty mask compares nothing and says yes).
    static bool SurReseauDuPC(const wxString& zIP, const wxString& zIPLocal,
                              const wxString& zMaskLocal);
    // The same rule for this record: its address and the adapter that heard it.
    bool EstSurReseauDuPC() const { return SurReseauDuPC(m_zIP, m_zIPLocal, m_zMaskLocal); }

    wxString m_zNom;
    wxString m_zIP;
    wxString m_zMAC;
    wxString m_zCommentaire;
    wxString m_zLogin;
    wxString m_zPwd;
    wxString m_zMask;
    wxString m_zGateway;
    bool m_bDHCPEnabled;
    long m_iTimeLastSeen;
    int m_iEtatPresence;
    wxString m_zIPLocal;
    wxString m_zMaskLocal;
    wxString m_zGatewayLocal;
    wxString m_zVersion;
    bool m_bMultipleCarte;
};

class ZOR_EXPORT ZorTavlinData
{
public:
    ZorTavlinData();
    ZorTavlinData(const ZorTavlinData& other);
    ZorTavlinData& operator=(const ZorTavlinData& other);
    virtual ~ZorTavlinData();

    void ReInit();
    // Copies every member; strings go through their character data so no buffer is shared.
    void CopyFrom(const ZorTavlinData& source);
    // Splits m_zDATETIME ("dd/mm/yyyy_hh:mm:ss"); six zeros unless it has exactly 19 characters.
    void FormatDateTime(int* piJour, int* piMois, int* piAnnee, int* piHeure, int* piMinute,
                        int* piSeconde) const;

    uint8_t m_iSNUM;
    uint8_t m_iENUM;
    uint8_t m_iSRELAIS;
    int16_t m_iSANA1;
    int16_t m_iSANA2;
    int16_t m_iEANA1;
    int16_t m_iEANA2;
    int16_t m_iEANA3;
    int16_t m_iEANA4;
    int32_t m_iAUTO;
    wxString m_zDATETIME;
    wxString m_zVERSION;
    bool m_bBOUTON;
    wxString m_zCOMMENT;
    wxString m_z5VUSER;
    wxString m_zTYPE;
    wxString m_zBLINK;
    wxString m_zDATETIMEFAB;
    wxString m_zBANCFAB;
    wxString m_zIDFAB;
    wxString m_zUART;
    wxString m_zFLASH;
    wxString m_zEEPROM;
    wxString m_zSMTPSERVER;
    wxString m_zSMTPPORT;
    wxString m_zSMTPLOGIN;
    wxString m_zSMTPPWD;
    wxString m_zSMTPSSL;
    bool m_bValide;
};

class ZOR_EXPORT ZorTavlinCommande
{
public:
    ZorTavlinCommande();
    ZorTavlinCommande(const ZorTavlinCommande& other);
    // Deep copies of every string: the command is made on the caller's thread and consumed by the worker.
    ZorTavlinCommande(const wxString& zQuery, const wxString& zIP, const wxString& zIPLocal,
                      const wxString& zPage);
    ZorTavlinCommande& operator=(const ZorTavlinCommande& other);
    virtual ~ZorTavlinCommande();

    wxString m_zPage;
    wxString m_zQuery;
    wxString m_zIP;
    wxString m_zIPLocal;
};

// Array that owns heap copies of its elements: adding stores a copy, removing deletes it.
template <class T> class ZorOwningArray
{
public:
    ZorOwningArray() = default;
    ZorOwningArray(const ZorOwningArray& other) { CopyElements(other); }
    ZorOwningArray& operator=(const ZorOwningArray& other)
    {
        if (this != &other) {
            Empty();
            CopyElements(other);
        }
        return *this;
    }
    virtual ~ZorOwningArray() { Empty(); }

    size_t GetCount() const { return m_items.size(); }
    size_t size() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    T& Item(size_t i) const { return *m_items.at(i); }
    T& operator[](size_t i) const { return *m_items.at(i); }
    T& Last() const { return *m_items.at(m_items.size() - 1); }

    void Add(const T& item, size_t nInsert = 1)
    {
        for (size_t n = 0; n < nInsert; ++n)
            m_items.push_back(new T(item));
    }
    void Insert(const T& item, size_t uiIndex, size_t nInsert = 1)
    {
        if (uiIndex > m_items.size())
            uiIndex = m_items.size();
        for (size_t n = 0; n < nInsert; ++n)
            m_items.insert(m_items.begin() + uiIndex, new T(item));
    }
    void RemoveAt(size_t uiIndex, size_t nRemove = 1)
    {
        if (uiIndex >= m_items.size())
            return;
        size_t end = std::min(m_items.size(), uiIndex + nRemove);
        for (size_t i = uiIndex; i < end; ++i)
            delete m_items[i];
        m_items.erase(m_items.begin() + uiIndex, m_items.begin() + end);
    }
    // Removes the element without deleting it; the caller owns the result (null when out of range).
    T* Detach(size_t uiIndex)
    {
        if (uiIndex >= m_items.size())
            return nullptr;
        T* p = m_items[uiIndex];
        m_items.erase(m_items.begin() + uiIndex);
        return p;
    }
    // Position of the element at this address, or wxNOT_FOUND.
    int Index(const T& item, bool bFromEnd = false) const
    {
        if (bFromEnd) {
            for (size_t i = m_items.size(); i-- > 0;)
                if (m_items[i] == &item)
                    return int(i);
        } else {
            for (size_t i = 0; i < m_items.size(); ++i)
                if (m_items[i] == &item)
                    return int(i);
        }
        return wxNOT_FOUND;
    }
    void Empty()
    {
        for (T* p : m_items)
            delete p;
        m_items.clear();
    }
    void Clear() { Empty(); }

private:
    void CopyElements(const ZorOwningArray& other)
    {
        m_items.reserve(other.m_items.size());
        for (const T* p : other.m_items)
            m_items.push_back(new T(*p));
    }
    std::vector<T*> m_items;
};

class ZOR_EXPORT ZorTavlinInfoArray : public ZorOwningArray<ZorTavlinInfo>
{};

class ZOR_EXPORT ZorTavlinCommandeArray : public ZorOwningArray<ZorTavlinCommande>
{};
