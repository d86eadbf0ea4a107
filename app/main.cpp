#include "app/Mistle.h"

int main(int argc, char** argv)
{
    return Corvane::Common::RunMistle(argc, argv);
}
