#include <windows.h>

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "xsprite.h"
#include "xgraphics.h"
#include "xsavermain.h"

// ---- Module state ----------------------------------------------------------

COLORREF transparentColor = 0xFF00FF;

SPRITE* spriteStack[MAXSPRITES];
int maxSpriteStack = 0;

// ---- Sprite records and construction -----------------------------------------

// A sprite from the bitmap file imageName or, when no such file loads, from
// the bitmap resource whose number imageName starts with. A transparent
// sprite gets a mask (and its key pixels turn black); a flipable one a
// mirrored copy, taken before masking, with a mask of its own. A sprite
// whose image loads from neither place keeps a NULL image, sizes of 0 and
// no masks or mirror.
SPRITE createSprite(const char* imageName, int isThisTransparent, int isThisFlipable) {
    SPRITE sp;
    BITMAP bm;

    memset(&sp, 0, sizeof sp);

    sp.image = LoadABitmap(imageName);
    if (sp.image == NULL) {
        // Resource numbers are 16 bits wide: "66202" is resource 666.
        sp.image = LoadBitmapA(hInst, MAKEINTRESOURCEA(atoi(imageName) & 0xFFFF));
    }

    sp.isActive = 1;
    sp.pos.x = 0;
    sp.pos.y = 0;
    sp.speed = 1;
    sp.course.x = 0;
    sp.course.y = 0;
    sp.hp = 2;
    strcpy(sp.groupName, "sprite");

    // The mirror is taken from the image as loaded, before a mask can blacken
    // its key pixels.
    if (isThisFlipable) sp.imageFlip = LoadAndFlipBitmap(sp.image, hwndMain);

    sp.isTransparent = isThisTransparent;
    if (isThisTransparent) sp.imageMask = CreateBitmapMask(sp.image, transparentColor);

    memset(&bm, 0, sizeof bm);
    if (sp.image != NULL && GetObjectA(sp.image, sizeof bm, &bm)) {
        sp.width = bm.bmWidth;
        sp.height = bm.bmHeight;
    }

    sp.isAnimation = 0;
    sp.autoUpdateFrame = 1;
    sp.loopAnimationHideWhenDone = 0;
    sp.loopAnimationFreezeWhenDone = 0;
    sp.currentImagePosition = 0;
    sp.maxImagePosition = 0;
    sp.frameSpeed = 7;
    sp.maxRepeatPosition = 20;
    sp.repeatFrameCount = 0;
    sp.isFlipped = 0;

    // Every mirrored image gets a mask, so its key pixels always end up black.
    sp.isFlipable = isThisFlipable;
    if (isThisFlipable) sp.imageFlipMask = CreateBitmapMask(sp.imageFlip, transparentColor);

    return sp;
}

// A sprite whose image is a horizontal strip of animationNumberOfFrames
// frames of equal width; width becomes one frame's. A count below 1 is taken
// as one frame, which keeps the division and the painter's frame arithmetic
// meaningful.
SPRITE createAnimatedSprite(const char* imageName, int isThisTransparent, int isThisFlipable,
                            int animationNumberOfFrames) {
    SPRITE sp = createSprite(imageName, isThisTransparent, isThisFlipable);
    if (animationNumberOfFrames < 1) animationNumberOfFrames = 1;
    sp.isAnimation = 1;
    sp.maxImagePosition = animationNumberOfFrames;
    sp.width = sp.width / animationNumberOfFrames;
    return sp;
}

void moveSprite(SPRITE* sp, int changeInX, int changeInY) {
    sp->pos.x += changeInX;
    sp->pos.y += changeInY;
}

// The size only: left and top are always 0.
RECT getDimensions(SPRITE* sp) {
    RECT r;
    r.left = 0;
    r.top = 0;
    r.right = sp->width;
    r.bottom = sp->height;
    return r;
}

// Changes the drawn area, collision rectangle and centre; the bitmaps stay.
void setDimensions(SPRITE* sp, int width, int height) {
    sp->width = width;
    sp->height = height;
}

POINT getPostion(SPRITE* sp) {
    return sp->pos;
}

// Halves truncate toward zero.
POINT getPositionCenter(SPRITE* sp) {
    POINT p;
    p.x = sp->pos.x + sp->width / 2;
    p.y = sp->pos.y + sp->height / 2;
    return p;
}

void setPosition(SPRITE* sp, int x, int y) {
    sp->pos.x = x;
    sp->pos.y = y;
}

