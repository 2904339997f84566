#include "SpreadsheetWriter.h"

#include "ArchivoComprobado.h"
#include "ColumnTable.h"
#include "ModConex.h"
#include "SqliteText.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QVariant>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <zlib.h>

// The workbook is written here, not through a spreadsheet library: a sheet of all the
// observations is hundreds of megabytes of XML, and its speed is the speed of the XML and of
// its compression. Rows go, as XML, through deflate into a temporary file as they are read
// (on a second thread), and the archive is put together at the end, when the columns' widths,
// which come before the rows in a sheet, are known.

namespace {

constexpr int kFilaCabecera = 2; // row 3: rows 1 and 2 stay empty
constexpr double kAnchoMaximo = 80;
constexpr int kTextoMaximo = 32767;     // characters a cell holds
constexpr quint32 kFilasHoja = 1048576; // rows a sheet holds
// Sizes and offsets from here on go in zip64's fields.
constexpr quint64 kLimiteZip32 = 0xFFFFFFFF;
// Fast enough to keep up with the rows, and within a few per cent of the default's size on
// this XML.
constexpr int kNivelFilas = 1;

QString Fallo(const QString &ruta, const QString &motivo) {
    return QStringLiteral("No se ha podido escribir la hoja de cálculo %1: %2")
        .arg(QDir::toNativeSeparators(ruta), motivo);
}

// The number formats: built-in ids, and the first free one for the date.
int IdNumero(Column::Formato f) {
    switch (f) {
    case Column::Formato::Fecha:
        return 164;
    case Column::Formato::Entero:
        return 1; // "0"
    case Column::Formato::Decimal:
        return 2; // "0.00"
    case Column::Formato::Texto:
    case Column::Formato::SiNo:
        break;
    }
    return 49; // "@"
}

// Column letters: A..Z, AA..ZZ, AAA..
QByteArray Letras(int c) {
    QByteArray r;
    for (++c; c > 0; c = (c - 1) / 26)
        r.prepend(char('A' + (c - 1) % 26));
    return r;
}

void Numero(std::string &s, quint64 n) {
    char b[24];
    const auto r = std::to_chars(b, b + sizeof b, n);
    s.append(b, r.ptr);
}

// A text as the content of an XML element. The markup characters become entities; what XML
// cannot hold (control characters, and a carriage return that readers would turn into a line
// feed) becomes the _xHHHH_ escape that spreadsheets read back, and a typed "_xHHHH_" is
// escaped in turn, so that every text comes back as it was stored.
void Texto(std::string &s, const char *t, int n) {
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    int hecho = 0;
    const auto escape = [&](int i, int largo, const char *por) {
        s.append(t + hecho, size_t(i - hecho));
        s.append(por);
        hecho = i + largo;
    };
    for (int i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (c >= 0x20 && c != '&' && c != '<' && c != '>' && c != '_' && c != 0xEF) continue;
        char codigo[8];
        if (c == '&') {
            escape(i, 1, "&amp;");
        } else if (c == '<') {
            escape(i, 1, "&lt;");
        } else if (c == '>') {
            escape(i, 1, "&gt;");
        } else if (c == '_') {
            if (i + 6 < n && t[i + 1] == 'x' && hex(t[i + 2]) && hex(t[i + 3]) && hex(t[i + 4]) &&
                hex(t[i + 5]) && t[i + 6] == '_')
                escape(i, 1, "_x005F_");
        } else if (c == 0xEF) {
            // U+FFFE and U+FFFF are not characters XML holds.
            if (i + 2 < n && static_cast<unsigned char>(t[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(t[i + 2]) & 0xFE) == 0xBE)
                escape(i, 3, t[i + 2] == char(0xBE) ? "_xFFFE_" : "_xFFFF_");
        } else if (c != '\t' && c != '\n') {
            std::snprintf(codigo, sizeof codigo, "_x%04X_", c);
            escape(i, 1, codigo);
        }
    }
    s.append(t + hecho, size_t(n - hecho));
}

void CadenaXml(std::string &s, const char *t, int n) {
    const auto blanco = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    s += n > 0 && (blanco(t[0]) || blanco(t[n - 1])) ? "<is><t xml:space=\"preserve\">" : "<is><t>";
    Texto(s, t, n);
    s += "</t></is>";
}

// A sheet's rows, deflated into a temporary file as they come. The deflating runs on its
// own thread, one block behind the rows.
class Cuerpo {
public:
    Cuerpo() {
        std::memset(&z_, 0, sizeof z_);
        z_.zalloc = Z_NULL;
        z_.zfree = Z_NULL;
    }
    ~Cuerpo() {
        Esperar();
        {
            std::lock_guard<std::mutex> l(m_);
            fin_ = true;
        }
        cv_.notify_all();
        if (hilo_.joinable()) hilo_.join();
        if (iniciado_) deflateEnd(&z_);
    }
    Cuerpo(const Cuerpo &) = delete;
    Cuerpo &operator=(const Cuerpo &) = delete;

    bool Abrir() {
        archivo_.setFileTemplate(QDir::tempPath() + QStringLiteral("/tritodex-hoja-XXXXXX"));
        errno = 0;
        if (!archivo_.open()) {
            codigo_ = errno ? errno : EACCES;
            return false;
        }
        if (deflateInit2(&z_, kNivelFilas, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            codigo_ = ENOMEM;
            return false;
        }
        iniciado_ = true;
        xml.reserve(kBloque + (1 << 16));
        try {
            hilo_ = std::thread([this] { Trabajar(); });
        } catch (const std::system_error &) {
            // No thread to be had: the rows are deflated as they are handed over.
        }
        return true;
    }
    // The XML written so far goes to the deflating once a block has gathered.
    void Seguir() {
        if (xml.size() >= kBloque) Entregar(false);
    }
    // The last of the rows: the stream is closed and every byte is in the file.
    bool Terminar() {
        Entregar(true);
        Esperar();
        return codigo_ == 0;
    }
    int codigo() const { return codigo_; }
    quint32 crc() const { return crc_; }
    quint64 bruto() const { return bruto_; }
    quint64 comprimido() const { return comprimido_; }
    int descriptor() { return archivo_.handle(); }

    std::string xml; // the rows' XML not yet handed over

private:
    static constexpr size_t kBloque = 1 << 20;

    void Entregar(bool final) {
        if (!hilo_.joinable()) {
            enCurso_.swap(xml);
            xml.clear();
            final_ = final;
            if (codigo_ == 0) Comprimir();
            return;
        }
        Esperar();
        std::lock_guard<std::mutex> l(m_);
        enCurso_.swap(xml);
        xml.clear();
        final_ = final;
        pendiente_ = true;
        cv_.notify_all();
    }
    void Esperar() {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [this] { return !pendiente_; });
    }
    void Trabajar() {
        for (;;) {
            std::unique_lock<std::mutex> l(m_);
            cv_.wait(l, [this] { return pendiente_ || fin_; });
            if (!pendiente_) return;
            l.unlock();
            if (codigo_ == 0) Comprimir();
            l.lock();
            enCurso_.clear();
            pendiente_ = false;
            cv_.notify_all();
        }
    }
    void Comprimir() {
        crc_ = crc32(crc_, reinterpret_cast<const Bytef *>(enCurso_.data()), uInt(enCurso_.size()));
        bruto_ += enCurso_.size();
        z_.next_in = reinterpret_cast<Bytef *>(enCurso_.data());
        z_.avail_in = uInt(enCurso_.size());
        const int modo = final_ ? Z_FINISH : Z_NO_FLUSH;
        int r = Z_OK;
        do {
            z_.next_out = salida_.data();
            z_.avail_out = uInt(salida_.size());
            r = deflate(&z_, modo);
            if (r == Z_STREAM_ERROR) {
                codigo_ = EIO;
                return;
            }
            const size_t n = salida_.size() - z_.avail_out;
            for (size_t hecho = 0; hecho < n;) {
                errno = 0;
                const ssize_t w = ::write(archivo_.handle(), salida_.data() + hecho, n - hecho);
                if (w <= 0) {
                    codigo_ = errno ? errno : EIO;
                    return;
                }
                hecho += size_t(w);
            }
            comprimido_ += n;
        } while (z_.avail_out == 0 || (final_ && r != Z_STREAM_END));
    }

    QTemporaryFile archivo_;
    std::vector<unsigned char> salida_ = std::vector<unsigned char>(1 << 18);
    z_stream z_;
    bool iniciado_ = false;
    std::thread hilo_;
    std::mutex m_;
    std::condition_variable cv_;
    std::string enCurso_;
    bool pendiente_ = false, final_ = false, fin_ = false;
    // Written by the deflating thread, read once it is idle.
    std::atomic<int> codigo_ = 0;
    quint32 crc_ = 0;
    quint64 bruto_ = 0, comprimido_ = 0;
};

// The zip archive of the workbook, written in one pass: each part deflated whole, and each
// sheet as its head (which holds the widths) deflated apart, followed by its rows' stream.
class Zip {
public:
    explicit Zip(ArchivoComprobado &destino) : destino_(destino) {
        const QDateTime ahora = QDateTime::currentDateTime();
        const QDate d = ahora.date();
        const QTime t = ahora.time();
        fecha_ = quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
        hora_ = quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
    }

    bool Parte(const char *nombre, const std::string &xml) {
        Entrada e = Nueva(nombre);
        const QByteArray datos = Deflate(xml, Z_FINISH, 6, &e.crc);
        e.bruto = xml.size();
        e.comprimido = quint64(datos.size());
        return Cabecera(e) && Escribir(datos);
    }
    // False with *enTemporal set when the temporary file could not be read back.
    bool Hoja(const QByteArray &nombre, const std::string &cabeza, Cuerpo &cuerpo,
              bool *enTemporal) {
        Entrada e = Nueva(nombre);
        quint32 crcCabeza = 0;
        // Flushed to a byte's boundary and not final: the rows' stream follows it.
        const QByteArray datos = Deflate(cabeza, Z_SYNC_FLUSH, 6, &crcCabeza);
        e.crc = quint32(crc32_combine(crcCabeza, cuerpo.crc(), z_off_t(cuerpo.bruto())));
        e.bruto = cabeza.size() + cuerpo.bruto();
        e.comprimido = quint64(datos.size()) + cuerpo.comprimido();
        if (!Cabecera(e) || !Escribir(datos)) return false;
        QByteArray bloque(1 << 20, Qt::Uninitialized);
        for (quint64 leido = 0; leido < cuerpo.comprimido();) {
            const ssize_t n =
                ::pread(cuerpo.descriptor(), bloque.data(), size_t(bloque.size()), off_t(leido));
            if (n <= 0) {
                *enTemporal = true;
                return false;
            }
            leido += quint64(n);
            if (!Escribir(n == bloque.size() ? bloque : bloque.left(n))) return false;
        }
        return true;
    }
    // The central directory, with the zip64 records where an offset or a size needs them.
    bool Cerrar() {
        const quint64 inicio = posicion_;
        QByteArray d;
        for (const Entrada &e : entradas_) {
            QByteArray extra;
            if (Grande(e)) {
                U64(extra, e.bruto);
                U64(extra, e.comprimido);
            }
            if (e.posicion >= kLimiteZip32) U64(extra, e.posicion);
            if (!extra.isEmpty()) {
                QByteArray campo;
                U16(campo, 1);
                U16(campo, quint16(extra.size()));
                extra.prepend(campo);
            }
            U32(d, 0x02014b50);
            U16(d, 45);
            U16(d, extra.isEmpty() ? 20 : 45);
            Comunes(d, e, Grande(e));
            U16(d, quint16(extra.size()));
            U16(d, 0);
            U16(d, 0);
            U16(d, 0);
            U32(d, 0);
            U32(d, Campo32(e.posicion));
            d += e.nombre;
            d += extra;
        }
        const quint64 tamano = quint64(d.size());
        if (inicio + tamano >= kLimiteZip32) {
            const quint64 registro = inicio + tamano;
            U32(d, 0x06064b50);
            U64(d, 44);
            U16(d, 45);
            U16(d, 45);
            U32(d, 0);
            U32(d, 0);
            U64(d, quint64(entradas_.size()));
            U64(d, quint64(entradas_.size()));
            U64(d, tamano);
            U64(d, inicio);
            U32(d, 0x07064b50);
            U32(d, 0);
            U64(d, registro);
            U32(d, 1);
        }
        U32(d, 0x06054b50);
        U32(d, 0);
        U16(d, quint16(entradas_.size()));
        U16(d, quint16(entradas_.size()));
        U32(d, Campo32(tamano));
        U32(d, Campo32(inicio));
        U16(d, 0);
        return Escribir(d);
    }

private:
    struct Entrada {
        QByteArray nombre;
        quint32 crc = 0;
        quint64 bruto = 0, comprimido = 0, posicion = 0;
    };
    // A 32-bit field, or its mark that the value is in the zip64 field.
    static quint32 Campo32(quint64 v) { return v >= kLimiteZip32 ? 0xFFFFFFFFu : quint32(v); }
    static bool Grande(const Entrada &e) {
        return e.bruto >= kLimiteZip32 || e.comprimido >= kLimiteZip32;
    }
    static void U16(QByteArray &b, quint16 v) {
        b += char(v & 0xFF);
        b += char(v >> 8);
    }
    static void U32(QByteArray &b, quint32 v) {
        U16(b, quint16(v & 0xFFFF));
        U16(b, quint16(v >> 16));
    }
    static void U64(QByteArray &b, quint64 v) {
        U32(b, quint32(v & 0xFFFFFFFFu));
        U32(b, quint32(v >> 32));
    }
    static QByteArray Deflate(const std::string &xml, int modo, int nivel, quint32 *crc) {
        *crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(xml.data()), uInt(xml.size())));
        z_stream z;
        std::memset(&z, 0, sizeof z);
        deflateInit2(&z, nivel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        QByteArray r(qsizetype(deflateBound(&z, uLong(xml.size())) + 16), Qt::Uninitialized);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(xml.data()));
        z.avail_in = uInt(xml.size());
        z.next_out = reinterpret_cast<Bytef *>(r.data());
        z.avail_out = uInt(r.size());
        deflate(&z, modo);
        r.truncate(qsizetype(z.total_out));
        deflateEnd(&z);
        return r;
    }
    Entrada Nueva(const QByteArray &nombre) {
        Entrada e;
        e.nombre = nombre;
        e.posicion = posicion_;
        return e;
    }
    // Version, flags, method, time, crc, sizes and the name's length.
    void Comunes(QByteArray &b, const Entrada &e, bool zip64) const {
        U16(b, 0);
        U16(b, 8);
        U16(b, hora_);
        U16(b, fecha_);
        U32(b, e.crc);
        U32(b, zip64 ? 0xFFFFFFFFu : quint32(e.comprimido));
        U32(b, zip64 ? 0xFFFFFFFFu : quint32(e.bruto));
        U16(b, quint16(e.nombre.size()));
    }
    bool Cabecera(const Entrada &e) {
        // Sizes past 4 GiB go in the zip64 field; the central directory says the same.
        const bool zip64 = Grande(e);
        QByteArray b;
        U32(b, 0x04034b50);
        U16(b, zip64 ? 45 : 20);
        Comunes(b, e, zip64);
        U16(b, zip64 ? 20 : 0);
        b += e.nombre;
        if (zip64) {
            U16(b, 1);
            U16(b, 16);
            U64(b, e.bruto);
            U64(b, e.comprimido);
        }
        entradas_ << e;
        return Escribir(b);
    }
    bool Escribir(const QByteArray &b) {
        posicion_ += quint64(b.size());
        return destino_.Escribir(b);
    }

