#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "fichas/execucao.hpp"

namespace cds {

// One call made to the operator, whatever its kind.
struct ChamadaOperador {
    enum class Tipo {
        Status,
        LimpaLog,
        Log,
        ErroCadastro,
        LimpaErrosCadastro,
        Mensagem,
        Progresso
    };

    Tipo tipo = Tipo::Status;
    // The status text, log line, error-list line or message text.
    std::string texto;
    // Only for messages.
    std::string titulo;
    TipoMensagem tipoMensagem = TipoMensagem::Simples;
    // Only for progress.
    std::size_t feitos = 0;
    std::size_t total = 0;

    static ChamadaOperador status(std::string texto) {
        return {Tipo::Status, std::move(texto), {}, TipoMensagem::Simples, 0, 0};
    }
    static ChamadaOperador limpaLog() {
        return {Tipo::LimpaLog, {}, {}, TipoMensagem::Simples, 0, 0};
    }
    static ChamadaOperador log(std::string linha) {
        return {Tipo::Log, std::move(linha), {}, TipoMensagem::Simples, 0, 0};
    }
    static ChamadaOperador erroCadastro(std::string linha) {
        return {Tipo::ErroCadastro, std::move(linha), {}, TipoMensagem::Simples, 0, 0};
    }
    static ChamadaOperador limpaErrosCadastro() {
        return {Tipo::LimpaErrosCadastro, {}, {}, TipoMensagem::Simples, 0, 0};
    }
    static ChamadaOperador mensagem(std::string texto, std::string titulo, TipoMensagem tipo) {
        return {Tipo::Mensagem, std::move(texto), std::move(titulo), tipo, 0, 0};
    }
    static ChamadaOperador progresso(std::size_t feitos, std::size_t total) {
        return {Tipo::Progresso, {}, {}, TipoMensagem::Simples, feitos, total};
    }

    friend bool operator==(const ChamadaOperador&, const ChamadaOperador&) = default;

    friend void PrintTo(const ChamadaOperador& c, std::ostream* os) {
        switch (c.tipo) {
            case Tipo::Status:
                *os << "status(\"" << c.texto << "\")";
                break;
            case Tipo::LimpaLog:
                *os << "limpaLog()";
                break;
            case Tipo::Log:
                *os << "log(\"" << c.texto << "\")";
                break;
            case Tipo::ErroCadastro:
                *os << "erroCadastro(\"" << c.texto << "\")";
                break;
            case Tipo::LimpaErrosCadastro:
                *os << "limpaErrosCadastro()";
                break;
            case Tipo::Mensagem: {
                const char* tipo = c.tipoMensagem == TipoMensagem::Erro         ? "Erro"
                                   : c.tipoMensagem == TipoMensagem::Informacao ? "Informacao"
                                                                                : "Simples";
                *os << "mensagem(\"" << c.texto << "\", \"" << c.titulo << "\", " << tipo << ")";
                break;
            }
            case Tipo::Progresso:
                *os << "progresso(" << c.feitos << ", " << c.total << ")";
                break;
        }
    }
};

// An operator that keeps every call, in order, for the test to look at afterwards.
class OperadorGravador : public Operador {
  public:
    std::vector<ChamadaOperador> chamadas;

    void status(const std::string& texto) override {
        chamadas.push_back(ChamadaOperador::status(texto));
    }
    void limpaLog() override { chamadas.push_back(ChamadaOperador::limpaLog()); }
    void log(const std::string& linha) override { chamadas.push_back(ChamadaOperador::log(linha)); }
    void erroCadastro(const std::string& linha) override {
        chamadas.push_back(ChamadaOperador::erroCadastro(linha));
    }
    void limpaErrosCadastro() override {
        chamadas.push_back(ChamadaOperador::limpaErrosCadastro());
    }
    void mensagem(const std::string& texto, const std::string& titulo, TipoMensagem tipo) override {
        chamadas.push_back(ChamadaOperador::mensagem(texto, titulo, tipo));
    }
    void progresso(std::size_t feitos, std::size_t total) override {
        chamadas.push_back(ChamadaOperador::progresso(feitos, total));
    }

