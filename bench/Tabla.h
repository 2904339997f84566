#pragma once

#include <cstdio>

// One row of the table `make bench` prints (bench/ejecutar collects the lines starting with
// '@'): the path, what the program took, the floor it is compared with, their ratio and the
// aim for it ("<= 1.5", ">= 5", or "-" when the row only reports).
inline void FilaTabla(const char *camino, double medida, double base, const char *objetivo,
                      const char *unidad = "ms") {
    const double razon = base > 0 ? medida / base : 0;
    std::printf("%-44s %10.1f %s  floor %10.1f %s  ratio %.2f  (aim %s)\n", camino, medida, unidad,
                base, unidad, razon, objetivo);
    std::printf("@%s\t%.1f %s\t%.1f %s\t%.2f\t%s\n", camino, medida, unidad, base, unidad, razon,
                objetivo);
    std::fflush(stdout);
}
