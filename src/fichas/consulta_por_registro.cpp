#include "fichas/consulta_por_registro.hpp"

#include <algorithm>
#include <stdexcept>
#include <tuple>

namespace cds {
namespace {

auto posicao(const ChaveRegistro& c) {
    return std::tie(c.data, c.numero);
}

ChaveRegistro chaveDaLinha(const Linha& l) {
    return {l.dataHora("CHAVE_DATA"), l.inteiro("CHAVE_NUMERO"), l.texto("CHAVE_UNIDADE")};
}

const std::vector<Linha> kNenhuma;

constexpr std::string_view kSemUnidade = "''";

// The column a main row holds an expression in: "FAA.NUMFAA" is NUMFAA.
std::string_view coluna(std::string_view expressao) {
    return expressao.substr(expressao.rfind('.') + 1);
}

}  // namespace

std::string ChaveSql::ordem() const {
    std::string texto = "ORDER BY " + std::string(data) + ", " + std::string(numero);
    if (unidade != kSemUnidade) texto += ", " + std::string(unidade);
    return texto + "\n";
}

ChaveRegistro ChaveSql::daLinha(const Linha& r) const {
    return {r.dataHora(coluna(data)), r.inteiro(coluna(numero)),
            unidade == kSemUnidade ? std::string() : r.texto(coluna(unidade))};
}

std::string ChaveSql::contagem(std::string_view origem) const {
    return "SELECT COUNT(*) AS REGISTROS FROM (SELECT DISTINCT " + std::string(data) + " AS D, " +
           std::string(numero) + " AS N, " + std::string(unidade) + " AS U" + std::string(origem) +
           ")";
}

std::string ChaveSql::consulta(std::string_view colunas, std::string_view origem,
                               std::string_view ordemDasLinhas) const {
    std::string texto = "SELECT " + std::string(colunas) + ",\n  " + std::string(data) +
                        " AS CHAVE_DATA, " + std::string(numero) + " AS CHAVE_NUMERO, " +
                        std::string(unidade) + " AS CHAVE_UNIDADE";
    texto += origem;
    texto += ordem();
    texto.back() = ',';
    return texto + " " + std::string(ordemDasLinhas) + "\n";
}

ConsultaPorRegistro::ConsultaPorRegistro(Transacao& transacao, std::string_view sql)
    : leitura(transacao, sql) {}

void ConsultaPorRegistro::abre() {
    grupo.reset();
    ultimaLida.reset();
    linhasDoGrupo.clear();
    unidadesDoGrupo.clear();
    linhasDoRegistro.clear();
    leitura.percorre();
    // Read to its end before the main query runs, so that the statement, and the sort its
    // order takes in the database engine, are closed before the next look-up's begins: with
    // the embedded engine that sort's memory is the program's. The rows wait in a temporary
    // file.
    guardadas = LinhasGuardadas::cria();
    while (const Linha* linha = leitura.proxima()) guardadas->guarda(*linha);
    guardadas->voltaAoInicio();
    seguinte = guardadas->proxima();
}

void ConsultaPorRegistro::avancaAte(const ChaveRegistro& chave) {
    if (grupo && posicao(chave) < posicao(*grupo))
        throw std::logic_error("registros fora da ordem da consulta: " + leitura.texto());
    linhasDoGrupo.clear();
    unidadesDoGrupo.clear();
    while (seguinte) {
        ChaveRegistro daLinha = chaveDaLinha(*seguinte);
        if (ultimaLida && posicao(daLinha) < posicao(*ultimaLida))
            throw std::logic_error("consulta fora da ordem dos registros: " + leitura.texto());
        ultimaLida = ChaveRegistro{daLinha.data, daLinha.numero, {}};
        if (posicao(daLinha) > posicao(chave)) break;
        if (posicao(daLinha) == posicao(chave)) {
            linhasDoGrupo.push_back(*seguinte);
            unidadesDoGrupo.push_back(std::move(daLinha.unidade));
        }
        seguinte = guardadas->proxima();
    }
    grupo = ChaveRegistro{chave.data, chave.numero, {}};
}

const std::vector<Linha>& ConsultaPorRegistro::de(const ChaveRegistro& chave) {
    if (!grupo || posicao(chave) != posicao(*grupo)) avancaAte(chave);
    const auto daUnidade = [&](const std::string& u) { return u == chave.unidade; };
    // Nearly always one unit has the number that day: its rows are the whole group.
    if (std::all_of(unidadesDoGrupo.begin(), unidadesDoGrupo.end(), daUnidade))
        return linhasDoGrupo;
    if (std::none_of(unidadesDoGrupo.begin(), unidadesDoGrupo.end(), daUnidade)) return kNenhuma;
    linhasDoRegistro.clear();
    for (std::size_t i = 0; i < linhasDoGrupo.size(); ++i)
        if (daUnidade(unidadesDoGrupo[i])) linhasDoRegistro.push_back(linhasDoGrupo[i]);
    return linhasDoRegistro;
}

}  // namespace cds
