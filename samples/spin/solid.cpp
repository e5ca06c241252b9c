// The cube and its shell: turned, projected and lit on the CPU, one fan per face, since
// the driver takes screen-space vertices only.
#include <math.h>

#include "spin.h"

namespace {

// Render-mode words: shading/texture in bits 0-3, depth in 4-7, blending in 8-11.
const unsigned MODE_BACKDROP = RM_GOURAUD;
const unsigned MODE_CUBE = RM_MODULATE | RM_DEPTH_TEST | RM_DEPTH_WRITE;
const unsigned MODE_SHELL = RM_GOURAUD | RM_DEPTH_TEST | RM_BLEND_ALPHA;

const float CUBE_HALF = 1.0f;
const float SHELL_RADIUS = 2.15f;
const int SHELL_ALPHA = 0x68;
const int MAX_FACE_VERTICES = 4;

const int CUBE_FACES = 6;
// Corner i has x, y, z from its bits 0, 1, 2; each face lists its corners around it.
const int CUBE_CORNER[CUBE_FACES][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                                        {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
const sVec3 CUBE_NORMAL[CUBE_FACES] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0},
                                       {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
const float FACE_U[4] = {0, 1, 1, 0};
const float FACE_V[4] = {0, 0, 1, 1};

const int SHELL_POINTS = 6;
const int SHELL_FACES = 8;
const sVec3 SHELL_POINT[SHELL_POINTS] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                         {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
const int SHELL_FACE[SHELL_FACES][3] = {{0, 2, 4}, {0, 4, 3}, {0, 3, 5}, {0, 5, 2},
                                        {1, 4, 2}, {1, 3, 4}, {1, 5, 3}, {1, 2, 5}};
// Tint of each shell corner: cyan along x, violet along y, amber along z.
const int SHELL_TINT[SHELL_POINTS][3] = {{90, 230, 255},  {90, 230, 255}, {200, 120, 255},
                                         {200, 120, 255}, {255, 190, 80}, {255, 190, 80}};

// Towards the light, in view space (up, left, in front of the solid).
const sVec3 LIGHT = {-0.42f, 0.62f, -0.66f};
const float AMBIENT = 0.28f;

sVec3 Add(sVec3 a, sVec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
sVec3 Scale(sVec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float Dot(sVec3 a, sVec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
sVec3 Normalize(sVec3 a) {
    float length = sqrtf(Dot(a, a));
    return length > 0 ? Scale(a, 1.0f / length) : a;
}

sVec3 Turn(sVec3 p, const sPose& pose) {
    float cy = cosf(pose.yaw), sy = sinf(pose.yaw);
    float cp = cosf(pose.pitch), sp = sinf(pose.pitch);
    sVec3 a = {p.x * cy + p.z * sy, p.y, -p.x * sy + p.z * cy};
    return {a.x, a.y * cp - a.z * sp, a.y * sp + a.z * cp};
}

// Screen position, depth (larger is nearer, within 0..1) and 1/w of a turned point.
void Project(sVertex& v, sVec3 p, const sCamera& camera) {
    float w = p.z + camera.distance;
    float rhw = 1.0f / w;
    v.x = camera.centreX + camera.focal * p.x * rhw;
    v.y = camera.centreY - camera.focal * p.y * rhw;
    v.z = 2.0f * rhw;
    v.rhw = rhw;
}

float Light(sVec3 normal) {
    float diffuse = Dot(normal, Normalize(LIGHT));
    return AMBIENT + (1.0f - AMBIENT) * (diffuse > 0 ? diffuse : 0);
}

uint32_t Argb(int a, float r, float g, float b) {
    auto channel = [](float c) { return (uint32_t)(c < 0 ? 0 : c > 255 ? 255 : c); };
    return (uint32_t)a << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

sVec3 CubeCorner(int i) {
    return {i & 1 ? CUBE_HALF : -CUBE_HALF, i & 2 ? CUBE_HALF : -CUBE_HALF,
            i & 4 ? CUBE_HALF : -CUBE_HALF};
}

// A face seen from its front: the eye is at (0, 0, -distance) in view space.
bool FacesEye(sVec3 turnedCentre, sVec3 turnedNormal, const sCamera& camera) {
    sVec3 fromEye = {turnedCentre.x, turnedCentre.y, turnedCentre.z + camera.distance};
    return Dot(fromEye, turnedNormal) < 0;
}

void DrawCubeFace(sDisplay& display, int face, const sCamera& camera, const sPose& pose) {
    sVec3 normal = Turn(CUBE_NORMAL[face], pose);
    if (!FacesEye(Turn(Scale(CUBE_NORMAL[face], CUBE_HALF), pose), normal, camera)) return;
    sVertex* v = display.GetVertices(4);
    for (int k = 0; k < 4; k++) {
        sVec3 corner = CubeCorner(CUBE_CORNER[face][k]);
        sVec3 turned = Turn(corner, pose);
        // Corner normals lean outwards so that the light runs across each face.
        sVec3 rounded = Normalize(Add(Scale(normal, 0.6f), Scale(Normalize(turned), 0.4f)));
        float light = Light(rounded);
        Project(v[k], turned, camera);
        v[k].color = Argb(255, 255 * light, 245 * light, 228 * light);
        v[k].u = FACE_U[k];
        v[k].v = FACE_V[k];
    }
    display.DrawFan(4);
}

void DrawShellFace(sDisplay& display, int face, const sCamera& camera, const sPose& pose) {
    sVertex* v = display.GetVertices(3);
    for (int k = 0; k < 3; k++) {
        int point = SHELL_FACE[face][k];
        sVec3 turned = Turn(Scale(SHELL_POINT[point], SHELL_RADIUS), pose);
        float light = 0.55f + 0.45f * Light(Normalize(turned));
        Project(v[k], turned, camera);
        const int* tint = SHELL_TINT[point];
        v[k].color = Argb(SHELL_ALPHA, tint[0] * light, tint[1] * light, tint[2] * light);
    }
    display.DrawFan(3);
}

sVec3 ShellFaceNormal(int face) {
    const int* f = SHELL_FACE[face];
    return Normalize(Add(Add(SHELL_POINT[f[0]], SHELL_POINT[f[1]]), SHELL_POINT[f[2]]));
}

// Back faces first, then front faces: without depth writes the nearer glass must be
// blended last.
void DrawShell(sDisplay& display, const sCamera& camera, const sPose& pose) {
    for (int pass = 0; pass < 2; pass++)
        for (int face = 0; face < SHELL_FACES; face++) {
            sVec3 normal = Turn(ShellFaceNormal(face), pose);
            sVec3 centre = Scale(normal, SHELL_RADIUS / 1.7320508f);
            if (FacesEye(centre, normal, camera) == (pass == 1))
                DrawShellFace(display, face, camera, pose);
        }
}

} // namespace

void DrawBackdrop(sDisplay& display, int width, int height) {
    display.SetRenderMode(MODE_BACKDROP);
    sVertex* v = display.SetVertexCount(MAX_FACE_VERTICES);
    const float x[4] = {0, (float)width, (float)width, 0};
    const float y[4] = {0, 0, (float)height, (float)height};
    const uint32_t color[4] = {0xFF101838, 0xFF182048, 0xFF402058, 0xFF301848};
    for (int k = 0; k < 4; k++) {
        v[k].x = x[k];
        v[k].y = y[k];
        v[k].z = 0;
        v[k].rhw = 1;
        v[k].color = color[k];
    }
    display.DrawFan(4);
}

void DrawSolid(sDisplay& display, sTexture& texture, const sCamera& camera, const sPose& pose) {
    display.SetTexture(&texture);
    display.SetRenderMode(MODE_CUBE);
    for (int face = 0; face < CUBE_FACES; face++) DrawCubeFace(display, face, camera, pose);
    display.SetTexture(nullptr);
    display.SetRenderMode(MODE_SHELL);
    DrawShell(display, camera, pose);
}
