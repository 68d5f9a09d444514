#include <windows.h>

#include "screen.h"
#include "xdate.h"
#include "xsavermain.h"
#include "xsprite.h"

// ---- Tunables --------------------------------------------------------------

// The countdown's target date: the countdown reads the time left until this
// day begins.
static int FINALMONTH = 6;
static int FINALDAY = 14;
static int FINALYEAR = 2003;

// ---- The scene ---------------------------------------------------------------

SPRITE mainCharacter;
SPRITE tree;
SPRITE background;
SPRITE background2;
SPRITE background3;
SPRITE backgroundSand;

int changeSceneCount;
char output[256];
HGLOBAL mysound;

enum {
    kWalkerBitmap = 666,
    kSoundResource = 667,
    kLandscapeBitmap = 668,
    kMeadowBitmap = 669,
    kTreesBitmap = 670,
    kSandBitmap = 671,
    kRawData = 10,  // RT_RCDATA
};

// The landscape band is 640 pixels wide: a copy that has scrolled its whole
// width out to the left goes round to the right of the other copy.
static const int kBandWidth = 640;

// ---- Set-up and release ------------------------------------------------------

// Builds the six sprites and the paint list; the first sprite added is drawn
// on top. Sprite images are named by the decimal text of their resource id,
// so a bitmap file of that name in the working directory replaces one.
void init(void) {
    char tempBitmapName[256];

    GAMESPEED = 50;
    transparentColor = 0xFE02FE;

    // The sound is carried and loaded but never played. A missing resource
    // leaves the handle null rather than handing a null to LoadResource.
    HRSRC soundInfo = FindResourceA(hInst, MAKEINTRESOURCEA(kSoundResource), MAKEINTRESOURCEA(kRawData));
    mysound = soundInfo ? LoadResource(hInst, soundInfo) : NULL;

    // The walker: its course ends 200 pixels past the right edge, level with
    // its starting centre.
    wsprintfA(tempBitmapName, "%d", kWalkerBitmap);
    mainCharacter = createAnimatedSprite(tempBitmapName, 1, 0, 1);
    setPosition(&mainCharacter, 0, 150);
    addSprite(&mainCharacter);
    setCourse(&mainCharacter, screenSize.right + 200, mainCharacter.height / 2 + 150, 1);

    wsprintfA(tempBitmapName, "%d", kTreesBitmap);
    tree = createSprite(tempBitmapName, 1, 0);
    setPosition(&tree, 0, 0);
    addSprite(&tree);

    // Two copies of the upper band side by side, both heading far off to the
    // left at one pixel a frame; paint wraps them round.
    wsprintfA(tempBitmapName, "%d", kLandscapeBitmap);
    background = createSprite(tempBitmapName, 0, 0);
    setPosition(&background, 0, 0);
    setCourse(&background, -kBandWidth, background.height / 2, 1);
    addSprite(&background);

    background2 = createSprite(tempBitmapName, 0, 0);
    setPosition(&background2, kBandWidth, 0);
    setCourse(&background2, -kBandWidth, background.height / 2, 1);
    addSprite(&background2);

    wsprintfA(tempBitmapName, "%d", kMeadowBitmap);
    background3 = createSprite(tempBitmapName, 0, 0);
    setPosition(&background3, 0, 240);
    addSprite(&background3);

    wsprintfA(tempBitmapName, "%d", kSandBitmap);
    backgroundSand = createSprite(tempBitmapName, 0, 0);
    setPosition(&backgroundSand, 0, 0);
    addSprite(&backgroundSand);

    // The saver opens on the landscape.
    backgroundSand.isActive = 0;
}

// A resource loaded from the module's image lives as long as the module and
// needs no freeing; the handle is only let go of. It is not a GDI object,
// so it must never reach DeleteObject.
void deinit(void) {
    mysound = NULL;
}

// ---- Animation ---------------------------------------------------------------

// The scene in force is told by the tree alone. The landscape copies keep
// scrolling while hidden, so the landscape comes back where it had got to;
// the walker is in both scenes and is left alone.
void switchScenes(void) {
    if (tree.isActive) {
        background.isActive = 0;
        background2.isActive = 0;
        background3.isActive = 0;
        tree.isActive = 0;
        backgroundSand.isActive = 1;
    } else {
        backgroundSand.isActive = 0;
        background.isActive = 1;
        background2.isActive = 1;
        background3.isActive = 1;
        tree.isActive = 1;
    }
}

// Composes the countdown to the start of the target day. Each reading takes
// its own clock sample, so they are taken one by one in a fixed order (the
// order in which function arguments are evaluated is not fixed). The text
// is not drawn. The text colour goes back to black at the end: the masked
// sprite drawing of the next frame turns mask bits into the text colour and
// relies on it being black.
static void composeCountdown(void) {
    SetTextColor(h, RGB(255, 0, 0));

    int days = daysUntil(FINALMONTH, FINALDAY - 1, FINALYEAR);
    int hours = hoursUntil(23);
    int minutes = minutesUntil(59);
    wsprintfA(output, "%d days, %d hours, %d minutes", days, hours, minutes);

    int seconds = secondsUntil(59);
    int milliseconds = mSecondsUntil(999);
    wsprintfA(output, "%d Seconds, %d Milliseconds", seconds, milliseconds);

    SetTextColor(h, RGB(0, 0, 0));
}

// One frame. Everything moves before anything is drawn, so the first frame
// already shows the landscape one pixel along.
void paint(void) {
    // A copy that reached -640 on the last frame goes round to 640 and
    // arrives at 639 below: the two copies stay 640 apart, without a gap.
    POINT bandPos = getPostion(&background);
    if (bandPos.x == -kBandWidth) setPosition(&background, kBandWidth, 0);
    bandPos = getPostion(&background2);
    if (bandPos.x == -kBandWidth) setPosition(&background2, kBandWidth, 0);

    followCourse(&background);
    followCourse(&background2);

    // The walker has arrived when its centre stops moving: it starts again
    // off-screen at the left, and every third walk switches the scene.
    if (!followCourse(&mainCharacter)) {
        setPosition(&mainCharacter, -200, 100);
        changeSceneCount++;
        if (changeSceneCount > 2) {
            changeSceneCount = 0;
            switchScenes();
        }
    }

    paintSprite(h, temp);

    composeCountdown();
}
