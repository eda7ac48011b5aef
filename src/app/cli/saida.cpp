#include "app/cli/saida.hpp"

#include <cstdio>
#include <ctime>
#include <iostream>

#include "app/cli/opcoes.hpp"
#include "comum/plataforma_hora.hpp"

namespace cds {

namespace {

// Often enough to look alive, seldom enough that a terminal over SSH keeps up.
constexpr auto kIntervaloDoProgresso = std::chrono::milliseconds(200);
// Before this, a rate says more about the start than about the run.
constexpr auto kAntesDaTaxa = std::chrono::seconds(1);

// "150.000": the thousands as the operator writes them.
std::string milhares(std::size_t n) {
    std::string digitos = std::to_string(n);
    for (auto i = static_cast<std::ptrdiff_t>(digitos.size()) - 3; i > 0; i -= 3)
        digitos.insert(static_cast<std::size_t>(i), ".");
    return digitos;
}

std::string duracao(long long segundos) {
    char texto[64];
    if (segundos >= 3600)
        std::snprintf(texto, sizeof texto, "%lld h %02lld min", segundos / 3600,
                      segundos % 3600 / 60);
    else if (segundos >= 60)
        std::snprintf(texto, sizeof texto, "%lld min %02lld s", segundos / 60, segundos % 60);
    else
        std::snprintf(texto, sizeof texto, "%lld s", segundos);
    return texto;
}

std::string umaLinha(std::string_view texto) {
    std::string linha(texto);
    for (char& c : linha)
        if (c == '\n' || c == '\r') c = ' ';
    return linha;
}

}  // namespace

std::string linhaDeProgresso(std::string_view status, std::size_t feitos, std::size_t total,
                             std::chrono::steady_clock::duration decorrido) {
    std::string linha(status);
    linha += " " + milhares(feitos);
    if (total > 0) linha += " de " + milhares(total);
    const double segundos = std::chrono::duration<double>(decorrido).count();
    if (decorrido < kAntesDaTaxa || feitos == 0) return linha;
    const double taxa = static_cast<double>(feitos) / segundos;
    linha += ", " + milhares(static_cast<std::size_t>(taxa + 0.5)) + " arquivos/s";
    if (total > feitos)
        linha += ", faltam " +
                 duracao(static_cast<long long>(static_cast<double>(total - feitos) / taxa + 0.5));
    return linha;
}

std::string momentoIso8601(std::chrono::system_clock::time_point momento) {
    const std::time_t t = std::chrono::system_clock::to_time_t(momento);
    const std::tm local = horaLocal(t);
    // The offset is the local clock's reading less the universal one, both in seconds.
    const std::chrono::sys_days dia{std::chrono::year{local.tm_year + 1900} /
                                    std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)} /
                                    std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    const long long leitura = dia.time_since_epoch().count() * 86400LL + local.tm_hour * 3600LL +
                              local.tm_min * 60LL + local.tm_sec;
    const long long desvio = (leitura - static_cast<long long>(t)) / 60;
    const long long absoluto = desvio < 0 ? -desvio : desvio;
    char texto[80];
    std::snprintf(texto, sizeof texto, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, desvio < 0 ? '-' : '+', absoluto / 60, absoluto % 60);
    return texto;
}

RegistroEmArquivo::RegistroEmArquivo(const std::string& caminho)
    : nome(caminho), arquivo(caminho, std::ios::app | std::ios::binary) {
    if (!arquivo) throw ErroUso("--log: não foi possível abrir '" + caminho + "' para escrever");
}

void RegistroEmArquivo::escreve(std::string_view evento) {
    arquivo << momentoIso8601(std::chrono::system_clock::now()) << ' ' << umaLinha(evento) << '\n';
    // Each line at once: a run that dies still leaves what it did.
    arquivo.flush();
}

void OperadorTerminal::terminaLinha() {
    if (!linhaAberta) return;
    std::cerr << '\n';
    linhaAberta = false;
}

void OperadorTerminal::registra(std::string_view evento) {
    if (registro) registro->escreve(evento);
}

void OperadorTerminal::status(const std::string& texto) {
    if (texto.empty()) return;
    registra(texto);
    statusAtual = texto;
    inicioDoTipo = std::chrono::steady_clock::now();
    if (silencioso) return;
    terminaLinha();
    if (terminal) {
        // Left open: the kind's progress takes its place.
        std::cerr << texto << std::flush;
        linhaAberta = true;
    } else {
        std::cerr << texto << '\n';
    }
}

void OperadorTerminal::progresso(std::size_t feitos, std::size_t total) {
    if (silencioso || !terminal) return;
    const auto agora = std::chrono::steady_clock::now();
    const bool ultimo = total > 0 && feitos >= total;
    if (!ultimo && linhaAberta && agora - ultimaLinha < kIntervaloDoProgresso) return;
    ultimaLinha = agora;
    // Back to the line's start, the line, and the rest of the old one cleared.
    std::cerr << '\r' << linhaDeProgresso(statusAtual, feitos, total, agora - inicioDoTipo)
              << "\x1b[K" << std::flush;
    linhaAberta = true;
}

void OperadorTerminal::log(const std::string& linha) {
    registra(linha);
    if (silencioso) return;
    terminaLinha();
    std::cout << linha << '\n';
}

void OperadorTerminal::erroCadastro(const std::string& linha) {
    registra("Lista de erros: " + linha);
}

void OperadorTerminal::mensagem(const std::string& texto, const std::string& titulo,
                                TipoMensagem tipo) {
    if (tipo == TipoMensagem::Erro) return erro(texto);
    registra(texto);
    if (silencioso) return;
    terminaLinha();
    std::cerr << titulo << ": " << texto << '\n';
}

void OperadorTerminal::informa(const std::string& texto) {
    if (silencioso) return;
    terminaLinha();
    std::cerr << texto << '\n';
}

void OperadorTerminal::erro(const std::string& texto) {
    registra("Erro: " + texto);
    terminaLinha();
    std::cerr << "exportador-cds: " << texto << '\n';
}

}  // namespace cds
