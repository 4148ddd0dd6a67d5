// Entry point of the window program; everything it runs lives in the core library.
#include "app/Startup.h"

int main(int argc, char** argv)
{
    return RunTarvel(argc, argv);
}
