// A connection to an MQTT broker through libmosquitto (Debian's libmosquitto1): plain or TLS,
// a last will, and reconnection with back-off done by the library's own network thread.
//
// Thread rules: Connecter and Arreter on the owner's thread; Publier and Abonner from any
// thread. The sink is called on the library's network thread.
#pragma once

#include <mutex>
#include <string>

struct mosquitto;

class ZorMqtt
{
public:
    struct Reglages
    {
        std::string zHote;
        int iPort = 1883;
        bool bTLS = false;
        std::string zCA, zCertificat, zCle; // PEM files; the certificate and key are optional
        std::string zUtilisateur, zMotDePasse;
        std::string zClient;
        std::string zSujetTestament, zTestament; // the last will, retained
        int iKeepAliveS = 30;
        int iRetardMinS = 1, iRetardMaxS = 30; // reconnection back-off, doubling
    };
    class Sink
    {
    public:
        virtual ~Sink() = default;
        // The broker accepted us (iCode 0) or refused us (its CONNACK code, text in zRaison).
        virtual void OnConnexion(int iCode, const std::string& zRaison) = 0;
        virtual void OnDeconnexion(int iCode) = 0;
        virtual void OnMessage(const std::string& zSujet, const std::string& zCharge) = 0;
    };

    explicit ZorMqtt(Sink& sink);
    ~ZorMqtt();
    ZorMqtt(const ZorMqtt&) = delete;
    ZorMqtt& operator=(const ZorMqtt&) = delete;

    // Splits "mqtt://host[:port]" or "mqtts://host[:port]" (default ports 1883 and 8883).
    static bool LireURL(const std::string& zURL, Reglages* pR, std::string* pzErreur);

    // Makes the first attempt at once and starts the network thread, which keeps reconnecting.
    // False, with the reason, for what retrying cannot mend: bad settings, or a TLS handshake
    // refused (certificate not trusted, wrong CA). A broker not there yet is not an error.
    bool Connecter(const Reglages& r, std::string* pzErreur);
    void Arreter();

    // What no retry mends, met since Connecter: a TLS handshake refused (a certificate not
    // trusted), or the broker refusing us for good (user name or password wrong, not
    // authorised, client identifier or protocol rejected). Empty while none was. Any thread.
    std::string ErreurDefinitive() const;

    bool Publier(const std::string& zSujet, const std::string& zCharge, bool bRetenu);
    bool Abonner(const std::string& zFiltre);

private:
    static void SurConnexion(mosquitto*, void* self, int rc);
    static void SurDeconnexion(mosquitto*, void* self, int rc);
    static void SurMessage(mosquitto*, void* self, const struct mosquitto_message* m);
    static void SurJournal(mosquitto*, void* self, int iNiveau, const char* zTexte);

    Sink& m_sink;
    mosquitto* m_pMosq = nullptr;
    bool m_bBoucle = false;
    mutable std::mutex m_mutex;
    std::string m_zErreur, m_zServeur;
};
