/* Drawing helpers shared by the splash and the night scene: colour mixing,
 * the sky gradient, premultiplied-alpha sprites and font choice. */
#include "paint_kit.h"

#include <math.h>
#include <string.h>

namespace {

struct SkyStop {
    float at;
    COLORREF color;
};

// Night blue above, violet at the horizon, as on the product icon.
const SkyStop kSkyStops[] = {
    {0.00f, RGB(15, 19, 58)},
    {0.55f, RGB(49, 33, 108)},
    {1.00f, RGB(118, 54, 154)},
};
const int kSkyStopCount = sizeof(kSkyStops) / sizeof(kSkyStops[0]);

float Clamp01(float value) {
    if (value < 0.0f) return 0.0f;
    if (value > 1.0f) return 1.0f;
    return value;
}

TRIVERTEX MakeVertex(int x, int y, COLORREF color) {
    TRIVERTEX vertex{};
    vertex.x = x;
    vertex.y = y;
    vertex.Red = static_cast<COLOR16>(GetRValue(color) << 8);
    vertex.Green = static_cast<COLOR16>(GetGValue(color) << 8);
    vertex.Blue = static_cast<COLOR16>(GetBValue(color) << 8);
    vertex.Alpha = 0;
    return vertex;
}

UINT32 PremultipliedPixel(float red, float green, float blue, float alpha) {
    alpha = Clamp01(alpha);
    UINT32 a = static_cast<UINT32>(alpha * 255.0f + 0.5f);
    UINT32 r = static_cast<UINT32>(red * alpha + 0.5f);
    UINT32 g = static_cast<UINT32>(green * alpha + 0.5f);
    UINT32 b = static_cast<UINT32>(blue * alpha + 0.5f);
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The lit part of the moon: its disc less an offset disc towards the upper
// right, which leaves the crescent of the icon.
bool InsideCrescent(float x, float y, float radius) {
    float cutX = x - 0.40f * radius;
    float cutY = y + 0.34f * radius;
    float cutRadius = 0.80f * radius;
    return x * x + y * y <= radius * radius && cutX * cutX + cutY * cutY > cutRadius * cutRadius;
}

// GDI regions have no anti-aliasing; only the pixels on an edge are
// sampled 4x4 so that the sprite stays cheap to rebuild on every resize.
float CrescentCoverage(float x, float y, float radius) {
    float distance = sqrtf(x * x + y * y);
    float cutX = x - 0.40f * radius;
    float cutY = y + 0.34f * radius;
    float cutDistance = sqrtf(cutX * cutX + cutY * cutY);
    bool onEdge = fabsf(distance - radius) < 1.5f || fabsf(cutDistance - 0.80f * radius) < 1.5f;
    if (!onEdge) return InsideCrescent(x, y, radius) ? 1.0f : 0.0f;
    int inside = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            if (InsideCrescent(x + (sx - 1.5f) * 0.25f, y + (sy - 1.5f) * 0.25f, radius)) ++inside;
        }
    }
    return inside / 16.0f;
}

