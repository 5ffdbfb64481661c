#pragma once
#include "mail/IdException.h"
#include "mail/IdTexts.h"

#include <chrono>
#include <string>

class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
  public:
    EIdFailedToRetreiveTimeZoneInfo() : EIdException(IdTexts::NoTimeZoneInfo) {}
};

// Local date and time as days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

// The local date and time now, and the local date and time of a calendar moment.
TDateTime LocalDateTimeNow();
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

// "Tue, 1 Dec 2026 09:05:07 -0300": English names whatever the locale, and the offset in
// force now (not the one of the date). Throws EIdFailedToRetreiveTimeZoneInfo.
std::string InternetDateText(TDateTime date, bool gmt = false);

// The local offset from UTC in force now, in whole minutes, negative west of UTC.
// Throws EIdFailedToRetreiveTimeZoneInfo when the system cannot tell it.
std::chrono::minutes LocalOffsetFromUtc();

// "+hhmm" / "-hhmm"; "GMT" for a zero offset when gmt is set.
std::string UtcOffsetText(std::chrono::minutes offset, bool gmt);
