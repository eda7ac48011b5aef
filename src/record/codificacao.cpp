#include "record/codificacao.hpp"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

#include "comum/erro.hpp"
#include "comum/texto.hpp"

namespace cds {
namespace {

bool ehDigito(char c) {
    return c >= '0' && c <= '9';
}

std::string entreAspas(std::string_view texto) {
    return "'" + std::string(texto) + "'";
}

std::int64_t segundosDesde1970(const DataHora& d) {
    const std::chrono::sys_days dia{std::chrono::year_month_day{
        std::chrono::year{d.ano}, std::chrono::month{static_cast<unsigned>(d.mes)},
        std::chrono::day{static_cast<unsigned>(d.dia)}}};
    return static_cast<std::int64_t>(dia.time_since_epoch().count()) * 86400 + d.hora * 3600 +
           d.minuto * 60 + d.segundo;
}

[[noreturn]] void falhaInteiro(std::string_view texto) {
    throw ErroConversao(entreAspas(texto) + " não é um valor inteiro válido");
}

std::int64_t leInteiro(std::string_view texto) {
    std::size_t i = 0;
    while (i < texto.size() && texto[i] == ' ') ++i;
    const std::size_t inicioSinal = i;
    if (i < texto.size() && (texto[i] == '+' || texto[i] == '-')) ++i;
    const std::size_t inicioDigitos = i;
    while (i < texto.size() && ehDigito(texto[i])) ++i;
    if (i == inicioDigitos || i != texto.size()) falhaInteiro(texto);

    // from_chars takes a minus sign but not a plus.
    const std::size_t inicio = texto[inicioSinal] == '-' ? inicioSinal : inicioDigitos;
    std::int64_t valor = 0;
    const auto [fim, erro] = std::from_chars(texto.data() + inicio, texto.data() + i, valor);
    if (erro != std::errc{} || fim != texto.data() + i) falhaInteiro(texto);
    return valor;
}

}  // namespace

std::string DataParaLong(std::string_view xdata) {
    if (xdata.empty()) return {};
    // A date alone stands for 10:00:01 of that day.
    const std::string lido = apara(xdata).size() == 10 ? std::string(xdata) + " 10:00:01"
                                                       : std::string(xdata.substr(0, 19));
    const auto lida = leDataHora(lido);
    if (!lida || !lida->temData || !lida->temHora)
        throw ErroConversao(entreAspas(xdata) + " não é uma data e hora válida");
    return momentoParaLong(lida->valor);
}

std::string momentoParaLong(const DataHora& momento) {
    return std::to_string(segundosDesde1970(momento) * 1000);
}

std::string DataParaLong(const std::optional<DataHora>& data) {
    if (!data) return {};
    const DataHora& d = *data;
    if (d.hora == 0 && d.minuto == 0 && d.segundo == 0)
        return momentoParaLong({d.ano, d.mes, d.dia, 10, 0, 1});
    return momentoParaLong(d);
}

std::string VerCbo(std::string_view CBO) {
    if (CBO == "322245" || CBO == "322205" || CBO == "322230" || CBO == "322250") return "223505";
    return std::string(CBO);
}

std::string ZeroEsquerda(std::string_view texto, int largura) {
    if (texto.empty()) return {};
    // Written back from the number, so "0012345" loses its zeros before padding, and a
    // negative number keeps its sign inside the padding ("00-5"), as the text rule says.
    return ZeroEsquerdaInt(leInteiro(texto), largura);
}

std::string SoNumeros(std::string_view texto) {
    std::string digitos;
    for (char c : texto)
        if (ehDigito(c)) digitos += c;
    return digitos;
}

std::string ExtraiCampo(std::string_view texto, int n, char separador) {
    std::vector<std::string_view> pecas;
    std::size_t inicio = 0;
    for (;;) {
        const std::size_t fim = texto.find(separador, inicio);
        if (fim == std::string_view::npos) {
            pecas.push_back(texto.substr(inicio));
            break;
        }
        pecas.push_back(texto.substr(inicio, fim - inicio));
        inicio = fim + 1;
    }
    if (n <= 0 || static_cast<std::size_t>(n) > pecas.size()) return std::string(pecas.back());
    return std::string(pecas[static_cast<std::size_t>(n) - 1]);
}

std::int64_t arredonda(double valor) {
    // The database hands us binary doubles, but the operator typed decimals: 0.285 m is stored
    // as 0.28499999999999998, and times 100 gives 28.499999999999996. Rounding that binary
    // value would give 28 where anyone reading the record expects 29. So we first take the
    // value to the 15 significant digits a double holds faithfully (28.5000000000000), which
    // removes the artefact of the last bits, and only then round half away from zero. Halves
    // are exact in binary below 2^52, so the second step has no artefacts of its own.
    if (!std::isfinite(valor) || std::fabs(valor) >= 9.0e15)
        throw ErroConversao("O valor " + std::to_string(valor) + " não pode ser arredondado");
    std::array<char, 40> buf{};
    const auto escrito = std::to_chars(buf.data(), buf.data() + buf.size(), valor,
                                       std::chars_format::scientific, 14);
    double decimal = 0;
    std::from_chars(buf.data(), escrito.ptr, decimal);
    return static_cast<std::int64_t>(std::round(decimal));
}

std::string formataNumero(double valor, std::string_view padrao) {
    int obrigatorios = 0;
    bool milhares = false;
    for (char c : padrao) {
        if (c == '0') {
            ++obrigatorios;
        } else if (c == ',') {
            milhares = true;
        } else if (c != '#') {
            throw std::invalid_argument("padrão numérico não suportado: " + std::string(padrao));
        }
    }

    // arredonda keeps the value below 9e15, so its magnitude is an int64 too.
    const std::int64_t inteiro = arredonda(valor);
    const std::int64_t absoluto = inteiro < 0 ? -inteiro : inteiro;
    std::string digitos =
        absoluto == 0 && obrigatorios == 0 ? "" : ZeroEsquerdaInt(absoluto, obrigatorios);
    if (milhares) {
        for (int i = static_cast<int>(digitos.size()) - 3; i > 0; i -= 3)
            digitos.insert(static_cast<std::size_t>(i), 1, '.');
    }
    return inteiro < 0 ? "-" + digitos : digitos;
}

}  // namespace cds
