// sWinDriver: the display driver over DirectDraw 5 and Direct3D 5.
#ifndef PRISMATEL_WINDRIVER_H
#define PRISMATEL_WINDRIVER_H

// Starts COM, DirectDraw with exclusive full-screen access and the Direct3D enumeration.
void StartDirectDraw();
// Releases the DirectDraw and Direct3D objects and gives back exclusive access; safe to
// call repeatedly and from the fatal paths.
void ReleaseDirectDraw();

#endif
