// The Date class. A date holds its time value in `primitive`: a number of
// milliseconds since 1970-01-01 00:00 UTC, NaN for an invalid date. Local
// time is UTC plus the machine's fixed offset (vm.timeZoneMinutes, no
// daylight saving), so every movie sees the same calendar whatever zone
// the computer is in. The calendar arithmetic is done here (proleptic
// Gregorian, day 0 = 1970-01-01); the system's time functions are never
// asked.

#include "avm1/builtins/Support.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace qev::swf::avm1 {

using namespace builtins;

namespace {

constexpr double kMsPerSecond = 1000;
constexpr double kMsPerMinute = 60000;
constexpr double kMsPerHour = 3600000;
constexpr double kMsPerDay = 86400000;
// Time values beyond ±100 million days from 1970 are invalid.
constexpr double kMaxTime = 8.64e15;

// Days from 1970-01-01 to the given civil date (month 1..12). Works with
// the 400-year cycle of the Gregorian calendar, whose eras start in March
// so that the leap day falls at the end.
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = std::int64_t(y - era * 400);                    // [0, 399]
    const int mp = m > 2 ? m - 3 : m + 9;                               // March = 0
    const std::int64_t doy = (153 * mp + 2) / 5 + d - 1;                // [0, 365]
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;     // [0, 146096]
    return era * 146097 + doe - 719468;
}

struct Civil {
    std::int64_t year;
    int month; // 0..11
    int day;   // 1..31
};

// The inverse of daysFromCivil.
Civil civilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = int(doy - (153 * mp + 2) / 5 + 1);
    const int m = int(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2), m - 1, d};
}

// The broken-down form of a time value.
struct Fields {
    double year = 0, month = 0, date = 1, hours = 0, minutes = 0, seconds = 0, ms = 0;
    int weekDay = 0; // 0 = Sunday
};

Fields split(double t)
{
    const double days = std::floor(t / kMsPerDay);
    double inDay = t - days * kMsPerDay;
    const Civil c = civilFromDays(std::int64_t(days));
    Fields f;
    f.year = double(c.year);
    f.month = c.month;
    f.date = c.day;
    f.hours = std::floor(inDay / kMsPerHour);
    inDay -= f.hours * kMsPerHour;
    f.minutes = std::floor(inDay / kMsPerMinute);
    inDay -= f.minutes * kMsPerMinute;
    f.seconds = std::floor(inDay / kMsPerSecond);
    f.ms = inDay - f.seconds * kMsPerSecond;
    // 1970-01-01 was a Thursday.
    f.weekDay = int(((std::int64_t(days) % 7) + 11) % 7);
    return f;
}

// The day number of year/month/date; the month may lie outside 0..11 and
// carries into the year, the date may be any integer.
double makeDay(double year, double month, double date)
{
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date))
        return kNaN;
    year = std::trunc(year);
    month = std::trunc(month);
    date = std::trunc(date);
    const double y = year + std::floor(month / 12);
    const double m = month - std::floor(month / 12) * 12;
    // Far outside the valid range: the time clip would reject it anyway, and
    // the integer arithmetic must not overflow.
    if (std::fabs(y) > 400000 || std::fabs(date) > 1e9)
        return kNaN;
    return double(daysFromCivil(std::int64_t(y), int(m) + 1, 1)) + date - 1;
}

double makeTime(double h, double min, double s, double ms)
{
    if (!std::isfinite(h) || !std::isfinite(min) || !std::isfinite(s) || !std::isfinite(ms))
        return kNaN;
    return std::trunc(h) * kMsPerHour + std::trunc(min) * kMsPerMinute + std::trunc(s) * kMsPerSecond + std::trunc(ms);
}

double makeDate(double day, double time)
{
    if (!std::isfinite(day) || !std::isfinite(time))
        return kNaN;
    return day * kMsPerDay + time;
}

double timeClip(double t)
{
    if (!std::isfinite(t) || std::fabs(t) > kMaxTime)
        return kNaN;
    return std::trunc(t) + 0.0; // + 0.0 turns -0 into +0
}

double fromFields(const Fields& f)
{
    return makeDate(makeDay(f.year, f.month, f.date), makeTime(f.hours, f.minutes, f.seconds, f.ms));
}

double offsetMs(Vm& vm)
{
    return double(vm.timeZoneMinutes) * kMsPerMinute;
}

// The time value of a Date `this`, or null for anything else.
Value* timeOf(const Value& self)
{
    if (self.isObject() && self.object->kind() == ObjectKind::Date)
        return &self.object->primitive;
    return nullptr;
}

double timeNumber(const Value* t)
{
    return t->isNumber() ? t->number : kNaN;
}

