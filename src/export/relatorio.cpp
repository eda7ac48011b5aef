#include "export/relatorio.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>

#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"
#include "comum/texto.hpp"
#include "comum/versao.hpp"
#include "fichas/registro.hpp"
#include "record/xml.hpp"

namespace cds {

namespace fs = std::filesystem;

namespace {

// The name the report's files are hidden beside while they are written, in the output folder;
// a dead run's are recognised by it (removeArquivosIncompletos).
constexpr char kNomeOculto[] = "FichasValmo_relatorio";

// What the report says of each situation, in the order of SituacaoRegistro: its name in the
// spreadsheet, its section's title in the page, and the caption of the column that says why.
struct TextosDaSituacao {
    SituacaoRegistro situacao;
    std::string_view nome, titulo, porque;
};
constexpr std::array kSituacoes = {
    TextosDaSituacao{SituacaoRegistro::DeixadoDeFora, "Deixado de fora",
                     "Registros do período deixados de fora", "Motivo"},
    TextosDaSituacao{SituacaoRegistro::GravadoComAviso, "Enviado com aviso",
                     "Registros enviados com aviso", "Aviso"},
    TextosDaSituacao{SituacaoRegistro::Recusavel, "Será recusado pelo e-SUS",
                     "Registros enviados que o e-SUS deve recusar (corrija-os e envie de novo)",
                     "Regra"},
};

static_assert([] {
    for (std::size_t i = 0; i < kSituacoes.size(); ++i)
        if (static_cast<std::size_t>(kSituacoes[i].situacao) != i) return false;
    return true;
}());

const TextosDaSituacao& textosDa(SituacaoRegistro s) {
    return kSituacoes[static_cast<std::size_t>(s)];
}

// A field as a spreadsheet reads it back whole: quoted when it holds the separator, a quote or
// a line break; and a text that a spreadsheet would take for a formula ("=", "+", "-", "@")
// goes with a leading apostrophe, so that a name typed in the clinical system never runs as one.
std::string campoCsv(std::string_view valor) {
    std::string campo;
    const bool formula = !valor.empty() &&
                         (valor[0] == '=' || valor[0] == '+' || valor[0] == '-' || valor[0] == '@');
    if (formula) campo += '\'';
    campo += valor;
    if (campo.find_first_of(";\"\r\n") == std::string::npos) return campo;
    std::string citado = "\"";
    for (char c : campo) {
        if (c == '"') citado += '"';
        citado += c;
    }
    return citado + "\"";
}

std::string celula(std::string_view valor) {
    return "<td>" + escapaXml(valor) + "</td>";
}

std::string numero(std::size_t n) {
    return std::to_string(n);
}

// Lines kept as the run tells them, in a file of the system's temporary folder that has no
// name: nothing is left behind by a run however it ends.
class Linhas {
  public:
    Linhas() {
        std::error_code erro;
        fluxo = fluxoTemporario("exportador-cds-relatorio", pasta, erro);
        if (!fluxo)
            throw ErroArquivo(mensagemComMotivo(
                "Não foi possível criar um arquivo temporário para o relatório da exportação em " +
                    pasta.string(),
                erro));
        // A report holds few lines; a large buffer only saves calls.
        std::setvbuf(fluxo, nullptr, _IOFBF, 1 << 16);
    }
    ~Linhas() { std::fclose(fluxo); }
    Linhas(const Linhas&) = delete;
    Linhas& operator=(const Linhas&) = delete;

    // A full disk is told when the lines are read back: the stream keeps its error.
    void grava(std::string_view texto) {
        std::fwrite(texto.data(), 1, texto.size(), fluxo);
        vazias = vazias && texto.empty();
    }
    bool vazio() const { return vazias; }

