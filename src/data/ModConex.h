#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

class QSqlError;

namespace ModConex {

// The folder of the database file in use, without a trailing separator: the program's own
// when a Tritodex.mdb lies beside it, else the user's data folder (see Instalacion). What
// belongs beside the database (copias/, fotos/) goes there.
QString CarpetaDatos();
void setCarpetaDatos(const QString &ruta); // tests point it at a temporary folder
QString RutaBaseDatos();
// That folder as messages name it: "la carpeta del programa" or "la carpeta de datos".
QString NombreCarpeta();

// A group's database on a PostgreSQL server. Without a password, libpq looks in the
// user's password file (~/.pgpass); one typed by the user is kept in memory only.
struct Servidor {
    QString host = QStringLiteral("localhost");
    int puerto = 5432;
    QString base;
    QString usuario;
    QString contrasena;
    // postgresql://user@host:port/dbname (user, port and name optional); nothing when the
    // text is not such an address.
    static std::optional<Servidor> DesdeUri(const QString &uri);
    QString Descripcion() const; // host:puerto/base, for messages
};
// Where Conectar goes: the server, or the local file when nothing.
void setServidor(const std::optional<Servidor> &servidor);
std::optional<Servidor> ServidorActual();

// What Conectar came to; true when connected.
struct Resultado {
    bool conectado = false;
    // After a failure: why, in Spanish.
    QString motivo;
    // After a success: why the data may be read but not changed, or empty.
    QString aviso;
    // Opened for reading only (the file, its folder, or a newer program's data).
    bool soloLectura = false;
    // The file was refused as damaged (a restore may mend it).
    bool danado = false;
    // The server asked for a password it was not given (or refused the one given).
    bool faltaContrasena = false;
    explicit operator bool() const { return conectado; }
};

// Opens the one shared connection to Tritodex.mdb, or to the server when one is set. Nothing is
// reported to the user: a missing file (it is never created), an empty one, one that is not a
// database or lacks the program's tables fails with the reason in Spanish.
Resultado Conectar();

// How long a statement waits for another program's lock before it fails (tests shorten it).
void setEsperaOcupada(int milisegundos);
int EsperaOcupada();

// The shared connection (closed when Conectar failed, so statements fail and are reported).
// After the server was lost, the next call connects again.
QSqlDatabase DatabaseConnection();
// Whether the shared connection is to a server.
bool EsServidor();

// Opens the file for reading only, whatever its permissions (root may write anything).
void setSoloLectura(bool soloLectura);

// Closes and forgets the shared connection; tests use it between databases.
void Desconectar();

// While one lives, the file's page cache is held to what one pass over every row needs: a
// spreadsheet or an export of all the rows reads each page once, and the cache the map and the
// queries keep would only fill with them. Nothing on a server.
class UnaPasada {
public:
    UnaPasada();
    ~UnaPasada();
    UnaPasada(const UnaPasada &) = delete;
    UnaPasada &operator=(const UnaPasada &) = delete;

private:
    bool acotada_ = false;
};

} // namespace ModConex

// The user-facing description of a failed statement, in Spanish.
QString DescribirError(const QSqlError &error);
// True when the failure is a UNIQUE or PRIMARY KEY conflict.
bool EsClaveDuplicada(const QSqlError &error);
// Opens a connection of the given name to the server (tests and tritodex_mkdb use their
// own); false with *error in Spanish on failure, and *faltaContrasena (when given) telling
// whether the server wanted a password it was not given.
bool AbrirServidor(const QString &nombre, const ModConex::Servidor &servidor, QString *error,
                   bool *faltaContrasena = nullptr);
