// window.cpp: the GLUT window, its callbacks (each recorded on its way to the game) and the
// process's one run of the game.
#include "app/window.h"

#include <GL/freeglut.h>
#include <box2d/box2d.h>

#include "app/app_state.h"
#include "app/frame_drawing.h"
#include "app/frame_timing.h"
#include "app/timing_overlay.h"
#include "audio/sound_player.h"
#include "app/loop_stats.h"
#include "core/camera.h"
#include "core/heap_upkeep.h"
#include "game/game.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/step_commands.h"
#include "physics/physics_world.h"
#include "game/redraw_decision.h"
#include "render/font.h"
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

// An unchanged picture stays on the screen; with a software renderer, drawing it again would
// keep more threads busy than the whole game logic.
void drawFrameIfChanged() {
    switch (takeFrameToDraw()) {
        case FrameNeed::Nothing: return;
        case FrameNeed::AllButLightmap: renderFrameKeepingLightmap(); break;
        case FrameNeed::Everything: renderFrame(); break;
    }
    countDrawnFrame();
}

void timedPass();

// A game played in a window someone else opened (the level picker's): who it hands the leave and
// the keys to, and whether it asked to leave.
struct OpenWindowRun {
    OpenWindowGame game;
    bool leaveAsked = false;
    Host previousHost = headlessHost();
};
OpenWindowRun openRun;

void idlePass() {
    if (openRun.leaveAsked) {
        // Between passes, outside every callback: the caller may end the game here.
        openRun.leaveAsked = false;
        glutIdleFunc(nullptr);
        openRun.game.left();
        return;
    }
    timedPass();
    reportLoopSecond();
}

// The window system asks for a picture when the window was uncovered, resized or mapped.
void displayPass() {
    pictureLost();
    idlePass();
}

// Between passes the process sleeps in the window system's wait for events: no idle callback,
// one timer at the time the loop named. Input and window events are handled as they come.
struct LoopWait {
    bool sleeping = false;
    int32_t wakeAt = 0;      // clock ms
    int generation = 0;      // of the timer that counts; an earlier one was overtaken
};
LoopWait loopWait;

void resumePasses(int generation) {
    if (generation != loopWait.generation) return;
    loopWait.sleeping = false;
    glutIdleFunc(idlePass);
}

void waitWithGlut(int32_t until) {
    if (loopWait.sleeping && loopWait.wakeAt <= until) return;  // woken in time already
    const int32_t delay = until - glutGet(GLUT_ELAPSED_TIME);
    ++loopWait.generation;
    if (delay <= 0) {
        loopWait.sleeping = false;
        glutIdleFunc(idlePass);
        return;
    }
    loopWait.sleeping = true;
    loopWait.wakeAt = until;
    glutIdleFunc(nullptr);
    glutTimerFunc(static_cast<unsigned>(delay), resumePasses, loopWait.generation);
}

void leaveWithGlut() { glutLeaveMainLoop(); }
// The game in an open window leaves to its caller at the next pass, which is due at once.
void leaveToCaller() {
    openRun.leaveAsked = true;
    ++loopWait.generation;
    loopWait.sleeping = false;
    glutIdleFunc(idlePass);
}
void fullScreenWithGlut() { glutFullScreen(); }
void windowedWithGlut(int width, int height) {
    glutReshapeWindow(width, height);
    glutPositionWindow(0, 0);
}
void viewportToWindow(int width, int height) { glViewport(0, 0, width, height); }

// GLUT tells the modifier keys only inside key and button callbacks; each is handed to the game
// (and the recording) as a plain value just before the event it came with.
int modifierBits() {
    const int held = glutGetModifiers();
    return ((held & GLUT_ACTIVE_SHIFT) ? kShiftModifier : 0) | ((held & GLUT_ACTIVE_CTRL) ? kCtrlModifier : 0) |
           ((held & GLUT_ACTIVE_ALT) ? kAltModifier : 0);
}
void keyDownWithModifiers(unsigned char key, int x, int y) {
    if (openRun.game.key != nullptr && (key = openRun.game.key(key)) == 0) return;
    recordedModifiers(modifierBits());
    recordedKeyDown(key, x, y);
}
void specialKeyWithModifiers(int key, int x, int y) {
    recordedModifiers(modifierBits());
    recordedSpecialKey(key, x, y);
}
void mouseButtonWithModifiers(int button, int state, int x, int y) {
    recordedModifiers(modifierBits());
    recordedMouseButton(button, state, x, y);
}

// Runs while the window and its context still exist, so the GL textures can be deleted; the
// sheet records stay until shutdownGame, after the actors and quads that point at them.
void releaseGlResources() {
    recordClose();
    releaseTimingOverlay();
    releaseFontTextures();
    releaseGlTextures();
}

