#include "export/entradas.hpp"

#include <algorithm>
#include <sstream>
#include <string_view>

#include "comum/datahora.hpp"
#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "export/abertura.hpp"
#include "fichas/registro.hpp"

namespace cds {

namespace {

// The largest INTEGER of the database, where professionals' codes are kept.
constexpr std::string_view kMaiorInteiro = "2147483647";
constexpr int kDigitosCnes = 7;
constexpr std::chrono::year_month_day kPrimeiraData{std::chrono::year{1900} / 1 / 1};
// The last day of the database's DATE. The period is selected up to the day after its end, so
// the end goes one day less.
constexpr std::chrono::year_month_day kUltimaData{std::chrono::year{9999} / 12 / 31};
constexpr std::chrono::year_month_day kUltimaDataFinal{std::chrono::year{9999} / 12 / 30};

std::string entreAspas(std::string_view valor) {
    return "'" + textoVisivel(valor) + "'";
}

// Digits of a number the database's INTEGER holds; leading zeros are no part of its size.
bool cabeNoInteiro(std::string_view codigo) {
    if (codigo.empty() || !soDigitos(codigo)) return false;
    while (codigo.size() > 1 && codigo.front() == '0') codigo.remove_prefix(1);
    return codigo.size() < kMaiorInteiro.size() ||
           (codigo.size() == kMaiorInteiro.size() && codigo <= kMaiorInteiro);
}

void validaData(const char* opcao, const char* nome, const std::chrono::year_month_day& data,
                const std::chrono::year_month_day& ultima) {
    if (!data.ok() || data < kPrimeiraData || data > ultima)
        throw ErroParametro(opcao, std::string(nome) + " fora do intervalo aceito: " +
                                       entreAspas(textoData(data)) + ". Ela vai de " +
                                       textoData(kPrimeiraData) + " a " + textoData(ultima) + ".");
}

void validaUnidade(const std::string& Unidade) {
    if (Unidade.empty())
        throw ErroParametro(kOpcaoUnidade,
                            "O CNES da unidade está em branco. Informe-o (somente números, até " +
                                std::to_string(kDigitosCnes) +
                                " dígitos) ou grave-o em CNESPRINCIPAL, na seção [GERAL] de "
                                "config.ini.");
    if (!soDigitos(Unidade) || Unidade.size() > kDigitosCnes)
        throw ErroParametro(kOpcaoUnidade, "CNES da unidade inválido: " + entreAspas(Unidade) +
                                               ". Informe somente números, até " +
                                               std::to_string(kDigitosCnes) + " dígitos.");
}

void validaCodigo(const char* opcao, const char* nome, const std::string& codigo,
                  const char* emBranco) {
    if (!codigo.empty() && !cabeNoInteiro(codigo))
        throw ErroParametro(opcao, std::string(nome) + " inválido: " + entreAspas(codigo) +
                                       ". Informe somente números (até " +
                                       std::string(kMaiorInteiro) + "), ou deixe em branco" +
                                       emBranco + ".");
}

// The registrations stand the generic professional in for the citizens and households without
// one; without it they would go out with no professional and be refused by the importer.
void validaProfissionalGenerico(const ParametrosExportacao& p) {
    validaCodigo(kOpcaoProfissionalGenerico, "Código do profissional genérico",
                 p.ProfissionalGenerico, "");
    if (p.ProfissionalGenerico.empty() && std::ranges::any_of(p.Fichas, ehCadastro))
        throw ErroParametro(kOpcaoProfissionalGenerico,
                            "O código do profissional genérico está em branco. As fichas de "
                            "cadastro precisam dele: é o profissional que responde pelos "
                            "cidadãos e domicílios sem profissional responsável. Informe o "
                            "código de um profissional cadastrado, ou deixe os cadastros de fora.");
}

void validaUuid(const std::string& UUID) {
    if (!utf8Valido(UUID))
        throw ErroParametro(kOpcaoUuid,
                            "UUID inválido: " + entreAspas(UUID) + ": não é texto UTF-8 válido.");
    for (const char c : UUID) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            throw ErroParametro(kOpcaoUuid, "UUID inválido: " + entreAspas(UUID) +
                                                ". Ele não pode ter quebras de linha nem outros "
                                                "caracteres de controle.");
    }
}

}  // namespace