    // Every line so far, to `destino`; further lines go after them.
    template <class Destino>
    void copiaPara(Destino& destino) {
        bool falhou = std::fflush(fluxo) != 0 || std::ferror(fluxo);
        std::rewind(fluxo);
        char bloco[1 << 16];
        for (std::size_t lidos; !falhou && (lidos = std::fread(bloco, 1, sizeof bloco, fluxo)) > 0;)
            destino.grava(std::string_view(bloco, lidos));
        falhou = falhou || std::ferror(fluxo) || std::fseek(fluxo, 0, SEEK_END) != 0;
        if (falhou)
            throw ErroArquivo(
                "Não foi possível guardar o relatório da exportação em um arquivo "
                "temporário em " +
                pasta.string() + ": " + motivoDoSistema(errno) + ".");
    }

  private:
    std::FILE* fluxo = nullptr;
    fs::path pasta;
    bool vazias = true;
};

// A file of the report, hidden beside its name in the output folder until it is whole on the
// disk; it then takes its name in one step, replacing an earlier report's.
class ArquivoDoRelatorio {
  public:
    explicit ArquivoDoRelatorio(const fs::path& nome) : nome(nome) {
        std::error_code erro;
        arquivo = criaArquivoAoLado(fs::path(nome).replace_filename(kNomeOculto), oculto, erro);
        if (erro) falha(erro);
    }
    ~ArquivoDoRelatorio() {
        arquivo = ArquivoAberto();
        std::error_code ec;
        if (!oculto.empty()) fs::remove(oculto, ec);
    }
    ArquivoDoRelatorio(const ArquivoDoRelatorio&) = delete;
    ArquivoDoRelatorio& operator=(const ArquivoDoRelatorio&) = delete;

    // Kept together and written in large pieces.
    void grava(std::string_view texto) {
        pendente += texto;
        if (pendente.size() >= (1 << 16)) descarrega();
    }

    void poeNoLugar() {
        descarrega();
        std::error_code erro = arquivo.sincroniza();
        if (!erro) erro = arquivo.fecha();
        if (!erro) erro = substituiArquivo(oculto, nome);
        if (erro) falha(erro);
        oculto.clear();
    }

  private:
    void descarrega() {
        if (const std::error_code erro = arquivo.grava(pendente)) falha(erro);
        pendente.clear();
    }
    [[noreturn]] void falha(const std::error_code& erro) {
        throw ErroArquivo(
            mensagemComMotivo("Não foi possível gravar o relatório " + nome.string(), erro));
    }

