#pragma once

// Runs the window program: the application object, the main window and the message loop.
int RunTarvel(int argc, char** argv);
