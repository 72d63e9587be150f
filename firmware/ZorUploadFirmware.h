// The bootloader upload without windows: the exchange's rules (capture, records, resends, end,
// status codes) in ZorUploadFirmwareLogique, which reads time from a ZorClock; the sockets of
// the usable adapters in ZorUploadFirmwareSocket; and ZorUploadFirmwareTransfert, which ties
// the two to toolkit socket events and one timer. A dialog or a program without a display runs
// the transfer the same way and hears of it through ZorUploadFirmwareVue.
//
// Main thread only.
#pragma once

#include "firmware/ZorFirmwareFormat.h"
#include "infra/ZorClock.h"
#include "infra/ZorExport.h"
#include "network/ZorCarteEth.h"

#include <wx/event.h>
#include <wx/socket.h>
#include <wx/string.h>
#include <wx/timer.h>

#include <vector>

// What the one who shows the transfer hears.
class ZOR_EXPORT ZorUploadFirmwareVue
{
public:
    virtual ~ZorUploadFirmwareVue();
    // A device was captured and its records begin (zId: "3A-0F").
    virtual void OnCapture(const wxString& zId) { (void)zId; }
    // Image bytes acknowledged so far.
    virtual void OnProgression(uint64_t iEnvoyes, uint64_t iTotal)
    {
        (void)iEnvoyes;
        (void)iTotal;
    }
    // The transfer is over with this status.
    virtual void OnFin(ZorStatutBoot statut) = 0;
};

// The logic's outlet for its requests, besides what the view hears.
class ZOR_EXPORT ZorUploadFirmwareSink : public ZorUploadFirmwareVue
{
public:
    virtual void EnvoyerRequete(const uint8_t* pData, size_t iLen) = 0;
};

class ZOR_EXPORT ZorUploadFirmwareLogique
{
public:
    static constexpr int64_t kRelanceCaptureMs = 500;
    // A "not ready" reply asks again, but not sooner than this after the last capture request:
    // a bootloader that answers at once would otherwise get thousands of requests a second.
    static constexpr int64_t kEspacementNonPretMs = 250;
    static constexpr int64_t kCaptureMs = 15000;
    static constexpr int64_t kAcquittementMs = 5000;
    static constexpr int64_t kFinMs = 6000;
    static constexpr int kEnvoisMax = 5; // sends of one record, the first included

    explicit ZorUploadFirmwareLogique(ZorUploadFirmwareSink& sink,
                                      const ZorClock& clock = ZorDefaultClock());
    ZorUploadFirmwareLogique(const ZorUploadFirmwareLogique&) = delete;
    ZorUploadFirmwareLogique& operator=(const ZorUploadFirmwareLogique&) = delete;

    // The device expected: its MAC address ("02-54-56-4D-0A-00"); empty takes any device.
    void SetMACAttendue(const wxString& zMAC) { m_zMACAttendue = zMAC.Upper(); }
    // Opens the image; false when it does not exist or cannot be read.
    bool Init(const wxString& zChemin);
    // Starts capturing: a capture request now and every 500 ms, for at most 15 s; after a "not
    // ready" reply the next one goes 250 ms after the last, so at most 60 in the 15 s.
    void Demarrer();
    // Captures again at once (the "Find" button).
    void RelancerCapture();
    // One reply datagram, or a receive that failed (status 1).
    void Recevoir(const uint8_t* pData, size_t iLen);
    void ErreurReception();
    // Runs what the deadlines passed call for; the caller wakes it at DelaiProchaineEcheance.
    void Verifier();
    // Milliseconds until the next deadline (0 when due), -1 when none runs.
    int64_t DelaiProchaineEcheance() const;

    ZorStatutBoot GetStatus() const { return m_statut; }
    // The captured device's identifier, empty until one was accepted.
    const wxString& GetIdentifiant() const { return m_zIdentifiant; }
    bool IsTermine() const { return m_bTermine; }
    bool IsCapture() const { return m_bCapture; }
    uint64_t GetLongueur() const { return m_image.Longueur(); }

private:
    void EnvoyerCapture();
    void DoCaptureTarget();
    void OnTavlinDetecte(const ZorFirmware::Reponse& r);
    void SendProgramme();
    void SendRecord();
    void OnAcquittement(uint16_t iStatut);
    void FinOK();
    void FinKO(uint16_t iStatut);
    void SetStatus(ZorStatutBoot statut);
    void Terminer(ZorStatutBoot statut);
    uint16_t Envoyer(uint8_t iCommande);
    int64_t Echeance(int64_t iDelaiMs) const { return m_clock.NowMs() + iDelaiMs; }

