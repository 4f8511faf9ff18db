// map_quad.h: the map's convex quads, their static bodies and the geometric queries over them.
#pragma once
#include <cstdint>
#include <vector>

#include "app/camera.h"

class b2Body;
struct Texture;

struct MapQuad {
    Vec2f texCoords[4];
    Vec2f vertices[4];  // numerically counter-clockwise once accepted by setGeometry
    Vec2f center;
    bool tag = false;
    b2Body* body = nullptr;  // none while the stored corners are not a valid polygon
    Texture* texture = nullptr;
    bool selected = false;
    int32_t editMode = -1;  // -1 none, 0..3 a corner, 4 the whole quad
};

// Owns every quad, in registration order.
extern std::vector<MapQuad*> mapQuads;

void registerQuad(MapQuad* quad);
// What the loader and the editor both do: allocate, register, default texture coordinates,
// then setGeometry with the corners. The list owns the result.
MapQuad* createQuad(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
void setGeometry(MapQuad& quad, float x0, float y0, float x1, float y1, float x2, float y2,
                 float x3, float y3);
bool containsPoint(const MapQuad& quad, Vec2f point);
int32_t findQuadAt(Vec2f point);
bool anyQuadAt(Vec2f point);
float facingEdgeLength(const MapQuad& quad, Vec2f point);
void snapToGrid(MapQuad& quad);
int32_t getQuadCount();
MapQuad& getQuad(int32_t index);
// Deletes every quad; their bodies must already be gone with their world or destroyed here.
void clearMapQuads(bool destroyBodies);

// The turn test setGeometry applies to proposed corners (corners 1, 2, 3, 0 in that order).
bool cornersPassValidation(const Vec2f corners[4]);
// True when the corners, in metres, make a polygon Box2D accepts as it is: finite, every corner a
// strict numeric left turn, no two corners within Box2D's weld distance, area well above zero.
bool isValidBodyPolygon(const Vec2f corners[4]);
// One coordinate rounded to the nearest multiple of 8 world units, halves away from zero.
float snapCoordinate(float c);

float headingDeg(Vec2f a, Vec2f b);  // direction of the vector from b to a, degrees in [0, 360)
float wrappedDiff(float a, float b);
