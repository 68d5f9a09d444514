// The sprite engine: sprite records built from bitmaps, the paint list and
// its groups, courses and collision, and the painter.
#ifndef POMRIVEL_XSPRITE_H
#define POMRIVEL_XSPRITE_H

#include <windows.h>

typedef struct _SPRITE {
    HBITMAP image;  // the picture; for an animation, all frames side by side
    POINT pos;      // top-left corner on the back buffer
    POINT course;   // the point the centre travels to
    int width;      // drawn width; for an animation, one frame's
    int height;
    int speed;  // pixels per course step on each axis
    int hp;     // while 0 the painter deactivates the sprite
    int isActive;
    int isFlipable;
    int nextSpritePtr;
    char spriteName[256];
    char groupName[256];
    HBITMAP imageMask;  // 1 where image is transparent
    int isTransparent;
    HBITMAP imageFlip;      // image mirrored left to right
    HBITMAP imageFlipMask;  // mask of imageFlip
    int isFlipped;
    int isAnimation;
    int loopAnimationHideWhenDone;
    int loopAnimationFreezeWhenDone;
    int autoUpdateFrame;
    int currentImagePosition;  // frame drawn, from 0
    int maxImagePosition;      // number of frames
    int frameSpeed;
    int repeatFrameCount;   // paints the current frame has been held
    int maxRepeatPosition;  // hold threshold
    int repeatPosition;
} SPRITE;

// The colour key of transparency masks.
extern COLORREF transparentColor;

// The paint list: painted from the last entry down to entry 0.
enum { MAXSPRITES = 25 };
extern SPRITE* spriteStack[MAXSPRITES];
extern int maxSpriteStack;

SPRITE createSprite(const char* imageName, int isThisTransparent, int isThisFlipable);
SPRITE createAnimatedSprite(const char* imageName, int isThisTransparent, int isThisFlipable,
                            int animationNumberOfFrames);
void moveSprite(SPRITE* sp, int changeInX, int changeInY);
RECT getDimensions(SPRITE* sp);
void setDimensions(SPRITE* sp, int width, int height);
POINT getPostion(SPRITE* sp);
POINT getPositionCenter(SPRITE* sp);
void setPosition(SPRITE* sp, int x, int y);
void setPositionCenter(SPRITE* sp, int x, int y);
void setPositionFromSprite(SPRITE* src, SPRITE* dest);

void addSprite(SPRITE* sp);
void removeSprite(SPRITE* sp);
void deleteAllSpriteObjects(void);
void flipGroup(const char* groupName, int flip);
void deactivateGroup(const char* groupName);
void setPositionGroup(const char* groupName, int x, int y);
void moveSpriteGroup(const char* groupName, int changeInX, int changeInY);

void setCourse(SPRITE* sp, int x, int y, int speed);
int followCourse(SPRITE* sp);
int checkCollision(SPRITE* sp, int x, int y);

void paintSprite(HDC h, HDC temp);

#endif
