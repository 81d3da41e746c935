// borne: the car-park access lane terminal on its operator panel. No command line.
#include "app/Programme.h"

int main(int argc, char** argv) {
    return borne::lancerProgramme(argc, argv);
}