int CALLBACK NoteFaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(HDC dc, const char* face) {
    LOGFONTA query{};
    query.lfCharSet = DEFAULT_CHARSET;
    strncpy(query.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExA(dc, &query, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The first face of the list that the machine has; Wine prefixes often
// carry none of the Windows faces, only what fontconfig offers.
const char* PickFace(HDC dc, const char* const* faces, int count) {
    for (int i = 0; i < count; ++i) {
        if (FaceInstalled(dc, faces[i])) return faces[i];
    }
    return "";
}

}  // namespace

COLORREF MixColor(COLORREF from, COLORREF to, float amount) {
    amount = Clamp01(amount);
    int r = GetRValue(from) + static_cast<int>((GetRValue(to) - GetRValue(from)) * amount);
    int g = GetGValue(from) + static_cast<int>((GetGValue(to) - GetGValue(from)) * amount);
    int b = GetBValue(from) + static_cast<int>((GetBValue(to) - GetBValue(from)) * amount);
    return RGB(r, g, b);
}

COLORREF SkyColorAt(float fraction) {
    fraction = Clamp01(fraction);
    for (int i = 1; i < kSkyStopCount; ++i) {
        if (fraction <= kSkyStops[i].at) {
            float span = kSkyStops[i].at - kSkyStops[i - 1].at;
            return MixColor(kSkyStops[i - 1].color, kSkyStops[i].color,
                            (fraction - kSkyStops[i - 1].at) / span);
        }
    }
    return kSkyStops[kSkyStopCount - 1].color;
}

void FillVerticalGradient(HDC dc, int left, int top, int right, int bottom, COLORREF topColor,
                          COLORREF bottomColor) {
    if (right <= left || bottom <= top) return;
    TRIVERTEX vertices[2] = {MakeVertex(left, top, topColor), MakeVertex(right, bottom, bottomColor)};
    GRADIENT_RECT rect = {0, 1};
    GradientFill(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

void FillSkyGradient(HDC dc, int width, int height) {
    for (int i = 1; i < kSkyStopCount; ++i) {
        int top = static_cast<int>(kSkyStops[i - 1].at * height);
        int bottom = static_cast<int>(kSkyStops[i].at * height);
        FillVerticalGradient(dc, 0, top, width, bottom, kSkyStops[i - 1].color, kSkyStops[i].color);
    }
}

HBITMAP CreateCanvasBitmap(int width, int height, UINT32** pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (pixels) *pixels = static_cast<UINT32*>(bits);
    return bitmap;
}

bool CreateGlowSprite(Sprite& sprite, int size, COLORREF color, float falloff) {
    UINT32* pixels = nullptr;
    HBITMAP bitmap = CreateCanvasBitmap(size, size, &pixels);
    if (!bitmap || !pixels) return false;
    float half = size * 0.5f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx = x + 0.5f - half;
            float dy = y + 0.5f - half;
            float distance = sqrtf(dx * dx + dy * dy) / half;
            float alpha = distance < 1.0f ? powf(1.0f - distance, falloff) : 0.0f;
            pixels[y * size + x] =
                PremultipliedPixel(GetRValue(color), GetGValue(color), GetBValue(color), alpha);
        }
    }
    sprite.bitmap = bitmap;
    sprite.width = size;
    sprite.height = size;
    return true;
}

bool CreateRingSprite(Sprite& sprite, int size, COLORREF color) {
    UINT32* pixels = nullptr;
    HBITMAP bitmap = CreateCanvasBitmap(size, size, &pixels);
    if (!bitmap || !pixels) return false;
    float half = size * 0.5f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx = x + 0.5f - half;
            float dy = y + 0.5f - half;
            float distance = sqrtf(dx * dx + dy * dy) / half;
            float band = (distance - 0.84f) / 0.06f;
            float alpha = expf(-band * band);
            if (distance < 0.84f) alpha += 0.10f * powf(distance / 0.84f, 3.0f);
            pixels[y * size + x] =
                PremultipliedPixel(GetRValue(color), GetGValue(color), GetBValue(color), alpha);
        }
    }
    sprite.bitmap = bitmap;
    sprite.width = size;
    sprite.height = size;
    return true;
}

bool CreateMoonSprite(Sprite& sprite, int moonRadius) {
    int glowRadius = moonRadius * 3;
    int size = glowRadius * 2;
    UINT32* pixels = nullptr;
    HBITMAP bitmap = CreateCanvasBitmap(size, size, &pixels);
    if (!bitmap || !pixels) return false;
    const COLORREF deepGold = RGB(242, 164, 62);
    const COLORREF paleGold = RGB(255, 234, 166);
    const COLORREF glow = RGB(255, 212, 140);
    float radius = static_cast<float>(moonRadius);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float dx = x + 0.5f - glowRadius;
            float dy = y + 0.5f - glowRadius;
            float distance = sqrtf(dx * dx + dy * dy);
            float glowLevel = Clamp01((glowRadius - distance) / (glowRadius - radius));
            float glowAlpha = 0.46f * powf(glowLevel, 2.4f);
            // Only a faint earthshine on the moon's dark part.
            if (distance < radius) glowAlpha *= 0.35f + 0.65f * powf(distance / radius, 6.0f);
            float coverage = CrescentCoverage(dx, dy, radius);
            // Lit from the lower left, like the icon's moon.
            COLORREF face = MixColor(deepGold, paleGold, 0.55f + 0.45f * (dy - dx) / (radius * 1.4f));
            float alpha = coverage + glowAlpha * (1.0f - coverage);
            float red = GetRValue(face) * coverage + GetRValue(glow) * glowAlpha * (1.0f - coverage);
            float green = GetGValue(face) * coverage + GetGValue(glow) * glowAlpha * (1.0f - coverage);
            float blue = GetBValue(face) * coverage + GetBValue(glow) * glowAlpha * (1.0f - coverage);
            // The channels above are already weighted by coverage.
            UINT32 a = static_cast<UINT32>(Clamp01(alpha) * 255.0f + 0.5f);
            pixels[y * size + x] = (a << 24) | (static_cast<UINT32>(red + 0.5f) << 16) |
                                   (static_cast<UINT32>(green + 0.5f) << 8) |
                                   static_cast<UINT32>(blue + 0.5f);
        }
    }
    sprite.bitmap = bitmap;
    sprite.width = size;
    sprite.height = size;
    return true;
}

