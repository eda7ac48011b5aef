// The transmission registers of citizens and households: which registrations go, under which
// identifiers, and the record of each one sent.

#include "fichas/transmissao.hpp"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "comum/cancelamento.hpp"
#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "fichas/profissional_generico.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

constexpr std::string_view kMeio = "-da1cb4c9-0004-0000-";
constexpr std::size_t kTamanhoUuid = 43;
// The last piece in the 43-character form: eleven digits, or "D" and ten.
constexpr std::size_t kTamanhoChave = 11;
constexpr std::int64_t kLimiteCodigo = 9999;

// The context variable in which the batch's block keeps the place of the record it is writing:
// the variable outlives a statement that fails, whose writes are undone.
constexpr std::string_view kRegistroDoLote = "EXPORTADOR_CDS_REGISTRO_DO_LOTE";

// The write-back of `registros` records in one block, each record's row updated, or made when
// it has none, their values in its input list in order
// (the mark first, then code, identifier, day and counter of each record); the place of each
// record noted before its row is written, and cleared at the end.
std::string sqlGravacaoEmLote(std::string_view tabela, std::size_t registros) {
    const std::string coluna = " TYPE OF COLUMN " + std::string(tabela) + ".";
    const std::string anota =
        "  x = RDB$SET_CONTEXT('USER_TRANSACTION', '" + std::string(kRegistroDoLote) + "', ";
    std::string entrada = "EXECUTE BLOCK (t" + coluna + "transmitiresus = ?";
    std::string corpo = ")\nAS DECLARE x INTEGER;\nBEGIN\n";
    for (std::size_t i = 0; i < registros; ++i) {
        const std::string n = std::to_string(i);
        entrada += ",\n  c" + n + coluna + "codigo = ?, u" + n + coluna + "uuid = ?, d" + n +
                   coluna + "datatransmissaoesus = ?, k" + n + coluna + "CodigoTransmissaoEsus = ?";
        corpo += anota + n + ");\n  update or insert into " + std::string(tabela) +
                 " (codigo, uuid, transmitiresus, datatransmissaoesus, CodigoTransmissaoEsus)"
                 " values (:c" +
                 n + ", :u" + n + ", :t, :d" + n + ", :k" + n + ") matching (codigo);\n";
    }
    return entrada + corpo + anota + "NULL);\nEND\n";
}

bool cidadao(VarianteCadastro v) {
    return v == VarianteCadastro::Cidadao;
}

// Characters of `texto` from `inicio`, at most `quantos`; fewer, or none, when it is short.
std::string trecho(std::string_view texto, std::size_t inicio, std::size_t quantos) {
    return inicio < texto.size() ? std::string(texto.substr(inicio, quantos)) : std::string();
}

// The stored record version, the fifth piece: a whole number, blanks in front allowed.
std::int64_t versaoGravada(std::string_view peca, std::string_view S) {
    const std::string_view numero = peca.substr(std::min(peca.find_first_not_of(' '), peca.size()));
    std::int64_t valor = 0;
    const char* fim = numero.data() + numero.size();
    const char* inicio = numero.starts_with('+') ? numero.data() + 1 : numero.data();
    const auto [parou, erro] = std::from_chars(inicio, fim, valor);
    if (numero.empty() || erro != std::errc{} || parou != fim)
        throw ErroConversao("O uuid gravado '" + std::string(S) + "' não tem número na versão ('" +
                            std::string(peca) + "')");
    return valor;
}

std::chrono::year_month_day diaDe(const DataHora& momento) {
    return std::chrono::year{momento.ano} / static_cast<unsigned>(momento.mes) /
           static_cast<unsigned>(momento.dia);
}

}  // namespace

std::string chaveCadastro(VarianteCadastro variante, std::string_view codigo) {
    return cidadao(variante) ? ZeroEsquerda(codigo, 11) : "D" + ZeroEsquerda(codigo, 10);
}

