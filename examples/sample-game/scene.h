/* The animated night scene of the game window: its state, how it moves
 * with time and input, and how it is painted into a back buffer. */
#pragma once

#include <windows.h>

#include "paint_kit.h"

constexpr int kStarCount = 170;
constexpr int kCloudCount = 6;
constexpr int kSparkCapacity = 320;
constexpr int kRippleCapacity = 12;

struct Star {
    float x, y;  // fractions of the width and height
    float brightness, phase, rate, depth;
    bool sparkle, warm;
};

struct Cloud {
    float start, y, width, height, speed;
    int alpha;
};

struct Spark {
    float x, y, vx, vy, age, life, size;
    bool warm;
};

struct Ripple {
    float x, y, age;
};

struct Meteor {
    float x, y, vx, vy, age, life;
};

// Arrow keys held down; they move the moon while the scene runs.
struct MoonSteer {
    bool left, right, up, down;
};

struct Scene {
    int width = 0;
    int height = 0;
    double clock = 0.0;  // seconds of scene time; stands still while paused
    bool paused = false;
    unsigned long frames = 0;
    float moonOffsetX = 0.0f;  // in heights, moved by the arrow keys
    float moonOffsetY = 0.0f;
    unsigned int seed = 0x9E3779B9u;

    Star stars[kStarCount] = {};
    Cloud clouds[kCloudCount] = {};
    Spark sparks[kSparkCapacity] = {};
    int sparkCount = 0;
    Ripple ripples[kRippleCapacity] = {};
    int rippleCount = 0;
    Meteor meteor = {};
    bool meteorActive = false;
    double nextMeteorAt = 2.5;

    HDC backDC = nullptr;
    HBITMAP backBitmap = nullptr;
    HDC skyDC = nullptr;
    HBITMAP skyBitmap = nullptr;
    HDC spriteDC = nullptr;
    Sprite moon, glowWhite, glowWarm, ring;
    Sprite glowShade, shade;  // dark: a soft patch and a flat veil
    Sprite cloudShapes[kCloudCount];  // made at the window's size, never stretched
    HFONT hudFont = nullptr;
    HFONT hintFont = nullptr;
    HFONT brandFont = nullptr;
    HFONT bannerFont = nullptr;
};

bool CreateScene(Scene& scene);
void DestroyScene(Scene& scene);
bool ResizeScene(Scene& scene, int width, int height);
void AdvanceScene(Scene& scene, float seconds, const MoonSteer& steer);
void RenderScene(Scene& scene);
void BurstAt(Scene& scene, int x, int y);

// The castle tower of the icon, standing with its foot at baseY.
void PaintTower(HDC dc, HDC spriteDC, const Sprite& glowWarm, float centerX, float baseY,
                float towerHeight, double clock);
