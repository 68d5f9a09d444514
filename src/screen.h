// The scene: its sprites, their motion and the switch between the landscape
// and the sand backdrop.
#ifndef POMRIVEL_SCREEN_H
#define POMRIVEL_SCREEN_H

#include "xsprite.h"

// The six sprites of the scene, from the top layer down.
extern SPRITE mainCharacter;
extern SPRITE tree;
extern SPRITE background;   // the upper landscape band, scrolled
extern SPRITE background2;  // its second copy, 640 pixels further on
extern SPRITE background3;  // the lower band
extern SPRITE backgroundSand;

// Walks completed since the last switch of scenes: 0, 1 or 2.
extern int changeSceneCount;

// The countdown text, composed on every frame.
extern char output[256];

// The scene's sound resource (a WAVE file), loaded by init, let go of by
// deinit; nothing plays it.
extern HGLOBAL mysound;

// Builds the scene once the window and the drawing surfaces exist.
void init(void);
// Releases the scene's sound resource.
void deinit(void);
// One frame: moves everything, switches scenes every third walk and paints
// the scene into the back buffer.
void paint(void);
// Swaps the landscape scene for the sand scene, or back.
void switchScenes(void);

#endif
