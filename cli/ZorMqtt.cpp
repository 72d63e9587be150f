#include "cli/ZorMqtt.h"

#include "cli/ZorCliOutils.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::string Raison(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(rc);
}

} // namespace

ZorMqtt::ZorMqtt(Sink& sink) : m_sink(sink)
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

ZorMqtt::~ZorMqtt()
{
    Arreter();
}

bool ZorMqtt::LireURL(const std::string& zURL, Reglages* pR, std::string* pzErreur)
{
    std::string reste;
    bool bTLS;
    if (zURL.compare(0, 7, "mqtt://") == 0)
        bTLS = false, reste = zURL.substr(7);
    else if (zURL.compare(0, 8, "mqtts://") == 0)
        bTLS = true, reste = zURL.substr(8);
    else
        return *pzErreur =
                   ZorCliTr("adresse du broker attendue en mqtt://HÔTE[:PORT] ou mqtts://…"),
               false;
    if (!reste.empty() && reste.back() == '/')
        reste.pop_back();
    int iPort = bTLS ? 8883 : 1883;
    const size_t deuxPoints = reste.rfind(':');
    if (deuxPoints != std::string::npos) {
        char* fin = nullptr;
        const long p = std::strtol(reste.c_str() + deuxPoints + 1, &fin, 10);
        if (*fin != '\0' || p < 1 || p > 65535 || deuxPoints + 1 == reste.size())
            return *pzErreur = ZorCliTr("port du broker invalide : %s", {zURL}), false;
        iPort = int(p);
        reste.resize(deuxPoints);
    }
    if (reste.empty() || reste.find_first_of("/@ ") != std::string::npos)
        return *pzErreur = ZorCliTr("hôte du broker invalide : %s", {zURL}), false;
    pR->zHote = reste;
    pR->iPort = iPort;
    pR->bTLS = bTLS;
    return true;
}

