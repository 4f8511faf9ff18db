// effect_layers.h: the back and front burst layers and the per-sheet sprite batches.
#pragma once

// The frame's drawing layers, in world coordinates, GL context required.
void drawBackLayer();      // bursts of the back-layer sheets
void drawSpriteBatches();  // every sheet's queued sprites, then empties the sprite queues
void drawFrontLayer();     // bursts of the front-layer sheets
// Queues every live flicker of light1.png as a light of its current colour and position.
void queueFlickerLights();
