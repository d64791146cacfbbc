#pragma once

#include "runtime/text.h"

namespace orvane {

// An automation date (days since 1899-12-30; the fraction's magnitude is the time of day, so
// -1.25 is 29 December 1899 at 06:00) as the runtime writes it, rounded to the second, in the
// core's fixed day-first form: "DD/MM/YYYY" when the time is midnight, "HH:MM:SS" on the day
// zero, both otherwise. Throws Failure 5 outside 1 January 100 to 31 December 9999.
Text automation_date_text(double days);

}  // namespace orvane
