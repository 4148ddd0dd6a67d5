// Entry point of the headless tool; everything it runs lives in the core library.
#include "app/Headless.h"

#include <iostream>

int main(int argc, char** argv)
{
    return RunOrnwick(argc, argv, std::cout, std::cerr);
}
