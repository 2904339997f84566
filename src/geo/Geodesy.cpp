#include "Geodesy.h"

#include <proj.h>

#include <cmath>
#include <map>

namespace {

// PROJ objects freed with their owner.
struct Borrar {
    void operator()(PJ *p) const { proj_destroy(p); }
};
using Pj = std::unique_ptr<PJ, Borrar>;

bool Finito(const PJ_COORD &c) {
    return std::isfinite(c.xy.x) && std::isfinite(c.xy.y) && c.xy.x != HUGE_VAL &&
           c.xy.y != HUGE_VAL;
}

// The Canary Islands never used ED50: PROJ would return such a point unchanged.
bool EnCanarias(const Geodesy::Geograficas &g) {
    return g.lon < -12.0 && g.lat < 30.5 && g.lat > 26.0;
}

const QString kSinCanarias = QStringLiteral(
    "Las Canarias nunca usaron ED50 (su datum antiguo es Pico de las Nieves): introduzca la "
    "posición en WGS84/ETRS89 (REGCAN95).");

} // namespace

namespace {

// One PROJ context and its conversions for the program's thread (a context is not shared
// between threads): creating a conversion reads PROJ's database, which every form showing
// a place paid again when each had its own.
struct Proj {
    PJ_CONTEXT *ctx = proj_context_create();
    // Conversions by EPSG code pair, created once.
    std::map<std::pair<int, int>, Pj> conversiones;

    Proj() {
        // Grids come from the machine only: nothing goes online.
        proj_context_set_enable_network(ctx, 0);
        proj_log_level(ctx, PJ_LOG_NONE);
    }
    ~Proj() {
        conversiones.clear();
        proj_context_destroy(ctx);
    }
};

Proj &Comun() {
    thread_local Proj proj;
    return proj;
}

} // namespace

struct Geodesy::Impl {
    PJ_CONTEXT *ctx = Comun().ctx;
    std::map<std::pair<int, int>, Pj> &conversiones = Comun().conversiones;

    // A conversion whose input and output are in east-north (longitude-latitude) order.
    PJ *Conversion(int desde, int hasta) {
        auto &p = conversiones[{desde, hasta}];
        if (!p) {
            Pj crudo(proj_create_crs_to_crs(ctx, QByteArray("EPSG:" + QByteArray::number(desde)),
                                            QByteArray("EPSG:" + QByteArray::number(hasta)),
                                            nullptr));
            if (crudo) p.reset(proj_normalize_for_visualization(ctx, crudo.get()));
        }
        return p.get();
    }

    // ETRS89 longitude/latitude in degrees to UTM of a northern zone. Zones 28 to 38 have
    // their EPSG codes; the others (27, west of the Canaries' El Hierro) the same projection
    // written out, on the same ellipsoid.
    PJ *Proyeccion(int huso) {
        if (huso < 1 || huso > 60) return nullptr;
        if (huso >= 28 && huso <= 38) return Conversion(4258, 25800 + huso);
        auto &p = conversiones[{4258, -huso}];
        if (!p)
            p.reset(proj_create(ctx, QByteArray("+proj=pipeline +step +proj=unitconvert "
                                                "+xy_in=deg +xy_out=rad +step +proj=utm "
                                                "+ellps=GRS80 +zone=" +
                                                QByteArray::number(huso))));
        return p.get();
    }
};

Geodesy::Geodesy() : d(std::make_unique<Impl>()) {}

Geodesy::~Geodesy() = default;

int Geodesy::HusoDe(double lon) {
    const int huso = int(std::floor((lon + 180.0) / 6.0)) + 1;
    return huso > 60 ? 60 : huso;
}

std::optional<Geodesy::Utm> Geodesy::AUtm(const Geograficas &g) const {
    return AUtm(g, HusoDe(g.lon));
}

std::optional<Geodesy::Utm> Geodesy::AUtm(const Geograficas &g, int huso) const {
    error_.clear();
    PJ *p = d->Proyeccion(huso);
    const PJ_COORD c = p ? proj_trans(p, PJ_FWD, proj_coord(g.lon, g.lat, 0, 0))
                         : proj_coord(HUGE_VAL, HUGE_VAL, 0, 0);
    if (!Finito(c)) {
        error_ = QStringLiteral("La posición no tiene coordenadas UTM en el huso %1.").arg(huso);
        return std::nullopt;
    }
    return Utm{huso, c.xy.x, c.xy.y};
}

