// Direct3D drawing, whose own source is still to come. Until then these do nothing, so
// that the driver is complete; the 3D drawing source replaces them.
#include "windriver/windriver.h"

// ---- Direct3D drawing (vertices are allocated with new[] and freed with delete[]) --------------

void sWinDriver::Begin3D(const sRect*) {}
void sWinDriver::End3D() {}
sVertex* sWinDriver::SetVertexCount(int) {
    return NULL;
}
sVertex* sWinDriver::GetVertices(int) {
    return NULL;
}
void sWinDriver::SetRenderMode(unsigned) {}
void sWinDriver::SetTexture(sTexture*) {}
void sWinDriver::SetColor(int, int, int, int) {}
void sWinDriver::SetColor(const sColor&) {}
void sWinDriver::DrawStrip(int) {}
void sWinDriver::DrawFan(int) {}
