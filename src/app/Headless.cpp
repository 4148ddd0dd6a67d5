#include "app/Headless.h"

#include <ostream>

int RunOrnwick(int, char**, std::ostream&, std::ostream& err)
{
    err << "usage: ornwick COMMAND ...\n";
    return 2;
}
