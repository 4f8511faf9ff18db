// main.cpp: the process entry; everything happens in launch and the window callbacks.
#include "app/command_line.h"

int main(int argc, char** argv) { return launch(argc, argv); }
