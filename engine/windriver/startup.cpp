// DirectDraw and Direct3D start-up and release. The driver proper fills these in;
// until then there is nothing to start or release.
#include "windriver/windriver.h"

void StartDirectDraw() {}
void ReleaseDirectDraw() {}