    ZorUploadFirmwareSink& m_sink;
    const ZorClock& m_clock;
    wxString m_zMACAttendue;
    wxString m_zIdentifiant;
    ZorFirmware::LecteurImage m_image;
    ZorFirmware::Sequence m_sequence;
    uint8_t m_iId1 = 0, m_iId2 = 0;
    int m_iEnvois = 0; // sends of the current record
    ZorStatutBoot m_statut = ZorStatutBoot::SUCCES;
    bool m_bCapture = false;
    bool m_bTermine = false;
    // Deadlines in clock milliseconds, -1 when not running.
    int64_t m_iRelanceCapture = -1;
    int64_t m_iRelanceNonPret = -1;  // the capture asked again after a "not ready" reply
    int64_t m_iDerniereCapture = -1; // when the last capture request went out
    int64_t m_iCapture = -1;
    int64_t m_iAcquittement = -1;
    int64_t m_iFin = -1;
};

// One datagram socket per usable adapter (not black-listed, with an address), on the
// bootloader port; requests go to the bootloaders' multicast group through each of them.
class ZOR_EXPORT ZorUploadFirmwareSocket
{
public:
    ZorUploadFirmwareSocket() = default;
    ~ZorUploadFirmwareSocket();
    ZorUploadFirmwareSocket(const ZorUploadFirmwareSocket&) = delete;
    ZorUploadFirmwareSocket& operator=(const ZorUploadFirmwareSocket&) = delete;

    // Over the adapters given (the device manager's, usually).
    void Create(wxEvtHandler* pHandler, const ZorCarteEthPtrArray& cartes);
    // To the group from every socket; send errors are ignored.
    void Send(const void* pData, size_t iLen);
    void Fermer();
    size_t GetCount() const { return m_arraySockets.size(); }
    bool Contient(const wxSocketBase* pSocket) const;

    // The adapters a socket is opened for.
    static bool CarteUtilisable(const ZorCarteEth& carte);

private:
    std::vector<wxDatagramSocket*> m_arraySockets;
};

// Runs one bootloader upload on toolkit events: the sockets' input and one timer set to the
// logic's next deadline.
class ZOR_EXPORT ZorUploadFirmwareTransfert : public wxEvtHandler, private ZorUploadFirmwareSink
{
public:
    ZorUploadFirmwareTransfert(ZorUploadFirmwareVue& vue, const wxString& zMACAttendue,
                               const ZorClock& clock = ZorDefaultClock());
    ~ZorUploadFirmwareTransfert() override;

    bool Init(const wxString& zChemin) { return m_logique.Init(zChemin); }
    // Opens the sockets on the adapters given (the device manager's, usually) and captures.
    void Demarrer(const ZorCarteEthPtrArray& cartes);
    void RelancerCapture();
    // Runs the deadlines now: for a caller that moves its own clock (the timer does it otherwise).
    void Verifier();

    const ZorUploadFirmwareLogique& Logique() const { return m_logique; }
    size_t GetNombreSockets() const { return m_sockets.GetCount(); }

private:
    void EnvoyerRequete(const uint8_t* pData, size_t iLen) override;
    void OnCapture(const wxString& zId) override { m_vue.OnCapture(zId); }
    void OnProgression(uint64_t iEnvoyes, uint64_t iTotal) override
    {
        m_vue.OnProgression(iEnvoyes, iTotal);
    }
    void OnFin(ZorStatutBoot statut) override;

    void OnSocket(wxSocketEvent& event);
    void OnTimer(wxTimerEvent& event);
    void Armer();

    ZorUploadFirmwareVue& m_vue;
    const ZorClock& m_clock;
    ZorUploadFirmwareLogique m_logique;
    ZorUploadFirmwareSocket m_sockets;
    wxTimer m_timer;
    int64_t m_iTimerMs = 0; // clock time the running timer fires at
};
