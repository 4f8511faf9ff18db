// gl_window.h: a real GLUT window for tests that read pixels back (run under Xvfb).
#pragma once
#include <functional>
#include <string>

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

// Opens one window per process, with the game's display mode (double, alpha, stencil), and
// makes its context current. Later calls reshape it to the asked size.
void openTestWindow(int width = 1024, int height = 600);
// Whether this process has opened its window (its GL context is then current).
bool testWindowOpen();
// Pumps window-system events so reshapes reach the window size.
void pumpEvents(int milliseconds = 50);
// Reads one pixel of the back buffer; (x, y) in window pixels from the bottom-left corner.
Rgba readPixel(int x, int y);
// Mean colour of a rectangle of the back buffer, bottom-left origin.
Rgba meanColour(int x, int y, int width, int height);

// Runs fn with standard output captured, and returns what it printed.
std::string captureStdout(const std::function<void()>& fn);

// Makes a fresh folder under /tmp named after prefix and makes it the working folder; returns it.
std::string enterTempFolder(const std::string& prefix);
// Leaves folder (back to /tmp) and removes it with everything in it.
void leaveTempFolder(const std::string& folder);
// Copies every file of the game's assets folder into the working folder (each case's own), so
// a test reads the real sheets and map without ever writing beside them.
void copyAssetsHere();
