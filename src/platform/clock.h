// The local date and time.
#pragma once

/// One reading of the local clock.
struct LocalClock {
  int year = 0;     ///< four digits
  int month = 0;    ///< 1 to 12
  int day = 0;      ///< 1 to 31
  int weekday = 0;  ///< 0 (Sunday) to 6
  int hour = 0;     ///< 0 to 23
  int minute = 0;
  int second = 0;
  int hundredths = 0;  ///< 0 to 99
};

/// Reads date and time together, so that both belong to the same moment.
LocalClock ReadLocalClock();
