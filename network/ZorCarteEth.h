// One network adapter of the PC, with its discovery socket.
#pragma once

#include "infra/ZorExport.h"

#include <wx/string.h>

#include <algorithm>
#include <cstdint>
#include <vector>

class wxDatagramSocket;

class ZOR_EXPORT ZorCarteEth
{
public:
    ZorCarteEth();
    ZorCarteEth(const ZorCarteEth& other);
    ZorCarteEth& operator=(const ZorCarteEth& other);
    virtual ~ZorCarteEth();

    wxDatagramSocket* m_pDatagramSocket;
    wxString m_zDescription;
    wxString m_zIP;
    wxString m_zMask;
    wxString m_zMAC;
    wxString m_zGateway;
    bool m_bDhcp;
    int32_t m_iIndex;
    bool m_bBlackList;
    bool m_bLoopback;
    // System name of the interface the socket is tied to (empty for the loopback pseudo-adapter,
    // whose socket is bound to its address).
    wxString m_zNomInterface;
};

// Adapter pointers; owns nothing (the network object deletes the records it holds).
class ZOR_EXPORT ZorCarteEthPtrArray : public std::vector<ZorCarteEth*>
{
public:
    size_t GetCount() const { return size(); }
    bool IsEmpty() const { return empty(); }
    ZorCarteEth* Item(size_t i) const { return at(i); }
    ZorCarteEth* Last() const { return back(); }
    void Add(ZorCarteEth* p) { push_back(p); }
    void Insert(ZorCarteEth* p, size_t i) { insert(begin() + std::min(i, size()), p); }
    int Index(ZorCarteEth* p) const
    {
        for (size_t i = 0; i < size(); ++i)
            if ((*this)[i] == p)
                return int(i);
        return -1;
    }
    void Remove(ZorCarteEth* p)
    {
        int i = Index(p);
        if (i >= 0)
            RemoveAt(size_t(i));
    }
    void RemoveAt(size_t i, size_t n = 1)
    {
        if (i < size())
            erase(begin() + i, begin() + std::min(size(), i + n));
    }
    void Empty() { clear(); }
    void Clear() { clear(); }
};