    fs::path nome;
    fs::path oculto;
    ArquivoAberto arquivo;
    std::string pendente;
};

constexpr std::string_view kEstilo = R"(<style>
body { font-family: sans-serif; font-size: 11pt; color: #222; margin: 1.5em; }
h1 { font-size: 16pt; margin-bottom: 0.2em; }
h2 { font-size: 13pt; margin-top: 1.6em; border-bottom: 1px solid #999; }
p.falha { border: 2px solid #b00; background: #fee; padding: 0.5em; font-weight: bold; }
table { border-collapse: collapse; margin-top: 0.5em; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
th { background: #eee; }
td.n { text-align: right; }
tr { page-break-inside: avoid; }
ul.motivos { margin: 0.2em 0 0 1em; padding: 0; font-size: 10pt; text-align: left; }
@media print { body { margin: 0; font-size: 9pt; } }
</style>)";

}  // namespace

// The spreadsheet's lines, and the page's lines of each situation until the page is written.
class Relatorio::Arquivos {
  public:
    Linhas csv;
    std::array<Linhas, kSituacoes.size()> secoes;
};

Relatorio::Relatorio(const ParametrosExportacao& parametros, const DataHora& inicio)
    : parametros(parametros), inicio(inicio), arquivos(std::make_unique<Arquivos>()) {
    // The registry's order is the kinds' own (one list yields both): a kind's line is found by
    // its value.
    for (const DescricaoFicha& d : registroFichas()) {
        ResumoDoTipo t;
        t.tipo = d.tipo;
        tipos.push_back(std::move(t));
    }
    arquivos->csv.grava(
        "\xEF\xBB\xBF"
        "Ficha;Situação;Número;Unidade;Data;Profissional;Motivo;Elemento\r\n");
}

Relatorio::~Relatorio() = default;

void Relatorio::registroGravado(TipoFicha tipo, bool comAviso, bool recusavel) {
    ResumoDoTipo& t = tipos[static_cast<std::size_t>(tipo)];
    ++t.gravados;
    if (comAviso) ++t.comAviso;
    if (recusavel) ++t.recusaveis;
}

void Relatorio::ocorrencia(const Ocorrencia& o) {
    if (o.situacao == SituacaoRegistro::DeixadoDeFora) {
        ResumoDoTipo& t = tipos[static_cast<std::size_t>(o.tipo)];
        ++t.deixados;
        auto motivo = std::ranges::find(t.deixadosPorMotivo, o.motivo,
                                        &std::pair<std::string, std::size_t>::first);
        if (motivo == t.deixadosPorMotivo.end())
            t.deixadosPorMotivo.emplace_back(o.motivo, 1);
        else
            ++motivo->second;
    }
    const std::string_view ficha = nomeResumo(o.tipo);
    std::string linha;
    for (std::string_view campo :
         {ficha, textosDa(o.situacao).nome, std::string_view(o.numero), std::string_view(o.unidade),
          std::string_view(o.data), std::string_view(o.profissional), std::string_view(o.motivo),
          std::string_view(o.elemento)})
        linha += (linha.empty() ? "" : ";") + campoCsv(campo);
    arquivos->csv.grava(linha + "\r\n");

    std::string tr = "<tr>" + celula(descricaoFicha(o.tipo).rotulo) + celula(o.numero) +
                     celula(o.unidade) + celula(o.data) + celula(o.profissional) + celula(o.motivo);
    if (o.situacao == SituacaoRegistro::Recusavel) tr += celula(o.elemento);
    arquivos->secoes[static_cast<std::size_t>(o.situacao)].grava(tr + "</tr>\n");
}

ResumoDoRelatorio Relatorio::conclui(const std::string& arquivoZip,
                                     const std::optional<std::string>& falha) {
    ResumoDoRelatorio resumo;
    for (const ResumoDoTipo& t : tipos)
        if (parametros.escolhida(t.tipo)) resumo.tipos.push_back(t);
    resumo.falhou = falha.has_value();
    const std::string base =
        arquivoZip.ends_with(".zip") ? arquivoZip.substr(0, arquivoZip.size() - 4) : arquivoZip;
    resumo.html = base + kFimRelatorioHtml;
    resumo.csv = base + kFimRelatorioCsv;

    ArquivoDoRelatorio html(resumo.html);
    html.grava(
        "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Relatório da exportação " +
        escapaXml(fs::path(base).filename().string()) + "</title>\n");
    html.grava(kEstilo);
    html.grava("\n</head>\n<body>\n<h1>Relatório da exportação das fichas CDS</h1>\n");
    if (falha)
        html.grava(
            "<p class=\"falha\">A exportação falhou e nada foi enviado: nenhum arquivo "
            "compactado foi gerado e nenhum cadastro foi marcado como enviado. Este "
            "relatório mostra até onde ela chegou. Erro: " +
            escapaXml(*falha) + "</p>\n");
    html.grava("<table>\n<tr><th>Período</th><td>" + textoData(parametros.DataInicial) + " a " +
               textoData(parametros.DataFinal) + "</td></tr>\n" +
               "<tr><th>Unidade (CNES)</th><td>" + escapaXml(parametros.Unidade) +
               "</td></tr>\n<tr><th>Início</th><td>" + escapaXml(textoData(inicio)) + " " +
               ZeroEsquerdaInt(inicio.hora, 2) + ":" + ZeroEsquerdaInt(inicio.minuto, 2) +
               "</td></tr>\n<tr><th>" + (falha ? "Arquivo que seria gerado" : "Arquivo gerado") +
               "</th><td>" + escapaXml(arquivoZip) + "</td></tr>\n" +
               "<tr><th>Programa</th><td>exportador-cds " + kVersao + "</td></tr>\n</table>\n");

    html.grava(
        "<h2>Resumo por ficha</h2>\n<table>\n<tr><th>Ficha</th><th>Enviados</th>"
        "<th>Deixados de fora</th><th>Com aviso</th><th>Serão recusados</th></tr>\n");
    for (const ResumoDoTipo& t : resumo.tipos) {
        std::string motivos;
        for (const auto& [motivo, n] : t.deixadosPorMotivo)
            motivos += "<li>" + escapaXml(motivo) + ": " + numero(n) + "</li>";
        if (!motivos.empty()) motivos = "<ul class=\"motivos\">" + motivos + "</ul>";
        html.grava("<tr>" + celula(descricaoFicha(t.tipo).rotulo) + "<td class=\"n\">" +
                   numero(t.gravados) + "</td><td class=\"n\">" + numero(t.deixados) + motivos +
                   "</td><td class=\"n\">" + numero(t.comAviso) + "</td><td class=\"n\">" +
                   numero(t.recusaveis) + "</td></tr>\n");
    }
    html.grava("</table>\n");

    for (const TextosDaSituacao& textos : kSituacoes) {
        html.grava("<h2>" + std::string(textos.titulo) + "</h2>\n");
        Linhas& secao = arquivos->secoes[static_cast<std::size_t>(textos.situacao)];
        if (secao.vazio()) {
            html.grava("<p>Nenhum.</p>\n");
            continue;
        }
        const bool comElemento = textos.situacao == SituacaoRegistro::Recusavel;
        html.grava(
            "<table>\n<tr><th>Ficha</th><th>Número</th><th>Unidade</th><th>Data</th>"
            "<th>Profissional</th><th>" +
            std::string(textos.porque) + "</th>" + (comElemento ? "<th>Elemento</th>" : "") +
            "</tr>\n");
        secao.copiaPara(html);
        html.grava("</table>\n");
    }
    html.grava("</body>\n</html>\n");

    // The lines kept as they came are copied, not moved: a run that fails after its report was
    // written writes it again, marked as failed.
    ArquivoDoRelatorio csv(resumo.csv);
    arquivos->csv.copiaPara(csv);
    csv.poeNoLugar();
    html.poeNoLugar();
    zip = arquivoZip;
    return resumo;
}

std::vector<std::string> tabelaDoResumo(const ResumoDoRelatorio& resumo) {
    const std::array<std::string_view, 5> titulos = {"Ficha", "Enviados", "Deixados de fora",
                                                     "Com aviso", "Serão recusados"};
    std::vector<std::array<std::string, 5>> linhas;
    linhas.push_back({});
    for (std::size_t i = 0; i < titulos.size(); ++i) linhas[0][i] = titulos[i];
    for (const ResumoDoTipo& t : resumo.tipos)
        linhas.push_back({std::string(nomeResumo(t.tipo)), numero(t.gravados), numero(t.deixados),
                          numero(t.comAviso), numero(t.recusaveis)});
    std::array<std::size_t, 5> larguras{};
    for (const auto& linha : linhas)
        for (std::size_t i = 0; i < linha.size(); ++i)
            larguras[i] = std::max(larguras[i], comprimento(linha[i]));
    std::vector<std::string> tabela;
    for (const auto& linha : linhas) {
        // The kind's name to the left, the counts to the right of their columns.
        std::string texto = linha[0] + std::string(larguras[0] - comprimento(linha[0]), ' ');
        for (std::size_t i = 1; i < linha.size(); ++i)
            texto += "  " + std::string(larguras[i] - comprimento(linha[i]), ' ') + linha[i];
        tabela.push_back(std::move(texto));
    }
    for (const ResumoDoTipo& t : resumo.tipos)
        for (const auto& [motivo, n] : t.deixadosPorMotivo)
            tabela.push_back(std::string(nomeResumo(t.tipo)) + ", deixados de fora: " + motivo +
                             ": " + numero(n));
    return tabela;
}

}  // namespace cds