// Years 0 to 99 given to the constructor, Date.UTC and setYear mean
// 1900 to 1999.
double fullYear(double y)
{
    if (std::isnan(y))
        return y;
    const double i = std::trunc(y);
    return (i >= 0 && i <= 99) ? 1900 + i : y;
}

// The time value the arguments (year, month[, date, hours, minutes,
// seconds, ms]) name; missing ones are the first day and zero.
double timeFromArgs(Vm& vm, const Args& args)
{
    Fields f;
    double* parts[] = {&f.year, &f.month, &f.date, &f.hours, &f.minutes, &f.seconds, &f.ms};
    for (std::size_t i = 0; i < 7 && i < args.size(); ++i)
        *parts[i] = vm.toNumber(args[i]);
    if (args.size() < 2)
        f.month = args.empty() ? kNaN : 0;
    f.year = fullYear(f.year);
    return fromFields(f);
}

QString dateString(Vm& vm, double t)
{
    if (std::isnan(t))
        return QStringLiteral("Invalid Date");
    static const std::array<const char*, 7> days = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const std::array<const char*, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const Fields f = split(t + offsetMs(vm));
    const int offset = vm.timeZoneMinutes;
    const int absOffset = offset < 0 ? -offset : offset;
    const auto two = [](double n) { return QStringLiteral("%1").arg(qint64(n), 2, 10, QLatin1Char('0')); };
    return QStringLiteral("%1 %2 %3 %4:%5:%6 GMT%7%8%9 %10")
        .arg(QLatin1String(days[std::size_t(f.weekDay)]), QLatin1String(months[std::size_t(f.month)]))
        .arg(qint64(f.date))
        .arg(two(f.hours), two(f.minutes), two(f.seconds), offset < 0 ? QStringLiteral("-") : QStringLiteral("+"),
             two(absOffset / 60), two(absOffset % 60))
        .arg(qint64(f.year));
}

Object* makeDateObject(Vm& vm, double t)
{
    auto* d = vm.heap().make<Object>(vm.datePrototype, ObjectKind::Date);
    d->primitive = Value::fromNumber(timeClip(t));
    return d;
}

// new Date(): now; new Date(ms); new Date(year, month, ...) in local time.
Value constructDate(Vm& vm, const Value&, Args& args)
{
    double t;
    if (args.empty())
        t = vm.nowEpochMs();
    else if (args.size() == 1)
        t = vm.toNumber(args[0]);
    else
        t = timeFromArgs(vm, args) - offsetMs(vm);
    return Value::fromObject(makeDateObject(vm, t));
}

// Date() called without new gives the current date as a string.
Value callDate(Vm& vm, const Value&, Args&)
{
    return Value::fromString(dateString(vm, timeClip(vm.nowEpochMs())));
}

Value dateUtc(Vm& vm, const Value&, Args& args)
{
    return Value::fromNumber(timeClip(timeFromArgs(vm, args)));
}

enum Field { Year, Month, Date, Hours, Minutes, Seconds, Milliseconds, WeekDay };

double fieldOf(const Fields& f, Field which)
{
    switch (which) {
    case Year: return f.year;
    case Month: return f.month;
    case Date: return f.date;
    case Hours: return f.hours;
    case Minutes: return f.minutes;
    case Seconds: return f.seconds;
    case Milliseconds: return f.ms;
    case WeekDay: return f.weekDay;
    }
    return kNaN;
}

void defineGetter(Vm& vm, Object* proto, const QString& name, Field which, bool local)
{
    proto->defineMethod(vm, name, [which, local](Vm& vm, const Value& self, Args&) -> Value {
        const Value* t = timeOf(self);
        if (!t)
            return Value::undefined();
        const double time = timeNumber(t);
        if (std::isnan(time))
            return Value::fromNumber(kNaN);
        return Value::fromNumber(fieldOf(split(local ? time + offsetMs(vm) : time), which));
    });
}

// The setters: setX(value[, following fields...]) replaces `count` fields
// from `first` on with the arguments given, keeps the others, and returns
// the new time value. On an invalid date only setFullYear has something to
// start from (the epoch); the others leave it invalid.
void defineSetter(Vm& vm, Object* proto, const QString& name, Field first, int count, bool local)
{
    proto->defineMethod(vm, name, [first, count, local](Vm& vm, const Value& self, Args& args) -> Value {
        Value* t = timeOf(self);
        if (!t)
            return Value::undefined();
        double time = timeNumber(t);
        if (std::isnan(time)) {
            if (first != Year)
                return Value::fromNumber(kNaN);
            time = 0;
        } else if (local) {
            time += offsetMs(vm);
        }
        Fields f = split(time);
        double* parts[] = {&f.year, &f.month, &f.date, &f.hours, &f.minutes, &f.seconds, &f.ms};
        const int given = std::min(int(args.size()), count);
        for (int i = 0; i < given; ++i)
            *parts[first + i] = vm.toNumber(args[std::size_t(i)]);
        if (given == 0)
            *parts[first] = kNaN;
        double result = fromFields(f);
        if (local)
            result -= offsetMs(vm);
        // The object is looked up again: argument conversions ran script
        // code, but the Date object itself cannot have gone anywhere.
        *timeOf(self) = Value::fromNumber(timeClip(result));
        return *timeOf(self);
    });
}

