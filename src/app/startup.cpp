// startup.cpp: start-up in its fixed order, the window system's loop, and the shutdown.
#include "app/startup.h"

#include <GL/freeglut.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "actors/actor.h"
#include "app/frame.h"
#include "app/heap_upkeep.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "app/map_loading.h"
#include "app/sandbox.h"
#include "app/recording.h"
#include "core/camera.h"
#include "core/random.h"
#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/physics_world.h"
#include "render/texture.h"

namespace {
constexpr const char* kTitle = "Kelvoran v0.1";
constexpr int32_t kViewWidth = 1024;   // world units, and the window's first size in pixels
constexpr int32_t kViewHeight = 600;
constexpr Vec2f kSpawnPoint = {10.0f, 20.0f};
// Double-buffered RGBA with destination alpha and a stencil for the shadows; no depth buffer.
constexpr unsigned kDisplayMode = GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL;
static_assert(kDisplayMode == 42, "the display mode the lighting relies on");

// Runs while the window and its context still exist, so the GL textures can be deleted; the
// sheet records stay until shutdownGame, after the actors and quads that point at them.
void releaseGlResources() {
    recordClose();
    releaseGlTextures();
}

// The window system's clock, each reading written to the session recording on its way.
int32_t recordedWindowClock() { return recordReading(glutGet(GLUT_ELAPSED_TIME)); }

void openGlutWindow(int& argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(kDisplayMode);
    const Vec2f view = viewSize();
    glutInitWindowSize(static_cast<int>(view.x), static_cast<int>(view.y));
    glutCreateWindow(kTitle);
    // Let glutMainLoop return, so Esc and closing the window both end with status 0 from here.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    // Each wrapper runs the handler (onReshape, runPass, onKeyDown, onKeyUp, onMouseMove,
    // onMouseButton) and writes the callback to the session recording.
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

void announceArguments(int argc, char** argv, std::ostream& out) {
    out << kTitle << std::endl;
    out << " Launched with " << argc << " args:" << std::endl;
    for (int i = 0; i < argc; ++i) {
        out << i + 1 << ". " << argv[i] << std::endl;
        if (std::strcmp(argv[i], "editor") == 0) {
            setEditorEnabled(true);
            out << "Swiching to editor mode." << std::endl;
        }
    }
}

void startGame(int& argc, char** argv, bool announce, OpenWindowFunction openWindow) {
    setCamera(0.0f, 0.0f, kViewWidth, kViewHeight, 1.0f, 1.0f, 0.0f);
    if (announce) announceArguments(argc, argv, std::cout);
    spawnPoint = kSpawnPoint;
    openWindow(argc, argv);
    seedRandom(0);
    loadAllTextures();
    loadMap();    // creates the physics world first
    primeLoop();  // after loading, so loading time is not owed as logic steps
}

void shutdownGame(bool glContextCurrent) {
    clearMapHistory();
    setSimulationPaused(false);
    clearMessages();
    clearActors();  // their bodies first, while their world exists
    clearMapQuads(true);
    destroyWorld();
    unloadAllTextures(glContextCurrent);
}

int runApplication(int argc, char** argv) {
    pinHeapThresholds();
    // Before the window system sees the arguments: it may take some of them away.
    beginSessionRecording(kRecordingsFolder, argc, argv);
    setClock(recordedWindowClock);
    setMapReader(readAndRecordMap);
    startGame(argc, argv, true, openGlutWindow);
    recordStartupDone();
    glutMainLoop();
    endRecording();
    shutdownGame(false);  // the window, its context and textures are gone by now
    return 0;
}