bool ZorMqtt::Connecter(const Reglages& r, std::string* pzErreur)
{
    Arreter();
    m_pMosq = mosquitto_new(r.zClient.empty() ? nullptr : r.zClient.c_str(), true, this);
    if (!m_pMosq)
        return *pzErreur = ZorCliTr("client MQTT impossible à créer"), false;
    mosquitto_int_option(m_pMosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_pMosq, &ZorMqtt::SurConnexion);
    mosquitto_disconnect_callback_set(m_pMosq, &ZorMqtt::SurDeconnexion);
    mosquitto_message_callback_set(m_pMosq, &ZorMqtt::SurMessage);
    mosquitto_log_callback_set(m_pMosq, &ZorMqtt::SurJournal);
    {
        std::lock_guard<std::mutex> l(m_mutex);
        m_zErreur.clear();
        m_zServeur = r.zHote + ":" + std::to_string(r.iPort) + " (--ca-file " + r.zCA + ")";
    }
    mosquitto_reconnect_delay_set(m_pMosq, unsigned(r.iRetardMinS), unsigned(r.iRetardMaxS), true);
    int rc = MOSQ_ERR_SUCCESS;
    if (!r.zUtilisateur.empty())
        rc = mosquitto_username_pw_set(m_pMosq, r.zUtilisateur.c_str(),
                                       r.zMotDePasse.empty() ? nullptr : r.zMotDePasse.c_str());
    if (rc == MOSQ_ERR_SUCCESS && r.bTLS) {
        rc = mosquitto_tls_set(m_pMosq, r.zCA.empty() ? nullptr : r.zCA.c_str(), nullptr,
                               r.zCertificat.empty() ? nullptr : r.zCertificat.c_str(),
                               r.zCle.empty() ? nullptr : r.zCle.c_str(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return *pzErreur = ZorCliTr("réglages TLS refusés (fichiers CA, certificat, clé) : %s",
                                        {Raison(rc)}),
                   false;
    }
    if (rc == MOSQ_ERR_SUCCESS && !r.zSujetTestament.empty())
        rc = mosquitto_will_set(m_pMosq, r.zSujetTestament.c_str(), int(r.zTestament.size()),
                                r.zTestament.data(), 1, true);
    if (rc != MOSQ_ERR_SUCCESS)
        return *pzErreur = ZorCliTr("réglages MQTT refusés : %s", {Raison(rc)}), false;

    // The first attempt is made here, so that what no retry can mend is said at once.
    rc = mosquitto_connect(m_pMosq, r.zHote.c_str(), r.iPort, r.iKeepAliveS);
    if (rc == MOSQ_ERR_TLS && !ErreurDefinitive().empty())
        return *pzErreur = ErreurDefinitive(), false;
    if (rc == MOSQ_ERR_TLS)
        return *pzErreur = ZorCliTr("connexion TLS refusée par %s : certificat du broker non "
                                    "reconnu par l'autorité (--ca-file %s) ou poignée de main TLS "
                                    "impossible",
                                    {r.zHote + ":" + std::to_string(r.iPort), r.zCA}),
               false;
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO && rc != MOSQ_ERR_NO_CONN &&
        rc != MOSQ_ERR_EAI)
        return *pzErreur = ZorCliTr("connexion au broker impossible : %s", {Raison(rc)}), false;
    // Not there yet (refused, unreachable): the network thread retries with back-off.
    rc = mosquitto_loop_start(m_pMosq);
    if (rc != MOSQ_ERR_SUCCESS)
        return *pzErreur = ZorCliTr("fil réseau MQTT impossible à démarrer : %s", {Raison(rc)}),
               false;
    m_bBoucle = true;
    return true;
}

void ZorMqtt::Arreter()
{
    if (!m_pMosq)
        return;
    mosquitto_disconnect(m_pMosq);
    if (m_bBoucle)
        mosquitto_loop_stop(m_pMosq, true);
    m_bBoucle = false;
    mosquitto_destroy(m_pMosq);
    m_pMosq = nullptr;
}

bool ZorMqtt::Publier(const std::string& zSujet, const std::string& zCharge, bool bRetenu)
{
    return m_pMosq && mosquitto_publish(m_pMosq, nullptr, zSujet.c_str(), int(zCharge.size()),
                                        zCharge.data(), 1, bRetenu) == MOSQ_ERR_SUCCESS;
}

bool ZorMqtt::Abonner(const std::string& zFiltre)
{
    return m_pMosq && mosquitto_subscribe(m_pMosq, nullptr, zFiltre.c_str(), 1) == MOSQ_ERR_SUCCESS;
}

void ZorMqtt::SurConnexion(mosquitto*, void* self, int rc)
{
    ZorMqtt* p = static_cast<ZorMqtt*>(self);
    // Every refusal but "server unavailable" (3) would be met again on each retry, the network
    // thread reconnecting for ever: said once, for the owner to stop.
    if (rc != 0 && rc != 3) {
        std::lock_guard<std::mutex> l(p->m_mutex);
        if (p->m_zErreur.empty())
            p->m_zErreur =
                ZorCliTr("le broker refuse la connexion : %s", {mosquitto_connack_string(rc)});
    }
    p->m_sink.OnConnexion(rc, rc ? mosquitto_connack_string(rc) : "");
}

void ZorMqtt::SurDeconnexion(mosquitto*, void* self, int rc)
{
    static_cast<ZorMqtt*>(self)->m_sink.OnDeconnexion(rc);
}

std::string ZorMqtt::ErreurDefinitive() const
{
    std::lock_guard<std::mutex> l(m_mutex);
    return m_zErreur;
}

void ZorMqtt::SurJournal(mosquitto*, void* self, int iNiveau, const char* zTexte)
{
    // The library says why a handshake failed only in its log.
    if (!(iNiveau & MOSQ_LOG_ERR) || !zTexte || !std::strstr(zTexte, "OpenSSL Error"))
        return;
    ZorMqtt* p = static_cast<ZorMqtt*>(self);
    std::lock_guard<std::mutex> l(p->m_mutex);
    if (p->m_zErreur.empty())
        p->m_zErreur = ZorCliTr("connexion TLS refusée par %s : %s", {p->m_zServeur, zTexte});
}

void ZorMqtt::SurMessage(mosquitto*, void* self, const mosquitto_message* m)
{
    if (!m || !m->topic)
        return;
    const std::string charge(m->payload ? static_cast<const char*>(m->payload) : "",
                             size_t(std::max(0, m->payloadlen)));
    static_cast<ZorMqtt*>(self)->m_sink.OnMessage(m->topic, charge);
}