std::string identificadorTransporteCadastro(VarianteCadastro variante, std::string_view U7,
                                            std::int64_t C, std::string_view codigo) {
    return std::string(U7) + std::string(kMeio) + ZeroEsquerdaInt(C, 4) + "-" +
           chaveCadastro(variante, codigo);
}

std::string NovoUuidCadastro(VarianteCadastro variante, std::string_view S, std::string_view U7,
                             std::string_view codigo) {
    if (S.empty())
        return std::string(U7) + std::string(kMeio) + "0000-" + chaveCadastro(variante, codigo);

    std::string pecas[6];
    for (int i = 0; i < 6; ++i) pecas[i] = ExtraiCampo(S, i + 1, '-');
    const std::int64_t versao = versaoGravada(pecas[4], S);
    std::string& chave = pecas[5];
    if (S.size() != kTamanhoUuid && chave.size() != kTamanhoChave)
        chave = cidadao(variante) ? trecho(chave, 1, 11) : "D" + trecho(chave, 2, 10);
    return pecas[0] + "-" + pecas[1] + "-" + pecas[2] + "-" + pecas[3] + "-" +
           ZeroEsquerdaInt(versao + 1, 4) + "-" + chave;
}

std::int64_t ProximoCodigoTransmissao(std::int64_t armazenado, VarianteCadastro variante,
                                      Execucao& execucao) {
    const std::int64_t C = armazenado + 1;
    if (C > kLimiteCodigo) {
        const std::string aviso =
            cidadao(variante)
                ? "Contate a ZUL, pois o codigo de transmissão individual para este cidadão já "
                  "ultrapassou o limite de 4 casas!"
                : "Contate a ZUL, pois o codigo de transmissão individual para esta habitação já "
                  "ultrapassou o limite de 4 casas!";
        execucao.operador.mensagem(aviso, kTituloAplicacao, TipoMensagem::Simples);
        execucao.log(aviso);
    }
    return C;
}

RegistroTransmissao::RegistroTransmissao(Transacao& transacao, VarianteCadastro variante)
    : transacao(transacao),
      tabela(cidadao(variante) ? "pessoastransmissao" : "familiastransmissao"),
      gravacaoEmLote(transacao, sqlGravacaoEmLote(tabela, kLote), Consulta::Posicional{}),
      // Read and cleared, so that a batch refused before its first record is told apart.
      registroDoLote(transacao,
                     "EXECUTE BLOCK RETURNS (R INTEGER) AS DECLARE x INTEGER; BEGIN "
                     "R = RDB$GET_CONTEXT('USER_TRANSACTION', '" +
                         std::string(kRegistroDoLote) +
                         "'); x = RDB$SET_CONTEXT('USER_TRANSACTION', '" +
                         std::string(kRegistroDoLote) + "', NULL); SUSPEND; END") {}

void RegistroTransmissao::gravaTransmissoes(const std::vector<GravacaoTransmissao>& lote) {
    if (lote.empty()) return;
    // A shorter batch, the last of a run, gets a statement of its size.
    std::optional<Consulta> menor;
    Consulta& gravacao = lote.size() == kLote
                             ? gravacaoEmLote
                             : menor.emplace(transacao, sqlGravacaoEmLote(tabela, lote.size()),
                                             Consulta::Posicional{});
    gravacao.parametro(0, std::string_view("Não"));
    for (std::size_t i = 0; i < lote.size(); ++i) {
        gravacao.parametro(1 + 4 * i, lote[i].codigo);
        gravacao.parametro(2 + 4 * i, lote[i].uuid);
        gravacao.parametro(3 + 4 * i, lote[i].hoje);
        gravacao.parametro(4 + 4 * i, lote[i].C);
    }
    gravacao.executa();
}

std::optional<std::size_t> RegistroTransmissao::recusadoNoLote() {
    const Linha& linha = registroDoLote.abre().at(0);
    if (linha.nulo("R")) return std::nullopt;
    return static_cast<std::size_t>(linha.inteiro("R"));
}