void setPositionCenter(SPRITE* sp, int x, int y) {
    sp->pos.x = x - sp->width / 2;
    sp->pos.y = y - sp->height / 2;
}

// Centres dest on the centre of src.
void setPositionFromSprite(SPRITE* src, SPRITE* dest) {
    POINT c = getPositionCenter(src);
    setPositionCenter(dest, c.x, c.y);
}

// ---- The paint list and its groups -----------------------------------------

// Pushes sp on top of the list. A full list, or a NULL sprite, is refused:
// the painter would otherwise write past the list or draw through nothing.
void addSprite(SPRITE* sp) {
    if (sp == NULL || maxSpriteStack < 0 || maxSpriteStack >= MAXSPRITES) return;
    spriteStack[maxSpriteStack] = sp;
    ++maxSpriteStack;
}

// Pops the top entry, which must be sp, and releases sp's image and mask.
// Anything else is refused and changes nothing: the list only ever loses its
// most recently pushed entry, and releasing the bitmaps of a sprite still
// lower in the list would leave it to be painted from freed bitmaps.
// The mirrored image and its mask are kept, and the record is not changed.
void removeSprite(SPRITE* sp) {
    if (maxSpriteStack <= 0 || maxSpriteStack > MAXSPRITES) return;
    if (sp == NULL || spriteStack[maxSpriteStack - 1] != sp) return;
    --maxSpriteStack;
    DeleteObject(sp->image);
    DeleteObject(sp->imageMask);
}

// Releases the image and mask of every entry, at tear-down; the list stays
// as it is and is not painted again.
void deleteAllSpriteObjects(void) {
    int i;
    for (i = maxSpriteStack - 1; i >= 0; --i) {
        DeleteObject(spriteStack[i]->image);
        DeleteObject(spriteStack[i]->imageMask);
    }
}

// Group members are the entries whose groupName equals the name exactly
// (case included). Each operation visits every entry, so a sprite in the list
// twice is acted on twice.

// Mirrors (or un-mirrors) the members that have a mirrored image.
void flipGroup(const char* groupName, int flip) {
    int i;
    for (i = maxSpriteStack - 1; i >= 0; --i) {
        if (strcmp(spriteStack[i]->groupName, groupName) == 0 && spriteStack[i]->isFlipable)
            spriteStack[i]->isFlipped = flip;
    }
}

void deactivateGroup(const char* groupName) {
    int i;
    for (i = maxSpriteStack - 1; i >= 0; --i) {
        if (strcmp(spriteStack[i]->groupName, groupName) == 0) spriteStack[i]->isActive = 0;
    }
}

void setPositionGroup(const char* groupName, int x, int y) {
    int i;
    for (i = maxSpriteStack - 1; i >= 0; --i) {
        if (strcmp(spriteStack[i]->groupName, groupName) == 0) setPosition(spriteStack[i], x, y);
    }
}

void moveSpriteGroup(const char* groupName, int changeInX, int changeInY) {
    int i;
    for (i = maxSpriteStack - 1; i >= 0; --i) {
        if (strcmp(spriteStack[i]->groupName, groupName) == 0) moveSprite(spriteStack[i], changeInX, changeInY);
    }
}

// ---- Courses and collision --------------------------------------------------

// The sprite's centre travels to (x, y), speed pixels per step on each axis.
void setCourse(SPRITE* sp, int x, int y, int speed) {
    sp->course.x = x;
    sp->course.y = y;
    sp->speed = speed;
}

// One step of speed pixels towards the course point on each axis whose
// coordinate lies more than half a step from the centre; the axes move
// independently, so the path is diagonal until one axis arrives. The dead
// zone of half a step keeps a fast sprite from overshooting back and forth.
// Returns 1 while the centre is off the course, 0 once it has arrived.
int followCourse(SPRITE* sp) {
    int hasMoved = 0;
    POINT p = getPositionCenter(sp);
    int half = sp->speed / 2;

    if (sp->course.x > p.x + half) {
        sp->pos.x += sp->speed;
        hasMoved = 1;
    }
    if (sp->course.x < p.x - half) {
        sp->pos.x -= sp->speed;
        hasMoved = 1;
    }
    if (sp->course.y < p.y - half) {
        sp->pos.y -= sp->speed;
        hasMoved = 1;
    }
    if (sp->course.y > p.y + half) {
        sp->pos.y += sp->speed;
        hasMoved = 1;
    }
    return hasMoved;
}

