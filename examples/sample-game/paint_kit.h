/* Drawing helpers shared by the splash and the night scene: colour mixing,
 * the sky gradient, premultiplied-alpha sprites and font choice. */
#pragma once

#include <windows.h>

// A 32-bit top-down DIB with premultiplied alpha, drawn with AlphaBlend.
struct Sprite {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

COLORREF MixColor(COLORREF from, COLORREF to, float amount);

// Colour of the night sky at a fraction of the height (0 top, 1 bottom).
COLORREF SkyColorAt(float fraction);
void FillSkyGradient(HDC dc, int width, int height);
void FillVerticalGradient(HDC dc, int left, int top, int right, int bottom, COLORREF topColor,
                          COLORREF bottomColor);

HBITMAP CreateCanvasBitmap(int width, int height, UINT32** pixels);

bool CreateGlowSprite(Sprite& sprite, int size, COLORREF color, float falloff);
bool CreateRingSprite(Sprite& sprite, int size, COLORREF color);
bool CreateMoonSprite(Sprite& sprite, int moonRadius);
// A soft cloud of three overlapping puffs, about width x height at its core.
bool CreateCloudSprite(Sprite& sprite, int width, int height, COLORREF color);
void DeleteSprite(Sprite& sprite);

// Draws the sprite stretched to width x height around (centerX, centerY).
void DrawSprite(HDC target, HDC spriteDC, const Sprite& sprite, int centerX, int centerY, int width,
                int height, int alpha);

HFONT CreateUiFont(HDC dc, int pixelHeight, int weight, bool serif);

// Solid fills and strokes through the stock DC brush and pen.
void UseSolidColor(HDC dc, COLORREF color);
void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF color);
