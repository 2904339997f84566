#pragma once

#include <QString>

// Faults of the forms that the reliability tests find and that are being fixed now. Each
// one is listed in KnownFaults.cpp; remove its line there when its fix lands, and the
// tests then hold the form to it.
namespace KnownFaults {

// The reason when a corpus test case ("form/field/input/mode") meets a known fault.
QString Caso(const QString &etiqueta);
// The reason when a problem seen in the random session is a known fault.
QString Problema(const QString &problema);

} // namespace KnownFaults
