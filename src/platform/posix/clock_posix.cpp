// POSIX backend only: the local clock with clock_gettime and localtime_r.
#include <time.h>

#include "platform/clock.h"

LocalClock ReadLocalClock() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  LocalClock clock;
  clock.year = local.tm_year + 1900;
  clock.month = local.tm_mon + 1;
  clock.day = local.tm_mday;
  clock.weekday = local.tm_wday;
  clock.hour = local.tm_hour;
  clock.minute = local.tm_min;
  // A leap second shows as 59, the range Windows gives.
  clock.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  clock.hundredths = static_cast<int>(now.tv_nsec / 10000000L);
  return clock;
}
