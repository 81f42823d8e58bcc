// twrgs: see twrgs.h.
#include "twrgs.h"

int main(int argc, char** argv) {
    return tw::TwrgsMain(argc, argv);
}
