// The calendar and the countdown readings. The readings' clock is the
// headless backend's local time, set per test and moved by idle polls, so
// they run in the native build only; the calendar runs on Windows too.
#include <windows.h>

#include "xdate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#ifndef _WIN32
#include "support/headless.h"

using platform::backend::Event;
using platform::backend::HeadlessBackend;
using platform::backend::HeadlessConfig;
#endif

namespace {

// ---- Calendar ------------------------------------------------------------

TEST(Calendar, LeapYearsFollowTheGregorianRuleForEveryYearNumber) {
    struct Case {
        int year;
        int leap;
    };
    const Case cases[] = {{2000, 1}, {1900, 0}, {2100, 0}, {2400, 1}, {2004, 1}, {2003, 0},
                          {0, 1},    {-4, 1},   {-100, 0}, {-400, 1}, {-1, 0},   {1, 0}};
    for (const Case& c : cases) EXPECT_EQ(isLeapYear(c.year), c.leap) << c.year;
}

TEST(Calendar, DayOfYearCountsTheLeapDayFromMarchOn) {
    // Arguments: day, month, year.
    EXPECT_EQ(calculateDayOfYear(1, 1, 2003), 1);
    EXPECT_EQ(calculateDayOfYear(31, 12, 2003), 365);
    EXPECT_EQ(calculateDayOfYear(31, 12, 2004), 366);
    EXPECT_EQ(calculateDayOfYear(28, 2, 2004), 59);
    EXPECT_EQ(calculateDayOfYear(29, 2, 2004), 60);
    EXPECT_EQ(calculateDayOfYear(1, 3, 2003), 60);
    EXPECT_EQ(calculateDayOfYear(1, 3, 2004), 61);
    EXPECT_EQ(calculateDayOfYear(13, 6, 2003), 164);
    // The first of every month follows the last of the month before, in a
    // common year and in a leap year.
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int year : {2003, 2004}) {
        int first = 1;
        for (int m = 1; m <= 12; ++m) {
            EXPECT_EQ(calculateDayOfYear(1, m, year), first) << m << "/" << year;
            first += lengths[m - 1] + (m == 2 && year == 2004 ? 1 : 0);
        }
    }
}

TEST(Calendar, DayOfYearLetsUncheckedDaysAndMonthsIntoTheSum) {
    EXPECT_EQ(calculateDayOfYear(5, 13, 2003), 5);  // no such month: the day alone
    EXPECT_EQ(calculateDayOfYear(5, 0, 2003), 5);
    EXPECT_EQ(calculateDayOfYear(0, 3, 2004), 60);  // day 0: the last of February
    EXPECT_EQ(calculateDayOfYear(31, 4, 2003), calculateDayOfYear(1, 5, 2003));
}

TEST(Calendar, DaysBetweenCountsForwardAcrossMonthsAndYears) {
    // Arguments: start month, day, year, then target month, day, year.
    EXPECT_EQ(daysBetween(6, 13, 2003, 6, 13, 2003), 0);
    EXPECT_EQ(daysBetween(2, 28, 2003, 3, 1, 2003), 1);
    EXPECT_EQ(daysBetween(2, 28, 2004, 3, 1, 2004), 2);
    EXPECT_EQ(daysBetween(12, 31, 2002, 1, 1, 2003), 1);
    EXPECT_EQ(daysBetween(1, 1, 2000, 1, 1, 2001), 366);
    EXPECT_EQ(daysBetween(1, 1, 2001, 1, 1, 2002), 365);
    EXPECT_EQ(daysBetween(6, 1, 2002, 6, 13, 2003), 377);
    EXPECT_EQ(daysBetween(5, 20, 2003, 6, 13, 2003), 24);
    EXPECT_EQ(daysBetween(1, 1, 2003, 12, 31, 2003), 364);
    // Four centuries hold 146097 days, whatever the start.
    EXPECT_EQ(daysBetween(3, 1, 1600, 3, 1, 2000), 146097);
    // Across a year end where the start is late in a leap year.
    EXPECT_EQ(daysBetween(12, 31, 2004, 1, 1, 2005), 1);
}

