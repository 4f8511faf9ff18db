// map_editor.h: selecting, dragging and snapping map quads with the mouse.
#pragma once
#include "core/vec2.h"

struct MapQuad;

extern bool editorEnabled;

void editorMouseDown(Vec2f point);
void pickEditMode(MapQuad& quad, Vec2f point);
void editorDrag(Vec2f delta);
void editorMouseUp();
void addDefaultQuad();
void setEditorEnabled(bool enabled);