// setYear(y): like setFullYear in local time, with 0..99 meaning 1900s.
Value setYear(Vm& vm, const Value& self, Args& args)
{
    Value* t = timeOf(self);
    if (!t)
        return Value::undefined();
    const double y = fullYear(argNumber(vm, args, 0));
    double time = timeNumber(t);
    time = std::isnan(time) ? 0 : time + offsetMs(vm);
    Fields f = split(time);
    f.year = y;
    *t = Value::fromNumber(timeClip(fromFields(f) - offsetMs(vm)));
    return *t;
}

Value getYear(Vm& vm, const Value& self, Args&)
{
    const Value* t = timeOf(self);
    if (!t)
        return Value::undefined();
    const double time = timeNumber(t);
    if (std::isnan(time))
        return Value::fromNumber(kNaN);
    return Value::fromNumber(split(time + offsetMs(vm)).year - 1900);
}

Value setTime(Vm& vm, const Value& self, Args& args)
{
    Value* t = timeOf(self);
    if (!t)
        return Value::undefined();
    const double v = timeClip(argNumber(vm, args, 0));
    t = timeOf(self);
    *t = Value::fromNumber(v);
    return *t;
}

Value getTime(Vm&, const Value& self, Args&)
{
    const Value* t = timeOf(self);
    return t ? Value::fromNumber(timeNumber(t)) : Value::undefined();
}

Value getTimezoneOffset(Vm& vm, const Value& self, Args&)
{
    if (!timeOf(self))
        return Value::undefined();
    return Value::fromNumber(-double(vm.timeZoneMinutes));
}

Value toStringMethod(Vm& vm, const Value& self, Args&)
{
    const Value* t = timeOf(self);
    if (!t)
        return Value::undefined();
    return Value::fromString(dateString(vm, timeNumber(t)));
}

} // namespace

void installDateClass(Vm& vm)
{
    Object* proto = vm.newObject();
    vm.datePrototype = proto;
    FunctionObject* cls = vm.newClass(QStringLiteral("Date"), proto, callDate, constructDate);
    cls->defineMethod(vm, QStringLiteral("UTC"), dateUtc);

    struct Accessor {
        const char* name;
        Field field;
    };
    static const Accessor getters[] = {
        {"FullYear", Year},       {"Month", Month},     {"Date", Date},
        {"Day", WeekDay},         {"Hours", Hours},     {"Minutes", Minutes},
        {"Seconds", Seconds},     {"Milliseconds", Milliseconds},
    };
    for (const Accessor& a : getters) {
        const QString n = QLatin1String(a.name);
        defineGetter(vm, proto, QStringLiteral("get") + n, a.field, true);
        defineGetter(vm, proto, QStringLiteral("getUTC") + n, a.field, false);
    }

    struct SetterInfo {
        const char* name;
        Field first;
        int count;
    };
    static const SetterInfo setters[] = {
        {"FullYear", Year, 3},   {"Month", Month, 2},     {"Date", Date, 1},
        {"Hours", Hours, 4},     {"Minutes", Minutes, 3}, {"Seconds", Seconds, 2},
        {"Milliseconds", Milliseconds, 1},
    };
    for (const SetterInfo& s : setters) {
        const QString n = QLatin1String(s.name);
        defineSetter(vm, proto, QStringLiteral("set") + n, s.first, s.count, true);
        defineSetter(vm, proto, QStringLiteral("setUTC") + n, s.first, s.count, false);
    }

    proto->defineMethod(vm, QStringLiteral("getYear"), getYear);
    proto->defineMethod(vm, QStringLiteral("setYear"), setYear);
    proto->defineMethod(vm, QStringLiteral("getTime"), getTime);
    proto->defineMethod(vm, QStringLiteral("setTime"), setTime);
    proto->defineMethod(vm, QStringLiteral("getTimezoneOffset"), getTimezoneOffset);
    proto->defineMethod(vm, QStringLiteral("toString"), toStringMethod);
    proto->defineMethod(vm, QStringLiteral("valueOf"), getTime);

    defineGlobal(vm, QStringLiteral("Date"), Value::fromObject(cls));
}

} // namespace qev::swf::avm1
