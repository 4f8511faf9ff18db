// window.cpp: the GLUT window, its callbacks (each recorded on its way to the game) and the
// process's one run of the game.
#include "app/window.h"

#include <GL/freeglut.h>

#include "app/frame.h"
#include "core/camera.h"
#include "game/game.h"
#include "render/texture.h"
#include "script/scripting.h"
#include "session/recording.h"

namespace {
// Double-buffered RGBA with destination alpha and a stencil for the shadows; no depth buffer.
constexpr unsigned kDisplayMode = GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL;
static_assert(kDisplayMode == 42, "the display mode the lighting relies on");

int32_t windowSystemClock() { return glutGet(GLUT_ELAPSED_TIME); }
// The window system's clock, each reading written to the session recording on its way.
int32_t recordedWindowClock() { return recordReading(windowSystemClock()); }

void leaveWithGlut() { glutLeaveMainLoop(); }
void fullScreenWithGlut() { glutFullScreen(); }
void windowedWithGlut(int width, int height) {
    glutReshapeWindow(width, height);
    glutPositionWindow(0, 0);
}
void viewportToWindow(int width, int height) { glViewport(0, 0, width, height); }

// Runs while the window and its context still exist, so the GL textures can be deleted; the
// sheet records stay until shutdownGame, after the actors and quads that point at them.
void releaseGlResources() {
    recordClose();
    releaseGlTextures();
}

void openGlutWindow(int& argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(kDisplayMode);
    const Vec2f view = viewSize();
    glutInitWindowSize(static_cast<int>(view.x), static_cast<int>(view.y));
    glutCreateWindow(kGameTitle);
    // Let glutMainLoop return, so Esc and closing the window both end with status 0 from here.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    // Each wrapper runs the game's handler (onReshape, runPass, onKeyDown, onKeyUp,
    // onMouseMove, onMouseButton) and writes the callback to the session recording.
    glutReshapeFunc(recordedReshape);
    glutDisplayFunc(recordedPass);
    glutKeyboardFunc(recordedKeyDown);
    glutKeyboardUpFunc(recordedKeyUp);
    glutMotionFunc(recordedMotion);
    glutPassiveMotionFunc(recordedPassiveMotion);
    glutMouseFunc(recordedMouseButton);
    glutIdleFunc(recordedPass);
    glutCloseFunc(releaseGlResources);
    glClearColor(0.025f, 0.025f, 0.125f, 1.0f);
}
}  // namespace

Host windowHost() {
    return Host{windowSystemClock, renderFrame, loadImageWithGl, readMapFromDisk, readScriptFromDisk,
                WindowActions{leaveWithGlut, fullScreenWithGlut, windowedWithGlut,
                              viewportToWindow, releaseGlTextures}};
}

int runApplication(int argc, char** argv) {
    // Before the window system sees the arguments: it may take some of them away.
    beginSessionRecording(kRecordingsFolder, argc, argv);
    Host recorded = windowHost();
    recorded.clock = recordedWindowClock;
    recorded.readMap = readAndRecordMap;
    recorded.readScript = readAndRecordScript;
    const ScopedHost installed(recorded);
    installScripting();
    startGame(argc, argv, true, openGlutWindow);
    recordStartupDone();
    glutMainLoop();
    endRecording();
    shutdownGame(false);  // the window, its context and textures are gone by now
    return 0;
}
