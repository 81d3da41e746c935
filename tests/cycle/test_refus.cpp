// Refused codes, the limit of tries, and what clears them.
#include "support/Voie.h"

using namespace borne;
using borne::test::Voie;

namespace {
class Refus : public Voie {
protected:
    void SetUp() override {
        demarrer(MODE_SUPERVISE);
        amont();
        tour();
    }
    // Types four digits and lets the next turn verify them.
    void essayer(const std::string& code) {
        taper(code);
        tour();
    }
};
} // namespace

TEST_F(Refus, ARefusedCodeCountsATryAndSaysSo) {
    essayer("1234");
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_EQ(g->nbEssaisCourant(), 2);
    EXPECT_TRUE(g->codeRefuseCourant());
    EXPECT_EQ(g->codeSaisiCourant(), "");
    tour();
    EXPECT_EQ(ligne1(), "-  code non valide   -");
    EXPECT_EQ(ligne2(), "code : ");
}

TEST_F(Refus, TheThirdEntryIsNotVerifiedEvenWhenRight) {
    essayer("1111");
    essayer("2222");
    EXPECT_EQ(g->nbEssaisCourant(), 3);
    essayer("6082");
    EXPECT_EQ(etat(), ETAT_DEFAUT);
    EXPECT_FALSE(g->codeRefuseCourant());
    EXPECT_NE(p.Evenement.Text(), "AUTORISATION_OK");
    tour();
    EXPECT_EQ(ligne1(), "-  Acces refuse !    -");
    EXPECT_EQ(ligne2(), "- 3 essais max -");
    EXPECT_EQ(p.Default.Text(), "- 3 Essais max -");
    // Nothing is accepted in the fault state, not even the attendant's grant.
    autoriser();
    carte(true);
    tour(2);
    EXPECT_EQ(etat(), ETAT_DEFAUT);
    EXPECT_TRUE(flecheBasse());
    carte(false);
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(p.Default.Text(), "carte oubli\xE9"
                                "e"); // leaving the fault state always says so
    tour();
    EXPECT_EQ(g->nbEssaisCourant(), 1);
    EXPECT_EQ(ligne1(), "-      Bonjour!      -");
}

TEST_F(Refus, AnEmptyLaneClearsTriesAndFlags) {
    essayer("9999");
    vide();
    tour();
    EXPECT_EQ(g->nbEssaisCourant(), 2); // state 1 with the lane empty only moves to 0
    tour();
    EXPECT_EQ(g->nbEssaisCourant(), 1);
    EXPECT_FALSE(g->codeRefuseCourant());
    amont();
    tour(2);
    EXPECT_EQ(ligne1(), "-      Bonjour!      -");
}

TEST_F(Refus, AnAcceptedCodeAfterARefusalLetsTheCarIn) {
    essayer("0000");
    essayer("6082");
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(g->nbEssaisCourant(), 0);
    EXPECT_FALSE(g->codeRefuseCourant());
}

TEST_F(Refus, ACardInsertedAsTheCodeIsVerifiedTakesOver) {
    taper("1234");
    carte(true);
    tour();
    EXPECT_EQ(etat(), ETAT_VERIFIER_CARTE);
    EXPECT_EQ(g->nbEssaisCourant(), 2); // the code was still verified and refused
}
