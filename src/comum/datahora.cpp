#include "comum/datahora.hpp"

#include <chrono>
#include <cstddef>

#include "comum/texto.hpp"

namespace cds {
namespace {

class Leitor {
  public:
    explicit Leitor(std::string_view texto) : texto(texto) {}

    std::optional<DataHoraLida> le() {
        DataHoraLida lida;
        DataHora& d = lida.valor;
        pulaBrancos();
        const bool temData = texto.find('/') != std::string_view::npos;
        if (temData) {
            if (!numero(1, 2, d.dia) || !caractere('/') || !numero(1, 2, d.mes) ||
                !caractere('/') || !numero(4, 4, d.ano))
                return std::nullopt;
            lida.temData = true;
            if (pulaBrancos() == 0 && pos != texto.size()) return std::nullopt;
        }
        if (pos != texto.size()) {
            if (!numero(1, 2, d.hora) || !caractere(':') || !numero(1, 2, d.minuto))
                return std::nullopt;
            if (caractere(':') && !numero(1, 2, d.segundo)) return std::nullopt;
            lida.temHora = true;
            pulaBrancos();
        }
        if (pos != texto.size() || (!lida.temData && !lida.temHora) || !valida(lida))
            return std::nullopt;
        return lida;
    }

  private:
    std::size_t pulaBrancos() {
        const std::size_t inicio = pos;
        while (pos < texto.size() && texto[pos] == ' ') ++pos;
        return pos - inicio;
    }

    bool caractere(char c) {
        if (pos < texto.size() && texto[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }

    bool numero(std::size_t minimo, std::size_t maximo, int& valor) {
        std::size_t lidos = 0;
        valor = 0;
        while (lidos < maximo && pos < texto.size() && texto[pos] >= '0' && texto[pos] <= '9') {
            valor = valor * 10 + (texto[pos] - '0');
            ++pos;
            ++lidos;
        }
        return lidos >= minimo;
    }

    static bool valida(const DataHoraLida& lida) {
        const DataHora& d = lida.valor;
        if (lida.temData) {
            const std::chrono::year_month_day data{std::chrono::year{d.ano},
                                                   std::chrono::month{static_cast<unsigned>(d.mes)},
                                                   std::chrono::day{static_cast<unsigned>(d.dia)}};
            if (d.ano < 1 || !data.ok()) return false;
        }
        return d.hora < 24 && d.minuto < 60 && d.segundo < 60;
    }

    std::string_view texto;
    std::size_t pos = 0;
};

}  // namespace

std::optional<DataHoraLida> leDataHora(std::string_view texto) {
    return Leitor(texto).le();
}

std::string textoData(const DataHora& data) {
    return ZeroEsquerdaInt(data.dia, 2) + "/" + ZeroEsquerdaInt(data.mes, 2) + "/" +
           ZeroEsquerdaInt(data.ano, 4);
}

std::string textoData(const std::chrono::year_month_day& dia) {
    return textoData({.ano = static_cast<int>(dia.year()),
                      .mes = static_cast<int>(static_cast<unsigned>(dia.month())),
                      .dia = static_cast<int>(static_cast<unsigned>(dia.day()))});
}

}  // namespace cds