    ArchivoComprobado &destino_;
    QList<Entrada> entradas_;
    quint64 posicion_ = 0;
    quint16 fecha_ = 0, hora_ = 0;
};

constexpr char kCabeceraXml[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kEspacioHoja[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kEspacioRelaciones[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// The parts around the sheets: content types, relationships, the workbook and its styles.
std::string TiposContenido(int hojas) {
    std::string s = kCabeceraXml;
    s += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    for (int i = 1; i <= hojas; ++i) {
        s += "<Override PartName=\"/xl/worksheets/sheet";
        Numero(s, quint64(i));
        s += ".xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    s += "</Types>";
    return s;
}

std::string Relaciones() {
    std::string s = kCabeceraXml;
    s += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"";
    s += kEspacioRelaciones;
    s += "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    return s;
}

std::string Libro(int hojas) {
    std::string s = kCabeceraXml;
    s += "<workbook xmlns=\"";
    s += kEspacioHoja;
    s += "\" xmlns:r=\"";
    s += kEspacioRelaciones;
    s += "\"><bookViews><workbookView/></bookViews><sheets>";
    for (int i = 1; i <= hojas; ++i) {
        s += "<sheet name=\"Sheet";
        Numero(s, quint64(i));
        s += "\" sheetId=\"";
        Numero(s, quint64(i));
        s += "\" r:id=\"rId";
        Numero(s, quint64(i));
        s += "\"/>";
    }
    s += "</sheets></workbook>";
    return s;
}

std::string RelacionesLibro(int hojas) {
    std::string s = kCabeceraXml;
    s += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (int i = 1; i <= hojas + 1; ++i) {
        s += "<Relationship Id=\"rId";
        Numero(s, quint64(i));
        s += "\" Type=\"";
        s += kEspacioRelaciones;
        if (i <= hojas) {
            s += "/worksheet\" Target=\"worksheets/sheet";
            Numero(s, quint64(i));
            s += ".xml\"/>";
        } else {
            s += "/styles\" Target=\"styles.xml\"/>";
        }
    }
    s += "</Relationships>";
    return s;
}

// Style 0 is the default, 1 the header (bold on light grey), and then one per number format
// of the columns, in `numeros`.
std::string Estilos(const QList<int> &numeros) {
    std::string s = kCabeceraXml;
    s += "<styleSheet xmlns=\"";
    s += kEspacioHoja;
    s += "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"dd/mm/yyyy\"/></numFmts>"
         "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/>"
         "</font><font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "</fonts><fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
         "<fill><patternFill patternType=\"gray125\"/></fill><fill><patternFill "
         "patternType=\"solid\"><fgColor rgb=\"FFC0C0C0\"/><bgColor indexed=\"64\"/>"
         "</patternFill></fill></fills><borders count=\"1\"><border><left/><right/><top/>"
         "<bottom/><diagonal/></border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" "
         "fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs count=\"";
    Numero(s, quint64(numeros.size() + 2));
    s += "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
         "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"0\" xfId=\"0\" "
         "applyFont=\"1\" applyFill=\"1\"/>";
    for (const int id : numeros) {
        s += "<xf numFmtId=\"";
        Numero(s, quint64(id));
        s += "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    }
    s += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
         "builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\" "
         "defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/>"
         "</styleSheet>";
    return s;
}

// What comes before a sheet's rows: its extent, its view and the columns' widths and formats.
std::string CabezaHoja(bool primera, quint32 ultimaFila, const QList<QByteArray> &letras,
                       const QList<qsizetype> &anchos, const QList<int> &estilos) {
    std::string s = kCabeceraXml;
    s += "<worksheet xmlns=\"";
    s += kEspacioHoja;
    s += "\" xmlns:r=\"";
    s += kEspacioRelaciones;
    s += "\"><dimension ref=\"A";
    Numero(s, kFilaCabecera + 1);
    if (!letras.isEmpty()) {
        s += ':';
        s += letras.last().constData();
        Numero(s, ultimaFila);
    }
    s += "\"/><sheetViews><sheetView ";
    if (primera) s += "tabSelected=\"1\" ";
    s += "workbookViewId=\"0\"><selection activeCell=\"A1\" sqref=\"A1\"/></sheetView>"
         "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (!letras.isEmpty()) s += "<cols>";
    for (qsizetype c = 0; c < letras.size(); ++c) {
        // Characters of Calibri 11 to the stored width: the digit is 7 pixels, with 5 of margin.
        const double ancho = std::min(kAnchoMaximo, double(anchos[c]) + 2);
        const double guardado = double(int((ancho * 7 + 0.5 + 5) / 7 * 256)) / 256;
        char b[32];
        const auto r = std::to_chars(b, b + sizeof b, guardado);
        s += "<col min=\"";
        Numero(s, quint64(c + 1));
        s += "\" max=\"";
        Numero(s, quint64(c + 1));
        s += "\" width=\"";
        s.append(b, r.ptr);
        s += "\" style=\"";
        Numero(s, quint64(estilos[c]));
        s += "\" customWidth=\"1\"/>";
    }
    if (!letras.isEmpty()) s += "</cols>";
    s += "<sheetData>";
    return s;
}

constexpr char kColaHoja[] = "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" "
                             "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/></worksheet>";

// One value as read from the query: null, or its text in UTF-8 and, when it was stored as a
// number, that number.
struct Valor {
    bool nulo = true;
    const char *texto = "";
    int bytes = 0;
    bool numero = false;
    double real = 0;
};

// Characters of a UTF-8 text, as a width.
qsizetype Caracteres(const char *texto, int bytes) {
    qsizetype n = 0;
    for (int i = 0; i < bytes; ++i)
        n += (static_cast<unsigned char>(texto[i]) & 0xC0) != 0x80;
    return n;
}

QByteArrayView Recortado(const Valor &v) {
    return QByteArrayView(v.texto, v.bytes).trimmed();
}

// A date's serial number in the 1900 system, which counts a 29 February 1900 that never was;
// nothing for what it cannot show (before 1900).
std::optional<qint64> Serie(const QDate &d) {
    static const qint64 base = QDate(1899, 12, 30).toJulianDay();
    static const qint64 marzo1900 = QDate(1900, 3, 1).toJulianDay();
    if (d.year() < 1900) return std::nullopt;
    const qint64 dia = d.toJulianDay();
    return dia - base - (dia < marzo1900 ? 1 : 0);
}

// Writes a sheet's cells: each row's XML goes into the body's buffer.
class Filas {
public:
    Filas(const ColumnTable &columnas, const QList<int> &estilos) {
        for (qsizetype c = 0; c < columnas.size(); ++c) {
            letras << Letras(int(c));
            estilos_ << QByteArray::number(estilos[c]);
        }
    }
    QList<QByteArray> letras;

    void Empezar(std::string *s, quint32 fila) {
        s_ = s;
        fila_.clear();
        Numero(fila_, fila);
        abierta_ = false;
    }
    void Terminar() {
        if (abierta_) *s_ += "</row>";
    }
    void Cadena(int c, const char *t, int n, const char *estilo = nullptr) {
        Celda(c, estilo, true);
        CadenaXml(*s_, t, n);
        *s_ += "</c>";
    }
    void Numerica(int c, const char *t, size_t n) {
        Celda(c, nullptr, false);
        *s_ += "<v>";
        s_->append(t, n);
        *s_ += "</v></c>";
    }

private:
    void Celda(int c, const char *estilo, bool texto) {
        if (!abierta_) {
            *s_ += "<row r=\"";
            *s_ += fila_;
            *s_ += "\">";
            abierta_ = true;
        }
        *s_ += "<c r=\"";
        *s_ += letras[c].constData();
        *s_ += fila_;
        *s_ += "\" s=\"";
        *s_ += estilo ? estilo : estilos_[c].constData();
        *s_ += texto ? "\" t=\"inlineStr\">" : "\">";
    }
    std::string *s_ = nullptr;
    std::string fila_;
    bool abierta_ = false;
    QList<QByteArray> estilos_;
};

// Writes one value in its column's way; returns the width of what it shows, or nothing when
// the cell cannot hold it.
std::optional<qsizetype> Escribir(Filas &filas, int col, const Valor &v, Column::Formato formato) {
    if (formato == Column::Formato::SiNo) {
        const bool si =
            !v.nulo && (v.numero ? v.real != 0 : !Recortado(v).isEmpty() && Recortado(v) != "0");
        filas.Cadena(col, si ? "Si" : "No", 2);
        return 2;
    }
    if (v.nulo || v.bytes == 0) return 0;
    char numero[32];
    if (formato == Column::Formato::Fecha && v.bytes >= 10) {
        const QDate d = QDate::fromString(QLatin1String(v.texto, 10), Qt::ISODate);
        if (const auto serie = d.isValid() ? Serie(d) : std::nullopt) {
            const auto r = std::to_chars(numero, numero + sizeof numero, *serie);
            filas.Numerica(col, numero, size_t(r.ptr - numero));
            return 10;
        }
    } else if (formato == Column::Formato::Entero || formato == Column::Formato::Decimal) {
        bool ok = v.numero;
        const double n = ok ? v.real : Recortado(v).toByteArray().toDouble(&ok);
        if (ok && std::isfinite(n)) {
            const auto r = std::to_chars(numero, numero + sizeof numero, n);
            filas.Numerica(col, numero, size_t(r.ptr - numero));
            return Recortado(v).size();
        }
    }
    // A text, or a value that does not read as its column's kind: shown as stored.
    const qsizetype caracteres = Caracteres(v.texto, v.bytes);
    if (caracteres > kTextoMaximo) return std::nullopt;
    if (QByteArrayView(v.texto, v.bytes).isValidUtf8()) {
        filas.Cadena(col, v.texto, v.bytes);
    } else {
        // As the program shows it: the bytes that are not UTF-8 as replacement characters.
        const QByteArray limpio = QString::fromUtf8(v.texto, v.bytes).toUtf8();
        filas.Cadena(col, limpio.constData(), int(limpio.size()));
    }
    return caracteres;
}

} // namespace

bool EscribirHojaCalculo(QSqlQuery &consulta, const ColumnTable &columnas, const QString &ruta,
                         QString *error, const Avance &avance, int *numeroHojas) {
    auto fallar = [&](const QString &motivo) {
        if (error) *error = Fallo(ruta, motivo);
        return false;
    };
    if (!consulta.isActive()) return fallar(DescribirError(consulta.lastError()));
    const QString temporal = QDir::tempPath();
    // The temporary folder's failures, said as such: a full one is not the target's disk.
    const auto fallarTemporal = [&](int codigo) {
        if (error && (Causas::DiscoLleno(temporal, codigo) || Causas::DiscoLleno(temporal, 0)))
            *error = QStringLiteral("El disco está lleno: no se ha podido escribir la hoja de "
                                    "cálculo %1, que se prepara en la carpeta temporal %2.")
                         .arg(QDir::toNativeSeparators(ruta), QDir::toNativeSeparators(temporal));
        else if (error)
            *error =
                Fallo(ruta, QStringLiteral("no se puede escribir en la carpeta temporal "
                                           "del sistema %1 (%2).")
                                .arg(QDir::toNativeSeparators(temporal), Causas::DeErrno(codigo)));
        return false;
    };
    // Replaced whole, once every byte is written, or left as it was.
    ArchivoComprobado destino(ruta);
    QString motivo;
    if (!destino.Abrir(&motivo)) {
        if (motivo.startsWith(QStringLiteral("El disco está lleno"))) {
            if (error) *error = motivo;
            return false;
        }
        return fallar(QFileInfo(ruta).absoluteDir().exists()
                          ? QStringLiteral("no se puede crear el archivo.")
                          : QStringLiteral("la carpeta no existe."));
    }

    // Styles: one per number format the columns use.
    QList<int> numeros, estilos;
    for (qsizetype i = 0; i < columnas.size(); ++i) {
        const int id = IdNumero(columnas[i].formato);
        if (!numeros.contains(id)) numeros << id;
        estilos << int(numeros.indexOf(id)) + 2;
    }
    QList<qsizetype> anchos;
    QList<QByteArray> cabeceras;
    for (qsizetype i = 0; i < columnas.size(); ++i) {
        anchos << columnas[i].cabecera.size();
        cabeceras << columnas[i].cabecera.toUtf8();
    }
    Filas filas(columnas, estilos);
    std::vector<std::unique_ptr<Cuerpo>> hojas;
    std::vector<quint32> ultimas; // each sheet's last row
    Cuerpo *hoja = nullptr;
    quint32 fila = 0;
    const auto nuevaHoja = [&] {
        hojas.push_back(std::make_unique<Cuerpo>());
        hoja = hojas.back().get();
        if (!hoja->Abrir()) return false;
        fila = kFilaCabecera + 1;
        filas.Empezar(&hoja->xml, fila);
        for (qsizetype c = 0; c < cabeceras.size(); ++c)
            filas.Cadena(int(c), cabeceras[c].constData(), int(cabeceras[c].size()), "1");
        filas.Terminar();
        ultimas.push_back(fila);
        return true;
    };
    const auto cerrarHoja = [&] {
        hoja->xml += kColaHoja;
        return hoja->Terminar();
    };
    if (!nuevaHoja()) return fallarTemporal(hoja->codigo());

    qint64 escritas = 0;
    const qint64 total = consulta.size() > 0 ? consulta.size() : 0;
    bool seguir = true, temporalRoto = false;
    // Before each row: the progress, and a new sheet when this one is full.
    const auto empezarFila = [&] {
        if (escritas % 256 == 0 && !Avances::Seguir(avance, escritas, total)) {
            seguir = false;
            return false;
        }
        if (hoja->codigo() != 0) {
            temporalRoto = true;
            return false;
        }
        if (fila == kFilasHoja) {
            // A sheet full: the rows go on in another, under the same header.
            if (!cerrarHoja() || !nuevaHoja()) {
                temporalRoto = true;
                return false;
            }
        }
        ++fila;
        filas.Empezar(&hoja->xml, fila);
        return true;
    };
    const auto acabarFila = [&] {
        filas.Terminar();
        ultimas.back() = fila;
        ++escritas;
        hoja->Seguir();
    };
    const auto escribir = [&](int c, const Valor &v) {
        if (!motivo.isEmpty() || c >= columnas.size()) return;
        const auto ancho = Escribir(filas, c, v, columnas[c].formato);
        // A cut text would be a record changed behind the user's back.
        if (!ancho) {
            motivo = QStringLiteral("el valor de %1 en la fila %2 es más largo de lo que cabe "
                                    "en una celda (%3 caracteres).")
                         .arg(columnas[c].cabecera)
                         .arg(fila)
                         .arg(kTextoMaximo);
            return;
        }
        anchos[c] = std::max(anchos[c], *ancho);
    };
    // A file's query is read straight from SQLite's statement, with no value built.
    bool empezada = false;
    QString fallo;
    const bool directo = SqliteText::LeerFilas(
        consulta,
        [&](int c, const SqliteText::Celda &celda) {
            if (!empezada && !(empezada = true, seguir = seguir && empezarFila())) return;
            if (!seguir) return;
            Valor v;
            v.nulo = celda.tipo == SQLITE_NULL;
            char numero[32];
            if (celda.tipo == SQLITE_FLOAT) {
                v.numero = true;
                v.real = celda.real;
                // As a value's text shows it, for the width and for Si/No.
                v.bytes = std::snprintf(numero, sizeof numero, "%.15g", celda.real);
                v.texto = numero;
            } else if (!v.nulo && celda.texto) {
                v.texto = celda.texto;
                v.bytes = celda.bytes;
                if (celda.tipo == SQLITE_INTEGER) {
                    v.numero = true;
                    v.real = QByteArrayView(celda.texto, celda.bytes).toDouble();
                }
            }
            escribir(c, v);
        },
        [&] {
            if (!seguir || !motivo.isEmpty()) return false;
            empezada = false;
            acabarFila();
            return true;
        },
        &fallo);
    if (!directo) {
        if (consulta.isSelect() && !consulta.isForwardOnly()) consulta.seek(QSql::BeforeFirstRow);
        while (seguir && motivo.isEmpty() && consulta.next()) {
            if (!empezarFila()) {
                seguir = false;
                break;
            }
            for (int c = 0; c < columnas.size(); ++c) {
                const QVariant valor = consulta.value(c);
                const QByteArray texto = valor.toString().toUtf8();
                Valor v;
                v.nulo = valor.isNull();
                v.texto = texto.constData();
                v.bytes = int(texto.size());
                const int tipo = valor.typeId();
                v.numero = tipo == QMetaType::Int || tipo == QMetaType::LongLong ||
                           tipo == QMetaType::UInt || tipo == QMetaType::ULongLong ||
                           tipo == QMetaType::Double;
                v.real = v.numero ? valor.toDouble() : 0;
                escribir(c, v);
            }
            if (motivo.isEmpty()) acabarFila();
        }
    }
    if (temporalRoto) return fallarTemporal(hoja->codigo());
    if (!seguir) {
        if (error) *error = Avances::kCancelado;
        return false;
    }
    if (!motivo.isEmpty()) return fallar(motivo);
    if (!fallo.isEmpty()) return fallar(fallo);
    if (consulta.lastError().isValid()) return fallar(DescribirError(consulta.lastError()));
    if (!cerrarHoja()) return fallarTemporal(hoja->codigo());

    // The last step, packing the workbook, may be long too.
    if (!Avances::Seguir(avance, escritas, total)) {
        if (error) *error = Avances::kCancelado;
        return false;
    }
    const int n = int(hojas.size());
    Zip zip(destino);
    bool enTemporal = false;
    bool escrito = zip.Parte("[Content_Types].xml", TiposContenido(n)) &&
                   zip.Parte("_rels/.rels", Relaciones()) &&
                   zip.Parte("xl/workbook.xml", Libro(n)) &&
                   zip.Parte("xl/_rels/workbook.xml.rels", RelacionesLibro(n)) &&
                   zip.Parte("xl/styles.xml", Estilos(numeros));
    for (int i = 0; escrito && i < n; ++i)
        escrito = zip.Hoja("xl/worksheets/sheet" + QByteArray::number(i + 1) + ".xml",
                           CabezaHoja(i == 0, ultimas[size_t(i)], filas.letras, anchos, estilos),
                           *hojas[size_t(i)], &enTemporal);
    if (enTemporal) return fallarTemporal(errno ? errno : EIO);
    if (escrito) escrito = zip.Cerrar();
    // Writing the archive is where a full disk shows: said as every writer says it.
    if (!destino.Confirmar(error)) return false;
    if (numeroHojas) *numeroHojas = n;
    return true;
}
