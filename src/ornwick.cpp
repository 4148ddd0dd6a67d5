// Entry point of the headless tool. Its commands run on the model (tool/), without the window;
// only widgets and about, which exist to show the window, build it (app/Headless.cpp).
#include "app/Headless.h"

#include <iostream>

int main(int argc, char** argv)
{
    return RunOrnwick(argc, argv, std::cout, std::cerr);
}
