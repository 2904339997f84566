#include "DatabaseSettings.h"

#include <QSettings>

namespace {
QSettings Ajustes() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tritodex"),
                     QStringLiteral("Tritodex"));
}
} // namespace

namespace DatabaseSettings {

std::optional<ModConex::Servidor> Leida() {
    QSettings ajustes = Ajustes();
    ajustes.beginGroup(QStringLiteral("basedatos"));
    if (ajustes.value(QStringLiteral("motor")).toString() != QLatin1String("postgresql"))
        return std::nullopt;
    ModConex::Servidor s;
    s.host = ajustes.value(QStringLiteral("host"), s.host).toString();
    s.puerto = ajustes.value(QStringLiteral("puerto"), s.puerto).toInt();
    s.base = ajustes.value(QStringLiteral("base")).toString();
    s.usuario = ajustes.value(QStringLiteral("usuario")).toString();
    return s;
}

void Guardar(const std::optional<ModConex::Servidor> &servidor) {
    QSettings ajustes = Ajustes();
    ajustes.beginGroup(QStringLiteral("basedatos"));
    ajustes.setValue(QStringLiteral("motor"),
                     servidor ? QStringLiteral("postgresql") : QStringLiteral("archivo"));
    // The last server stays written down, so that choosing it again needs no retyping.
    if (servidor) {
        ajustes.setValue(QStringLiteral("host"), servidor->host);
        ajustes.setValue(QStringLiteral("puerto"), servidor->puerto);
        ajustes.setValue(QStringLiteral("base"), servidor->base);
        ajustes.setValue(QStringLiteral("usuario"), servidor->usuario);
    }
    ajustes.endGroup();
    ajustes.sync();
}

std::optional<ModConex::Servidor> ParaEstaSesion(QString *aviso) {
    const QString entorno = qEnvironmentVariable("TRITODEX_DB").trimmed();
    if (!entorno.isEmpty()) {
        if (const auto s = ModConex::Servidor::DesdeUri(entorno)) return s;
        *aviso = QStringLiteral("La variable TRITODEX_DB no es una dirección "
                                "postgresql://usuario@servidor:puerto/base; se usa la base de "
                                "datos elegida en el programa.");
    }
    return Leida();
}

} // namespace DatabaseSettings
