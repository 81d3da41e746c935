// Refused codes, the limit of tries, and what clears them.
#include "tests/support/Lane.h"

using namespace borne;
using borne::test::Lane;

namespace {
class Refus : public Lane {
protected:
    void SetUp() override {
        start(MODE_SUPERVISE);
        upstream();
        turn();
    }
    // Types four digits and lets the next turn verify them.
    void essayer(const std::string& code) {
        typeCode(code);
        turn();
    }
};
} // namespace

TEST_F(Refus, ARefusedCodeCountsATryAndSaysSo) {
    essayer("1234");
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_EQ(terminal->nbEssaisCourant(), 2);
    EXPECT_TRUE(terminal->codeRefuseCourant());
    EXPECT_EQ(terminal->codeSaisiCourant(), "");
    turn();
    EXPECT_EQ(line1(), "-  code non valide   -");
    EXPECT_EQ(line2(), "code : ");
}

TEST_F(Refus, TheThirdEntryIsNotVerifiedEvenWhenRight) {
    essayer("1111");
    essayer("2222");
    EXPECT_EQ(terminal->nbEssaisCourant(), 3);
    essayer("6082");
    EXPECT_EQ(state(), ETAT_DEFAUT);
    EXPECT_FALSE(terminal->codeRefuseCourant());
    EXPECT_NE(panel.Evenement.Text(), "AUTORISATION_OK");
    turn();
    EXPECT_EQ(line1(), "-  Acces refuse !    -");
    EXPECT_EQ(line2(), "- 3 essais max -");
    EXPECT_EQ(panel.Default.Text(), "- 3 Essais max -");
    // Nothing is accepted in the fault state, not even the attendant's grant.
    authorise();
    card(true);
    turn(2);
    EXPECT_EQ(state(), ETAT_DEFAUT);
    EXPECT_TRUE(boomDown());
    card(false);
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(panel.Default.Text(), "carte oubli\xE9"
                                    "e"); // leaving the fault state always says so
    turn();
    EXPECT_EQ(terminal->nbEssaisCourant(), 1);
    EXPECT_EQ(line1(), "-      Bonjour!      -");
}

TEST_F(Refus, AnEmptyLaneClearsTriesAndFlags) {
    essayer("9999");
    emptyLane();
    turn();
    EXPECT_EQ(terminal->nbEssaisCourant(), 2); // state 1 with the lane empty only moves to 0
    turn();
    EXPECT_EQ(terminal->nbEssaisCourant(), 1);
    EXPECT_FALSE(terminal->codeRefuseCourant());
    upstream();
    turn(2);
    EXPECT_EQ(line1(), "-      Bonjour!      -");
}

TEST_F(Refus, AnAcceptedCodeAfterARefusalLetsTheCarIn) {
    essayer("0000");
    essayer("6082");
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(terminal->nbEssaisCourant(), 0);
    EXPECT_FALSE(terminal->codeRefuseCourant());
}

TEST_F(Refus, ACardInsertedAsTheCodeIsVerifiedTakesOver) {
    typeCode("1234");
    card(true);
    turn();
    EXPECT_EQ(state(), ETAT_VERIFIER_CARTE);
    EXPECT_EQ(terminal->nbEssaisCourant(), 2); // the code was still verified and refused
}
