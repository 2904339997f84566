#include "Clock.h"

namespace {
std::function<QDateTime()> &Prueba() {
    static std::function<QDateTime()> prueba;
    return prueba;
}
} // namespace

QDateTime Clock::Ahora() {
    return Prueba() ? Prueba()() : QDateTime::currentDateTime();
}

QDate Clock::Hoy() {
    return Ahora().date();
}

double Clock::SegundosDelDia() {
    return Ahora().time().msecsSinceStartOfDay() / 1000.0;
}

void Clock::setPrueba(std::function<QDateTime()> ahora) {
    Prueba() = std::move(ahora);
}

void Clock::setHoy(const QDate &dia) {
    if (!dia.isValid())
        Prueba() = nullptr;
    else
        Prueba() = [dia] { return QDateTime(dia, QTime::currentTime()); };
}
