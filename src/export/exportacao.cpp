#include "export/exportacao.hpp"

#include <cstdio>
#include <set>

#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "export/arquivos.hpp"
#include "fichas/registro.hpp"
#include "source/conexao.hpp"

namespace cds {

namespace {

std::string dataCurta(const std::chrono::year_month_day& d) {
    char texto[16];
    std::snprintf(texto, sizeof texto, "%02u/%02u/%04d", static_cast<unsigned>(d.day()),
                  static_cast<unsigned>(d.month()), static_cast<int>(d.year()));
    return texto;
}

void conecta(Conexao& conexao, ArquivoIni& ini, Operador& operador) {
    try {
        conexao.abre(ini.le(kSecaoGeral, kChaveDatabase, ""));
    } catch (const ErroBanco&) {
        operador.mensagem("Não foi possível conectar ao banco de dados em: " +
                              ini.le(kSecaoGeral, kChaveDatabase, ""),
                          kTituloAplicacao, TipoMensagem::Simples);
        throw;
    }
}

// The generators of the chosen kinds, in the order their files reach the archive.
void geraFichas(Execucao& ex) {
    for (const DescricaoFicha& d : registroFichas())
        if (d.gera && ex.parametros.escolhida(d.tipo)) d.gera(ex, d);
}

}  // namespace

void validaCodProf(const std::string& CodProf) {
    if (!soDigitos(CodProf))
        throw ErroConversao("Código do profissional inválido: '" + CodProf +
                            "'. Informe somente números, ou deixe em branco para todos.");
}

ResultadoExportacao exportaArquivos(const ParametrosExportacao& parametros, ArquivoIni& ini,
                                    Operador& operador, const Relogio& relogio) {
    validaCodProf(parametros.CodProf);
    ResultadoExportacao resultado;
    operador.limpaLog();
    ini.grava(kSecaoGeral, kChaveCaminhoXml, parametros.Caminho);
    ini.grava(kSecaoEsus, kChaveProfissionalGenerico, parametros.ProfissionalGenerico);

    // Declared before the run's state so that they outlive its statements; a transaction
    // still open when it goes (an error on the way) is rolled back.
    Conexao conexao;
    conecta(conexao, ini, operador);
    Transacao transacao(conexao);

    Execucao ex(parametros, transacao, operador, relogio,
                [&ini] { return ini.le(kSecaoGeral, kChaveIbge, ""); });
    ex.gravaErrosCadastro = [&ini](const std::vector<std::string>& linhas) {
        salvaErrosCadastro(ini.arquivo().parent_path() / kNomeArquivoErros, linhas);
    };
    ex.DataInicialTexto = dataCurta(parametros.DataInicial);
    ex.DataFinalTexto = dataCurta(parametros.DataFinal);
    DeletaArquivosDir(ex.pastaXml());
    ex.ListaArquivos.clear();

    geraFichas(ex);

    std::vector<std::string> caminhos;
    caminhos.reserve(ex.ListaArquivos.size());
    for (const ArquivoGerado& a : ex.ListaArquivos) caminhos.push_back(a.caminho);
    resultado.arquivoZip = zipaXML(parametros, caminhos, operador, relogio);
    if (resultado.arquivoZip)
        transacao.commit();
    else
        transacao.rollback();

    resultado.ListaArquivos = std::move(ex.ListaArquivos);
    resultado.LogExecucao = std::move(ex.LogExecucao);
    resultado.ErrosCadastro = std::move(ex.ErrosCadastro);
    return resultado;
}

std::vector<std::pair<TipoFicha, std::size_t>> arquivosPorTipo(
    const std::vector<ArquivoGerado>& ListaArquivos) {
    std::vector<std::pair<TipoFicha, std::size_t>> contagem;
    for (const DescricaoFicha& d : registroFichas()) {
        std::set<std::string> caminhos;
        for (const auto& [caminho, tipo] : ListaArquivos)
            if (tipo == d.tipo) caminhos.insert(caminho);
        if (!caminhos.empty()) contagem.emplace_back(d.tipo, caminhos.size());
    }
    return contagem;
}

}  // namespace cds
