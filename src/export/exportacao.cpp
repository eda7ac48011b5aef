#include "export/exportacao.hpp"

#include <algorithm>
#include <cstdio>

#include "comum/erro.hpp"
#include "export/arquivos.hpp"
#include "fichas/atendimento_individual.hpp"
#include "fichas/vacinacao.hpp"
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
    conexao.iniciaTransacao();
}

// The generators in the order their files reach the archive.
void geraFichas(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    if (p.AtendimentoIndividual) geraFichaAtendimento(ex);
    if (p.FichaVacinacao) geraFichaVacinacao(ex);
}

}  // namespace

void validaCodProf(const std::string& CodProf) {
    const bool numero =
        std::all_of(CodProf.begin(), CodProf.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!numero)
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

    // Declared before the run's state so that it outlives its statements; a transaction
    // still open when it goes (an error on the way) is rolled back.
    Conexao conexao;
    conecta(conexao, ini, operador);

    Execucao ex(parametros, conexao, operador, relogio,
                [&ini] { return ini.le(kSecaoGeral, kChaveIbge, ""); });
    ex.DataInicialTexto = dataCurta(parametros.DataInicial);
    ex.DataFinalTexto = dataCurta(parametros.DataFinal);
    DeletaArquivosDir(ex.pastaXml());
    ex.ListaArquivos.clear();

    geraFichas(ex);

    resultado.arquivoZip = zipaXML(parametros, ex.ListaArquivos, operador, relogio);
    if (resultado.arquivoZip)
        conexao.commit();
    else
        conexao.rollback();

    resultado.ListaArquivos = std::move(ex.ListaArquivos);
    resultado.LogExecucao = std::move(ex.LogExecucao);
    resultado.ErrosCadastro = std::move(ex.ErrosCadastro);
    return resultado;
}

std::string tipoDoArquivo(const std::string& caminho) {
    const std::string nome = std::filesystem::path(caminho).filename().string();
    return nome.substr(0, nome.find('_'));
}

}  // namespace cds
