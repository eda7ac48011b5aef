#pragma once

namespace cds {

// A civil date and time with no time zone, as the clinic's database and clock give it.
// A DATE read from the database has a zero time; a TIME has a zero date.
struct DataHora {
    int ano = 0, mes = 0, dia = 0;
    int hora = 0, minuto = 0, segundo = 0;

    friend bool operator==(const DataHora&, const DataHora&) = default;
};

}  // namespace cds
