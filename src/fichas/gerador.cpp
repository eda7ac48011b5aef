#include "fichas/gerador.hpp"

#include <chrono>
#include <optional>
#include <unordered_map>
#include <utility>

#include "comum/cancelamento.hpp"
#include "comum/datahora.hpp"
#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "record/codificacao.hpp"
#include "record/gravacao.hpp"
#include "record/verificacao.hpp"

namespace cds {
namespace {

constexpr std::string_view kExtensao = ".esus.xml";

// The files of one kind in a run. Episode numbers repeat across units while the file name
// carries the number alone, so two records could claim one path and the later file would
// replace the earlier. A record keeps the first path it gets (its further rows rewrite that
// one file); another record finding the path taken gets "<name>_2.esus.xml", "_3", ..., the
// first free one. Only the names taken are kept, each with its record: walking a name's
// suffixes finds a record's own name before any free one.
class ArquivosDoTipo {
  public:
    std::string caminho(const Execucao& ex, const IdentidadeRegistro& id, std::string nome) {
        std::string dono = std::string(apara(id.unidade));
        dono += '\0';
        dono += id.numero;
        std::string base = nome;
        if (base.ends_with(kExtensao)) base.resize(base.size() - kExtensao.size());
        for (int n = 2;; ++n) {
            const auto [onde, novo] = tomados.try_emplace(nome, dono);
            if (novo || onde->second == dono) return ex.caminhoArquivo(nome);
            nome = base + "_" + std::to_string(n) + std::string(kExtensao);
        }
    }

