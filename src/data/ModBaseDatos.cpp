#include "ModBaseDatos.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <QTimer>
#include <cmath>

namespace {
double escala = 1.0;
std::function<double()> &Reloj() {
    static std::function<double()> reloj = [] {
        return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    };
    return reloj;
}
} // namespace

void ModBaseDatos::setEscalaEsperas(double factor) {
    escala = factor;
}

void ModBaseDatos::setReloj(std::function<double()> reloj) {
    Reloj() = reloj ? std::move(reloj)
                    : [] { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; };
}

void ModBaseDatos::Esperar(double segundos) {
    const double pedido = segundos * escala;
    const double inicio = Reloj()();
    for (;;) {
        const double transcurrido = std::fabs(Reloj()() - inicio);
        if (!(transcurrido < pedido)) return;
        // Sleep in the event loop in short slices so that clicks and painting go on.
        QEventLoop bucle;
        const int ms = int(std::min(50.0, (pedido - transcurrido) * 1000.0)) + 1;
        QTimer::singleShot(ms, &bucle, &QEventLoop::quit);
        bucle.exec(QEventLoop::AllEvents);
    }
}

QByteArray ModBaseDatos::Windows1252(const QString &texto) {
    // Code points 0x80-0x9F of the code page, in order (0 where the code page has none).
    static const char16_t alto[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    QByteArray salida;
    salida.reserve(texto.size());
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const char16_t c = texto[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < texto.size() && texto[i + 1].isLowSurrogate()) ++i;
            salida += '?';
        } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            salida += char(c);
        } else {
            char b = '?';
            for (int k = 0; k < 32; ++k)
                if (alto[k] && alto[k] == c) b = char(0x80 + k);
            salida += b;
        }
    }
    return salida;
}

QString ModBaseDatos::CampoTexto(const QString &valor, const QString &separador) {
    const bool comillas = (!separador.isEmpty() && valor.contains(separador)) ||
                          valor.contains(u'"') || valor.contains(u'\r') || valor.contains(u'\n');
    if (!comillas) return valor;
    return u'"' + QString(valor).replace(QLatin1String("\""), QLatin1String("\"\"")) + u'"';
}

namespace {
QString TextoValor(const QVariant &v) {
    if (v.isNull()) return QString();
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    const QString t = v.toString();
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (iso.match(t).hasMatch()) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid()) return d.toString(QStringLiteral("dd/MM/yyyy"));
    }
    return t;
}
} // namespace

bool ModBaseDatos::EscribirArchivoTexto(QSqlQuery *consulta, const QString &ruta, bool cabecera,
                                        const QString &separador, QString *error) {
    if (!consulta) {
        *error = QStringLiteral("No hay ningún objeto Recordset referenciado.");
        return false;
    }
    if (!consulta->isActive()) {
        *error = QStringLiteral("El objeto Recordset está cerrado.");
        return false;
    }
    const QSqlRecord campos = consulta->record();
    QString texto;
    if (cabecera) {
        QStringList nombres;
        for (int i = 0; i < campos.count(); ++i)
            nombres << campos.fieldName(i);
        texto += nombres.join(separador) + QLatin1String("\r\n");
    }
    bool hay = consulta->first();
    while (hay) {
        QStringList valores;
        for (int i = 0; i < campos.count(); ++i)
            valores << CampoTexto(TextoValor(consulta->value(i)), separador);
        texto += valores.join(separador) + QLatin1String("\r\n");
        hay = consulta->next();
    }
    if (consulta->lastError().isValid()) {
        *error = consulta->lastError().text();
        return false;
    }
    texto += QLatin1String("\r\n");
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("No se puede crear el archivo %1 (%2)")
                     .arg(QDir::toNativeSeparators(ruta), archivo.errorString());
        return false;
    }
    archivo.write(Windows1252(texto));
    if (!archivo.commit()) {
        *error = QStringLiteral("No se puede escribir el archivo %1 (%2)")
                     .arg(QDir::toNativeSeparators(ruta), archivo.errorString());
        return false;
    }
    return true;
}