// 1 when (x, y) lies strictly inside the sprite's rectangle; points on its
// edges are outside. The mask plays no part.
int checkCollision(SPRITE* sp, int x, int y) {
    if (sp->pos.x < x && x < sp->pos.x + sp->width && sp->pos.y < y && y < sp->pos.y + sp->height) return 1;
    return 0;
}

// ---- Painting -----------------------------------------------------------------

// Advances an animation by one paint. The frame is held while the repeat
// counter is at most maxRepeatPosition, so for maxRepeatPosition + 2 paints.
// Before the last frame, frames advance only when autoUpdateFrame is set;
// on the last frame the sprite freezes there (clearing autoUpdateFrame for
// good) or, once held long enough, starts over at frame 0, and a sprite set to
// hide when done is deactivated and sent back to frame 0.
static void advanceAnimation(SPRITE* sp) {
    if (sp->currentImagePosition < sp->maxImagePosition - 1) {
        if (sp->autoUpdateFrame) {
            if (sp->repeatFrameCount <= sp->maxRepeatPosition) {
                ++sp->repeatFrameCount;
            } else {
                sp->repeatFrameCount = 0;
                ++sp->currentImagePosition;
            }
        }
        return;
    }
    if (sp->loopAnimationFreezeWhenDone) {
        sp->autoUpdateFrame = 0;
    } else if (sp->repeatFrameCount <= sp->maxRepeatPosition) {
        ++sp->repeatFrameCount;
    } else {
        sp->repeatFrameCount = 0;
        sp->currentImagePosition = 0;
    }
    if (sp->loopAnimationHideWhenDone) {
        sp->isActive = 0;
        sp->currentImagePosition = 0;
    }
}

// Draws width x height pixels of the sprite's bitmaps from x offset frameX at
// the sprite's position. The blit clips the source rectangle to the bitmap
// (moving the destination with it), so a frame index or size beyond the
// strip draws only what the strip holds. A missing image, a missing mask
// for a transparent sprite, or an empty size draws nothing.
static void drawSprite(SPRITE* sp, HDC h, HDC temp, long long frameX) {
    HBITMAP img = sp->isFlipped ? sp->imageFlip : sp->image;
    HBITMAP mask = sp->isFlipped ? sp->imageFlipMask : sp->imageMask;

    if (img == NULL || (sp->isTransparent && mask == NULL)) return;
    if (sp->width <= 0 || sp->height <= 0) return;
    // An offset a blit cannot express lies outside any strip.
    if (frameX < INT_MIN || frameX > INT_MAX) return;

    if (sp->isTransparent) {
        // The mask keeps the destination where it has 1 and blackens it
        // under the opaque pixels; the image, black where transparent, is
        // then ORed over it.
        SelectObject(temp, mask);
        BitBlt(h, sp->pos.x, sp->pos.y, sp->width, sp->height, temp, (int)frameX, 0, SRCAND);
        SelectObject(temp, img);
        BitBlt(h, sp->pos.x, sp->pos.y, sp->width, sp->height, temp, (int)frameX, 0, SRCPAINT);
    } else {
        SelectObject(temp, img);
        BitBlt(h, sp->pos.x, sp->pos.y, sp->width, sp->height, temp, (int)frameX, 0, SRCCOPY);
    }
}

// Draws the paint list into h, from the last entry down to entry 0, so the
// first sprite pushed lies on top; temp is the context each sprite bitmap is
// selected into to copy from. Every active animation advances by one paint.
// A sprite whose hp is 0 is deactivated first, so it is never drawn. The
// painter relies on h having a white background colour and a black text
// colour, as a new memory context has: mask bits of 1 then keep the
// destination and bits of 0 blacken it.
void paintSprite(HDC h, HDC temp) {
    int i;
    for (i = maxSpriteStack - 1; i >= 0; --i) {
        SPRITE* sp = spriteStack[i];
        long long frameXPosition = 0;

        if (sp->hp == 0) sp->isActive = 0;
        if (!sp->isActive) continue;

        if (sp->isAnimation) {
            // The frame current when this paint began is the one drawn.
            frameXPosition = (long long)sp->currentImagePosition * sp->width;
            advanceAnimation(sp);
        }
        drawSprite(sp, h, temp, frameXPosition);
    }
}
