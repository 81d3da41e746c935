// The one table of names: each name is its constant's spelling, for every code that has one.
#include "base/Codes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

#define NAMED(code) std::pair<int, std::string>(code, #code)

// clang-format off
const std::vector<std::pair<int, std::string>> kEtats = {
    NAMED(ETAT_VEHICULE_ABSENT), NAMED(ETAT_ATTENTE_AUTORISATION), NAMED(ETAT_VERIFIER_CODECLAVIER),
    NAMED(ETAT_VERIFIER_CARTE), NAMED(ETAT_APPEL_GARDIEN), NAMED(ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT),
    NAMED(ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT), NAMED(ETAT_VEHICULE_AU_MILIEU_ENTRANT),
    NAMED(ETAT_VEHICULE_AU_MILIEU_SORTANT), NAMED(ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT),
    NAMED(ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT), NAMED(ETAT_ALARME), NAMED(ETAT_VEHICULE_ENTRE),
    NAMED(ETAT_VEHICULE_SORT), NAMED(ETAT_DEFAUT), NAMED(ETAT_HORS_SERVICE), NAMED(ETAT_HORS_SERVICE_OUVERT),
    NAMED(ETAT_MODE_TEST)};
const std::vector<std::pair<int, std::string>> kEvenements = {
    NAMED(VEHICULE_ABSENT), NAMED(VEHICULE_SUR_BOUCLE_AMONT), NAMED(VEHICULE_AU_MILIEU),
    NAMED(VEHICULE_SUR_BOUCLE_AVAL), NAMED(PARKING_PLEIN), NAMED(CODECLAVIER), NAMED(CODECARTE),
    NAMED(ALARME_ACTIVE), NAMED(MESSAGE_SUPERVISEUR), NAMED(LUMIERE_ACTIVE), NAMED(ENTREE_VEHICULE),
    NAMED(SORTIE_VEHICULE), NAMED(AUTORISATION_OK)};
const std::vector<std::pair<int, std::string>> kModes = {
    NAMED(MODE_SUPERVISE), NAMED(MODE_HORS_SERVICE), NAMED(MODE_HORS_SERVICE_OUVERT), NAMED(MODE_TEST),
    NAMED(MODE_LOCAL)};
// clang-format on

// Each list holds every code from 0 in order, so the count also pins the range that has names.
void expectNames(const std::vector<std::pair<int, std::string>>& liste, const char* (*nom)(int) noexcept) {
    for (std::size_t i = 0; i < liste.size(); ++i) {
        EXPECT_EQ(liste[i].first, static_cast<int>(i)) << liste[i].second;
        const char* n = nom(liste[i].first);
        ASSERT_NE(n, nullptr) << liste[i].second;
        EXPECT_EQ(n, liste[i].second);
    }
    EXPECT_EQ(nom(-1), nullptr);
    EXPECT_EQ(nom(static_cast<int>(liste.size())), nullptr);
}

} // namespace

TEST(Names, StatesEventsAndModesAreSpelledAsTheirConstants) {
    expectNames(kEtats, nomEtatCode);
    expectNames(kEvenements, nomEvenementCode);
    expectNames(kModes, nomModeCode);
    EXPECT_EQ(kEtats.size(), static_cast<std::size_t>(NB_ETATS));
    EXPECT_EQ(kEvenements.size(), static_cast<std::size_t>(NB_EVENEMENTS));
}

TEST(Names, AStateWithoutANameIsShownByItsNumber) {
    EXPECT_EQ(nomEtatOuCode(ETAT_DEFAUT), "ETAT_DEFAUT");
    EXPECT_EQ(nomEtatOuCode(NB_ETATS), "18");
    EXPECT_EQ(nomEtatOuCode(-1), "-1");
}

TEST(Names, AStateIsFoundByItsNameOnly) {
    for (const auto& [code, nom] : kEtats)
        EXPECT_EQ(etatDepuisNom(nom.c_str()), code);
    EXPECT_EQ(etatDepuisNom("ETAT_INCONNU"), -1);
    EXPECT_EQ(etatDepuisNom("etat_alarme"), -1);
    EXPECT_EQ(etatDepuisNom(""), -1);
    EXPECT_EQ(etatDepuisNom(nullptr), -1);
}

TEST(Names, KeypadResults) {
    EXPECT_STREQ(nomToucheCode(0), "0");
    EXPECT_STREQ(nomToucheCode(9), "9");
    EXPECT_STREQ(nomToucheCode(TOUCHE_APPEL_GARDIEN), "TOUCHE_APPEL_GARDIEN");
    EXPECT_STREQ(nomToucheCode(TOUCHE_AUCUNE), "TOUCHE_AUCUNE");
    for (int sans : {-1, 10, 11, 13, 254, 256})
        EXPECT_EQ(nomToucheCode(sans), nullptr) << sans;
}
