// A run as a Value Change Dump (IEEE 1364) for waveform viewers (GTKWave, Surfer): time unit 1 ms, one
// scope per control with one variable per property written during the run (by the terminal or by the
// script), booleans as 1-bit wires, colours as 24-bit vectors (0xBBGGRR), texts as string variables, and
// the controller's state as the string variable tGestionBarriere.etat holding the state's name.
//
// Viewers split words at blanks, so a text's spaces are written '_' and its other control bytes '?';
// "." in a property name is written "_" as viewers take it for a scope separator (Brush_Color).
#pragma once

#include "tools/files/Files.h"

#include "tools/scenario/Engine.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace borne::scenario {

class VcdWriter final : public RunObserver {
public:
    VcdWriter() = default;
    ~VcdWriter();
    VcdWriter(const VcdWriter&) = delete;
    VcdWriter& operator=(const VcdWriter&) = delete;

    // Creates (or empties) the file now, so a path that cannot be written is known before the run; the
    // changes wait in a scratch file until close(). False with a message naming the path.
    // A named pipe waits for its reader until the deadline only; without one, for as long as it takes.
    bool open(const std::string& path, std::string& error, const files::Deadline& deadline = std::nullopt);
    // Writes the declarations and every change to the file. False with a message naming the path.
    bool close(std::string& error);

    void starting(Engine&) override;
    void wrote(const Ecriture& e, std::int64_t at) override;
    void stateChanged(int state, std::int64_t at) override;
    void finished(std::int64_t at) override;

private:
    struct Signal {
        const Controle* control;
        Propriete property;
        std::string id;
        Valeur initial;
        Valeur last;
        bool used = false;
    };
    void moveTo(std::int64_t at);
    void change(const std::string& id, const Valeur& v, std::FILE* to);

    std::string path_;
    std::FILE* file_ = nullptr;
    std::FILE* body_ = nullptr;
    std::vector<Signal> signals_;
    std::unordered_map<const Controle*, std::size_t> first_; // first signal of each control
    std::string stateId_;
    int initialState_ = -1;
    int lastState_ = -1;
    std::int64_t time_ = 0;
};

} // namespace borne::scenario
