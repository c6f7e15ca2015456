/* The animated night scene of the game window: its state, how it moves
 * with time and input, and how it is painted into a back buffer. */
#include "scene.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

namespace {

struct HillLayer {
    float base, amplitude;
    float f1, f2, f3, p1, p2, p3;
    float depth;  // share of the camera's sway this layer follows
    COLORREF color;
};

const HillLayer kFarHills = {0.69f, 0.065f, 2.3f, 5.1f, 11.9f, 0.4f, 1.7f, 2.9f, 0.25f, RGB(60, 35, 108)};
const HillLayer kMidHills = {0.78f, 0.050f, 3.1f, 6.7f, 14.3f, 2.1f, 0.3f, 4.2f, 0.50f, RGB(47, 28, 90)};
const HillLayer kNearHills = {0.875f, 0.040f, 3.9f, 8.3f, 17.1f, 5.0f, 2.6f, 1.1f, 0.80f, RGB(29, 18, 61)};
const COLORREF kMoundColor = RGB(17, 11, 38);
const COLORREF kMoundRim = RGB(52, 33, 96);
const COLORREF kHillRim = RGB(100, 68, 156);
const COLORREF kStarWhite = RGB(236, 240, 255);
const COLORREF kStarWarm = RGB(255, 236, 196);
const COLORREF kHudText = RGB(214, 204, 246);
const COLORREF kTextShadow = RGB(10, 7, 28);

const float kPi = 3.14159265f;
const int kMaxHillPoints = 1024;

unsigned int NextRandom(unsigned int& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

float RandomUnit(unsigned int& state) {
    return (NextRandom(state) & 0xFFFFFF) / 16777216.0f;
}

// Stable pseudo-random numbers for things placed along the endless hills,
// so that a tree is the same tree each time it comes back into view.
float Hash01(int index, int salt) {
    unsigned int h = static_cast<unsigned int>(index) * 374761393u + static_cast<unsigned int>(salt) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / 16777216.0f;
}

int Round(float value) {
    return static_cast<int>(lroundf(value));
}

float Scale(const Scene& scene) {
    return scene.height / 700.0f;
}

// A slow sideways sway of the camera; each layer follows it by its depth,
// which is what makes the hills and the tower part from each other.
float CameraSway(const Scene& scene) {
    return 0.045f * scene.width * sinf(static_cast<float>(scene.clock) * 0.19f);
}

float Wrap(float value, float span) {
    float wrapped = fmodf(value, span);
    return wrapped < 0.0f ? wrapped + span : wrapped;
}

float HillY(const HillLayer& layer, float worldX, float height) {
    float u = worldX / height;
    float wave = 0.6f * sinf(u * layer.f1 + layer.p1) + 0.3f * sinf(u * layer.f2 + layer.p2) +
                 0.1f * sinf(u * layer.f3 + layer.p3);
    return layer.base * height - layer.amplitude * height * wave;
}

float MoonRadius(const Scene& scene) {
    float radius = 0.078f * scene.height;
    return radius < 12.0f ? 12.0f : radius;
}

void MoonCenter(const Scene& scene, float* x, float* y) {
    float bob = 0.012f * scene.height * sinf(static_cast<float>(scene.clock) * 0.9f);
    *x = 0.71f * scene.width + scene.moonOffsetX * scene.height - CameraSway(scene) * 0.08f;
    *y = 0.26f * scene.height + scene.moonOffsetY * scene.height + bob;
}

void PlaceStars(Scene& scene) {
    for (int i = 0; i < kStarCount; ++i) {
        Star& star = scene.stars[i];
        star.x = RandomUnit(scene.seed);
        // More stars high up, where the sky is darkest.
        float r = RandomUnit(scene.seed);
        star.y = 0.72f * r * r;
        star.brightness = 0.35f + 0.65f * RandomUnit(scene.seed);
        star.phase = RandomUnit(scene.seed) * 2.0f * kPi;
        star.rate = 0.8f + 2.4f * RandomUnit(scene.seed);
        star.depth = 0.04f + 0.10f * RandomUnit(scene.seed);
        star.sparkle = i < 9;
        star.warm = RandomUnit(scene.seed) < 0.25f;
        if (star.sparkle) star.brightness = 1.0f;
    }
}

void PlaceClouds(Scene& scene) {
    for (int i = 0; i < kCloudCount; ++i) {
        Cloud& cloud = scene.clouds[i];
        cloud.start = (i + 0.6f * RandomUnit(scene.seed)) / kCloudCount;
        cloud.y = 0.10f + 0.34f * RandomUnit(scene.seed);
        cloud.width = 0.55f + 0.45f * RandomUnit(scene.seed);
        cloud.height = 0.05f + 0.04f * RandomUnit(scene.seed);
        cloud.speed = 0.004f + 0.006f * RandomUnit(scene.seed);
        cloud.alpha = 38 + static_cast<int>(34 * RandomUnit(scene.seed));
    }
}

void DrawTextShadowed(HDC dc, int x, int y, const char* text, COLORREF color) {
    int length = static_cast<int>(strlen(text));
    SetTextColor(dc, kTextShadow);
    TextOutA(dc, x + 1, y + 1, text, length);
    SetTextColor(dc, color);
    TextOutA(dc, x, y, text, length);
}

void DrawStars(Scene& scene) {
    HDC dc = scene.backDC;
    float scale = Scale(scene);
    float sway = CameraSway(scene);
    float clock = static_cast<float>(scene.clock);
    for (const Star& star : scene.stars) {
        // The sky turns slowly to the left as well.
        float x = Wrap(star.x * scene.width - sway * star.depth - clock * star.depth * 0.02f * scene.width,
                       static_cast<float>(scene.width));
        float y = star.y * scene.height;
        float twinkle = 0.6f + 0.4f * sinf(clock * star.rate + star.phase);
        float level = star.brightness * twinkle;
        COLORREF sky = SkyColorAt(star.y);
        COLORREF color = MixColor(sky, star.warm ? kStarWarm : kStarWhite, level);
        int px = Round(x);
        int py = Round(y);
        int size = star.brightness > 0.8f && scale > 0.8f ? 2 : 1;
        if (star.sparkle) {
            int arm = Round(scale * (4.0f + 4.0f * twinkle));
            UseSolidColor(dc, MixColor(sky, kStarWhite, 0.75f * level));
            MoveToEx(dc, px - arm, py, nullptr);
            LineTo(dc, px + arm + 1, py);
            MoveToEx(dc, px, py - arm, nullptr);
            LineTo(dc, px, py + arm + 1);
            int glow = Round(scale * 16.0f);
            DrawSprite(dc, scene.spriteDC, scene.glowWhite, px, py, glow, glow, Round(190 * twinkle));
            size = 2;
        }
        FillBox(dc, px - size / 2, py - size / 2, px - size / 2 + size, py - size / 2 + size, color);
    }
}

void DrawMoon(Scene& scene) {
    float x = 0.0f;
    float y = 0.0f;
    MoonCenter(scene, &x, &y);
    DrawSprite(scene.backDC, scene.spriteDC, scene.moon, Round(x), Round(y), scene.moon.width,
               scene.moon.height, 255);
}

void DrawClouds(Scene& scene) {
    float sway = CameraSway(scene);
    float clock = static_cast<float>(scene.clock);
    for (int i = 0; i < kCloudCount; ++i) {
        const Cloud& cloud = scene.clouds[i];
        const Sprite& shape = scene.cloudShapes[i];
        // Clouds wrap over a span wider than the window so they drift in
        // and out instead of popping up at an edge.
        float across = Wrap(cloud.start + clock * cloud.speed, 1.0f);
        float x = (across * 1.8f - 0.4f) * scene.width - sway * 0.12f;
        float y = cloud.y * scene.height;
        DrawSprite(scene.backDC, scene.spriteDC, shape, Round(x), Round(y), shape.width, shape.height,
                   cloud.alpha);
    }
}

void MakeCloudShapes(Scene& scene) {
    for (int i = 0; i < kCloudCount; ++i) {
        DeleteSprite(scene.cloudShapes[i]);
        const Cloud& cloud = scene.clouds[i];
        CreateCloudSprite(scene.cloudShapes[i], Round(cloud.width * scene.height),
                          Round(cloud.height * scene.height), RGB(178, 150, 226));
    }
}

void DrawMeteor(Scene& scene) {
    if (!scene.meteorActive) return;
    const Meteor& m = scene.meteor;
    float fadeIn = m.age / 0.12f;
    float fadeOut = (m.life - m.age) / 0.35f;
    float envelope = fadeIn < fadeOut ? fadeIn : fadeOut;
    if (envelope > 1.0f) envelope = 1.0f;
    if (envelope <= 0.0f) return;
    float speed = sqrtf(m.vx * m.vx + m.vy * m.vy);
    float dirX = m.vx / speed;
    float dirY = m.vy / speed;
    float scale = Scale(scene);
    float length = 0.17f * scene.height;
    const int kTail = 18;
    for (int k = kTail - 1; k >= 0; --k) {
        float along = length * k / kTail;
        float size = scale * (10.0f - 8.0f * k / kTail);
        float alpha = 255.0f * envelope * powf(1.0f - static_cast<float>(k) / kTail, 1.6f);
        DrawSprite(scene.backDC, scene.spriteDC, scene.glowWhite, Round(m.x - dirX * along),
                   Round(m.y - dirY * along), Round(size), Round(size), Round(alpha));
    }
}

void DrawHillLayer(Scene& scene, const HillLayer& layer, bool rim) {
    static POINT points[kMaxHillPoints + 2];
    int step = 4;
    while (scene.width / step + 2 > kMaxHillPoints) ++step;
    float shift = CameraSway(scene) * layer.depth;
    int count = 0;
    for (int x = 0;; x += step) {
        if (x > scene.width) x = scene.width;
        points[count].x = x;
        points[count].y = Round(HillY(layer, x + shift, static_cast<float>(scene.height)));
        ++count;
        if (x == scene.width) break;
    }
    int top = count;
    points[count++] = {scene.width, scene.height};
    points[count++] = {0, scene.height};
    HDC dc = scene.backDC;
    UseSolidColor(dc, layer.color);
    Polygon(dc, points, count);
    if (rim) {
        // Moonlight catching the far ridge.
        UseSolidColor(dc, kHillRim);
        Polyline(dc, points, top);
    }
}

void DrawVillageLights(Scene& scene, const HillLayer& layer) {
    float scale = Scale(scene);
    float shift = CameraSway(scene) * layer.depth;
    float spacing = 0.07f * scene.height;
    int first = static_cast<int>(floorf(shift / spacing)) - 1;
    int last = static_cast<int>(floorf((shift + scene.width) / spacing)) + 1;
    float clock = static_cast<float>(scene.clock);
    for (int i = first; i <= last; ++i) {
        if (Hash01(i, 11) < 0.62f) continue;
        float worldX = (i + Hash01(i, 13)) * spacing;
        float x = worldX - shift;
        float y = HillY(layer, worldX, static_cast<float>(scene.height)) + scene.height * (0.014f + 0.02f * Hash01(i, 17));
        float flicker = 0.75f + 0.25f * sinf(clock * (1.3f + 2.0f * Hash01(i, 19)) + i);
        int glow = Round(scale * 18.0f);
        DrawSprite(scene.backDC, scene.spriteDC, scene.glowWarm, Round(x), Round(y), glow, glow,
                   Round(170 * flicker));
        int core = scale > 1.2f ? 3 : 2;
        FillBox(scene.backDC, Round(x) - core / 2, Round(y) - core / 2, Round(x) - core / 2 + core,
                Round(y) - core / 2 + core, MixColor(RGB(230, 150, 70), RGB(255, 226, 150), flicker));
    }
}

void DrawPine(HDC dc, float x, float base, float height) {
    float width = height * 0.42f;
    POINT lower[3] = {{Round(x - width / 2), Round(base)},
                      {Round(x + width / 2), Round(base)},
                      {Round(x), Round(base - height * 0.72f)}};
    POINT upper[3] = {{Round(x - width * 0.36f), Round(base - height * 0.38f)},
                      {Round(x + width * 0.36f), Round(base - height * 0.38f)},
                      {Round(x), Round(base - height)}};
    Polygon(dc, lower, 3);
    Polygon(dc, upper, 3);
}

void DrawTrees(Scene& scene, const HillLayer& layer) {
    float shift = CameraSway(scene) * layer.depth;
    float spacing = 0.04f * scene.height;
    int first = static_cast<int>(floorf(shift / spacing)) - 1;
    int last = static_cast<int>(floorf((shift + scene.width) / spacing)) + 1;
    UseSolidColor(scene.backDC, layer.color);
    for (int i = first; i <= last; ++i) {
        if (Hash01(i, 7) < 0.45f) continue;
        float worldX = (i + 0.8f * Hash01(i, 3)) * spacing;
        float base = HillY(layer, worldX, static_cast<float>(scene.height)) + 0.008f * scene.height;
        float height = 0.045f * scene.height * (0.7f + 0.6f * Hash01(i, 5));
        DrawPine(scene.backDC, worldX - shift, base, height);
    }
}

float TowerCenterX(const Scene& scene) {
    return 0.40f * scene.width - CameraSway(scene);
}

float MoundTop(const Scene& scene) {
    return 0.855f * scene.height;
}

// The mound is a polygon of the ellipse's upper half: an ellipse with a
// wide pen costs Wine's GDI more than the rest of the scene together.
void DrawMound(Scene& scene) {
    const int kSteps = 256;
    POINT points[kSteps + 3];
    float cx = TowerCenterX(scene);
    float rx = 0.46f * scene.width;
    float ry = 0.24f * scene.height;
    float centerY = MoundTop(scene) + ry;
    float rim = 2.0f * Scale(scene) < 1.0f ? 1.0f : 2.0f * Scale(scene);
    for (int pass = 0; pass < 2; ++pass) {
        // First the rim colour, then the body a little smaller over it.
        float grow = pass == 0 ? rim : 0.0f;
        for (int i = 0; i <= kSteps; ++i) {
            float angle = kPi * i / kSteps;
            points[i] = {Round(cx - cosf(angle) * (rx + grow)), Round(centerY - sinf(angle) * (ry + grow))};
        }
        points[kSteps + 1] = {Round(cx + rx + grow), scene.height};
        points[kSteps + 2] = {Round(cx - rx - grow), scene.height};
        UseSolidColor(scene.backDC, pass == 0 ? kMoundRim : kMoundColor);
        Polygon(scene.backDC, points, kSteps + 3);
    }
}

COLORREF LightFace(float along) {
    return MixColor(RGB(248, 234, 196), RGB(214, 186, 132), along);
}

COLORREF WarmFace(float along) {
    return MixColor(RGB(252, 204, 112), RGB(226, 146, 60), along);
}

// Every part of the tower is a box split at the tower's middle into the
// pale left face and the warm right face, each shaded from top to bottom
// against the whole tower's height so the parts join without a seam.
void FillTowerBox(HDC dc, float left, float top, float right, float bottom, float split, float towerTop,
                  float towerHeight, float darken) {
    float topAlong = (top - towerTop) / towerHeight;
    float bottomAlong = (bottom - towerTop) / towerHeight;
    const COLORREF shadow = RGB(92, 52, 74);
    int l = Round(left), t = Round(top), r = Round(right), b = Round(bottom), s = Round(split);
    if (s > l) {
        int edge = s < r ? s : r;
        FillVerticalGradient(dc, l, t, edge, b, MixColor(LightFace(topAlong), shadow, darken),
                             LightFace(bottomAlong));
    }
    if (s < r) {
        int edge = s > l ? s : l;
        FillVerticalGradient(dc, edge, t, r, b, MixColor(WarmFace(topAlong), shadow, darken),
                             WarmFace(bottomAlong));
    }
}

void DrawArch(HDC dc, float cx, float top, float width, float height, COLORREF color) {
    UseSolidColor(dc, color);
    int l = Round(cx - width / 2);
    int r = Round(cx + width / 2);
    int diameter = r - l;
    Ellipse(dc, l, Round(top), r + 1, Round(top) + diameter + 1);
    FillBox(dc, l, Round(top) + diameter / 2, r + 1, Round(top + height), color);
}

void DrawPennant(HDC dc, float poleX, float poleTop, float towerHeight, double clock) {
    const int kSegments = 10;
    POINT points[2 * (kSegments + 1)];
    float length = 0.26f * towerHeight;
    float thickness = 0.10f * towerHeight;
    for (int i = 0; i <= kSegments; ++i) {
        float along = static_cast<float>(i) / kSegments;
        float wave = sinf(static_cast<float>(clock) * 4.2f - i * 0.8f) * 0.035f * towerHeight * along;
        float half = thickness * (1.0f - 0.85f * along) * 0.5f;
        float x = poleX + length * along;
        float center = poleTop + thickness * 0.5f + wave;
        points[i] = {Round(x), Round(center - half)};
        points[2 * (kSegments + 1) - 1 - i] = {Round(x), Round(center + half)};
    }
    UseSolidColor(dc, RGB(226, 88, 114));
    Polygon(dc, points, 2 * (kSegments + 1));
}

void DrawBursts(Scene& scene) {
    HDC dc = scene.backDC;
    float scale = Scale(scene);
    for (int i = 0; i < scene.rippleCount; ++i) {
        const Ripple& ripple = scene.ripples[i];
        for (int ring = 0; ring < 2; ++ring) {
            float age = ripple.age - 0.16f * ring;
            float t = age / 1.2f;
            if (age < 0.0f || t >= 1.0f) continue;
            float eased = 1.0f - (1.0f - t) * (1.0f - t);
            int size = Round(2.0f * scale * (14.0f + 230.0f * eased));
            int alpha = Round(230.0f * (1.0f - t) * (1.0f - t) * (ring == 0 ? 1.0f : 0.6f));
            DrawSprite(dc, scene.spriteDC, scene.ring, Round(ripple.x), Round(ripple.y), size, size, alpha);
        }
        if (ripple.age < 0.35f) {
            int size = Round(scale * (60.0f + 160.0f * ripple.age));
            DrawSprite(dc, scene.spriteDC, scene.glowWarm, Round(ripple.x), Round(ripple.y), size, size,
                       Round(255.0f * (1.0f - ripple.age / 0.35f)));
        }
    }
    for (int i = 0; i < scene.sparkCount; ++i) {
        const Spark& spark = scene.sparks[i];
        float t = spark.age / spark.life;
        float size = spark.size * (1.0f - 0.5f * t);
        const Sprite& sprite = spark.warm ? scene.glowWarm : scene.glowWhite;
        DrawSprite(dc, scene.spriteDC, sprite, Round(spark.x), Round(spark.y), Round(size), Round(size),
                   Round(230.0f * (1.0f - t)));
        DrawSprite(dc, scene.spriteDC, scene.glowWhite, Round(spark.x), Round(spark.y), Round(size * 0.5f),
                   Round(size * 0.5f), 255);
    }
}

void DrawHud(Scene& scene) {
    HDC dc = scene.backDC;
    if (scene.paused) {
        // Dim the scene and lay a soft shadow under the banner so that it
        // reads over the tower and the moon alike.
        DrawSprite(dc, scene.spriteDC, scene.shade, scene.width / 2, scene.height / 2, scene.width,
                   scene.height, 90);
        DrawSprite(dc, scene.spriteDC, scene.glowShade, scene.width / 2,
                   scene.height / 2 - Round(8.0f * Scale(scene)), Round(scene.height * 0.9f),
                   Round(scene.height * 0.36f), 230);
    }
    SetBkMode(dc, TRANSPARENT);
    char text[96];
    snprintf(text, sizeof(text), "frame %lu  %dx%d", scene.frames, scene.width, scene.height);
    SelectObject(dc, scene.hudFont);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    DrawTextShadowed(dc, 12, 10, text, kHudText);

    SelectObject(dc, scene.brandFont);
    SetTextAlign(dc, TA_RIGHT | TA_TOP);
    SetTextCharacterExtra(dc, Round(3.0f * Scale(scene)));
    DrawTextShadowed(dc, scene.width - 14, 10, "MIRELUNE", RGB(240, 204, 128));
    SetTextCharacterExtra(dc, 0);

    SelectObject(dc, scene.hintFont);
    SetTextAlign(dc, TA_CENTER | TA_BOTTOM);
    const char* hint = "click: sparks     space: pause     arrow keys: move the moon";
    SIZE hintSize = {};
    GetTextExtentPoint32A(dc, hint, static_cast<int>(strlen(hint)), &hintSize);
    // A window too narrow for the whole line goes without it rather than
    // showing half of it.
    if (hintSize.cx + 24 <= scene.width) {
        DrawTextShadowed(dc, scene.width / 2, scene.height - 10, hint, RGB(160, 140, 206));
    }

    if (scene.paused) {
        SelectObject(dc, scene.bannerFont);
        SetTextAlign(dc, TA_CENTER | TA_BASELINE);
        DrawTextShadowed(dc, scene.width / 2, scene.height / 2, "paused", RGB(255, 226, 160));
        SelectObject(dc, scene.hintFont);
        SetTextAlign(dc, TA_CENTER | TA_TOP);
        DrawTextShadowed(dc, scene.width / 2, scene.height / 2 + Round(12.0f * Scale(scene)),
                         "press space to go on", kHudText);
    }
}

void SteerMoon(Scene& scene, float seconds, const MoonSteer& steer) {
    float step = 0.45f * seconds;
    if (steer.left) scene.moonOffsetX -= step;
    if (steer.right) scene.moonOffsetX += step;
    if (steer.up) scene.moonOffsetY -= step;
    if (steer.down) scene.moonOffsetY += step;
    if (scene.height <= 0) return;
    float aspect = static_cast<float>(scene.width) / scene.height;
    float minX = (0.04f - 0.71f) * aspect;
    float maxX = (0.96f - 0.71f) * aspect;
    if (scene.moonOffsetX < minX) scene.moonOffsetX = minX;
    if (scene.moonOffsetX > maxX) scene.moonOffsetX = maxX;
    if (scene.moonOffsetY < -0.20f) scene.moonOffsetY = -0.20f;
    if (scene.moonOffsetY > 0.56f) scene.moonOffsetY = 0.56f;
}

void AgeSparks(Scene& scene, float seconds) {
    float gravity = 190.0f * Scale(scene);
    int kept = 0;
    for (int i = 0; i < scene.sparkCount; ++i) {
        Spark spark = scene.sparks[i];
        spark.age += seconds;
        if (spark.age >= spark.life) continue;
        spark.vy += gravity * seconds;
        spark.vx *= 1.0f - 0.8f * seconds;
        spark.x += spark.vx * seconds;
        spark.y += spark.vy * seconds;
        scene.sparks[kept++] = spark;
    }
    scene.sparkCount = kept;
}

void AgeRipples(Scene& scene, float seconds) {
    int kept = 0;
    for (int i = 0; i < scene.rippleCount; ++i) {
        Ripple ripple = scene.ripples[i];
        ripple.age += seconds;
        if (ripple.age >= 1.5f) continue;
        scene.ripples[kept++] = ripple;
    }
    scene.rippleCount = kept;
}

void LaunchMeteor(Scene& scene) {
    float angle = (18.0f + 16.0f * RandomUnit(scene.seed)) * kPi / 180.0f;
    float speed = 0.95f * scene.height;
    Meteor& m = scene.meteor;
    m.x = (0.35f + 0.6f * RandomUnit(scene.seed)) * scene.width;
    m.y = (0.03f + 0.2f * RandomUnit(scene.seed)) * scene.height;
    m.vx = -cosf(angle) * speed;
    m.vy = sinf(angle) * speed;
    m.age = 0.0f;
    m.life = 0.7f + 0.4f * RandomUnit(scene.seed);
    scene.meteorActive = true;
}

void AdvanceMeteor(Scene& scene, float seconds) {
    if (!scene.meteorActive) {
        if (scene.clock >= scene.nextMeteorAt) LaunchMeteor(scene);
        return;
    }
    Meteor& m = scene.meteor;
    m.age += seconds;
    m.x += m.vx * seconds;
    m.y += m.vy * seconds;
    if (m.age >= m.life) {
        scene.meteorActive = false;
        scene.nextMeteorAt = scene.clock + 3.0 + 6.0 * RandomUnit(scene.seed);
    }
}

void ReplaceCanvas(HDC dc, HBITMAP& current, HBITMAP next) {
    SelectObject(dc, next);
    if (current) DeleteObject(current);
    current = next;
}

void ReplaceFont(HFONT& current, HFONT next) {
    if (current) DeleteObject(current);
    current = next;
}

// Sizes of the text follow the window, within what stays readable.
int TextSize(const Scene& scene, float share, int smallest, int largest) {
    int size = Round(scene.height * share);
    if (size < smallest) return smallest;
    if (size > largest) return largest;
    return size;
}

}  // namespace

void PaintTower(HDC dc, HDC spriteDC, const Sprite& glowWarm, float centerX, float baseY,
                float towerHeight, double clock) {
    float t = towerHeight;
    float top = baseY - t;
    float merlonHeight = 0.11f * t;
    float blockTop = top + merlonHeight;
    float blockBottom = blockTop + 0.30f * t;
    float topWidth = 0.80f * t;
    float shaftWidth = 0.50f * t;
    float left = centerX - topWidth / 2;

    // Pole and pennant first, so that the merlon hides the pole's foot.
    float poleWidth = 0.014f * t < 2.0f ? 2.0f : 0.014f * t;
    float poleTop = top - 0.20f * t;
    FillBox(dc, Round(centerX - poleWidth / 2), Round(poleTop), Round(centerX + poleWidth / 2),
            Round(top + 1), RGB(120, 92, 110));
    DrawPennant(dc, centerX + poleWidth / 2, poleTop, t, clock);

    FillTowerBox(dc, centerX - shaftWidth / 2, blockBottom, centerX + shaftWidth / 2, baseY, centerX, top, t,
                 0.0f);
    // The overhang of the top block throws a short shadow on the shaft.
    FillTowerBox(dc, centerX - shaftWidth / 2, blockBottom, centerX + shaftWidth / 2,
                 blockBottom + 0.035f * t, centerX, top, t, 0.45f);
    FillTowerBox(dc, left, blockTop, left + topWidth, blockBottom, centerX, top, t, 0.0f);
    float unit = topWidth / 8.0f;
    const float merlons[3][2] = {{0.0f, 2.0f}, {3.0f, 5.0f}, {6.0f, 8.0f}};
    for (const auto& merlon : merlons) {
        FillTowerBox(dc, left + merlon[0] * unit, top, left + merlon[1] * unit, blockTop + 1, centerX, top, t,
                     0.0f);
    }

    // A candle-lit window where the icon has its dark arch.
    float flicker = 0.82f + 0.18f * sinf(static_cast<float>(clock) * 9.1f) *
                                sinf(static_cast<float>(clock) * 3.7f + 1.0f);
    float windowTop = blockBottom + 0.10f * t;
    float windowWidth = 0.13f * t;
    float windowHeight = 0.21f * t;
    int glow = Round(0.6f * t);
    DrawSprite(dc, spriteDC, glowWarm, Round(centerX), Round(windowTop + windowHeight * 0.5f), glow, glow,
               Round(110 * flicker));
    float frame = 0.012f * t < 1.0f ? 1.0f : 0.012f * t;
    DrawArch(dc, centerX, windowTop - frame, windowWidth + 2 * frame, windowHeight + frame, RGB(70, 36, 66));
    DrawArch(dc, centerX, windowTop, windowWidth, windowHeight,
             MixColor(RGB(250, 160, 60), RGB(255, 228, 150), flicker));
}

bool CreateScene(Scene& scene) {
    scene.backDC = CreateCompatibleDC(nullptr);
    scene.skyDC = CreateCompatibleDC(nullptr);
    scene.spriteDC = CreateCompatibleDC(nullptr);
    if (!scene.backDC || !scene.skyDC || !scene.spriteDC) return false;
    if (!CreateGlowSprite(scene.glowWhite, 64, RGB(240, 244, 255), 2.2f)) return false;
    if (!CreateGlowSprite(scene.glowWarm, 128, RGB(255, 196, 104), 2.0f)) return false;
    if (!CreateRingSprite(scene.ring, 256, RGB(255, 222, 150))) return false;
    if (!CreateGlowSprite(scene.glowShade, 128, RGB(8, 5, 24), 0.9f)) return false;
    if (!CreateGlowSprite(scene.shade, 2, RGB(8, 5, 24), 0.0f)) return false;
    PlaceStars(scene);
    PlaceClouds(scene);
    return true;
}

void DestroyScene(Scene& scene) {
    // Deleting a DC first lets go of the bitmap selected into it.
    if (scene.backDC) DeleteDC(scene.backDC);
    if (scene.skyDC) DeleteDC(scene.skyDC);
    if (scene.spriteDC) DeleteDC(scene.spriteDC);
    if (scene.backBitmap) DeleteObject(scene.backBitmap);
    if (scene.skyBitmap) DeleteObject(scene.skyBitmap);
    DeleteSprite(scene.moon);
    DeleteSprite(scene.glowWhite);
    DeleteSprite(scene.glowWarm);
    for (Sprite& shape : scene.cloudShapes) DeleteSprite(shape);
    DeleteSprite(scene.ring);
    DeleteSprite(scene.glowShade);
    DeleteSprite(scene.shade);
    ReplaceFont(scene.hudFont, nullptr);
    ReplaceFont(scene.hintFont, nullptr);
    ReplaceFont(scene.brandFont, nullptr);
    ReplaceFont(scene.bannerFont, nullptr);
    scene.backDC = scene.skyDC = scene.spriteDC = nullptr;
    scene.backBitmap = scene.skyBitmap = nullptr;
}

bool ResizeScene(Scene& scene, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    // Moving the window sends the same size again; nothing to rebuild then.
    if (width == scene.width && height == scene.height && scene.backBitmap) return true;
    HBITMAP back = CreateCanvasBitmap(width, height, nullptr);
    HBITMAP sky = CreateCanvasBitmap(width, height, nullptr);
    if (!back || !sky) {
        if (back) DeleteObject(back);
        if (sky) DeleteObject(sky);
        return false;
    }
    ReplaceCanvas(scene.backDC, scene.backBitmap, back);
    ReplaceCanvas(scene.skyDC, scene.skyBitmap, sky);
    scene.width = width;
    scene.height = height;
    FillSkyGradient(scene.skyDC, width, height);
    DeleteSprite(scene.moon);
    CreateMoonSprite(scene.moon, Round(MoonRadius(scene)));
    MakeCloudShapes(scene);
    ReplaceFont(scene.hudFont, CreateUiFont(scene.backDC, TextSize(scene, 0.021f, 13, 22), FW_NORMAL, false));
    ReplaceFont(scene.hintFont, CreateUiFont(scene.backDC, TextSize(scene, 0.019f, 12, 20), FW_NORMAL, false));
    ReplaceFont(scene.brandFont, CreateUiFont(scene.backDC, TextSize(scene, 0.026f, 14, 30), FW_BOLD, true));
    ReplaceFont(scene.bannerFont, CreateUiFont(scene.backDC, TextSize(scene, 0.075f, 28, 80), FW_BOLD, true));
    SteerMoon(scene, 0.0f, MoonSteer{});
    return true;
}

void AdvanceScene(Scene& scene, float seconds, const MoonSteer& steer) {
    if (scene.paused) return;
    scene.clock += seconds;
    SteerMoon(scene, seconds, steer);
    AgeSparks(scene, seconds);
    AgeRipples(scene, seconds);
    AdvanceMeteor(scene, seconds);
}

void RenderScene(Scene& scene) {
    if (!scene.backBitmap) return;
    ++scene.frames;
    BitBlt(scene.backDC, 0, 0, scene.width, scene.height, scene.skyDC, 0, 0, SRCCOPY);
    DrawStars(scene);
    DrawMoon(scene);
    DrawClouds(scene);
    DrawMeteor(scene);
    DrawHillLayer(scene, kFarHills, true);
    DrawHillLayer(scene, kMidHills, false);
    DrawVillageLights(scene, kMidHills);
    DrawHillLayer(scene, kNearHills, false);
    DrawTrees(scene, kNearHills);
    PaintTower(scene.backDC, scene.spriteDC, scene.glowWarm, TowerCenterX(scene),
               MoundTop(scene) + 0.03f * scene.height, 0.36f * scene.height, scene.clock);
    DrawMound(scene);
    DrawBursts(scene);
    DrawHud(scene);
}

void BurstAt(Scene& scene, int x, int y) {
    float scale = Scale(scene);
    if (scene.rippleCount == kRippleCapacity) {
        memmove(scene.ripples, scene.ripples + 1, sizeof(Ripple) * (kRippleCapacity - 1));
        --scene.rippleCount;
    }
    scene.ripples[scene.rippleCount++] = {static_cast<float>(x), static_cast<float>(y), 0.0f};
    for (int i = 0; i < 40 && scene.sparkCount < kSparkCapacity; ++i) {
        float angle = RandomUnit(scene.seed) * 2.0f * kPi;
        float speed = scale * (60.0f + 260.0f * RandomUnit(scene.seed));
        Spark& spark = scene.sparks[scene.sparkCount++];
        spark.x = static_cast<float>(x);
        spark.y = static_cast<float>(y);
        spark.vx = cosf(angle) * speed;
        spark.vy = sinf(angle) * speed - 60.0f * scale;
        spark.age = 0.0f;
        spark.life = 0.8f + 0.9f * RandomUnit(scene.seed);
        spark.size = scale * (12.0f + 14.0f * RandomUnit(scene.seed));
        spark.warm = RandomUnit(scene.seed) < 0.6f;
    }
}