TEST(Calendar, DaysBetweenIsZeroForATargetBeforeTheStart) {
    EXPECT_EQ(daysBetween(6, 14, 2003, 6, 13, 2003), 0);
    EXPECT_EQ(daysBetween(1, 1, 2004, 6, 13, 2003), 0);
    EXPECT_EQ(daysBetween(12, 8, 2026, 6, 13, 2003), 0);
    EXPECT_EQ(daysBetween(1, 1, 30827, 6, 13, 2003), 0);
}

TEST(Calendar, ZellerGivesTheDayOfTheWeek) {
    // Arguments: day, month, year. 0 is Sunday.
    EXPECT_EQ(zeller(21, 2, 2003), 5);  // Friday
    EXPECT_EQ(zeller(14, 6, 2003), 6);  // Saturday
    EXPECT_EQ(zeller(1, 1, 2000), 6);   // Saturday, as month 11 of 1999
    EXPECT_EQ(zeller(29, 2, 2000), 2);  // Tuesday
    EXPECT_EQ(zeller(1, 3, 1900), 4);   // Thursday
    EXPECT_EQ(zeller(1, 3, 2000), 3);   // Wednesday, through a negative remainder
}

TEST(Calendar, ZellerAgreesWithADayCountOverFourCenturies) {
    // 1 January 1600 was a Saturday; every later day moves the week on by one.
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int weekday = 6;
    for (int y = 1600; y < 2400; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int days = lengths[m - 1] + (m == 2 ? isLeapYear(y) : 0);
            for (int d = 1; d <= days; ++d) {
                ASSERT_EQ(zeller(d, m, y), weekday) << d << "/" << m << "/" << y;
                weekday = (weekday + 1) % 7;
            }
        }
    }
}

#ifndef _WIN32
// ---- Readings --------------------------------------------------------------

// A headless clock showing the given local time.
HeadlessBackend* clockAt(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
    HeadlessConfig config;
    config.localTime = SYSTEMTIME{year, month, 0, day, hour, minute, second, ms};
    config.step = 1;
    return test_support::installHeadless(config);
}

// One idle poll: the clock moves on by a millisecond.
void tick(HeadlessBackend* b) { test_support::idlePoll(b); }

TEST(Readings, DaysUntilCountsFromTodayAndStaysZeroFromTheTargetOn) {
    struct Case {
        WORD year, month, day;
        int days;
    };
    const Case cases[] = {{2003, 6, 12, 1}, {2003, 6, 13, 0},  {2003, 6, 14, 0}, {2026, 12, 8, 0},
                          {2004, 1, 1, 0},  {2003, 5, 20, 24}, {2002, 6, 1, 377}};
    for (const Case& c : cases) {
        clockAt(c.year, c.month, c.day, 12, 0, 0, 0);
        EXPECT_EQ(daysUntil(6, 13, 2003), c.days) << c.year << "-" << c.month << "-" << c.day;
    }
    // The time of day plays no part.
    clockAt(2003, 6, 12, 23, 59, 59, 999);
    EXPECT_EQ(daysUntil(6, 13, 2003), 1);
    clockAt(2003, 6, 12, 0, 0, 0, 0);
    EXPECT_EQ(daysUntil(6, 13, 2003), 1);
}