  private:
    // File name -> unit and number of the record that has it.
    std::unordered_map<std::string, std::string> tomados;
};

// The record a text the connection could not read belongs to: a look-up's row carries its
// record's key (ConsultaPorRegistro), a main query's row is the record; any other row belongs
// to the record being written, `atual`, if any.
std::optional<IdentidadeRegistro> registroDoTexto(const Ficha& ficha, const ErroTextoSemWin1252& e,
                                                  const Linha* atual) {
    const Linha* linha = e.linha();
    if (linha && linha->tem("CHAVE_NUMERO"))
        return IdentidadeRegistro{linha->texto("CHAVE_NUMERO"), linha->texto("CHAVE_UNIDADE")};
    if (atual) return ficha.identidade(*atual);
    if (linha) return ficha.identidade(*linha);
    return std::nullopt;
}

// Runs a step that reads the kind's main query or its look-ups, outside any one record.
template <typename F>
auto lendo(TipoFicha tipo, Ficha& ficha, F&& passo) -> decltype(passo()) {
    try {
        return std::forward<F>(passo)();
    } catch (ErroTextoSemWin1252& e) {
        if (auto id = registroDoTexto(ficha, e, nullptr))
            e.nomeiaRegistro(nomeDoRegistro(tipo, *id));
        throw;
    }
}

// A line of the report about the row's record.
Ocorrencia ocorrenciaDo(TipoFicha tipo, const Ficha& ficha, const Linha& registro,
                        SituacaoRegistro situacao, std::string motivo) {
    IdentidadeRegistro id = ficha.identidade(registro);
    return {.tipo = tipo,
            .situacao = situacao,
            .numero = std::move(id.numero),
            .unidade = std::move(id.unidade),
            .data = ficha.dataDoRegistro(registro),
            .profissional = ficha.profissionalDoRegistro(registro),
            .motivo = std::move(motivo),
            .elemento = {}};
}

// Tells the report of a record written: the warnings it gave and what the importer will refuse
// in its file.
void relataGravado(Execucao& ex, TipoFicha tipo, const Ficha& ficha, const Linha& registro,
                   const std::vector<std::string>& avisos,
                   const std::vector<FalhaDeImportacao>& falhas) {
    for (const std::string& aviso : avisos)
        ex.ocorrencias->ocorrencia(
            ocorrenciaDo(tipo, ficha, registro, SituacaoRegistro::GravadoComAviso, aviso));
    for (const FalhaDeImportacao& falha : falhas) {
        Ocorrencia o =
            ocorrenciaDo(tipo, ficha, registro, SituacaoRegistro::Recusavel, falha.regra);
        o.elemento = falha.elemento;
        ex.ocorrencias->ocorrencia(o);
    }
    ex.ocorrencias->registroGravado(tipo, !avisos.empty(), !falhas.empty());
}

// Writes the row's record; false when its body had nothing to send. The file's text is
// checked against the importer's rules when the run keeps a report.
bool gravaRegistro(Execucao& ex, const DescricaoFicha& descricao, Ficha& ficha,
                   const Linha& registro, RegistroBuffer& buffer, ArquivosDoTipo& arquivos,
                   GravacaoDeRegistros& gravacao, std::vector<FalhaDeImportacao>& falhas) {
    const TipoFicha tipo = descricao.tipo;
    ficha.preparaRegistro(registro);
    ValoresEnvelope valores = ficha.envelope(registro);
    valores.dados = descricao.envelope;
    const IdentidadeRegistro id = ficha.identidade(registro);
    const DonoIdentificador dono{tipo, id.unidade, id.numero};
    const std::string identificador = identificadorTransporte(valores);
    valores.sufixoIdentificador = ex.identificadores.sufixo(identificador, dono);
    buffer.limpa();
    escreveCabecalho(buffer, valores);
    if (!temIne(valores.profissional))
        if (auto aviso = ficha.avisoSemIne(registro)) ex.erroELog(*aviso);
    if (!ficha.corpo(registro, valores, buffer)) return false;
    escreveRodape(buffer, valores);
    if (ex.ocorrencias) falhas = verificaRegistro(tipo, buffer.texto());
    const std::string caminho =
        arquivos.caminho(ex, id, nomeArquivo(*descricao.envelope, valores.numero));
    gravacao.grava(caminho, buffer.texto(), nomeDoRegistro(tipo, id));
    // Only a record that is sent holds its identifier against the later ones.
    ex.identificadores.toma(identificador + valores.sufixoIdentificador, dono);
    ex.ListaArquivos.push_back({caminho, tipo});
    ficha.gravado(registro, caminho);
    return true;
}

}  // namespace

std::string mensagemSemIne(std::string_view quem) {
    return std::string(quem) + " - INE não cadastrado!";
}

IdentidadeRegistro Ficha::identidade(const Linha& r) const {
    return {r.texto(colunas.numero), r.texto("CODUNIDADE")};
}

ValoresEnvelope Ficha::envelope(const Linha& r) const {
    ValoresEnvelope v;
    v.IBGE = execucao.ibge();
    v.Unidade = execucao.parametros.Unidade;
    IdentidadeRegistro id = Ficha::identidade(r);
    v.CODUNIDADE = std::move(id.unidade);
    v.UUID = execucao.parametros.UUID;
    v.numero = std::move(id.numero);
    v.profissional.CNS = r.texto(colunas.cns);
    v.profissional.CBO = r.texto("CBO");
    v.profissional.ine = r.texto("INE");
    v.profissional.dataAtendimento = momento(r);
    return v;
}

std::string Ficha::momento(const Linha& r) const {
    return DataParaLong(r.dataHora("DATA"));
}

std::string Ficha::dataDoRegistro(const Linha& r) const {
    if (!r.tem("DATA")) return {};
    const std::optional<DataHora> data = r.dataHora("DATA");
    return data ? textoData(*data) : std::string();
}

std::string Ficha::profissionalDoRegistro(const Linha& r) const {
    return r.tem("nomeprofissional") ? r.texto("nomeprofissional") : std::string();
}

std::optional<std::string> Ficha::avisoSemIne(const Linha& r) const {
    return mensagemSemIne(r.texto("nomeprofissional"));
}

std::string nomeDoRegistro(TipoFicha tipo, const IdentidadeRegistro& id) {
    return std::string(prefixoArquivo(tipo)) + id.numero + " (unidade " + id.unidade + ")";
}

std::size_t contaRegistros(Transacao& transacao, const ChaveSql& chave, std::string_view origem,
                           const std::function<void(Consulta&)>& vincula) {
    Consulta q(transacao, chave.contagem(origem));
    vincula(q);
    return static_cast<std::size_t>(q.abre().at(0).inteiro("REGISTROS"));
}

void vinculaPeriodo(Consulta& q, const ParametrosExportacao& p) {
    q.parametro("pdatainicial", p.DataInicial);
    q.parametro("pdiaposfinal", std::chrono::year_month_day{std::chrono::sys_days{p.DataFinal} +
                                                            std::chrono::days{1}});
}

void geraRegistros(Execucao& ex, const DescricaoFicha& descricao, Ficha& ficha) {
    const TipoFicha tipo = descricao.tipo;
    ficha.inicia();
    const std::size_t total = lendo(tipo, ficha, [&] { return ficha.contaRegistros(); });
    ex.operador.progresso(0, total);
    lendo(tipo, ficha, [&] { ficha.abreRegistros(); });
    RegistroBuffer buffer;
    ArquivosDoTipo arquivos;
    GravacaoDeRegistros gravacao([&ex](const std::string& caminho, std::string texto,
                                       const std::optional<EstadoArquivo>& estado) {
        if (ex.aoGravarArquivo) ex.aoGravarArquivo(caminho, std::move(texto), estado);
    });
    std::size_t feitos = 0;
    std::vector<FalhaDeImportacao> falhas;
    // A record may come in several rows (its file is rewritten by each): the report tells it
    // once, at its first row.
    std::optional<IdentidadeRegistro> anterior;
    while (const Linha* registro = lendo(tipo, ficha, [&] { return ficha.proximoRegistro(); })) {
        // The operator asked the run to stop: no further record is begun.
        if (ex.cancelamento) ex.cancelamento->verifica();
        bool repetido = false;
        try {
            IdentidadeRegistro id = ficha.identidade(*registro);
            repetido = anterior && anterior->numero == id.numero && anterior->unidade == id.unidade;
            anterior = std::move(id);
            if (auto motivo = motivoDeFora(*registro, ficha.condicoes())) {
                if (!repetido && ex.ocorrencias)
                    ex.ocorrencias->ocorrencia(ocorrenciaDo(tipo, ficha, *registro,
                                                            SituacaoRegistro::DeixadoDeFora,
                                                            std::move(*motivo)));
            } else {
                ex.comecaRegistro();
                falhas.clear();
                const bool gravado = gravaRegistro(ex, descricao, ficha, *registro, buffer,
                                                   arquivos, gravacao, falhas);
                const std::vector<std::string> avisos = ex.terminaRegistro();
                if (gravado && !repetido && ex.ocorrencias)
                    relataGravado(ex, tipo, ficha, *registro, avisos, falhas);
            }
        } catch (const ErroConexaoPerdida&) {
            // The connection failed, not the record: the operator has nothing to mend there.
            throw;
        } catch (ErroTextoSemWin1252& e) {
            if (auto id = registroDoTexto(ficha, e, registro))
                e.nomeiaRegistro(nomeDoRegistro(tipo, *id));
            throw;
        } catch (Erro& e) {
            // Which record it was, so the operator can find and mend it in the clinical system.
            e.nomeiaRegistro(nomeDoRegistro(tipo, ficha.identidade(*registro)));
            throw;
        }
        // Counted once its first row is done: the progress counts records, as the total does.
        if (!repetido) ex.operador.progresso(++feitos, total);
    }
    gravacao.conclui();
    ficha.termina();
}

}  // namespace cds
