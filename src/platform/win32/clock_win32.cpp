// Win32 backend: the local clock, read once with GetLocalTime.
#include <windows.h>

#include "platform/clock.h"

LocalClock ReadLocalClock() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LocalClock clock;
  clock.year = now.wYear;
  clock.month = now.wMonth;
  clock.day = now.wDay;
  clock.weekday = now.wDayOfWeek;
  clock.hour = now.wHour;
  clock.minute = now.wMinute;
  clock.second = now.wSecond;
  clock.hundredths = now.wMilliseconds / 10;
  return clock;
}