    // The calls of one kind, in order.
    std::vector<ChamadaOperador> doTipo(ChamadaOperador::Tipo tipo) const {
        std::vector<ChamadaOperador> escolhidas;
        for (const ChamadaOperador& c : chamadas)
            if (c.tipo == tipo) escolhidas.push_back(c);
        return escolhidas;
    }
    std::vector<ChamadaOperador> mensagens() const {
        return doTipo(ChamadaOperador::Tipo::Mensagem);
    }
    // The texts of one kind, in order: status texts, log lines or error-list lines.
    std::vector<std::string> textos(ChamadaOperador::Tipo tipo) const {
        std::vector<std::string> lista;
        for (const ChamadaOperador& c : chamadas)
            if (c.tipo == tipo) lista.push_back(c.texto);
        return lista;
    }
    std::vector<std::string> statusTextos() const { return textos(ChamadaOperador::Tipo::Status); }
    std::vector<std::string> linhasLog() const { return textos(ChamadaOperador::Tipo::Log); }
    std::vector<std::string> linhasErroCadastro() const {
        return textos(ChamadaOperador::Tipo::ErroCadastro);
    }
    // What the hidden error list holds now: the lines since it was last emptied.
    std::vector<std::string> errosCadastroAtuais() const {
        std::vector<std::string> lista;
        for (const ChamadaOperador& c : chamadas) {
            if (c.tipo == ChamadaOperador::Tipo::LimpaErrosCadastro) lista.clear();
            if (c.tipo == ChamadaOperador::Tipo::ErroCadastro) lista.push_back(c.texto);
        }
        return lista;
    }
    // What the visible log shows now: the lines since it was last cleared.
    std::vector<std::string> logVisivel() const {
        std::vector<std::string> lista;
        for (const ChamadaOperador& c : chamadas) {
            if (c.tipo == ChamadaOperador::Tipo::LimpaLog) lista.clear();
            if (c.tipo == ChamadaOperador::Tipo::Log) lista.push_back(c.texto);
        }
        return lista;
    }
    // What the status label shows now.
    std::string statusAtual() const {
        const std::vector<std::string> lista = statusTextos();
        return lista.empty() ? std::string() : lista.back();
    }
    std::vector<std::pair<std::size_t, std::size_t>> progressos() const {
        std::vector<std::pair<std::size_t, std::size_t>> lista;
        for (const ChamadaOperador& c : chamadas)
            if (c.tipo == ChamadaOperador::Tipo::Progresso) lista.emplace_back(c.feitos, c.total);
        return lista;
    }
    // The progress given under a status text, in order (the last status of that text).
    std::vector<std::pair<std::size_t, std::size_t>> progressosDe(const std::string& status) const {
        std::vector<std::pair<std::size_t, std::size_t>> lista;
        bool dentro = false;
        for (const ChamadaOperador& c : chamadas) {
            if (c.tipo == ChamadaOperador::Tipo::Status) {
                dentro = c.texto == status;
                if (dentro) lista.clear();
            }
            if (dentro && c.tipo == ChamadaOperador::Tipo::Progresso)
                lista.emplace_back(c.feitos, c.total);
        }
        return lista;
    }
};

// An operator that, when packing starts, takes away the archive being written in a folder (the
// hidden file beside the archive's name), or runs whatever the test asks at a message box, a
// status or a record done.
class OperadorIntruso : public OperadorGravador {
  public:
    std::filesystem::path apagarArquivoOcultoAoCompactar;
    std::function<void(const std::string&)> aoMostrarMensagem;
    std::function<void(const std::string&)> aoMudarStatus;
    std::function<void(std::size_t feitos, std::size_t total)> aoProgredir;

    void status(const std::string& texto) override {
        OperadorGravador::status(texto);
        if (texto == "Compactando Arquivo..." && !apagarArquivoOcultoAoCompactar.empty())
            for (const auto& e :
                 std::filesystem::directory_iterator(apagarArquivoOcultoAoCompactar))
                if (e.path().filename().string().starts_with(".FichasValmo_"))
                    std::filesystem::remove(e.path());
        if (aoMudarStatus) aoMudarStatus(texto);
    }
    void progresso(std::size_t feitos, std::size_t total) override {
        OperadorGravador::progresso(feitos, total);
        if (aoProgredir) aoProgredir(feitos, total);
    }
    void mensagem(const std::string& texto, const std::string& titulo, TipoMensagem tipo) override {
        if (aoMostrarMensagem) aoMostrarMensagem(texto);
        OperadorGravador::mensagem(texto, titulo, tipo);
    }
};

}  // namespace cds
