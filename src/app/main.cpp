// main.cpp: the process entry; everything happens in runApplication and the window callbacks.
#include "app/window.h"

int main(int argc, char** argv) { return runApplication(argc, argv); }
