#include "fichas/execucao.hpp"

#include <ctime>
#include <filesystem>

#include "comum/plataforma_hora.hpp"
#include "source/linhas_guardadas.hpp"

namespace cds {

namespace {
constexpr char kSeparador = static_cast<char>(std::filesystem::path::preferred_separator);
}

DataHora RelogioSistema::agora() const {
    const std::time_t t = std::time(nullptr);
    const std::tm local = horaLocal(t);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

Execucao::Execucao(const ParametrosExportacao& parametros, Transacao& transacao, Operador& operador,
                   const Relogio& relogio, std::function<std::string()> ibge)
    : parametros(parametros),
      transacao(transacao),
      operador(operador),
      relogio(relogio),
      leIbge(std::move(ibge)) {}

Execucao::~Execucao() = default;

std::string pastaXml(const std::string& Caminho) {
    return Caminho + kSeparador + "arquivosXML";
}

std::string Execucao::pastaXml() const {
    return cds::pastaXml(parametros.Caminho);
}

std::string Execucao::caminhoArquivo(const std::string& nome) const {
    return pastaXml() + kSeparador + nome;
}

void Execucao::comecaRegistro() {
    avisos.clear();
    emRegistro = true;
}

std::vector<std::string> Execucao::terminaRegistro() {
    emRegistro = false;
    return std::move(avisos);
}

void Execucao::anotaAviso(const std::string& linha) {
    // A line given to both the error list and the log is one warning.
    if (emRegistro && (avisos.empty() || avisos.back() != linha)) avisos.push_back(linha);
}

void Execucao::log(const std::string& linha) {
    anotaAviso(linha);
    LogExecucao.push_back(linha);
    operador.log(linha);
}

void Execucao::erroCadastro(const std::string& linha) {
    anotaAviso(linha);
    ErrosCadastro.push_back(linha);
    operador.erroCadastro(linha);
}

void Execucao::erroELog(const std::string& linha) {
    erroCadastro(linha);
    log(linha);
}

}  // namespace cds
