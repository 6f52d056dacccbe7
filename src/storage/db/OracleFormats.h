#pragma once

#include <string>

#include "platform/LocalTime.h"

// Oracle's date and number formats for the embedded stand-in of the PMS database.
//
// A DATE of the stand-in is a day number: the whole days since 1 January 4712 BC (what Oracle's
// "J" mask prints, counted from midnight) plus the time of day as a fraction. Day arithmetic
// (SYSDATE-3, BUSINESS_DATE-1), comparison and equality then behave as on Oracle DATEs, and
// trunc() of a date is the plain integer part.
namespace db::oracle {

// A date's parts (its millisecond and weekday are not used).
using DateParts = platform::LocalTime;

double ToDayNumber(const DateParts& date);
// A finite day number of a date Oracle has (4712 BC to 9999).
bool IsDayNumber(double value);
// The date of a day number; 1 January 1970 for a value that is no day number.
DateParts FromDayNumber(double value);
bool IsValidDate(const DateParts& date);

// to_char(date, mask): every mask element the service's statements use (dd, mm, yyyy, rrrr, hh24,
// mi, ss, "quoted text", TZH, TZM, ...) and the other common ones (mon, month, dy, day, ddd, d, j,
// am/pm, fm). False with a reason for an element Oracle would refuse too.
bool FormatDate(double value, const std::string& mask, std::string& out, std::string& error);
// to_date(text, mask), read as leniently as Oracle: separators match any punctuation, numbers may
// be shorter than their element, a missing year or month is the current one ("today"), a
// missing day the first.
bool ParseDate(const std::string& text, const std::string& mask, const DateParts& today, double& value,
               std::string& error);
// The stand-in's NLS_DATE_FORMAT, used where Oracle converts a text to a date without a mask:
// 'YYYY-MM-DD HH24:MI:SS', the time (or its seconds) optional, "T" allowed before the time.
bool ParseDefaultDate(const std::string& text, double& value);
// trunc(date, unit): DD (and DDD, J), MM (MON, MONTH), YYYY (YEAR, YY, RR, RRRR...), HH (HH24,
// HH12), MI.
bool TruncDate(double value, const std::string& unit, double& out, std::string& error);

// to_char(number): integers without decimals, others in their shortest exact form, and like
// Oracle without the 0 in front of the point (".5").
std::string NumberText(double value);
// A number mask holds a digit (9 or 0); date masks never do.
bool IsNumberMask(const std::string& mask);
// to_char(number, mask) for masks of 9, 0, ".", "D", ",", "G", "FM", "S", "MI" and "$".
bool FormatNumber(double value, const std::string& mask, std::string& out, std::string& error);

}  // namespace db::oracle
