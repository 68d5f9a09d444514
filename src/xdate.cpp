#include <windows.h>

#include <stdlib.h>

#include "xdate.h"

// ---- Calendar ------------------------------------------------------------

// Every fourth year, except the centuries that 400 does not divide. Only
// remainders are tested, so year 0 and negative years follow the same rule.
int isLeapYear(int year) {
    if (year % 4 != 0) return 0;
    if (year % 100 != 0) return 1;
    if (year % 400 != 0) return 0;
    return 1;
}

// The days of the months before m are added from m's case down to January;
// March's case adds February. A month outside 1 to 12 adds nothing, and the
// day is not checked against the month's length.
int calculateDayOfYear(int d, int m, int y) {
    int dayNumber = 0;
    switch (m) {
        case 12:
            dayNumber += 30;  // November
            // fall through
        case 11:
            dayNumber += 31;  // October
            // fall through
        case 10:
            dayNumber += 30;  // September
            // fall through
        case 9:
            dayNumber += 31;  // August
            // fall through
        case 8:
            dayNumber += 31;  // July
            // fall through
        case 7:
            dayNumber += 30;  // June
            // fall through
        case 6:
            dayNumber += 31;  // May
            // fall through
        case 5:
            dayNumber += 30;  // April
            // fall through
        case 4:
            dayNumber += 31;  // March
            // fall through
        case 3:
            dayNumber += isLeapYear(y) ? 29 : 28;  // February
            // fall through
        case 2:
            dayNumber += 31;  // January
            // fall through
        case 1: break;
        default: break;
    }
    return dayNumber + d;
}

// Whole years from the start year up to the target year, then the difference
// of the two days of the year. A target before the start gives 0.
int daysBetween(int m1, int d1, int y1, int m, int d, int y) {
    int totalDaysUntil = 0;
    if (y < y1) return 0;
    for (int i = y1; i < y; i++) totalDaysUntil += isLeapYear(i) ? 366 : 365;
    int dayOfYear = calculateDayOfYear(d, m, y);
    int dayOfYear1 = calculateDayOfYear(d1, m1, y1);
    totalDaysUntil += dayOfYear - dayOfYear1;
    if (totalDaysUntil < 0) return 0;
    return totalDaysUntil;
}

// Zeller's congruence with the months counted from March, so that the leap
// day ends the (previous) year: January and February are months 11 and 12
// of the year before.
int zeller(int d, int m, int y) {
    m = m - 2;
    if (m <= 0) {
        m += 12;
        y -= 1;
    }
    int c = y / 100;
    y = y % 100;
    int monthTerm = (int)(2.6 * m - 0.2);
    int f = monthTerm + d + y + y / 4 + c / 4 - 2 * c;
    f = f % 7;
    // Early in a century the sum is negative, and so is its remainder.
    if (f < 0) f += 7;
    return f;
}

// ---- Countdown readings ---------------------------------------------------

int daysUntil(int m, int d, int y) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return daysBetween((int)st.wMonth, (int)st.wDay, (int)st.wYear, m, d, y);
}

// The distances below are plain absolute differences, not time left modulo a
// day or an hour; with the top of the field's range as the argument they are
// the time left in that field.
int hoursUntil(int h) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return abs((int)st.wHour - h);
}

int minutesUntil(int min) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return abs((int)st.wMinute - min);
}

int secondsUntil(int min) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return abs((int)st.wSecond - min);
}

// The millisecond reading never shows below 100 and flickers by a few units
// from frame to frame: one draw from rand on every call, and a second one
// that pulls a value past 999 back down. rand is never seeded, so the draws
// are the same in every run.
int mSecondsUntil(int min) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    int value = abs((int)st.wMilliseconds - min);
    if (value < 100) value += 100;
    value += rand() % 9;
    if (value > 999) value -= rand() % 120;
    return value;
}
