// The calendar (Gregorian, every year alike) and the countdown readings taken
// from the local clock. A date is three plain integers; mind the order, which
// differs from function to function.
#ifndef POMRIVEL_XDATE_H
#define POMRIVEL_XDATE_H

// 1 for a leap year, else 0.
int isLeapYear(int year);
// Day of the year of day d, month m, year y: 1 January is 1.
int calculateDayOfYear(int d, int m, int y);
// Days from the start date (month m1, day d1, year y1) to the target date
// (month m, day d, year y); 0 when the target is the start or lies before it.
int daysBetween(int m1, int d1, int y1, int m, int d, int y);
// Day of the week of day d, month m, year y: 0 Sunday ... 6 Saturday.
int zeller(int d, int m, int y);

// The readings. Each takes its own sample of the local clock.
// Days from today to month m, day d, year y; 0 on that date and after it.
int daysUntil(int m, int d, int y);
// Distances of the current hour, minute and second from the value given.
int hoursUntil(int h);
int minutesUntil(int min);
int secondsUntil(int min);
// Distance of the current millisecond from the value given, never below 100,
// with a small random jitter.
int mSecondsUntil(int min);

#endif
