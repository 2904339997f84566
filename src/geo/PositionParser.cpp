#include "PositionParser.h"

#include <QList>
#include <QRegularExpression>
#include <cmath>

namespace PositionParser {

namespace {

enum class Tipo { Numero, Letra, Grados, Minutos, Segundos, Separador };

struct Token {
    Tipo tipo = Tipo::Separador;
    double valor = 0;
    bool entero = true;    // no decimal part
    bool conSigno = false; // an explicit + or -
    bool negativo = false;
    QChar letra;
    qsizetype inicio = 0, fin = 0; // the span in the text
};

struct Coordenada {
    double valor = 0;
    QChar letra; // N, S, E or W (O is W); null without one
    QString texto;
};

const QString kGrados = QStringLiteral("°º˚");
const QString kMinutos = QStringLiteral("'′’´");
const QString kSegundos = QStringLiteral("\"″”");

bool Tokens(const QString &t, QList<Token> *tokens) {
    static const QRegularExpression numero(QStringLiteral("[+\\-−]?\\d+(?:[.,]\\d+)?"));
    for (qsizetype i = 0; i < t.size();) {
        const QChar c = t[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const auto m = numero.match(t, i, QRegularExpression::NormalMatch,
                                    QRegularExpression::AnchorAtOffsetMatchOption);
        if (m.hasMatch()) {
            QString texto = m.captured(0);
            Token k;
            k.tipo = Tipo::Numero;
            k.conSigno = !texto[0].isDigit();
            k.negativo = k.conSigno && texto[0] != u'+';
            if (k.conSigno) texto.remove(0, 1);
            k.entero = !texto.contains(u'.') && !texto.contains(u',');
            texto.replace(u',', u'.');
            k.valor = texto.toDouble();
            k.inicio = i;
            k.fin = i + m.capturedLength(0);
            tokens->append(k);
            i = k.fin;
            continue;
        }
        Token k;
        k.tipo = Tipo::Separador;
        k.inicio = i;
        k.fin = i + 1;
        const QChar mayuscula = c.toUpper();
        if (QStringLiteral("NSEWO").contains(mayuscula)) {
            k.tipo = Tipo::Letra;
            k.letra = mayuscula == u'O' ? QChar(u'W') : mayuscula;
        } else if (kGrados.contains(c)) {
            k.tipo = Tipo::Grados;
        } else if (kMinutos.contains(c)) {
            // Two minute marks stand for the seconds' mark.
            if (i + 1 < t.size() && kMinutos.contains(t[i + 1])) {
                k.tipo = Tipo::Segundos;
                k.fin = i + 2;
            } else {
                k.tipo = Tipo::Minutos;
            }
        } else if (kSegundos.contains(c)) {
            k.tipo = Tipo::Segundos;
        } else if (!QStringLiteral(",;/").contains(c)) {
            return false;
        }
        tokens->append(k);
        i = k.fin;
    }
    return true;
}

// One coordinate from its tokens: degrees, minutes and seconds with optional marks in that
// order, one optional letter.
bool Valor(const QString &texto, const QList<Token> &grupo, Coordenada *c, bool *contradice) {
    QList<Token> numeros;
    for (qsizetype i = 0; i < grupo.size(); ++i) {
        const Token &k = grupo[i];
        if (k.tipo == Tipo::Numero) {
            numeros << k;
        } else if (k.tipo == Tipo::Letra) {
            if (!c->letra.isNull()) return false;
            c->letra = k.letra;
        } else if (k.tipo == Tipo::Separador) {
            return false;
        } else {
            // A mark follows its number and names its place.
            const int lugar = k.tipo == Tipo::Grados ? 1 : k.tipo == Tipo::Minutos ? 2 : 3;
            if (numeros.size() != lugar || i == 0 || grupo[i - 1].tipo != Tipo::Numero)
                return false;
        }
    }
    if (numeros.isEmpty() || numeros.size() > 3) return false;
    // Only the degrees carry a sign; a part followed by a smaller one is whole.
    for (int i = 0; i < numeros.size(); ++i) {
        if (i > 0 && (numeros[i].conSigno || numeros[i].valor >= 60)) return false;
        if (i < numeros.size() - 1 && !numeros[i].entero) return false;
    }
    double v = numeros[0].valor;
    if (numeros.size() > 1) v += numeros[1].valor / 60.0;
    if (numeros.size() > 2) v += numeros[2].valor / 3600.0;
    const bool sur = c->letra == u'S' || c->letra == u'W';
    if (!c->letra.isNull() && numeros[0].conSigno && numeros[0].negativo != sur) *contradice = true;
    c->valor = (numeros[0].negativo || sur) ? -v : v;
    c->texto = texto.mid(grupo.first().inicio, grupo.last().fin - grupo.first().inicio);
    return true;
}

Lectura Fallo(Estado e, const QString &mensaje) {
    Lectura l;
    l.estado = e;
    l.mensaje = mensaje;
    return l;
}

} // namespace

QString FormasAceptadas() {
    return QStringLiteral(
        "Formas admitidas:\n"
        "• grados decimales: 40.4168, -3.7038 · 40,4168 -3,7038 · 40.4168N 3.7038W\n"
        "• grados, minutos y segundos: 40°25'0.5\"N 3°42'13.7\"W, con o sin símbolos\n"
        "• grados y minutos decimales: N 40° 25.008' W 3° 42.228'\n"
        "• UTM en ED50: huso, Este y Norte en su apartado.\n"
        "Las letras N, S, E, W (u O) o el signo indican el hemisferio.");
}

Lectura Leer(const QString &texto) {
    if (texto.trimmed().isEmpty()) return {};
    const Lectura noEntendida =
        Fallo(Estado::NoEntendida,
              QStringLiteral("«%1» no es una posición que se entienda.\n\n").arg(texto.trimmed()) +
                  FormasAceptadas());
    QList<Token> tokens;
    if (!Tokens(texto, &tokens)) return noEntendida;

    // The two coordinates' tokens: split at the letters, else at a separator, else before
    // the second degree mark, else in halves of plain numbers.
    QList<QList<Token>> grupos;
    qsizetype letras = 0;
    for (const Token &k : tokens)
        if (k.tipo == Tipo::Letra) ++letras;
    if (letras > 0) {
        if (letras != 2) return noEntendida;
        const bool delante = tokens.first().tipo == Tipo::Letra;
        if (!delante && tokens.last().tipo != Tipo::Letra) return noEntendida;
        for (qsizetype i = 0; i < tokens.size(); ++i) {
            const Token &k = tokens[i];
            // A separator beside a letter only parts the two coordinates.
            if (k.tipo == Tipo::Separador &&
                ((i > 0 && tokens[i - 1].tipo == Tipo::Letra) ||
                 (i + 1 < tokens.size() && tokens[i + 1].tipo == Tipo::Letra)))
                continue;
            if (grupos.isEmpty() || (delante && k.tipo == Tipo::Letra))
                grupos.append(QList<Token>());
            grupos.last() << k;
            if (!delante && k.tipo == Tipo::Letra) grupos.append(QList<Token>());
        }
        if (!grupos.isEmpty() && grupos.last().isEmpty()) grupos.removeLast();
    } else {
        bool conSeparador = false, conGrados = false;
        for (const Token &k : tokens) {
            conSeparador |= k.tipo == Tipo::Separador;
            conGrados |= k.tipo == Tipo::Grados;
        }
        if (conSeparador) {
            grupos.append(QList<Token>());
            for (const Token &k : tokens)
                if (k.tipo == Tipo::Separador)
                    grupos.append(QList<Token>());
                else
                    grupos.last() << k;
        } else if (conGrados) {
            for (int i = 0; i < tokens.size(); ++i) {
                const bool empieza = tokens[i].tipo == Tipo::Numero && i + 1 < tokens.size() &&
                                     tokens[i + 1].tipo == Tipo::Grados;
                if (grupos.isEmpty() || empieza) grupos.append(QList<Token>());
                grupos.last() << tokens[i];
            }
        } else {
            const qsizetype n = tokens.size();
            if (n != 2 && n != 4 && n != 6) return noEntendida;
            grupos = {tokens.mid(0, n / 2), tokens.mid(n / 2)};
        }
    }
    if (grupos.size() != 2 || grupos[0].isEmpty() || grupos[1].isEmpty()) return noEntendida;

    Coordenada a, b;
    bool contradice = false;
    if (!Valor(texto, grupos[0], &a, &contradice) || !Valor(texto, grupos[1], &b, &contradice))
        return noEntendida;
    if (contradice)
        return Fallo(Estado::HemisferioContradictorio,
                     QStringLiteral("La letra del hemisferio contradice el signo en «%1»: "
                                    "escriba la letra o el signo, pero no contrarios.")
                         .arg(texto.trimmed()));
    Lectura l;
    l.conLetras = !a.letra.isNull();
    const auto esLatitud = [](QChar letra) { return letra == u'N' || letra == u'S'; };
    if (l.conLetras && esLatitud(a.letra) == esLatitud(b.letra)) return noEntendida;
    if (l.conLetras && !esLatitud(a.letra)) std::swap(a, b);
    l.lat = a.valor;
    l.lon = b.valor;
    l.textoLat = a.texto;
    l.textoLon = b.texto;
    if (std::abs(l.lat) > 90 || std::abs(l.lon) > 180)
        return Fallo(Estado::FueraDeRango,
                     QStringLiteral("La latitud va de -90 a 90 grados y la longitud de -180 a 180: "
                                    "«%1» se sale de ellas.")
                         .arg(texto.trimmed()));
    l.estado = Estado::Valida;
    return l;
}

bool EnEspana(double lat, double lon) {
    return lat >= 27.0 && lat <= 44.5 && lon >= -18.5 && lon <= 4.6;
}

bool PareceIntercambiada(const Lectura &l) {
    return l.estado == Estado::Valida && !l.conLetras && !EnEspana(l.lat, l.lon) &&
           EnEspana(l.lon, l.lat);
}

} // namespace PositionParser
