#pragma once

#include <QDate>
#include <QDateTime>
#include <functional>

// The one clock the program reads where a test must be able to set the time: today's date on
// the forms and in file names, and the pauses.
namespace Clock {

QDateTime Ahora();
QDate Hoy();
// Seconds since midnight, for the pauses.
double SegundosDelDia();

// Test hooks: the time to read instead of the system's (empty: the system's again), or a
// fixed day with the system's time of day (an invalid date: the system's again).
void setPrueba(std::function<QDateTime()> ahora);
void setHoy(const QDate &dia);

} // namespace Clock
