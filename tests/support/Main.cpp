// The test programs' main: the journal's signals ignored first, as in every program that journals.
#include "journal/FichierJournal.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    borne::FichierJournal::ignorerSignaux();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