// The game's frame (when the picture changed), then the sound of what happened since the last.
void frameWithSound() {
    drawFrameIfChanged();
    updateAudio();
}

// The recorded pass, measured for the timing overlay: the loop's logic is the pass less its
// frame, shared among the steps it ran.
void timedPass() {
    const double start = timingClockMs();
    const int32_t steps = recordedPass().steps;
    const double passMs = timingClockMs() - start;
    PhysicsSplit split;
    if (const b2World* world = getWorld(); world && steps > 0) {
        const b2Profile& profile = world->GetProfile();  // the pass's last step
        split = {profile.collide, profile.solve, profile.solveTOI};
    }
    notePass(passMs, steps, split);
    publishTimingIfDue(timingClockMs());
}

void installGameCallbacks(int&, char**) {
    // Each wrapper runs the game's handler (onReshape, runPass, onKeyDown, onKeyUp,
    // onSpecialKey, onMouseMove, onMouseButton) and writes the callback to the session recording;
    // the pass is also timed.
    glutReshapeFunc(recordedReshape);
    glutDisplayFunc(displayPass);
    glutKeyboardFunc(keyDownWithModifiers);
    glutKeyboardUpFunc(recordedKeyUp);
    glutSpecialFunc(specialKeyWithModifiers);
    glutMotionFunc(recordedMotion);
    glutPassiveMotionFunc(recordedPassiveMotion);
    glutMouseFunc(mouseButtonWithModifiers);
    glutIdleFunc(idlePass);
    glutCloseFunc(releaseGlResources);
    glClearColor(0.025f, 0.025f, 0.125f, 1.0f);
}

void openGlutWindow(int& argc, char** argv) {
    const Vec2f view = viewSize();
    openWindowForGame(argc, argv, static_cast<int>(view.x), static_cast<int>(view.y));
    installGameCallbacks(argc, argv);
}

// The start every window run shares, from the recording to the loop statistics.
void beginWindowRun(int& argc, char** argv, void (*leave)(), bool announce, OpenWindowFunction openWindow) {
    // Before the window system sees the arguments: it may take some of them away.
    beginSessionRecording(kRecordingsFolder, argc, argv);
    Host recorded = windowHost();
    recorded.clock = recordedWindowClock;
    recorded.readMap = readAndRecordMap;
    recorded.frame = frameWithSound;
    recorded.readScript = readAndRecordScript;
    recorded.readLevelFile = readAndRecordLevelFile;
    recorded.window.leaveMainLoop = leave;
    installHost(recorded);
    // What the player does reaches the game as commands at the next step, recorded or not.
    setInputTiming(InputTiming::NextStep);
    installScripting();
    startGame(argc, argv, announce, openWindow);
    startAudio();  // output only: with or without a device the game plays the same
    recordStartupDone();
    openLoopStats();
}

void endWindowRun(bool glContextCurrent, const Host& previous) {
    closeLoopStats();
    endRecording();
    resetLayersFromApp(glContextCurrent);  // the sound stops before the cars go
    installHost(previous);
}
}  // namespace

void openWindowForGame(int& argc, char** argv, int width, int height) {
    glutInit(&argc, argv);
    glutInitDisplayMode(kDisplayMode);
    glutInitWindowSize(width, height);
    glutCreateWindow(kGameTitle);
    // Let glutMainLoop return, so Esc and closing the window both end with status 0 from here.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
}

void startGameInOpenWindow(int argc, char** argv, int width, int height, const OpenWindowGame& game) {
    openRun = OpenWindowRun{game, false, host()};
    beginWindowRun(argc, argv, leaveToCaller, false, installGameCallbacks);
    // The window is shown already: the game learns its size as a new window's first event.
    recordedReshape(width, height);
    glutPostRedisplay();
}

void endGameInOpenWindow(bool glContextCurrent) {
    const Host previous = openRun.previousHost;
    openRun = OpenWindowRun();
    ++loopWait.generation;  // a timer still pending belongs to the game that ended
    loopWait.sleeping = false;
    endWindowRun(glContextCurrent, previous);
}

Host windowHost() {
    return Host{windowSystemClock, drawFrameIfChanged, waitWithGlut, loadImageWithGl, readMapFromDisk,
                readScriptFromDisk,
                WindowActions{leaveWithGlut, fullScreenWithGlut, windowedWithGlut,
                              viewportToWindow, releaseGlTextures}};
}

void setWindowKeyFilter(unsigned char (*filter)(unsigned char key)) { openRun.game.key = filter; }

int runApplication(int argc, char** argv) {
    pinHeapThresholds();
    const Host previous = host();
    beginWindowRun(argc, argv, leaveWithGlut, true, openGlutWindow);
    glutMainLoop();
    endWindowRun(false, previous);  // the window, its context and textures are gone by now
    return 0;
}
