// Entry point of the tool `ornwick`: the command line goes to RunOrnwick, which runs the command it names.
#include "app/Headless.h"

#include <iostream>

int main(int argc, char** argv)
{
    return RunOrnwick(argc, argv, std::cout, std::cerr);
}
