// A test bench: the process-wide panel back in its stored state, a virtual clock installed and a
// fresh working folder, for every test that uses it.
#pragma once

#include "control/Attente.h"
#include "panel/PanneauOperateur.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace borne::test {

class Banc : public ::testing::Test {
protected:
    Banc();
    ~Banc() override;

    PanneauOperateur& p = panneau();
    HorlogeVirtuelle horloge;

    // A fresh empty folder that is the working directory for the test's duration.
    const std::filesystem::path& dossier() const { return dossier_; }

private:
    HorlogeInstallee installee_{horloge};
    std::filesystem::path ancien_;
    std::filesystem::path dossier_;
};

} // namespace borne::test