std::optional<Geodesy::Geograficas> Geodesy::AGeograficas(const Utm &u) const {
    error_.clear();
    PJ *p = d->Proyeccion(u.huso);
    const PJ_COORD c = p ? proj_trans(p, PJ_INV, proj_coord(u.este, u.norte, 0, 0))
                         : proj_coord(HUGE_VAL, HUGE_VAL, 0, 0);
    if (!Finito(c) || std::abs(c.xy.y) > 90) {
        error_ = QStringLiteral("Esas coordenadas UTM no corresponden a ningún lugar.");
        return std::nullopt;
    }
    return Geograficas{c.xy.y, c.xy.x};
}

std::optional<Geodesy::Cambio> Geodesy::DesdeEd50(const Geograficas &ed50) const {
    error_.clear();
    if (EnCanarias(ed50)) {
        error_ = kSinCanarias;
        return std::nullopt;
    }
    // Every transformation PROJ knows for this very place, those whose grids are missing
    // left out; the one of smallest stated error is used.
    PJ_OPERATION_FACTORY_CONTEXT *fabrica = proj_create_operation_factory_context(d->ctx, nullptr);
    proj_operation_factory_context_set_area_of_interest(
        d->ctx, fabrica, ed50.lon - 1e-4, ed50.lat - 1e-4, ed50.lon + 1e-4, ed50.lat + 1e-4);
    proj_operation_factory_context_set_spatial_criterion(
        d->ctx, fabrica, PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
    proj_operation_factory_context_set_grid_availability_use(
        d->ctx, fabrica, PROJ_GRID_AVAILABILITY_DISCARD_OPERATION_IF_MISSING_GRID);
    const Pj origen(proj_create(d->ctx, "EPSG:4230")), destino(proj_create(d->ctx, "EPSG:4258"));
    PJ_OBJ_LIST *lista = proj_create_operations(d->ctx, origen.get(), destino.get(), fabrica);
    // Of equal accuracy, the one made for the smaller region (the Balearics' own rather
    // than the mainland's, whose box reaches over the islands).
    Pj mejor;
    double precision = -1, extension = 0;
    for (int i = 0; lista && i < proj_list_get_count(lista); ++i) {
        Pj op(proj_list_get(d->ctx, lista, i));
        const double a = proj_coordoperation_get_accuracy(d->ctx, op.get());
        if (a < 0 || !proj_coordoperation_is_instantiable(d->ctx, op.get())) continue;
        double oeste = -180, sur = -90, este = 180, norte = 90;
        proj_get_area_of_use(d->ctx, op.get(), &oeste, &sur, &este, &norte, nullptr);
        const double e = (este - oeste) * (norte - sur);
        if (!mejor || a < precision || (a == precision && e < extension)) {
            mejor = std::move(op);
            precision = a;
            extension = e;
        }
    }
    proj_list_destroy(lista);
    proj_operation_factory_context_destroy(fabrica);
    if (!mejor) {
        error_ = QStringLiteral("No hay ninguna transformación de ED50 a ETRS89 conocida para "
                                "ese lugar.");
        return std::nullopt;
    }
    const Pj ordenada(proj_normalize_for_visualization(d->ctx, mejor.get()));
    const PJ_COORD c = proj_trans(ordenada.get(), PJ_FWD, proj_coord(ed50.lon, ed50.lat, 0, 0));
    if (!ordenada || !Finito(c)) {
        error_ = QStringLiteral("La transformación de ED50 a ETRS89 ha fallado en ese lugar.");
        return std::nullopt;
    }
    Cambio r;
    r.etrs89 = {c.xy.y, c.xy.x};
    r.transformacion.nombre = QString::fromUtf8(proj_get_name(mejor.get()));
    const char *autoridad = proj_get_id_auth_name(mejor.get(), 0);
    const char *codigo = proj_get_id_code(mejor.get(), 0);
    if (autoridad && codigo)
        r.transformacion.codigo = QString::fromUtf8(autoridad) + u':' + QString::fromUtf8(codigo);
    r.transformacion.precision = precision;
    return r;
}

std::optional<Geodesy::Cambio> Geodesy::DesdeEd50(const Utm &ed50) const {
    error_.clear();
    if (ed50.huso < 29 || ed50.huso > 31) {
        error_ = ed50.huso == 27 || ed50.huso == 28
                     ? kSinCanarias
                     : QStringLiteral("En España el ED50 se usó en los husos 29, 30 y 31.");
        return std::nullopt;
    }
    PJ *p = d->Conversion(23000 + ed50.huso, 4230);
    const PJ_COORD c = p ? proj_trans(p, PJ_FWD, proj_coord(ed50.este, ed50.norte, 0, 0))
                         : proj_coord(HUGE_VAL, HUGE_VAL, 0, 0);
    if (!Finito(c)) {
        error_ = QStringLiteral("Esas coordenadas UTM no corresponden a ningún lugar.");
        return std::nullopt;
    }
    return DesdeEd50(Geograficas{c.xy.y, c.xy.x});
}
