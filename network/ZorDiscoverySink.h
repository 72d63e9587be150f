// What the network object tells the layer above it: registered answers, master answers, the
// start of an address configuration and its failure. The device manager implements it; tests give their own.
//
// Thread rules: every member is called on the toolkit's main thread (socket events, timers and
// ForceReadOnDatagram), never while the network object holds a lock.
#pragma once

#include "infra/ZorExport.h"

#include <wx/string.h>

class ZOR_EXPORT ZorDiscoverySink
{
public:
    virtual ~ZorDiscoverySink();

    // A device answered "A" or "D" and is not being readdressed. Its address (the answer's
    // source), name, hardware address (upper case, "-" between pairs), comment, login,
    // password, mask and gateway (dotted), DHCP flag, then the receiving adapter's address,
    // mask and gateway, and the firmware version.
    virtual void AddTavlin(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                           const wxString& zCommentaire, const wxString& zLogin,
                           const wxString& zPwd, const wxString& zMask, const wxString& zGateway,
                           bool bDHCPEnabled, const wxString& zIPLocal, const wxString& zMaskLocal,
                           const wxString& zGatewayLocal, const wxString& zVersion) = 0;
    // A device answered "M": the same thirteen values.
    virtual void NewTavlinMaster(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                                 const wxString& zCommentaire, const wxString& zLogin,
                                 const wxString& zPwd, const wxString& zMask,
                                 const wxString& zGateway, bool bDHCPEnabled,
                                 const wxString& zIPLocal, const wxString& zMaskLocal,
                                 const wxString& zGatewayLocal, const wxString& zVersion) = 0;
    // An address configuration starts (before its free-address search).
    virtual void ConfigurationAdresseDemarree() = 0;
    // An address configuration of the device of this hardware address ended without giving it
    // an address (ZorTavlinNetwork::EchecConfiguration says why). Nothing by default.
    virtual void ConfigurationAdresseEchouee(const wxString& zMAC);
};
