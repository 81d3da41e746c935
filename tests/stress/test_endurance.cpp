// A short soak in every mode: twenty thousand turns with a random user, every turn checked (state range,
// code lengths, boom sensors against the pictures and the motor, Log.txt growth, whole lines). The
// million-turn run with its memory figures is bench/soak.
#include "control/Codes.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Soak.h"

#include <cstdio>

using namespace borne;

namespace {

constexpr long kTours = 20000;

class Endurance : public test::Sandbox, public ::testing::WithParamInterface<int> {};

TEST_P(Endurance, EveryTurnKeepsTheInvariants) {
    const int mode = GetParam();
    const std::uint64_t g = test::testSeed();
    std::printf("mode %d, seed %llu\n", mode, static_cast<unsigned long long>(g));
    const auto bilan = test::soak(mode, kTours, g);
    EXPECT_EQ(bilan.turns, kTours);
    EXPECT_EQ(bilan.violations, 0) << bilan.first << " (seed " << g << ")";
    EXPECT_GT(bilan.lines, kTours / 100);

    // The random user must really take the lane through its states, or the soak proves little.
    std::printf("turns per state:");
    for (long v : bilan.visits)
        std::printf(" %ld", v);
    std::printf("\n");
    if (mode == MODE_SUPERVISE || mode == MODE_LOCAL) {
        for (int etat = ETAT_VEHICULE_ABSENT; etat <= ETAT_DEFAUT; ++etat) {
            const bool atteignable =
                mode == MODE_SUPERVISE || (etat != ETAT_APPEL_GARDIEN && etat != ETAT_ALARME);
            if (atteignable) {
                EXPECT_GT(bilan.visits[static_cast<std::size_t>(etat)], 0) << "state " << etat;
            }
        }
    } else {
        EXPECT_GT(bilan.visits[ETAT_ALARME], 0) << "an alarm takes every mode out of its start state";
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Endurance,
                         ::testing::Values(MODE_SUPERVISE, MODE_HORS_SERVICE, MODE_HORS_SERVICE_OUVERT,
                                           MODE_TEST, MODE_LOCAL),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

} // namespace
