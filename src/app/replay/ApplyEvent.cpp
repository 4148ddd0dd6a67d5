// An event of the round applied by the replay session, and what it changed shown.
#include "app/UTarvelMain.h"

void TTarvelMain::ApplyEvent(int index)
{
    RunSession([&] { LiveSession().ApplyEvent(index); });
}
