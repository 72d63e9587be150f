// What the device list shows, without the window: the fourteen column texts of each device, its
// icon and colour, and the refresh that turns the registry into as few row changes as possible.
// The list dialog applies a plan to its control; a program without a display can use the same
// rows. Main thread only.
#pragma once

#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

#include <array>
#include <functional>
#include <vector>

enum : int {
    ZOR_LISTE_NB_COLONNES = 14,
    ZOR_LISTE_COL_MAC = 3,
    // Icons of the list's image list.
    ZOR_ICONE_PRETE = 0,
    ZOR_ICONE_MAJ = 1,
    ZOR_ICONE_ALERTE = 2,
};

using ZorColonnesListe = std::array<wxString, ZOR_LISTE_NB_COLONNES>;

// One row as drawn: texts, icon, and how the text is drawn.
struct ZorLigneListe
{
    ZorColonnesListe colonnes;
    int iImage = ZOR_ICONE_PRETE;
    bool bHorsReseau = false; // red text 250,25,0: not reachable from this PC
    bool bGras = false;       // bold: seen through several network cards
};

// Says whether a device's firmware version is up to date (no newer update folder).
using ZorTestAJour = std::function<bool(const wxString& zVersion)>;

// The column texts of a device: name, IP, comment, MAC, login, password, mask, gateway, DHCP,
// local IP, local mask, local gateway, version, multiple cards (flags as "1" or "0").
ZorColonnesListe ZorColonnesDepuisInfo(const ZorTavlinInfo& info);
// The row of a device: black with the ready or update icon inside the PC's network, red with the
// warning icon outside it; bold with the warning icon when seen on several cards.
ZorLigneListe ZorLigneDepuisInfo(const ZorTavlinInfo& info, const ZorTestAJour& bAJour);
// The record a row stands for (last-seen time and presence stage are not in the row).
ZorTavlinInfo ZorInfoDepuisColonnes(const ZorColonnesListe& colonnes);

// The changes that bring a list showing `actuelles` (column texts, in display order) to the
// devices of `devices` (registry order).
struct ZorPlanListe
{
    struct Ecriture
    {
        int iLigne;  // row to write; appended rows are numbered after the rows present
        bool bAjout; // a new row, appended at the end
        ZorLigneListe ligne;
    };
    std::vector<Ecriture> ecritures; // applied first, in order
    std::vector<int> suppressions;   // then these rows no device stands for, last row first
    int iLigneAPreselectionner = -1; // after the deletions; -1: none
    wxString zCompteur;              // "(%d Tavlin détectée)" or "(%d Tavlin détectées)"
};

ZorPlanListe ZorPlanifierListe(const std::vector<ZorColonnesListe>& actuelles,
                               const ZorTavlinInfoArray& devices,
                               const wxString& zMACAPreselectionner, const ZorTestAJour& bAJour);

wxString ZorTexteCompteur(size_t iNombre);
