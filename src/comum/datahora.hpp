#pragma once

#include <chrono>
#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace cds {

// A civil date and time with no time zone, as the clinic's database and clock give it.
// A DATE read from the database has a zero time; a TIME has a zero date.
struct DataHora {
    int ano = 0, mes = 0, dia = 0;
    int hora = 0, minuto = 0, segundo = 0;

    friend bool operator==(const DataHora&, const DataHora&) = default;
    // Field by field, which is the order of time.
    friend auto operator<=>(const DataHora&, const DataHora&) = default;
};

// What a date or time text held, read by leDataHora.
struct DataHoraLida {
    DataHora valor;
    bool temData = false;
    bool temHora = false;
};

// The one reader of date and time texts, in the forms the clinic's Windows short-date and
// long-time formats write: "d/m/yyyy", "d/m/yyyy h:mm[:ss]" (blanks between) or "h:mm[:ss]",
// blanks around the whole allowed. Day and month take one or two digits, the year four. A text
// in no such form, or naming a day or time that does not exist, gives none.
std::optional<DataHoraLida> leDataHora(std::string_view texto);

// The date as the clinic's Windows short-date format writes it, "dd/mm/yyyy", which leDataHora
// reads back.
std::string textoData(const DataHora& data);
std::string textoData(const std::chrono::year_month_day& dia);

}  // namespace cds
