// The window's tests need one application object, offscreen, for the whole run.
#include "tests/window/Application.h"

int main(int argc, char** argv) {
    return borne::test::runWindowTests(argc, argv);
}