TEST(Readings, HoursMinutesAndSecondsAreDistancesFromTheValueGiven) {
    clockAt(2003, 6, 13, 23, 59, 59, 999);
    EXPECT_EQ(hoursUntil(23), 0);
    EXPECT_EQ(minutesUntil(59), 0);
    EXPECT_EQ(secondsUntil(59), 0);

    clockAt(2003, 6, 13, 0, 0, 0, 0);
    EXPECT_EQ(hoursUntil(23), 23);
    EXPECT_EQ(minutesUntil(59), 59);
    EXPECT_EQ(secondsUntil(59), 59);

    // A value below the field gives a positive distance too.
    clockAt(2003, 6, 13, 5, 30, 10, 0);
    EXPECT_EQ(hoursUntil(0), 5);
    EXPECT_EQ(hoursUntil(23), 18);
    EXPECT_EQ(minutesUntil(0), 30);
    EXPECT_EQ(secondsUntil(0), 10);

    // Long after the target the readings go on giving the time left in the
    // current day.
    clockAt(2026, 3, 2, 10, 15, 20, 0);
    EXPECT_EQ(daysUntil(6, 13, 2003), 0);
    EXPECT_EQ(hoursUntil(23), 13);
    EXPECT_EQ(minutesUntil(59), 44);
    EXPECT_EQ(secondsUntil(59), 39);
}

TEST(Readings, EachReadingTakesItsOwnSampleOfTheClock) {
    HeadlessBackend* b = clockAt(2003, 6, 13, 10, 59, 59, 999);
    EXPECT_EQ(hoursUntil(23), 13);
    tick(b);  // 11:00:00.000
    EXPECT_EQ(minutesUntil(59), 59);
    EXPECT_EQ(hoursUntil(23), 12);
    // Midnight moves the day on as well.
    b = clockAt(2003, 6, 11, 23, 59, 59, 999);
    EXPECT_EQ(daysUntil(6, 13, 2003), 2);
    tick(b);
    EXPECT_EQ(daysUntil(6, 13, 2003), 1);
}

TEST(Readings, MillisecondsAreLiftedToAtLeast100AndJitteredByAFewUnits) {
    struct Case {
        WORD ms;
        int low, high;  // the range over all draws
    };
    // 899 and 999 are both 100 before the jitter; 900 is 199; at 000 the
    // distance 999 plus a draw passes 999 and is pulled back by up to 119.
    const Case cases[] = {{999, 100, 108}, {899, 100, 108}, {900, 199, 207}, {500, 499, 507}, {0, 881, 1007}};
    for (const Case& c : cases) {
        int lowest = 2000, highest = -1;
        for (unsigned seed = 1; seed <= 300; ++seed) {
            clockAt(2003, 6, 13, 12, 0, 0, c.ms);
            std::srand(seed);
            const int got = mSecondsUntil(999);
            lowest = std::min(lowest, got);
            highest = std::max(highest, got);
        }
        EXPECT_GE(lowest, c.low) << "ms " << c.ms;
        EXPECT_LE(highest, c.high) << "ms " << c.ms;
        EXPECT_GT(highest, lowest) << "ms " << c.ms << ": no jitter";
    }

    // Through a whole second: never below 100, never more than 8 above the
    // lifted distance, and below it only where the sum passed 999.
    HeadlessBackend* b = clockAt(2003, 6, 13, 12, 0, 0, 0);
    for (int ms = 0; ms < 1000; ++ms) {
        const int distance = 999 - ms;
        const int lifted = distance < 100 ? distance + 100 : distance;
        const int got = mSecondsUntil(999);
        EXPECT_GE(got, lifted > 991 ? 881 : lifted) << ms;
        EXPECT_LE(got, lifted + 8) << ms;
        tick(b);
    }
}

TEST(Readings, MillisecondsDrawOnceOrTwiceFromTheGenerator) {
    // At 00:00:00.000 the distance is 999: a draw of 0 leaves it at 999 with
    // no second draw; any other first draw passes 999 and takes a second.
    for (unsigned seed = 1; seed <= 200; ++seed) {
        clockAt(2003, 6, 14, 0, 0, 0, 0);
        std::srand(seed);
        const int first = std::rand() % 9;
        const int afterOne = std::rand();
        const int afterTwo = std::rand();
        std::srand(seed);
        mSecondsUntil(999);
        EXPECT_EQ(std::rand(), first == 0 ? afterOne : afterTwo) << "seed " << seed;
    }
}

#endif

}  // namespace
