// Display mode switching for the run.
#ifndef POMRIVEL_XRES_H
#define POMRIVEL_XRES_H

void setResolutionSize(int width, int height);
void resetResolution(void);

#endif