void validaParametros(const ParametrosExportacao& p) {
    validaData(kOpcaoDataInicial, "Data inicial", p.DataInicial, kUltimaData);
    validaData(kOpcaoDataFinal, "Data final", p.DataFinal, kUltimaDataFinal);
    if (std::chrono::sys_days{p.DataInicial} > std::chrono::sys_days{p.DataFinal})
        throw ErroParametro(kOpcaoDataInicial, "A data inicial " +
                                                   entreAspas(textoData(p.DataInicial)) +
                                                   " é posterior à data final " +
                                                   entreAspas(textoData(p.DataFinal)) + ".");
    validaUnidade(p.Unidade);
    validaCodProf(p.CodProf);
    validaProfissionalGenerico(p);
    validaUuid(p.UUID);
    validaTextoDaOpcao(kOpcaoCaminho, p.Caminho);
}

void validaCodProf(const std::string& CodProf) {
    validaCodigo(kOpcaoCodProf, "Código do profissional", CodProf, " para todos");
}

void validaTextoDaOpcao(const std::string& opcao, const std::string& valor) {
    if (!utf8Valido(valor))
        throw ErroParametro(opcao, "Valor inválido: " + entreAspas(valor) +
                                       ": não é texto UTF-8 válido. Use o UTF-8 do sistema.");
}

std::chrono::year_month_day leDataDaOpcao(const std::string& opcao, const std::string& texto) {
    const auto digitos = [&](std::size_t inicio, std::size_t n) {
        return soDigitos(std::string_view(texto).substr(inicio, n));
    };
    if (texto.size() != 10 || texto[2] != '/' || texto[5] != '/' || !digitos(0, 2) ||
        !digitos(3, 2) || !digitos(6, 4))
        throw ErroParametro(opcao, "Data inválida: " + entreAspas(texto) + ". Use DD/MM/AAAA.");
    const auto numero = [&](std::size_t inicio, std::size_t n) {
        int valor = 0;
        for (std::size_t i = inicio; i < inicio + n; ++i) valor = valor * 10 + (texto[i] - '0');
        return valor;
    };
    const auto dia = static_cast<unsigned>(numero(0, 2));
    const auto mes = static_cast<unsigned>(numero(3, 2));
    const int ano = numero(6, 4);
    const std::chrono::year_month_day data{std::chrono::year{ano}, std::chrono::month{mes},
                                           std::chrono::day{dia}};
    if (!data.ok()) throw ErroParametro(opcao, "Data inexistente: " + entreAspas(texto) + ".");
    return data;
}

std::set<TipoFicha> leFichasDaOpcao(const std::string& lista) {
    std::set<TipoFicha> fichas;
    std::stringstream partes(lista);
    std::string nome;
    bool algum = false;
    while (std::getline(partes, nome, ',')) {
        if (nome.empty()) continue;
        algum = true;
        if (nome == "todas") {
            const std::set<TipoFicha> todas = fichasDeTodas();
            fichas.insert(todas.begin(), todas.end());
        } else if (const DescricaoFicha* d = fichaPorNome(nome)) {
            fichas.insert(d->tipo);
        } else {
            throw ErroParametro(kOpcaoFichas,
                                "Tipo de ficha desconhecido: " + entreAspas(nome) + ".");
        }
    }
    if (!algum)
        throw ErroParametro(kOpcaoFichas, "Nenhum tipo de ficha informado: " + entreAspas(lista) +
                                              ". Informe um ou mais, separados por vírgula.");
    return fichas;
}

}  // namespace cds
