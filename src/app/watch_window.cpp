// watch_window.cpp: the replay's window; entries are played when their recorded time comes.
#include "app/watch_window.h"

#include <GL/freeglut.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "app/frame_drawing.h"
#include "app/window.h"
#include "core/camera.h"

namespace {
int32_t watchStart = 0;  // real ms when the replay's clock stood at 0

void watchTick() {
    const int32_t now = glutGet(GLUT_ELAPSED_TIME) - watchStart;  // on the recorded clock
    for (;;) {
        const int32_t due = nextEntryTime();
        if (due > now) return;
        if (!playNextEntry()) {
            glutLeaveMainLoop();
            return;
        }
    }
}

void watchKey(unsigned char key, int, int) {
    if (key != 27) return;  // the viewer's keys never reach the game
    stopReplay();
    glutLeaveMainLoop();
}

void keepViewport(int width, int height) { glViewport(0, 0, width, height); }

void openWatchWindow(int&, char**) {
    // The window system sees only this program's name, never the recorded arguments.
    static char name[] = "kelvoran-replay";
    static char* args[] = {name, nullptr};
    int count = 1;
    glutInit(&count, args);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL);
    const Vec2f view = viewSize();
    glutInitWindowSize(static_cast<int>(view.x), static_cast<int>(view.y));
    glutCreateWindow("Kelvoran v0.1 (replay)");
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutReshapeFunc(keepViewport);
    glutDisplayFunc(watchTick);
    glutIdleFunc(watchTick);
    glutKeyboardFunc(watchKey);
    glClearColor(0.025f, 0.025f, 0.125f, 1.0f);
}
}  // namespace

ReplayResult watchRecording(const Recording& recording, const ReplaySettings& settings) {
    const ScopedHost restore(windowHost());
    // Every replayed frame is drawn: this window does not tell the game when it was uncovered.
    Host watched = windowHost();
    watched.frame = renderFrame;
    if (!beginReplay(recording, settings, watched, settings.imageFolder, openWatchWindow))
        return endReplay();
    if (chdir(settings.folder.c_str()) != 0) {
        // Played nowhere but in its own folder.
        refuseReplay("cannot enter " + settings.folder + ": " + std::strerror(errno));
        return endReplay();
    }
    watchStart = glutGet(GLUT_ELAPSED_TIME) - replayClock();
    glutMainLoop();
    stopReplay();  // the viewer closed the window; nothing when the replay had ended
    return endReplay();
}
