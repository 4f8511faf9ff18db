// gl_window.cpp: one real window per test process, and pixel and console capture helpers.
#include "support/gl_window.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>
#include <vector>

#include "core/camera.h"

namespace {
int window = 0;
void ignoreDisplay() {}
// What the game's reshape callback does, without linking the application layer.
void reshapeTestWindow(int width, int height) {
    setWindowSize(static_cast<float>(width), static_cast<float>(height));
    glViewport(0, 0, width, height);
}
}  // namespace

void openTestWindow(int width, int height) {
    if (window == 0) {
        int argc = 1;
        char name[] = "kelvoran-test";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_DOUBLE | GLUT_ALPHA | GLUT_STENCIL);
        glutInitWindowSize(width, height);
        glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
        window = glutCreateWindow("Kelvoran test");
        glutDisplayFunc(ignoreDisplay);
        glutReshapeFunc(reshapeTestWindow);
        glClearColor(0.025f, 0.025f, 0.125f, 1.0f);
        pumpEvents(100);
    } else {
        glutReshapeWindow(width, height);
        pumpEvents(150);
        // The back buffer takes a new size only at a swap: without one, the first picture a
        // case draws after another case resized the window is cut to the old size.
        glutSwapBuffers();
    }
    // The window manager-less Xvfb may deliver the reshape late; the size we asked for is the
    // one every test draws into, so record it directly as well.
    reshapeTestWindow(width, height);
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_BACK);
}

bool testWindowOpen() { return window != 0; }

void pumpEvents(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        glutMainLoopEvent();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

Rgba readPixel(int x, int y) { return meanColour(x, y, 1, 1); }

Rgba meanColour(int x, int y, int width, int height) {
    std::vector<float> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_FLOAT, pixels.data());
    Rgba mean;
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        mean.r += pixels[i * 4 + 0];
        mean.g += pixels[i * 4 + 1];
        mean.b += pixels[i * 4 + 2];
        mean.a += pixels[i * 4 + 3];
    }
    mean.r /= count;
    mean.g /= count;
    mean.b /= count;
    mean.a /= count;
    return mean;
}

std::string captureStdout(const std::function<void()>& fn) {
    std::cout.flush();
    testing::internal::CaptureStdout();
    fn();
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

std::string enterTempFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
        ADD_FAILURE() << "cannot make and enter " << pattern;
    }
    return pattern;
}

void leaveTempFolder(const std::string& folder) {
    EXPECT_EQ(chdir("/tmp"), 0);
    std::filesystem::remove_all(folder);
}

void copyAssetsHere() {
    for (const auto& entry : std::filesystem::directory_iterator(KELVORAN_ASSETS)) {
        std::error_code error;
        std::filesystem::copy_file(entry.path(), entry.path().filename(),
                                   std::filesystem::copy_options::overwrite_existing, error);
        EXPECT_FALSE(error) << "cannot copy " << entry.path() << ": " << error.message();
    }
}