FichaDeCadastro::FichaDeCadastro(Execucao& ex, TipoFicha tipoFicha, std::string_view sqlSelecao)
    : Ficha(ex),
      tipo(tipoFicha),
      variante(tipo == TipoFicha::CadastroIndividual ? VarianteCadastro::Cidadao
                                                     : VarianteCadastro::Domicilio),
      selecao(ex.transacao, sqlSelecao),
      registroTransmissao(ex.transacao, variante) {}

void FichaDeCadastro::inicia() {
    // The run refuses a blank generic professional, and one of no professional, before it
    // writes any record.
    if (apara(execucao.parametros.ProfissionalGenerico).empty())
        throw std::logic_error(kSemProfissionalGenerico);
    execucao.status(std::string(descricaoFicha(tipo).status));
    generico = leProfissionalGenerico();
}

std::size_t FichaDeCadastro::abreRegistros() {
    guardadas = LinhasGuardadas::cria();
    selecao.percorre();
    // A registration given on several rows gets them one after another.
    std::size_t registros = 0;
    std::optional<std::string> anterior;
    while (const Linha* linha = selecao.proxima()) {
        std::string codigo = linha->texto("codigo");
        if (codigo != anterior) ++registros;
        anterior = std::move(codigo);
        guardadas->guarda(*linha);
    }
    guardadas->voltaAoInicio();
    return registros;
}

const Linha* FichaDeCadastro::proximoRegistro() {
    return guardadas->proxima();
}

IdentidadeRegistro FichaDeCadastro::identidade(const Linha& registro) const {
    return {registro.texto("codigo"), execucao.parametros.Unidade};
}

std::string FichaDeCadastro::unidade7() const {
    return ZeroEsquerda(execucao.parametros.Unidade, 7);
}

void FichaDeCadastro::preparaRegistro(const Linha& r) {
    const std::string codigo = r.texto("codigo");
    const std::string U7 = unidade7();
    transmissao.codigo =
        ProximoCodigoTransmissao(r.inteiro("CodigoTransmissaoEsus"), variante, execucao);
    transmissao.uuidAnterior = r.texto("uuid");
    transmissao.uuid = NovoUuidCadastro(variante, transmissao.uuidAnterior, U7, codigo);
    transmissao.transporte =
        identificadorTransporteCadastro(variante, U7, transmissao.codigo, codigo);
}

ValoresEnvelope FichaDeCadastro::envelopeDoCadastro(const Linha& r) const {
    ValoresEnvelope v;
    v.IBGE = execucao.ibge();
    v.Unidade = execucao.parametros.Unidade;
    v.numero = r.texto("codigo");
    v.uuidDadoSerializado = transmissao.transporte;
    v.ineDadoSerializado = ineDado;
    v.profissional.dataAtendimento = momentoParaLong(execucao.relogio.agora());
    return v;
}

void FichaDeCadastro::gravado(const Linha& r, const std::string& /*caminho*/) {
    pendentes.push_back(
        {r.texto("codigo"), transmissao.uuid, transmissao.codigo, diaDe(execucao.relogio.agora())});
    registrosPendentes.push_back(identidade(r));
    if (pendentes.size() == RegistroTransmissao::kLote) gravaPendentes();
}

void FichaDeCadastro::gravaPendentes() {
    try {
        registroTransmissao.gravaTransmissoes(pendentes);
    } catch (const ErroConexaoPerdida&) {
        throw;
    } catch (ErroBanco& e) {
        // Nothing of the batch was written, and the run fails: the operator asked it to stop,
        // or the record the server refused is named.
        if (execucao.cancelamento) execucao.cancelamento->verifica();
        if (const auto i = registroTransmissao.recusadoNoLote(); i && *i < pendentes.size())
            e.nomeiaRegistro(nomeDoRegistro(tipo, registrosPendentes[*i]));
        throw;
    }
    pendentes.clear();
    registrosPendentes.clear();
}

void FichaDeCadastro::termina() {
    gravaPendentes();
    // The register's writes wait for the run's one commit, after the archive is written: a
    // run that fails later marks nothing as sent.
}

}  // namespace cds
