// effect_layers.h: the back and front burst layers and the per-sheet sprite batches.
#pragma once

void drawBackLayer();
void drawSpriteBatches();
void drawFrontLayer();
// Queues every live flicker of light1.png as a light of its current colour and position.
void queueFlickerLights();
