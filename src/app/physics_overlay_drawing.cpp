// physics_overlay_drawing.cpp: a b2Draw that draws lines and points in metres under the world transform,
// and the overlay's pass over the world with it.
#include "app/physics_overlay_drawing.h"

#include <GL/gl.h>
#include <box2d/box2d.h>

#include <cmath>

#include "core/units.h"
#include "physics/physics_world.h"

namespace {
constexpr int kCircleSegments = 16;
constexpr float kContactPointSize = 5.0f;    // pixels
constexpr float kNormalLength = 0.6f;        // metres
constexpr float kCentreAxisLength = 0.4f;    // metres
const b2Color kContactColour(1.0f, 0.25f, 0.2f);
const b2Color kNormalColour(1.0f, 0.9f, 0.2f);

void colour(const b2Color& c) { glColor4f(c.r, c.g, c.b, 1.0f); }

// Outlines only: the scene stays readable under the shapes. Box2D picks the colour by body state
// (static, kinematic, sleeping, awake dynamic).
class GlDebugDraw final : public b2Draw {
public:
    void DrawPolygon(const b2Vec2* vertices, int32 count, const b2Color& color) override {
        colour(color);
        glBegin(GL_LINE_LOOP);
        for (int32 i = 0; i < count; ++i) glVertex2f(vertices[i].x, vertices[i].y);
        glEnd();
    }
    void DrawSolidPolygon(const b2Vec2* vertices, int32 count, const b2Color& color) override {
        DrawPolygon(vertices, count, color);
    }
    void DrawCircle(const b2Vec2& center, float radius, const b2Color& color) override {
        colour(color);
        glBegin(GL_LINE_LOOP);
        for (int i = 0; i < kCircleSegments; ++i) {
            const float a = 2.0f * kPi * static_cast<float>(i) / kCircleSegments;
            glVertex2f(center.x + radius * std::cos(a), center.y + radius * std::sin(a));
        }
        glEnd();
    }
    void DrawSolidCircle(const b2Vec2& center, float radius, const b2Vec2& axis,
                         const b2Color& color) override {
        DrawCircle(center, radius, color);
        DrawSegment(center, center + radius * axis, color);
    }
    void DrawSegment(const b2Vec2& p1, const b2Vec2& p2, const b2Color& color) override {
        colour(color);
        glBegin(GL_LINES);
        glVertex2f(p1.x, p1.y);
        glVertex2f(p2.x, p2.y);
        glEnd();
    }
    void DrawTransform(const b2Transform& xf) override {
        DrawSegment(xf.p, xf.p + kCentreAxisLength * xf.q.GetXAxis(), b2Color(1.0f, 0.3f, 0.3f));
        DrawSegment(xf.p, xf.p + kCentreAxisLength * xf.q.GetYAxis(), b2Color(0.3f, 1.0f, 0.3f));
    }
    void DrawPoint(const b2Vec2& p, float size, const b2Color& color) override {
        colour(color);
        glPointSize(size);
        glBegin(GL_POINTS);
        glVertex2f(p.x, p.y);
        glEnd();
        glPointSize(1.0f);
    }
};

// The touching contacts as the last step left them: each point with its normal.
void drawContacts(b2World& world, b2Draw& draw) {
    for (b2Contact* contact = world.GetContactList(); contact; contact = contact->GetNext()) {
        if (!contact->IsTouching()) continue;
        b2WorldManifold manifold;
        contact->GetWorldManifold(&manifold);
        for (int32 i = 0; i < contact->GetManifold()->pointCount; ++i) {
            draw.DrawPoint(manifold.points[i], kContactPointSize, kContactColour);
            draw.DrawSegment(manifold.points[i], manifold.points[i] + kNormalLength * manifold.normal,
                             kNormalColour);
        }
    }
}

// Box2D's own centre-of-mass flag marks static bodies too; only the moving ones matter here.
void drawDynamicCentres(b2World& world, b2Draw& draw) {
    for (b2Body* body = world.GetBodyList(); body; body = body->GetNext()) {
        if (body->GetType() != b2_dynamicBody) continue;
        b2Transform centre = body->GetTransform();
        centre.p = body->GetWorldCenter();
        draw.DrawTransform(centre);
    }
}
}  // namespace

void drawPhysicsOverlay() {
    b2World* world = getWorld();
    if (!world) return;
    GlDebugDraw draw;
    draw.SetFlags(b2Draw::e_shapeBit | b2Draw::e_jointBit);
    glPushMatrix();
    glScalef(kUnitsPerMetre, kUnitsPerMetre, 1.0f);  // Box2D hands over metres
    world->SetDebugDraw(&draw);
    world->DebugDraw();
    world->SetDebugDraw(nullptr);  // the drawer lives only for this call
    drawContacts(*world, draw);
    drawDynamicCentres(*world, draw);
    glPopMatrix();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
