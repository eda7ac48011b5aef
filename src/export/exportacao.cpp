#include "export/exportacao.hpp"

#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "export/arquivos.hpp"
#include "export/trava_pasta.hpp"
#include "fichas/registro.hpp"
#include "source/conexao.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

constexpr char kAvisoSemIbge[] =
    "IBGE não informado em config.ini (IBGE, na seção [GERAL]): as fichas vão sem o código do "
    "município, e o e-SUS pode recusá-las.";

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

// The archive is in place: the run's work is confirmed, or the archive goes, since its
// registrations stay unmarked and would be sent again by the next run.
void confirma(Transacao& transacao, const std::string& arquivoZip) {
    try {
        transacao.commit();
    } catch (Erro& e) {
        std::error_code ec;
        fs::remove(arquivoZip, ec);
        e.acrescentaContexto(
            ec ? "A exportação não foi confirmada no banco de dados, e o arquivo " + arquivoZip +
                     " não pôde ser apagado (" + ec.message() + "): não o envie"
               : "A exportação não foi confirmada no banco de dados e o arquivo " + arquivoZip +
                     " foi apagado");
        throw;
    }
}

// The generators of the chosen kinds, in the order their files reach the archive.
void geraFichas(Execucao& ex) {
    for (const DescricaoFicha& d : registroFichas())
        if (d.gera && ex.parametros.escolhida(d.tipo)) d.gera(ex, d);
}

}  // namespace

void validaExecucao(const ParametrosExportacao& parametros, const ArquivoIni& ini) {
    ini.verifica();
    const std::string arquivo = ini.arquivo().string();
    if (!ini.existe())
        throw ErroArquivo("O arquivo de configuração não foi encontrado: " + arquivo +
                          ". Ele deve dizer o banco de dados da clínica em DATABASE, na seção "
                          "[GERAL].");
    if (apara(ini.le(kSecaoGeral, kChaveDatabase, "")).empty())
        throw ErroArquivo("O arquivo de configuração " + arquivo +
                          " não diz o banco de dados da clínica: falta DATABASE na seção [GERAL].");
    validaParametros(parametros);
    if (temCaractereDeControle(parametros.Caminho))
        throw ErroArquivo(
            "A pasta de saída (Caminho) tem uma quebra de linha ou outro caractere de controle; "
            "corrija-a. Nada foi gravado.");
    if (apara(parametros.Caminho).empty())
        throw ErroArquivo("Informe a pasta de saída (Caminho): ela está em branco.");
    std::error_code ec;
    if (fs::is_symlink(pastaXml(parametros.Caminho), ec))
        throw ErroArquivo("A pasta " + pastaXml(parametros.Caminho) +
                          " é um link simbólico; a exportação não esvazia a pasta a que ele leva. "
                          "Use uma pasta arquivosXML de verdade na pasta de saída.");
}

ResultadoExportacao exportaArquivos(const ParametrosExportacao& parametros, ArquivoIni& ini,
                                    Operador& operador, const Relogio& relogio) {
    validaExecucao(parametros, ini);
    // Held to the end of the run: another run on this folder would empty arquivosXML under
    // this one's packing.
    const TravaPasta trava(parametros.Caminho);
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
    // The records still go, with the empty element the layout has for it; the operator learns
    // before the importer refuses them.
    if (apara(ex.ibge()).empty()) ex.log(kAvisoSemIbge);
    DeletaArquivosDir(ex.pastaXml());
    ex.ListaArquivos.clear();

    geraFichas(ex);

    std::vector<std::string> caminhos;
    caminhos.reserve(ex.ListaArquivos.size());
    for (const ArquivoGerado& a : ex.ListaArquivos) caminhos.push_back(a.caminho);
    resultado.arquivoZip = zipaXML(parametros, caminhos, operador, relogio);
    if (!resultado.arquivoZip) {
        transacao.rollback();
    } else {
        confirma(transacao, resultado.arquivoZip.arquivo);
        avisaArquivoGerado(operador);
    }

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