bool CreateCloudSprite(Sprite& sprite, int width, int height, COLORREF color) {
    struct Puff {
        float x, y, halfWidth, halfHeight;  // in units of the core width and height
    };
    const Puff puffs[3] = {{0.0f, 0.0f, 0.5f, 0.5f}, {-0.28f, 0.18f, 0.275f, 0.4f}, {0.25f, -0.22f, 0.25f, 0.6f}};
    int spriteWidth = static_cast<int>(width * 1.12f) + 1;
    int spriteHeight = static_cast<int>(height * 1.64f) + 1;
    UINT32* pixels = nullptr;
    HBITMAP bitmap = CreateCanvasBitmap(spriteWidth, spriteHeight, &pixels);
    if (!bitmap || !pixels) return false;
    for (int y = 0; y < spriteHeight; ++y) {
        for (int x = 0; x < spriteWidth; ++x) {
            float u = (x + 0.5f - spriteWidth * 0.5f) / width;
            float v = (y + 0.5f - spriteHeight * 0.5f) / height;
            float clear = 1.0f;
            for (const Puff& puff : puffs) {
                float du = (u - puff.x) / puff.halfWidth;
                float dv = (v - puff.y) / puff.halfHeight;
                float distance = sqrtf(du * du + dv * dv);
                if (distance < 1.0f) clear *= 1.0f - powf(1.0f - distance, 1.4f);
            }
            pixels[y * spriteWidth + x] =
                PremultipliedPixel(GetRValue(color), GetGValue(color), GetBValue(color), 1.0f - clear);
        }
    }
    sprite.bitmap = bitmap;
    sprite.width = spriteWidth;
    sprite.height = spriteHeight;
    return true;
}

void DeleteSprite(Sprite& sprite) {
    if (sprite.bitmap) DeleteObject(sprite.bitmap);
    sprite = Sprite{};
}

void DrawSprite(HDC target, HDC spriteDC, const Sprite& sprite, int centerX, int centerY, int width,
                int height, int alpha) {
    // AlphaBlend refuses empty rectangles outright.
    if (!sprite.bitmap || width < 1 || height < 1 || alpha <= 0) return;
    if (alpha > 255) alpha = 255;
    HGDIOBJ previous = SelectObject(spriteDC, sprite.bitmap);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), AC_SRC_ALPHA};
    AlphaBlend(target, centerX - width / 2, centerY - height / 2, width, height, spriteDC, 0, 0,
               sprite.width, sprite.height, blend);
    SelectObject(spriteDC, previous);
}

HFONT CreateUiFont(HDC dc, int pixelHeight, int weight, bool serif) {
    static const char* const kSansFaces[] = {"Segoe UI", "Tahoma", "DejaVu Sans", "Arial"};
    static const char* const kSerifFaces[] = {"Georgia", "Cambria", "DejaVu Serif", "Times New Roman"};
    const char* face = serif ? PickFace(dc, kSerifFaces, 4) : PickFace(dc, kSansFaces, 4);
    BYTE family = static_cast<BYTE>((serif ? FF_ROMAN : FF_SWISS) | VARIABLE_PITCH);
    // Grey-scale smoothing rather than ClearType: the text is drawn into a
    // memory bitmap that is not known to match the screen's subpixel order.
    return CreateFontA(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, family, face);
}

void UseSolidColor(HDC dc, COLORREF color) {
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DC_PEN));
    SetDCBrushColor(dc, color);
    SetDCPenColor(dc, color);
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
    if (right <= left || bottom <= top) return;
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, color);
    PatBlt(dc, left, top, right - left, bottom - top, PATCOPY);
}
