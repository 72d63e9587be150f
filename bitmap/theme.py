# Colours, font and words of every picture. Change them here and rebuild.
# Colours are (red, green, blue).

FONT = "DejaVu Sans"          # shipped by fonts-dejavu-core; the build refuses a substitute

ORANGE = (255, 128, 0)        # the product's colour
ORANGE_HOVER = (236, 112, 0)   # darker under the pointer: the white label stays readable
ORANGE_PRESSED = (208, 92, 0)
ORANGE_TINT = (255, 241, 226)  # hover of the light buttons
PANEL = (244, 245, 247)       # light panel behind lists, buttons and wait windows
WHITE = (255, 255, 255)
INK = (48, 52, 58)            # titles and labels
MUTED = (98, 103, 110)        # secondary text
RULE = (222, 225, 230)        # separators
FRAME = (200, 204, 210)       # outlines of the list and the light buttons
METAL = (128, 134, 142)       # the drawn device's screws and edges
GREEN = (30, 148, 72)         # device ready
RED = (250, 25, 0)            # device to check: the colour of its row in the list
MAGENTA = (255, 0, 255)       # transparent wherever the library loads a picture

# The list dialog's background: what the hidden heading would have said, as instructions.
LISTE_TITRE = "Sélectionnez votre Tavlin"
LISTE_SOUS_TITRE = "dans la liste ci-dessous, puis cliquez sur OK."
LISTE_COLONNES = ("NOM", "ADRESSE IP", "COMMENTAIRE")
LEGENDE_OK = "Prête"
LEGENDE_MAJ = "Mise à jour requise"
LEGENDE_WARNING = "Réseau à vérifier"

# The customisation dialog's background.
PERSO_TITRE = "Personnalisation de la Tavlin"
PERSO_SOUS_TITRE = "Validez avec OK, revenez avec Annuler."
PERSO_AIDE = "Touche Entrée : valider la page"

# Lines under the validation button telling why it changed.
TEXTE_MAJ = "Cette Tavlin doit être mise à jour"
TEXTE_WARNING = "Vérifiez le réseau de cette Tavlin"

# Button labels (the pictures are 56 pixels wide: the generator shrinks a long word a little,
# and stops the build if it still does not fit).
BOUTON_OK = "OK"
BOUTON_ANNULER = "Annuler"
BOUTON_PERSONNALISER = "Réglages"
BOUTON_TESTER = "Tester"

MARQUE = "Tavlin"             # the word of the logo

# The same words in English: pictures that show words are drawn again with these into
# bitmap/en/, which the library loads instead when a host asked for English.
ENGLISH = {
    "LISTE_TITRE": "Select your Tavlin",
    "LISTE_SOUS_TITRE": "in the list below, then click OK.",
    "LISTE_COLONNES": ("NAME", "IP ADDRESS", "COMMENT"),
    "LEGENDE_OK": "Ready",
    "LEGENDE_MAJ": "Update required",
    "LEGENDE_WARNING": "Check the network",
    "PERSO_TITRE": "Tavlin settings",
    "PERSO_SOUS_TITRE": "Confirm with OK, go back with Cancel.",
    "PERSO_AIDE": "Enter key: confirm the page",
    "TEXTE_MAJ": "This Tavlin must be updated",
    "TEXTE_WARNING": "Check this Tavlin's network",
    "BOUTON_OK": "OK",
    "BOUTON_ANNULER": "Cancel",
    "BOUTON_PERSONNALISER": "Settings",
    "BOUTON_TESTER": "Test",
}
