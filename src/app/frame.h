// frame.h: draws one complete frame in its fixed layer order and presents it.
#pragma once

void renderFrame();
