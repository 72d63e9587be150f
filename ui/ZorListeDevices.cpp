#include "ui/ZorListeDevices.h"

#include "infra/ZorTraduction.h"

#include <unordered_map>

namespace {

wxString Drapeau(bool b)
{
    return b ? wxT("1") : wxT("0");
}

std::wstring Cle(const wxString& zMAC)
{
    return zMAC.ToStdWstring();
}

} // namespace

ZorColonnesListe ZorColonnesDepuisInfo(const ZorTavlinInfo& info)
{
    return {info.m_zNom,
            info.m_zIP,
            info.m_zCommentaire,
            info.m_zMAC,
            info.m_zLogin,
            info.m_zPwd,
            info.m_zMask,
            info.m_zGateway,
            Drapeau(info.m_bDHCPEnabled),
            info.m_zIPLocal,
            info.m_zMaskLocal,
            info.m_zGatewayLocal,
            info.m_zVersion,
            Drapeau(info.m_bMultipleCarte)};
}

ZorTavlinInfo ZorInfoDepuisColonnes(const ZorColonnesListe& c)
{
    return ZorTavlinInfo(c[1], c[0], c[3], c[2], c[4], c[5], c[6], c[7], c[8] == wxT("1"), 0, 0,
                         c[9], c[10], c[11], c[12], c[13] == wxT("1"));
}

ZorLigneListe ZorLigneDepuisInfo(const ZorTavlinInfo& info, const ZorTestAJour& bAJour)
{
    ZorLigneListe ligne;
    ligne.colonnes = ZorColonnesDepuisInfo(info);
    if (info.EstSurReseauDuPC()) {
        ligne.iImage = (!bAJour || bAJour(info.m_zVersion)) ? ZOR_ICONE_PRETE : ZOR_ICONE_MAJ;
    } else {
        ligne.bHorsReseau = true;
        ligne.iImage = ZOR_ICONE_ALERTE;
    }
    if (info.m_bMultipleCarte) {
        ligne.bGras = true;
        ligne.iImage = ZOR_ICONE_ALERTE;
    }
    return ligne;
}

wxString ZorTexteCompteur(size_t iNombre)
{
    return wxString::Format(iNombre > 1 ? ZOR_TR("(%d Tavlin détectées)")
                                        : ZOR_TR("(%d Tavlin détectée)"),
                            int(iNombre));
}

ZorPlanListe ZorPlanifierListe(const std::vector<ZorColonnesListe>& actuelles,
                               const ZorTavlinInfoArray& devices,
                               const wxString& zMACAPreselectionner, const ZorTestAJour& bAJour)
{
    ZorPlanListe plan;
    // Row of each MAC shown (the MAC is case-sensitive, as the registry keeps it).
    std::unordered_map<std::wstring, int> lignes;
    lignes.reserve(actuelles.size());
    for (size_t i = 0; i < actuelles.size(); ++i)
        lignes.emplace(Cle(actuelles[i][ZOR_LISTE_COL_MAC]), int(i));

    std::vector<char> vues(actuelles.size(), 0);
    int iNombreLignes = int(actuelles.size());
    for (size_t d = 0; d < devices.GetCount(); ++d) {
        const ZorTavlinInfo& info = devices[d];
        const std::wstring cle = Cle(info.m_zMAC);
        auto trouvee = lignes.find(cle);
        if (trouvee == lignes.end()) {
            const int iLigne = iNombreLignes++;
            // A later record of the same MAC finds this row, as it would in the control.
            lignes.emplace(cle, iLigne);
            vues.push_back(1);
            plan.ecritures.push_back({iLigne, true, ZorLigneDepuisInfo(info, bAJour)});
            continue;
        }
        const int iLigne = trouvee->second;
        vues[size_t(iLigne)] = 1;
        const bool bAjoutee = iLigne >= int(actuelles.size());
        if (bAjoutee || actuelles[size_t(iLigne)] != ZorColonnesDepuisInfo(info))
            plan.ecritures.push_back({iLigne, false, ZorLigneDepuisInfo(info, bAJour)});
    }
    for (int i = int(actuelles.size()) - 1; i >= 0; --i) {
        if (!vues[size_t(i)])
            plan.suppressions.push_back(i);
    }

    if (!zMACAPreselectionner.empty()) {
        auto cible = lignes.find(Cle(zMACAPreselectionner));
        if (cible != lignes.end() && vues[size_t(cible->second)]) {
            int iSupprimeesAvant = 0;
            for (int s : plan.suppressions)
                iSupprimeesAvant += s < cible->second;
            plan.iLigneAPreselectionner = cible->second - iSupprimeesAvant;
        }
    }
    plan.zCompteur = ZorTexteCompteur(devices.GetCount());
    return plan;
}
